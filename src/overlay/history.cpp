#include "overlay/history.h"

namespace overlay {

void UndoStep::Add(std::unique_ptr<UndoAction> action) {
  if (action) actions_.push_back(std::move(action));
}

size_t UndoStep::Bytes() const {
  size_t bytes = sizeof(UndoStep);
  for (const auto& a : actions_) bytes += a->Bytes();
  return bytes;
}

bool UndoStep::Undo() {
  bool any = false;
  for (auto it = actions_.rbegin(); it != actions_.rend(); ++it) any = (*it)->Swap() || any;
  return any;
}

bool UndoStep::Redo() {
  bool any = false;
  for (auto& a : actions_) any = a->Swap() || any;
  return any;
}

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
  if (position_ == 0) return false;
  UndoStep& step = steps_[position_ - 1];
  const size_t before = step.Bytes();
  if (!step.Undo()) return false;
  --position_;
  // A step that swaps whole states may hold more or less after the swap than before.
  bytes_ = bytes_ - before + step.Bytes();
  Trim();
  return true;
}

bool History::Redo() {
  if (position_ == steps_.size()) return false;
  UndoStep& step = steps_[position_];
  const size_t before = step.Bytes();
  if (!step.Redo()) return false;
  ++position_;
  bytes_ = bytes_ - before + step.Bytes();
  Trim();
  return true;
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
  while (bytes_ > limit_ && position_ > 1) {
    bytes_ -= steps_.front().Bytes();
    steps_.pop_front();
    --position_;
    ++dropped_;
  }
}

}  // namespace overlay
