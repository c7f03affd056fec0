// The environment of two monitors side by side: 1920x1080 primary and 1280x1024 to its left, at
// negative x. Windows programs see both monitors where they are, and a BitBlt from the screen DC
// grabs exactly what was painted on each.
#include <gtest/gtest.h>

#include <vector>

#include "base/dib.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

struct Monitor {
  HMONITOR handle;
  RECT rect;
  bool primary;
};

BOOL CALLBACK CollectMonitor(HMONITOR m, HDC, LPRECT, LPARAM out) {
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  ::GetMonitorInfoW(m, &mi);
  reinterpret_cast<std::vector<Monitor>*>(out)->push_back({m, mi.rcMonitor, (mi.dwFlags & MONITORINFOF_PRIMARY) != 0});
  return TRUE;
}

std::vector<Monitor> Monitors() {
  std::vector<Monitor> all;
  ::EnumDisplayMonitors(nullptr, nullptr, &CollectMonitor, reinterpret_cast<LPARAM>(&all));
  return all;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// What the window on monitor `index` paints at (x, y) of the virtual screen: the test pattern,
// told apart per monitor.
uint32_t Painted(int index, int x, int y) {
  const uint32_t c = PatternWindow::PatternColor(x + 2000, y);
  return index == 0 ? c : (c ^ 0x00A05030);
}

struct Painter {
  int index;
  RECT rect;
};

LRESULT CALLBACK PainterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  }
  if (msg == WM_ERASEBKGND) return 1;
  if (msg == WM_PAINT) {
    auto* p = reinterpret_cast<Painter*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    const int w = p->rect.right - p->rect.left, h = p->rect.bottom - p->rect.top;
    std::vector<uint32_t> px(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) px[static_cast<size_t>(y) * w + x] = Painted(p->index, p->rect.left + x, p->rect.top + y);
    const BITMAPINFO bi = base::TopDownDib32(w, h);
    ::SetDIBitsToDevice(dc, 0, 0, w, h, 0, 0, 0, h, px.data(), &bi, DIB_RGB_COLORS);
    ::EndPaint(hwnd, &ps);
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

long Differences(int index, const RECT& r) {
  const ScreenImage shot = CaptureScreenRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
  long wrong = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) wrong += shot.At(x, y) != Painted(index, x, y);
  return wrong;
}

}  // namespace

TEST(TwoMonitors, EnumDisplayMonitorsListsBothWhereTheyAre) {
  const std::vector<Monitor> monitors = Monitors();
  ASSERT_EQ(2u, monitors.size());
  EXPECT_TRUE(monitors[0].primary);
  EXPECT_TRUE(SameRect(RECT{0, 0, 1920, 1080}, monitors[0].rect));
  EXPECT_FALSE(monitors[1].primary);
  EXPECT_TRUE(SameRect(RECT{-1280, 0, 0, 1024}, monitors[1].rect))
      << monitors[1].rect.left << "," << monitors[1].rect.top << " " << monitors[1].rect.right << ","
      << monitors[1].rect.bottom;
  EXPECT_EQ(2, ::GetSystemMetrics(SM_CMONITORS));
  EXPECT_EQ(-1280, ::GetSystemMetrics(SM_XVIRTUALSCREEN));
  EXPECT_EQ(0, ::GetSystemMetrics(SM_YVIRTUALSCREEN));
  EXPECT_EQ(3200, ::GetSystemMetrics(SM_CXVIRTUALSCREEN));
  EXPECT_EQ(1080, ::GetSystemMetrics(SM_CYVIRTUALSCREEN));
  EXPECT_EQ(1920, ::GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(monitors[0].handle, ::MonitorFromPoint(POINT{960, 540}, MONITOR_DEFAULTTONULL));
  EXPECT_EQ(monitors[1].handle, ::MonitorFromPoint(POINT{-640, 500}, MONITOR_DEFAULTTONULL));
  // Below the shorter monitor there is no monitor.
  EXPECT_EQ(nullptr, ::MonitorFromPoint(POINT{-640, 1050}, MONITOR_DEFAULTTONULL));
}

TEST(TwoMonitors, BitBltOfEachMonitorFromTheScreenDcEqualsWhatWasPaintedThere) {
  const std::vector<Monitor> monitors = Monitors();
  ASSERT_EQ(2u, monitors.size());
  WNDCLASSW wc{};
  wc.lpfnWndProc = PainterProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ScrivaneTestMonitorPainter";
  ::RegisterClassW(&wc);
  std::vector<Painter> painters;
  painters.reserve(monitors.size());
  std::vector<HWND> windows;
  for (size_t i = 0; i < monitors.size(); ++i) {
    painters.push_back({static_cast<int>(i), monitors[i].rect});
    const RECT& r = monitors[i].rect;
    HWND w = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, r.left,
                               r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr, wc.hInstance, &painters[i]);
    ASSERT_NE(nullptr, w);
    ::UpdateWindow(w);
    windows.push_back(w);
  }
  for (size_t i = 0; i < monitors.size(); ++i) {
    const RECT& r = monitors[i].rect;
    const int index = static_cast<int>(i);
    // Until the window manager has placed and shown it.
    PumpUntil([&] { return Differences(index, r) == 0; }, 10000);
    EXPECT_EQ(0, Differences(index, r)) << "monitor " << i;
    RECT placed{};
    ::GetWindowRect(windows[i], &placed);
    EXPECT_TRUE(SameRect(r, placed)) << "monitor " << i;
  }
  for (HWND w : windows) ::DestroyWindow(w);
}
