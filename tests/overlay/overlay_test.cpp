#include <gtest/gtest.h>

#include "overlay/ss.h"
#include "settings/app_settings.h"
#include "overlay_steps.h"
#include "support/test_app.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

class OverlayTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (App().overlay.IsLoaded()) App().overlay.Unload();
    Pump(100);
  }
};

TEST_F(OverlayTest, ShowsTheScreenAsItWasPixelForPixel) {
  PatternWindow pattern;
  ScreenImage before = CaptureScreen();
  EnterPresentationMode();
  ScreenImage during = CaptureScreen();
  SaveImageBmp(during, ScreenshotDir() + L"\\overlay-entered.bmp");
  EXPECT_EQ(0, CountDifferences(before, during));
  // It is the overlay that shows it, not the pattern behind.
  POINT centre{960, 540};
  EXPECT_EQ(App().overlay.Picture1.Hwnd(), ::WindowFromPoint(centre));
  PressEsc();
}

// Wine's notification-area window takes the keyboard when an icon changes, at any time of a
// presentation; the overlay takes it back, so that its keys keep working.
TEST_F(OverlayTest, TakesTheKeyboardBackFromTheNotificationAreaLongAfterEntry) {
  EnterPresentationMode();
  ASSERT_TRUE(OverlayInFront());
  // Past the first half second, in which the overlay claims the keyboard from whatever has it.
  Pump(1000);
  HWND tray = ShowPopupWindow(L"__winex11_standalone_tray", L"", &::DefWindowProcW, RECT{1700, 1000, 1900, 1060}, 0);
  ASSERT_NE(nullptr, tray);
  ::SetForegroundWindow(tray);
  EXPECT_TRUE(PumpUntil([] { return OverlayInFront(); }, 5000)) << "the notification area kept the keyboard";
  ::DestroyWindow(tray);
  PressEsc();
}

TEST_F(OverlayTest, IsBorderlessWithoutTaskbarButtonCoversTheScreenAndFocusesTheSurface) {
  EnterPresentationMode();
  ss& o = App().overlay;
  HWND w = o.Hwnd();
  ASSERT_NE(nullptr, w);
  LONG style = ::GetWindowLongW(w, GWL_STYLE);
  LONG exStyle = ::GetWindowLongW(w, GWL_EXSTYLE);
  EXPECT_FALSE(style & WS_CAPTION);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_BORDER);
  EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
  EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
  EXPECT_TRUE(::IsZoomed(w));
  RECT rc;
  ::GetWindowRect(w, &rc);
  EXPECT_EQ(0, rc.left);
  EXPECT_EQ(0, rc.top);
  EXPECT_EQ(::GetSystemMetrics(SM_CXSCREEN), rc.right);
  EXPECT_EQ(::GetSystemMetrics(SM_CYSCREEN), rc.bottom);
  ::GetWindowRect(o.Picture1.Hwnd(), &rc);
  EXPECT_EQ(0, rc.left);
  EXPECT_EQ(0, rc.top);
  EXPECT_EQ(::GetSystemMetrics(SM_CXSCREEN), rc.right);
  EXPECT_EQ(::GetSystemMetrics(SM_CYSCREEN), rc.bottom);
  EXPECT_EQ(o.Picture1.Hwnd(), ::GetFocus());
  wchar_t caption[64];
  ::GetWindowTextW(w, caption, 64);
  EXPECT_STREQ(L"Capture and Print Example", caption);
  // The hidden buttons exist and stay hidden.
  HWND print = ::FindWindowExW(w, nullptr, L"BUTTON", L"Print Picture");
  ASSERT_NE(nullptr, print);
  EXPECT_FALSE(::IsWindowVisible(print));
  EXPECT_FALSE(::IsWindowVisible(o.Picture2.Hwnd()));
  EXPECT_FALSE(::IsWindowVisible(o.Picture3.Hwnd()));
  PressEsc();
  EXPECT_FALSE(o.IsLoaded());
}

TEST_F(OverlayTest, ASecondEntryMakesAGrabOfTheOverlayTheNewBackgroundAndCleanCopy) {
  PatternWindow pattern;
  EnterPresentationMode();
  ss& o = App().overlay;
  base::Picture first = o.Picture1.GetPicture();
  // Something drawn on the overlay, that the first grab does not have.
  o.Picture1.SetDrawMode(R2_COPYPEN);
  o.Picture1.PSet(500, 500, RGB(1, 2, 3), 20);
  Pump(100);
  ASSERT_EQ(0x010203u, CaptureScreenRect(500, 500, 1, 1).At(500, 500));
  EXPECT_NE(0x010203u, CaptureDc(first->Dc(), 500, 500, 1, 1).At(500, 500));

  EnterPresentationMode();
  base::Picture second = o.Picture1.GetPicture();
  ASSERT_NE(first, second);
  EXPECT_EQ(second, o.Picture2.GetPicture()) << "one picture object, two holders";
  EXPECT_EQ(0x010203u, CaptureDc(second->Dc(), 500, 500, 1, 1).At(500, 500));
  PressEsc();
}

TEST_F(OverlayTest, AfterEscANewEntryStartsInHighlighterModeAndFormCountIgnoresCase) {
  EnterPresentationMode();
  ss& o = App().overlay;
  o.TogglePen();
  EXPECT_TRUE(o.PenMode());
  EXPECT_EQ(1, o.FormCount(L"ss"));
  EXPECT_EQ(1, o.FormCount(L"SS"));
  EXPECT_EQ(0, o.FormCount(L"magWin"));
  PressEsc();
  EXPECT_EQ(0, o.FormCount(L"ss"));
  EnterPresentationMode();
  EXPECT_FALSE(o.PenMode());
  EXPECT_FALSE(o.EraserOn());
  EXPECT_EQ(R2_MASKPEN, o.Picture1.DrawMode());
  EXPECT_EQ(overlay::CursorKind::Highlighter, o.CurrentCursor());
  PressEsc();
}

TEST_F(OverlayTest, FiftyEntriesLeaveNoGdiHandleOrBitmapBehind) {
  EnterPresentationMode();
  PressEsc();
  const int slotsAfterFirst = FreeGdiSlots();
  const size_t memoryAfterFirst = WorkingSetBytes();
  for (int i = 0; i < 50; ++i) {
    App().overlay.cmdScreen_Click();
    App().overlay.ShowOverlay();
    // Draw a little so that the off-screen surface is made too.
    App().overlay.Picture1.PSet(10 + i, 10, RGB(255, 0, 0), 10);
    Pump(20);
    PressEsc();
  }
  const int slotsAfter = FreeGdiSlots();
  const size_t memoryAfter = WorkingSetBytes();
  EXPECT_GE(slotsAfter, slotsAfterFirst - 2) << "free GDI slots after the first cycle " << slotsAfterFirst;
  EXPECT_LT(static_cast<long long>(memoryAfter) - static_cast<long long>(memoryAfterFirst), 12ll << 20)
      << "working set grew from " << memoryAfterFirst << " to " << memoryAfter;
}

}  // namespace
