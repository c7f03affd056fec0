// Text annotations on the overlay: a hidden editor shown where the presenter releases the mouse
// while text placement is armed, and labels made from what was typed. The labels are children
// of the drawing surface with a transparent background: they show the surface (background and
// strokes) around their text, and go with the window.

#include <exception>
#include <optional>
#include <string>

#include "base/dpi.h"
#include "base/error.h"
#include "base/text.h"
#include "overlay/ss.h"
#include "settings/app_settings.h"

namespace {
constexpr int kIdTxtEdit = 300;
// Control ids of the labels: this base plus the element's index.
constexpr int kIdFirstLabel = 1000;
constexpr int kEditorWidth = 320;
constexpr int kEditorHeight = 96;
// The editor's own size. A text size of 0 (the first-start value) sets labels in it too, so that
// a label looks as it did while it was typed.
constexpr double kEditorPoints = 9.75;
constexpr int kHighestLabelIndex = 32767;
constexpr int32_t kErrAlreadyLoaded = 360;
}  // namespace

void ss::CreateTextControls() {
  const int dpi = base::DpiForWindow(Hwnd());
  txtEdit.Create(Picture1.Hwnd(), kIdTxtEdit, 0, 0, base::ScaleForDpi(kEditorWidth, dpi),
                 base::ScaleForDpi(kEditorHeight, dpi), true, false);
  // The editor's own font, whatever the labels will be set in.
  txtEdit.SetFont(L"Verdana", kEditorPoints, false, false);
  txtEdit.On().keyDown = [this](short& key, int shift) { txtEdit_KeyDown(key, shift); };
  txtEdit.On().keyUp = [this](short& key, int shift) { txtEdit_KeyUp(key, shift); };

  lblText.Clear();
  forms::Label& model = lblText.Add(0);
  model.SetTransparent(true);
  model.SetAutoSize(true);
  // Labels take the mouse only while text placement is armed (a click then reopens one);
  // otherwise pen and eraser work across them as across the rest of the surface.
  model.On().takesMouse = [this] { return textMode != 0; };
  model.Create(Picture1.Hwnd(), kIdFirstLabel + 0, false);

  forms::Label& unused = lblText.Add(1);
  unused.SetTransparent(true);
  unused.SetAutoSize(true);
  unused.Create(Picture3.Hwnd(), kIdFirstLabel + 1, false);
}

void ss::SetTextDpi(int dpi) {
  // The overlay went to a monitor of another dpi: the editor and every label, the template that
  // new ones copy included, at the new one.
  txtEdit.SetDpi(dpi);
  txtEdit.SetSize(base::ScaleForDpi(kEditorWidth, dpi), base::ScaleForDpi(kEditorHeight, dpi));
  lblText.ForEach([dpi](int16_t, forms::Label& label) { label.SetDpi(dpi); });
}

void ss::ForgetTextControls() {
  // The window has taken the editor and every label with it; the next opening starts again from
  // the template and element 1. An edit in progress belongs to the window that is gone.
  lblText.Clear();
  txtEdit.Destroy();
  cKey = 0;
  cLbl = 0;
}

void ss::ArmTextPlacement() {
  Load();
  textMode = -1;
}

forms::Label& ss::LoadLblText(int16_t Index) {
  forms::Label* model = lblText.Item(0);
  if (!model || !model->Hwnd()) throw base::AppError(base::kErrInvalidCall, "ss", "Invalid procedure call");
  if (lblText.Item(Index)) throw base::AppError(kErrAlreadyLoaded, "ss", "Object already loaded");
  forms::Label& label = lblText.Add(Index);
  if (!label.CreateLike(*model, kIdFirstLabel + Index)) {
    lblText.Remove(Index);
    throw base::AppError(base::kErrInvalidCall, "ss", "Invalid procedure call");
  }
  label.On().click = [this, Index] { lblText_Click(Index); };
  return label;
}

void ss::PlaceTextEditor(int X, int Y) {
  txtEdit.Move(X, Y);
  txtEdit.BringToFront();
  txtEdit.SetVisible(true);
  txtEdit.SetFocus();
}

void ss::lblText_Click(int16_t Index) {
  if (!textMode) return;
  forms::Label* label = lblText.Item(Index);
  if (!label) return;
  cLbl = Index;
  // Over the label as the screen shows it (magnified, where the view puts its corner).
  const POINT at = Picture1.ToBox({label->Left(), label->Top()});
  txtEdit.Move(at.x, at.y);
  txtEdit.SetText(label->Caption());
  // The label stays visible under the editor until the commit.
  txtEdit.BringToFront();
  txtEdit.SetVisible(true);
  txtEdit.SetFocus();
  // Carry on typing at the end of the text.
  const LPARAM end = static_cast<LPARAM>(label->Caption().size());
  ::SendMessageW(txtEdit.Hwnd(), EM_SETSEL, static_cast<WPARAM>(end), end);
}

void ss::txtEdit_KeyDown(short& KeyCode, int /*Shift*/) {
  if (KeyCode == VK_CONTROL) cKey = -1;
}

void ss::txtEdit_KeyUp(short& KeyCode, int /*Shift*/) {
  if (KeyCode == VK_CONTROL) {
    cKey = 0;
  } else if (KeyCode == 'C' && cKey) {
    try {
      CommitText();
    } catch (...) {
      // The one failure input can reach is running out of label indexes. Nothing has changed
      // then: the editor keeps its text and every label stays; the presenter hears it.
      ::MessageBeep(MB_ICONEXCLAMATION);
    }
  }
}

void ss::CommitText() {
  // A label that is no longer there cannot be edited in place: the text becomes a new label.
  if (cLbl != 0 && !lblText.Item(cLbl)) cLbl = 0;
  // The label as it was, for undo (none when the commit makes a new one).
  std::optional<overlay::LabelState> before = history_.CaptureLabel(cLbl);
  if (cLbl == 0) {
    const int next = lblText.UBound() + 1;
    if (next > kHighestLabelIndex) throw base::AppError(base::kErrOverflow, "ss", "Overflow");
    LoadLblText(static_cast<int16_t>(next));
    cLbl = static_cast<int16_t>(lblText.UBound());
  }
  forms::Label& label = *lblText.Item(cLbl);
  label.SetFontName(base::Widen(AppSettings.textfont));
  label.SetFontBold(AppSettings.textbold != 0);
  label.SetFontSize(AppSettings.textsize > 0 ? AppSettings.textsize : kEditorPoints);
  label.SetFontItalic(AppSettings.textitalic != 0);
  // Labels are written in the chosen text colour.
  label.SetForeColor(static_cast<COLORREF>(AppSettings.textcolor));
  // On the picture pixel under the editor's corner: magnified, the label lands where it was typed.
  const POINT at = Picture1.ToContent({txtEdit.Left(), txtEdit.Top()});
  label.Move(at.x, at.y);
  label.SetCaption(txtEdit.Text());
  label.SetVisible(true);
  history_.RecordLabelEdit(cLbl, std::move(before));
  txtEdit.SetText(L"");
  txtEdit.SetVisible(false);
  // Hiding the focused editor leaves the focus on the surface, so key commands work again.
  if (Picture1.Hwnd()) ::SetFocus(Picture1.Hwnd());
  cKey = 0;
  cLbl = 0;
  textMode = 0;
}
