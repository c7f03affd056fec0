// A rectangle of pixels, right and bottom exclusive: the unit of the drawing's bookkeeping (tiles
// of the history, the boxes an outline can touch).
#pragma once

#include <algorithm>

namespace base {

struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool Empty() const { return right <= left || bottom <= top; }
  long long Area() const { return Empty() ? 0 : static_cast<long long>(right - left) * (bottom - top); }
  bool operator==(const PixelRect&) const = default;
};

// The smallest rectangle holding both; an empty one adds nothing.
inline PixelRect Union(const PixelRect& a, const PixelRect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

}  // namespace base
