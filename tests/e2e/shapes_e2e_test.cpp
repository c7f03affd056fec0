// Shapes with the real scrivane.exe over a slide: a yellow highlighter box around a chart, a red
// arrow at a number, a blue underline and a green ellipse, each drawn with its keys held, then
// Ctrl+Z and Esc. The screenshot it leaves is the manual's picture of shapes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "support/cursor_look.h"
#include "support/test_support.h"
#include "support/xwatch_client.h"

using namespace e2e;
using namespace testing_support;

namespace {

// A slide with a bar chart: a title, four bars with their figures, and a few lines of text.
void PaintChart(HDC dc) {
  const int heights[] = {300, 360, 330, 480};
  const wchar_t* figures[] = {L"12.4", L"14.1", L"13.2", L"18.9"};
  const wchar_t* quarters[] = {L"Q1", L"Q2", L"Q3", L"Q4"};
  HBRUSH bar = ::CreateSolidBrush(RGB(70, 110, 170));
  for (int i = 0; i < 4; ++i) {
    const int left = 300 + i * 170;
    RECT r{left, 860 - heights[i], left + 110, 860};
    ::FillRect(dc, &r, bar);
    ::TextOutW(dc, left + 15, 860 - heights[i] - 50, figures[i], 4);
    ::TextOutW(dc, left + 30, 875, quarters[i], 2);
  }
  RECT axis{270, 860, 1000, 864};
  ::FillRect(dc, &axis, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  const wchar_t* lines[] = {L"Revenue up 12 %", L"Costs held flat", L"Three new markets"};
  for (int i = 0; i < 3; ++i) ::TextOutW(dc, 1150, 520 + i * 110, lines[i], static_cast<int>(wcslen(lines[i])));
  ::DeleteObject(bar);
}

class ShapesE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(watch.Ready()) << "no screen watcher in this environment: it presses the keys of the shapes";
    ASSERT_TRUE(FreshSettings());
    slide = std::make_unique<SlideWindow>(90, &PaintChart);
    ASSERT_TRUE(WaitUntil([&] { return CaptureScreenRect(5, 5, 1, 1).pixels.at(0) == 0xFFFFFF; }, 5000));
    ASSERT_TRUE(StartUntilHandOff(app));
  }
  void TearDown() override {
    MouseButton(1, false);
    for (WORD k : {VK_SHIFT, VK_CONTROL, VK_TAB}) {
      if (watch.Ready()) watch.Key(XKeyName(k), false);
      KeyUp(k);
    }
    app.Stop();
    DeleteScrivaneKeys();
    slide.reset();
  }

  // The screen once two reads a moment apart agree: the program draws in its own process.
  static ScreenImage Steady() {
    ScreenImage last = CaptureScreen(), now;
    WaitUntil(
        [&] {
          Pump(30);
          now = CaptureScreen();
          const bool same = CountDifferences(last, now) == 0;
          last = now;
          return same;
        },
        5000);
    return now;
  }
  // Types a key command and waits until the program has written the settings it changes.
  static void Command(wchar_t key, const char* value, const std::string& want) {
    TypeText(std::wstring(1, key));
    ASSERT_TRUE(WaitUntil([&] { return ReadRegString(HKEY_LOCAL_MACHINE, kSettingsKey, value) == want; }, 3000)) << value;
  }
  // Where the tool acts for a pointer at p: the tip of its cursor, at 96 dpi 9 pixels left of and
  // 11 below the pointer for the highlighter, 10 left and 9 below for the pen. (Another process's
  // cursor cannot be read here.)
  static POINT HighlighterAt(POINT p) { return {p.x - 9, p.y + 11}; }
  static POINT PenAt(POINT p) { return {p.x - 10, p.y + 9}; }

