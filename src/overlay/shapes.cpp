#include "overlay/shapes.h"

#include <algorithm>

#include "base/handles.h"

namespace overlay {

namespace {

std::vector<RECT> ToRects(const std::vector<PixelRect>& boxes) {
  std::vector<RECT> rects;
  rects.reserve(boxes.size());
  for (const PixelRect& b : boxes) rects.push_back({b.left, b.top, b.right, b.bottom});
  return rects;
}

// A polyline in the selected pen. GDI leaves out the last pixel of a thin line; an open one gets
// it, so that the line ends on its point.
void Stroke(HDC dc, std::initializer_list<POINT> points, bool open, int width) {
  ::Polyline(dc, points.begin(), static_cast<int>(points.size()));
  if (open && width == 1) {
    const POINT last = *(points.end() - 1);
    ::MoveToEx(dc, last.x, last.y, nullptr);
    ::LineTo(dc, last.x + 1, last.y);
  }
}

}  // namespace

void DrawShape(HDC dc, ShapeKind kind, PointI from, PointI to, const ShapeStyle& style) {
  if (kind == ShapeKind::Freehand || from == to) return;
  const int width = std::max(style.width, 1);
  // A solid pen wider than one pixel has round ends and joins, as the freehand pen's lines.
  base::unique_hpen pen(::CreatePen(PS_SOLID, width, style.color));
  base::SelectGuard usePen(dc, pen.Get());
  base::SelectGuard hollow(dc, ::GetStockObject(NULL_BRUSH));
  const int left = std::min(from.x, to.x), right = std::max(from.x, to.x);
  const int top = std::min(from.y, to.y), bottom = std::max(from.y, to.y);
  switch (kind) {
    case ShapeKind::Line: Stroke(dc, {{from.x, from.y}, {to.x, to.y}}, true, width); break;
    case ShapeKind::Rectangle:
      Stroke(dc, {{left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}}, false, width);
      break;
    case ShapeKind::Ellipse:
      if (left == right || top == bottom) {
        Stroke(dc, {{left, top}, {right, bottom}}, true, width);
      } else {
        // The rectangle of Ellipse leaves out its right and bottom edges: the curve touches the
        // columns and rows of both corners.
        ::Ellipse(dc, left, top, right + 1, bottom + 1);
      }
      break;
    case ShapeKind::Arrow: {
      const ArrowParts arrow = ArrowFor(from, to, width);
      if (arrow.hasShaft) {
        Stroke(dc, {{arrow.shaftFrom.x, arrow.shaftFrom.y}, {arrow.shaftTo.x, arrow.shaftTo.y}}, true, width);
      }
      // The head is one fill: with the mask pen no pixel of it is ANDed twice.
      base::unique_hbrush fill(::CreateSolidBrush(style.color));
      base::SelectGuard useFill(dc, fill.Get());
      base::SelectGuard noEdge(dc, ::GetStockObject(NULL_PEN));
      const POINT head[3] = {
          {arrow.head[0].x, arrow.head[0].y}, {arrow.head[1].x, arrow.head[1].y}, {arrow.head[2].x, arrow.head[2].y}};
      ::Polygon(dc, head, 3);
      break;
    }
    case ShapeKind::Freehand: break;
  }
}

void ShapeDrag::Begin(ShapeKind kind, PointI from, bool undoable) {
  state_ = State::Following;
  kind_ = kind;
  from_ = to_ = from;
  undoable_ = undoable;
  shown_.clear();
}

void ShapeDrag::Follow(forms::PictureBox& box, PointI to, const ShapeStyle& style) {
  if (state_ != State::Following) return;
  to_ = to;
  if (!undoable_) return;
  // Something ended the change under the drag (undo, Ctrl+E, a new picture): the shape goes.
  if (!box.ChangeOpen()) {
    Abandon(box);
    return;
  }
  // The content stays as it was at the press until the release: the old outline's area shows it
  // again and the new outline is drawn onto the window only.
  std::vector<PixelRect> outline = OutlineArea(kind_, from_, to_, style.width);
  box.DrawOverShownContent(ToRects(shown_), ToRects(outline),
                           [&](HDC dc) { DrawShape(dc, kind_, from_, to_, style); });
  shown_ = std::move(outline);
}

void ShapeDrag::Finish(forms::PictureBox& box, const ShapeStyle& style) {
  if (state_ == State::Following) {
    // Drawn into the content once; its area covers the last outline shown.
    box.DrawAndShow(ToRects(OutlineArea(kind_, from_, to_, style.width)),
                    [&](HDC dc) { DrawShape(dc, kind_, from_, to_, style); });
  }
  Reset();
}

void ShapeDrag::Abandon(forms::PictureBox& box) {
  if (state_ != State::Following) return;
  state_ = State::Abandoned;
  box.DrawOverShownContent(ToRects(shown_), {}, nullptr);
  shown_.clear();
}

void ShapeDrag::Reset() {
  state_ = State::Idle;
  shown_.clear();
}

}  // namespace overlay
