#include "overlay/history.h"

#include <cstddef>

namespace overlay {

void UndoStep::Add(std::unique_ptr<UndoAction> action) {
  if (action) actions_.push_back(std::move(action));
}

size_t UndoStep::Bytes() const {
  size_t bytes = sizeof(UndoStep);
  for (const auto& a : actions_) bytes += a->Bytes();
  return bytes;
}

bool UndoStep::SwapAll(bool backwards) {
  const size_t n = actions_.size();
  auto at = [&](size_t k) -> UndoAction& { return *actions_[backwards ? n - 1 - k : k]; };
  for (size_t k = 0; k < n; ++k) {
    if (at(k).Swap()) continue;
    while (k-- > 0) at(k).Swap();
    return false;
  }
  return true;
}

bool UndoStep::Undo() { return SwapAll(true); }

bool UndoStep::Redo() { return SwapAll(false); }

void History::Push(UndoStep step) {
  if (step.Empty()) return;
  while (steps_.size() > position_) {
    bytes_ -= steps_.back().Bytes();
    steps_.pop_back();
  }
  bytes_ += step.Bytes();
  steps_.push_back(std::move(step));
  position_ = steps_.size();
  ++pushed_;
  Trim();
}

bool History::Undo() {
  bool undone = false;
  while (position_ > 0) {
    UndoStep& step = steps_[position_ - 1];
    const size_t before = step.Bytes();
    if (!step.Undo()) {
      // Everything older was recorded on top of what this step should bring back.
      Drop(0, position_);
      break;
    }
    --position_;
    // A step that swaps whole states may hold more or less after the swap than before.
    bytes_ = bytes_ - before + step.Bytes();
    undone = true;
    if (!step.Quiet()) break;
  }
  Trim();
  return undone;
}

bool History::Redo() {
  bool redone = false;
  while (position_ < steps_.size()) {
    UndoStep& step = steps_[position_];
    if (redone && !step.Quiet()) break;
    const size_t before = step.Bytes();
    if (!step.Redo()) {
      Drop(position_, steps_.size());
      break;
    }
    ++position_;
    bytes_ = bytes_ - before + step.Bytes();
    redone = true;
  }
  Trim();
  return redone;
}

void History::Drop(size_t first, size_t last) {
  for (size_t i = first; i < last; ++i) bytes_ -= steps_[i].Bytes();
  steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(first), steps_.begin() + static_cast<std::ptrdiff_t>(last));
  if (position_ >= last) {
    position_ -= last - first;
  } else if (position_ > first) {
    position_ = first;
  }
  dropped_ += last - first;
}

void History::Clear() {
  steps_.clear();
  position_ = 0;
  bytes_ = 0;
}

void History::SetLimitBytes(size_t limit) {
  limit_ = limit;
  Trim();
}

void History::Trim() {
  // The oldest first, and never the step just made or just undone into.
  while (bytes_ > limit_ && position_ > 1) Drop(0, 1);
}

}  // namespace overlay
