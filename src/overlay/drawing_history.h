// Undo and redo on the overlay, and what becomes of a drawing when its presentation ends.
//
// A step is one change to the picture as the presenter sees it: one stroke or one eraser drag
// (press to release), Ctrl+E, loading a picture, placing or editing one text label, and the start
// of a presentation after one that left a drawing. That last step holds the previous presentation
// as it was at Esc (its background, its strokes, its labels), so undoing past the first step of a
// presentation brings it back. A grab of what shows that becomes the background (a save, a second
// entry on the open overlay) is a quiet step: it changes nothing on the screen, so undo takes it
// along with the step before it; and when the grab is of another size, the surface's new size
// comes back with it.
//
// Anything that draws on the surface as one step (a stroke, a shape) uses the change interface:
// BeginChange, draw on the surface, EndChange (or CancelChange, which takes back everything
// the change drew).
//
// All the history knows of the overlay is its canvas (overlay/history_canvas.h): the surface and
// its states, the clean copy, the labels, the page, and whether it shows.
//
// A stroke costs no more with the history than without: while it draws, the surface only notes
// the tiles it touches, and EndChange (the release) just closes the change. Comparing those
// tiles with the copy the surface keeps and making the step out of them is idle-time work (the
// overlay window's timer while a presentation shows: WM_TIMER comes only when no other message
// waits), as is bringing that copy up to date after an undo or a new background. Whatever reads
// or changes the steps (the next change, undo, redo, a new background, a label, Ctrl+C, the end
// of the presentation) takes a closed change first, so no stroke is ever missing from them.
//
// At the end of a presentation the surface's pixels are handed over as they are, not copied: to
// the state kept for the next presentation's undo, and, shared and unchanged, to the keeper,
// which starts on them once the overlay has gone (on a message posted to the overlay window
// after the hide).
//
// What the history keeps is packed in idle time, a few milliseconds at a time: the steps (see
// overlay/history.h, which also sends the older ones to the spill file) and the presentation kept
// for the next one (overlay/kept_state.h). During a presentation that is the overlay's timer;
// after it, the same timer at a quicker pace on the hidden window, until nothing is left.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/picture.h"
#include "imaging/pixel_image.h"
#include "imaging/spill_file.h"
#include "overlay/history.h"
#include "overlay/history_canvas.h"
#include "overlay/keeping.h"
#include "overlay/kept_state.h"
#include "overlay/pages.h"

namespace overlay {

class DrawingHistory {
 public:
  explicit DrawingHistory(HistoryCanvas& canvas) : canvas_(canvas) {}
  DrawingHistory(const DrawingHistory&) = delete;
  DrawingHistory& operator=(const DrawingHistory&) = delete;

  // The steps, a change closed at the last release among them.
  History& Steps() {
    TakeEndedChange();
    return steps_;
  }

  // --- One change on the surface as one step ------------------------------------------------
  // Opens a change on the surface; one already open is ended (and recorded) first.
  void BeginChange();
  bool ChangeOpen() const;
  // Closes the change: one step when any pixel changed, nothing otherwise. The step is made in
  // idle time (DoIdleWork), or by whatever reads or changes the steps first.
  void EndChange();
  // Makes the step of a closed change now (nothing when none waits).
  void TakeEndedChange();
  // Closes the change and takes back everything it drew; no step.
  void CancelChange();

  // --- What the overlay's commands call -----------------------------------------------------
  // A new grab of the desktop: on the presentation that shows, a step that can be undone (the
  // earlier background comes back); at the start of a presentation, a step only when the last
  // one left a drawing.
  void TakeGrab(base::Picture grab);
  // A picture that becomes the background and the clean copy (Ctrl+L, the capture buttons).
  void ReplaceBackground(base::Picture picture);
  // A grab of what shows becomes the background, the drawing and the clean copy staying (a save):
  // a quiet step, which undo takes along with the one before it. A grab of another size than
  // the surface becomes the surface, at its size.
  void GrabBecomesBackground(base::Picture grab);
  // Around the commit of a label: its state before, and the step once it is placed.
  std::optional<LabelState> CaptureLabel(int16_t index) const;
  void RecordLabelEdit(int16_t index, std::optional<LabelState> before);
  // w or k: the surface turns to page `to` (its drawing and labels as it was left, or a blank
  // sheet), and the page it leaves is put aside as it is; one undo step. False when no sheet
  // could be made.
  bool TurnPage(PageKind to);
  bool Undo();
  bool Redo();
  // Before the window goes (Esc, Exit, sign-out, a close): the drawing is kept for the next
  // presentation's undo and handed to the keeper as a picture file.
  void PresentationEnding();
  // Once the window has gone: the keeper may start on that file in the next idle time (told any
  // earlier, its thread would compete with the hide for the processor), and the memory of the
  // drawing's copy goes back.
  void PresentationGone();
  // Waits until the keeper has written everything handed to it.
  void FinishKeeping();

  // The picture as it shows: background, strokes and labels.
  imaging::PixelImage ComposedPicture();
  // The same into `image`, in the memory it has when that is enough.
  void ComposePictureInto(imaging::PixelImage& image);
  // Something was drawn, loaded or typed since the presentation began.
  bool ChangedThisPresentation() const { return changed_; }

  // --- Idle time ------------------------------------------------------------------------------
  // The overlay's idle time (its timer, and kMsgHistoryIdle after a presentation): the step of a
  // closed change, the surface's copy brought up to date (given back while the window is hidden),
  // the keeper let start on what it was handed, and a few milliseconds of packing. True while
  // packing is left for later calls. Cheap when there is nothing to do.
  bool DoIdleWork();
  // Where packed steps beyond the memory bound go (overlay/history.h); `wanted` is asked first.
  void SetSpillFile(imaging::SpillFile* file, std::function<bool()> wanted = nullptr) {
    steps_.SetSpillFile(file, std::move(wanted));
  }

  // Forgets every step and the previous presentation (a test's clean start, the end of the program).
  void Forget();

  void SetKeeper(DrawingKeeper* keeper) { keeper_ = keeper; }
  DrawingKeeper* Keeper() const { return keeper_; }

  // For the actions: the whole state, and bringing one back.
  OverlayState Capture(bool withLabels);
  void Apply(OverlayState state);
  void ApplyLabel(int16_t index, const std::optional<LabelState>& state);
  // A page that the surface leaves, put aside as `state` has it, its labels as they paint now.
  void PutAside(const OverlayState& state);

 private:
  // The change open or closed goes into the steps now: before anything else reads or changes them.
  void SettleChange();
  void PostIdleWork();
  void PushStateStep(KeptState before, bool quiet = false);
  // Something was drawn, erased, typed or loaded on the page that shows.
  void MarkChanged();
  // After an undo or a redo: a page drawn on, unless the step was a turn of the page.
  void MarkChangedUnlessTurned(PageKind before);
  void ForgetPages();
  OverlayState CaptureState(bool withLabels, bool takeSurface);

  HistoryCanvas& canvas_;
  History steps_;
  DrawingKeeper* keeper_ = nullptr;
  bool changed_ = false;
  bool idlePosted_ = false;
  // The previous presentation as it was at Esc, when it left a drawing.
  std::optional<KeptState> lastPresentation_;
  // The pages put aside during this presentation (whole: they go at its end), and which pages
  // were drawn on: each of those is kept at Esc.
  struct PageAside {
    OverlayState state;
    std::vector<PicturePiece> labels;
  };
  std::array<std::optional<PageAside>, kPageKinds.size()> pagesAside_;
  std::array<bool, kPageKinds.size()> drawnOn_{};
};

}  // namespace overlay
