// Where the pen, the highlighter and the eraser act for a reported mouse position. The cursor
// images use their centre as hot spot; these offsets put the stroke under the drawn tip.
#pragma once

#include <cstdint>

namespace overlay {

struct PointI {
  int x;
  int y;
};

struct SquareI {
  int left;
  int top;
  int side;
};

// Pen (x - 10, y + 9); highlighter (x - 9, y + 11).
PointI PenPoint(bool penMode, int x, int y);
// 32: top-left (x - 16, y - 16); 24: (x - 8, y - 8); any other size: (x, y); side = the size.
SquareI EraserSquare(int16_t eraserSize, int x, int y);

}  // namespace overlay
