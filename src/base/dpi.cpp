#include "base/dpi.h"

#include "base/rounding.h"

namespace base {

namespace {
int Valid(int dpi) { return dpi > 0 ? dpi : kDefaultDpi; }
}  // namespace

int ScreenDpi() { return Valid(static_cast<int>(::GetDpiForSystem())); }

int DpiForWindow(HWND window) {
  if (!window) return ScreenDpi();
  return Valid(static_cast<int>(::GetDpiForWindow(window)));
}

int32_t PixelsFromTwips(double twips, int dpi) { return RoundHalfEven(twips * Valid(dpi) / 1440.0); }

double TwipsFromPixels(double pixels, int dpi) { return pixels * 1440.0 / Valid(dpi); }

int32_t ScaleForDpi(double lengthAt96, int dpi) { return RoundHalfEven(lengthAt96 * Valid(dpi) / kDefaultDpi); }

int32_t PixelsFromPoints(double points, int dpi) { return RoundHalfEven(points * Valid(dpi) / 72.0); }

long PixelsToHimetric(int pixels, int dpi) { return ::MulDiv(pixels, 2540, Valid(dpi)); }

}  // namespace base
