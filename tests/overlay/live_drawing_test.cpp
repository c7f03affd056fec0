// The live-drawing window in this process: what it is while on and off, the hotkey's presses by
// their times, its keys going to the command table only while inking, Esc during a shape, and
// frames that go out at most once a frame, with nothing running once the pointer rests.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/window_place.h"
#include "overlay/live_drawing.h"
#include "settings/app_settings.h"
#include "support/test_support.h"

namespace {

using overlay::LiveDrawing;
using testing_support::PumpUntil;

LONG_PTR ExStyle(HWND w) { return ::GetWindowLongPtrW(w, GWL_EXSTYLE); }

// Stands in for the program's commands: every key handed over is written down.
class RecordingCommands : public overlay::CommandDispatcher {
 public:
  bool RunKey(short keyAscii) override {
    keys.push_back(keyAscii);
    return true;
  }
  void RunWheel(int) override {}
  void Run(overlay::CommandId) override {}
  std::vector<short> keys;
};

class LiveDrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.color = 255;
    settings.brushwidth = 10;
    settings.erasersize = 8;
    testing_support::MouseMoveTo(500, 400);
    PumpUntil([] {
      POINT p{};
      ::GetCursorPos(&p);
      return p.x == 500 && p.y == 400;
    });
  }
  void TearDown() override { live.End(); }
  // The presses of the hotkey, at the times they were made.
  void Hotkey(DWORD at) { live.OnHotkey(at, nullptr); }
  settings::AppSettingsRecord settings;
  LiveDrawing live{settings};
};

TEST_F(LiveDrawingTest, CoversTheMonitorUnderThePointerAsATopmostLayeredToolWindowOnlyWhileOn) {
  live.Start(nullptr);
  ASSERT_TRUE(live.IsOn());
  EXPECT_EQ(LiveDrawing::State::Inking, live.CurrentState());
  HWND w = live.Hwnd();
  ASSERT_TRUE(::IsWindowVisible(w));
  const LONG_PTR ex = ExStyle(w);
  EXPECT_TRUE(ex & WS_EX_LAYERED);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW) << "no taskbar button";
  EXPECT_FALSE(ex & (WS_EX_TRANSPARENT | WS_EX_NOACTIVATE)) << "inking takes clicks and keys";
  RECT rc{};
  ::GetWindowRect(w, &rc);
  const RECT monitor = base::MonitorRectUnderPointer();
  EXPECT_TRUE(::EqualRect(&rc, &monitor));
  EXPECT_EQ(1, forms::Window::CountOpenForms(L"livedrawing"));
  EXPECT_TRUE(live.Ink().Ready());
  EXPECT_GE(live.PresentCount(), 1) << "its content went out before it showed";
  live.Start(nullptr);
  EXPECT_EQ(w, live.Hwnd()) << "a second start changes nothing";

  live.End();
  EXPECT_FALSE(live.IsOn());
  EXPECT_FALSE(::IsWindowVisible(w));
  EXPECT_EQ(0, forms::Window::CountOpenForms(L"LiveDrawing")) << "off, it keeps no program running";
  EXPECT_FALSE(live.Ink().Ready()) << "no screen's worth of ink is held between live drawings";
}

TEST_F(LiveDrawingTest, TheHotkeySwitchesInkingAndPointingAndEndsLiveDrawingWhenPressedTwiceInARow) {
  const DWORD twice = ::GetDoubleClickTime();
  Hotkey(10000);
  ASSERT_EQ(LiveDrawing::State::Inking, live.CurrentState());
  Hotkey(10000 + twice + 1);
  ASSERT_EQ(LiveDrawing::State::Pointing, live.CurrentState());
  const LONG_PTR ex = ExStyle(live.Hwnd());
  EXPECT_EQ(WS_EX_TRANSPARENT | WS_EX_NOACTIVATE, ex & (WS_EX_TRANSPARENT | WS_EX_NOACTIVATE));
  EXPECT_TRUE(ex & WS_EX_LAYERED);
  EXPECT_NE(live.Hwnd(), ::GetForegroundWindow()) << "pointing does not keep the keyboard";
  // Keys reach the commands only while inking.
  RecordingCommands commands;
  live.SetCommandDispatcher(&commands);
  ::SendMessageW(live.Hwnd(), WM_CHAR, 'p', 0);
  EXPECT_TRUE(commands.keys.empty());

  Hotkey(10000 + 3 * twice);
  ASSERT_EQ(LiveDrawing::State::Inking, live.CurrentState());
  EXPECT_FALSE(ExStyle(live.Hwnd()) & (WS_EX_TRANSPARENT | WS_EX_NOACTIVATE));
  ::SendMessageW(live.Hwnd(), WM_CHAR, 'p', 0);
  ASSERT_EQ(1u, commands.keys.size());
  EXPECT_EQ('p', commands.keys[0]);
  live.SetCommandDispatcher(nullptr);
  // Twice in a row: the end, from either state.
  Hotkey(10000 + 3 * twice + twice / 2);
  EXPECT_FALSE(live.IsOn());
  // A press that starts it and one right after it: on and off again.
  Hotkey(50000);
  EXPECT_TRUE(live.IsOn());
  Hotkey(50000 + twice);
  EXPECT_FALSE(live.IsOn());

  // Pointing and back without the hotkey (Space's command).
  live.Start(nullptr);
  live.SetPointing(true);
  EXPECT_EQ(LiveDrawing::State::Pointing, live.CurrentState());
  live.SetPointing(false);
  EXPECT_EQ(LiveDrawing::State::Inking, live.CurrentState());
}

