#include "overlay/key_commands.h"

#include <windows.h>

#include <commdlg.h>

#include <utility>

#include "base/error.h"
#include "overlay/clipboard.h"
#include "overlay/links.h"
#include "overlay/ss.h"
#include "settings/app_settings.h"
#include "settings/persistence.h"

namespace overlay {

KeyCommand MatchKey(short keyAscii) {
  switch (keyAscii) {
    case 19: return KeyCommand::SaveScreen;
    case 12: return KeyCommand::OpenImage;
    case 27: return KeyCommand::Leave;
    case 5: return KeyCommand::ClearDrawing;
    case 'p': case 'P': return KeyCommand::TogglePen;
    case 'c': case 'C': return KeyCommand::Palette;
    case 'e': case 'E': return KeyCommand::ToggleEraser;
    case '1': return KeyCommand::Size1;
    case '2': return KeyCommand::Size2;
    case '3': return KeyCommand::Size3;
    case '4': return KeyCommand::Size4;
    case 'm': return KeyCommand::Magnifier;
    case 'b': case 'B': return KeyCommand::Blue;
    case 'r': case 'R': return KeyCommand::Red;
    case 'y': case 'Y': return KeyCommand::Yellow;
    case 'g': case 'G': return KeyCommand::Green;
    // Arms text placement: no other row uses t, so this adds a command without changing one.
    case 't': case 'T': return KeyCommand::ArmText;
    // Undo, redo and copy: control characters no other row uses.
    case 26: return KeyCommand::Undo;
    case 25: return KeyCommand::Redo;
    case 3: return KeyCommand::CopyPicture;
    default: return KeyCommand::None;
  }
}

namespace {

// 1 to 4 for the size keys, 0 for any other command.
short SizeKeyNumber(KeyCommand command) {
  switch (command) {
    case KeyCommand::Size1: return 1;
    case KeyCommand::Size2: return 2;
    case KeyCommand::Size3: return 3;
    case KeyCommand::Size4: return 4;
    default: return 0;
  }
}

}  // namespace

// Erasers of 8, 16, 24 and 32 pixels; pens of 5, 10, 15 and 20.
short EraserSizeForKey(KeyCommand command) { return static_cast<short>(8 * SizeKeyNumber(command)); }
short PenWidthForKey(KeyCommand command) { return static_cast<short>(5 * SizeKeyNumber(command)); }

CursorKind EraserCursorFor(short size) {
  switch (size) {
    case 8: return CursorKind::Eraser8;
    case 16: return CursorKind::Eraser16;
    case 24: return CursorKind::Eraser24;
    default: return CursorKind::Eraser32;
  }
}

void RunMainFormCommand(MainFormLink* main, KeyCommand command) {
  static constexpr std::pair<KeyCommand, void (MainFormLink::*)()> kCommands[] = {
      {KeyCommand::Size1, &MainFormLink::five_Click},    {KeyCommand::Size2, &MainFormLink::ten_Click},
      {KeyCommand::Size3, &MainFormLink::fifteen_Click}, {KeyCommand::Size4, &MainFormLink::twenty_Click},
      {KeyCommand::Blue, &MainFormLink::blue_Click},     {KeyCommand::Red, &MainFormLink::red_Click},
      {KeyCommand::Yellow, &MainFormLink::yellow_Click}, {KeyCommand::Green, &MainFormLink::green_Click}};
  if (!main) return;
  for (const auto& [key, click] : kCommands) {
    if (key == command) (main->*click)();
  }
}

}  // namespace overlay

void ss::ShowColourDialog() {
  magHidden = 0;
  overlay::MagnifierLink* mag = magnifier_;
  if (FormCount(L"magWin") > 0 && mag) {
    mag->SetMagnifierVisible(false);
    magHidden = -1;
  }
  Load();
  CommonDialog1.owner = Hwnd();
  CommonDialog1.color = static_cast<COLORREF>(AppSettings.color);
  CommonDialog1.flags = CC_RGBINIT | CC_FULLOPEN;  // 3
  CommonDialog1.cancelError = true;
  CommonDialog1.ShowColor();
  CommonDialog1.cancelError = true;
  AppSettings.color = static_cast<int32_t>(CommonDialog1.color);
  if (magHidden) {
    magHidden = 0;
    if (mag) mag->SetMagnifierVisible(true);
  }
}

void ss::Picture1_KeyPress(short& KeyAscii) {
  using overlay::KeyCommand;
  checkpalette = 0;
  overlay::MainFormLink* main = mainForm_;
  try {
    const KeyCommand command = overlay::MatchKey(KeyAscii);
    switch (command) {
      case KeyCommand::SaveScreen:
        SaveScreenToFile();
        break;
      case KeyCommand::OpenImage:
        LoadPictureFromFile();
        break;
      case KeyCommand::Leave:
        // Esc during a shape drag takes back that shape only; the next Esc leaves.
        if (shapeDrag_.Following()) {
          CancelShapeDrag();
          break;
        }
        eraserOn = 0;
        // Text placement armed with t ends with the presentation too: otherwise the next one would
        // start with a pen that draws nothing.
        textMode = 0;
        Unload();
        break;
      case KeyCommand::ClearDrawing:
        Load();
        ClearStrokes();
        eraserOn = 0;
        SetCursorImage(overlay::CursorKind::Highlighter);
        break;
      case KeyCommand::TogglePen:
        Load();
        TogglePen();
        break;
      case KeyCommand::Palette:
        ShowColourDialog();
        break;
      case KeyCommand::ToggleEraser:
        Load();
        ToggleEraser();
        break;
      case KeyCommand::Size1:
      case KeyCommand::Size2:
      case KeyCommand::Size3:
      case KeyCommand::Size4:
        if (eraserOn) {
          Load();
          AppSettings.erasersize = overlay::EraserSizeForKey(command);
          SetCursorImage(overlay::EraserCursorFor(AppSettings.erasersize));
        } else {
          overlay::RunMainFormCommand(main, command);
        }
        break;
      case KeyCommand::Magnifier:
        if (magnifier_) magnifier_->ShowMagnifier();
        // Back to the drawing surface; an overlay that is not on screen cannot take the focus.
        Load();
        if (!IsVisible() || !::IsWindowVisible(Picture1.Hwnd())) {
          throw base::AppError(base::kErrInvalidCall, "ss",
                                "Invalid procedure call: the drawing surface cannot take the focus while hidden.");
        }
        ::SetFocus(Picture1.Hwnd());
        ClaimKeyboardSoon();
        break;
      case KeyCommand::Blue:
      case KeyCommand::Red:
      case KeyCommand::Yellow:
      case KeyCommand::Green:
        overlay::RunMainFormCommand(main, command);
        break;
      case KeyCommand::ArmText:
        Load();
        ArmTextPlacement();
        break;
      // Only on the presentation that shows: a hidden overlay has no picture to change or copy.
      case KeyCommand::Undo:
        if (IsVisible()) history_.Undo();
        break;
      case KeyCommand::Redo:
        if (IsVisible()) history_.Redo();
        break;
      case KeyCommand::CopyPicture:
        if (IsVisible()) overlay::CopyPictureToClipboard(Hwnd(), history_.ComposedPicture());
        break;
      case KeyCommand::None:
        break;
    }
    settings::SaveSettings(AppSettings);
  } catch (...) {
    // The error path: the command ends here, silently, and the settings are not saved.
    checkpalette = -1;
    if (magHidden) {
      if (magnifier_) magnifier_->SetMagnifierVisible(true);
      magHidden = 0;
    }
  }
}
