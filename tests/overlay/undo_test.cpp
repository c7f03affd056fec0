// Undo and redo on the real overlay with real mouse and keys: every state is compared pixel for
// pixel with the screen as it was at that point.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "forms/drawing_surface.h"
#include "overlay/ss.h"
#include "settings/app_settings.h"
#include "overlay_steps.h"
#include "support/test_app.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

class UndoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ChoosePen(RGB(255, 0, 0), 10, 32);
    pattern = std::make_unique<PatternWindow>();
    Pump(100);
    o().History().Forget();
    o().cmdScreen_Click();
    o().ShowOverlay();
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == o().Hwnd() && ::GetFocus() == o().Picture1.Hwnd(); }));
    Pump(100);
    frozen = CaptureScreen();
  }
  void TearDown() override {
    if (o().EraserOn()) o().ToggleEraser();
    if (o().PenMode()) o().TogglePen();
    if (o().IsLoaded()) o().Unload();
    o().History().Forget();
    o().History().Steps().SetLimitBytes(overlay::History::kDefaultLimitBytes);
    o().History().SetSpillFile(nullptr);
    Pump(100);
    pattern.reset();
  }
  static ss& o() { return App().overlay; }
  size_t Undoable() const { return App().overlay.History().Steps().UndoCount(); }
  size_t Redoable() const { return App().overlay.History().Steps().RedoCount(); }

  // A drag with the real mouse through `path`.
  void Draw(std::initializer_list<POINT> path) {
    auto it = path.begin();
    MouseMoveTo(it->x, it->y);
    Pump(10);
    MouseButton(1, true);
    Pump(10);
    for (++it; it != path.end(); ++it) {
      MouseMoveTo(it->x, it->y);
      Pump(5);
    }
    MouseButton(1, false);
  }
  // A stroke, waiting until the overlay has taken it as one step.
  void Stroke(std::initializer_list<POINT> path) {
    const size_t before = o().History().Steps().PushedCount();
    Draw(path);
    ASSERT_TRUE(PumpUntil([&] { return o().History().Steps().PushedCount() == before + 1; }));
  }
  // Ctrl+<letter> with real keys, waiting until the history has moved by `steps`.
  void Chord(WORD letter, long undoableChange) {
    const long want = static_cast<long>(Undoable()) + undoableChange;
    TypeChord({VK_CONTROL, letter});
    ASSERT_TRUE(PumpUntil([&] { return static_cast<long>(Undoable()) == want; })) << "key " << char(letter);
    Pump(30);  // labels repaint through their own paint messages
  }

  std::unique_ptr<PatternWindow> pattern;
  ScreenImage frozen;
};

TEST_F(UndoTest, StrokesAnEraserDragAndCtrlEUndoOneByOneToTheFrozenPictureAndRedoBack) {
  std::vector<ScreenImage> states{frozen};
  Stroke({{200, 300}, {400, 320}, {700, 330}});
  states.push_back(CaptureScreen());
  o().TogglePen();
  Stroke({{300, 200}, {320, 500}, {350, 700}});
  states.push_back(CaptureScreen());
  App().AppSettings.color = RGB(0, 0, 255);
  Stroke({{900, 600}, {1200, 620}, {1500, 900}});
  states.push_back(CaptureScreen());
  TapKey('E');
  ASSERT_TRUE(PumpUntil([&] { return o().EraserOn(); }));
  Stroke({{250, 290}, {330, 320}, {450, 330}});
  states.push_back(CaptureScreen());
  Chord('E', 1);
  states.push_back(CaptureScreen());
  EXPECT_EQ(0, CountDifferences(frozen, states.back())) << "Ctrl+E leaves the frozen picture";
  for (size_t i = 1; i < states.size(); ++i) ASSERT_NE(0, CountDifferences(states[i - 1], states[i])) << i;

  for (int i = 4; i >= 0; --i) {
    Chord('Z', -1);
    ASSERT_EQ(0, CountDifferences(states[i], CaptureScreen())) << "after undo to state " << i;
  }
  EXPECT_EQ(0, CountDifferences(frozen, CaptureScreen()));
  for (int i = 1; i <= 5; ++i) {
    Chord('Y', 1);
    ASSERT_EQ(0, CountDifferences(states[i], CaptureScreen())) << "after redo to state " << i;
  }
}

