// The undo history of the drawing: a list of steps, each made of actions that can be swapped
// between the state before and the state after. Undo swaps the actions of the newest step back
// (last first), redo swaps them forward again; a new step drops every step that could have been
// redone.
//
// A step that can no longer be applied (it was recorded on a surface of another size, its pixels
// could not be read back) never blocks the history: it goes, and with it every step beyond it in
// the same direction, which were recorded on top of it.
//
// A quiet step changes nothing that shows (the picture on the screen becomes the background, as
// a save does): it goes with its neighbour, so that every Ctrl+Z and Ctrl+Y changes the picture.
//
// The memory of all steps together is bounded in bytes, not in steps: strokes keep only the
// tiles they touched, so a few hundred fit where a few full frames would. When a new step
// passes the bound the oldest steps go first; the newest step stays even alone over the bound.
//
// No window here: the actions that touch the surface and the labels live with the overlay.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <vector>

namespace overlay {

// One reversible piece of a step. Swap exchanges the state the action holds with the present
// one: called once it undoes, called again it redoes.
class UndoAction {
 public:
  virtual ~UndoAction() = default;
  // False when the state could not be brought back (nothing changed then).
  virtual bool Swap() = 0;
  virtual size_t Bytes() const = 0;
};

class UndoStep {
 public:
  void Add(std::unique_ptr<UndoAction> action);
  bool Empty() const { return actions_.empty(); }
  size_t Bytes() const;
  // All or nothing: false, with nothing changed, when one of its actions cannot be applied.
  bool Undo();
  bool Redo();
  // Undo takes the step before a quiet one along, redo the one after it.
  void SetQuiet() { quiet_ = true; }
  bool Quiet() const { return quiet_; }

 private:
  // Swaps every action (the last first, backwards); on a failure the ones swapped go back.
  bool SwapAll(bool backwards);

  std::vector<std::unique_ptr<UndoAction>> actions_;
  bool quiet_ = false;
};

class History {
 public:
  // 256 MB: a full 1920x1080 frame is 8.3 MB and a stroke across the screen about 1 MB, so this
  // keeps well over 100 ordinary steps (150 screen-wide strokes and more), or some 30 steps that
  // replace the whole picture (Ctrl+L, a new presentation), and still 100 screen-wide strokes on
  // a 4K screen; it stays a small part of the memory of any machine that presents at those sizes.
  static constexpr size_t kDefaultLimitBytes = 256u * 1024 * 1024;

  explicit History(size_t limitBytes = kDefaultLimitBytes) : limit_(limitBytes) {}

  // Adds a step after the present one: the steps that could be redone are dropped, then the
  // oldest steps while the total is over the bound. An empty step is not added.
  void Push(UndoStep step);
  // One step back or forward (with the quiet steps next to it); false when nothing changed. A
  // step that cannot be applied is dropped with the ones beyond it, and nothing more is tried.
  bool Undo();
  bool Redo();
  void Clear();

  size_t UndoCount() const { return position_; }
  size_t RedoCount() const { return steps_.size() - position_; }
  size_t Bytes() const { return bytes_; }
  size_t LimitBytes() const { return limit_; }
  void SetLimitBytes(size_t limit);
  // Steps dropped so far (the bound was reached, or they could not be applied), and steps added so far.
  size_t DroppedCount() const { return dropped_; }
  size_t PushedCount() const { return pushed_; }

 private:
  void Trim();
  // Drops steps_[first, last).
  void Drop(size_t first, size_t last);

  std::deque<UndoStep> steps_;
  size_t position_ = 0;  // steps_[0, position_) can be undone, the rest redone
  size_t bytes_ = 0;
  size_t limit_;
  size_t dropped_ = 0;
  size_t pushed_ = 0;
};

}  // namespace overlay
