// Entering presentation mode with the real scrivane.exe, watched from the X side: no frame on the
// screen between the hotkey and the painted overlay shows a full-screen black or button-face fill,
// and the overlay shows the desktop as it was. Half the entries are the first of a program's run,
// the first the overlay window (made hidden at start-up) ever shows; the other half find it kept
// from the presentation before.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "e2e/driver.h"
#include "e2e/entry_probe.h"
#include "support/test_support.h"
#include "support/xwatch_client.h"

using namespace e2e;
using namespace testing_support;

namespace {

struct Tally {
  int entries = 0, fills = 0, fullDrawings = 0;
};

// `entries` presentations in one run of the program; each is checked and counted.
void Present(XWatch& watch, int entries, Tally& tally, const char* what) {
  // The pointer out of the way, in the middle of the screen: over the notification area it would
  // bring up the icon's tip while we compare the screen.
  MouseMoveTo(::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2);
  // The icon of a run before is gone from the notification area.
  ASSERT_TRUE(WaitUntil([] { return CountTrayIcons() <= 0; }, 15000));
  App app;
  ASSERT_TRUE(StartUntilHandOff(app));
  // Resident: the splash gone, from the screen too, and the icon in the notification area (the
  // main form's load ends there).
  ASSERT_TRUE(WaitUntil(
      [&] { return !app.Find(kSplash) && CountTrayIcons() == 1 && CentreShowsThePattern(); }, 15000));
  // What the overlay must show, and what must come back at Esc: the pattern and the icon, once
  // the screen has settled.
  ScreenImage desktop = CaptureScreen();
  ASSERT_TRUE(WaitUntil(
      [&] {
        ScreenImage now = CaptureScreen();
        const bool settled = CountDifferences(now, desktop) == 0;
        desktop = std::move(now);
        return settled;
      },
      15000, 100));
  for (int i = 0; i < entries; ++i) {
    EntryProbe p = ProbeEntry(watch, std::string(what) + std::to_string(tally.entries), app.Process(), app.Pid(),
                              L"ScrivaneOverlay");
    ASSERT_TRUE(p.ok) << what << " entry " << tally.entries << ": " << p.failure;
    EXPECT_EQ(0, p.record->fills) << what << " entry " << tally.entries << " showed a full-screen fill:\n"
                                  << p.record->text;
    tally.fills += p.record->fills;
    tally.fullDrawings += p.record->fullDamages;
    ++tally.entries;
    if (!LeaveAndSettle(p.overlay, app.Pid(), L"ScrivaneOverlay", desktop)) {
      SaveImageBmp(desktop, ScreenshotDir() + L"\\entry-desktop.bmp");
      SaveImageBmp(CaptureScreen(), ScreenshotDir() + L"\\entry-after-esc.bmp");
      FAIL() << what << " entry " << i << ": the desktop did not come back (entry-after-esc.bmp)";
    }
  }
  app.Stop();
}

TEST(EntryE2e, NoBlackOrButtonFaceFrameFromTheHotkeyToThePaintedOverlay) {
  XWatch watch;
  ASSERT_TRUE(watch.Ready()) << "no screen watcher in this environment";
  FreshSettings();
  auto pattern = std::make_unique<PatternWindow>();

  Tally kept, anew;
  // One run: its first entry shows the window for the first time, the 25 after it find it kept.
  Present(watch, 26, kept, "kept");
  kept.entries -= 1;
  // 25 runs of one entry each: the window's first showing every time.
  for (int run = 0; run < 25 && !HasFatalFailure(); ++run) Present(watch, 1, anew, "anew");
  std::printf("[ figures  ] window kept: %d entries, %d full-screen fills, %d full-screen drawings\n", kept.entries,
              kept.fills, kept.fullDrawings);
  std::printf("[ figures  ] first entry of a run: %d entries, %d full-screen fills, %d full-screen drawings\n",
              anew.entries, anew.fills, anew.fullDrawings);
  EXPECT_EQ(25, anew.entries);
}

}  // namespace
