// Steps of a presenter that the overlay tests share.
#pragma once

#include "overlay/ss.h"
#include "support/test_support.h"

namespace testing_support {

// Ctrl+Shift+Z's two steps, then the wait until the overlay can be drawn on and typed into: in
// front and the window at the screen's centre, the surface focused, its picture on the screen.
inline void EnterPresentationMode() {
  ss& o = ss::Instance();
  o.cmdScreen_Click();
  o.ShowOverlay();
  const POINT centre{::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2};
  PumpUntil([&] {
    return o.IsVisible() && ::GetForegroundWindow() == o.Hwnd() && ::GetFocus() == o.Picture1.Hwnd() &&
           ::WindowFromPoint(centre) == o.Picture1.Hwnd();
  });
  if (const base::Picture& picture = o.Picture1.GetPicture()) {
    ScreenDifferencesOnceNone(CaptureDc(picture->Dc(), 0, 0, picture->WidthPixels(), picture->HeightPixels()));
  }
}

inline void PressEsc() {
  short key = 27;
  ss::Instance().Picture1_KeyPress(key);
  Pump(100);
}

}  // namespace testing_support
