// Live drawing, a highlighter stroke of 200 pointer moves at 125 moves a second (a hand's pace,
// real input from a second thread) over a plain window of this program:
//   X side: from the SendInput of a move to the moment the X screen shows its ink (the screen
//     watcher, tools/xwatch, looks at a point only that move's ink covers, just ahead of the tool,
//     after every drawing over it; bench/run-bench.sh starts a compositing manager for the "live"
//     benchmarks, without which Wine shows no alpha);
//   Windows side: from the SendInput of a move to the return of the UpdateLayeredWindowIndirect that
//     showed that point;
// median and maximum, against a plain UpdateLayeredWindowIndirect and a plain BitBlt of the same
// dirty areas in the same run; how many moves waited more than two frames for their ink; and the
// processor time live drawing takes at rest.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/dib.h"
#include "base/dpi.h"
#include "base/handles.h"
#include "bench.h"
#include "overlay/pen_geometry.h"
#include "overlay/tool_cursors.h"
#include "shell/start_up.h"
#include "support/test_support.h"
#include "support/xwatch_client.h"

namespace {

constexpr int kMoves = 200;
constexpr double kMoveIntervalMs = 8;
constexpr double kFrameMs = 1000.0 / 60;

struct Present {
  RECT area;
  int64_t before, after;
};

struct Stats {
  double median = 0, max = 0;
  size_t n = 0;
};

Stats Summarize(std::vector<double> v) {
  Stats s;
  s.n = v.size();
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  s.median = v[v.size() / 2];
  s.max = v.back();
  return s;
}

double QpcMs(int64_t ticks) {
  static const double perMs = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart) / 1000.0;
  }();
  return static_cast<double>(ticks) / perMs;
}

int64_t Qpc() {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return now.QuadPart;
}

bool Covers(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// Pumps this thread's messages until `done`, waking for each message.
void PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
  while (!done() && ::GetTickCount64() < end) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    bench::PumpMessages();
  }
}

double CpuMs() { return testing_support::CpuSeconds(::GetCurrentProcess()) * 1000; }

