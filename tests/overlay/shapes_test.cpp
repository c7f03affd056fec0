// Shapes on the real overlay with real keys and mouse: Shift draws a straight line, Ctrl a
// rectangle, Ctrl+Shift an arrow and Tab an ellipse, from where the tool's tip was at the press to
// where it is at the release. Every picture is read from the screen and compared with the outline
// a presenter would measure there.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "overlay/ss.h"
#include "overlay_steps.h"
#include "settings/app_settings.h"
#include "support/cursor_look.h"
#include "support/test_app.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

enum class Shape { Line, Rectangle, Arrow, Ellipse };
constexpr Shape kShapes[] = {Shape::Line, Shape::Rectangle, Shape::Arrow, Shape::Ellipse};

const char* NameOf(Shape s) {
  switch (s) {
    case Shape::Line: return "line";
    case Shape::Rectangle: return "rectangle";
    case Shape::Arrow: return "arrow";
    case Shape::Ellipse: return "ellipse";
  }
  return "?";
}

// The keys a presenter holds for each shape.
std::vector<WORD> KeysFor(Shape s) {
  switch (s) {
    case Shape::Line: return {VK_SHIFT};
    case Shape::Rectangle: return {VK_CONTROL};
    case Shape::Arrow: return {VK_CONTROL, VK_SHIFT};
    case Shape::Ellipse: return {VK_TAB};
  }
  return {};
}

struct Pt {
  double x;
  double y;
};

// The outline of a shape as a presenter measures it on the screen, between the two points where
// the tool acted: the curve the pen's centre follows, and the arrow's head, a filled triangle of
// length max(12, 4 x width) and as wide at its base, its tip at the pointer's end.
class Outline {
 public:
  Outline(Shape shape, POINT a, POINT b, int width) {
    const Pt p{double(a.x), double(a.y)}, q{double(b.x), double(b.y)};
    const double l = std::min(p.x, q.x), r = std::max(p.x, q.x), t = std::min(p.y, q.y), bt = std::max(p.y, q.y);
    switch (shape) {
      case Shape::Line: AddSegment(p, q); break;
      case Shape::Rectangle:
        AddSegment({l, t}, {r, t});
        AddSegment({r, t}, {r, bt});
        AddSegment({r, bt}, {l, bt});
        AddSegment({l, bt}, {l, t});
        break;
      case Shape::Ellipse: {
        const double cx = (l + r) / 2, cy = (t + bt) / 2, rx = (r - l) / 2, ry = (bt - t) / 2;
        const int n = static_cast<int>(4 * 2 * 3.1416 * std::max(rx, ry)) + 8;
        for (int i = 0; i < n; ++i) {
          const double angle = 2 * 3.14159265358979 * i / n;
          curve_.push_back({cx + rx * std::cos(angle), cy + ry * std::sin(angle)});
        }
        break;
      }
      case Shape::Arrow: {
        const double length = std::hypot(q.x - p.x, q.y - p.y);
        const double head = std::min<double>(std::max(12, 4 * width), length);
        const Pt u{(q.x - p.x) / length, (q.y - p.y) / length};
        const Pt base{q.x - u.x * head, q.y - u.y * head};
        if (length > head) AddSegment(p, base);
        head_ = {q, Pt{base.x - u.y * head / 2, base.y + u.x * head / 2},
                 Pt{base.x + u.y * head / 2, base.y - u.x * head / 2}};
        stroked_ = curve_.size();
        AddSegment((*head_)[0], (*head_)[1]);
        AddSegment((*head_)[1], (*head_)[2]);
        AddSegment((*head_)[2], (*head_)[0]);
        break;
      }
    }
    if (!head_) stroked_ = curve_.size();
    // A grid of 16-pixel cells over the samples, so that a distance is a look at a few cells.
    for (const Pt& c : curve_) {
      left_ = std::min(left_, static_cast<int>(c.x) - 64);
      top_ = std::min(top_, static_cast<int>(c.y) - 64);
      right_ = std::max(right_, static_cast<int>(c.x) + 64);
      bottom_ = std::max(bottom_, static_cast<int>(c.y) + 64);
    }
    columns_ = (right_ - left_) / kCell + 1;
    cells_.resize(static_cast<size_t>(columns_) * ((bottom_ - top_) / kCell + 1));
    for (size_t i = 0; i < curve_.size(); ++i) cells_[Cell(curve_[i].x, curve_[i].y)].push_back(i);
  }

