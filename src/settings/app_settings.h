// The record of the user's choices. The program holds one, `AppSettings`, in its application object
// (shell/start_up.h); the windows that read it are given it when they are made. Booleans are 16-bit
// with true = -1, colours 0x00BBGGRR.
#pragma once

#include <cstdint>
#include <string>

#include "settings/hotkey_word.h"

namespace settings {

constexpr int16_t kTrue = -1;
constexpr int16_t kFalse = 0;

struct AppSettingsRecord {
  int32_t color = 0;         // pen colour
  int16_t brushwidth = 0;    // pen width in pixels
  int16_t erasersize = 0;    // side of the square eraser in pixels
  int16_t showstartup = 0;   // 1 = no help window at start
  std::string textfont;      // face name for text labels
  int16_t textsize = 0;      // points
  int16_t textbold = 0;      // boolean
  int16_t textitalic = 0;    // boolean
  int32_t textcolor = 0;     // colour for text
  // Each presentation's final picture is written into the Drawings folder; on unless turned off.
  int16_t keepdrawings = kTrue;
  // The user has been told once where the drawings are kept (the tray balloon of the first keep).
  int16_t keepnotice = kFalse;
  // The hotkeys of presentation mode, the magnifier and live drawing, as hotkey-control words
  // (settings/hotkey_word.h).
  int32_t hotkeypresent = kDefaultHotkeyPresent;
  int32_t hotkeymagnify = kDefaultHotkeyMagnify;
  int32_t hotkeylive = kDefaultHotkeyLive;

  // Not stored. The colour whose item in the tray menu carries the mark: the colour last chosen
  // through a colour item or a colour key, kMenuColorPalette after the menu's Palette, and the
  // loaded colour at start. The colour dialog's own key changes `color` and leaves this.
  int32_t menucolor = 0;
};

// `menucolor` when "Palette" carries the mark, whatever colour it chose: no colour is negative.
constexpr int32_t kMenuColorPalette = -1;

}  // namespace settings
