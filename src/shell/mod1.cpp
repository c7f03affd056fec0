#include "shell/mod1.h"

#include <atomic>
#include <cstring>
#include <cwchar>
#include <iterator>

#include "base/error.h"

namespace mod1 {

namespace {
// Where the hooked window keeps its Tray for TrayWindowProc.
constexpr wchar_t kTrayHookProp[] = L"Scrivane.TrayHook";

// Fills the record without telling the shell: cleared, cbSize at the first-version size, the tip
// followed by a NUL and blanks to the end of the field.
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

}  // namespace

void RemoveTrayIconOf(HWND hwnd, UINT iconId) {
  NOTIFYICONDATAA record{};
  record.cbSize = NOTIFYICONDATAA_V1_SIZE;
  record.hWnd = hwnd;
  record.uID = iconId;
  ::Shell_NotifyIconA(NIM_DELETE, &record);
}

void Tray::AddTrayIcon(HWND hwnd, UINT iconId, HICON icon, const char* tip) {
  FillTrayIconRecord(TrayIcon, hwnd, iconId, icon, tip);
  iconShown_ = true;
  ::Shell_NotifyIconA(NIM_ADD, &TrayIcon);
}

void Tray::RemoveTrayIcon() {
  iconShown_ = false;
  ::Shell_NotifyIconA(NIM_DELETE, &TrayIcon);
}

void Tray::ReAddTrayIcon() {
  if (TrayIcon.cbSize == 0) return;
  iconShown_ = true;
  ::Shell_NotifyIconA(NIM_ADD, &TrayIcon);
}

bool Tray::ShowTrayBalloon(const wchar_t* title, const wchar_t* text, DWORD infoFlags) {
  if (TrayIcon.cbSize == 0 || !iconShown_) return false;
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

void Tray::HookTrayMessages(HWND hwnd) {
  if (trayHooked) return;
  trayHookedWindow = hwnd;
  // The property goes first: the hook may see a message as soon as it is in.
  ::SetPropW(hwnd, kTrayHookProp, this);
  trayPreviousProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TrayWindowProc)));
  trayHooked = -1;
}

void Tray::UnhookTrayMessages() {
  if (!trayHooked) return;
  ::SetWindowLongPtrW(trayHookedWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(trayPreviousProc));
  ::RemovePropW(trayHookedWindow, kTrayHookProp);
  trayHooked = 0;
}

LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return base::CallFromWindowSystem([&]() -> LRESULT {
    auto* tray = static_cast<Tray*>(::GetPropW(hwnd, kTrayHookProp));
    if (!tray) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == trayCallbackMessage && lParam == kTrayRightButtonDown) {
      if (tray->rightButtonOnIcon_) tray->rightButtonOnIcon_();
      return -1;
    }
    return ::CallWindowProcW(tray->trayPreviousProc, hwnd, msg, wParam, lParam);
  });
}

}  // namespace mod1
