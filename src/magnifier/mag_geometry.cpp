#include "magnifier/mag_geometry.h"

#include <cmath>

namespace magnifier {

int32_t RoundHalfEven(double value) {
  // Spelled out so that the result does not hang on the floating-point rounding mode in force.
  const double floor = std::floor(value);
  const double fraction = value - floor;
  double result = floor;
  if (fraction > 0.5) {
    result = floor + 1;
  } else if (fraction == 0.5) {
    result = std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
  }
  return static_cast<int32_t>(result);
}

Size SourceSize(Size view, int32_t zoom) {
  return {RoundHalfEven(static_cast<double>(view.width) / zoom), RoundHalfEven(static_cast<double>(view.height) / zoom)};
}

Point SourceOrigin(Point cursor, Rect screen, Size grab) {
  Point origin{cursor.x - RoundHalfEven(grab.width / 2.0), cursor.y - RoundHalfEven(grab.height / 2.0)};
  if (origin.x < screen.left) origin.x = screen.left;
  if (origin.y < screen.top) origin.y = screen.top;
  if (origin.x > screen.right - grab.width) origin.x = screen.right - grab.width;
  if (origin.y > screen.bottom - grab.height) origin.y = screen.bottom - grab.height;
  return origin;
}

int32_t PixelsFromTwips(double twips, double twipsPerPixel) {
  if (twipsPerPixel <= 0) return 0;
  return RoundHalfEven(twips / twipsPerPixel);
}

Size ViewSizeForWindow(double outerWidthTwips, double outerHeightTwips, double twipsPerPixelX,
                       double twipsPerPixelY) {
  return {PixelsFromTwips(outerWidthTwips, twipsPerPixelX), PixelsFromTwips(outerHeightTwips, twipsPerPixelY)};
}

Size InitialWindowSize(Size screen) {
  return {RoundHalfEven(screen.width / 3.0), RoundHalfEven(screen.height / 3.0)};
}

}  // namespace magnifier
