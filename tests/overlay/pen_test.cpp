// The pen, the highlighter and the eraser driven by real mouse input on the overlay.
#include <gtest/gtest.h>

#include <cstdlib>

#include "overlay/links.h"
#include "overlay/ss.h"
#include "settings/app_settings.h"
#include "support/cursor_look.h"
#include "overlay_steps.h"
#include "support/test_app.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

// Stands in for the program's commands: records that the tray menu was asked for, and runs the
// keys' commands as the program does.
class RecordingCommands : public overlay::CommandDispatcher {
 public:
  int popups = 0;
  bool RunKey(short keyAscii) override { return App().commands.RunKey(keyAscii); }
  void RunWheel(int direction) override { App().commands.RunWheel(direction); }
  void Run(overlay::CommandId id) override {
    if (id == overlay::CommandId::Menu) {
      ++popups;
      return;
    }
    App().commands.Run(id);
  }
};

constexpr COLORREF kRed = RGB(255, 0, 0);

class PenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App().overlay.SetCommandDispatcher(&mainForm);
    ChoosePen(kRed, 10, 16);
    pattern = std::make_unique<PatternWindow>();
    App().overlay.cmdScreen_Click();
    App().overlay.ShowOverlay();
    Pump(300);
    clean = CaptureScreen();
  }
  void TearDown() override {
    // Esc: turns the eraser off and closes the window.
    short esc = 27;
    App().overlay.Picture1_KeyPress(esc);
    if (App().overlay.IsLoaded()) App().overlay.Unload();
    Pump(100);
    pattern.reset();
    App().overlay.SetCommandDispatcher(&App().commands);
  }
  void Click(int x, int y, int button = 1) {
    MouseMoveTo(x, y);
    Pump(20);
    MouseButton(button, true);
    Pump(20);
    MouseButton(button, false);
    Pump(20);
  }

  RecordingCommands mainForm;
  std::unique_ptr<PatternWindow> pattern;
  ScreenImage clean;
};

uint32_t MaskOf(uint32_t pen, uint32_t beneath) { return pen & beneath; }

TEST_F(PenTest, HighlighterMasksThePictureAlongOneConnectedStroke) {
  // The stroke runs under the tip of the highlighter the cursor shows (at 96 dpi the pointer's
  // position moved by (-9, +11)).
  MouseMoveTo(100, 300);
  Pump(50);
  const CursorLook look = LookAtCursor(CursorShown());
  ASSERT_GT(look.size, 0);
  const POINT start = look.TipAt(100, 300), end = look.TipAt(650, 300);
  // Across white, black and mid-grey bars.
  Drag(100, 300, 650, 300, 25);
  ScreenImage after = CaptureScreen();
  SaveImageBmp(after, ScreenshotDir() + L"\\highlighter-stroke.bmp");
  const uint32_t pen = Rgb(kRed);
  // Every pixel that changed holds pen AND the pixel beneath, within the stroke's width.
  long changed = 0;
  for (int y = 0; y < after.height; ++y) {
    for (int x = 0; x < after.width; ++x) {
      uint32_t was = clean.At(x, y), now = after.At(x, y);
      if (was == now) continue;
      ++changed;
      ASSERT_EQ(MaskOf(pen, was), now) << "at " << x << "," << y;
      ASSERT_LE(std::abs(y - start.y), 6) << "changed outside the stroke at " << x << "," << y;
      ASSERT_GE(x, start.x - 6);
      ASSERT_LE(x, end.x + 6);
    }
  }
  EXPECT_GT(changed, 3000);  // white and grey bars; black stays black
  // Connected from press to release: every pixel of the centre line is masked.
  for (int x = start.x; x <= end.x; ++x) {
    ASSERT_EQ(MaskOf(pen, clean.At(x, start.y)), after.At(x, start.y)) << "gap at x=" << x;
  }
  // Dark writing stays readable: black stays black under the highlighter.
  EXPECT_EQ(0x000000u, after.At(300, start.y));
  EXPECT_EQ(0xFF0000u, after.At(150, start.y));
  EXPECT_EQ(0x800000u, after.At(600, start.y));
}