  // The pixel centre (x, y) lies within `reach` of the outline (inside the head counts as on it).
  bool Within(int x, int y, double reach) const { return (head_ && InsideHead(x, y)) || NearCurve(x, y, reach); }

  // Points along the line the pen draws, one pixel apart (not the edges of the arrow's head).
  std::vector<Pt> Stroked() const {
    std::vector<Pt> points;
    for (size_t i = 0; i < stroked_; i += 4) points.push_back(curve_[i]);
    return points;
  }

  // Pixels inside the arrow's head, at least two pixels from its edges.
  std::vector<POINT> HeadInterior() const {
    std::vector<POINT> points;
    if (!head_) return points;
    const auto& h = *head_;
    const int x0 = static_cast<int>(std::min({h[0].x, h[1].x, h[2].x})),
              x1 = static_cast<int>(std::max({h[0].x, h[1].x, h[2].x}));
    const int y0 = static_cast<int>(std::min({h[0].y, h[1].y, h[2].y})),
              y1 = static_cast<int>(std::max({h[0].y, h[1].y, h[2].y}));
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x)
        if (InsideHead(x, y) && !NearCurve(x, y, 2.0, stroked_)) points.push_back({x, y});
    return points;
  }

 private:
  static constexpr int kCell = 16;
  // Within `reach` of a sample from `first` on.
  bool NearCurve(int x, int y, double reach, size_t first = 0) const {
    if (x - reach < left_ || x + reach >= right_ || y - reach < top_ || y + reach >= bottom_) return false;
    for (int cy = static_cast<int>((y - reach - top_) / kCell); cy <= (y + reach - top_) / kCell; ++cy) {
      for (int cx = static_cast<int>((x - reach - left_) / kCell); cx <= (x + reach - left_) / kCell; ++cx) {
        for (size_t i : cells_[static_cast<size_t>(cy) * columns_ + cx]) {
          if (i >= first && std::hypot(curve_[i].x - x, curve_[i].y - y) <= reach) return true;
        }
      }
    }
    return false;
  }
  void AddSegment(Pt a, Pt b) {
    const int n = static_cast<int>(std::hypot(b.x - a.x, b.y - a.y) * 4) + 1;
    for (int i = 0; i < n; ++i) curve_.push_back({a.x + (b.x - a.x) * i / n, a.y + (b.y - a.y) * i / n});
  }
  size_t Cell(double x, double y) const {
    return static_cast<size_t>((static_cast<int>(y) - top_) / kCell) * columns_ + (static_cast<int>(x) - left_) / kCell;
  }
  bool InsideHead(double x, double y) const {
    const auto& h = *head_;
    auto side = [&](const Pt& a, const Pt& b) { return (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x); };
    const double s0 = side(h[0], h[1]), s1 = side(h[1], h[2]), s2 = side(h[2], h[0]);
    return (s0 >= 0 && s1 >= 0 && s2 >= 0) || (s0 <= 0 && s1 <= 0 && s2 <= 0);
  }

  std::vector<Pt> curve_;  // 4 samples a pixel
  size_t stroked_ = 0;     // curve_[0, stroked_) is what the pen strokes
  std::optional<std::array<Pt, 3>> head_;
  int left_ = 1 << 30, top_ = 1 << 30, right_ = -(1 << 30), bottom_ = -(1 << 30);
  int columns_ = 0;
  std::vector<std::vector<size_t>> cells_;
};

constexpr COLORREF kPen = RGB(255, 0, 0);

class ShapesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ChoosePen(kPen, 10, 32);
    pattern = std::make_unique<PatternWindow>();
    o().History().Forget();
    EnterPresentationMode();
    ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == o().Picture1.Hwnd(); }));
    frozen = Settled();
  }
  void TearDown() override {
    // Nothing stays held for the next test, whatever failed.
    MouseButton(1, false);
    for (WORD k : {VK_SHIFT, VK_CONTROL, VK_TAB}) KeyUp(k);
    PumpUntil(
        [] { return ::GetKeyState(VK_SHIFT) >= 0 && ::GetKeyState(VK_CONTROL) >= 0 && ::GetKeyState(VK_TAB) >= 0; });
    if (o().EraserOn()) o().ToggleEraser();
    if (o().PenMode()) o().TogglePen();
    if (o().IsLoaded()) PressEsc();
    o().History().Forget();
    pattern.reset();
  }
  static ss& o() { return App().overlay; }
  static size_t Pushed() { return App().overlay.History().Steps().PushedCount(); }
  static size_t Undoable() { return App().overlay.History().Steps().UndoCount(); }

  // The screen once it shows what the overlay holds: Wine puts a window's drawing on the X screen
  // a moment after it is drawn.
  static ScreenImage Settled() {
    ScreenImage shot;
    PumpUntil(
        [&] {
          const imaging::PixelImage content = o().Picture1.ContentImage();
          shot = CaptureScreen();
          if (content.width != shot.width || content.height != shot.height) return false;
          for (size_t i = 0; i < shot.pixels.size(); ++i)
            if ((content.pixels[i] & 0xFFFFFF) != shot.pixels[i]) return false;
          return true;
        },
        5000);
    return shot;
  }

  // Holds `keys` down (or lets them go) and waits until this thread sees them so with everything
  // the X server had sent read. Wine applies the X server's view of Shift and Ctrl when the X focus
  // reaches a window (KeymapNotify), which can come just after the overlay is in front and drop a
  // modifier pressed before it: then the keys are pressed again.
  static void HoldKeys(const std::vector<WORD>& keys, bool down) {
    auto seen = [&] {
      for (WORD k : keys)
        if ((::GetKeyState(k) < 0) != down) return false;
      return true;
    };
    for (int attempt = 0; attempt < 5; ++attempt) {
      for (WORD k : keys) {
        if ((::GetKeyState(k) < 0) != down) down ? KeyDown(k) : KeyUp(k);
      }
      PumpUntil(seen, 2000);
      // A round trip to the X server, then what it sent before is read and handled.
      CaptureScreenRect(0, 0, 1, 1);
      Pump(0);
      if (seen()) return;
    }
    ADD_FAILURE() << "the keys did not stay " << (down ? "down" : "up");
  }
  static void MovePointer(POINT p) {
    MouseMoveTo(p.x, p.y);
    PumpUntil([&] {
      POINT now{};
      ::GetCursorPos(&now);
      return now.x == p.x && now.y == p.y;
    });
    Pump(5);
  }
  // Where the tool of the cursor now shown acts for a pointer at p.
  static POINT TipAt(POINT p) {
    PumpUntil([] { return CursorShown() == o().CurrentCursorImage(); });
    return LookAtCursor(CursorShown()).TipAt(p.x, p.y);
  }

  // With `keys` held: a press at `from`, moves through `path`, the release at its last point. With
  // `letGo` the keys are let go as soon as the press is taken.
  void DragHolding(const std::vector<WORD>& keys, POINT from, const std::vector<POINT>& path, bool letGo = false) {
    MovePointer(from);
    HoldKeys(keys, true);
    MouseButton(1, true);
    ASSERT_TRUE(PumpUntil([] { return ::GetCapture() == o().Picture1.Hwnd(); }));
    if (letGo) HoldKeys(keys, false);
    for (const POINT& p : path) MovePointer(p);
    MouseButton(1, false);
    ASSERT_TRUE(PumpUntil([] { return ::GetCapture() == nullptr; }));
    if (!letGo) HoldKeys(keys, false);
  }
  // A shape drawn as one step; the screen after it.
  ScreenImage DrawShape(Shape shape, POINT from, const std::vector<POINT>& path, bool letGo = false) {
    const size_t before = Pushed();
    DragHolding(KeysFor(shape), from, path, letGo);
    EXPECT_TRUE(PumpUntil([&] { return Pushed() == before + 1; })) << NameOf(shape) << " is one undo step";
    return Settled();
  }
  // Ctrl+Z with the real keys, waiting until the history moved.
  void Undo() {
    const size_t before = Undoable();
    HoldKeys({VK_CONTROL}, true);
    TapKey('Z');
    HoldKeys({VK_CONTROL}, false);
    ASSERT_TRUE(PumpUntil([&] { return Undoable() + 1 == before; }));
  }

  std::unique_ptr<PatternWindow> pattern;
  ScreenImage frozen;
};

