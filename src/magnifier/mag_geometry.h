// The magnifier's arithmetic, apart from any window: how much of the screen one tick copies, where
// that area lies around the pointer, and how big the window and its view are. All in physical
// pixels, except where a size comes in twips as a form's size does.
#pragma once

#include <cstdint>

namespace magnifier {

struct Size {
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const Size&) const = default;
};

struct Point {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const Point&) const = default;
};

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// The area copied each tick: the view's size divided by the zoom, rounded halves to even.
Size SourceSize(Size view, int32_t zoom);

// The top-left corner of the copied area: centred on the cursor, then pushed inside the screen.
// The lower bounds are applied first and the upper bounds last, so when the area is larger than
// the screen the upper bound wins and the area starts before the screen's left or top edge.
Point SourceOrigin(Point cursor, Rect screen, Size grab);

// The view's size for a window whose outer size (frame and title bar included) is given in
// twips, at the display's real dpi. The view is as big as the whole window; the part past the
// client area is clipped.
Size ViewSizeForWindow(double outerWidthTwips, double outerHeightTwips, int dpi);

// A newly loaded window: one third of the screen each way.
Size InitialWindowSize(Size screen);

}  // namespace magnifier