TEST_F(PenTest, PenPaintsThePenColourUnderItsTipOnePixelLeftAndTwoHigherThanTheHighlighter) {
  MouseMoveTo(100, 300);
  Pump(50);
  const POINT highlighterTip = LookAtCursor(CursorShown()).TipAt(100, 300);
  App().overlay.TogglePen();
  EXPECT_EQ(R2_COPYPEN, App().overlay.Picture1.DrawMode());
  Pump(50);
  const CursorLook look = LookAtCursor(CursorShown());
  const POINT start = look.TipAt(100, 300), end = look.TipAt(650, 300);
  if (look.size == 32) {
    // The two cursors as they have always been at 96 dpi.
    EXPECT_EQ(highlighterTip.x - 1, start.x);
    EXPECT_EQ(highlighterTip.y - 2, start.y);
  }
  App().AppSettings.brushwidth = 1;
  Drag(100, 300, 650, 300, 25);
  ScreenImage after = CaptureScreen();
  const uint32_t pen = Rgb(kRed);
  // Width 1: exactly the line under the tip from press to release, nothing else.
  for (int x = start.x; x <= end.x; ++x) ASSERT_EQ(pen, after.At(x, start.y)) << "x=" << x;
  long changed = 0;
  for (int y = 280; y < 360; ++y)
    for (int x = 0; x < 760; ++x)
      if (after.At(x, y) != clean.At(x, y)) {
        ++changed;
        ASSERT_EQ(start.y, y) << "x=" << x;
      }
  EXPECT_GT(changed, 300);  // the red-bar pixels under the line do not count as changed
}

TEST_F(PenTest, EraserRestoresExactlyItsSquareOfTheCleanCopy) {
  ss& o = App().overlay;
  o.TogglePen();
  const uint32_t ink = 0x123456 ^ 0x00FFFFFF;
  for (int16_t size : {16, 32, 24, 8}) {
    // Cover the neighbourhood with ink, then erase with one press at (100, 100).
    o.Picture1.PSet(100, 100, RGB(0xED, 0xCB, 0xA9), 160);
    Pump(50);
    ASSERT_EQ(ink, CaptureScreenRect(100, 100, 1, 1).At(100, 100));
    App().AppSettings.erasersize = size;
    if (!o.EraserOn()) o.ToggleEraser();
    MouseMoveTo(100, 100);
    Pump(50);
    // The square the eraser's cursor outlines; sizes 24 and 32 clear exactly it around the
    // pointer, sizes 8 and 16 a square of its side from the pointer on (at 96 dpi: 16 clears
    // (100,100)-(115,115), 32 (84,84)-(115,115), 24 (92,92)-(115,115), 8 (100,100)-(107,107)).
    const CursorLook look = LookAtCursor(CursorShown());
    const RECT outline = look.painted;
    const int side = outline.right - outline.left + 1;
    struct {
      int left, top, right, bottom;
    } c{100, 100, 100 + side - 1, 100 + side - 1};
    if (size == 24 || size == 32) {
      c = {100 + outline.left - look.hot.x, 100 + outline.top - look.hot.y, 100 + outline.right - look.hot.x,
           100 + outline.bottom - look.hot.y};
    }
    if (look.size == 32) {
      EXPECT_EQ(size, side);
    }
    Click(100, 100);
    // Within the ink's round dot: (50, 50)-(150, 150).
    ScreenImage after = CaptureScreenRect(50, 50, 100, 100);
    for (int y = 50; y < 150; ++y) {
      for (int x = 50; x < 150; ++x) {
        bool inside = x >= c.left && x <= c.right && y >= c.top && y <= c.bottom;
        if (inside) {
          ASSERT_EQ(clean.At(x, y), after.At(x, y)) << "size " << size << " at " << x << "," << y;
        } else {
          ASSERT_EQ(ink, after.At(x, y)) << "size " << size << " erased outside at " << x << "," << y;
        }
      }
    }
    o.ToggleEraser();
  }
}

