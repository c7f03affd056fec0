// The system-wide hotkeys, caught by a hook on the main window's procedure: presentation mode, the
// magnifier and live drawing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace myhotkey {

constexpr int hotkeyPresentation = 0;  // Ctrl+Shift+Z
constexpr int hotkeyMagnifier = 1;     // Ctrl+Shift+M
constexpr int hotkeyLiveDrawing = 2;   // Ctrl+Shift+X
constexpr UINT kHotkeyModifiers = MOD_CONTROL | MOD_SHIFT;  // 6
constexpr UINT kPresentationKey = 0x5A;                     // Z
constexpr UINT kMagnifierKey = 0x4D;                        // M
constexpr UINT kLiveDrawingKey = 0x58;                      // X

// The main window's procedure as it was before HotkeyWindowProc went in.
extern WNDPROC hotkeyPreviousProc;

// Which of the combinations RegisterHotKey gave us; the other program that holds one keeps it.
struct HotkeyRegistration {
  bool presentation = false;
  bool magnifier = false;
  bool liveDrawing = false;
};

// Registers the hotkeys on the window, then installs HotkeyWindowProc.
HotkeyRegistration InstallHotkeys(HWND hwnd);

// What the tray balloon says about the combinations that another program holds, one sentence per
// combination; empty when all are ours.
std::wstring TakenHotkeyMessage(const HotkeyRegistration& registration);
// Releases the hotkeys (the hook stays until the window goes).
void ReleaseHotkeys(HWND hwnd);
// Puts hotkeyPreviousProc back; only for a window that is being destroyed.
void RemoveHotkeyHook(HWND hwnd);

LRESULT CALLBACK HotkeyWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void OnHotkey(uint8_t id);

}  // namespace myhotkey
