// The overlay as the drawing history's canvas (overlay/history_canvas.h): Picture1 is the surface,
// Picture2 the clean copy, lblText from kFirstUserLabel up the presenter's labels.
#include "forms/drawing_surface.h"
#include "overlay/ss.h"

namespace {

overlay::LabelState StateOf(const forms::Label& label) {
  overlay::LabelState s;
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

bool ss::BeginChange() { return Picture1.BeginChange(); }
bool ss::ChangeOpen() const { return Picture1.ChangeOpen(); }
void ss::CloseChange() { Picture1.CloseChange(); }
bool ss::ChangeEnded() const { return Picture1.ChangeEnded(); }
imaging::TileChange ss::TakeEndedChange() { return Picture1.TakeEndedChange(); }
void ss::CancelChange() { Picture1.CancelChange(); }
bool ss::SwapChange(imaging::TileChange& change) { return Picture1.SwapChange(change); }
void ss::RefreshCopy() { Picture1.RefreshCopy(); }
void ss::FreeDrawingCopy() { Picture1.FreeDrawingCopy(); }

ss::SurfaceState ss::SaveSurface() { return Picture1.SaveState(); }
ss::SurfaceState ss::TakeSurface() { return Picture1.TakeState(); }
void ss::RestoreSurface(SurfaceState state) { Picture1.RestoreState(std::move(state)); }
void ss::SetBackground(base::Picture picture) { Picture1.SetPicture(std::move(picture)); }
void ss::SetBackgroundKeepDrawing(base::Picture picture) { Picture1.SetPictureKeepDrawing(std::move(picture)); }
SIZE ss::SurfaceSize() const { return SIZE{Picture1.Width(), Picture1.Height()}; }
void ss::ContentInto(imaging::PixelImage& image) { Picture1.ContentImageInto(image); }

base::Picture ss::CleanPicture() const { return Picture2.GetPicture(); }
void ss::SetCleanPicture(base::Picture picture) { Picture2.SetPicture(std::move(picture)); }

std::vector<std::pair<int16_t, overlay::LabelState>> ss::Labels() const {
  std::vector<std::pair<int16_t, overlay::LabelState>> labels;
  lblText.ForEach([&](int16_t index, const forms::Label& label) {
    if (index >= overlay::kFirstUserLabel && label.Hwnd()) labels.emplace_back(index, StateOf(label));
  });
  return labels;
}

std::optional<overlay::LabelState> ss::FindLabel(int16_t index) const {
  const forms::Label* label = lblText.Item(index);
  if (index < overlay::kFirstUserLabel || !label || !label->Hwnd()) return std::nullopt;
  return StateOf(*label);
}

void ss::SetLabel(int16_t index, const std::optional<overlay::LabelState>& state) {
  if (index < overlay::kFirstUserLabel) return;
  if (!state) {
    lblText.Remove(index);
    // The editor may have been opened on it: a commit then makes a new label.
    if (cLbl == index) cLbl = 0;
    return;
  }
  forms::Label* label = lblText.Item(index);
  if (!label || !label->Hwnd()) {
    lblText.Remove(index);
    label = &LoadLblText(index);
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

void ss::RemoveLabels() {
  std::vector<int16_t> present;
  lblText.ForEach([&](int16_t index, const forms::Label&) {
    if (index >= overlay::kFirstUserLabel) present.push_back(index);
  });
  for (int16_t index : present) lblText.Remove(index);
}

std::vector<overlay::PicturePiece> ss::LabelPieces() {
  std::vector<overlay::PicturePiece> pieces;
  // Each label paints itself (the surface under it, then its text) into a bitmap of its size,
  // exactly as it paints on the screen.
  lblText.ForEach([&](int16_t index, const forms::Label& label) {
    if (index < overlay::kFirstUserLabel || !label.Shown()) return;
    const int w = label.Width(), h = label.Height();
    forms::DrawingSurface scratch;
    if (w <= 0 || h <= 0 || !scratch.Create(w, h)) return;
    ::SendMessageW(label.Hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(scratch.Dc()), PRF_CLIENT);
    pieces.push_back({label.Left(), label.Top(), scratch.Copy()});
  });
  return pieces;
}
