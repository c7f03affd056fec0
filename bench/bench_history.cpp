// What the undo history costs, measured three ways.
//   history.memory: the real scrivane.exe, driven with real keys and mouse through presentations of
//     a 1080p pattern desktop with ten strokes each; its private bytes read from Linux (the
//     anonymous memory of its Wine process, resident or swapped) once it has settled in the tray,
//     after 0, 10 and 50 presentations, against the figure before the first. With
//     SCRIVANE_BENCH_PRESENTATIONS=n it stops after n; with SCRIVANE_BENCH_HOLD=s the program then
//     waits s seconds in the tray, to be looked at (/proc/<pid>/smaps).
//   history.counts: the same presentations inside this process: the history's own count of what it
//     holds in memory and in its file, the heaps' holes, and the idle work after the Escs.
//   history.packed: what packing costs per step and where it runs, and undoing packed steps.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench.h"
#include "overlay/ss.h"
#include "shell/start_up.h"
#include "e2e/driver.h"
#include "support/test_support.h"

namespace {

// The figure once it stays within half a megabyte over three reads a second apart (at most a
// minute): the kept picture written, the idle-time work done.
size_t SettledPrivateBytes(const e2e::App& app) {
  std::vector<size_t> reads;
  for (int i = 0; i < 60; ++i) {
    reads.push_back(e2e::PrivateBytes(app));
    if (reads.size() >= 3) {
      const size_t a = reads[reads.size() - 3], b = reads[reads.size() - 2], c = reads.back();
      const size_t lo = std::min({a, b, c}), hi = std::max({a, b, c});
      if (hi - lo < 512 * 1024) return c;
    }
    testing_support::Pump(1000);
  }
  return reads.back();
}

std::vector<bench::Result> IdleMemoryAfterPresentations() {
  e2e::FreshSettings({{"color", "255"}});
  auto pattern = std::make_unique<testing_support::PatternWindow>();
  e2e::App app;
  if (!e2e::StartUntilHandOff(app) || !app.WaitFor({L"ScrivaneOverlay", std::nullopt, false}, 20000)) {
    std::printf("history.memory: the program did not start\n");
    return {};
  }
  if (e2e::PrivateBytes(app) == 0) {
    std::printf("history.memory: no memory figure for the program (Z:\\proc not readable)\n");
    return {};
  }
  const size_t before = SettledPrivateBytes(app);
  std::vector<bench::Result> results;
  results.push_back({"idle private bytes (KB) after 0 presentations", before / 1024.0, before / 1024.0,
                     "the same, before the first presentation", ""});
  const int count = std::getenv("SCRIVANE_BENCH_PRESENTATIONS") ? std::atoi(std::getenv("SCRIVANE_BENCH_PRESENTATIONS")) : 50;
  for (int p = 1; p <= count; ++p) {
    pattern->Repaint(e2e::PresentationSalt(p));
    std::string failure;
    if (!e2e::GivePresentation(app, 10, 0xFF0000, nullptr, failure)) {
      std::printf("history.memory: presentation %d: %s\n", p, failure.c_str());
      break;
    }
    if (p == 10 || p == 50) {
      const size_t after = SettledPrivateBytes(app);
      char note[160];
      std::snprintf(note, sizeof note, "%+.1f MB against before the first; target after 50: <= +24 MB",
                    (static_cast<double>(after) - static_cast<double>(before)) / 1048576.0);
      results.push_back({"idle private bytes (KB) after " + std::to_string(p) + " presentations", after / 1024.0,
                         before / 1024.0, "before the first presentation", note});
    }
  }
  // SCRIVANE_BENCH_HOLD=<seconds>: the program waits in the tray that long, to be looked at.
  if (const char* hold = std::getenv("SCRIVANE_BENCH_HOLD")) {
    std::printf("history.memory: holding the program in the tray for %s s\n", hold);
    std::fflush(stdout);
    ::Sleep(static_cast<DWORD>(std::atoi(hold)) * 1000);
  }
  app.Stop(10000);
  return results;
}

bench::Registrar reg("history.memory", IdleMemoryAfterPresentations);

}  // namespace

namespace {

// Stroke k of a presentation as the real program's one (e2e::GivePresentation) draws it, with the
// overlay's own calls: the tool's place for each point of its path.
void DrawStroke(ss& o, int k) {
  o.History().BeginChange();
  o.Picture1.PSet(1790, 89 + 44 * k, RGB(255, 0, 0), 10);
  o.Picture1.LineTo(890, 309 + 20 * k, RGB(255, 0, 0), 10);
  o.Picture1.LineTo(90, 69 + 44 * k, RGB(255, 0, 0), 10);
  o.History().EndChange();
}

// The heaps of this process: bytes in use and bytes free but committed (a hole the heap keeps).
struct HeapFigures {
  size_t busy = 0, freeCommitted = 0, large = 0;
};
HeapFigures WalkHeaps() {
  HeapFigures h;
  HANDLE heaps[64];
  const DWORD n = ::GetProcessHeaps(64, heaps);
  for (DWORD i = 0; i < n && i < 64; ++i) {
    PROCESS_HEAP_ENTRY e{};
    ::HeapLock(heaps[i]);
    while (::HeapWalk(heaps[i], &e)) {
      if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
        h.busy += e.cbData;
        if (e.cbData >= 0x7F000) h.large += e.cbData;
      } else if (!(e.wFlags & (PROCESS_HEAP_REGION | PROCESS_HEAP_UNCOMMITTED_RANGE))) {
        h.freeCommitted += e.cbData;
      }
    }
    ::HeapUnlock(heaps[i]);
  }
  return h;
}