  // A drag with `keys` held from `press` through `path`; the screen before and after.
  void ShapeDrag(const std::vector<WORD>& keys, POINT press, const std::vector<POINT>& path) {
    auto held = [&](bool down) {
      for (WORD k : keys)
        if ((::GetAsyncKeyState(k) < 0) != down) return false;
      return true;
    };
    before = Steady();
    // Under Wine a program takes Shift and Ctrl as the X server has them whenever the pointer
    // moves over it, and the X server knows nothing of keys pressed with SendInput: on a busy
    // machine the X server's word could come in between the keys and the press, which then
    // started a freehand stroke. So the keys go down in the X server too (the screen watcher
    // presses them there), and the program hears the same from both sides. Through SendInput as
    // well: a key the X server delivers to a window that is not Wine's never reaches Wine.
    HWND overlay = app.Find(kOverlay);
    ASSERT_NE(nullptr, overlay);
    MovePointer(press);
    ASSERT_TRUE(WaitUntilReadyForInput(overlay, 10000));
    ASSERT_TRUE(WaitUntil([&] { return held(false); }, 10000));
    for (WORD k : keys) {
      ASSERT_TRUE(watch.Key(XKeyName(k), true)) << watch.LastAck();
      KeyDown(k);
    }
    ASSERT_TRUE(WaitUntil([&] { return held(true); }, 10000)) << "the keys did not reach the program";
    ASSERT_TRUE(WaitUntilReadyForInput(overlay, 10000));
    MouseButton(1, true);
    for (const POINT& p : path) {
      MovePointer(p);
      Pump(10);
    }
    MouseButton(1, false);
    for (WORD k : keys) {
      KeyUp(k);
      ASSERT_TRUE(watch.Key(XKeyName(k), false)) << watch.LastAck();
    }
    after = Steady();
  }
  bool Changed(POINT p) const { return before.At(p.x, p.y) != after.At(p.x, p.y); }
  // Every changed pixel holds `ink` (the pen) or `ink` AND the pixel beneath (the highlighter).
  long WrongInk(uint32_t ink, bool mask) const {
    long wrong = 0;
    for (size_t i = 0; i < after.pixels.size(); ++i) {
      if (after.pixels[i] == before.pixels[i]) continue;
      if (after.pixels[i] != (mask ? (ink & before.pixels[i]) : ink)) ++wrong;
    }
    return wrong;
  }

  // The X keysym of a key the shapes hold.
  static std::string XKeyName(WORD vk) {
    switch (vk) {
      case VK_CONTROL: return "Control_L";
      case VK_SHIFT: return "Shift_L";
      default: return "Tab";
    }
  }

  XWatch watch;
  std::unique_ptr<SlideWindow> slide;
  App app;
  ScreenImage before, after;
};

