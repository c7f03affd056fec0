// The magnifier: a small always-on-top window that shows the screen around the pointer enlarged
// 1 to 5 times, refreshed every 300 ms.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "forms/window.h"

// Process-wide: the zoom survives the window; the grab size follows the view and the zoom.
extern int32_t zoomFactor;
extern int32_t grabWidth;
extern int32_t grabHeight;

class magWin : public forms::Window {
 public:
  static magWin& Instance();

  // Shows the window modeless, loading it first if it is not loaded.
  void ShowWindowModeless();
  // Closes the window entirely (timer and menu go with it); zoomFactor stays.
  void UnloadWindow();
  bool IsLoaded() const { return IsCreated(); }
  // Loaded and visible.
  bool IsShowing() const { return IsVisible(); }
  // Hides or re-shows a loaded window without unloading it; the timer keeps running.
  void SetVisible(bool visible);

  // Every character typed into the magnifier goes here unchanged (the overlay's key handler).
  static void SetKeyForwarder(std::function<void(short& keyAscii)> forward);

  // (The rest of the class is the magnifier's own.)
};
