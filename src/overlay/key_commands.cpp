// The overlay's side of the commands of presentation mode: the handler that every typed character
// goes through, and what the commands do to the overlay itself as a drawing mode. Which character
// runs which command is the program's command table (shell/commands.cpp).
#include <windows.h>

#include <commdlg.h>

#include "base/error.h"
#include "overlay/clipboard.h"
#include "overlay/ss.h"
#include "settings/app_settings.h"

void ss::Picture1_KeyPress(short& KeyAscii) {
  // The error path ends the command silently and unsaved; checkpalette tells the caller.
  checkpalette = commands_ && !commands_->RunKey(KeyAscii) ? -1 : 0;
}

bool ss::Offers(overlay::CommandId id) const {
  // Every drawing command but the one that belongs to drawing over running programs.
  return id != overlay::CommandId::Pointing;
}

void ss::Leave() {
  // Esc during a shape drag takes back that shape only; the next Esc leaves.
  if (shapeDrag_.Following()) {
    CancelShapeDrag();
    return;
  }
  eraserOn = 0;
  // Text placement armed with t ends with the presentation too: otherwise the next one would
  // start with a pen that draws nothing.
  textMode = 0;
  Unload();
}

void ss::ClearDrawing() {
  Load();
  ClearStrokes();
  eraserOn = 0;
  SetCursorImage(overlay::CursorKind::Highlighter);
}

void ss::SetEraserSize(int16_t size) {
  Load();
  AppSettings.erasersize = size;
  SetCursorImage(overlay::EraserCursorFor(size));
}

void ss::ChooseColour() {
  Load();
  CommonDialog1.owner = Hwnd();
  CommonDialog1.color = static_cast<COLORREF>(AppSettings.color);
  CommonDialog1.flags = CC_RGBINIT | CC_FULLOPEN;  // 3
  CommonDialog1.cancelError = true;
  CommonDialog1.ShowColor();
  CommonDialog1.cancelError = true;
  AppSettings.color = static_cast<int32_t>(CommonDialog1.color);
}

void ss::FocusSurface() {
  Load();
  if (!IsVisible() || !::IsWindowVisible(Picture1.Hwnd())) {
    throw base::AppError(base::kErrInvalidCall, "ss",
                         "Invalid procedure call: the drawing surface cannot take the focus while hidden.");
  }
  ::SetFocus(Picture1.Hwnd());
  ClaimKeyboardSoon();
}

// Only on the presentation that shows: a hidden overlay has no picture to change or copy.
void ss::Undo() {
  if (IsVisible()) history_.Undo();
}

void ss::Redo() {
  if (IsVisible()) history_.Redo();
}

void ss::CopyPicture() {
  if (!IsVisible()) return;
  // Announced only: the worker makes the data while the presenter goes on (clipboard.h).
  imaging::PixelImage picture = clipboard_.TakeSpareImage();
  history_.ComposePictureInto(picture);
  // What the screen shows: the whole picture at x1, the magnified part of it when zoomed.
  if (Picture1.Zoomed()) picture = Picture1.ShownImage(picture);
  clipboard_.Offer(Hwnd(), std::move(picture));
}
