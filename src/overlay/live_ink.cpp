#include "overlay/live_ink.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace overlay {

namespace {

constexpr double kPi = 3.14159265358979323846;

imaging::InkPoint At(PointI p) { return {static_cast<double>(p.x), static_cast<double>(p.y)}; }

}  // namespace

InkStyle LiveInkStyle(int32_t color, bool penMode, int width) {
  const uint32_t bgr = static_cast<uint32_t>(color);
  const uint32_t rgb = ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
  return {rgb, penMode ? uint8_t{255} : kHighlighterAlpha, std::max(width, 1)};
}

// A stroke, shape, erasure or clear: the tiles it overwrote, exchanged with the canvas.
class LiveInk::TileSwap : public UndoAction {
 public:
  TileSwap(LiveInk& ink, imaging::TileChange change) : ink_(ink), change_(std::move(change)) {}
  bool Swap() override {
    const PixelRect area = ink_.canvas_.Swap(change_);
    ink_.swapped_ = base::Union(ink_.swapped_, area);
    return !area.Empty();
  }
  size_t Bytes() const override { return sizeof(*this) + change_.Bytes(); }

 private:
  LiveInk& ink_;
  imaging::TileChange change_;
};

bool LiveInk::Create(int width, int height) {
  Free();
  return canvas_.Create(width, height);
}

void LiveInk::Free() {
  open_ = Tool::None;
  shapeFollowing_ = false;
  steps_.Clear();
  canvas_.Free();
  changed_ = false;
}

void LiveInk::Open(Tool tool) {
  Settle();
  if (canvas_.BeginChange()) open_ = tool;
}

void LiveInk::Settle() {
  if (open_ == Tool::None) return;
  imaging::TileChange change = canvas_.EndChange();
  open_ = Tool::None;
  shapeFollowing_ = false;
  if (change.Empty()) return;
  UndoStep step;
  step.Add(std::make_unique<TileSwap>(*this, std::move(change)));
  steps_.Push(std::move(step));
  changed_ = true;
}

void LiveInk::EndStep() { Settle(); }

// --- Freehand ---------------------------------------------------------------------------------------

PixelRect LiveInk::StrokeDot(PointI at, const InkStyle& style) {
  Open(Tool::Stroke);
  if (open_ != Tool::Stroke) return {};
  canvas_.BeginMark(imaging::Premultiply(style.rgb, style.alpha));
  last_ = at;
  return canvas_.AddDot(At(at), style.width);
}

PixelRect LiveInk::StrokeTo(PointI at, const InkStyle& style) {
  if (open_ != Tool::Stroke) return StrokeDot(at, style);
  const PixelRect area = canvas_.AddSegment(At(last_), At(at), style.width);
  last_ = at;
  return area;
}

// --- Shapes -------------------------------------------------------------------------------------------

void LiveInk::BeginShape(ShapeKind kind, PointI from) {
  Open(Tool::Shape);
  shape_ = kind;
  shapeFrom_ = from;
  shapeFollowing_ = open_ == Tool::Shape;
}

PixelRect LiveInk::FollowShape(PointI to, const InkStyle& style) {
  if (!shapeFollowing_) return {};
  const PixelRect old = canvas_.TakeBackMark();
  canvas_.BeginMark(imaging::Premultiply(style.rgb, style.alpha));
  return base::Union(old, DrawOutline(to, style));
}

PixelRect LiveInk::CancelShape() {
  if (!shapeFollowing_) return {};
  const PixelRect area = canvas_.TakeBackMark();
  canvas_.CancelChange();
  open_ = Tool::None;
  shapeFollowing_ = false;
  return area;
}

PixelRect LiveInk::DrawOutline(PointI to, const InkStyle& style) {
  const PointI from = shapeFrom_;
  if (from == to) return {};
  const double w = style.width;
  const int left = std::min(from.x, to.x), right = std::max(from.x, to.x);
  const int top = std::min(from.y, to.y), bottom = std::max(from.y, to.y);
  PixelRect area;
  auto segment = [&](imaging::InkPoint a, imaging::InkPoint b) { area = base::Union(area, canvas_.AddSegment(a, b, w)); };
  switch (shape_) {
    case ShapeKind::Line: segment(At(from), At(to)); break;
    case ShapeKind::Rectangle: {
      const imaging::InkPoint corners[] = {{1.0 * left, 1.0 * top}, {1.0 * right, 1.0 * top},
                                           {1.0 * right, 1.0 * bottom}, {1.0 * left, 1.0 * bottom}};
      for (int i = 0; i < 4; ++i) segment(corners[i], corners[(i + 1) % 4]);
      break;
    }
    case ShapeKind::Ellipse: {
      if (left == right || top == bottom) {
        segment(At(from), At(to));
        break;
      }
      // Through the columns and rows of both corners, as presentation mode's ellipse, in short
      // straight pieces: a few pixels each, well under what the eye sees as a corner.
      const double cx = (left + right) / 2.0, cy = (top + bottom) / 2.0;
      const double rx = (right - left) / 2.0, ry = (bottom - top) / 2.0;
      const int n = std::max(32, static_cast<int>(std::ceil(2 * kPi * std::max(rx, ry) / 4)));
      imaging::InkPoint previous{cx + rx, cy};
      for (int i = 1; i <= n; ++i) {
        const double t = 2 * kPi * i / n;
        const imaging::InkPoint p{cx + rx * std::cos(t), cy + ry * std::sin(t)};
        segment(previous, p);
        previous = p;
      }
      break;
    }
    case ShapeKind::Arrow: {
      const ArrowParts arrow = ArrowFor(from, to, style.width);
      if (arrow.hasShaft) segment(At(arrow.shaftFrom), At(arrow.shaftTo));
      area = base::Union(area, canvas_.AddTriangle({At(arrow.head[0]), At(arrow.head[1]), At(arrow.head[2])}));
      break;
    }
    case ShapeKind::Freehand: break;
  }
  return area;
}

// --- Eraser and Ctrl+E ---------------------------------------------------------------------------------

PixelRect LiveInk::EraseSquare(const SquareI& square) {
  const bool continuing = open_ == Tool::Eraser;
  if (!continuing) Open(Tool::Eraser);
  const SquareI from = continuing ? lastSquare_ : square;
  lastSquare_ = square;
  // Squares half a side apart along the way cover the band the eraser swept.
  const int dx = square.left - from.left, dy = square.top - from.top;
  const int step = std::max(1, square.side / 2);
  const int pieces = std::max(1, (std::max(std::abs(dx), std::abs(dy)) + step - 1) / step);
  PixelRect area;
  for (int i = continuing ? 1 : pieces; i <= pieces; ++i) {
    const int left = from.left + dx * i / pieces, top = from.top + dy * i / pieces;
    area = base::Union(area, canvas_.Erase({left, top, left + square.side, top + square.side}));
  }
  return area;
}

PixelRect LiveInk::ClearAll() {
  Open(Tool::Eraser);
  if (open_ != Tool::Eraser) return {};
  const PixelRect area = canvas_.EraseAll();
  const size_t pushed = steps_.PushedCount();
  Settle();
  // Nothing was drawn: nothing to show again either.
  return steps_.PushedCount() != pushed ? area : PixelRect{};
}

// --- Undo -----------------------------------------------------------------------------------------------

PixelRect LiveInk::Undo() { return Move(&History::Undo); }

PixelRect LiveInk::Redo() { return Move(&History::Redo); }

PixelRect LiveInk::Move(bool (History::*move)()) {
  Settle();
  swapped_ = {};
  if (!(steps_.*move)()) return {};
  changed_ = true;
  return swapped_;
}

}  // namespace overlay