TEST_F(UndoTest, ANewStrokeAfterUndoDropsTheStepsThatCouldHaveBeenRedone) {
  Stroke({{200, 300}, {700, 300}});
  const ScreenImage one = CaptureScreen();
  Stroke({{200, 500}, {700, 500}});
  Chord('Z', -1);
  EXPECT_EQ(1u, Redoable());
  Stroke({{200, 700}, {700, 700}});
  EXPECT_EQ(0u, Redoable());
  const ScreenImage three = CaptureScreen();
  TypeChord({VK_CONTROL, 'Y'});
  Pump(300);
  EXPECT_EQ(0, CountDifferences(three, CaptureScreen())) << "nothing to redo";
  Chord('Z', -1);
  EXPECT_EQ(0, CountDifferences(one, CaptureScreen()));
}

TEST_F(UndoTest, OneHundredFiftyScreenWideStrokesKeepLittleInMemoryAndAllUndoExactlyFromMemoryAndFile) {
  // Copy pen, a colour of its own per stroke, four passes across the screen in four tile rows:
  // every stroke touches about two megabytes of tiles, over 300 MB in all.
  imaging::SpillFile file(TempDir(L"undo-file") + L"\\undo.tmp");
  o().History().SetSpillFile(&file);
  o().TogglePen();
  App().AppSettings.brushwidth = 5;
  overlay::History& steps = o().History().Steps();
  std::vector<uint64_t> seen{Fingerprint(frozen)};
  for (int i = 0; i < 150; ++i) {
    App().AppSettings.color = static_cast<int32_t>(RGB(i, 255 - i, (i * 37) & 0xFF));
    const int r = i % 4;
    auto y = [&](int row) { return static_cast<LONG>(64 * row + 32 - 9); };  // the pen acts 9 px lower
    Stroke({{30, y(r)}, {1910, y(r)}, {1910, y(r + 4)}, {30, y(r + 4)}, {30, y(r + 8)}, {1910, y(r + 8)},
            {1910, y(r + 12)}, {30, y(r + 12)}});
    seen.push_back(Fingerprint(CaptureScreen()));
  }
  // The idle time packs every step and sends the farthest to the file.
  ASSERT_TRUE(PumpUntil([&] { return !o().History().DoIdleWork(); }, 60000));
  EXPECT_LE(steps.Bytes(), steps.MemoryLimitBytes());
  EXPECT_GT(steps.StoredBytes(), 0u);
  ASSERT_EQ(150u, steps.UndoCount()) << "nothing dropped";
  for (size_t k = 1; k <= 150; ++k) {
    Chord('Z', -1);
    ASSERT_EQ(seen[150 - k], Fingerprint(CaptureScreen())) << "undo " << k;
  }
  EXPECT_EQ(0, CountDifferences(frozen, CaptureScreen()));
  o().History().Forget();
  o().History().SetSpillFile(nullptr);
  EXPECT_EQ(0u, file.UsedBytes());
}

