// The record of the user's choices. The program holds one, `AppSettings`, in its application object
// (shell/start_up.h); the windows that read it are given it when they are made. Booleans are 16-bit
// with true = -1, colours 0x00BBGGRR.
#pragma once

#include <cstdint>
#include <string>

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
};

}  // namespace settings
