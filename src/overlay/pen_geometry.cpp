#include "overlay/pen_geometry.h"

#include "base/rounding.h"

namespace overlay {

int ScaleToCursor(double lengthAt32, int cursorSize) {
  return base::RoundHalfEven(lengthAt32 * cursorSize / kBaseCursorSize);
}

PointI HotSpot(int cursorSize) { return {cursorSize / 2, cursorSize / 2}; }

PointI ToolTip(bool penMode, int cursorSize) {
  const PointI at32 = penMode ? PointI{6, 25} : PointI{7, 27};
  return {ScaleToCursor(at32.x, cursorSize), ScaleToCursor(at32.y, cursorSize)};
}

RectI EraserOutline(int16_t eraserSize, int cursorSize) {
  RectI at32{0, 0, 31, 31};
  switch (eraserSize) {
    case 8: at32 = {17, 17, 24, 24}; break;
    case 16: at32 = {16, 15, 31, 30}; break;
    case 24: at32 = {8, 8, 31, 31}; break;
    default: break;
  }
  // Edges scale as pixel boundaries, so a square keeps its side.
  return {ScaleToCursor(at32.left, cursorSize), ScaleToCursor(at32.top, cursorSize),
          ScaleToCursor(at32.right + 1, cursorSize) - 1, ScaleToCursor(at32.bottom + 1, cursorSize) - 1};
}

PointI PenPoint(bool penMode, int x, int y, int cursorSize) {
  const PointI tip = ToolTip(penMode, cursorSize);
  const PointI hot = HotSpot(cursorSize);
  return {x + tip.x - hot.x, y + tip.y - hot.y};
}

SquareI EraserSquare(int16_t eraserSize, int x, int y, int cursorSize) {
  int back = 0;
  if (eraserSize == 32) {
    back = ScaleToCursor(16, cursorSize);
  } else if (eraserSize == 24) {
    back = ScaleToCursor(8, cursorSize);
  }
  return {x - back, y - back, ScaleToCursor(eraserSize, cursorSize)};
}

}  // namespace overlay
