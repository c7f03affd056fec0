// Entering presentation mode with the real scrivane.exe, watched from the X side: no frame on the
// screen between the hotkey and the painted overlay shows a full-screen black or button-face fill,
// and the overlay shows the desktop as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "e2e/driver.h"
#include "e2e/entry_probe.h"
#include "support/test_support.h"
#include "support/xwatch_client.h"

using namespace e2e;
using namespace testing_support;

TEST(EntryE2e, NoBlackOrButtonFaceFrameFromTheHotkeyToThePaintedOverlay) {
  XWatch watch;
  ASSERT_TRUE(watch.Ready()) << "no screen watcher in this environment";
  DeleteScrivaneKeys();
  WriteRegString(HKEY_LOCAL_MACHINE, "Software\\Scrivane", "showstartup", "1");
  auto pattern = std::make_unique<PatternWindow>();
  App app;
  ASSERT_TRUE(app.Start());
  ASSERT_NE(nullptr, app.WaitFor({L"ScrivaneMainForm", L"Scrivane", false}, 15000));
  Pump(300);
  const ScreenImage desktop = CaptureScreen();

  // Every entry creates the overlay window anew (Esc destroys it).
  const int entries = 25;
  int fills = 0, fullDrawings = 0;
  for (int i = 0; i < entries; ++i) {
    EntryProbe p = ProbeEntry(watch, "entry" + std::to_string(i), app.Process(), app.Pid(), L"ScrivaneOverlay");
    ASSERT_TRUE(p.ok) << "entry " << i << ": " << p.failure;
    EXPECT_EQ(0, p.record->fills) << "entry " << i << " showed a full-screen fill:\n" << p.record->text;
    fills += p.record->fills;
    fullDrawings += p.record->fullDamages;
    ASSERT_TRUE(LeaveAndSettle(p.overlay, app.Pid(), L"ScrivaneOverlay", desktop)) << "entry " << i;
  }
  std::printf("[ figures  ] %d entries: %d full-screen fills, %d full-screen drawings after the map\n", entries, fills,
              fullDrawings);
  app.Stop();
}
