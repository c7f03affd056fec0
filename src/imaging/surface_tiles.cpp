#include "imaging/surface_tiles.h"

#include <algorithm>

#include "imaging/tile_codec.h"
#include <cstring>
#include <type_traits>

namespace imaging {

namespace {

constexpr int kSize = TileChange::kTileSize;

size_t Count(const PixelRect& r) { return static_cast<size_t>(r.right - r.left) * (r.bottom - r.top); }

uint32_t* At(const PixelBuffer& b, int x, int y) { return b.pixels + static_cast<size_t>(y) * b.stride + x; }

// Copies `area` from one buffer to the same place in another of the same size.
void CopyArea(const PixelBuffer& from, const PixelBuffer& to, const PixelRect& area) {
  const size_t bytes = static_cast<size_t>(area.right - area.left) * sizeof(uint32_t);
  for (int y = area.top; y < area.bottom; ++y) std::memcpy(At(to, area.left, y), At(from, area.left, y), bytes);
}

bool SameArea(const PixelBuffer& a, const PixelBuffer& b, const PixelRect& area) {
  const size_t bytes = static_cast<size_t>(area.right - area.left) * sizeof(uint32_t);
  for (int y = area.top; y < area.bottom; ++y) {
    if (std::memcmp(At(a, area.left, y), At(b, area.left, y), bytes) != 0) return false;
  }
  return true;
}

// Copies `area` of a buffer into rows of its own width at `kept`, or back, or exchanges them.
enum class Move { FromBuffer, ToBuffer, Exchange };

void Transfer(const PixelBuffer& buffer, const PixelRect& area, uint32_t* kept, Move how) {
  const int w = area.right - area.left;
  for (int y = area.top; y < area.bottom; ++y) {
    uint32_t* row = At(buffer, area.left, y);
    uint32_t* own = kept + static_cast<size_t>(y - area.top) * w;
    if (how == Move::FromBuffer) {
      std::memcpy(own, row, w * sizeof(uint32_t));
    } else if (how == Move::ToBuffer) {
      std::memcpy(row, own, w * sizeof(uint32_t));
    } else {
      std::swap_ranges(row, row + w, own);
    }
  }
}

// A tile's own pixels as a buffer of their own.
PixelBuffer Own(uint32_t* kept, const PixelRect& area) {
  const int w = area.right - area.left;
  return PixelBuffer{kept, w, area.bottom - area.top, static_cast<size_t>(w)};
}

}  // namespace

// --- TileChange ----------------------------------------------------------------------------------

size_t TileChange::Bytes() const {
  return sizeof(TileChange) + tiles_.capacity() * sizeof(Tile) + plain_.Bytes() + packed_.Bytes();
}

PixelRect TileChange::Bounds() const {
  PixelRect all;
  for (const Tile& t : tiles_) all = base::Union(all, t.area);
  return all;
}

bool TileChange::SwapWith(const PixelBuffer& buffer) {
  if (!buffer.pixels || buffer.width != width_ || buffer.height != height_) return false;
  if (!Packed()) {
    // Plain: a packing under way is of pixels about to change.
    packed_.Clear();
    packedTiles_ = 0;
    for (Tile& t : tiles_) Transfer(buffer, t.area, Plain() + t.offset, Move::Exchange);
    return true;
  }
  if (tiles_.empty()) return true;
  // What the buffer holds goes out plain; the packed tiles come in.
  PageBuffer taken(pixelCount_ * sizeof(uint32_t));
  if (!packed_.Load() || !taken.Resize(pixelCount_ * sizeof(uint32_t))) return false;
  uint32_t* out = reinterpret_cast<uint32_t*>(taken.Data());
  for (const Tile& t : tiles_) Transfer(buffer, t.area, out + t.offset, Move::FromBuffer);
  const uint8_t* in = packed_.Data();
  const size_t size = packed_.Size();
  size_t at = 0;
  for (const Tile& t : tiles_) {
    const size_t used = UnpackArea(in + at, size - at, buffer, nullptr, t.area);
    if (used == 0) {
      for (const Tile& u : tiles_) Transfer(buffer, u.area, out + u.offset, Move::ToBuffer);
      return false;
    }
    at += used;
  }
  plain_ = std::move(taken);
  packed_.Clear();
  packedTiles_ = 0;
  return true;
}

bool TileChange::Pack(const TimeSlice& slice) {
  if (Packed()) return true;
  if (packedTiles_ == 0) packed_.Start(tiles_.size() + MaxPackedBytes(pixelCount_));
  while (packedTiles_ < tiles_.size()) {
    const Tile& t = tiles_[packedTiles_];
    const PixelBuffer own = Own(Plain() + t.offset, t.area);
    // Without memory for it the change stays plain, and is not packed again before a swap.
    if (!PackAreaInto(packed_, own, nullptr, PixelRect{0, 0, own.width, own.height})) {
      packed_.Clear();
      packedTiles_ = 0;
      return true;
    }
    ++packedTiles_;
    if (slice.Over()) break;
  }
  if (packedTiles_ < tiles_.size()) return false;
  packed_.Finish();
  plain_.Free();
  return true;
}

// --- TileRecorder --------------------------------------------------------------------------------

void TileRecorder::Attach(const PixelBuffer& buffer) {
  Reset();
  buffer_ = buffer;
  columns_ = (buffer_.width + kSize - 1) / kSize;
  rows_ = (buffer_.height + kSize - 1) / kSize;
  const size_t tiles = static_cast<size_t>(columns_) * rows_;
  // Nothing of the copy is known yet. The list of marked tiles never grows past the tile count,
  // so a stroke never allocates.
  flags_.assign(tiles, kStale);
  staleCount_ = tiles;
  marked_.clear();
  marked_.reserve(tiles);
}

void TileRecorder::Detach() {
  Reset();
  buffer_ = PixelBuffer{};
  columns_ = rows_ = 0;
  flags_.clear();
  marked_.clear();
  staleCount_ = 0;
}

void TileRecorder::FreeCopy() {
  if (state_ != State::Idle) return;  // an open or closed change still reads it
  copy_.reset();
  copyWidth_ = copyHeight_ = 0;
  // Whatever of the buffer the copy held is unknown again.
  for (size_t index = 0; index < flags_.size(); ++index) MarkStale(index);
}

void TileRecorder::Reset() {
  for (uint32_t index : marked_) flags_[index] &= ~kMarked;
  marked_.clear();
  state_ = State::Idle;
}

PixelRect TileRecorder::Clip(const PixelRect& area) const {
  return {std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, buffer_.width),
          std::min(area.bottom, buffer_.height)};
}