TEST_F(PenTest, OtherButtonsCallTheMenuAndNeitherDrawNorErase) {
  ss& o = App().overlay;
  // A right press pops up the menu and draws nothing.
  Click(400, 700, 2);
  EXPECT_EQ(1, mainForm.popups);
  EXPECT_EQ(0, CountDifferences(clean, CaptureScreen()));

  // Left and right held together: the press of the left draws its dot, the moves draw nothing.
  MouseMoveTo(1300, 200);
  Pump(20);
  MouseButton(1, true);
  Pump(20);
  MouseButton(2, true);
  Pump(20);
  ScreenImage afterDot = CaptureScreen();
  for (int i = 1; i <= 10; ++i) {
    MouseMoveTo(1300 + 30 * i, 200);
    Pump(10);
  }
  MouseButton(2, false);
  MouseButton(1, false);
  Pump(20);
  EXPECT_EQ(2, mainForm.popups);
  EXPECT_EQ(0, CountDifferences(afterDot, CaptureScreen()));

  // With the eraser on, a right press erases nothing.
  o.TogglePen();
  o.Picture1.PSet(800, 800, RGB(0, 0, 0), 60);
  Pump(50);
  ScreenImage inked = CaptureScreen();
  o.ToggleEraser();
  Click(800, 800, 2);
  EXPECT_EQ(3, mainForm.popups);
  EXPECT_EQ(0, CountDifferences(inked, CaptureScreen()));
}

TEST_F(PenTest, StrokesSurviveAWindowPassingOverThem) {
  Drag(300, 800, 1500, 800, 30);
  ScreenImage drawn = CaptureScreen();
  ASSERT_GT(CountDifferences(clean, drawn), 1000);
  // A window covers part of the stroke and goes away again.
  WNDCLASSW wc{};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = L"PenTestCover";
  ::RegisterClassW(&wc);
  // Owned by the overlay, as a dialog opened over it is.
  HWND cover = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"PenTestCover", L"cover", WS_POPUP, 500, 700,
                                 600, 250, App().overlay.Hwnd(), nullptr, wc.hInstance, nullptr);
  ASSERT_NE(nullptr, cover);
  ::SetWindowPos(cover, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  ::UpdateWindow(cover);
  Pump(300);
  SaveImageBmp(CaptureScreen(), ScreenshotDir() + L"\\covered.bmp");
  ASSERT_NE(0, CountDifferences(drawn, CaptureScreen()));
  ::DestroyWindow(cover);
  Pump(300);
  EXPECT_EQ(0, CountDifferences(drawn, CaptureScreen()));
}

// Rows of changed pixels in one column: the stroke's thickness there.
int Thickness(const ScreenImage& before, const ScreenImage& after, int x) {
  int rows = 0;
  for (int y = 0; y < after.height; ++y) rows += before.At(x, y) != after.At(x, y);
  return rows;
}

TEST_F(PenTest, AWidthChangedDuringADragAppliesToTheNextSegment) {
  App().overlay.TogglePen();  // copy pen: every covered pixel changes on the white bar
  App().AppSettings.brushwidth = 5;
  MouseMoveTo(20, 400);
  Pump(20);
  MouseButton(1, true);
  Pump(20);
  MouseMoveTo(120, 400);
  Pump(20);
  App().AppSettings.brushwidth = 20;
  MouseMoveTo(220, 400);
  Pump(20);
  MouseButton(1, false);
  Pump(20);
  ScreenImage after = CaptureScreen();
  // Columns well inside each segment (the pen acts 10 px left of the pointer).
  EXPECT_EQ(5, Thickness(clean, after, 60));
  EXPECT_EQ(20, Thickness(clean, after, 170));
}

}  // namespace
