// Hotkey -> overlay painted, as the user sees it: the real scrivane.exe and the floor program
// (bench/floor.cpp: grab with BitBlt, show a full-screen popup, blit the grab on WM_PAINT), each
// started beside this program and driven with real keys, in alternating rounds of one run.
//   Windows side: from the SendInput of the key to the end of the hotkey's work, which ends with
//     the overlay's first paint (a WM_NULL sent once the window is visible comes back then).
//   X side: the screen watcher, from the key to the drawing that completes the full-screen
//     picture after the full-screen map.
// Needs the watcher (bench/run-bench.sh starts it); without it the benchmark says so and skips.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench.h"
#include "e2e/driver.h"
#include "e2e/entry_probe.h"
#include "support/test_support.h"
#include "support/xwatch_client.h"

namespace {

using testing_support::XWatch;

struct Case {
  const char* name;
  const wchar_t* exe;
  const wchar_t* arguments;
  const wchar_t* overlayClass;
  const wchar_t* readyClass;  // the program is ready for the hotkey when this window exists
  // Which entries count: the first after each start (the overlay window made anew) or the ones
  // after it (the window kept from the entry before).
  bool firstEntryOnly;
  std::vector<double> windowsMs, xMs, mapMs;
  int fills = 0;
  int fullDrawings = 0;
  int entries = 0;
};

struct Stats {
  double median = 0, min = 0, max = 0;
};

Stats Summarize(std::vector<double> v) {
  Stats s;
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  s.median = v[v.size() / 2];
  s.min = v.front();
  s.max = v.back();
  return s;
}

// With SCRIVANE_BENCH_RECORDS set to a folder, every entry's watcher record is kept there.
void KeepRecord(const Case& c, int entry, const e2e::EntryProbe& p) {
  static const char* dir = std::getenv("SCRIVANE_BENCH_RECORDS");
  if (!dir || !p.record) return;
  static int serial = 0;
  char path[1024];
  std::snprintf(path, sizeof path, "%s\\%03d-%s-%d.txt", dir, ++serial, c.exe[0] == L's' && c.exe[9] == L'_' ? "floor" : "scrivane", entry);
  if (FILE* f = std::fopen(path, "w")) {
    std::fprintf(f, "case %s\nkey %llu\nshown %llu\nhandled %llu\n%s", c.name, p.key, p.shown, p.handled,
                 p.record->text.c_str());
    std::fclose(f);
  }
}

bool StartProgram(e2e::App& app, const Case& c) {
  if (!app.Start(c.exe, c.arguments)) return false;
  HWND ready = app.WaitFor({c.readyClass, std::nullopt, false}, 20000);
  testing_support::Pump(300);
  return ready != nullptr;
}

void RunStart(Case& c, int entries, XWatch& watch) {
  e2e::App app;
  if (!StartProgram(app, c)) {
    std::printf("    %s did not start\n", c.name);
    return;
  }
  // The screen as the program grabs it: the pattern, and whatever the program shows when idle
  // (scrivane.exe's notification icon).
  const testing_support::ScreenImage desktop = testing_support::CaptureScreen();
  for (int i = 0; i < (c.firstEntryOnly ? 1 : entries + 1); ++i) {
    const std::string label = "bench-" + std::to_string(::GetTickCount64()) + "-" + std::to_string(i);
    e2e::EntryProbe p = e2e::ProbeEntry(watch, label, app.Process(), app.Pid(), c.overlayClass);
    if (!p.ok) {
      std::printf("    %s: %s\n", c.name, p.failure.c_str());
      if (p.overlay) e2e::LeaveAndSettle(p.overlay, app.Pid(), c.overlayClass, desktop);
      continue;
    }
    KeepRecord(c, i, p);
    if ((i == 0) == c.firstEntryOnly) {
      c.windowsMs.push_back(p.WindowsMs());
      c.xMs.push_back(p.XPaintedMs());
      c.mapMs.push_back(p.XMapMs());
      c.fills += p.record->fills;
      c.fullDrawings += p.record->fullDamages;
      ++c.entries;
    }
    if (!e2e::LeaveAndSettle(p.overlay, app.Pid(), c.overlayClass, desktop)) {
      std::printf("    %s: the desktop did not come back after Esc\n", c.name);
      break;
    }
  }
  app.Stop();
}

void RunRound(Case& c, int entries, XWatch& watch) {
  if (!c.firstEntryOnly) {
    RunStart(c, entries, watch);
    return;
  }
  for (int i = 0; i < entries; ++i) RunStart(c, 1, watch);
}

std::vector<bench::Result> HotkeyToPainted() {
  XWatch watch;
  if (!watch.Ready()) {
    std::printf("%-48s (skipped: no screen watcher; run bench/run-bench.sh)\n", "entry: hotkey -> overlay painted");
    return {};
  }
  e2e::WriteRegString(HKEY_LOCAL_MACHINE, e2e::kSettingsKey, "showstartup", "1");

  // scrivane.exe makes its overlay window, hidden, at the end of start-up and keeps it between
  // presentations: the first entry after a start is the first the window has ever shown.
  std::vector<Case> cases = {
      {"scrivane.exe, first entry of a run", L"scrivane.exe", L"", L"ScrivaneOverlay", L"ScrivaneMainForm", true, {}, {}, {}},
      {"scrivane.exe, overlay kept alive", L"scrivane.exe", L"", L"ScrivaneOverlay", L"ScrivaneMainForm", false, {}, {}, {}},
      {"floor, popup created anew", L"scrivane_floor.exe", L"", L"ScrivaneFloorPopup", L"ScrivaneFloorMain", false, {}, {}, {}},
      {"floor, popup kept (hidden at Esc)", L"scrivane_floor.exe", L"--keep", L"ScrivaneFloorPopup",
       L"ScrivaneFloorMain", false, {}, {}, {}},
  };
  const int rounds = 3, perRound = 8;

  // What every program grabs: a fixed pattern over the whole screen.
  auto pattern = std::make_unique<testing_support::PatternWindow>();
  testing_support::Pump(300);
  for (int r = 0; r < rounds; ++r) {
    for (Case& c : cases) {
      RunRound(c, perRound, watch);
    }
  }

  const Case& floor = cases[2];
  const double floorWin = Summarize(floor.windowsMs).median;
  const double floorX = Summarize(floor.xMs).median;
  std::printf("\nentry: hotkey -> overlay painted, ms (%d rounds of %d entries per case)\n", rounds, perRound);
  std::printf("  %-36s %6s | %-24s | %-24s | %-10s | %s\n", "case", "n", "Windows side med (min-max)",
              "X side med (min-max)", "X map med", "ratio to floor anew (Win, X)");
  for (const Case& c : cases) {
    const Stats w = Summarize(c.windowsMs), x = Summarize(c.xMs), m = Summarize(c.mapMs);
    std::printf("  %-36s %6d | %6.1f (%6.1f-%6.1f)    | %6.1f (%6.1f-%6.1f)    | %6.1f     | %.2f, %.2f\n", c.name,
                c.entries, w.median, w.min, w.max, x.median, x.min, x.max, m.median,
                floorWin > 0 ? w.median / floorWin : 0, floorX > 0 ? x.median / floorX : 0);
  }
  std::printf("  full-screen black or button-face looks / full-screen drawings after the map, all entries:\n");
  for (const Case& c : cases) {
    std::printf("    %-36s %d / %d in %d entries\n", c.name, c.fills, c.fullDrawings, c.entries);
  }
  std::fflush(stdout);

  // The program's first entry (the window made anew) and a later one (the window kept), each
  // against the floor program's entry, X side and Windows side.
  std::vector<bench::Result> results;
  for (const auto& [c, when] : {std::pair{&cases[0], "first"}, std::pair{&cases[1], "kept"}}) {
    const std::string versus = std::string(" side: scrivane ") + when + " vs floor anew";
    if (!c->xMs.empty() && floorX > 0) {
      results.push_back({"entry X" + versus, Summarize(c->xMs).median * 1000, floorX * 1000,
                         "floor program, popup created anew", "target: ratio <= 1.1"});
    }
    if (!c->windowsMs.empty() && floorWin > 0) {
      results.push_back({"entry Windows" + versus, Summarize(c->windowsMs).median * 1000, floorWin * 1000,
                         "floor program, popup created anew", "target: ratio <= 1.1"});
    }
  }
  return results;
}

bench::Registrar reg("entry.hotkey", HotkeyToPainted);

}  // namespace
