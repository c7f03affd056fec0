// When live drawing's ink goes to the screen: at most once a frame, whatever the pointer does.
// Under Wine one UpdateLayeredWindow costs 10 ms or more however small the area (the whole window
// surface is copied and its shape made again); moves come faster than that, so each is drawn into
// the ink at once and the areas they changed wait, joined into one, for the next frame. A change
// that comes a frame or more after the last one goes out at once; one that comes sooner waits for
// the rest of the frame (a one-shot timer). Nothing runs while nothing changes. A change that finds
// the wait over goes out at once too: WM_TIMER comes only when no other message waits, and a steady
// stream of moves would keep it away for as long as the hand moves.
//
// Times are milliseconds on any steady clock. No window here: the live-drawing window asks and
// does what it is told.
#pragma once

#include "base/pixel_rect.h"

namespace overlay {

class LiveFrames {
 public:
  static constexpr double kFrameMs = 1000.0 / 60;

  explicit LiveFrames(double frameMs = kFrameMs) : frameMs_(frameMs) {}

  enum class Next {
    PresentNow,  // a frame may go out now
    Wait,        // start a timer for WaitMs(); then present
    Waiting,     // a frame is waiting already, and its time has not come: nothing to do
    Nothing,     // the area was empty
  };
  // `area` changed at `nowMs`.
  Next Changed(const base::PixelRect& area, double nowMs);
  // How long the frame asked for by Wait waits.
  double WaitMs() const { return waitMs_; }
  // A frame goes out at `nowMs`: the area to show (everything changed since the last one, joined),
  // empty when nothing changed. The wait, if any, is over.
  base::PixelRect TakeFrame(double nowMs);
  bool Pending() const { return !dirty_.Empty(); }
  // Forgets what waits (the window went) and when the last frame went out.
  void Reset();

 private:
  double frameMs_;
  base::PixelRect dirty_;
  bool waiting_ = false;
  bool presented_ = false;
  double lastMs_ = 0;
  double waitMs_ = 0;
  double dueMs_ = 0;  // when the waiting frame may go out
};

}  // namespace overlay