// The same presentations inside this process, with the overlay's own objects: what the history
// holds in memory and in its file by its own count, against the process's private bytes, and
// where the time of packing goes.
std::vector<bench::Result> HistoryCountsInProcess() {
  ss& o = bench::App().overlay;
  o.History().Forget();
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  imaging::SpillFile file(std::wstring(temp) + L"scrivane-bench-undo.tmp");
  o.History().SetSpillFile(&file);
  if (const char* budget = std::getenv("SCRIVANE_BENCH_MEMORY_MB")) {
    o.History().Steps().SetMemoryLimitBytes(static_cast<size_t>(std::atoi(budget)) << 20);
  }
  auto pattern = std::make_unique<testing_support::PatternWindow>();
  const int self = testing_support::UnixPidOf(L"scrivane_bench.exe");
  auto privateBytes = [&] {
    testing_support::UnixMemory m;
    return self && testing_support::ReadUnixMemory(self, m) ? m.Private() : 0;
  };
  const size_t before = privateBytes();
  {
    const HeapFigures heap = WalkHeaps();
    std::printf("    before: heaps %.1f MB in use, %.1f MB free but kept\n", heap.busy / 1048576.0,
                heap.freeCommitted / 1048576.0);
  }
  LARGE_INTEGER f;
  ::QueryPerformanceFrequency(&f);
  double idleMs = 0;
  int slices = 0;
  for (int p = 1; p <= 50; ++p) {
    pattern->Repaint(e2e::PresentationSalt(p));
    o.cmdScreen_Click();
    o.ShowOverlay();
    bench::PumpMessages();
    for (int k = 0; k < 10; ++k) {
      DrawStroke(o, k);
      o.History().DoIdleWork();
    }
    o.Unload();
    // The idle time after the hide, slice by slice, until nothing is left.
    for (;;) {
      LARGE_INTEGER a, b;
      ::QueryPerformanceCounter(&a);
      const bool more = o.History().DoIdleWork();
      ::QueryPerformanceCounter(&b);
      idleMs += (b.QuadPart - a.QuadPart) * 1e3 / f.QuadPart;
      ++slices;
      if (!more) break;
    }
    if (p == 10 || p == 50) {
      o.History().FinishKeeping();
      const overlay::History& h = o.History().Steps();
      const HeapFigures heap = WalkHeaps();
      std::printf("    after %d: %zu steps, %.1f MB in memory, %.1f MB in the file; private bytes %+.1f MB; heaps: "
                  "%.1f MB in use (%.1f MB in large blocks), %.1f MB free but kept\n",
                  p, h.UndoCount(), h.Bytes() / 1048576.0, h.StoredBytes() / 1048576.0,
                  (static_cast<double>(privateBytes()) - static_cast<double>(before)) / 1048576.0,
                  heap.busy / 1048576.0, heap.large / 1048576.0, heap.freeCommitted / 1048576.0);
    }
  }
  std::printf("    idle work after the Escs: %d slices, %.1f ms in all\n", slices, idleMs);

  o.History().Forget();
  o.History().SetSpillFile(nullptr);
  return {};
}

bench::Registrar regCounts("history.counts", HistoryCountsInProcess);

}  // namespace

