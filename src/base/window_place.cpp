#include "base/window_place.h"

namespace base {

RECT CentredWindowRect(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi) {
  RECT rc{0, 0, clientWidth, clientHeight};
  ::AdjustWindowRectExForDpi(&rc, style, FALSE, exStyle, static_cast<UINT>(dpi));
  const int width = rc.right - rc.left;
  const int height = rc.bottom - rc.top;
  const int x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  return RECT{x, y, x + width, y + height};
}

namespace {
RECT RectOf(HMONITOR monitor) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (monitor && ::GetMonitorInfoW(monitor, &info)) return info.rcMonitor;
  return RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}
}  // namespace

RECT MonitorRectAt(POINT point) { return RectOf(::MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST)); }

RECT MonitorRectUnderPointer() {
  POINT pointer{};
  ::GetCursorPos(&pointer);
  return MonitorRectAt(pointer);
}

RECT MonitorRectOf(HWND window) { return RectOf(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)); }

}  // namespace base
