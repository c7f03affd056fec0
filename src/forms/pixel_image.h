// A picture as plain memory: 32-bit pixels, top-down, blue, green, red and an unused byte
// (0x00RRGGBB as a number). What leaves the drawing surface for a file, the clipboard or the
// history travels in this form, so that another thread can work on it without touching GDI.
#pragma once

#include <cstdint>
#include <vector>

namespace forms {

struct PixelImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // width x height, row by row from the top

  bool Empty() const { return width <= 0 || height <= 0; }
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

}  // namespace forms