PixelRect TileRecorder::TileArea(size_t index) const {
  const int col = static_cast<int>(index % columns_);
  const int row = static_cast<int>(index / columns_);
  return {col * kSize, row * kSize, std::min((col + 1) * kSize, buffer_.width),
          std::min((row + 1) * kSize, buffer_.height)};
}

PixelBuffer TileRecorder::Copy() const {
  return PixelBuffer{copy_.get(), copyWidth_, copyHeight_, static_cast<size_t>(copyWidth_)};
}

bool TileRecorder::EnsureCopy() {
  if (!buffer_.pixels) return false;
  if (copy_ && copyWidth_ == buffer_.width && copyHeight_ == buffer_.height) return true;
  // Left uninitialised: every tile is stale until copied into. The pages are only touched as
  // tiles are copied, so making it costs no whole frame either.
  copy_ = std::make_unique_for_overwrite<uint32_t[]>(static_cast<size_t>(buffer_.width) * buffer_.height);
  copyWidth_ = buffer_.width;
  copyHeight_ = buffer_.height;
  return true;
}

void TileRecorder::MarkStale(size_t index) {
  uint8_t& f = flags_[index];
  if (f & kStale) return;
  f |= kStale;
  ++staleCount_;
}

void TileRecorder::CopyIn(size_t index) {
  CopyArea(buffer_, Copy(), TileArea(index));
  flags_[index] &= ~kStale;
  --staleCount_;
}

bool TileRecorder::Begin() {
  Drop();
  if (!buffer_.pixels || !EnsureCopy()) return false;
  state_ = State::Open;
  return true;
}

