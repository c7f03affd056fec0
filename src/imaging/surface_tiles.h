// What a change to a 32-bit pixel buffer overwrote, kept tile by tile, at no cost to the drawing.
//
// The recorder keeps a copy of the buffer beside it. Outside a change the copy equals the buffer;
// during a change, drawing only marks the tiles it touches (a flag per tile, no pixels move), and
// the copy still holds those tiles as they were when the change began. Once the change is closed,
// Take compares the marked tiles with the copy, moves the old pixels of those that differ into
// the change (one allocation for all of them) and brings the copy up to date. Closing is cheap;
// Take is the work, done when nothing else waits (in idle time) or before the next change begins.
//
// Anything that changes the buffer outside a change (an undo, a new background) marks its tiles
// stale: their copy is refreshed in idle time (Refresh), or, should a change reach one first, the
// tile is copied just before its first pixel changes. The copy is therefore equal to the buffer
// at its first use without anyone paying for a whole frame at once. It is made for the first
// change: a buffer that never records one costs no copy.
//
// Kept pieces are exchanged with the buffer rather than copied back: undoing a change puts the
// old pixels in and keeps the new ones in their place, so the same piece of memory serves redo.
// A change that waits in the history is packed in idle time (imaging/tile_codec.h) and may go to
// the spill file from there; swapping it unpacks it and leaves the pixels it took out plain, to be
// packed again.
// Plain memory and value types only, no window: the drawing surface owns the buffer and calls in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/pixel_rect.h"
#include "imaging/page_buffer.h"
#include "imaging/pixel_image.h"
#include "imaging/spill_file.h"
#include "imaging/time_slice.h"

namespace imaging {

using base::PixelRect;

// Tiles of one buffer size, each holding the pixels of the state the buffer is not in.
class TileChange {
 public:
  static constexpr int kTileSize = 64;

  bool Empty() const { return tiles_.empty(); }
  size_t TileCount() const { return tiles_.size(); }
  // Memory held: the pixels, plain or packed, and the bookkeeping of every tile.
  size_t Bytes() const;
  // Bytes in the spill file.
  size_t StoredBytes() const { return packed_.StoredBytes(); }
  // The area the tiles cover.
  PixelRect Bounds() const;
  // Exchanges every tile with the buffer. False (and nothing changed) when the buffer is not the
  // size the change was recorded on, or its packed pixels cannot be read back. Afterwards the
  // change holds the pixels it took out, plain.
  bool SwapWith(const PixelBuffer& buffer);
  // Packs the tiles, one after the other, until `slice` is over; true once every tile is packed
  // and the plain pixels are gone (or once there was no memory to pack them: they stay plain).
  bool Pack(const TimeSlice& slice);
  bool Packed() const { return plain_.Empty(); }
  // The packed pixels go to `file`; false when they cannot (not packed yet, the file refuses).
  bool Spill(SpillFile& file) { return Packed() && packed_.Spill(file); }

 private:
  friend class TileRecorder;
  struct Tile {
    PixelRect area;
    size_t offset = 0;  // where its rows start among the plain pixels
  };
  int width_ = 0;
  int height_ = 0;
  std::vector<Tile> tiles_;
  uint32_t* Plain() { return reinterpret_cast<uint32_t*>(plain_.Data()); }

  // Every tile's pixels, row by row, one tile after the other; none once packed.
  PageBuffer plain_;
  size_t pixelCount_ = 0;
  // The tiles packed, one after the other, and how many of them are.
  PackedBytes packed_;
  size_t packedTiles_ = 0;
};

// Records one change at a time on a buffer.
class TileRecorder {
 public:
  // The buffer that changes; any change in progress is dropped and the whole copy is stale.
  void Attach(const PixelBuffer& buffer);
  // No buffer any more. The copy's memory is kept for a buffer of the same size.
  void Detach();
  // Gives the copy's memory back (a frame's worth), for a buffer that will not be drawn on for a
  // while; the next change makes it again. Not while a change is open or waits to be taken.
  void FreeCopy();
  size_t CopyBytes() const { return copy_ ? static_cast<size_t>(copyWidth_) * copyHeight_ * sizeof(uint32_t) : 0; }
  bool Attached() const { return buffer_.pixels != nullptr; }

  // Starts a change. A change closed but not taken is dropped first (its pixels stay as drawn).
  // False without a buffer.
  bool Begin();
  bool Open() const { return state_ == State::Open; }
  // Closed and waiting for Take.
  bool Ended() const { return state_ == State::Ended; }
  // Call before pixels inside `area` change. In a change: the tiles under it are marked, and any
  // whose copy is stale is copied first. Outside one: the copy of those tiles goes stale.
  void Touch(const PixelRect& area);
  // True when Touch would read pixels of the buffer (a tile under `area` has a stale copy and is
  // not marked yet): whoever draws into the buffer through a queue must let it land first.
  bool ReadsPixels(const PixelRect& area) const;
  // Closes the open change without looking at a pixel.
  void Close();
  // The closed change: what it overwrote, less the tiles that came out unchanged. The copy is up
  // to date with the buffer afterwards. Empty when no change is closed.
  TileChange Take();
  // Close and Take at once.
  TileChange End();
  // Ends the open change, putting every touched tile back as it was.
  void Cancel();
  // During an open change, the pixels as they were when it began, for every tile it touched (the
  // rest of the buffer is undefined): for drawing that blends over what was there before.
  PixelBuffer Before() const { return state_ == State::Open ? Copy() : PixelBuffer{}; }
  // Forgets any open or closed change without recording it; what it touched stays as drawn.
  void Drop();

  // --- The copy -------------------------------------------------------------------------------
  // The buffer changed under `area` (or as the change says) outside any change.
  void Invalidate(const PixelRect& area);
  void Invalidate(const TileChange& change);
  // The whole buffer changed; any change is dropped.
  void InvalidateAll();
  // Tiles whose copy is stale, waiting for Refresh.
  size_t StaleTiles() const { return staleCount_; }
  // There is a copy (a change was recorded) and some of it is stale.
  bool RefreshWanted() const { return copy_ && staleCount_ > 0; }
  // Copies every stale tile (the caller lets queued drawing land first), once a copy exists.
  // Tiles of an open change are never stale.
  void Refresh();

 private:
  enum class State { Idle, Open, Ended };
  // Per tile.
  static constexpr uint8_t kStale = 1;   // the copy does not hold the buffer's pixels
  static constexpr uint8_t kMarked = 2;  // touched by the open or closed change

  PixelRect Clip(const PixelRect& area) const;
  PixelRect TileArea(size_t index) const;
  // Calls `visit(index)` for each tile under `area`, row by row. A `visit` that returns bool stops
  // the walk by returning true; then so does this.
  template <typename Visit>
  bool VisitTiles(const PixelRect& area, Visit&& visit) const;
  PixelBuffer Copy() const;
  bool EnsureCopy();
  void MarkStale(size_t index);
  void CopyIn(size_t index);
  void Reset();

  PixelBuffer buffer_;
  State state_ = State::Idle;
  int columns_ = 0;
  int rows_ = 0;
  std::vector<uint8_t> flags_;
  // The tiles marked by the change, in the order they were first touched.
  std::vector<uint32_t> marked_;
  size_t staleCount_ = 0;
  // The copy: the buffer's size, stride = width; made at its first use.
  std::unique_ptr<uint32_t[]> copy_;
  int copyWidth_ = 0;
  int copyHeight_ = 0;
};

}  // namespace imaging
