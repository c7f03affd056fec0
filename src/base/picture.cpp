#include "base/picture.h"

#include "base/dpi.h"

namespace base {

PictureObject::PictureObject(HBITMAP bitmap, HPALETTE palette) : bitmap_(bitmap), palette_(palette) {
  BITMAP bm{};
  if (bitmap && ::GetObjectW(bitmap, sizeof bm, &bm) == sizeof bm) {
    width_ = bm.bmWidth;
    height_ = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    bitsPerPixel_ = bm.bmBitsPixel * bm.bmPlanes;
  }
}

HBITMAP CreatePictureBitmap(int width, int height, void** bits) {
  if (width <= 0 || height <= 0) return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down: row y starts at y * width
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (bitmap && !pixels) {
    ::DeleteObject(bitmap);
    return nullptr;
  }
  if (bits) *bits = pixels;
  return bitmap;
}

PictureObject::~PictureObject() { ReleaseDc(); }

long PictureObject::WidthHimetric() const { return PixelsToHimetric(width_, ScreenDpi()); }
long PictureObject::HeightHimetric() const { return PixelsToHimetric(height_, ScreenDpi()); }

HDC PictureObject::Dc() const {
  if (!dc_ && bitmap_) {
    dc_.Reset(::CreateCompatibleDC(nullptr));
    if (dc_) {
      previousBitmap_ = ::SelectObject(dc_.Get(), bitmap_.Get());
      if (palette_) {
        previousPalette_ = ::SelectPalette(dc_.Get(), palette_.Get(), FALSE);
        ::RealizePalette(dc_.Get());
      }
    }
  }
  return dc_.Get();
}

void PictureObject::ReleaseDc() const {
  if (!dc_) return;
  if (previousPalette_) ::SelectPalette(dc_.Get(), previousPalette_, FALSE);
  if (previousBitmap_) ::SelectObject(dc_.Get(), previousBitmap_);
  previousPalette_ = nullptr;
  previousBitmap_ = nullptr;
  dc_.Reset();
}

}  // namespace base