TEST_F(UndoTest, PlacingAndEditingALabelAreStepsAndLoadingBackAPresentationBringsItsLabels) {
  App().AppSettings.textfont = "Arial";
  App().AppSettings.textsize = 20;
  App().AppSettings.textcolor = static_cast<int32_t>(RGB(0, 0, 128));
  auto place = [&](int x, int y, const wchar_t* text) {
    TapKey('T');
    ASSERT_TRUE(PumpUntil([&] { return o().TextMode(); }));
    MouseMoveTo(x, y);
    Pump(10);
    MouseButton(1, true);
    MouseButton(1, false);
    ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == o().txtEdit.Hwnd(); }));
    TypeText(text);
    const size_t before = Undoable();
    TypeChord({VK_CONTROL, 'C'});
    ASSERT_TRUE(PumpUntil([&] { return Undoable() == before + 1; }));
    Pump(100);
  };
  place(400, 400, L"First");
  const ScreenImage oneLabel = CaptureScreen();
  ASSERT_GT(CountDifferences(frozen, oneLabel), 100);
  Stroke({{300, 600}, {900, 600}});
  // Reopen the label and change it.
  place(405, 405, L" more");
  ASSERT_NE(nullptr, o().lblText.Item(2));
  EXPECT_EQ(L"First more", o().lblText.Item(2)->Caption());
  EXPECT_EQ(nullptr, o().lblText.Item(3)) << "edited in place";
  const ScreenImage atEsc = CaptureScreen();

  // Esc, a new presentation on a changed desktop, then undo: the last picture comes back.
  TapKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return !o().IsLoaded(); }));
  pattern.reset();
  Pump(200);
  o().cmdScreen_Click();
  o().ShowOverlay();
  ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == o().Picture1.Hwnd(); }));
  Pump(100);
  const ScreenImage fresh = CaptureScreen();
  ASSERT_GT(CountDifferences(atEsc, fresh), 10000);
  Chord('Z', -1);
  EXPECT_EQ(0, CountDifferences(atEsc, CaptureScreen()));
  SaveImageBmp(CaptureScreen(), ScreenshotDir() + L"\\undo-labels-back.bmp");
  // And on into the earlier presentation: the edit, the stroke, the label itself.
  Chord('Z', -1);
  ASSERT_NE(nullptr, o().lblText.Item(2));
  EXPECT_EQ(L"First", o().lblText.Item(2)->Caption());
  Chord('Z', -1);
  EXPECT_EQ(0, CountDifferences(oneLabel, CaptureScreen()));
  Chord('Z', -1);
  EXPECT_EQ(nullptr, o().lblText.Item(2));
  EXPECT_EQ(0, CountDifferences(frozen, CaptureScreen()));
  for (int i = 0; i < 4; ++i) Chord('Y', 1);
  EXPECT_EQ(0, CountDifferences(fresh, CaptureScreen()));
}

TEST_F(UndoTest, WithTheGdiTableFullTheScreenKeepsItsPictureAndDrawingComesBack) {
  // The window is new: its drawing copy is made on the first stroke. Take every GDI slot first.
  std::vector<HBRUSH> brushes;
  for (HBRUSH b; (b = ::CreateSolidBrush(RGB(1, 2, 3))) != nullptr;) brushes.push_back(b);
  ASSERT_GT(brushes.size(), 1000u);
  {
    forms::DrawingSurface probe;
    ASSERT_FALSE(probe.Create(64, 64)) << "no bitmap can be made now";
  }
  Draw({{600, 800}, {750, 800}, {900, 800}});
  Pump(50);
  // A repaint with the table still full, then look (reading the screen needs handles too).
  ::InvalidateRect(o().Picture1.Hwnd(), nullptr, FALSE);
  ::UpdateWindow(o().Picture1.Hwnd());
  for (HBRUSH b : brushes) ::DeleteObject(b);
  const ScreenImage starved = CaptureScreen();
  // Not black: the picture is still there, away from the stroke.
  long wrong = 0;
  for (int y = 0; y < frozen.height; y += 3)
    for (int x = 0; x < frozen.width; x += 3)
      if (std::abs(y - 800) > 30 && starved.At(x, y) != frozen.At(x, y)) ++wrong;
  EXPECT_EQ(0, wrong);

  // With handles free again a stroke shows in its colour, and after a clear the drawing copy is
  // back: a stroke survives a repaint and undoes.
  o().TogglePen();
  Draw({{600, 300}, {750, 300}, {900, 300}});
  Pump(100);
  EXPECT_EQ(0xFF0000u, CaptureScreenRect(690, 309, 1, 1).At(690, 309));
  TypeChord({VK_CONTROL, 'E'});
  Pump(300);
  Stroke({{600, 500}, {750, 500}, {900, 500}});
  ::InvalidateRect(o().Picture1.Hwnd(), nullptr, FALSE);
  ::UpdateWindow(o().Picture1.Hwnd());
  EXPECT_EQ(0xFF0000u, CaptureScreenRect(690, 509, 1, 1).At(690, 509));
  Chord('Z', -1);
  EXPECT_EQ(frozen.At(690, 509), CaptureScreenRect(690, 509, 1, 1).At(690, 509));
}

}  // namespace
