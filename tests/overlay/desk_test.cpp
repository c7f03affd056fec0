// Presentation mode on a presenter's desk: at 100, 150 and 200 % and with a second monitor beside
// the first (this program runs in each of those test environments). The overlay covers the
// monitor the pointer is on and shows it pixel for pixel, saves it, erases back to it; each tool
// acts under the tip its cursor shows; the magnifier magnifies what is under the pointer on
// whichever monitor it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "base/rounding.h"
#include "imaging/picture_file.h"
#include "magnifier/mag_win.h"
#include "overlay/ss.h"
#include "settings/app_settings.h"
#include "overlay_steps.h"
#include "support/cursor_look.h"
#include "support/dialog_user.h"
#include "support/picture_support.h"
#include "support/test_app.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }
POINT Centre(const RECT& r) { return {r.left + Width(r) / 2, r.top + Height(r) / 2}; }

class DeskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ChoosePen(RGB(255, 0, 0), 10, 32);
    monitors = MonitorRects();
    ASSERT_FALSE(monitors.empty());
    // A different picture on every monitor.
    for (size_t i = 0; i < monitors.size(); ++i) {
      patterns.push_back(std::make_unique<PatternWindow>(monitors[i], i == 0 ? 0u : 0x00A05030u));
    }
  }
  void TearDown() override {
    ss& o = App().overlay;
    if (o.EraserOn()) o.ToggleEraser();
    if (o.IsLoaded()) PressEsc();
    if (App().magnifier.IsLoaded()) App().magnifier.UnloadWindow();
    patterns.clear();
  }
  // Presentation mode with the pointer in the middle of monitor `i`.
  void EnterOn(size_t i) {
    MouseMoveTo(Centre(monitors[i]).x, Centre(monitors[i]).y);
    PumpUntil([&] {
      POINT p{};
      ::GetCursorPos(&p);
      return p.x == Centre(monitors[i]).x && p.y == Centre(monitors[i]).y;
    });
    EnterPresentationMode();
  }
  static ScreenImage Grab(const RECT& r) { return CaptureScreenRect(r.left, r.top, Width(r), Height(r)); }

  std::vector<RECT> monitors;
  std::vector<std::unique_ptr<PatternWindow>> patterns;
};

TEST_F(DeskTest, TheOverlayCoversTheMonitorUnderThePointerPixelForPixelAndLeavesTheOthersLive) {
  for (size_t i = 0; i < monitors.size(); ++i) {
    std::vector<ScreenImage> before;
    for (const RECT& m : monitors) before.push_back(Grab(m));
    EnterOn(i);
    ss& o = App().overlay;
    RECT rc{};
    ::GetWindowRect(o.Hwnd(), &rc);
    EXPECT_TRUE(::EqualRect(&rc, &monitors[i])) << "monitor " << i;
    EXPECT_EQ(Width(monitors[i]), o.Picture1.Width());
    EXPECT_EQ(Height(monitors[i]), o.Picture1.Height());
    const ScreenImage during = Grab(monitors[i]);
    SaveImageBmp(during, ScreenshotDir() + L"\\desk-overlay-" + std::to_wstring(i) + L".bmp");
    EXPECT_EQ(0, CountDifferences(before[i], during)) << "monitor " << i;
    for (size_t j = 0; j < monitors.size(); ++j) {
      if (j == i) continue;
      EXPECT_EQ(0, CountDifferences(before[j], Grab(monitors[j]))) << "the other monitor " << j << " changed";
      // Still live: what is drawn there shows at once, beside the frozen monitor.
      patterns[j]->Repaint(0x00123456u);
      if (!patterns[j]->Showing(0x00123456u)) {
        ADD_FAILURE() << "monitor " << j << " is not live";
        SaveImageBmp(Grab(monitors[j]), ScreenshotDir() + L"\\desk-not-live-" + std::to_wstring(j) + L".bmp");
      }
      EXPECT_EQ(0, CountDifferences(before[i], Grab(monitors[i]))) << "the frozen monitor " << i << " moved";
      patterns[j]->Repaint(j == 0 ? 0u : 0x00A05030u);
    }
    PressEsc();
  }
}

TEST_F(DeskTest, CtrlSSavesTheMonitorOfThePresentationWithItsExactSizeAndPixels) {
  const std::wstring dir = TempDir(L"desk-save");
  for (size_t i = 0; i < monitors.size(); ++i) {
    const ScreenImage before = Grab(monitors[i]);
    EnterOn(i);
    const std::wstring name = dir + L"\\monitor" + std::to_wstring(i) + L".bmp";
    ::DeleteFileW(name.c_str());
    DialogUser user({{Act::EnterFileName, name}, {Act::Ok, L""}});
    short ctrlS = 19;
    App().overlay.Picture1_KeyPress(ctrlS);
    user.Join();
    EXPECT_FALSE(user.timedOut);
    const base::Picture saved = imaging::LoadPictureFile(name);
    ASSERT_NE(nullptr, saved) << "monitor " << i;
    EXPECT_EQ(Width(monitors[i]), saved->WidthPixels());
    EXPECT_EQ(Height(monitors[i]), saved->HeightPixels());
    EXPECT_EQ(0, CountDifferences(before, PictureImage(saved))) << "monitor " << i;
    PressEsc();
  }
}