LRESULT CALLBACK WhiteProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    ::FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::EndPaint(hwnd, &ps);
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::vector<bench::Result> MoveToInk() {
  shell::Application& app = bench::App();
  overlay::LiveDrawing& live = app.live;
  app.AppSettings.color = 255;
  app.AppSettings.brushwidth = 10;
  const RECT screen = testing_support::PrimaryScreenRect();
  HWND beneath = testing_support::ShowPopupWindow(L"ScrivaneBenchBeneath", L"beneath", &WhiteProc, screen);
  testing_support::MouseMoveTo(300, 300);
  PumpUntil([] { return false; }, 300);

  testing_support::XWatch watch;
  bool watching = watch.Ready();
  if (!watching) std::printf("live: no screen watcher, the X side is not measured (run bench/run-bench.sh live)\n");

  live.Start(beneath);
  PumpUntil([&] { return !live.TimersRunning(); }, 5000);
  std::vector<Present> presents;
  presents.reserve(4 * kMoves);
  live.SetPresentObserver([&](const RECT& area, int64_t before, int64_t after) { presents.push_back({area, before, after}); });

  // The path: a wave across the screen, a move of 7 or 8 pixels at a time, as a steady hand at
  // about a metre a second on a 1080p screen draws it.
  std::vector<POINT> path;
  for (int i = 0; i <= kMoves; ++i) path.push_back({300 + i * 7, 500 + static_cast<LONG>(120 * std::sin(i / 15.0))});
  std::vector<int64_t> sent(path.size(), 0);
  // For each move, a point its ink covers and no earlier move's does: four pixels ahead of the tool
  // point, in the direction the hand moves (the ink is ten wide; the moves are seven apart).
  const int cursor = overlay::CursorSizeForDpi(base::ScreenDpi());
  std::vector<POINT> ahead(path.size());
  std::vector<testing_support::XProbe> probes;
  // The highlighter's half red over white, as the compositor blends it.
  constexpr uint32_t kInkOverWhite = 0xFF7F7F;
  for (size_t i = 0; i < path.size(); ++i) {
    const overlay::PointI t = overlay::PenPoint(false, path[i].x, path[i].y, cursor);
    const overlay::PointI from = i ? overlay::PenPoint(false, path[i - 1].x, path[i - 1].y, cursor) : t;
    const double dx = t.x - from.x, dy = t.y - from.y, len = std::max(1.0, std::hypot(dx, dy));
    ahead[i] = {t.x + static_cast<LONG>(std::lround(4 * dx / len)), t.y + static_cast<LONG>(std::lround(4 * dy / len))};
    probes.push_back({ahead[i].x, ahead[i].y, kInkOverWhite, 3});
  }
  const std::string label = "live-" + std::to_string(::GetTickCount64());
  if (watching) watching = watch.StartWithProbes(label, probes) != 0;
  std::atomic<bool> done{false};
  std::thread hand([&] {
    testing_support::MouseMoveTo(path[0].x, path[0].y);
    testing_support::MouseButton(1, true);
    sent[0] = Qpc();
    const int64_t start = sent[0];
    for (size_t i = 1; i < path.size(); ++i) {
      const double due = kMoveIntervalMs * static_cast<double>(i);
      while (QpcMs(Qpc() - start) < due) ::Sleep(0);
      sent[i] = Qpc();
      testing_support::MouseMoveTo(path[i].x, path[i].y);
    }
    testing_support::MouseButton(1, false);
    done = true;
  });
  PumpUntil([&] { return done.load(); }, 30000);
  hand.join();
  PumpUntil([&] { return !live.TimersRunning(); }, 5000);
  std::optional<testing_support::XWatchRecord> record;
  if (watching) record = watch.Stop(label);
  live.SetPresentObserver(nullptr);

  std::vector<double> windowsMs, xMs;
  int lateX = 0, lateWindows = 0;
  for (size_t i = 1; i < path.size(); ++i) {
    for (const Present& p : presents) {
      if (p.after >= sent[i] && Covers(p.area, ahead[i])) {
        windowsMs.push_back(QpcMs(p.after - sent[i]));
        lateWindows += windowsMs.back() > 2 * kFrameMs;
        break;
      }
    }
    if (!record) continue;
    // The watcher's clock is QueryPerformanceCounter's, in 100-ns ticks.
    const unsigned long long sent100ns = static_cast<unsigned long long>(QpcMs(sent[i]) * 1e4);
    for (const auto& seen : record->probes) {
      if (seen.index != static_cast<int>(i)) continue;
      xMs.push_back(seen.t >= sent100ns ? static_cast<double>(seen.t - sent100ns) / 1e4 : 0);
      lateX += xMs.back() > 2 * kFrameMs;
    }
  }

  // The same dirty areas, in the same run, through a plain layered window of the monitor's size
  // (UpdateLayeredWindowIndirect) and onto the window beneath (BitBlt).
  const int w = screen.right, h = screen.bottom;
  std::vector<double> ulwUs, bltUs, oursUs;
  {
    const BITMAPINFO bi = base::TopDownDib32(w, h);
    void* bits = nullptr;
    base::unique_hdc memory(::CreateCompatibleDC(nullptr));
    base::unique_hbitmap dib(::CreateDIBSection(memory.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    base::SelectGuard select(memory.Get(), dib.Get());
    std::fill_n(static_cast<uint32_t*>(bits), static_cast<size_t>(w) * h, 0x01000000u);
    HWND plain = ::CreateWindowExW(WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT |
                                       WS_EX_NOACTIVATE,
                                   L"ScrivaneBenchBeneath", L"plain layer", WS_POPUP, 0, 0, w, h, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    POINT origin{0, 0}, source{0, 0};
    SIZE size{w, h};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UPDATELAYEREDWINDOWINFO info{sizeof info, nullptr, &origin, &size, memory.Get(), &source, 0, &blend, ULW_ALPHA, nullptr};
    ::UpdateLayeredWindowIndirect(plain, &info);
    ::ShowWindow(plain, SW_SHOWNA);
    base::WindowDc target(beneath);
    for (const Present& p : presents) {
      RECT dirty = p.area;
      info.prcDirty = &dirty;
      int64_t a = Qpc();
      ::UpdateLayeredWindowIndirect(plain, &info);
      int64_t b = Qpc();
      ulwUs.push_back(QpcMs(b - a) * 1000);
      a = Qpc();
      ::BitBlt(target.Get(), dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, memory.Get(),
               dirty.left, dirty.top, SRCCOPY);
      ::GdiFlush();
      b = Qpc();
      bltUs.push_back(QpcMs(b - a) * 1000);
      oursUs.push_back(QpcMs(p.after - p.before) * 1000);
      bench::PumpMessages();
    }
    ::DestroyWindow(plain);
  }

  // At rest, with the stroke on the screen: the processor time over three seconds, this thread
  // asleep until a message comes (none should), and the messages that came.
  PumpUntil([] { return false; }, 1000);
  const double cpuBefore = CpuMs();
  const int framesBefore = live.PresentCount();
  const ULONGLONG restStart = ::GetTickCount64(), restEnd = restStart + 3000;
  int messagesAtRest = 0;
  for (ULONGLONG now = restStart; now < restEnd; now = ::GetTickCount64()) {
    if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(restEnd - now), QS_ALLINPUT) != WAIT_OBJECT_0) {
      continue;
    }
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ++messagesAtRest;
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  const double restSeconds = static_cast<double>(::GetTickCount64() - restStart) / 1000.0;
  const double cpuPerSecond = (CpuMs() - cpuBefore) / restSeconds;
  const int framesAtRest = live.PresentCount() - framesBefore;
  live.End();
  ::DestroyWindow(beneath);
  bench::PumpMessages();

  const Stats win = Summarize(windowsMs), x = Summarize(xMs), ours = Summarize(oursUs), ulw = Summarize(ulwUs),
              blt = Summarize(bltUs);
  std::printf("\nlive drawing: %d moves at %.0f ms, %zu frames shown\n", kMoves, kMoveIntervalMs, presents.size());
  std::printf("  move -> UpdateLayeredWindow returned: median %6.1f ms, max %6.1f ms (%zu moves), %d over 2 frames\n",
              win.median, win.max, win.n, lateWindows);
  if (record) {
    std::printf("  move -> ink on the X screen:         median %6.1f ms, max %6.1f ms (%zu moves), %d over 2 frames\n",
                x.median, x.max, x.n, lateX);
  }
  std::printf("  one frame: ours %.2f ms, plain UpdateLayeredWindowIndirect %.2f ms, plain BitBlt %.3f ms (medians)\n",
              ours.median / 1000, ulw.median / 1000, blt.median / 1000);
  std::printf("  at rest (3 s): %.2f ms of processor time a second, %d messages, %d frames, timers running: %s\n",
              cpuPerSecond, messagesAtRest, framesAtRest, live.TimersRunning() ? "yes" : "no");
  std::fflush(stdout);

  std::vector<bench::Result> results;
  char note[256];
  std::snprintf(note, sizeof note, "max %.1f ms, %d of %zu moves over 2 frames (33 ms); target: median <= 20 ms",
                x.max, lateX, x.n);
  if (record) {
    results.push_back({"live: move -> ink on the X screen", x.median * 1000, ulw.median, "plain ULWI of the same areas", note});
  }
  std::snprintf(note, sizeof note, "max %.1f ms, %d of %zu moves over 2 frames", win.max, lateWindows, win.n);
  results.push_back({"live: move -> ULW returned", win.median * 1000, ulw.median, "plain ULWI of the same areas", note});
  results.push_back({"live: one frame (ours)", ours.median, ulw.median, "plain ULWI of the same areas", ""});
  results.push_back({"live: one frame (ours) vs BitBlt", ours.median, blt.median, "plain BitBlt of the same areas", ""});
  std::snprintf(note, sizeof note, "%.2f ms of processor time a second at rest (target: none)", cpuPerSecond);
  results.push_back({"live: at rest, processor time a second", cpuPerSecond * 1000, 0, "", note});
  return results;
}

bench::Registrar reg("live.stroke", MoveToInk);

}  // namespace
