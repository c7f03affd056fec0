#include "overlay/history.h"

#include <cstddef>

namespace overlay {

namespace {
// A step whose packed bytes are fewer than this stays in memory: the file would spend a block on
// it and give back next to nothing.
constexpr size_t kWorthSpilling = 4096;
}  // namespace

void UndoStep::Add(std::unique_ptr<UndoAction> action) {
  if (action) actions_.push_back(std::move(action));
  packed_ = spilled_ = false;
}

size_t UndoStep::Bytes() const {
  size_t bytes = sizeof(UndoStep);
  for (const auto& a : actions_) bytes += a->Bytes();
  return bytes;
}

size_t UndoStep::StoredBytes() const {
  size_t bytes = 0;
  for (const auto& a : actions_) bytes += a->StoredBytes();
  return bytes;
}

bool UndoStep::SwapAll(bool backwards) {
  const size_t n = actions_.size();
  auto at = [&](size_t k) -> UndoAction& { return *actions_[backwards ? n - 1 - k : k]; };
  // A swap changes what the actions hold, packed or not.
  packed_ = spilled_ = false;
  for (size_t k = 0; k < n; ++k) {
    if (at(k).Swap()) continue;
    while (k-- > 0) at(k).Swap();
    return false;
  }
  return true;
}

bool UndoStep::Undo() { return SwapAll(true); }

bool UndoStep::Redo() { return SwapAll(false); }

bool UndoStep::Pack(const imaging::TimeSlice& slice) {
  if (packed_) return true;
  for (const auto& a : actions_) {
    if (!a->Pack(slice)) return false;
  }
  packed_ = true;
  return true;
}

bool UndoStep::Spill(imaging::SpillFile& file) {
  bool any = false;
  for (const auto& a : actions_) any = a->Spill(file) || any;
  spilled_ = true;
  return any;
}

void History::Push(UndoStep step) {
  if (step.Empty()) return;
  steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(position_), steps_.end());
  steps_.push_back(std::move(step));
  position_ = steps_.size();
  ++pushed_;
  Trim();
}

bool History::Undo() {
  bool undone = false;
  while (position_ > 0) {
    UndoStep& step = steps_[position_ - 1];
    if (!step.Undo()) {
      // Everything older was recorded on top of what this step should bring back.
      Drop(0, position_);
      break;
    }
    --position_;
    undone = true;
    if (!step.Quiet()) break;
  }
  // A step that swaps whole states may hold more or less after the swap than before.
  Trim();
  return undone;
}

bool History::Redo() {
  bool redone = false;
  while (position_ < steps_.size()) {
    UndoStep& step = steps_[position_];
    if (redone && !step.Quiet()) break;
    if (!step.Redo()) {
      Drop(position_, steps_.size());
      break;
    }
    ++position_;
    redone = true;
  }
  Trim();
  return redone;
}

void History::Drop(size_t first, size_t last) {
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
}

size_t History::Bytes() const {
  size_t bytes = 0;
  for (const UndoStep& s : steps_) bytes += s.Bytes();
  return bytes;
}

size_t History::StoredBytes() const {
  size_t bytes = 0;
  for (const UndoStep& s : steps_) bytes += s.StoredBytes();
  return bytes;
}

void History::SetLimitBytes(size_t limit) {
  limit_ = limit;
  Trim();
}

void History::SetSpillFile(imaging::SpillFile* file, std::function<bool()> wanted) {
  spill_ = file;
  spillWanted_ = std::move(wanted);
}

void History::Trim() {
  // The oldest first, and never the step just made or just undone into.
  size_t total = Bytes() + StoredBytes();
  while (total > limit_ && position_ > 1) {
    total -= steps_.front().Bytes() + steps_.front().StoredBytes();
    Drop(0, 1);
  }
}

UndoStep* History::FarthestInMemory() {
  UndoStep* farthest = nullptr;
  size_t distance = 0;
  for (size_t i = 0; i < steps_.size(); ++i) {
    UndoStep& s = steps_[i];
    if (!s.Packed() || s.Spilled() || s.Bytes() < kWorthSpilling) continue;
    // The next undo is steps_[position_ - 1], the next redo steps_[position_].
    const size_t d = i < position_ ? position_ - i : i - position_ + 1;
    if (!farthest || d > distance) {
      farthest = &s;
      distance = d;
    }
  }
  return farthest;
}

bool History::Compact(const imaging::TimeSlice& slice) {
  for (UndoStep& s : steps_) {
    if (!s.Pack(slice)) return false;
  }
  size_t memory = Bytes();
  for (bool first = true; memory > memoryLimit_; first = false) {
    if (!first && slice.Over()) return false;
    if (spill_ && spill_->Usable() && (!spillWanted_ || spillWanted_())) {
      UndoStep* farthest = FarthestInMemory();
      if (!farthest) break;  // what is left in memory is not worth a place in the file
      const size_t before = farthest->Bytes();
      if (farthest->Spill(*spill_)) {
        memory = memory - before + farthest->Bytes();
        continue;
      }
      // The file took nothing (a full disk): the oldest go instead.
    }
    // Nowhere else to keep them: the oldest go, never the step just made or undone into.
    if (position_ <= 1) break;
    memory -= steps_.front().Bytes();
    Drop(0, 1);
  }
  return true;
}

}  // namespace overlay
