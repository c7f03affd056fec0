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
// What the steps hold costs the program waiting in the tray next to nothing. In idle time the
// steps are packed (their pictures through imaging/tile_codec.h, a few percent of their plain
// size); once the packed steps in memory pass a small bound, the ones farthest from the present
// go to the spill file (imaging/spill_file.h) and come back from it when they are undone or
// redone. Without a file to go to (none given, none could be made, it cannot be written) the
// oldest steps go instead. All steps together, in memory and in the file, are bounded in bytes
// too: when a new step passes that bound the oldest go first; the newest stays even alone over it.
//
// No window here: the actions that touch the surface and the labels live with the overlay.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "imaging/spill_file.h"
#include "imaging/time_slice.h"

namespace overlay {

// One reversible piece of a step. Swap exchanges the state the action holds with the present
// one: called once it undoes, called again it redoes.
class UndoAction {
 public:
  virtual ~UndoAction() = default;
  // False when the state could not be brought back (nothing changed then).
  virtual bool Swap() = 0;
  // Memory held, and bytes in the spill file.
  virtual size_t Bytes() const = 0;
  virtual size_t StoredBytes() const { return 0; }
  // Packs what it holds, a piece at a time, until `slice` is over; true once nothing is left to
  // pack. A swap may leave it to be packed again.
  virtual bool Pack(const imaging::TimeSlice& /*slice*/) { return true; }
  // Moves its packed bytes to `file`; true when any went.
  virtual bool Spill(imaging::SpillFile& /*file*/) { return false; }
};

class UndoStep {
 public:
  void Add(std::unique_ptr<UndoAction> action);
  bool Empty() const { return actions_.empty(); }
  size_t Bytes() const;
  size_t StoredBytes() const;
  // All or nothing: false, with nothing changed, when one of its actions cannot be applied.
  bool Undo();
  bool Redo();
  // Undo takes the step before a quiet one along, redo the one after it.
  void SetQuiet() { quiet_ = true; }
  bool Quiet() const { return quiet_; }
  // See UndoAction. A packed step is not packed again until it is swapped; a spilled one (or one
  // the file would not take) is not offered to the file again until then.
  bool Pack(const imaging::TimeSlice& slice);
  bool Packed() const { return packed_; }
  bool Spill(imaging::SpillFile& file);
  bool Spilled() const { return spilled_; }

 private:
  // Swaps every action (the last first, backwards); on a failure the ones swapped go back.
  bool SwapAll(bool backwards);

  std::vector<std::unique_ptr<UndoAction>> actions_;
  bool quiet_ = false;
  bool packed_ = false;
  bool spilled_ = false;
};

class History {
 public:
  // All steps, in memory and in the spill file: 256 MB. Unpacked, a full 1920x1080 frame is
  // 8.3 MB and a stroke across the screen about 1 MB, so even steps not packed yet keep well over
  // 100 ordinary steps, or some 30 that replace the whole picture (Ctrl+L, a new presentation).
  // Packed, a presentation of a desktop with ten strokes is about a megabyte: hundreds of them.
  static constexpr size_t kDefaultLimitBytes = 256u * 1024 * 1024;
  // Packed steps in memory: 8 MB, the ones nearest the present (about ten presentations of a
  // desktop with ten strokes each). The program in the tray holds no more than this for them.
  static constexpr size_t kDefaultMemoryBytes = 8u * 1024 * 1024;

  explicit History(size_t limitBytes = kDefaultLimitBytes, size_t memoryBytes = kDefaultMemoryBytes)
      : limit_(limitBytes), memoryLimit_(memoryBytes) {}

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
  // Memory the steps hold, and their bytes in the spill file.
  size_t Bytes() const;
  size_t StoredBytes() const;
  size_t LimitBytes() const { return limit_; }
  void SetLimitBytes(size_t limit);
  size_t MemoryLimitBytes() const { return memoryLimit_; }
  void SetMemoryLimitBytes(size_t limit) { memoryLimit_ = limit; }

  // Where packed steps beyond the memory bound go; none: they are dropped, oldest first. `wanted`,
  // when given, is asked before each step goes there (the user may not want pictures on the disk).
  void SetSpillFile(imaging::SpillFile* file, std::function<bool()> wanted = nullptr);
  // Idle-time work: packs the steps not packed yet, oldest first; then, while the packed steps in
  // memory pass the memory bound, moves the farthest from the present to the spill file (or drops
  // the oldest). Stops when `slice` is over; true once nothing is left to do.
  bool Compact(const imaging::TimeSlice& slice);
  // Steps dropped so far (the bound was reached, or they could not be applied), and steps added so far.
  size_t DroppedCount() const { return dropped_; }
  size_t PushedCount() const { return pushed_; }

 private:
  void Trim();
  // Drops steps_[first, last).
  void Drop(size_t first, size_t last);
  // The packed step in memory farthest from the present that the file has not refused; null if none.
  UndoStep* FarthestInMemory();

  std::deque<UndoStep> steps_;
  size_t position_ = 0;  // steps_[0, position_) can be undone, the rest redone
  size_t limit_;
  size_t memoryLimit_;
  imaging::SpillFile* spill_ = nullptr;
  std::function<bool()> spillWanted_;
  size_t dropped_ = 0;
  size_t pushed_ = 0;
};

}  // namespace overlay