template <typename Visit>
bool TileRecorder::VisitTiles(const PixelRect& area, Visit&& visit) const {
  if (!buffer_.pixels) return false;
  const PixelRect part = Clip(area);
  if (part.Empty()) return false;
  for (int row = part.top / kSize; row <= (part.bottom - 1) / kSize; ++row) {
    for (int col = part.left / kSize; col <= (part.right - 1) / kSize; ++col) {
      const size_t index = static_cast<size_t>(row) * columns_ + col;
      if constexpr (std::is_same_v<decltype(visit(index)), bool>) {
        if (visit(index)) return true;
      } else {
        visit(index);
      }
    }
  }
  return false;
}

void TileRecorder::Touch(const PixelRect& area) {
  VisitTiles(area, [&](size_t index) {
    uint8_t& f = flags_[index];
    if (f & kMarked) return;  // the change has this tile's old pixels already
    if (state_ != State::Open) {
      MarkStale(index);
      return;
    }
    // Untouched since the change began: the buffer still holds what the copy must keep.
    if (f & kStale) CopyIn(index);
    f |= kMarked;
    marked_.push_back(static_cast<uint32_t>(index));
  });
}

bool TileRecorder::ReadsPixels(const PixelRect& area) const {
  if (state_ != State::Open || staleCount_ == 0) return false;
  return VisitTiles(area, [&](size_t index) {
    const uint8_t f = flags_[index];
    return (f & kStale) && !(f & kMarked);
  });
}

void TileRecorder::Close() {
  if (state_ == State::Open) state_ = State::Ended;
}

TileChange TileRecorder::Take() {
  TileChange done;
  if (state_ != State::Ended) return done;
  done.width_ = buffer_.width;
  done.height_ = buffer_.height;
  // The marked tiles that came out as they went in are no part of the change; the others are
  // listed first, then their old pixels go into one block.
  const PixelBuffer copy = Copy();
  size_t changed = 0;
  size_t pixels = 0;
  for (uint32_t index : marked_) {
    flags_[index] &= ~kMarked;
    const PixelRect area = TileArea(index);
    if (SameArea(copy, buffer_, area)) continue;
    marked_[changed++] = index;
    pixels += Count(area);
  }
  marked_.resize(changed);
  if (changed > 0) {
    done.tiles_.reserve(changed);
    // Pages of its own: a change that goes gives them back to the system, whatever its size.
    done.plain_ = PageBuffer(pixels * sizeof(uint32_t));
    if (!done.plain_.Resize(pixels * sizeof(uint32_t))) {
      // No memory for it: the change is not recorded, and its tiles' copy is stale.
      for (uint32_t index : marked_) MarkStale(index);
      marked_.clear();
      state_ = State::Idle;
      return TileChange{};
    }
    done.pixelCount_ = pixels;
    size_t offset = 0;
    for (uint32_t index : marked_) {
      const PixelRect area = TileArea(index);
      Transfer(copy, area, done.Plain() + offset, Move::FromBuffer);
      CopyArea(buffer_, copy, area);
      done.tiles_.push_back({area, offset});
      offset += Count(area);
    }
  }
  marked_.clear();
  state_ = State::Idle;
  return done;
}

TileChange TileRecorder::End() {
  Close();
  return Take();
}

void TileRecorder::Cancel() {
  if (state_ != State::Open) return;
  for (uint32_t index : marked_) CopyArea(Copy(), buffer_, TileArea(index));
  Reset();
}

void TileRecorder::Drop() {
  // What the change drew stays, so the copy of its tiles (their old pixels) is stale now.
  for (uint32_t index : marked_) {
    flags_[index] &= ~kMarked;
    MarkStale(index);
  }
  marked_.clear();
  state_ = State::Idle;
}

void TileRecorder::Invalidate(const PixelRect& area) {
  VisitTiles(area, [&](size_t index) {
    // A marked tile's copy holds its pixels from before the change, whatever happens since.
    if (!(flags_[index] & kMarked)) MarkStale(index);
  });
}

void TileRecorder::Invalidate(const TileChange& change) {
  for (const TileChange::Tile& t : change.tiles_) Invalidate(t.area);
}

void TileRecorder::InvalidateAll() {
  Drop();
  for (size_t index = 0; index < flags_.size(); ++index) MarkStale(index);
}

void TileRecorder::Refresh() {
  if (!RefreshWanted() || !EnsureCopy()) return;
  for (size_t index = 0; index < flags_.size() && staleCount_ > 0; ++index) {
    if (flags_[index] & kStale) CopyIn(index);
  }
}

}  // namespace imaging
