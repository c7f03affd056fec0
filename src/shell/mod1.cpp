#include "shell/mod1.h"

#include <atomic>
#include <cstring>
#include <cwchar>
#include <iterator>

#include "base/error.h"
#include "shell/form1.h"

namespace mod1 {

NOTIFYICONDATAA TrayIcon{};
int16_t trayHooked = 0;
HWND trayHookedWindow = nullptr;
WNDPROC trayPreviousProc = nullptr;

namespace {
// Whether the shell shows the icon now; read by other threads before a balloon.
std::atomic<bool> iconShown{false};
}  // namespace

void FillTrayIconRecord(NOTIFYICONDATAA& record, HWND hwnd, UINT iconId, HICON icon, const char* tip) {
  std::memset(&record, 0, sizeof record);
  record.cbSize = NOTIFYICONDATAA_V1_SIZE;
  record.hWnd = hwnd;
  record.uID = iconId;
  record.uFlags = kTrayFlags;
  record.uCallbackMessage = trayCallbackMessage;
  record.hIcon = icon;
  // The tip as a fixed-length text: the characters, a NUL, blanks to the end of the field.
  constexpr size_t kTipField = 64;
  size_t len = std::strlen(tip);
  if (len > kTipField - 1) len = kTipField - 1;
  std::memcpy(record.szTip, tip, len);
  record.szTip[len] = '\0';
  for (size_t i = len + 1; i < kTipField; ++i) record.szTip[i] = ' ';
}

void AddTrayIcon(HWND hwnd, UINT iconId, HICON icon, const char* tip) {
  FillTrayIconRecord(TrayIcon, hwnd, iconId, icon, tip);
  iconShown = true;
  ::Shell_NotifyIconA(NIM_ADD, &TrayIcon);
}

void RemoveTrayIcon() {
  iconShown = false;
  ::Shell_NotifyIconA(NIM_DELETE, &TrayIcon);
}

void ReAddTrayIcon() {
  if (TrayIcon.cbSize == 0) return;
  iconShown = true;
  ::Shell_NotifyIconA(NIM_ADD, &TrayIcon);
}

bool ShowTrayBalloon(const wchar_t* title, const wchar_t* text, DWORD infoFlags) {
  if (TrayIcon.cbSize == 0 || !iconShown) return false;
  NOTIFYICONDATAW balloon{};
  balloon.cbSize = sizeof balloon;
  balloon.hWnd = TrayIcon.hWnd;
  balloon.uID = TrayIcon.uID;
  balloon.uFlags = NIF_INFO;
  balloon.dwInfoFlags = infoFlags;
  // Both fields are fixed arrays; a longer text is cut rather than refused.
  std::wcsncpy(balloon.szInfoTitle, title, std::size(balloon.szInfoTitle) - 1);
  std::wcsncpy(balloon.szInfo, text, std::size(balloon.szInfo) - 1);
  return ::Shell_NotifyIconW(NIM_MODIFY, &balloon) != FALSE;
}

void HookTrayMessages(HWND hwnd) {
  if (trayHooked) return;
  trayHookedWindow = hwnd;
  trayPreviousProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TrayWindowProc)));
  trayHooked = -1;
}

void UnhookTrayMessages() {
  if (!trayHooked) return;
  ::SetWindowLongPtrA(trayHookedWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(trayPreviousProc));
  trayHooked = 0;
}

LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return base::CallFromWindowSystem([&]() -> LRESULT {
    if (msg == trayCallbackMessage && lParam == kTrayRightButtonDown) {
      form1::Instance().menupopup();
      return -1;
    }
    return ::CallWindowProcA(trayPreviousProc, hwnd, msg, wParam, lParam);
  });
}

}  // namespace mod1
