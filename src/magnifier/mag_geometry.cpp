#include "magnifier/mag_geometry.h"

#include "base/dpi.h"
#include "base/rounding.h"

namespace magnifier {

Size SourceSize(Size view, int32_t zoom) {
  return {base::RoundHalfEven(static_cast<double>(view.width) / zoom), base::RoundHalfEven(static_cast<double>(view.height) / zoom)};
}

Point SourceOrigin(Point cursor, Rect screen, Size grab) {
  Point origin{cursor.x - base::RoundHalfEven(grab.width / 2.0), cursor.y - base::RoundHalfEven(grab.height / 2.0)};
  if (origin.x < screen.left) origin.x = screen.left;
  if (origin.y < screen.top) origin.y = screen.top;
  if (origin.x > screen.right - grab.width) origin.x = screen.right - grab.width;
  if (origin.y > screen.bottom - grab.height) origin.y = screen.bottom - grab.height;
  return origin;
}

Size ViewSizeForWindow(double outerWidthTwips, double outerHeightTwips, int dpi) {
  return {base::PixelsFromTwips(outerWidthTwips, dpi), base::PixelsFromTwips(outerHeightTwips, dpi)};
}

Size InitialWindowSize(Size screen) {
  return {base::RoundHalfEven(screen.width / 3.0), base::RoundHalfEven(screen.height / 3.0)};
}

}  // namespace magnifier
