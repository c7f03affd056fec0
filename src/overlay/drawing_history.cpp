#include "overlay/drawing_history.h"

#include <chrono>

#include "imaging/picture_file.h"
#include "overlay/keeping.h"

namespace overlay {

namespace {

// A stroke, an erasure or a clear: the tiles it overwrote, swapped with the surface.
class TileAction : public UndoAction {
 public:
  TileAction(HistoryCanvas& canvas, imaging::TileChange change) : canvas_(canvas), change_(std::move(change)) {}
  bool Swap() override { return canvas_.SwapChange(change_); }
  size_t Bytes() const override { return sizeof(*this) + change_.Bytes(); }
  size_t StoredBytes() const override { return change_.StoredBytes(); }
  bool Pack(const imaging::TimeSlice& slice) override { return change_.Pack(slice); }
  bool Spill(imaging::SpillFile& file) override { return change_.Spill(file); }

 private:
  HistoryCanvas& canvas_;
  imaging::TileChange change_;
};

// A new background (or a new presentation): the whole state on the other side.
class StateAction : public UndoAction {
 public:
  StateAction(DrawingHistory& history, KeptState other) : history_(history), other_(std::move(other)) {}
  bool Swap() override {
    OverlayState back;
    if (!other_.Take(back)) return false;
    OverlayState present = history_.Capture(back.withLabels);
    // Undoing (or redoing) a turn of the page: the page it leaves is put aside as it is.
    if (present.page != back.page) history_.PutAside(present);
    history_.Apply(std::move(back));
    other_ = KeptState(std::move(present));
    return true;
  }
  size_t Bytes() const override { return sizeof(*this) + other_.Bytes(); }
  size_t StoredBytes() const override { return other_.StoredBytes(); }
  bool Pack(const imaging::TimeSlice& slice) override { return other_.Pack(slice); }
  bool Spill(imaging::SpillFile& file) override { return other_.Spill(file); }

 private:
  DrawingHistory& history_;
  KeptState other_;
};

// One label placed or edited: the label as it is on the other side (none: not there).
class LabelAction : public UndoAction {
 public:
  LabelAction(DrawingHistory& history, int16_t index, std::optional<LabelState> other)
      : history_(history), index_(index), other_(std::move(other)) {}
  bool Swap() override {
    std::optional<LabelState> present = history_.CaptureLabel(index_);
    history_.ApplyLabel(index_, other_);
    other_ = std::move(present);
    return true;
  }
  size_t Bytes() const override {
    return sizeof(*this) + (other_ ? (other_->caption.size() + other_->fontName.size()) * sizeof(wchar_t) : 0);
  }

