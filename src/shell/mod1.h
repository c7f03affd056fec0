// The notification-area icon and the hook on the main window that turns a right-button press on
// the icon into the tray menu.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace mod1 {

// The icon's callback message. It has the same number as WM_RBUTTONUP; the hook acts on it only
// when lParam says the right button went down over the icon.
constexpr UINT trayCallbackMessage = 0x0205;
constexpr LPARAM kTrayRightButtonDown = 0x0204;
// NIF_MESSAGE | NIF_ICON | NIF_TIP
constexpr UINT kTrayFlags = 7;
constexpr char kTrayTip[] = "Scrivane";

// Takes away the icon that the main window `hwnd` announced under `iconId`, with no record at hand
// (the last-resort error handler, on whatever thread it runs).
void RemoveTrayIconOf(HWND hwnd, UINT iconId);

// The icon and its hook on the main window. The program has one, in its application object.
class Tray {
 public:
  // `rightButtonOnIcon` runs when the right button goes down over the icon: the tray menu.
  explicit Tray(std::function<void()> rightButtonOnIcon) : rightButtonOnIcon_(std::move(rightButtonOnIcon)) {}
  Tray(const Tray&) = delete;
  Tray& operator=(const Tray&) = delete;

  // The icon record, in the ANSI layout at its first-version size. AddTrayIcon fills it and it
  // stays as it is for the removal (and for adding the icon again after the shell restarts).
  NOTIFYICONDATAA TrayIcon{};

  // Hook state: True is -1.
  int16_t trayHooked = 0;
  HWND trayHookedWindow = nullptr;
  WNDPROC trayPreviousProc = nullptr;

  void AddTrayIcon(HWND hwnd, UINT iconId, HICON icon, const char* tip);
  void RemoveTrayIcon();
  // Announces the record to the shell once more; the shell forgets every icon when its
  // notification area is re-created. Does nothing before AddTrayIcon.
  void ReAddTrayIcon();

  // Shows `text` under `title` in a balloon at the icon that AddTrayIcon added, with the warning
  // symbol (or the one `infoFlags` names). The icon record stays the first-version ANSI one (it
  // has no room for a balloon): the balloon goes through a full-size wide record for the same
  // window and id. False when there is no icon (not yet added, or removed) or the shell refused.
  // Safe from any thread.
  bool ShowTrayBalloon(const wchar_t* title, const wchar_t* text, DWORD infoFlags = NIIF_WARNING);

  // Puts TrayWindowProc in front of the window's procedure; the window keeps a pointer to this
  // object in a property for it.
  void HookTrayMessages(HWND hwnd);
  void UnhookTrayMessages();

 private:
  friend LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  std::function<void()> rightButtonOnIcon_;
  // Whether the shell shows the icon now; read by other threads before a balloon.
  std::atomic<bool> iconShown_{false};
};

// The hook procedure; it finds its Tray through the hooked window.
LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace mod1
