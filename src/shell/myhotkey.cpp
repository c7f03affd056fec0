#include "shell/myhotkey.h"

#include "base/error.h"
#include "forms/window.h"

namespace myhotkey {

namespace {

// Where the hooked window keeps its HotkeyHook for HotkeyWindowProc.
constexpr wchar_t kHotkeyHookProp[] = L"Scrivane.HotkeyHook";

}  // namespace

HotkeyRegistration HotkeyHook::InstallHotkeys(HWND hwnd) {
  // A combination another program holds does nothing for us; the main form tells the presenter
  // once, and the tray menu stays the way in.
  HotkeyRegistration registration;
  registration.presentation = ::RegisterHotKey(hwnd, hotkeyPresentation, kHotkeyModifiers, kPresentationKey) != FALSE;
  registration.magnifier = ::RegisterHotKey(hwnd, hotkeyMagnifier, kHotkeyModifiers, kMagnifierKey) != FALSE;
  registration.liveDrawing = ::RegisterHotKey(hwnd, hotkeyLiveDrawing, kHotkeyModifiers, kLiveDrawingKey) != FALSE;
  ::SetPropW(hwnd, kHotkeyHookProp, this);
  hotkeyPreviousProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HotkeyWindowProc)));
  return registration;
}

std::wstring TakenHotkeyMessage(const HotkeyRegistration& registration) {
  std::wstring text;
  auto say = [&text](bool ours, const wchar_t* sentence) {
    if (ours) return;
    if (!text.empty()) text += L"\n";
    text += sentence;
  };
  say(registration.presentation,
      L"Ctrl+Shift+Z is used by another program; use the tray menu to start presentation mode.");
  say(registration.magnifier, L"Ctrl+Shift+M is used by another program; use the tray menu to open the magnifier.");
  say(registration.liveDrawing,
      L"Ctrl+Shift+X is used by another program; use the tray menu to start and end live drawing.");
  return text;
}

void ReleaseHotkeys(HWND hwnd) {
  ::UnregisterHotKey(hwnd, hotkeyPresentation);
  ::UnregisterHotKey(hwnd, hotkeyMagnifier);
  ::UnregisterHotKey(hwnd, hotkeyLiveDrawing);
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
      if (HWND modal = forms::ModalWindowOfThisThread()) {
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
