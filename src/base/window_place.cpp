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

}  // namespace base