TEST_F(DeskTest, EachToolActsUnderTheTipItsCursorShowsAndTheEraserBringsBackThatMonitor) {
  ss& o = App().overlay;
  for (size_t i = 0; i < monitors.size(); ++i) {
    const ScreenImage before = Grab(monitors[i]);
    EnterOn(i);
    // A point on the first (white) bar of this monitor's pattern; the tip lies on it too.
    const POINT at{monitors[i].left + 120, monitors[i].top + 200};
    App().AppSettings.brushwidth = 1;
    for (bool pen : {false, true}) {
      if (o.PenMode() != pen) o.TogglePen();
      MouseMoveTo(at.x, at.y);
      PumpUntil([&] { return CursorShown() == o.CurrentCursorImage(); });
      const CursorLook look = LookAtCursor(CursorShown());
      const POINT tip = look.TipAt(at.x, at.y);
      const ScreenImage was = CaptureScreenRect(tip.x - 40, tip.y - 40, 80, 80);
      MouseButton(1, true);
      MouseButton(1, false);
      PumpUntil([&] { return CountDifferences(was, CaptureScreenRect(tip.x - 40, tip.y - 40, 80, 80)) > 0; });
      const ScreenImage now = CaptureScreenRect(tip.x - 40, tip.y - 40, 80, 80);
      // One pixel changed, exactly under the tip.
      EXPECT_EQ(1, CountDifferences(was, now)) << (pen ? "pen" : "highlighter") << " on monitor " << i;
      EXPECT_NE(was.At(tip.x, tip.y), now.At(tip.x, tip.y))
          << (pen ? "pen" : "highlighter") << " did not draw under its tip on monitor " << i << " (cursor of "
          << look.size << " px)";
    }
    // A broad stroke, then the 32 eraser over it: the frozen picture comes back in exactly the
    // square its cursor outlines.
    App().AppSettings.brushwidth = 20;
    Drag(at.x, at.y + 60, at.x + 400, at.y + 60, 10);
    if (!o.EraserOn()) o.ToggleEraser();
    MouseMoveTo(at.x + 150, at.y + 60);
    PumpUntil([&] { return CursorShown() == o.CurrentCursorImage(); });
    const CursorLook eraser = LookAtCursor(CursorShown());
    const ScreenImage stroked = Grab(monitors[i]);
    MouseButton(1, true);
    MouseButton(1, false);
    PumpUntil([&] { return CountDifferences(stroked, Grab(monitors[i])) > 0; });
    const ScreenImage erased = Grab(monitors[i]);
    const RECT square{at.x + 150 + eraser.painted.left - eraser.hot.x, at.y + 60 + eraser.painted.top - eraser.hot.y,
                      at.x + 150 + eraser.painted.right - eraser.hot.x + 1,
                      at.y + 60 + eraser.painted.bottom - eraser.hot.y + 1};
    long wrong = 0;
    for (int y = square.top - 20; y < square.bottom + 20; ++y) {
      for (int x = square.left - 20; x < square.right + 20; ++x) {
        const bool inside = x >= square.left && x < square.right && y >= square.top && y < square.bottom;
        const uint32_t expected = inside ? before.At(x, y) : stroked.At(x, y);
        if (erased.At(x, y) != expected) ++wrong;
      }
    }
    EXPECT_EQ(0, wrong) << "monitor " << i << ", eraser cursor of " << eraser.size << " px";
    o.ToggleEraser();
    PressEsc();
  }
}

TEST_F(DeskTest, TheMagnifierMagnifiesWhatIsUnderThePointerOnEveryMonitorAndStopsAtItsEdges) {
  magWin& mag = App().magnifier;
  App().magnifier.zoomFactor = 3;
  mag.ShowWindowModeless();
  ASSERT_TRUE(mag.IsShowing());
  for (size_t i = 0; i < monitors.size(); ++i) {
    const RECT& m = monitors[i];
    // Near the monitor's left edge: the copied area stops at that edge, not at another monitor's.
    const POINT at{m.left + 10, m.top + Height(m) / 2};
    MouseMoveTo(at.x, at.y);
    PumpUntil([&] {
      POINT p{};
      ::GetCursorPos(&p);
      return p.x == at.x && p.y == at.y;
    });
    // The magnifier sits on the primary monitor; keep the sampled area clear of it.
    mag.Timer1_Timer();
    ::GdiFlush();
    // What shows of the view: the part of it inside the window's client area.
    RECT client{};
    ::GetClientRect(mag.Hwnd(), &client);
    ::MapWindowPoints(mag.Hwnd(), mag.Picture1.Hwnd(), reinterpret_cast<POINT*>(&client), 2);
    const int shownWidth = std::min<int>(client.right, App().magnifier.grabWidth * App().magnifier.zoomFactor);
    const int shownHeight = std::min<int>(client.bottom, App().magnifier.grabHeight * App().magnifier.zoomFactor);
    const ScreenImage view = CaptureDc(mag.Picture1.OwnDc(), 0, 0, shownWidth, shownHeight);
    const int top = at.y - base::RoundHalfEven(App().magnifier.grabHeight / 2.0);
    long wrong = 0;
    for (int vy = 0; vy < view.height; vy += 7) {
      for (int vx = 0; vx < view.width; vx += 7) {
        const int sx = m.left + vx / App().magnifier.zoomFactor, sy = top + vy / App().magnifier.zoomFactor;
        const uint32_t expected = (PatternWindow::PatternColor(sx - m.left, sy - m.top) ^ (i == 0 ? 0u : 0x00A05030u));
        if (view.At(vx, vy) != expected) ++wrong;
      }
    }
    EXPECT_EQ(0, wrong) << "monitor " << i;
    if (wrong) SaveImageBmp(view, ScreenshotDir() + L"\\desk-magnifier-" + std::to_wstring(i) + L".bmp");
  }
}

}  // namespace
