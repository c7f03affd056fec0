// The device-independent bitmap we hand pixels to GDI in and read them back in: 32 bits a pixel,
// BI_RGB, rows top-down, so that pixel (x, y) is element y * width + x and a 0x00RRGGBB value is
// its colour. The form every printer driver takes from StretchDIBits and the imaging codecs give.
#pragma once

#include <windows.h>

namespace base {

inline BITMAPINFO TopDownDib32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // negative: the first row is the top one
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

}  // namespace base