// Pointer paths: a press, a few moves on the way, the release at the end.
struct Path {
  POINT press;
  std::vector<POINT> moves;
};
Path PathFor(Shape s) {
  switch (s) {
    case Shape::Line: return {{1500, 200}, {{1400, 260}, {900, 600}, {1000, 500}, {600, 700}, {350, 850}}};
    case Shape::Rectangle: return {{1400, 800}, {{1300, 700}, {200, 300}, {900, 400}, {500, 250}, {300, 150}}};
    case Shape::Arrow: return {{300, 900}, {{320, 880}, {1600, 100}, {800, 600}, {1100, 400}, {1300, 250}}};
    case Shape::Ellipse: return {{250, 150}, {{300, 200}, {1800, 1000}, {700, 500}, {1200, 800}, {1550, 950}}};
  }
  return {};
}

TEST_F(ShapesTest, EachShapeWithPenAndHighlighterAtWidthsOneAndTwentyIsItsOutlineAndOneUndoStep) {
  for (bool pen : {false, true}) {
    if (o().PenMode() != pen) o().TogglePen();
    for (int width : {1, 20}) {
      App().AppSettings.brushwidth = static_cast<int16_t>(width);
      for (Shape shape : kShapes) {
        const std::string what =
            std::string(NameOf(shape)) + (pen ? ", pen" : ", highlighter") + ", width " + std::to_string(width);
        const Path path = PathFor(shape);
        MovePointer(path.press);
        const POINT a = TipAt(path.press), b = TipAt(path.moves.back());
        const ScreenImage after = DrawShape(shape, path.press, path.moves);
        if (width == 20) {
          const std::string name = std::string("\\shape-") + NameOf(shape) + (pen ? "-pen" : "-highlighter") + ".bmp";
          SaveImageBmp(after, ScreenshotDir() + std::wstring(name.begin(), name.end()));
        }
        const Outline outline(shape, a, b, width);
        const uint32_t ink = Rgb(kPen);
        auto painted = [&](uint32_t beneath) { return pen ? ink : (ink & beneath); };

        // Every changed pixel lies within the outline widened by half the width and a pixel, and
        // holds the pen, or the pen AND the pixel beneath.
        long changed = 0, outside = 0, wrongColour = 0;
        for (int y = 0; y < after.height; ++y) {
          for (int x = 0; x < after.width; ++x) {
            const uint32_t was = frozen.At(x, y), now = after.At(x, y);
            if (was == now) continue;
            ++changed;
            if (!outline.Within(x, y, width / 2.0 + 1.0)) {
              if (++outside <= 5) ADD_FAILURE() << what << ": changed outside the outline at " << x << "," << y;
            }
            if (now != painted(was) && ++wrongColour <= 5) {
              ADD_FAILURE() << what << ": at " << x << "," << y << " " << std::hex << now << " over " << was;
            }
          }
        }
        EXPECT_GT(changed, 500) << what;
        // It covers the outline without gaps: next to every point of it a pixel is painted, and at
        // width 20 everything within nine pixels of it (and the head, filled).
        long gaps = 0;
        for (const Pt& p : outline.Stroked()) {
          bool touched = false;
          for (int dy = -1; dy <= 1 && !touched; ++dy)
            for (int dx = -1; dx <= 1 && !touched; ++dx) {
              const int x = static_cast<int>(std::lround(p.x)) + dx, y = static_cast<int>(std::lround(p.y)) + dy;
              touched = std::hypot(x - p.x, y - p.y) < 1.0 && after.At(x, y) == painted(frozen.At(x, y));
            }
          if (!touched && ++gaps <= 5) ADD_FAILURE() << what << ": a gap at " << p.x << "," << p.y;
        }
        if (width == 20) {
          const std::vector<Pt> stroked = outline.Stroked();
          for (size_t i = 0; i < stroked.size(); i += 4) {
            const Pt& p = stroked[i];
            for (int dy = -9; dy <= 9; ++dy)
              for (int dx = -9; dx <= 9; ++dx) {
                const int x = static_cast<int>(std::lround(p.x)) + dx, y = static_cast<int>(std::lround(p.y)) + dy;
                if (std::hypot(x - p.x, y - p.y) > 9) continue;
                if (after.At(x, y) != painted(frozen.At(x, y)) && ++gaps <= 5) {
                  ADD_FAILURE() << what << ": not painted at " << x << "," << y << " near " << p.x << "," << p.y;
                }
              }
          }
        }
        for (const POINT& p : outline.HeadInterior()) {
          if (after.At(p.x, p.y) != painted(frozen.At(p.x, p.y)) && ++gaps <= 5) {
            ADD_FAILURE() << what << ": the head is not filled at " << p.x << "," << p.y;
          }
        }
        if (shape == Shape::Arrow) {
          EXPECT_GT(outline.HeadInterior().size(), 10u) << what;
        }

        // One undo step: Ctrl+Z gives the picture before it, pixel for pixel.
        Undo();
        ASSERT_EQ(0, CountDifferences(frozen, Settled())) << what << " after Ctrl+Z";
        if (outside || wrongColour || gaps) return;
      }
    }
  }
}