 private:
  DrawingHistory& history_;
  int16_t index_;
  std::optional<LabelState> other_;
};

}  // namespace

// --- One change on the surface ------------------------------------------------------------------

void DrawingHistory::BeginChange() {
  SettleChange();
  canvas_.BeginChange();
}

bool DrawingHistory::ChangeOpen() const { return canvas_.ChangeOpen(); }

void DrawingHistory::EndChange() {
  if (!canvas_.ChangeOpen()) return;
  // The release: nothing is read or copied here, and nothing posted (a server round trip under
  // Wine); the overlay's idle time makes the step.
  canvas_.CloseChange();
}

void DrawingHistory::TakeEndedChange() {
  if (!canvas_.ChangeEnded()) return;
  imaging::TileChange change = canvas_.TakeEndedChange();
  if (change.Empty()) return;
  UndoStep step;
  step.Add(std::make_unique<TileAction>(canvas_, std::move(change)));
  steps_.Push(std::move(step));
  MarkChanged();
}

void DrawingHistory::SettleChange() {
  if (canvas_.ChangeOpen()) canvas_.CloseChange();
  TakeEndedChange();
}

void DrawingHistory::CancelChange() { canvas_.CancelChange(); }

// --- Idle time -------------------------------------------------------------------------------------

void DrawingHistory::PostIdleWork() {
  if (!idlePosted_) idlePosted_ = canvas_.AskForIdleTime();
}

bool DrawingHistory::DoIdleWork() {
  idlePosted_ = false;
  TakeEndedChange();
  const bool shown = canvas_.Showing();
  if (shown) {
    // After an undo or on a new surface: the copy catches up now, not tile by tile under the pen.
    canvas_.RefreshCopy();
  } else {
    // Between presentations a program in the tray holds no frame's worth of memory for it.
    canvas_.FreeDrawingCopy();
  }
  // The end of a presentation is handled: the keeper may start on its picture.
  if (keeper_) keeper_->StartWriting();
  // Packing: a few milliseconds, so that a stroke, a key or the next presentation waits no longer.
  const imaging::TimeSlice slice(std::chrono::milliseconds(shown ? 4 : 8));
  if (lastPresentation_ && !lastPresentation_->Pack(slice)) return true;
  return !steps_.Compact(slice);
}

// --- Whole states ----------------------------------------------------------------------------------

OverlayState DrawingHistory::Capture(bool withLabels) { return CaptureState(withLabels, false); }

OverlayState DrawingHistory::CaptureState(bool withLabels, bool takeSurface) {
  OverlayState state;
  state.surface = takeSurface ? canvas_.TakeSurface() : canvas_.SaveSurface();
  state.clean = canvas_.CleanPicture();
  state.withLabels = withLabels;
  state.page = canvas_.CurrentPage();
  if (withLabels) state.labels = canvas_.Labels();
  return state;
}

void DrawingHistory::Apply(OverlayState state) {
  canvas_.RestoreSurface(std::move(state.surface));
  canvas_.SetCleanPicture(std::move(state.clean));
  canvas_.SetCurrentPage(state.page);
  if (!state.withLabels) return;
  canvas_.RemoveLabels();
  for (const auto& [index, label] : state.labels) ApplyLabel(index, label);
}

void DrawingHistory::PushStateStep(KeptState before, bool quiet) {
  UndoStep step;
  step.Add(std::make_unique<StateAction>(*this, std::move(before)));
  if (quiet) step.SetQuiet();
  steps_.Push(std::move(step));
}

void DrawingHistory::TakeGrab(base::Picture grab) {
  SettleChange();
  if (canvas_.Showing()) {
    // A second entry on the open overlay: the grab holds the strokes and labels of the moment,
    // and undoing it brings the earlier background and drawing back, with the step before it.
    PushStateStep(KeptState(Capture(false)), true);
  } else {
    // A presentation begins. The last one's drawing is where undo goes first.
    if (lastPresentation_) PushStateStep(std::move(*lastPresentation_));
    lastPresentation_.reset();
    changed_ = false;
    ForgetPages();
  }
  canvas_.SetBackground(grab);
  canvas_.SetCleanPicture(std::move(grab));
}

void DrawingHistory::ReplaceBackground(base::Picture picture) {
  SettleChange();
  PushStateStep(KeptState(Capture(false)));
  canvas_.SetBackground(picture);
  canvas_.SetCleanPicture(std::move(picture));
  MarkChanged();
}

void DrawingHistory::GrabBecomesBackground(base::Picture grab) {
  SettleChange();
  // A save through the magnifier between presentations changes no presentation: the next entry
  // grabs anew.
  if (canvas_.Showing()) PushStateStep(KeptState(Capture(false)), true);
  canvas_.SetBackgroundKeepDrawing(std::move(grab));
}

// --- Labels ----------------------------------------------------------------------------------------

std::optional<LabelState> DrawingHistory::CaptureLabel(int16_t index) const {
  if (index < kFirstUserLabel) return std::nullopt;
  return canvas_.FindLabel(index);
}

void DrawingHistory::RecordLabelEdit(int16_t index, std::optional<LabelState> before) {
  SettleChange();
  UndoStep step;
  step.Add(std::make_unique<LabelAction>(*this, index, std::move(before)));
  steps_.Push(std::move(step));
  MarkChanged();
}

void DrawingHistory::ApplyLabel(int16_t index, const std::optional<LabelState>& state) {
  if (index >= kFirstUserLabel) canvas_.SetLabel(index, state);
}

// --- Undo, redo, the end of a presentation ------------------------------------------------------

bool DrawingHistory::Undo() {
  SettleChange();
  const PageKind before = canvas_.CurrentPage();
  if (!steps_.Undo()) return false;
  MarkChangedUnlessTurned(before);
  return true;
}

bool DrawingHistory::Redo() {
  SettleChange();
  const PageKind before = canvas_.CurrentPage();
  if (!steps_.Redo()) return false;
  MarkChangedUnlessTurned(before);
  return true;
}

// --- Pages -----------------------------------------------------------------------------------------

void DrawingHistory::MarkChanged() {
  changed_ = true;
  drawnOn_[PageIndex(canvas_.CurrentPage())] = true;
}

void DrawingHistory::MarkChangedUnlessTurned(PageKind before) {
  // A turn of the page taken back or done again draws on no page.
  if (canvas_.CurrentPage() == before) {
    MarkChanged();
  } else {
    changed_ = true;
  }
}

void DrawingHistory::ForgetPages() {
  for (auto& aside : pagesAside_) aside.reset();
  drawnOn_.fill(false);
}

void DrawingHistory::PutAside(const OverlayState& state) {
  // Its labels paint themselves now, while they are on the surface they belong to: the page is
  // kept at Esc with them.
  pagesAside_[PageIndex(state.page)] = PageAside{state, canvas_.LabelPieces()};
}

bool DrawingHistory::TurnPage(PageKind to) {
  SettleChange();
  if (to == canvas_.CurrentPage()) return false;
  OverlayState next;
  if (const std::optional<PageAside>& aside = pagesAside_[PageIndex(to)]) {
    next = aside->state;
  } else {
    // The first visit: a blank sheet of the surface's size, its own clean copy, no labels.
    const SIZE size = canvas_.SurfaceSize();
    const int w = size.cx, h = size.cy;
    base::Picture sheet = BlankPage(to, w, h);
    if (!sheet) return false;
    next.surface = forms::PictureBox::State{sheet, w, h, {}};
    next.clean = std::move(sheet);
    next.withLabels = true;
    next.page = to;
  }
  OverlayState before = Capture(true);
  PutAside(before);
  Apply(std::move(next));
  PushStateStep(KeptState(std::move(before)));
  return true;
}

imaging::PixelImage DrawingHistory::ComposedPicture() {
  imaging::PixelImage image;
  ComposePictureInto(image);
  return image;
}

void DrawingHistory::ComposePictureInto(imaging::PixelImage& image) {
  SettleChange();
  canvas_.ContentInto(image);
  if (!image.Empty()) PastePieces(image, canvas_.LabelPieces());
}

void DrawingHistory::PresentationEnding() {
  // A window loaded hidden (the palette command) ends no presentation.
  if (!canvas_.Showing()) return;
  SettleChange();
  if (!changed_) {
    lastPresentation_.reset();
    ForgetPages();
    return;
  }
  // The labels paint over the surface: they are taken while it is still there.
  std::vector<PicturePiece> labels;
  if (keeper_) labels = canvas_.LabelPieces();
  // The surface's pixels move, bitmap and all, into the state the next presentation can undo
  // back into; the keeper shares them. Nothing is copied here.
  OverlayState atEnd = CaptureState(true, true);
  if (keeper_) {
    // Every page drawn on is kept, each as a file of its own, in the order of the pages.
    for (PageKind kind : kPageKinds) {
      if (!drawnOn_[PageIndex(kind)]) continue;
      KeptPicture kept;
      if (kind == atEnd.page) {
        kept.drawing = atEnd.surface.drawing;
        kept.pieces = std::move(labels);
        // No surface was live (nothing drawn on this background, or it could not be made): the
        // content is the picture, read into memory of its own.
        if (kept.drawing.Empty()) {
          imaging::PixelImage content;
          canvas_.ContentInto(content);
          kept.drawing = imaging::FrozenImage(std::move(content));
        }
      } else if (const std::optional<PageAside>& aside = pagesAside_[PageIndex(kind)]) {
        kept.drawing = aside->state.surface.drawing;
        kept.pieces = aside->labels;
        if (kept.drawing.Empty() && aside->state.surface.picture) {
          kept.drawing = imaging::FrozenImage(imaging::PicturePixels(*aside->state.surface.picture));
        }
      }
      if (!kept.drawing.Empty()) keeper_->Keep(std::move(kept));
    }
  }
  lastPresentation_.emplace(std::move(atEnd));
  changed_ = false;
  ForgetPages();
}

void DrawingHistory::PresentationGone() {
  // The keeper starts on what it was handed, and the drawing copy goes, once the hide is done.
  PostIdleWork();
}

void DrawingHistory::Forget() {
  // A change under way ends where it is, unrecorded.
  canvas_.CloseChange();
  canvas_.TakeEndedChange();
  steps_.Clear();
  lastPresentation_.reset();
  changed_ = false;
  ForgetPages();
}

void DrawingHistory::FinishKeeping() {
  if (keeper_) keeper_->WaitUntilIdle();
}

}  // namespace overlay
