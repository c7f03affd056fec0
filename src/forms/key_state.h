// How a control hands a key message to its key handler, with the shift state. Internal to the
// forms controls.
#pragma once

#include <windows.h>

#include <functional>

#include "base/key_state.h"

namespace forms::detail {

// Hands the key code of a WM_KEYDOWN or WM_KEYUP to `handler`, if there is one, with the shift state.
inline void RaiseKeyEvent(const std::function<void(short& keyCode, int shift)>& handler, WPARAM wParam) {
  if (!handler) return;
  short key = static_cast<short>(wParam);
  handler(key, base::ShiftState());
}

}  // namespace forms::detail