TEST_F(LiveDrawingTest, EscDuringAShapeTakesBackTheShapeOnlyAndTheNextEscEnds) {
  live.Start(nullptr);
  live.TogglePen();
  ASSERT_TRUE(live.PenMode());
  live.MouseDown(1, 0, 100, 100);
  live.MouseMove(1, 300, 120);
  live.MouseUp(1, 300, 120);
  ASSERT_EQ(1u, live.Ink().Steps().UndoCount());

  live.MouseDown(1, 2, 400, 400);  // Ctrl: a rectangle
  live.MouseMove(1, 700, 600);
  EXPECT_TRUE(live.Ink().ShapeFollowing());
  live.Leave();
  EXPECT_TRUE(live.IsOn());
  EXPECT_FALSE(live.Ink().ShapeFollowing());
  live.MouseMove(1, 750, 650);
  live.MouseUp(1, 750, 650);
  EXPECT_EQ(1u, live.Ink().Steps().UndoCount()) << "the taken-back shape is no step";
  // The stroke is still there; Ctrl+E clears it as a step of its own and puts the highlighter back.
  live.ToggleEraser();
  live.ClearDrawing();
  EXPECT_FALSE(live.EraserOn());
  EXPECT_EQ(overlay::CursorKind::Highlighter, live.CurrentCursor());
  EXPECT_FALSE(live.Ink().Canvas().HasInk());
  EXPECT_EQ(2u, live.Ink().Steps().UndoCount());
  live.Leave();
  EXPECT_FALSE(live.IsOn());
}

TEST_F(LiveDrawingTest, FramesGoOutAtMostOnceAFrameTheLastOnceThePointerStopsAndNothingRunsAtRest) {
  live.Start(nullptr);
  // The hand-over of the keyboard at the start watches for half a second, then stops.
  ASSERT_TRUE(PumpUntil([&] { return !live.TimersRunning(); }, 5000));
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  std::vector<int64_t> starts;
  std::vector<RECT> areas;
  live.SetPresentObserver([&](const RECT& area, int64_t before, int64_t) {
    starts.push_back(before);
    areas.push_back(area);
  });
  live.MouseDown(1, 0, 100, 200);
  for (int i = 1; i <= 100; ++i) live.MouseMove(1, 100 + i * 8, 200 + (i % 7) * 3);
  live.MouseUp(1, 900, 200);
  ASSERT_TRUE(PumpUntil([&] { return !live.TimersRunning(); }, 5000)) << "the frame's wait ends";
  ASSERT_GE(starts.size(), 1u);
  // However fast the moves came and however slow the machine, frames start at least a frame apart
  // (a hundred moves called at once went out in a few frames; on a machine so busy that each frame
  // took longer than a frame, one each):
  for (size_t i = 1; i < starts.size(); ++i) {
    const double apartMs = static_cast<double>(starts[i] - starts[i - 1]) * 1000.0 / static_cast<double>(frequency.QuadPart);
    EXPECT_GE(apartMs, overlay::LiveFrames::kFrameMs - 0.01) << "frames " << i - 1 << " and " << i;
  }
  // and what the moves drew that waited for a frame was joined into it, none left out: every
  // move's ink (the pen's point 9 left of and 11 below the pointer) is in some frame's area, the
  // end of the stroke in the last one.
  for (int i = 1; i <= 100; ++i) {
    const POINT ink{100 + i * 8 - 9, 200 + (i % 7) * 3 + 11};
    EXPECT_TRUE(std::any_of(areas.begin(), areas.end(), [&](const RECT& r) { return ::PtInRect(&r, ink) != FALSE; }))
        << "move " << i << " never went out";
  }
  EXPECT_GE(areas.back().right, 900 - 9 + 5);
  EXPECT_EQ(1u, live.Ink().Steps().UndoCount());
  // At rest nothing runs: no timer and no frame.
  const size_t frames = starts.size();
  testing_support::Pump(200);
  EXPECT_FALSE(live.TimersRunning());
  EXPECT_EQ(frames, starts.size());
  live.SetPresentObserver(nullptr);
}

}  // namespace