// Tab asks for the ellipse whatever else is held: with Shift, Ctrl or both beside it the same
// ellipse comes, pixel for pixel.
TEST_F(ShapesTest, TabDrawsTheEllipseWhateverElseIsHeld) {
  const Path path = PathFor(Shape::Ellipse);
  MovePointer(path.press);
  const ScreenImage alone = DrawShape(Shape::Ellipse, path.press, path.moves);
  Undo();
  const std::vector<std::vector<WORD>> held{{VK_TAB, VK_SHIFT}, {VK_TAB, VK_CONTROL}, {VK_TAB, VK_CONTROL, VK_SHIFT}};
  for (const std::vector<WORD>& keys : held) {
    const size_t before = Pushed();
    DragHolding(keys, path.press, path.moves);
    ASSERT_TRUE(PumpUntil([&] { return Pushed() == before + 1; }));
    EXPECT_EQ(0, CountDifferences(alone, Settled())) << keys.size() << " keys held";
    Undo();
  }
}

TEST_F(ShapesTest, ADragThatWandersAcrossTheScreenAndComesBackLeavesOnlyTheFinalShape) {
  // The highlighter: an outline left behind would darken what it crossed. The keys are let go
  // once the press is taken: the shape stays the one they asked for at the press.
  App().AppSettings.brushwidth = 10;
  const POINT press{700, 400};
  const std::vector<POINT> wander{{1900, 1070}, {5, 5},      {1910, 8},   {8, 1070},  {960, 540}, {300, 900},
                                  {1500, 150},  {1000, 700}, {1002, 703}, {998, 699}, {1005, 705}};
  for (Shape shape : kShapes) {
    const ScreenImage wandered = DrawShape(shape, press, wander, true);
    Undo();
    ASSERT_EQ(0, CountDifferences(frozen, Settled())) << NameOf(shape);
    // The same shape dragged straight to the same end.
    const ScreenImage direct = DrawShape(shape, press, {wander.back()});
    EXPECT_GT(CountDifferences(frozen, direct), 1000) << NameOf(shape);
    EXPECT_EQ(0, CountDifferences(direct, wandered)) << NameOf(shape) << ": a trace of the drag was left";
    if (CountDifferences(direct, wandered) != 0) {
      SaveImageBmp(wandered, ScreenshotDir() + L"\\shape-wandered.bmp");
      return;
    }
    Undo();
  }
}

