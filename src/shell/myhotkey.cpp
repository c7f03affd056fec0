#include "shell/myhotkey.h"

#include "base/error.h"

namespace myhotkey {

namespace {

// Where the hooked window keeps its HotkeyHook for HotkeyWindowProc.
constexpr wchar_t kHotkeyHookProp[] = L"Scrivane.HotkeyHook";

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

HotkeyRegistration HotkeyHook::InstallHotkeys(HWND hwnd) {
  // A combination another program holds does nothing for us; the main form tells the presenter
  // once, and the tray menu stays the way in.
  HotkeyRegistration registration;
  registration.presentation = ::RegisterHotKey(hwnd, hotkeyPresentation, kHotkeyModifiers, kPresentationKey) != FALSE;
  registration.magnifier = ::RegisterHotKey(hwnd, hotkeyMagnifier, kHotkeyModifiers, kMagnifierKey) != FALSE;
  ::SetPropW(hwnd, kHotkeyHookProp, this);
  hotkeyPreviousProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HotkeyWindowProc)));
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

void HotkeyHook::RemoveHotkeyHook(HWND hwnd) {
  if (!hotkeyPreviousProc) return;
  ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hotkeyPreviousProc));
  ::RemovePropW(hwnd, kHotkeyHookProp);
  hotkeyPreviousProc = nullptr;
}

LRESULT CALLBACK HotkeyWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return base::CallFromWindowSystem([&]() -> LRESULT {
    auto* hook = static_cast<HotkeyHook*>(::GetPropW(hwnd, kHotkeyHookProp));
    if (!hook) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_HOTKEY) {
      if (HWND modal = ModalWindowOfThisThread()) {
        // The presenter is answering a dialog of ours: the keys bring it forward, nothing more.
        ::SetForegroundWindow(modal);
        return 1;
      }
      if (hook->onHotkey_) hook->onHotkey_(static_cast<uint8_t>(wParam & 0xFF));
      return 1;
    }
    return ::CallWindowProcW(hook->hotkeyPreviousProc, hwnd, msg, wParam, lParam);
  });
}

}  // namespace myhotkey
