// Where the cursor the presenter sees shows its tool, read from its image: the hot spot, the tip
// of a pen-like cursor (the painted pixel furthest out towards the lower left) and the bounds of
// what it paints (an eraser's outlined square).
#pragma once

#include <windows.h>

#include "support/test_support.h"

namespace testing_support {

struct CursorLook {
  int size = 0;
  POINT hot{};
  POINT tip{};
  RECT painted{};  // inclusive
  // Where the tool acts for a pointer at (x, y): the tip under it.
  POINT TipAt(int x, int y) const { return {x + tip.x - hot.x, y + tip.y - hot.y}; }
};

// The cursor on screen now.
inline HCURSOR CursorShown() {
  CURSORINFO info{};
  info.cbSize = sizeof info;
  return ::GetCursorInfo(&info) ? info.hCursor : nullptr;
}

inline CursorLook LookAtCursor(HCURSOR cursor) {
  CursorLook look;
  ICONINFO info{};
  if (!cursor || !::GetIconInfo(cursor, &info)) return look;
  BITMAP bm{};
  ::GetObjectW(info.hbmMask, sizeof bm, &bm);
  look.size = bm.bmWidth;
  look.hot = {static_cast<LONG>(info.xHotspot), static_cast<LONG>(info.yHotspot)};
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
  // Painted is what shows on white or on black.
  const ScreenImage onWhite = DrawIconOver(cursor, 0xFFFFFF, look.size, look.size);
  const ScreenImage onBlack = DrawIconOver(cursor, 0x000000, look.size, look.size);
  look.painted = {look.size, look.size, -1, -1};
  int bestOut = -1 << 30;
  for (int y = 0; y < look.size; ++y) {
    for (int x = 0; x < look.size; ++x) {
      if (onWhite.At(x, y) == 0xFFFFFF && onBlack.At(x, y) == 0x000000) continue;
      look.painted = {std::min<LONG>(look.painted.left, x), std::min<LONG>(look.painted.top, y),
                      std::max<LONG>(look.painted.right, x), std::max<LONG>(look.painted.bottom, y)};
      if (y - x > bestOut) {
        bestOut = y - x;
        look.tip = {x, y};
      }
    }
  }
  return look;
}

}  // namespace testing_support
