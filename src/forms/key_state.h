// The shift argument that key and mouse events carry, and how a control hands a key message to its
// key handler with it. Internal to the forms controls.
#pragma once

#include <windows.h>

#include <functional>

namespace forms::detail {

// 1 Shift, 2 Ctrl, 4 Alt, as the keys stood when the message being handled was posted.
inline int ShiftState() {
  int shift = 0;
  if (::GetKeyState(VK_SHIFT) < 0) shift |= 1;
  if (::GetKeyState(VK_CONTROL) < 0) shift |= 2;
  if (::GetKeyState(VK_MENU) < 0) shift |= 4;
  return shift;
}

// Hands the key code of a WM_KEYDOWN or WM_KEYUP to `handler`, if there is one, with the shift state.
inline void RaiseKeyEvent(const std::function<void(short& keyCode, int shift)>& handler, WPARAM wParam) {
  if (!handler) return;
  short key = static_cast<short>(wParam);
  handler(key, ShiftState());
}

}  // namespace forms::detail