TEST_F(ShapesE2e, ABoxAnArrowAnUnderlineAndAnEllipseOverASlideThenUndoAndLeave) {
  // The slide once the splash has gone from the screen and the icon has come to the notification
  // area, with the pointer away from the icon (its tip would come up over the overlay later).
  MovePointer({1000, 800});
  ASSERT_TRUE(WaitUntil([&] { return app.Windows(true).empty() && CountTrayIcons() == 1; }, 10000));
  const ScreenImage desktop = WithoutTrayWindow(Steady());
  TypeChord({VK_CONTROL, VK_SHIFT, 'Z'});
  ASSERT_NE(nullptr, app.WaitFor(kOverlay, 5000));
  ASSERT_TRUE(WaitUntil([&] { return CountDifferences(desktop, WithoutTrayWindow(CaptureScreen())) == 0; }, 5000));

  // The yellow highlighter at 15: Ctrl-drag a box around the chart. A freehand stroke would run
  // along the diagonal; the box leaves its middle alone and the figures in it readable.
  Command(L'y', "color", "65535");
  Command(L'3', "brushwidth", "15");
  ASSERT_NO_FATAL_FAILURE(ShapeDrag({VK_CONTROL}, {250, 320}, {{600, 600}, {1000, 930}}));
  POINT a = HighlighterAt({250, 320}), b = HighlighterAt({1000, 930});
  EXPECT_TRUE(Changed({(a.x + b.x) / 2, a.y})) << "the top side";
  EXPECT_TRUE(Changed({b.x, (a.y + b.y) / 2})) << "the right side";
  EXPECT_FALSE(Changed({(a.x + b.x) / 2, (a.y + b.y) / 2})) << "the middle";
  EXPECT_EQ(0, WrongInk(0xFFFF00, true)) << "yellow AND the slide";

  // The red pen at 5: Ctrl+Shift-drag an arrow at Q4's figure, its head at the pointer.
  Command(L'p', "color", "65535");
  Command(L'r', "color", "255");
  Command(L'1', "brushwidth", "5");
  ASSERT_NO_FATAL_FAILURE(ShapeDrag({VK_CONTROL, VK_SHIFT}, {1300, 250}, {{1200, 300}, {950, 400}}));
  a = PenAt({1300, 250});
  b = PenAt({950, 400});
  // Ten pixels back from the tip the head is ten wide (its base, 20 back, is 20 wide): four pixels
  // beside the shaft's line are inside it, outside a line of width 5.
  for (int side : {-4, 4}) {
    const POINT inHead = BesideArrow(a, b, 10, side);
    EXPECT_EQ(0xFF0000u, after.At(inHead.x, inHead.y)) << "the head at " << inHead.x << "," << inHead.y;
  }
  EXPECT_EQ(0xFF0000u, after.At((a.x + b.x) / 2, (a.y + b.y) / 2)) << "the shaft";
  EXPECT_EQ(0, WrongInk(0xFF0000, false));

  // Blue at 10: Shift-drag an underline; the pointer wanders above it on the way.
  Command(L'b', "color", "16711680");
  Command(L'2', "brushwidth", "10");
  ASSERT_NO_FATAL_FAILURE(ShapeDrag({VK_SHIFT}, {1150, 566}, {{1300, 480}, {1500, 540}, {1480, 566}}));
  a = PenAt({1150, 566});
  b = PenAt({1480, 566});
  EXPECT_EQ(0x0000FFu, after.At((a.x + b.x) / 2, a.y));
  EXPECT_FALSE(Changed(PenAt({1300, 480}))) << "no trace of the way";
  EXPECT_EQ(0, WrongInk(0x0000FF, false));

  // Green at 5: Tab-drag an ellipse around a line of text.
  Command(L'g', "color", "65280");
  Command(L'1', "brushwidth", "5");
  const ScreenImage beforeEllipse = Steady();
  ASSERT_NO_FATAL_FAILURE(ShapeDrag({VK_TAB}, {1120, 596}, {{1300, 650}, {1450, 696}}));
  a = PenAt({1120, 596});
  b = PenAt({1450, 696});
  EXPECT_EQ(0x00FF00u, after.At(a.x, (a.y + b.y) / 2)) << "the left end";
  EXPECT_EQ(0x00FF00u, after.At((a.x + b.x) / 2, b.y)) << "the bottom";
  EXPECT_FALSE(Changed({(a.x + b.x) / 2, (a.y + b.y) / 2})) << "the middle";
  EXPECT_EQ(0, WrongInk(0x00FF00, false));
  SaveImageBmp(after, ScreenshotDir() + L"\\e2e-shapes.bmp");

  // Ctrl+Z: the ellipse goes, exactly. Esc: the desktop is back.
  TypeChord({VK_CONTROL, 'Z'});
  EXPECT_TRUE(WaitUntil([&] { return CountDifferences(beforeEllipse, CaptureScreen()) == 0; }, 5000));
  TapKey(VK_ESCAPE);
  EXPECT_TRUE(WaitUntil([&] { return app.Find(kOverlay) == nullptr; }, 5000));
  EXPECT_TRUE(WaitUntil([&] { return CountDifferences(desktop, WithoutTrayWindow(CaptureScreen())) == 0; }, 5000));
}

