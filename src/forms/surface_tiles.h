// What a change to a 32-bit pixel buffer overwrote, kept tile by tile: before the first pixel of
// a tile changes, the tile is copied once; when the change ends, tiles that came out as they went
// in are dropped. A change therefore costs what it touched, not a whole frame.
//
// Kept pieces are exchanged with the buffer rather than copied back: undoing a change puts the
// old pixels in and keeps the new ones in their place, so the same piece of memory serves redo.
// Plain memory and value types only, no window: the drawing surface owns the buffer and calls in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace forms {

// A rectangle of pixels, right and bottom exclusive.
struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool Empty() const { return right <= left || bottom <= top; }
};

// The union of two rectangles; an empty one adds nothing.
PixelRect Union(const PixelRect& a, const PixelRect& b);

// A 32-bit buffer, top-down, `stride` pixels from one row to the next.
struct PixelBuffer {
  uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  size_t stride = 0;
};

// Tiles of one buffer size, each holding the pixels of the state the buffer is not in.
class TileChange {
 public:
  static constexpr int kTileSize = 64;

  bool Empty() const { return tiles_.empty(); }
  size_t TileCount() const { return tiles_.size(); }
  // Memory held: the pixels and the bookkeeping of every tile.
  size_t Bytes() const;
  // The area the tiles cover.
  PixelRect Bounds() const;
  // Exchanges every tile with the buffer. False (and nothing changed) when the buffer is not the
  // size the change was recorded on.
  bool SwapWith(const PixelBuffer& buffer);

 private:
  friend class TileRecorder;
  struct Tile {
    PixelRect area;
    // The area's width x height, row by row; left uninitialised until copied into (no zeroing
    // of memory that is overwritten at once).
    std::unique_ptr<uint32_t[]> pixels;
    size_t Count() const { return static_cast<size_t>(area.right - area.left) * (area.bottom - area.top); }
  };
  int width_ = 0;
  int height_ = 0;
  std::vector<Tile> tiles_;
};

// Records one change at a time on a buffer.
class TileRecorder {
 public:
  // The buffer that changes; any change in progress is dropped.
  void Attach(const PixelBuffer& buffer);
  void Detach();
  bool Attached() const { return buffer_.pixels != nullptr; }

  // Starts a change; one already open is dropped. False without a buffer.
  bool Begin();
  bool Open() const { return open_; }
  // Call before pixels inside `area` change: the tiles under it that are not kept yet are copied.
  void Touch(const PixelRect& area);
  // True when every tile under `area` is kept already (Touch would copy nothing).
  bool Covered(const PixelRect& area) const;
  // Puts the pixels of `area` back as they were when the change began.
  void RestoreBefore(const PixelRect& area);
  // Ends the change: what it overwrote, less the tiles that came out unchanged.
  TileChange End();
  // Ends the change, putting every touched tile back as it was.
  void Cancel();

 private:
  PixelRect Clip(const PixelRect& area) const;
  int Columns() const;
  void Reset();

  PixelBuffer buffer_;
  bool open_ = false;
  TileChange change_;
  // For each tile of the buffer, its place in change_.tiles_ plus one; 0 = not kept yet.
  std::vector<uint32_t> slot_;
};

}  // namespace forms
