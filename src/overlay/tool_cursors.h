// The six cursors of presentation mode, drawn at whatever size the system asks for: the
// highlighter and the pen lying on the diagonal with their tips at the lower left, and four
// square outlines for the eraser sizes. Each has a black outline with a light line inside it, so
// it shows on white slides and on dark ones. Where each tool acts is in pen_geometry.h; the
// images are drawn from the same layout, so they agree at every size.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <vector>

#include "base/handles.h"
#include "overlay/links.h"

namespace overlay {

// The size of the cursors the system asks for at `dpi` (32 at 96 dpi).
int CursorSizeForDpi(int dpi);

// The image of a tool's cursor at size x size, as 0xAARRGGBB pixels, top-down; fully transparent
// or fully opaque.
std::vector<uint32_t> ToolCursorPixels(CursorKind kind, int size);

// A cursor of the image, its hot spot at the centre.
base::unique_hcursor MakeToolCursor(CursorKind kind, int size);

// The width of a cursor's image in pixels (0 for none).
int CursorImageSize(HCURSOR cursor);

// The eraser's cursor for an eraser size: 8, 16 and 24 have their own, anything else the 32.
CursorKind EraserCursorFor(int16_t size);

// The six cursors at one size, owned together.
class ToolCursorSet {
 public:
  void Make(int size);
  HCURSOR Get(CursorKind kind) const { return cursors_[static_cast<size_t>(kind)].Get(); }
  int Size() const { return size_; }

 private:
  std::array<base::unique_hcursor, 6> cursors_;
  int size_ = 0;
};

// The image of a tool's cursor for a window of ours: the one `source` gives (the main form carries
// them), or, without one, `own` made at the size the system asks for at the window's scaling.
HCURSOR ToolCursorImage(const CursorSource& source, ToolCursorSet& own, HWND window, CursorKind kind);

}  // namespace overlay
