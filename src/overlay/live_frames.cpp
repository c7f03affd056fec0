#include "overlay/live_frames.h"

#include <algorithm>

namespace overlay {

LiveFrames::Next LiveFrames::Changed(const base::PixelRect& area, double nowMs) {
  if (area.Empty()) return Next::Nothing;
  dirty_ = base::Union(dirty_, area);
  if (waiting_) return nowMs >= dueMs_ ? Next::PresentNow : Next::Waiting;
  const double since = nowMs - lastMs_;
  if (!presented_ || since >= frameMs_) return Next::PresentNow;
  waiting_ = true;
  waitMs_ = std::max(frameMs_ - since, 0.0);
  dueMs_ = lastMs_ + frameMs_;
  return Next::Wait;
}

base::PixelRect LiveFrames::TakeFrame(double nowMs) {
  waiting_ = false;
  const base::PixelRect area = dirty_;
  dirty_ = {};
  if (area.Empty()) return area;
  // Frames are spaced by when they start: the time the system takes to show one is part of it.
  presented_ = true;
  lastMs_ = nowMs;
  return area;
}

void LiveFrames::Reset() {
  dirty_ = {};
  waiting_ = false;
  presented_ = false;
  lastMs_ = waitMs_ = dueMs_ = 0;
}

}  // namespace overlay
