#include "forms/drawing_surface.h"

#include <cstring>
#include <memory>

#include "base/picture.h"

namespace forms {

namespace {
base::PixelRect ToPixelRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
}  // namespace

DrawingSurface::~DrawingSurface() { Free(); }

void DrawingSurface::Free() {
  recorder_.Detach();
  if (dc_ && previous_) ::SelectObject(dc_.Get(), previous_);
  previous_ = nullptr;
  dc_.Reset();
  bitmap_.Reset();
  bits_ = nullptr;
  width_ = height_ = 0;
}

bool DrawingSurface::Create(int width, int height) {
  Free();
  if (width <= 0 || height <= 0) return false;
  base::unique_hdc dc(::CreateCompatibleDC(nullptr));
  if (!dc) return false;
  void* bits = nullptr;
  base::unique_hbitmap bitmap(base::CreatePictureBitmap(width, height, &bits));
  if (!bitmap) return false;
  previous_ = ::SelectObject(dc.Get(), bitmap.Get());
  dc_ = std::move(dc);
  bitmap_ = std::move(bitmap);
  bits_ = static_cast<uint32_t*>(bits);
  width_ = width;
  height_ = height;
  recorder_.Attach(imaging::PixelBuffer{bits_, width_, height_, static_cast<size_t>(width_)});
  return true;
}

imaging::PixelBuffer DrawingSurface::Pixels() const {
  // GDI may hold drawing calls back in a batch; the memory is only what was drawn after this.
  ::GdiFlush();
  return imaging::PixelBuffer{bits_, width_, height_, static_cast<size_t>(width_)};
}

bool DrawingSurface::BeginChange() { return Ready() && recorder_.Begin(); }

void DrawingSurface::Touch(const RECT& area) {
  const base::PixelRect part = ToPixelRect(area);
  // Marking tiles reads no pixel; only a tile whose copy is stale is copied, after the drawing
  // queued before it has landed.
  if (recorder_.ReadsPixels(part)) ::GdiFlush();
  recorder_.Touch(part);
}

imaging::TileChange DrawingSurface::TakeEndedChange() {
  if (!recorder_.Ended()) return imaging::TileChange{};
  ::GdiFlush();
  return recorder_.Take();
}

imaging::TileChange DrawingSurface::EndChange() {
  CloseChange();
  return TakeEndedChange();
}

void DrawingSurface::CancelChange() {
  ::GdiFlush();
  recorder_.Cancel();
}

RECT DrawingSurface::Swap(imaging::TileChange& change) {
  // A change still open (or closed and not taken) was recorded against the pixels about to be
  // replaced: it ends here.
  recorder_.Drop();
  if (!change.SwapWith(Pixels())) return RECT{};
  recorder_.Invalidate(change);
  const base::PixelRect b = change.Bounds();
  return RECT{b.left, b.top, b.right, b.bottom};
}

void DrawingSurface::RefreshCopy() {
  if (!Ready() || !CopyStale()) return;
  ::GdiFlush();
  recorder_.Refresh();
}

imaging::PixelImage DrawingSurface::Copy() const {
  imaging::PixelImage image;
  CopyInto(image);
  return image;
}

void DrawingSurface::CopyInto(imaging::PixelImage& image) const {
  if (!Ready()) {
    image = imaging::PixelImage{};
    return;
  }
  const imaging::PixelBuffer buffer = Pixels();
  image.width = width_;
  image.height = height_;
  image.pixels.assign(buffer.pixels, buffer.pixels + static_cast<size_t>(width_) * height_);
}

bool DrawingSurface::Fill(const imaging::FrozenImage& image) {
  if (!Ready() || image.Width() != width_ || image.Height() != height_) return false;
  const imaging::PixelBuffer buffer = Pixels();
  std::memcpy(buffer.pixels, image.Pixels(), image.Bytes());
  recorder_.InvalidateAll();
  return true;
}

imaging::FrozenImage DrawingSurface::Release() {
  if (!Ready()) return imaging::FrozenImage{};
  ::GdiFlush();
  recorder_.Detach();
  // A bitmap selected into a DC cannot be deleted: it leaves the DC first, and the DC goes.
  ::SelectObject(dc_.Get(), previous_);
  previous_ = nullptr;
  dc_.Reset();
  auto bitmap = std::make_shared<base::unique_hbitmap>(std::move(bitmap_));
  imaging::FrozenImage image(width_, height_, bits_, std::move(bitmap));
  bits_ = nullptr;
  width_ = height_ = 0;
  return image;
}

}  // namespace forms