// About x4 (six notches of the wheel) a freehand stroke and a Shift-drag line land on the picture
// pixels that the screen showed under the pen's tip, 5 picture pixels wide; the view was the
// picture magnified, and Ctrl+Z takes both back exactly.
TEST_F(ShapesE2e, UnderTheWheelsZoomAStrokeAndALineLandOnThePicturePixelsUnderTheTipAndUndoExactly) {
  MovePointer({1000, 800});
  ASSERT_TRUE(WaitUntil([&] { return app.Windows(true).empty() && CountTrayIcons() == 1; }, 10000));
  const ScreenImage desktop = Steady();
  const int w = desktop.width, h = desktop.height;
  HWND overlay = EnterPresentation(app);
  ASSERT_NE(nullptr, overlay);
  ASSERT_EQ(0, ScreenDifferencesOnceNone(desktop, 5000));
  Command(L'r', "color", "255");
  Command(L'p', "color", "255");
  Command(L'1', "brushwidth", "5");
  constexpr uint32_t kRed = 0xFF0000;

  const POINT middle{960, 540};
  MovePointer(middle);
  for (int n = 1; n <= 6; ++n) {
    ASSERT_TRUE(WaitUntilReadyForInput(overlay, 5000));
    MouseWheel(WHEEL_DELTA);
    ASSERT_EQ(0, ScreenDifferencesOnceNone(Stretched(desktop, ZoomedPart(middle, n, w, h)), 5000)) << n;
  }
  // Where the screen shows a picture pixel while the pointer that set the view was at `pointer`.
  auto onPicture = [&](POINT shown, POINT pointer) { return PixelShownAt(shown, ZoomedPart(pointer, 6, w, h), w, h); };

  // The stroke along a row: each move once the one before it shows.
  const POINT a{700, 450}, b{900, 450};
  MovePointer(a);
  ASSERT_EQ(0, ScreenDifferencesOnceNone(Stretched(desktop, ZoomedPart(a, 6, w, h)), 5000));
  MouseButton(1, true);
  for (int x = a.x; x <= b.x; x += 50) {
    MovePointer({x, a.y});
    const POINT tip = PenAt({x, a.y});
    ASSERT_EQ(kRed, ScreenPixelOnceItIs(tip.x, tip.y, kRed, 5000)) << "the ink under the tip at " << x;
  }
  MouseButton(1, false);
  const POINT strokeFrom = onPicture(PenAt(a), a), strokeTo = onPicture(PenAt(b), a);

  // The line, upright, with Shift.
  const POINT c{1200, 300}, d{1200, 600};
  MovePointer(c);
  Steady();
  ShapeDrag({VK_SHIFT}, c, {{1250, 400}, d});
  const POINT lineFrom = onPicture(PenAt(c), c), lineTo = onPicture(PenAt(d), c);

  // The view with the pointer at rest, then x1.
  MovePointer(middle);
  const ScreenImage zoomed = Steady();
  SaveImageBmp(zoomed, ScreenshotDir() + L"\\e2e-zoomed-view.bmp");
  TypeText(L"0");
  ASSERT_TRUE(WaitUntil([&] { return CountDifferences(zoomed, CaptureScreen()) > 0; }, 5000));
  const ScreenImage picture = Steady();
  SaveImageBmp(picture, ScreenshotDir() + L"\\e2e-zoomed-drawing.bmp");
  EXPECT_EQ(0, CountDifferences(Stretched(picture, ZoomedPart(middle, 6, w, h)), zoomed))
      << "the view was the picture magnified, the ink 5 x 3.8 screen pixels wide";
  EXPECT_EQ(kRed, picture.At(strokeFrom.x, strokeFrom.y));
  EXPECT_EQ(kRed, picture.At(strokeTo.x, strokeTo.y));
  EXPECT_EQ(5, RunThrough(picture, {(strokeFrom.x + strokeTo.x) / 2, strokeFrom.y}, true, kRed));
  EXPECT_EQ(desktop.At(strokeFrom.x - 4, strokeFrom.y), picture.At(strokeFrom.x - 4, strokeFrom.y));
  EXPECT_EQ(desktop.At(strokeTo.x + 4, strokeTo.y), picture.At(strokeTo.x + 4, strokeTo.y));
  EXPECT_EQ(kRed, picture.At(lineFrom.x, lineFrom.y));
  EXPECT_EQ(kRed, picture.At(lineTo.x, lineTo.y));
  EXPECT_EQ(5, RunThrough(picture, {lineFrom.x, (lineFrom.y + lineTo.y) / 2}, false, kRed));
  EXPECT_EQ(desktop.At(lineTo.x, lineTo.y + 4), picture.At(lineTo.x, lineTo.y + 4));

  // Ctrl+Z twice: the desktop, exactly.
  TypeChord({VK_CONTROL, 'Z'});
  ASSERT_TRUE(WaitUntil([&] { return CountDifferences(picture, CaptureScreen()) > 0; }, 5000));
  TypeChord({VK_CONTROL, 'Z'});
  EXPECT_EQ(0, ScreenDifferencesOnceNone(desktop, 5000));
}

}  // namespace
