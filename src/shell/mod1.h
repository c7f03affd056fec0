// The notification-area icon and the hook on the main window that turns a right-button press on
// the icon into the tray menu.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>

namespace mod1 {

// The icon's callback message. It has the same number as WM_RBUTTONUP; the hook acts on it only
// when lParam says the right button went down over the icon.
constexpr UINT trayCallbackMessage = 0x0205;
constexpr LPARAM kTrayRightButtonDown = 0x0204;
// NIF_MESSAGE | NIF_ICON | NIF_TIP
constexpr UINT kTrayFlags = 7;
constexpr char kTrayTip[] = "Scrivane";

// The icon record, in the ANSI layout at its first-version size. AddTrayIcon fills it and it stays
// as it is for the removal (and for adding the icon again after the shell restarts).
extern NOTIFYICONDATAA TrayIcon;

// Hook state: True is -1.
extern int16_t trayHooked;
extern HWND trayHookedWindow;
extern WNDPROC trayPreviousProc;

// Fills the record without telling the shell: cleared, cbSize at the first-version size, the tip
// followed by a NUL and blanks to the end of the field.
void FillTrayIconRecord(NOTIFYICONDATAA& record, HWND hwnd, UINT iconId, HICON icon, const char* tip);

void AddTrayIcon(HWND hwnd, UINT iconId, HICON icon, const char* tip);
void RemoveTrayIcon();
// Announces the record to the shell once more; the shell forgets every icon when its notification
// area is re-created. Does nothing before AddTrayIcon.
void ReAddTrayIcon();

// Shows `text` under `title` in a balloon at the icon that AddTrayIcon added, with the warning
// symbol (or the one `infoFlags` names). The icon record stays the first-version ANSI one (it has
// no room for a balloon): the balloon goes through a full-size wide record for the same window and
// id. False when there is no icon (not yet added, or removed) or the shell refused. Safe from any
// thread.
bool ShowTrayBalloon(const wchar_t* title, const wchar_t* text, DWORD infoFlags = NIIF_WARNING);

void HookTrayMessages(HWND hwnd);
void UnhookTrayMessages();
LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace mod1