TEST_F(ShapesTest, EscDuringADragTakesBackThatShapeOnlyAndTheNextEscLeaves) {
  o().TogglePen();
  App().AppSettings.brushwidth = 20;
  const ScreenImage one = DrawShape(Shape::Rectangle, {300, 300}, {{600, 500}});
  for (Shape shape : kShapes) {
    // Ctrl is let go before Esc (Ctrl+Esc belongs to the system on Windows); Shift and Tab stay
    // held through it.
    const bool letGo = shape == Shape::Rectangle || shape == Shape::Arrow;
    const size_t pushed = Pushed();
    MovePointer({800, 300});
    HoldKeys(KeysFor(shape), true);
    MouseButton(1, true);
    ASSERT_TRUE(PumpUntil([] { return o().ShapeDragInProgress(); })) << NameOf(shape);
    if (letGo) HoldKeys(KeysFor(shape), false);
    MovePointer({1200, 700});
    MovePointer({1300, 800});
    ASSERT_TRUE(PumpUntil([&] { return CountDifferences(one, CaptureScreen()) > 1000; })) << NameOf(shape);
    TapKey(VK_ESCAPE);
    ASSERT_TRUE(PumpUntil([] { return !o().ShapeDragInProgress(); })) << NameOf(shape);
    EXPECT_TRUE(o().IsVisible()) << "presentation mode stays";
    EXPECT_NE(o().Picture1.Hwnd(), ::GetCapture()) << "the pointer is free";
    EXPECT_EQ(0, CountDifferences(one, Settled())) << NameOf(shape) << ": the picture before the press";
    // The rest of that drag draws nothing, freehand neither.
    MovePointer({1000, 500});
    MovePointer({900, 450});
    MouseButton(1, false);
    ASSERT_TRUE(PumpUntil([] { return ::GetKeyState(VK_LBUTTON) >= 0; }));
    if (!letGo) HoldKeys(KeysFor(shape), false);
    EXPECT_EQ(0, CountDifferences(one, Settled())) << NameOf(shape);
    EXPECT_EQ(pushed, Pushed()) << NameOf(shape) << ": no step";
  }
  TapKey(VK_ESCAPE);
  EXPECT_TRUE(PumpUntil([] { return !o().IsLoaded(); })) << "the next Esc leaves";
}

TEST_F(ShapesTest, WithTheEraserOnShiftCtrlAndTabStillEraseSquares) {
  o().TogglePen();
  App().AppSettings.brushwidth = 20;
  const size_t inkStep = Pushed();
  DragHolding({}, {200, 491}, {{700, 491}, {1200, 491}, {1700, 491}});
  ASSERT_TRUE(PumpUntil([&] { return Pushed() == inkStep + 1; }));
  const ScreenImage inked = Settled();
  TapKey('E');
  ASSERT_TRUE(PumpUntil([] { return o().EraserOn(); }));
  const std::vector<std::vector<WORD>> held{{VK_SHIFT}, {VK_CONTROL}, {VK_CONTROL, VK_SHIFT}, {VK_TAB}};
  for (const std::vector<WORD>& keys : held) {
    const POINT press{500, 500};
    MovePointer(press);
    PumpUntil([] { return CursorShown() == o().CurrentCursorImage(); });
    const CursorLook eraser = LookAtCursor(CursorShown());
    const RECT square{press.x + eraser.painted.left - eraser.hot.x, press.y + eraser.painted.top - eraser.hot.y,
                      press.x + eraser.painted.right - eraser.hot.x + 1,
                      press.y + eraser.painted.bottom - eraser.hot.y + 1};
    const size_t pushed = Pushed();
    HoldKeys(keys, true);
    MouseButton(1, true);
    ASSERT_TRUE(PumpUntil([&] { return ::GetCapture() == o().Picture1.Hwnd(); }));
    EXPECT_FALSE(o().ShapeDragInProgress());
    // The press: exactly the square the eraser's cursor outlines is back to the frozen picture.
    const ScreenImage pressed = Settled();
    long wrong = 0;
    for (int y = square.top - 40; y < square.bottom + 40; ++y) {
      for (int x = square.left - 40; x < square.right + 40; ++x) {
        const bool inside = x >= square.left && x < square.right && y >= square.top && y < square.bottom;
        if (pressed.At(x, y) != (inside ? frozen : inked).At(x, y)) ++wrong;
      }
    }
    EXPECT_EQ(0, wrong) << "keys " << keys.front() << " with " << keys.size() - 1 << " more";
    // Moving on erases along the way and draws nothing.
    for (int x = 600; x <= 1400; x += 100) MovePointer({x, 500});
    MouseButton(1, false);
    ASSERT_TRUE(PumpUntil([&] { return Pushed() == pushed + 1; }));
    HoldKeys(keys, false);
    const ScreenImage erased = Settled();
    long drawn = 0;
    for (size_t i = 0; i < erased.pixels.size(); ++i) {
      drawn += erased.pixels[i] != inked.pixels[i] && erased.pixels[i] != frozen.pixels[i];
    }
    EXPECT_EQ(0, drawn) << "keys " << keys.front();
    for (int x = 600; x <= 1400; x += 100) EXPECT_EQ(frozen.At(x, 500), erased.At(x, 500)) << x;
    Undo();
    ASSERT_EQ(0, CountDifferences(inked, Settled()));
  }
}

