#include "capture/screen_capture.h"

#include <cmath>
#include <vector>

#include "forms/handles.h"
#include "forms/window.h"

namespace capture {

namespace {
long RoundHalfEven(double v) { return std::lrint(v); }  // the default rounding mode: halves to even
}  // namespace

bool IsPaletteDevice(int rasterCaps, int sizePalette) { return (rasterCaps & RC_PALETTE) != 0 && sizePalette == 256; }

int PixelsFromTwips(double twips, double twipsPerPixel) {
  long t = RoundHalfEven(twips);
  long p = RoundHalfEven(twipsPerPixel);
  if (p == 0) return 0;
  return static_cast<int>(t / p);
}

forms::Picture MakePictureObject(HBITMAP bitmap, HPALETTE palette) {
  // The handles are ours from here on, whatever happens.
  forms::UniqueBitmap ownedBitmap(bitmap);
  forms::UniquePalette ownedPalette(palette);
  if (!ownedBitmap) return nullptr;
  auto picture = std::make_shared<forms::PictureObject>(ownedBitmap.Get(), ownedPalette.Get());
  ownedBitmap.Release();
  ownedPalette.Release();
  return picture;
}

forms::Picture GrabWindowArea(HWND window, bool client, int left, int top, int width, int height) {
  HDC source = client ? ::GetDC(window) : ::GetWindowDC(window);
  HDC memory = ::CreateCompatibleDC(source);
  HBITMAP bitmap = ::CreateCompatibleBitmap(source, width, height);
  HGDIOBJ previousBitmap = ::SelectObject(memory, bitmap);

  HPALETTE palette = nullptr;
  HPALETTE previousPalette = nullptr;
  const bool paletteDevice =
      IsPaletteDevice(::GetDeviceCaps(source, RASTERCAPS), ::GetDeviceCaps(source, SIZEPALETTE));
  if (paletteDevice) {
    // LOGPALETTE with room for 256 entries, zero-filled.
    std::vector<unsigned char> buffer(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY), 0);
    auto* logPalette = reinterpret_cast<LOGPALETTE*>(buffer.data());
    logPalette->palVersion = 0x300;
    logPalette->palNumEntries = 256;
    ::GetSystemPaletteEntries(source, 0, 256, logPalette->palPalEntry);
    palette = ::CreatePalette(logPalette);
    previousPalette = ::SelectPalette(memory, palette, FALSE);
    ::RealizePalette(memory);
  }

  ::BitBlt(memory, 0, 0, width, height, source, left, top, SRCCOPY);

  bitmap = static_cast<HBITMAP>(::SelectObject(memory, previousBitmap));
  if (paletteDevice) palette = ::SelectPalette(memory, previousPalette, FALSE);
  ::DeleteDC(memory);
  ::ReleaseDC(window, source);
  return MakePictureObject(bitmap, palette);
}

forms::Picture GrabDesktop() {
  const double tppX = forms::TwipsPerPixelX();
  const double tppY = forms::TwipsPerPixelY();
  const double screenTwipsX = ::GetSystemMetrics(SM_CXSCREEN) * tppX;
  const double screenTwipsY = ::GetSystemMetrics(SM_CYSCREEN) * tppY;
  return GrabWindowArea(::GetDesktopWindow(), false, 0, 0, PixelsFromTwips(screenTwipsX, tppX),
                        PixelsFromTwips(screenTwipsY, tppY));
}

forms::Picture GrabFormWhole(HWND form) {
  RECT rc{};
  ::GetWindowRect(form, &rc);
  return GrabWindowArea(form, false, 0, 0, rc.right - rc.left, rc.bottom - rc.top);
}

forms::Picture GrabFormInterior(HWND form) {
  RECT rc{};
  ::GetClientRect(form, &rc);
  return GrabWindowArea(form, true, 0, 0, rc.right, rc.bottom);
}

forms::Picture GrabFrontWindow() {
  HWND front = ::GetForegroundWindow();
  RECT rc{};
  ::GetWindowRect(front, &rc);
  return GrabWindowArea(front, false, 0, 0, rc.right - rc.left, rc.bottom - rc.top);
}

}  // namespace capture
