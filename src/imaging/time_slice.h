// Idle-time work done in pieces: a piece goes on until its time is up, and the next one takes up
// the work where it stopped, so that whatever the user does next waits for one piece at most.
#pragma once

#include <chrono>

namespace imaging {

class TimeSlice {
 public:
  explicit TimeSlice(std::chrono::microseconds length) : end_(Clock::now() + length) {}
  // All of the work in one piece.
  static TimeSlice Unlimited() { return TimeSlice(std::chrono::hours(24 * 365)); }
  bool Over() const { return Clock::now() >= end_; }

 private:
  using Clock = std::chrono::steady_clock;
  Clock::time_point end_;
};

}  // namespace imaging
