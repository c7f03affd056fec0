// Entry point of scrivane.exe.
#include <windows.h>

#include "overlay/ss.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Load DLLs from the system directory only, before anything else can load one.
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

  // Until the main form is in place: a message-only window that owns the presentation hotkey.
  HWND host = ::CreateWindowExW(0, L"STATIC", L"Scrivane", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ::RegisterHotKey(host, 0, MOD_CONTROL | MOD_SHIFT, 'Z');
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_HOTKEY && msg.wParam == 0) {
      ss::Instance().cmdScreen_Click();
      ss::Instance().ShowOverlay();
      continue;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
