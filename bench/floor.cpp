// The floor of entering presentation mode: the least a Win32 program does for the same effect.
// Ctrl+Shift+Z grabs the screen with BitBlt into a compatible bitmap, shows a borderless popup over
// the whole screen and blits the grab into it on WM_PAINT; Esc destroys the popup (or, with --keep,
// hides it for the next entry). Nothing else: no controls, no background brush, no erase handling.
//
// For the benchmark it leaves the time at the end of each WM_PAINT (QueryPerformanceCounter) in a
// small shared memory block, "Local\ScrivaneFloorPaint": the Windows side of "overlay painted".
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include <cstring>

namespace {

constexpr wchar_t kMainClass[] = L"ScrivaneFloorMain";
constexpr wchar_t kPopupClass[] = L"ScrivaneFloorPopup";
constexpr int kHotkeyId = 1;

struct PaintReport {
  volatile LONG64 lastPaintEnd;  // QPC at the end of the latest WM_PAINT of the popup
  volatile LONG paints;          // WM_PAINTs of the popup since start
};

PaintReport* g_report = nullptr;
bool g_keep = false;
HWND g_popup = nullptr;
HBITMAP g_grab = nullptr;
HDC g_grabDc = nullptr;
HGDIOBJ g_grabPrevious = nullptr;

void DropGrab() {
  if (g_grabDc) {
    ::SelectObject(g_grabDc, g_grabPrevious);
    ::DeleteDC(g_grabDc);
  }
  if (g_grab) ::DeleteObject(g_grab);
  g_grabDc = nullptr;
  g_grab = nullptr;
}

void Enter() {
  const int cx = ::GetSystemMetrics(SM_CXSCREEN);
  const int cy = ::GetSystemMetrics(SM_CYSCREEN);
  DropGrab();
  HDC screen = ::GetDC(nullptr);
  g_grabDc = ::CreateCompatibleDC(screen);
  g_grab = ::CreateCompatibleBitmap(screen, cx, cy);
  g_grabPrevious = ::SelectObject(g_grabDc, g_grab);
  ::BitBlt(g_grabDc, 0, 0, cx, cy, screen, 0, 0, SRCCOPY);
  ::ReleaseDC(nullptr, screen);
  if (!g_popup) {
    g_popup = ::CreateWindowExW(WS_EX_TOOLWINDOW, kPopupClass, L"floor", WS_POPUP, 0, 0, cx, cy, nullptr, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
  }
  ::ShowWindow(g_popup, SW_SHOW);
  ::SetForegroundWindow(g_popup);
  ::UpdateWindow(g_popup);
}

void Leave() {
  if (!g_popup) return;
  if (g_keep) {
    ::ShowWindow(g_popup, SW_HIDE);
  } else {
    ::DestroyWindow(g_popup);
    g_popup = nullptr;
  }
  DropGrab();
}

LRESULT CALLBACK PopupProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd, &ps);
      if (g_grabDc) {
        ::BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                 ps.rcPaint.bottom - ps.rcPaint.top, g_grabDc, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
      }
      ::EndPaint(hwnd, &ps);
      ::GdiFlush();
      if (g_report) {
        LARGE_INTEGER now;
        ::QueryPerformanceCounter(&now);
        g_report->lastPaintEnd = now.QuadPart;
        ::InterlockedIncrement(&g_report->paints);
      }
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) Leave();
      return 0;
    default:
      return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_HOTKEY:
      if (wParam == kHotkeyId) Enter();
      return 0;
    case WM_CLOSE:
      ::DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      ::UnregisterHotKey(hwnd, kHotkeyId);
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  g_keep = commandLine && std::strstr(commandLine, "--keep") != nullptr;
  HANDLE mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(PaintReport),
                                        L"Local\\ScrivaneFloorPaint");
  if (mapping) {
    g_report = static_cast<PaintReport*>(::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(PaintReport)));
  }

  WNDCLASSW wc{};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = instance;
  wc.lpszClassName = kMainClass;
  ::RegisterClassW(&wc);
  wc.lpfnWndProc = PopupProc;
  wc.lpszClassName = kPopupClass;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  ::RegisterClassW(&wc);  // no background brush: WM_PAINT covers everything

  HWND main = ::CreateWindowExW(0, kMainClass, L"floor", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
  if (!main || !::RegisterHotKey(main, kHotkeyId, MOD_CONTROL | MOD_SHIFT | MOD_NOREPEAT, 'Z')) return 1;

  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  Leave();
  if (g_popup) ::DestroyWindow(g_popup);
  DropGrab();
  return 0;
}
