// Shapes drawn by dragging with a modifier key held: which shape the keys ask for, the arrow's
// head, and the pixels an outline can touch. Values in, values out: no window and no GDI here
// (overlay/shapes.h draws them).
//
// A shape runs between two tool points: where the tool acted at the press and where it acts now,
// each the tip of the cursor (PenPoint). Pixel coordinates are pixel centres.
#pragma once

#include <array>
#include <vector>

#include "base/pixel_rect.h"
#include "overlay/pen_geometry.h"

namespace overlay {

enum class ShapeKind { Freehand, Line, Rectangle, Arrow, Ellipse };

// The shape for the keys held at the press: Tab an ellipse (whatever else is held), Ctrl and
// Shift together an arrow, Ctrl a rectangle, Shift a straight line, none of them freehand.
ShapeKind ShapeForKeys(bool shift, bool ctrl, bool tab);

using base::PixelRect;

struct PointD {
  double x = 0;
  double y = 0;
};

// The length of an arrow's head along the shaft, for a line of `width` pixels: four times the
// width, and never under 12 pixels, so the head reads at width 1 too. Its base is as wide as the
// head is long.
int ArrowHeadLength(int width);

// An arrow from `from` to `to`, the head's tip at `to`.
struct ArrowParts {
  // The shaft runs from `from` to a pixel 1 to 6 pixels inside the head, the one nearest the
  // arrow's line (so the shaft does not lean off it), where its round end disappears in the head.
  // An arrow no longer than its head has no shaft: the head shrinks to the arrow's length.
  bool hasShaft = false;
  PointI shaftFrom{0, 0};
  PointI shaftTo{0, 0};
  std::array<PointI, 3> head{};  // tip, then the two corners of the base
};
ArrowParts ArrowFor(PointI from, PointI to, int width);

// Where a shape's outline between `from` and `to`, drawn `width` pixels wide, can change pixels:
// a few boxes along the outline (never the whole box around a diagonal line or an ellipse), with
// a margin of half the width and two pixels. Empty for a shape of no size.
std::vector<PixelRect> OutlineArea(ShapeKind kind, PointI from, PointI to, int width);

// Boxes that cover at least the pixels of `boxes`, fewer of them: two become the box around both
// wherever that is no bigger than the two together (an outline and the one it replaces, moved a
// little, become one box per side).
std::vector<PixelRect> MergeBoxes(std::vector<PixelRect> boxes);

}  // namespace overlay
