// Where the pen, the highlighter and the eraser act for a reported mouse position, and where each
// tool's cursor image shows it. The images use their centre as hot spot; the tool acts under the
// tip that the image shows (the pen's point, the marker's felt) or inside the square it outlines.
//
// Everything is laid out for a 32 x 32 image and scales with the size of the cursors the system
// asks for (48 at 150 %, 64 at 200 %): the tips move with the art, so a stroke always starts under
// the tip the presenter sees, and an eraser clears the square its cursor outlines.
#pragma once

#include <cstdint>

namespace overlay {

constexpr int kBaseCursorSize = 32;

struct PointI {
  int x;
  int y;
  bool operator==(const PointI&) const = default;
};

struct SquareI {
  int left;
  int top;
  int side;
  bool operator==(const SquareI&) const = default;
};

// An inclusive pixel rectangle of a cursor image.
struct RectI {
  int left;
  int top;
  int right;
  int bottom;
  bool operator==(const RectI&) const = default;
};

// A length of the 32-pixel layout at `cursorSize`, rounded halves to even.
int ScaleToCursor(double lengthAt32, int cursorSize);

// The hot spot: the image's centre.
PointI HotSpot(int cursorSize);
// The pixel of the tip in the pen's or the highlighter's image: (6, 25) and (7, 27) at 32.
PointI ToolTip(bool penMode, int cursorSize);
// The square outlined in an eraser's image: at 32, eraser 8 (17, 17)-(24, 24), 16 (16, 15)-(31, 30),
// 24 (8, 8)-(31, 31), 32 the whole image.
RectI EraserOutline(int16_t eraserSize, int cursorSize);

// Where the pen or highlighter acts: the pointer moved by tip minus hot spot; at 32, the pen at
// (x - 10, y + 9), the highlighter at (x - 9, y + 11).
PointI PenPoint(bool penMode, int x, int y, int cursorSize = kBaseCursorSize);
// The square the eraser restores. At 32: size 32 from (x - 16, y - 16), 24 from (x - 8, y - 8),
// any other size from (x, y); the side is the size. At another cursor size side and offsets scale.
SquareI EraserSquare(int16_t eraserSize, int x, int y, int cursorSize = kBaseCursorSize);

}  // namespace overlay
