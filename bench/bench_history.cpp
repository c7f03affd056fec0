// What the undo history costs the program waiting in the tray: the real scrivane.exe, driven with
// real keys and mouse through presentations of a 1080p pattern desktop with ten strokes each, its
// private bytes read from Linux (the anonymous memory of its Wine process, resident or swapped)
// once it has settled after Esc, against the figure before the first presentation.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench.h"
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

// The pattern turned a little for every presentation (never in its red part, which the pen keeps).
uint32_t SaltFor(int presentation) {
  return static_cast<uint32_t>(((presentation * 37) & 0x7F) << 8 | ((presentation * 53) & 0x7F));
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
  for (int p = 1; p <= 50; ++p) {
    pattern->Repaint(SaltFor(p));
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
  app.Stop(10000);
  return results;
}

bench::Registrar reg("history.memory", IdleMemoryAfterPresentations);

}  // namespace
