#include "overlay/drawing_history.h"

#include <chrono>

#include "forms/drawing_surface.h"
#include "overlay/keeping.h"
#include "overlay/ss.h"

namespace overlay {

namespace {

// A stroke, an erasure or a clear: the tiles it overwrote, swapped with the surface.
class TileAction : public UndoAction {
 public:
  TileAction(forms::PictureBox& box, imaging::TileChange change) : box_(box), change_(std::move(change)) {}
  bool Swap() override { return box_.SwapChange(change_); }
  size_t Bytes() const override { return sizeof(*this) + change_.Bytes(); }
  size_t StoredBytes() const override { return change_.StoredBytes(); }
  bool Pack(const imaging::TimeSlice& slice) override { return change_.Pack(slice); }
  bool Spill(imaging::SpillFile& file) override { return change_.Spill(file); }

 private:
  forms::PictureBox& box_;
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

LabelState StateOf(const forms::Label& label) {
  LabelState s;
  s.caption = label.Caption();
  s.fontName = label.FontName();
  s.fontSize = label.FontSize();
  s.bold = label.FontBold();
  s.italic = label.FontItalic();
  s.color = label.ForeColor();
  s.left = label.Left();
  s.top = label.Top();
  // Shown, also while a magnified view paints it instead of its window.
  s.visible = label.Shown();
  return s;
}

}  // namespace

// --- One change on the surface ------------------------------------------------------------------

void DrawingHistory::BeginChange() {
  SettleChange();
  overlay_.Picture1.BeginChange();
}

bool DrawingHistory::ChangeOpen() const { return overlay_.Picture1.ChangeOpen(); }

void DrawingHistory::EndChange() {
  if (!overlay_.Picture1.ChangeOpen()) return;
  // The release: nothing is read or copied here, and nothing posted (a server round trip under
  // Wine); the overlay's idle time makes the step.
  overlay_.Picture1.CloseChange();
}

void DrawingHistory::TakeEndedChange() {
  if (!overlay_.Picture1.ChangeEnded()) return;
  imaging::TileChange change = overlay_.Picture1.TakeEndedChange();
  if (change.Empty()) return;
  UndoStep step;
  step.Add(std::make_unique<TileAction>(overlay_.Picture1, std::move(change)));
  steps_.Push(std::move(step));
  changed_ = true;
}

void DrawingHistory::SettleChange() {
  if (overlay_.Picture1.ChangeOpen()) overlay_.Picture1.CloseChange();
  TakeEndedChange();
}

void DrawingHistory::CancelChange() { overlay_.Picture1.CancelChange(); }

// --- Idle time -------------------------------------------------------------------------------------

void DrawingHistory::PostIdleWork() {
  if (!idlePosted_ && overlay_.Hwnd()) idlePosted_ = ::PostMessageW(overlay_.Hwnd(), kMsgHistoryIdle, 0, 0) != 0;
}

bool DrawingHistory::DoIdleWork() {
  idlePosted_ = false;
  TakeEndedChange();
  const bool shown = overlay_.IsVisible();
  if (shown) {
    // After an undo or on a new surface: the copy catches up now, not tile by tile under the pen.
    overlay_.Picture1.RefreshCopy();
  } else {
    // Between presentations a program in the tray holds no frame's worth of memory for it.
    overlay_.Picture1.FreeDrawingCopy();
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
  state.surface = takeSurface ? overlay_.Picture1.TakeState() : overlay_.Picture1.SaveState();
  state.clean = overlay_.Picture2.GetPicture();
  state.withLabels = withLabels;
  if (withLabels) {
    overlay_.lblText.ForEach([&](int16_t index, const forms::Label& label) {
      if (index >= kFirstUserLabel && label.Hwnd()) state.labels.emplace_back(index, StateOf(label));
    });
  }
  return state;
}

void DrawingHistory::Apply(OverlayState state) {
  overlay_.Picture1.RestoreState(std::move(state.surface));
  overlay_.Picture2.SetPicture(std::move(state.clean));
  if (!state.withLabels) return;
  std::vector<int16_t> present;
  overlay_.lblText.ForEach([&](int16_t index, const forms::Label&) {
    if (index >= kFirstUserLabel) present.push_back(index);
  });
  for (int16_t index : present) overlay_.lblText.Remove(index);
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
  if (overlay_.IsVisible()) {
    // A second entry on the open overlay: the grab holds the strokes and labels of the moment,
    // and undoing it brings the earlier background and drawing back, with the step before it.
    PushStateStep(KeptState(Capture(false)), true);
  } else {
    // A presentation begins. The last one's drawing is where undo goes first.
    if (lastPresentation_) PushStateStep(std::move(*lastPresentation_));
    lastPresentation_.reset();
    changed_ = false;
  }
  overlay_.Picture1.SetPicture(grab);
  overlay_.Picture2.SetPicture(overlay_.Picture1.GetPicture());
}

void DrawingHistory::ReplaceBackground(base::Picture picture) {
  SettleChange();
  PushStateStep(KeptState(Capture(false)));
  overlay_.Picture1.SetPicture(picture);
  overlay_.Picture2.SetPicture(overlay_.Picture1.GetPicture());
  changed_ = true;
}

void DrawingHistory::GrabBecomesBackground(base::Picture grab) {
  SettleChange();
  // A save through the magnifier between presentations changes no presentation: the next entry
  // grabs anew.
  if (overlay_.IsVisible()) PushStateStep(KeptState(Capture(false)), true);
  overlay_.Picture1.SetPictureKeepDrawing(std::move(grab));
}

// --- Labels ----------------------------------------------------------------------------------------

std::optional<LabelState> DrawingHistory::CaptureLabel(int16_t index) const {
  const forms::Label* label = overlay_.lblText.Item(index);
  if (index < kFirstUserLabel || !label || !label->Hwnd()) return std::nullopt;
  return StateOf(*label);
}

void DrawingHistory::RecordLabelEdit(int16_t index, std::optional<LabelState> before) {
  SettleChange();
  UndoStep step;
  step.Add(std::make_unique<LabelAction>(*this, index, std::move(before)));
  steps_.Push(std::move(step));
  changed_ = true;
}

void DrawingHistory::ApplyLabel(int16_t index, const std::optional<LabelState>& state) {
  if (index < kFirstUserLabel) return;
  if (!state) {
    overlay_.lblText.Remove(index);
    // The editor may have been opened on it: a commit then makes a new label.
    if (overlay_.cLbl == index) overlay_.cLbl = 0;
    return;
  }
  forms::Label* label = overlay_.lblText.Item(index);
  if (!label || !label->Hwnd()) {
    overlay_.lblText.Remove(index);
    label = &overlay_.LoadLblText(index);
  }
  label->SetFontName(state->fontName);
  label->SetFontBold(state->bold);
  label->SetFontSize(state->fontSize);
  label->SetFontItalic(state->italic);
  label->SetForeColor(state->color);
  label->Move(state->left, state->top);
  label->SetCaption(state->caption);
  label->SetVisible(state->visible);
}

// --- Undo, redo, the end of a presentation ------------------------------------------------------

bool DrawingHistory::Undo() {
  SettleChange();
  if (!steps_.Undo()) return false;
  changed_ = true;
  return true;
}

bool DrawingHistory::Redo() {
  SettleChange();
  if (!steps_.Redo()) return false;
  changed_ = true;
  return true;
}

std::vector<PicturePiece> DrawingHistory::LabelPieces() {
  std::vector<PicturePiece> pieces;
  // Each label paints itself (the surface under it, then its text) into a bitmap of its size,
  // exactly as it paints on the screen.
  overlay_.lblText.ForEach([&](int16_t index, const forms::Label& label) {
    if (index < kFirstUserLabel || !label.Shown()) return;
    const int w = label.Width(), h = label.Height();
    forms::DrawingSurface scratch;
    if (w <= 0 || h <= 0 || !scratch.Create(w, h)) return;
    ::SendMessageW(label.Hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(scratch.Dc()), PRF_CLIENT);
    pieces.push_back({label.Left(), label.Top(), scratch.Copy()});
  });
  return pieces;
}

imaging::PixelImage DrawingHistory::ComposedPicture() {
  imaging::PixelImage image;
  ComposePictureInto(image);
  return image;
}

void DrawingHistory::ComposePictureInto(imaging::PixelImage& image) {
  SettleChange();
  overlay_.Picture1.ContentImageInto(image);
  if (!image.Empty()) PastePieces(image, LabelPieces());
}

void DrawingHistory::PresentationEnding() {
  // A window loaded hidden (the palette command) ends no presentation.
  if (!overlay_.IsVisible()) return;
  SettleChange();
  if (!changed_) {
    lastPresentation_.reset();
    return;
  }
  // The labels paint over the surface: they are taken while it is still there.
  KeptPicture kept;
  if (keeper_) kept.pieces = LabelPieces();
  // The surface's pixels move, bitmap and all, into the state the next presentation can undo
  // back into; the keeper shares them. Nothing is copied here.
  OverlayState atEnd = CaptureState(true, true);
  if (keeper_) {
    kept.drawing = atEnd.surface.drawing;
    // No surface was live (nothing drawn on this background, or it could not be made): the
    // content is the picture, read into memory of its own.
    if (kept.drawing.Empty()) kept.drawing = imaging::FrozenImage(overlay_.Picture1.ContentImage());
    keeper_->Keep(std::move(kept));
  }
  lastPresentation_.emplace(std::move(atEnd));
  changed_ = false;
}

void DrawingHistory::PresentationGone() {
  // The keeper starts on what it was handed, and the drawing copy goes, once the hide is done.
  PostIdleWork();
}

void DrawingHistory::Forget() {
  overlay_.Picture1.EndChange();
  steps_.Clear();
  lastPresentation_.reset();
  changed_ = false;
}

void DrawingHistory::FinishKeeping() {
  if (keeper_) keeper_->WaitUntilIdle();
}

}  // namespace overlay
