// The magnifier: a small always-on-top window that shows the screen around the pointer enlarged
// 1 to 5 times, refreshed every 300 ms.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "base/dpi.h"
#include "forms/picture_box.h"
#include "forms/popup_menu.h"
#include "forms/window.h"

// One object for the life of the program (its application object holds it); its window comes and
// goes.
class magWin : public forms::Window {
 public:
  magWin();

  // The zoom survives the window; start-up sets it to 3 before any window opens. The grab size
  // follows the view and the zoom.
  int32_t zoomFactor = 3;
  int32_t grabWidth = 0;
  int32_t grabHeight = 0;

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
  void SetKeyForwarder(std::function<void(short& keyAscii)> forward) { keyForwarder_ = std::move(forward); }

  // Command ids of the popup's items.
  enum MenuItem : UINT {
    mnuScx1 = 101,
    mnuScx2,
    mnuScx3,
    mnuScx4,
    mnuScx5,
    mnuOnTop = 110,
    mnuExit = 111,
  };

  // Controls; mnuPop exists while the window is loaded.
  // The magnified view: drawn straight onto the screen by each tick and kept nowhere.
  forms::PictureBox Picture1;
  std::unique_ptr<forms::PopupMenu> mnuPop;

  // Event handlers, callable directly (the tests and the benchmark drive the tick this way).
  void Timer1_Timer();
  void mnuScx1_Click() { Zoom(1); }
  void mnuScx2_Click() { Zoom(2); }
  void mnuScx3_Click() { Zoom(3); }
  void mnuScx4_Click() { Zoom(4); }
  void mnuScx5_Click() { Zoom(5); }
  void mnuOnTop_Click();
  void mnuExit_Click();
  void Picture1_MouseDown(int Button, int Shift, float X, float Y);
  void Form_KeyPress(short& KeyAscii);

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnDestroyed() override;

 private:
  void Load();
  void Form_Load();
  void Form_Resize();
  void ComputeSourceSize();
  void Zoom(int32_t n);
  void OnMenuCommand(UINT id);

  // The view's left edge lies 30 twips from the client area's left edge (2 pixels at 96 dpi).
  static constexpr double kPicture1LeftTwips = 30;

  bool shownOnce_ = false;
  int dpi_ = base::kDefaultDpi;
  std::function<void(short& keyAscii)> keyForwarder_;
};
