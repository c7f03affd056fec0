// The screen watcher (tools/xwatch), seen from a program under Wine: its clock is the clock of
// QueryPerformanceCounter, it sees a full-screen window's map and drawing, and it tells a
// full-screen black fill from a picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "support/test_support.h"
#include "support/xwatch_client.h"

using namespace testing_support;

namespace {

// A full-screen popup filled with one colour by its class brush.
class FillWindow {
 public:
  explicit FillWindow(COLORREF colour) {
    brush_ = ::CreateSolidBrush(colour);
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = brush_;
    wc.lpszClassName = L"ScrivaneTestFill";
    ::UnregisterClassW(wc.lpszClassName, wc.hInstance);
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0,
                              ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                              wc.hInstance, nullptr);
    ::UpdateWindow(hwnd_);
  }
  ~FillWindow() {
    ::DestroyWindow(hwnd_);
    Pump(100);
    ::UnregisterClassW(L"ScrivaneTestFill", ::GetModuleHandleW(nullptr));
    ::DeleteObject(brush_);
  }

 private:
  HWND hwnd_ = nullptr;
  HBRUSH brush_ = nullptr;
};

}  // namespace

TEST(ScreenWatcher, ItsClockIsTheClockOfQueryPerformanceCounter) {
  XWatch watch;
  ASSERT_TRUE(watch.Ready()) << "no screen watcher in this environment";
  LARGE_INTEGER freq;
  ::QueryPerformanceFrequency(&freq);
  std::printf("[ figures  ] QueryPerformanceFrequency %lld\n", freq.QuadPart);
  // The watcher's time of each start lies between our time before the command and after its answer.
  double widest = 0;
  for (int i = 0; i < 20; ++i) {
    const std::string label = "clock" + std::to_string(i);
    const unsigned long long before = QpcTicks();
    const unsigned long long at = watch.Start(label);
    const unsigned long long after = QpcTicks();
    ASSERT_NE(0u, at);
    EXPECT_LE(before, at) << "the watcher's clock is behind QueryPerformanceCounter by " << (before - at) / 1e4 << " ms";
    EXPECT_LE(at, after) << "the watcher's clock is ahead of QueryPerformanceCounter by " << (at - after) / 1e4 << " ms";
    widest = std::max(widest, (after - before) / 1e4);
    ASSERT_TRUE(watch.Stop(label));
  }
  std::printf("[ figures  ] widest bracket of a start: %.2f ms\n", widest);
}

TEST(ScreenWatcher, SeesAFullScreenBlackFillAfterTheMap) {
  XWatch watch;
  ASSERT_TRUE(watch.Ready());
  auto pattern = std::make_unique<PatternWindow>();
  ASSERT_NE(0u, watch.Start("black"));
  const unsigned long long shown = QpcTicks();
  {
    FillWindow black(RGB(0, 0, 0));
    PumpUntil([&] {
      auto p = watch.Peek("black");
      return p && p->fills > 0;
    });
  }
  auto record = watch.Stop("black");
  ASSERT_TRUE(record);
  EXPECT_FALSE(record->maps.empty()) << record->text;
  if (!record->maps.empty()) {
    EXPECT_GE(record->maps.front(), shown);
  }
  EXPECT_GE(record->fills, 1) << record->text;
  EXPECT_GE(record->fullDamages, 1) << record->text;
}

TEST(ScreenWatcher, APictureOfTheScreenOverTheScreenIsPaintedAndNoFill) {
  XWatch watch;
  ASSERT_TRUE(watch.Ready());
  auto below = std::make_unique<PatternWindow>();
  ASSERT_NE(0u, watch.Start("picture"));
  // A second window with the same picture, over the first: what an overlay does.
  auto over = std::make_unique<PatternWindow>();
  PumpUntil([&] {
    auto p = watch.Peek("picture");
    return p && p->painted != 0;
  });
  auto record = watch.Stop("picture");
  ASSERT_TRUE(record);
  EXPECT_FALSE(record->maps.empty()) << record->text;
  EXPECT_NE(0u, record->painted) << record->text;
  if (!record->maps.empty()) {
    EXPECT_GE(record->painted, record->maps.front());
  }
  EXPECT_EQ(0, record->fills) << record->text;
}

TEST(ScreenWatcher, NotesWhenEachProbeFirstShowsItsColourAndNeverOneThatDoesNot) {
  XWatch watch;
  ASSERT_TRUE(watch.Ready());
  auto pattern = std::make_unique<PatternWindow>();
  const std::vector<XProbe> probes = {{700, 300, 0x3080C0, 0}, {1500, 900, 0x3080C0, 2}, {100, 100, 0x123123, 0}};
  const unsigned long long start = watch.StartWithProbes("probes", probes);
  ASSERT_NE(0u, start);
  {
    FillWindow fill(RGB(0x30, 0x80, 0xC0));
    PumpUntil([&] { return CaptureScreenRect(1500, 900, 1, 1).pixels.at(0) == 0x3080C0; });
    auto record = watch.Stop("probes");
    ASSERT_TRUE(record);
    ASSERT_EQ(2u, record->probes.size()) << record->text;
    for (const auto& p : record->probes) {
      EXPECT_TRUE(p.index == 0 || p.index == 1) << record->text;
      EXPECT_GT(p.t, start);
    }
  }
}
