// The one place the program learns the display's dots per inch and converts between pixels,
// points, twips and HIMETRIC. Everything a window shows is in physical pixels: 96 dots per inch
// is one pixel per pixel, 144 is one and a half.
//
// Twips follow the real dpi (1440 / dpi twips a pixel: 15 at 96 dpi, 10 at 144, 7.5 at 192) and
// are never rounded before dividing.
#pragma once

#include <windows.h>

#include <cstdint>

namespace base {

constexpr int kDefaultDpi = 96;

// The dpi of the screen as a whole (the system dpi), for what belongs to no window yet.
int ScreenDpi();
// The dpi of the monitor the window is on, as the window sees it.
int DpiForWindow(HWND window);

// Twips to whole pixels at `dpi`, rounded halves to even.
int32_t PixelsFromTwips(double twips, int dpi);
double TwipsFromPixels(double pixels, int dpi);
// A length given for 96 dpi, at `dpi`, rounded halves to even.
int32_t ScaleForDpi(double lengthAt96, int dpi);
// The character height in pixels of a font of `points` points at `dpi`.
int32_t PixelsFromPoints(double points, int dpi);
// Pixels to HIMETRIC (hundredths of a millimetre) at `dpi`, rounded to the nearest unit.
long PixelsToHimetric(int pixels, int dpi);

}  // namespace base
