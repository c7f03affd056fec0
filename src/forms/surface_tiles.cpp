#include "forms/surface_tiles.h"

#include <algorithm>
#include <cstring>

namespace forms {

PixelRect Union(const PixelRect& a, const PixelRect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

namespace {

// Copies a rectangle between a tile's own rows and the buffer, or exchanges them.
enum class Copy { FromBuffer, ToBuffer, Exchange };

void Transfer(const PixelBuffer& buffer, const PixelRect& area, uint32_t* tile, Copy how) {
  const int w = area.right - area.left;
  for (int y = area.top; y < area.bottom; ++y) {
    uint32_t* row = buffer.pixels + static_cast<size_t>(y) * buffer.stride + area.left;
    uint32_t* kept = tile + static_cast<size_t>(y - area.top) * w;
    switch (how) {
      case Copy::FromBuffer: std::memcpy(kept, row, w * sizeof(uint32_t)); break;
      case Copy::ToBuffer: std::memcpy(row, kept, w * sizeof(uint32_t)); break;
      case Copy::Exchange: std::swap_ranges(row, row + w, kept); break;
    }
  }
}

bool SameAsBuffer(const PixelBuffer& buffer, const PixelRect& area, const uint32_t* tile) {
  const int w = area.right - area.left;
  for (int y = area.top; y < area.bottom; ++y) {
    const uint32_t* row = buffer.pixels + static_cast<size_t>(y) * buffer.stride + area.left;
    if (std::memcmp(row, tile + static_cast<size_t>(y - area.top) * w, w * sizeof(uint32_t)) != 0) return false;
  }
  return true;
}

}  // namespace

size_t TileChange::Bytes() const {
  size_t bytes = sizeof(TileChange) + tiles_.capacity() * sizeof(Tile);
  for (const Tile& t : tiles_) bytes += t.Count() * sizeof(uint32_t);
  return bytes;
}

PixelRect TileChange::Bounds() const {
  PixelRect all;
  for (const Tile& t : tiles_) all = Union(all, t.area);
  return all;
}

bool TileChange::SwapWith(const PixelBuffer& buffer) {
  if (!buffer.pixels || buffer.width != width_ || buffer.height != height_) return false;
  for (Tile& t : tiles_) Transfer(buffer, t.area, t.pixels.get(), Copy::Exchange);
  return true;
}

void TileRecorder::Attach(const PixelBuffer& buffer) {
  Reset();
  buffer_ = buffer;
}

void TileRecorder::Detach() {
  Reset();
  buffer_ = PixelBuffer{};
}

void TileRecorder::Reset() {
  open_ = false;
  change_ = TileChange{};
  slot_.clear();
}

int TileRecorder::Columns() const { return (buffer_.width + TileChange::kTileSize - 1) / TileChange::kTileSize; }

bool TileRecorder::Begin() {
  Reset();
  if (!buffer_.pixels) return false;
  const int rows = (buffer_.height + TileChange::kTileSize - 1) / TileChange::kTileSize;
  slot_.assign(static_cast<size_t>(Columns()) * rows, 0);
  change_.width_ = buffer_.width;
  change_.height_ = buffer_.height;
  open_ = true;
  return true;
}

PixelRect TileRecorder::Clip(const PixelRect& area) const {
  return {std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, buffer_.width),
          std::min(area.bottom, buffer_.height)};
}

void TileRecorder::Touch(const PixelRect& area) {
  if (!open_) return;
  const PixelRect part = Clip(area);
  if (part.Empty()) return;
  constexpr int kSize = TileChange::kTileSize;
  const int columns = Columns();
  for (int row = part.top / kSize; row <= (part.bottom - 1) / kSize; ++row) {
    for (int col = part.left / kSize; col <= (part.right - 1) / kSize; ++col) {
      uint32_t& slot = slot_[static_cast<size_t>(row) * columns + col];
      if (slot) continue;
      TileChange::Tile tile;
      tile.area = {col * kSize, row * kSize, std::min((col + 1) * kSize, buffer_.width),
                   std::min((row + 1) * kSize, buffer_.height)};
      tile.pixels.reset(new uint32_t[tile.Count()]);
      Transfer(buffer_, tile.area, tile.pixels.get(), Copy::FromBuffer);
      change_.tiles_.push_back(std::move(tile));
      slot = static_cast<uint32_t>(change_.tiles_.size());
    }
  }
}

bool TileRecorder::Covered(const PixelRect& area) const {
  if (!open_) return true;
  const PixelRect part = Clip(area);
  if (part.Empty()) return true;
  constexpr int kSize = TileChange::kTileSize;
  const int columns = Columns();
  for (int row = part.top / kSize; row <= (part.bottom - 1) / kSize; ++row) {
    for (int col = part.left / kSize; col <= (part.right - 1) / kSize; ++col) {
      if (!slot_[static_cast<size_t>(row) * columns + col]) return false;
    }
  }
  return true;
}

void TileRecorder::RestoreBefore(const PixelRect& area) {
  if (!open_) return;
  const PixelRect part = Clip(area);
  if (part.Empty()) return;
  constexpr int kSize = TileChange::kTileSize;
  const int columns = Columns();
  // Tiles not kept yet have not changed: only kept ones have anything to give back.
  for (int row = part.top / kSize; row <= (part.bottom - 1) / kSize; ++row) {
    for (int col = part.left / kSize; col <= (part.right - 1) / kSize; ++col) {
      const uint32_t slot = slot_[static_cast<size_t>(row) * columns + col];
      if (!slot) continue;
      const TileChange::Tile& tile = change_.tiles_[slot - 1];
      const PixelRect overlap{std::max(part.left, tile.area.left), std::max(part.top, tile.area.top),
                              std::min(part.right, tile.area.right), std::min(part.bottom, tile.area.bottom)};
      const int tileWidth = tile.area.right - tile.area.left;
      for (int y = overlap.top; y < overlap.bottom; ++y) {
        const uint32_t* from = tile.pixels.get() + static_cast<size_t>(y - tile.area.top) * tileWidth +
                               (overlap.left - tile.area.left);
        std::memcpy(buffer_.pixels + static_cast<size_t>(y) * buffer_.stride + overlap.left, from,
                    static_cast<size_t>(overlap.right - overlap.left) * sizeof(uint32_t));
      }
    }
  }
}

TileChange TileRecorder::End() {
  TileChange done;
  if (open_) {
    done.width_ = change_.width_;
    done.height_ = change_.height_;
    for (TileChange::Tile& t : change_.tiles_) {
      if (!SameAsBuffer(buffer_, t.area, t.pixels.get())) done.tiles_.push_back(std::move(t));
    }
    done.tiles_.shrink_to_fit();
  }
  Reset();
  return done;
}

void TileRecorder::Cancel() {
  if (open_) {
    for (TileChange::Tile& t : change_.tiles_) Transfer(buffer_, t.area, t.pixels.get(), Copy::ToBuffer);
  }
  Reset();
}

}  // namespace forms
