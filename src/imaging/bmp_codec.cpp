#include "imaging/bmp_codec.h"

#include <cstring>

#include "base/dib.h"
#include "base/error.h"
#include "base/handles.h"
#include "imaging/picture_headers.h"

namespace imaging {

// A picture bitmap made from device-independent pixels of any format, so that the picture paints
// on the screen with one BitBlt, as a grab does.
base::Picture PictureFromDib(const BITMAPINFO* info, const void* bits, int width, int height) {
  base::WindowDc screen(nullptr);
  base::unique_hbitmap bitmap(base::CreatePictureBitmap(width, height));
  if (!bitmap) InvalidPicture();
  if (::SetDIBits(screen.Get(), bitmap.Get(), 0, static_cast<UINT>(height), bits, info, DIB_RGB_COLORS) <= 0) {
    InvalidPicture();
  }
  return std::make_shared<base::PictureObject>(bitmap.Release(), nullptr);
}

base::Picture DecodeBmp(const std::vector<uint8_t>& data) {
  BmpFacts facts;
  if (CheckBmp(data.data(), data.size(), facts) != BmpCheck::Ok) InvalidPicture();
  // GDI reads the info header, masks and colour table straight from the file's bytes; the
  // checks above made sure all of it, and every pixel byte, lies inside them.
  const auto* info = reinterpret_cast<const BITMAPINFO*>(data.data() + kBmpFileHeaderSize);
  return PictureFromDib(info, data.data() + facts.pixelOffset, facts.width, facts.height);
}

// Every row of the picture into `bits`, in the form `info` asks for; a palette picture's colours
// come from its own palette. GetDIBits wants the bitmap out of every DC, the picture's shared one
// too. False unless all rows came.
bool ReadPictureRows(const base::PictureObject& picture, BITMAPINFO* info, void* bits) {
  picture.ReleaseDc();
  base::WindowDc screen(nullptr);
  base::unique_hdc dc(::CreateCompatibleDC(screen.Get()));
  HPALETTE previous = nullptr;
  if (picture.Palette()) {
    previous = ::SelectPalette(dc.Get(), picture.Palette(), FALSE);
    ::RealizePalette(dc.Get());
  }
  const int rows = picture.HeightPixels();
  const int lines = ::GetDIBits(dc.Get(), picture.Bitmap(), 0, static_cast<UINT>(rows), bits, info, DIB_RGB_COLORS);
  if (previous) ::SelectPalette(dc.Get(), previous, FALSE);
  return lines == rows;
}

std::vector<uint8_t> EncodeBmp(const base::PictureObject& picture) {
  BmpLayout layout;
  if (!picture.Bitmap() || !ComputeBmpLayout(picture.WidthPixels(), picture.HeightPixels(),
                                             BmpBitsFor(picture.BitsPerPixel()), layout)) {
    throw base::AppError(base::kErrInvalidPicture, "SavePicture", "The picture cannot be written as a bitmap file.");
  }
  std::vector<uint8_t> file(layout.fileSize);
  WriteBmpFileHeader(layout, file.data());
  WriteBmpInfoHeader(layout, file.data() + kBmpFileHeaderSize);

  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  } info{};
  std::memcpy(&info.header, file.data() + kBmpFileHeaderSize, sizeof info.header);
  if (!ReadPictureRows(picture, reinterpret_cast<BITMAPINFO*>(&info), file.data() + layout.pixelOffset)) {
    throw base::AppError(base::kErrInvalidPicture, "SavePicture", "The picture cannot be written as a bitmap file.");
  }
  if (layout.colorTableEntries) {
    std::memcpy(file.data() + kBmpFileHeaderSize + kBmpInfoHeaderSize, info.colors, 4u * layout.colorTableEntries);
  }
  return file;
}

}  // namespace imaging
