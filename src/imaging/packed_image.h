// A whole picture packed tile by tile (imaging/tile_codec.h), alone or as its difference from
// another picture of the same size, in as many pieces of idle time as it takes; its bytes may
// then go to the spill file (imaging/spill_file.h) until the picture is wanted again.
#pragma once

#include <cstddef>

#include "base/pixel_rect.h"
#include "imaging/pixel_image.h"
#include "imaging/spill_file.h"
#include "imaging/time_slice.h"

namespace imaging {

class PackedImage {
 public:
  static constexpr int kTileSize = 64;

  PackedImage() = default;
  PackedImage(int width, int height) : width_(width), height_(height) {}

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }
  // Every tile is packed.
  bool Done() const { return next_ >= TileCount(); }
  // There was no memory to pack it: it holds nothing and is not packed again.
  bool Failed() const { return failed_; }
  // Packs the tiles not packed yet until `slice` is over; true once all are, or once it failed.
  // The same pixels (of this size) and the same reference, or none, at every call.
  bool PackSome(const PixelBuffer& pixels, const PixelBuffer* reference, const TimeSlice& slice);
  // Unpacks a packed picture into `pixels` (of this size) against the reference it was packed
  // with; false when its bytes cannot be read back or are not a whole picture.
  bool Unpack(const PixelBuffer& pixels, const PixelBuffer* reference);

  PackedBytes& Packed() { return bytes_; }
  size_t Bytes() const { return bytes_.Bytes(); }
  size_t StoredBytes() const { return bytes_.StoredBytes(); }

 private:
  size_t TileCount() const;
  base::PixelRect TileArea(size_t index) const;

  int width_ = 0;
  int height_ = 0;
  size_t next_ = 0;  // tiles packed so far, row by row
  bool failed_ = false;
  PackedBytes bytes_;
};

}  // namespace imaging
