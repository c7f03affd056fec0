// How a picture box shows its content magnified, apart from any window: at zoom z the box shows a
// part of the content about 1/z of its size each way, stretched over the whole box, every box pixel
// showing one content pixel (the nearest, as StretchBlt in COLORONCOLOR picks it). The content is
// as big as the box (the box sizes itself to its picture).
//
// The zoom moves in wheel notches of x1.25, from x1 up to x8. The view follows the pointer: the
// part shown starts at pointer * (1 - 1/z) in content pixels, so the content pixel under the
// pointer is the pointer's own pixel at every zoom, and moving the pointer to an edge of the box
// brings that edge of the content into view.
#pragma once

#include "base/pixel_rect.h"

namespace forms {

class ZoomView {
 public:
  static constexpr double kNotch = 1.25;
  static constexpr double kMost = 8.0;

  // The box's size in pixels; the part shown stays inside it.
  void SetSize(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }

  double Zoom() const { return zoom_; }
  bool Zoomed() const { return zoom_ > 1.0; }
  // `notches` wheel notches (up: positive) about the box point (x, y): the content under that point
  // stays under it. True when the zoom changed.
  bool ZoomBy(int notches, int x, int y);
  // The view follows the pointer at box point (x, y) (clamped to the box). True when the part shown
  // moved.
  bool Follow(int x, int y);
  // x1 at once.
  void Reset();

  // The content pixels shown, stretched over the whole box: the source rectangle of the stretch.
  base::PixelRect Source() const;
  // The content pixel shown at a box pixel. Of equal distances the left (upper) pixel wins, as
  // GDI's nearest stretch picks it.
  int ContentX(int boxX) const;
  int ContentY(int boxY) const;
  // The first box pixel that shows content pixel x (or y); the box's edge for pixels out of view.
  int BoxX(int contentX) const;
  int BoxY(int contentY) const;
  // The box pixels that show any content pixel of `content`, clipped to the box.
  base::PixelRect BoxAreaShowing(const base::PixelRect& content) const;
  // The content pixels that the box pixels `box` show.
  base::PixelRect ContentShownIn(const base::PixelRect& box) const;

 private:
  // The part shown, in exact content coordinates: it starts at origin and is size / zoom long.
  void ClampOrigin();

  int width_ = 0;
  int height_ = 0;
  double zoom_ = 1.0;
  double originX_ = 0;
  double originY_ = 0;
};

}  // namespace forms
