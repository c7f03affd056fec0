// The shift argument that key and mouse events carry: 1 Shift, 2 Ctrl, 4 Alt, as the keys stood
// when the message being handled was posted.
#pragma once

#include <windows.h>

namespace base {

inline int ShiftState() {
  int shift = 0;
  if (::GetKeyState(VK_SHIFT) < 0) shift |= 1;
  if (::GetKeyState(VK_CONTROL) < 0) shift |= 2;
  if (::GetKeyState(VK_MENU) < 0) shift |= 4;
  return shift;
}

}  // namespace base
