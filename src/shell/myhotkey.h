// The system-wide hotkeys, caught by a hook on the main window's procedure: presentation mode, the
// magnifier and live drawing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace myhotkey {

constexpr int hotkeyPresentation = 0;  // Ctrl+Shift+Z
constexpr int hotkeyMagnifier = 1;     // Ctrl+Shift+M
constexpr int hotkeyLiveDrawing = 2;   // Ctrl+Shift+X
constexpr UINT kHotkeyModifiers = MOD_CONTROL | MOD_SHIFT;  // 6
constexpr UINT kPresentationKey = 0x5A;                     // Z
constexpr UINT kMagnifierKey = 0x4D;                        // M
constexpr UINT kLiveDrawingKey = 0x58;                      // X

// Which of the combinations RegisterHotKey gave us; the other program that holds one keeps it.
struct HotkeyRegistration {
  bool presentation = false;
  bool magnifier = false;
  bool liveDrawing = false;
};

// The hook on the main window's procedure that catches the hotkeys. The main form holds it.
class HotkeyHook {
 public:
  // `onHotkey` runs the command of a hotkey's id (OnHotkey).
  explicit HotkeyHook(std::function<void(uint8_t id)> onHotkey) : onHotkey_(std::move(onHotkey)) {}
  HotkeyHook(const HotkeyHook&) = delete;
  HotkeyHook& operator=(const HotkeyHook&) = delete;

  // The main window's procedure as it was before HotkeyWindowProc went in.
  WNDPROC hotkeyPreviousProc = nullptr;

  // Registers the hotkeys on the window, then installs HotkeyWindowProc; the window keeps a
  // pointer to this object in a property for it.
  HotkeyRegistration InstallHotkeys(HWND hwnd);
  // Puts hotkeyPreviousProc back; only for a window that is being destroyed.
  void RemoveHotkeyHook(HWND hwnd);

 private:
  friend LRESULT CALLBACK HotkeyWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  std::function<void(uint8_t id)> onHotkey_;
};

// What the tray balloon says about the combinations that another program holds, one sentence per
// combination; empty when all are ours.
std::wstring TakenHotkeyMessage(const HotkeyRegistration& registration);
// Releases the hotkeys (the hook stays until the window goes).
void ReleaseHotkeys(HWND hwnd);

// The hook procedure; it finds its HotkeyHook through the hooked window.
LRESULT CALLBACK HotkeyWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace myhotkey
