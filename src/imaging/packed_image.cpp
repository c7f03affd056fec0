#include "imaging/packed_image.h"

#include <algorithm>

#include "imaging/tile_codec.h"

namespace imaging {

size_t PackedImage::TileCount() const {
  if (Empty()) return 0;
  return static_cast<size_t>((width_ + kTileSize - 1) / kTileSize) * ((height_ + kTileSize - 1) / kTileSize);
}

base::PixelRect PackedImage::TileArea(size_t index) const {
  const size_t columns = static_cast<size_t>((width_ + kTileSize - 1) / kTileSize);
  const int left = static_cast<int>(index % columns) * kTileSize;
  const int top = static_cast<int>(index / columns) * kTileSize;
  return {left, top, std::min(left + kTileSize, width_), std::min(top + kTileSize, height_)};
}

bool PackedImage::PackSome(const PixelBuffer& pixels, const PixelBuffer* reference, const TimeSlice& slice) {
  const size_t count = TileCount();
  if (next_ >= count || failed_) return true;
  if (next_ == 0) bytes_.Start(count + MaxPackedBytes(static_cast<size_t>(width_) * height_));
  while (next_ < count) {
    if (!PackAreaInto(bytes_, pixels, reference, TileArea(next_))) {
      failed_ = true;
      next_ = 0;
      bytes_.Clear();
      return true;
    }
    ++next_;
    if (slice.Over()) break;
  }
  if (next_ < count) return false;
  bytes_.Finish();
  return true;
}

bool PackedImage::Unpack(const PixelBuffer& pixels, const PixelBuffer* reference) {
  if (!Done() || pixels.width != width_ || pixels.height != height_ || !bytes_.Load()) return false;
  const uint8_t* in = bytes_.Data();
  const size_t size = bytes_.Size();
  size_t at = 0;
  for (size_t i = 0, count = TileCount(); i < count; ++i) {
    const size_t used = UnpackArea(in + at, size - at, pixels, reference, TileArea(i));
    if (used == 0) return false;
    at += used;
  }
  return at == size;
}

}  // namespace imaging
