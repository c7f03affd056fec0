#include "overlay/pen_geometry.h"

namespace overlay {

PointI PenPoint(bool penMode, int x, int y) {
  if (penMode) return {x - 10, y + 9};
  return {x - 9, y + 11};
}

SquareI EraserSquare(int16_t eraserSize, int x, int y) {
  if (eraserSize == 32) {
    x -= 16;
    y -= 16;
  } else if (eraserSize == 24) {
    x -= 8;
    y -= 8;
  }
  return {x, y, eraserSize};
}

}  // namespace overlay
