#include "shell/myhotkey.h"

#include "base/error.h"
#include "magnifier/mag_win.h"
#include "shell/form1.h"

namespace myhotkey {

WNDPROC hotkeyPreviousProc = nullptr;

namespace {

// A dialog, message box or menu of this thread that is on screen: while one is up, a command of
// ours is in the middle of its modal work (a colour, file or error dialog, a confirmation, the
// tray menu), and a hotkey must not start other work under it.
HWND ModalWindowOfThisThread() {
  struct Search {
    HWND found = nullptr;
  } search;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND hwnd, LPARAM lParam) -> BOOL {
        wchar_t cls[16] = {};
        ::GetClassNameW(hwnd, cls, 16);
        if (::IsWindowVisible(hwnd) && (::lstrcmpW(cls, L"#32770") == 0 || ::lstrcmpW(cls, L"#32768") == 0)) {
          reinterpret_cast<Search*>(lParam)->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

HotkeyRegistration InstallHotkeys(HWND hwnd) {
  // A combination another program holds does nothing for us; the main form tells the presenter
  // once, and the tray menu stays the way in.
  HotkeyRegistration registration;
  registration.presentation = ::RegisterHotKey(hwnd, hotkeyPresentation, kHotkeyModifiers, kPresentationKey) != FALSE;
  registration.magnifier = ::RegisterHotKey(hwnd, hotkeyMagnifier, kHotkeyModifiers, kMagnifierKey) != FALSE;
  hotkeyPreviousProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HotkeyWindowProc)));
  return registration;
}

std::wstring TakenHotkeyMessage(const HotkeyRegistration& registration) {
  std::wstring text;
  if (!registration.presentation) {
    text += L"Ctrl+Shift+Z is used by another program; use the tray menu to start presentation mode.";
  }
  if (!registration.magnifier) {
    if (!text.empty()) text += L"\n";
    text += L"Ctrl+Shift+M is used by another program; use the tray menu to open the magnifier.";
  }
  return text;
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
      if (HWND modal = ModalWindowOfThisThread()) {
        // The presenter is answering a dialog of ours: the keys bring it forward, nothing more.
        ::SetForegroundWindow(modal);
        return 1;
      }
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
