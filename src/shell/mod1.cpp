#include "shell/mod1.h"

#include <cstring>
#include <iterator>

#include "base/error.h"
#include "shell/form1.h"

namespace mod1 {

NOTIFYICONDATAA TrayIcon{};
int16_t trayHooked = 0;
HWND trayHookedWindow = nullptr;
WNDPROC trayPreviousProc = nullptr;

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
  ::Shell_NotifyIconA(NIM_ADD, &TrayIcon);
}

void RemoveTrayIcon() { ::Shell_NotifyIconA(NIM_DELETE, &TrayIcon); }

void ReAddTrayIcon() {
  if (TrayIcon.cbSize == 0) return;
  ::Shell_NotifyIconA(NIM_ADD, &TrayIcon);
}

void ShowTrayBalloon(const std::wstring& title, const std::wstring& text) {
  if (TrayIcon.cbSize == 0) return;
  // The first-version record has no room for a balloon: the full wide record, same icon.
  NOTIFYICONDATAW balloon{};
  balloon.cbSize = sizeof balloon;
  balloon.hWnd = TrayIcon.hWnd;
  balloon.uID = TrayIcon.uID;
  balloon.uFlags = NIF_INFO;
  balloon.dwInfoFlags = NIIF_WARNING;
  text.copy(balloon.szInfo, std::size(balloon.szInfo) - 1);
  title.copy(balloon.szInfoTitle, std::size(balloon.szInfoTitle) - 1);
  ::Shell_NotifyIconW(NIM_MODIFY, &balloon);
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
