#include "overlay/shape_geometry.h"

#include <algorithm>
#include <cmath>

#include "base/rounding.h"

namespace overlay {

namespace {

constexpr double kPi = 3.14159265358979323846;
// How far an arrow's shaft reaches into its head: deep enough to meet it, and never so deep that
// its round end (half the width) shows beside the head, which is four times the width long.
constexpr double kShaftIntoHeadMin = 1;
constexpr double kShaftIntoHeadMax = 6;

PointI Round(PointD p) { return {base::RoundHalfEven(p.x), base::RoundHalfEven(p.y)}; }

// The box around two points, widened by `margin` on every side.
PixelRect BoxAround(PointD a, PointD b, int margin) {
  return {static_cast<int>(std::floor(std::min(a.x, b.x))) - margin,
          static_cast<int>(std::floor(std::min(a.y, b.y))) - margin,
          static_cast<int>(std::ceil(std::max(a.x, b.x))) + margin + 1,
          static_cast<int>(std::ceil(std::max(a.y, b.y))) + margin + 1};
}

PixelRect Around(const PixelRect& a, const PixelRect& b) {
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

// A straight piece of outline in pieces of at most `piece` pixels, one box each: the box around a
// long diagonal would be most of the screen.
void AddSegment(std::vector<PixelRect>& boxes, PointD a, PointD b, int margin, double piece) {
  const double length = std::hypot(b.x - a.x, b.y - a.y);
  const int n = std::max(1, static_cast<int>(std::ceil(length / piece)));
  PointD from = a;
  for (int i = 1; i <= n; ++i) {
    const PointD to{a.x + (b.x - a.x) * i / n, a.y + (b.y - a.y) * i / n};
    boxes.push_back(BoxAround(from, to, margin));
    from = to;
  }
}

// The whole pixel between kShaftIntoHeadMin and kShaftIntoHeadMax past the head's base that lies
// nearest the line from `from` along `u`; the nearest to the base among equals.
PointI ShaftEnd(PointI from, PointD u, PointD base) {
  PointI best = Round({base.x + u.x * kShaftIntoHeadMin, base.y + u.y * kShaftIntoHeadMin});
  double bestOff = 1e9, bestDepth = 1e9;
  for (double d = kShaftIntoHeadMin; d <= kShaftIntoHeadMax; d += 0.5) {
    const PointD c{base.x + u.x * d, base.y + u.y * d};
    for (int y = static_cast<int>(std::floor(c.y)); y <= static_cast<int>(std::ceil(c.y)); ++y) {
      for (int x = static_cast<int>(std::floor(c.x)); x <= static_cast<int>(std::ceil(c.x)); ++x) {
        const double depth = (x - base.x) * u.x + (y - base.y) * u.y;
        if (depth < kShaftIntoHeadMin || depth > kShaftIntoHeadMax) continue;
        const double off = std::abs((x - from.x) * u.y - (y - from.y) * u.x);
        if (off < bestOff - 1e-9 || (off < bestOff + 1e-9 && depth < bestDepth)) {
          best = {x, y};
          bestOff = off;
          bestDepth = depth;
        }
      }
    }
  }
  return best;
}

}  // namespace

ShapeKind ShapeForKeys(bool shift, bool ctrl, bool tab) {
  if (tab) return ShapeKind::Ellipse;
  if (ctrl && shift) return ShapeKind::Arrow;
  if (ctrl) return ShapeKind::Rectangle;
  if (shift) return ShapeKind::Line;
  return ShapeKind::Freehand;
}

int ArrowHeadLength(int width) { return std::max(12, 4 * std::max(width, 1)); }

ArrowParts ArrowFor(PointI from, PointI to, int width) {
  ArrowParts arrow;
  arrow.shaftFrom = from;
  arrow.shaftTo = to;
  arrow.head = {to, to, to};
  const double dx = to.x - from.x, dy = to.y - from.y;
  const double length = std::hypot(dx, dy);
  if (length < 1) return arrow;
  const double ux = dx / length, uy = dy / length;
  const int full = ArrowHeadLength(width);
  const double headLength = std::min<double>(full, length);
  const PointD base{to.x - ux * headLength, to.y - uy * headLength};
  const double half = headLength / 2;
  arrow.head = {to, Round({base.x - uy * half, base.y + ux * half}), Round({base.x + uy * half, base.y - ux * half})};
  arrow.hasShaft = length > full;
  arrow.shaftTo = ShaftEnd(from, {ux, uy}, base);
  return arrow;
}

std::vector<PixelRect> OutlineArea(ShapeKind kind, PointI from, PointI to, int width) {
  std::vector<PixelRect> boxes;
  if (kind == ShapeKind::Freehand || from == to) return boxes;
  const int margin = std::max(width, 1) / 2 + 2;
  // Pieces short enough that the boxes along a diagonal stay thin, long enough that a long
  // outline is not hundreds of boxes.
  const double piece = std::max(32, 3 * margin);
  const PointD a{static_cast<double>(from.x), static_cast<double>(from.y)};
  const PointD b{static_cast<double>(to.x), static_cast<double>(to.y)};
  const int left = std::min(from.x, to.x), right = std::max(from.x, to.x);
  const int top = std::min(from.y, to.y), bottom = std::max(from.y, to.y);
  switch (kind) {
    case ShapeKind::Line: AddSegment(boxes, a, b, margin, piece); break;
    case ShapeKind::Rectangle:
      boxes.push_back({left - margin, top - margin, right + margin + 1, top + margin + 1});
      boxes.push_back({left - margin, bottom - margin, right + margin + 1, bottom + margin + 1});
      boxes.push_back({left - margin, top - margin, left + margin + 1, bottom + margin + 1});
      boxes.push_back({right - margin, top - margin, right + margin + 1, bottom + margin + 1});
      break;
    case ShapeKind::Ellipse: {
      if (left == right || top == bottom) {
        AddSegment(boxes, a, b, margin, piece);
        break;
      }
      // Quarter by quarter: within a quarter the curve only rises or falls, so the box around
      // the two ends of a piece holds the whole piece.
      const PointD centre{(left + right) / 2.0, (top + bottom) / 2.0};
      const double rx = (right - left) / 2.0, ry = (bottom - top) / 2.0;
      const int perQuarter = std::max(2, static_cast<int>(std::ceil((rx + ry) / piece)));
      const int n = 4 * perQuarter;
      PointD previous{centre.x + rx, centre.y};
      for (int i = 1; i <= n; ++i) {
        const double t = 2 * kPi * i / n;
        const PointD p{centre.x + rx * std::cos(t), centre.y + ry * std::sin(t)};
        boxes.push_back(BoxAround(previous, p, margin));
        previous = p;
      }
      break;
    }
    case ShapeKind::Arrow: {
      const ArrowParts arrow = ArrowFor(from, to, width);
      if (arrow.hasShaft) {
        AddSegment(boxes, a, {static_cast<double>(arrow.shaftTo.x), static_cast<double>(arrow.shaftTo.y)}, margin,
                   piece);
      }
      PixelRect head{arrow.head[0].x, arrow.head[0].y, arrow.head[0].x + 1, arrow.head[0].y + 1};
      for (const PointI& p : arrow.head) head = Around(head, {p.x - 2, p.y - 2, p.x + 3, p.y + 3});
      boxes.push_back(head);
      break;
    }
    case ShapeKind::Freehand: break;
  }
  return boxes;
}

std::vector<PixelRect> MergeBoxes(std::vector<PixelRect> boxes) {
  std::erase_if(boxes, [](const PixelRect& b) { return b.Empty(); });
  for (bool merged = true; merged;) {
    merged = false;
    for (size_t i = 0; i < boxes.size(); ++i) {
      for (size_t j = i + 1; j < boxes.size();) {
        const PixelRect both = Around(boxes[i], boxes[j]);
        if (both.Area() <= boxes[i].Area() + boxes[j].Area()) {
          boxes[i] = both;
          boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(j));
          merged = true;
        } else {
          ++j;
        }
      }
    }
  }
  return boxes;
}

}  // namespace overlay
