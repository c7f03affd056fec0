#include "forms/zoom_view.h"

#include <algorithm>
#include <cmath>

namespace forms {

namespace {

// Wheel notches multiply: a zoom that comes back within this of x1 is x1 (8 / 1.25^n is not exact).
constexpr double kAtOne = 1e-9;

// The whole number at or below (at or above) a / b, for b > 0 and any a: a point left of the box
// (a pen's tip past its edge) counts too.
long long FloorDiv(long long a, long long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
long long CeilDiv(long long a, long long b) { return -FloorDiv(-a, b); }

// How many content pixels a box side of `side` shows at `zoom`: enough to fill it, at most all.
int ShownLength(int side, double zoom) {
  if (zoom <= 1.0) return side;
  const int length = static_cast<int>(std::ceil(side / zoom - kAtOne));
  return std::clamp(length, 1, std::max(side, 1));
}

// Where the part shown starts, `length` pixels of `side`.
int ShownStart(double origin, int length, int side) {
  const int start = static_cast<int>(std::floor(origin + 0.5));
  return std::clamp(start, 0, std::max(side - length, 0));
}

// The content pixel a box pixel shows, for `length` content pixels from `start` over `side` box
// pixels: the one whose span holds the box pixel's centre, the lower one at a tie.
int ContentAt(int box, int start, int length, int side) {
  if (side <= 0) return start;
  return start + static_cast<int>(FloorDiv((2LL * box + 1) * length - 1, 2LL * side));
}

// The first box pixel that shows `content` or a pixel after it, clamped to the box.
int BoxAt(int content, int start, int length, int side) {
  if (length <= 0) return 0;
  const long long c = static_cast<long long>(content) - start;
  const long long box = CeilDiv(2LL * side * c - length + 1, 2LL * length);
  return static_cast<int>(std::clamp<long long>(box, 0, side));
}

}  // namespace

void ZoomView::SetSize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  ClampOrigin();
}

void ZoomView::ClampOrigin() {
  if (!Zoomed()) {
    originX_ = originY_ = 0;
    return;
  }
  originX_ = std::clamp(originX_, 0.0, std::max(width_ - width_ / zoom_, 0.0));
  originY_ = std::clamp(originY_, 0.0, std::max(height_ - height_ / zoom_, 0.0));
}

bool ZoomView::ZoomBy(int notches, int x, int y) {
  if (notches == 0 || width_ <= 0 || height_ <= 0) return false;
  double zoom = std::clamp(zoom_ * std::pow(kNotch, notches), 1.0, kMost);
  if (zoom < 1.0 + kAtOne) zoom = 1.0;
  if (zoom == zoom_) return false;
  // The content point under (x, y) before is the one under it after.
  const double anchorX = originX_ + (x + 0.5) / zoom_;
  const double anchorY = originY_ + (y + 0.5) / zoom_;
  zoom_ = zoom;
  originX_ = anchorX - (x + 0.5) / zoom_;
  originY_ = anchorY - (y + 0.5) / zoom_;
  ClampOrigin();
  return true;
}

bool ZoomView::Follow(int x, int y) {
  if (!Zoomed() || width_ <= 0 || height_ <= 0) return false;
  const base::PixelRect before = Source();
  // Measured at the pixel's centre, so that the last pixel of the box reaches the content's edge.
  originX_ = (std::clamp(x, 0, width_ - 1) + 0.5) * (1.0 - 1.0 / zoom_);
  originY_ = (std::clamp(y, 0, height_ - 1) + 0.5) * (1.0 - 1.0 / zoom_);
  ClampOrigin();
  return !(Source() == before);
}

void ZoomView::Reset() {
  zoom_ = 1.0;
  ClampOrigin();
}

base::PixelRect ZoomView::Source() const {
  const int w = ShownLength(width_, zoom_);
  const int h = ShownLength(height_, zoom_);
  const int left = ShownStart(originX_, w, width_);
  const int top = ShownStart(originY_, h, height_);
  return {left, top, left + w, top + h};
}

int ZoomView::ContentX(int boxX) const {
  const base::PixelRect s = Source();
  return ContentAt(boxX, s.left, s.right - s.left, width_);
}

int ZoomView::ContentY(int boxY) const {
  const base::PixelRect s = Source();
  return ContentAt(boxY, s.top, s.bottom - s.top, height_);
}

int ZoomView::BoxX(int contentX) const {
  const base::PixelRect s = Source();
  return BoxAt(contentX, s.left, s.right - s.left, width_);
}

int ZoomView::BoxY(int contentY) const {
  const base::PixelRect s = Source();
  return BoxAt(contentY, s.top, s.bottom - s.top, height_);
}

base::PixelRect ZoomView::BoxAreaShowing(const base::PixelRect& content) const {
  if (content.Empty()) return {};
  const base::PixelRect box{BoxX(content.left), BoxY(content.top), BoxX(content.right), BoxY(content.bottom)};
  return box.Empty() ? base::PixelRect{} : box;
}

base::PixelRect ZoomView::ContentShownIn(const base::PixelRect& box) const {
  const base::PixelRect b{std::max(box.left, 0), std::max(box.top, 0), std::min(box.right, width_),
                          std::min(box.bottom, height_)};
  if (b.Empty()) return {};
  return {ContentX(b.left), ContentY(b.top), ContentX(b.right - 1) + 1, ContentY(b.bottom - 1) + 1};
}

}  // namespace forms
