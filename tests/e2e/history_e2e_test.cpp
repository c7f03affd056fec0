// What the undo history costs the program in the tray, with the real scrivane.exe: fifty
// presentations of a 1080p desktop with ten strokes each, then the private bytes of the idle
// program read from Linux (its Wine process's anonymous memory) against the figure before the
// first presentation, and Ctrl+Shift+Z then Ctrl+Z back through the last hundred steps, each
// screen exactly as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "support/test_support.h"

using namespace e2e;
using namespace testing_support;

namespace {

constexpr size_t kMaxGrowth = 24u * 1024 * 1024;

// Once the screen's fingerprint is `expected`; false after `timeoutMs`.
bool ScreenBecomes(uint64_t expected, int timeoutMs) {
  return WaitUntil([&] { return Fingerprint(CaptureScreen()) == expected; }, timeoutMs, 50);
}

void EmptyFolder(const std::wstring& folder) {
  for (const std::wstring& n : PngsIn(folder)) ::DeleteFileW((folder + L"\\" + n).c_str());
}

TEST(HistoryE2e, FiftyPresentationsLeaveTheTrayAtMost24MbAboveWhereItStartedAndTheLastHundredStepsUndoExactly) {
  ASSERT_TRUE(FreshSettings({{"color", "255"}}));
  EmptyFolder(DrawingsFolder());
  auto pattern = std::make_unique<PatternWindow>();
  App app;
  ASSERT_TRUE(StartUntilHandOff(app));
  // At rest in the tray: the splash gone, the icon there, the overlay's window made ahead of the
  // first presentation.
  ASSERT_TRUE(WaitUntil([&] { return app.Windows(true).empty() && CountTrayIcons() == 1; }, 15000));
  ASSERT_NE(nullptr, app.WaitFor({L"ScrivaneOverlay", std::nullopt, false}, 15000));
  const size_t before = PrivateBytes(app);
  ASSERT_GT(before, 0u) << "no memory figure for the program";

  // states[p]: the screen after presentation p's entry and after each of its strokes.
  std::vector<std::vector<uint64_t>> states(51);
  for (int p = 1; p <= 50; ++p) {
    pattern->Repaint(PresentationSalt(p));
    std::string failure;
    ASSERT_TRUE(GivePresentation(app, 10, 0xFF0000, &states[p], failure)) << "presentation " << p << ": " << failure;
    ASSERT_EQ(11u, states[p].size());
  }

  // Idle in the tray, the program comes down to the bound: it keeps the steps packed, the older
  // ones in its file. A program that holds them in memory never gets there.
  size_t after = PrivateBytes(app);
  const bool withinBound = WaitUntil(
      [&] {
        after = PrivateBytes(app);
        return after <= before + kMaxGrowth;
      },
      120000, 500);
  EXPECT_TRUE(withinBound) << "private bytes " << before / 1024 << " KB before the first presentation, "
                           << after / 1024 << " KB after fifty; held in " << WherePrivateBytesAre(app) << "; "
                           << PngsIn(DrawingsFolder()).size() << " drawings kept";
  std::printf("private bytes: %zu KB before the first presentation, %zu KB after fifty (%+.1f MB)\n", before / 1024,
              after / 1024, (static_cast<double>(after) - static_cast<double>(before)) / 1048576.0);

  // A new presentation, then Ctrl+Z: presentation 50 as it was at Esc, its strokes one by one, its
  // grab, presentation 49 at Esc, and so on.
  pattern->Repaint(PresentationSalt(51));
  ASSERT_NE(nullptr, EnterPresentation(app));
  uint64_t previous = Fingerprint(CaptureScreen());  // the new grab: the desktop as it is
  for (int k = 0; k < 100; ++k) {
    const int p = 50 - k / 11;
    const uint64_t expected = states[p][10 - k % 11];
    TypeChord({VK_CONTROL, 'Z'});
    if (!ScreenBecomes(expected, 10000)) {
      // A key can be lost to the notification area's window while the overlay takes the keyboard
      // back: the screen still shows the step before, and the key goes again.
      ASSERT_EQ(previous, Fingerprint(CaptureScreen())) << "undo " << k + 1 << " showed something else";
      TypeChord({VK_CONTROL, 'Z'});
      ASSERT_TRUE(ScreenBecomes(expected, 10000)) << "undo " << k + 1 << ": presentation " << p << ", state "
                                                  << 10 - k % 11;
    }
    previous = expected;
  }
  app.Stop();
  pattern.reset();
  EmptyFolder(DrawingsFolder());
  DeleteScrivaneKeys();
}

}  // namespace