TEST_F(ShapesTest, TextPlacementIgnoresTheKeysAndATypedTabIsNoCommand) {
  // Tab typed on its own: nothing happens, and the keys still go to the drawing surface.
  const size_t start = Pushed();
  HoldKeys({VK_TAB}, true);
  HoldKeys({VK_TAB}, false);
  EXPECT_EQ(o().Picture1.Hwnd(), ::GetFocus());
  EXPECT_TRUE(OverlayInFront());
  EXPECT_EQ(0, CountDifferences(frozen, Settled()));
  EXPECT_EQ(start, Pushed());

  // Shift pressed after the press of a plain drag: it stays a freehand stroke, dot and all.
  o().TogglePen();
  App().AppSettings.brushwidth = 1;
  MovePointer({400, 300});
  const POINT dot = TipAt({400, 300});
  MouseButton(1, true);
  ASSERT_TRUE(PumpUntil([] { return ::GetCapture() == o().Picture1.Hwnd(); }));
  HoldKeys({VK_SHIFT}, true);
  MovePointer({420, 300});
  MovePointer({420, 340});
  EXPECT_FALSE(o().ShapeDragInProgress());
  MouseButton(1, false);
  HoldKeys({VK_SHIFT}, false);
  ASSERT_TRUE(PumpUntil([&] { return Pushed() == start + 1; }));
  const ScreenImage stroke = Settled();
  EXPECT_EQ(Rgb(kPen), stroke.At(dot.x, dot.y));
  EXPECT_EQ(Rgb(kPen), stroke.At(dot.x + 20, dot.y + 20)) << "the freehand corner, not a straight line";

  // t, then a click with Ctrl held: the editor opens there and nothing is drawn.
  TapKey('T');
  ASSERT_TRUE(PumpUntil([] { return o().TextMode(); }));
  HoldKeys({VK_CONTROL}, true);
  MovePointer({900, 600});
  MouseButton(1, true);
  ASSERT_TRUE(PumpUntil([] { return ::GetCapture() == o().Picture1.Hwnd(); }));
  EXPECT_FALSE(o().ShapeDragInProgress());
  MovePointer({1100, 700});
  MouseButton(1, false);
  EXPECT_TRUE(PumpUntil([] { return ::GetFocus() == o().txtEdit.Hwnd(); }));
  HoldKeys({VK_CONTROL}, false);
  EXPECT_EQ(start + 1, Pushed());
  RECT editor{};
  ::GetWindowRect(o().txtEdit.Hwnd(), &editor);
  EXPECT_EQ(1100, editor.left);
  EXPECT_EQ(700, editor.top);
}

}  // namespace
