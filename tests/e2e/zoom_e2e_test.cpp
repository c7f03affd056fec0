// The wheel's zoom with the real scrivane.exe over a known pattern: every notch's view compared
// pixel for pixel with the pattern stretched as the presenter should see it, the view following
// the pointer to the picture's edge, Ctrl+C taking the view, and the way back to x1.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "e2e/driver.h"
#include "support/test_support.h"

using namespace e2e;
using namespace testing_support;

namespace {

class ZoomE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FreshSettings());
    // The pointer away from the notification area: resting on the icon brings up its tip.
    MovePointer({1000, 800});
    pattern = std::make_unique<PatternWindow>();
    ASSERT_TRUE(StartUntilHandOff(app));
    ASSERT_TRUE(WaitUntil(
        [&] { return app.Windows(true).empty() && CountTrayIcons() == 1 && CentreShowsThePattern(); }, 10000));
    // Wine's own tray window comes and goes in its own time, in the grab or not: the overlay is
    // checked against the desktop without it, and the views against the overlay's own picture.
    const ScreenImage before = WithoutTrayWindow(SettledScreen());
    overlay = EnterPresentation(app);
    ASSERT_NE(nullptr, overlay);
    ASSERT_TRUE(WaitUntil([&] { return CountDifferences(before, WithoutTrayWindow(CaptureScreen())) == 0; }, 5000));
    desktop = SettledScreen();
  }
  void TearDown() override {
    MouseButton(1, false);
    app.Stop();
    DeleteScrivaneKeys();
    pattern.reset();
  }

  // The screen as it should be with the pointer at p, `notches` in.
  ScreenImage View(POINT p, int notches) const {
    return Stretched(desktop, ZoomedPart(p, notches, desktop.width, desktop.height));
  }
  // One notch, sent once the overlay answers, and the view it should bring, waited for.
  long Notch(int direction, POINT p, int notchesAfter) {
    if (!WaitUntilReadyForInput(overlay, 5000)) return -1;
    MouseWheel(direction * WHEEL_DELTA);
    return ScreenDifferencesOnceNone(notchesAfter == 0 ? desktop : View(p, notchesAfter), 5000);
  }

  App app;
  std::unique_ptr<PatternWindow> pattern;
  ScreenImage desktop;
  HWND overlay = nullptr;
};

TEST_F(ZoomE2e, FourNotchesMagnifyThePatternAroundThePointerAndFourBackShowItPixelForPixel) {
  const POINT p{700, 400};
  MovePointer(p);
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(0, Notch(1, p, n)) << "after notch " << n << " up";
  // The pointer's own pixel of the pattern is still under it, 1.25^4 times as big.
  const POINT under = PixelShownAt(p, ZoomedPart(p, 4, desktop.width, desktop.height), desktop.width, desktop.height);
  EXPECT_LE(std::abs(under.x - p.x) + std::abs(under.y - p.y), 2);

  // Ctrl+C copies what the screen shows.
  ::OpenClipboard(nullptr);
  ::EmptyClipboard();
  ::CloseClipboard();
  TypeChord({VK_CONTROL, 'C'});
  ASSERT_TRUE(WaitUntil([] { return ::IsClipboardFormatAvailable(CF_DIB) != 0; }, 5000));
  EXPECT_EQ(0, CountDifferences(View(p, 4), ClipboardPicture()));

  for (int n = 3; n >= 0; --n) EXPECT_EQ(0, Notch(-1, p, n)) << "after notch " << n << " down";
  ASSERT_TRUE(LeavePresentation(app));
  EXPECT_TRUE(WaitUntil(
      [&] { return CountDifferences(WithoutTrayWindow(desktop), WithoutTrayWindow(CaptureScreen())) == 0; }, 5000));
}

TEST_F(ZoomE2e, AtAboutFourTheViewFollowsThePointerToThePicturesEdgesAndZeroReturnsToOne) {
  const POINT middle{960, 540};
  MovePointer(middle);
  for (int n = 1; n <= 6; ++n) ASSERT_EQ(0, Notch(1, middle, n)) << "notch " << n;
  // The pointer at the screen's right edge: the picture's right edge is in view.
  const POINT right{desktop.width - 1, 540};
  MovePointer(right);
  EXPECT_EQ(desktop.width, ZoomedPart(right, 6, desktop.width, desktop.height).right);
  EXPECT_EQ(0, ScreenDifferencesOnceNone(View(right, 6), 5000));
  const POINT corner{0, desktop.height - 1};
  MovePointer(corner);
  EXPECT_EQ(0, ScreenDifferencesOnceNone(View(corner, 6), 5000)) << "the bottom left corner";
  // 0: x1 at once.
  TypeText(L"0");
  EXPECT_EQ(0, ScreenDifferencesOnceNone(desktop, 5000));
}

}  // namespace
