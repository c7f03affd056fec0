#include "shell/myhotkey.h"

#include "base/error.h"
#include "magnifier/mag_win.h"
#include "shell/form1.h"

namespace myhotkey {

WNDPROC hotkeyPreviousProc = nullptr;

void InstallHotkeys(HWND hwnd) {
  // A combination another program holds simply does nothing for us: the result is not checked.
  ::RegisterHotKey(hwnd, hotkeyPresentation, kHotkeyModifiers, kPresentationKey);
  ::RegisterHotKey(hwnd, hotkeyMagnifier, kHotkeyModifiers, kMagnifierKey);
  hotkeyPreviousProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HotkeyWindowProc)));
}

void ReleaseHotkeys(HWND hwnd) {
  ::UnregisterHotKey(hwnd, hotkeyPresentation);
  ::UnregisterHotKey(hwnd, hotkeyMagnifier);
}

void RemoveHotkeyHook(HWND hwnd) {
  if (!hotkeyPreviousProc) return;
  ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hotkeyPreviousProc));
  hotkeyPreviousProc = nullptr;
}

LRESULT CALLBACK HotkeyWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return base::CallFromWindowSystem([&]() -> LRESULT {
    if (msg == WM_HOTKEY) {
      OnHotkey(static_cast<uint8_t>(wParam & 0xFF));
      return 1;
    }
    return ::CallWindowProcA(hotkeyPreviousProc, hwnd, msg, wParam, lParam);
  });
}

void OnHotkey(uint8_t id) {
  switch (id) {
    case hotkeyPresentation:
      form1::Instance().SysTrayMouseEventHandler();
      break;
    case hotkeyMagnifier: {
      magWin& mag = magWin::Instance();
      if (mag.IsShowing()) {
        mag.UnloadWindow();
      } else {
        mag.ShowWindowModeless();
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace myhotkey
