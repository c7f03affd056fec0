// A picture as plain memory: 32-bit pixels, top-down, blue, green, red and an unused byte
// (0x00RRGGBB as a number). What leaves the drawing surface for a file, the clipboard or the
// history travels in this form, so that another thread can work on it without touching GDI.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace imaging {

struct PixelImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // width x height, row by row from the top

  bool Empty() const { return width <= 0 || height <= 0; }
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Pixels in memory of someone else's (a bitmap's, a copy's): 32 bits, top-down, `stride` pixels
// from one row to the next.
struct PixelBuffer {
  uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  size_t stride = 0;
};

// A picture that nobody changes any more, shared instead of copied: the history and the thread
// that writes it to a file can hold the same one. Copies share the pixels; the memory goes with
// the last holder, on whichever thread that is.
class FrozenImage {
 public:
  FrozenImage() = default;
  // Takes the pixels of `image` over (moved, not copied).
  explicit FrozenImage(PixelImage image);
  // Pixels in memory that `owner` keeps alive; whoever hands them over writes them no more.
  FrozenImage(int width, int height, const uint32_t* pixels, std::shared_ptr<const void> owner)
      : width_(width), height_(height), pixels_(pixels), owner_(std::move(owner)) {}

  bool Empty() const { return !pixels_ || width_ <= 0 || height_ <= 0; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // width x height, row by row from the top.
  const uint32_t* Pixels() const { return pixels_; }
  uint32_t At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  size_t Bytes() const { return Empty() ? 0 : static_cast<size_t>(width_) * height_ * sizeof(uint32_t); }
  // A copy of one's own, to change.
  PixelImage Copy() const;

 private:
  int width_ = 0;
  int height_ = 0;
  const uint32_t* pixels_ = nullptr;
  std::shared_ptr<const void> owner_;
};

inline FrozenImage::FrozenImage(PixelImage image) {
  if (image.Empty()) return;
  auto owned = std::make_shared<const std::vector<uint32_t>>(std::move(image.pixels));
  width_ = image.width;
  height_ = image.height;
  pixels_ = owned->data();
  owner_ = std::move(owned);
}

inline PixelImage FrozenImage::Copy() const {
  PixelImage image;
  if (Empty()) return image;
  image.width = width_;
  image.height = height_;
  image.pixels.assign(pixels_, pixels_ + static_cast<size_t>(width_) * height_);
  return image;
}

}  // namespace imaging