namespace {

struct IdleCost {
  double totalUs = 0, longestUs = 0;
  int slices = 0;
};

// The overlay's idle-time work, slice after slice, until nothing is left.
IdleCost IdleUntilDone(ss& o) {
  IdleCost cost;
  LARGE_INTEGER f;
  ::QueryPerformanceFrequency(&f);
  for (bool more = true; more;) {
    LARGE_INTEGER a, b;
    ::QueryPerformanceCounter(&a);
    more = o.History().DoIdleWork();
    ::QueryPerformanceCounter(&b);
    const double us = (b.QuadPart - a.QuadPart) * 1e6 / f.QuadPart;
    cost.totalUs += us;
    cost.longestUs = std::max(cost.longestUs, us);
    ++cost.slices;
  }
  return cost;
}

double Micros(const std::function<void()>& fn) {
  LARGE_INTEGER f, a, b;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&a);
  fn();
  ::GdiFlush();
  ::QueryPerformanceCounter(&b);
  return (b.QuadPart - a.QuadPart) * 1e6 / f.QuadPart;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// What packing costs per step and where it runs (the user-interface thread's idle time, in slices
// of a few milliseconds), what it gives, and what undoing a packed step costs: in memory or from
// the spill file, a full-screen Ctrl+E and the step back into the last presentation, each against
// a full-screen BitBlt onto the window.
std::vector<bench::Result> PackingAndPackedUndo() {
  ss& o = bench::App().overlay;
  o.History().Forget();
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  imaging::SpillFile file(std::wstring(temp) + L"scrivane-bench-packed.tmp");
  o.History().SetSpillFile(&file);
  overlay::History& steps = o.History().Steps();
  auto pattern = std::make_unique<testing_support::PatternWindow>();
  pattern->Repaint(e2e::PresentationSalt(7));
  o.cmdScreen_Click();
  o.ShowOverlay();
  bench::PumpMessages();
  IdleUntilDone(o);
  const double blit = bench::MedianMicros(
      [&] {
        ::BitBlt(o.Picture1.OwnDc(), 0, 0, 1920, 1080, o.Picture1.ContentDc(), 0, 0, SRCCOPY);
        ::GdiFlush();
      },
      20);
  std::vector<bench::Result> results;

  // Ten strokes across the pattern, each packed in the pauses after it.
  std::vector<double> strokePack;
  for (int k = 0; k < 10; ++k) {
    DrawStroke(o, k);
    o.History().TakeEndedChange();
    strokePack.push_back(IdleUntilDone(o).totalUs);
  }
  {
    char note[200];
    std::snprintf(note, sizeof note, "in idle time on the user-interface thread; the ten strokes hold %.0f KB packed",
                  steps.Bytes() / 1024.0);
    results.push_back({"packing one stroke step (idle time)", Median(strokePack), blit, "full-screen BitBlt onto the window", note});
  }

  // Ctrl+E over ink on every tile: a full-screen step.
  o.History().BeginChange();
  for (int y = 8; y < 1080; y += 24) {
    o.Picture1.PSet(0, y, RGB(0, 0, 255), 20);
    o.Picture1.LineTo(1919, y, RGB(0, 0, 255), 20);
  }
  o.History().EndChange();
  IdleUntilDone(o);
  const size_t beforeClear = steps.Bytes();
  o.ClearStrokes();
  o.History().TakeEndedChange();
  const size_t clearPlain = steps.Bytes() - beforeClear;
  const IdleCost clearPack = IdleUntilDone(o);
  const size_t clearPacked = steps.Bytes() - beforeClear;
  {
    char note[200];
    std::snprintf(note, sizeof note, "%.1f MB plain -> %.0f KB packed, in %d slices of at most %.1f ms", clearPlain / 1048576.0,
                  clearPacked / 1024.0, clearPack.slices, clearPack.longestUs / 1000);
    results.push_back({"packing a full-screen Ctrl+E step (idle time)", clearPack.totalUs, blit,
                       "full-screen BitBlt onto the window", note});
  }
  // Undo of the packed Ctrl+E, then with every step in the file: the newest step undone and
  // redone, packed again between the two.
  auto timeUndos = [&](const char* inMemory, const char* inFile) {
    for (bool spilled : {false, true}) {
      steps.SetMemoryLimitBytes(spilled ? 0 : overlay::History::kDefaultMemoryBytes);
      std::vector<double> undos;
      for (int i = 0; i < 11; ++i) {
        IdleUntilDone(o);
        undos.push_back(Micros([&] { o.History().Undo(); }));
        o.History().Redo();
      }
      char note[160];
      std::snprintf(note, sizeof note, "%.1f ms; target <= 33 ms; %.0f KB in the file", Median(undos) / 1000,
                    steps.StoredBytes() / 1024.0);
      results.push_back({spilled ? inFile : inMemory, Median(undos), blit, "full-screen BitBlt onto the window", note});
    }
    steps.SetMemoryLimitBytes(overlay::History::kDefaultMemoryBytes);
  };
  timeUndos("undo of a full-screen Ctrl+E, packed", "undo of a full-screen Ctrl+E, from the spill file");

  // Esc and a new presentation: the step back into the last one, a whole state.
  o.Unload();
  const IdleCost keptPack = IdleUntilDone(o);
  pattern->Repaint(e2e::PresentationSalt(8));
  o.cmdScreen_Click();
  o.ShowOverlay();
  bench::PumpMessages();
  IdleUntilDone(o);
  {
    char note[200];
    std::snprintf(note, sizeof note, "background and drawing, 16 MB plain; after Esc, on the hidden window, in %d slices of at most %.1f ms",
                  keptPack.slices, keptPack.longestUs / 1000);
    results.push_back({"packing the presentation kept at Esc (idle time)", keptPack.totalUs, blit,
                       "full-screen BitBlt onto the window", note});
  }
  timeUndos("undo into the last presentation, packed", "undo into the last presentation, from the file");
  o.Unload();
  o.History().Forget();
  o.History().SetSpillFile(nullptr);
  bench::PumpMessages();
  return results;
}

bench::Registrar regPacked("history.packed", PackingAndPackedUndo);

}  // namespace
