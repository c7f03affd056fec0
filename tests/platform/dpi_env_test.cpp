// The environments at 144 and 192 dpi: a program reads the prefix's dpi from every reader, the
// screen stays 1920x1080 physical pixels and a full-screen BitBlt grabs all of it. Also records
// what this Wine answers for cursor, caption and icon sizes, and what becomes of a cursor of 32, 48
// and 64 pixels.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "support/test_support.h"
#include "support/xwatch_client.h"

using namespace testing_support;

namespace {

int ExpectedDpi() {
  const char* dpi = std::getenv("SCRIVANE_DPI");
  return dpi ? std::atoi(dpi) : 0;
}

// A solid cursor of `size` pixels with its hot spot at the centre.
HCURSOR MakeCursor(int size) {
  std::vector<uint32_t> colour(static_cast<size_t>(size) * size, 0xFF00FF00u);
  HBITMAP bits = ::CreateBitmap(size, size, 1, 32, colour.data());
  std::vector<uint8_t> mask(static_cast<size_t>((size + 15) / 16 * 2) * size, 0);
  HBITMAP maskBits = ::CreateBitmap(size, size, 1, 1, mask.data());
  ICONINFO ii{};
  ii.fIcon = FALSE;
  ii.xHotspot = static_cast<DWORD>(size / 2);
  ii.yHotspot = static_cast<DWORD>(size / 2);
  ii.hbmMask = maskBits;
  ii.hbmColor = bits;
  HCURSOR cursor = ::CreateIconIndirect(&ii);
  ::DeleteObject(bits);
  ::DeleteObject(maskBits);
  return cursor;
}

SIZE IconSize(HICON icon) {
  ICONINFO ii{};
  SIZE s{0, 0};
  if (!::GetIconInfo(icon, &ii)) return s;
  BITMAP bm{};
  if (ii.hbmColor && ::GetObjectW(ii.hbmColor, sizeof bm, &bm)) {
    s = {bm.bmWidth, bm.bmHeight};
  } else if (ii.hbmMask && ::GetObjectW(ii.hbmMask, sizeof bm, &bm)) {
    s = {bm.bmWidth, bm.bmHeight / 2};
  }
  if (ii.hbmColor) ::DeleteObject(ii.hbmColor);
  if (ii.hbmMask) ::DeleteObject(ii.hbmMask);
  return s;
}

HCURSOR g_classCursor = nullptr;

LRESULT CALLBACK CursorWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_SETCURSOR && LOWORD(lParam) == HTCLIENT && g_classCursor) {
    ::SetCursor(g_classCursor);
    return TRUE;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

TEST(DpiEnvironment, EveryReaderGivesThePrefixDpi) {
  const int dpi = ExpectedDpi();
  ASSERT_TRUE(dpi == 144 || dpi == 192) << "SCRIVANE_DPI is " << dpi;
  HDC screen = ::GetDC(nullptr);
  EXPECT_EQ(dpi, ::GetDeviceCaps(screen, LOGPIXELSX));
  EXPECT_EQ(dpi, ::GetDeviceCaps(screen, LOGPIXELSY));
  ::ReleaseDC(nullptr, screen);
  EXPECT_EQ(static_cast<UINT>(dpi), ::GetDpiForSystem());
  PatternWindow window;
  EXPECT_EQ(static_cast<UINT>(dpi), ::GetDpiForWindow(window.Hwnd()));
}

TEST(DpiEnvironment, FullScreenBitBltGrabsEveryPhysicalPixel) {
  const int cx = ::GetSystemMetrics(SM_CXSCREEN);
  const int cy = ::GetSystemMetrics(SM_CYSCREEN);
  // The X screen is 1920x1080 whatever the dpi: the metrics are physical pixels.
  EXPECT_EQ(1920, cx);
  EXPECT_EQ(1080, cy);
  HDC screen = ::GetDC(nullptr);
  EXPECT_EQ(cx, ::GetDeviceCaps(screen, HORZRES));
  EXPECT_EQ(cy, ::GetDeviceCaps(screen, VERTRES));
  ::ReleaseDC(nullptr, screen);
  PatternWindow pattern;
  ScreenImage shot;
  PumpUntil(
      [&] {
        shot = CaptureScreen();
        return shot.At(cx - 1, cy - 1) == PatternWindow::PatternColor(cx - 1, cy - 1) &&
               shot.At(0, 0) == PatternWindow::PatternColor(0, 0);
      },
      5000);
  ASSERT_EQ(cx, shot.width);
  ASSERT_EQ(cy, shot.height);
  long wrong = 0;
  for (int y = 0; y < cy; ++y)
    for (int x = 0; x < cx; ++x) wrong += shot.At(x, y) != PatternWindow::PatternColor(x, y);
  EXPECT_EQ(0, wrong) << "pixels of the full-screen grab that differ from what the screen shows";
}

TEST(DpiEnvironment, MetricsAndCursorSizesThatWineGives) {
  const int dpi = ExpectedDpi();
  ASSERT_GT(dpi, 96);
  struct Metric {
    const char* name;
    int index;
  };
  const Metric metrics[] = {{"SM_CXCURSOR", SM_CXCURSOR}, {"SM_CYCURSOR", SM_CYCURSOR}, {"SM_CYCAPTION", SM_CYCAPTION},
                            {"SM_CXICON", SM_CXICON},     {"SM_CXSMICON", SM_CXSMICON}, {"SM_CXFRAME", SM_CXFRAME}};
  for (const Metric& m : metrics) {
    std::printf("[ figures  ] %d dpi: %-13s GetSystemMetrics %3d, ForDpi(%d) %3d, ForDpi(96) %3d\n", dpi, m.name,
                ::GetSystemMetrics(m.index), dpi, ::GetSystemMetricsForDpi(m.index, dpi),
                ::GetSystemMetricsForDpi(m.index, 96));
  }
  // Caption and icons grow with the dpi.
  EXPECT_GT(::GetSystemMetricsForDpi(SM_CYCAPTION, dpi), ::GetSystemMetricsForDpi(SM_CYCAPTION, 96));
  EXPECT_GT(::GetSystemMetrics(SM_CXICON), 32);

  // A cursor of 32, 48 and 64 pixels over a window of ours: which one is in use, at what size, and
  // what the X server shows.
  WNDCLASSW wc{};
  wc.lpfnWndProc = CursorWindowProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ScrivaneTestCursorWindow";
  wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  ::RegisterClassW(&wc);
  HWND w = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 200, 200,
                             400, 400, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(nullptr, w);
  ::SetForegroundWindow(w);
  Pump(200);
  XWatch watch;
  for (int size : {32, 48, 64}) {
    HCURSOR made = MakeCursor(size);
    ASSERT_NE(nullptr, made);
    g_classCursor = made;
    MouseMoveTo(390, 390);
    Pump(50);
    MouseMoveTo(400, 400);
    CURSORINFO ci{};
    ci.cbSize = sizeof ci;
    PumpUntil([&] { return ::GetCursorInfo(&ci) && ci.hCursor == made; }, 3000);
    EXPECT_EQ(made, ci.hCursor) << "the cursor of " << size << " px is not the one in use over the window";
    const SIZE inUse = IconSize(ci.hCursor);
    EXPECT_EQ(size, inUse.cx);
    std::string xSide = "no screen watcher";
    if (watch.Ready()) {
      Pump(100);
      if (auto x = watch.Cursor("dpi" + std::to_string(size))) {
        xSide = std::to_string(x->width) + "x" + std::to_string(x->height) + " hot spot " + std::to_string(x->xHot) +
                "," + std::to_string(x->yHot);
      }
    }
    std::printf("[ figures  ] %d dpi: cursor made at %dx%d: GetCursorInfo/GetIconInfo %ldx%ld; the X server shows %s\n",
                dpi, size, size, inUse.cx, inUse.cy, xSide.c_str());
    g_classCursor = nullptr;
    MouseMoveTo(900, 900);
    Pump(50);
    ::DestroyCursor(made);
  }
  ::DestroyWindow(w);
}
