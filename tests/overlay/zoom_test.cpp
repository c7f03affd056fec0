// The wheel's zoom: the view's arithmetic on its own (against GDI's own stretch), then the real
// overlay in this process driven with the real wheel, mouse and keys, every view compared pixel
// for pixel with the picture stretched as the presenter should see it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/dib.h"
#include "forms/zoom_view.h"
#include "imaging/picture_file.h"
#include "overlay/keeping.h"
#include "overlay/pen_geometry.h"
#include "overlay/ss.h"
#include "overlay/tool_cursors.h"
#include "overlay_steps.h"
#include "support/dialog_user.h"
#include "support/picture_support.h"
#include "support/test_app.h"
#include "support/test_support.h"
#include "support/xwatch_client.h"

using namespace testing_support;

namespace {

// --- The view's arithmetic -------------------------------------------------------------------

constexpr int kW = 1920;
constexpr int kH = 1080;

forms::ZoomView ViewAt(int notches, int x, int y) {
  forms::ZoomView view;
  view.SetSize(kW, kH);
  view.ZoomBy(notches, x, y);
  view.Follow(x, y);
  return view;
}

TEST(ZoomView, NotchesGoByAQuarterUpToEightAndBackToExactlyOne) {
  forms::ZoomView view;
  view.SetSize(kW, kH);
  EXPECT_FALSE(view.ZoomBy(-1, 500, 500)) << "nothing below x1";
  for (int n = 1; n <= 9; ++n) {
    ASSERT_TRUE(view.ZoomBy(1, 500, 500));
    EXPECT_DOUBLE_EQ(std::pow(1.25, n), view.Zoom());
  }
  ASSERT_TRUE(view.ZoomBy(1, 500, 500));
  EXPECT_DOUBLE_EQ(8.0, view.Zoom()) << "the tenth notch stops at x8";
  EXPECT_FALSE(view.ZoomBy(1, 500, 500));
  // Down from 8 the notches divide; ten of them reach x1 exactly.
  for (int n = 0; n < 10; ++n) view.ZoomBy(-1, 500, 500);
  EXPECT_EQ(1.0, view.Zoom());
  EXPECT_FALSE(view.Zoomed());
  // Four up and four down: the whole picture, pixel for pixel.
  view.ZoomBy(4, 700, 300);
  view.ZoomBy(-4, 123, 987);
  EXPECT_EQ(1.0, view.Zoom());
  EXPECT_EQ((base::PixelRect{0, 0, kW, kH}), view.Source());
  for (int x : {-3, 0, 1, 959, 1919, 1925}) EXPECT_EQ(x, view.ContentX(x)) << "x1 maps every point onto itself";
}

TEST(ZoomView, ThePixelUnderThePointerStaysAndTheEdgesComeIntoView) {
  for (int notches = 1; notches <= 10; ++notches) {
    const double zoom = std::min(std::pow(1.25, notches), 8.0);
    const int shownW = static_cast<int>(std::ceil(kW / zoom - 1e-9));
    for (int x : {0, 1, 250, 959, 1500, 1918, 1919}) {
      const int y = x * kH / kW;
      const forms::ZoomView view = ViewAt(notches, x, y);
      EXPECT_LE(std::abs(view.ContentX(x) - x), 1) << notches << " notches, pointer at x " << x;
      EXPECT_LE(std::abs(view.ContentY(y) - y), 1) << notches << " notches, pointer at y " << y;
      EXPECT_EQ(shownW, view.Source().right - view.Source().left);
    }
    EXPECT_EQ(0, ViewAt(notches, 0, 0).Source().left);
    EXPECT_EQ(0, ViewAt(notches, 0, 0).Source().top);
    EXPECT_EQ(kW, ViewAt(notches, kW - 1, kH - 1).Source().right) << notches;
    EXPECT_EQ(kH, ViewAt(notches, kW - 1, kH - 1).Source().bottom) << notches;
    // Beyond the box the pointer counts as at its edge.
    EXPECT_EQ(ViewAt(notches, kW - 1, 5).Source(), ViewAt(notches, kW + 40, 5).Source());
  }
  // A notch about another point than the one followed keeps that point's pixel too.
  forms::ZoomView view = ViewAt(3, 400, 400);
  const int before = view.ContentX(1700);
  view.ZoomBy(2, 1700, 900);
  EXPECT_LE(std::abs(view.ContentX(1700) - before), 1);
}

TEST(ZoomView, TheAreasOfBoxAndContentMatchPixelForPixel) {
  // A small box, so that every pixel can be asked.
  forms::ZoomView view;
  view.SetSize(37, 23);
  view.ZoomBy(5, 30, 4);
  view.Follow(30, 4);
  for (const base::PixelRect content : {base::PixelRect{20, 3, 25, 9}, base::PixelRect{0, 0, 37, 23},
                                        base::PixelRect{36, 20, 50, 30}, base::PixelRect{-5, -5, 2, 2}}) {
    const base::PixelRect box = view.BoxAreaShowing(content);
    for (int x = 0; x < 37; ++x) {
      const int c = view.ContentX(x);
      EXPECT_EQ(x >= box.left && x < box.right, c >= content.left && c < content.right) << "box x " << x;
    }
    for (int y = 0; y < 23; ++y) {
      const int c = view.ContentY(y);
      EXPECT_EQ(y >= box.top && y < box.bottom, c >= content.top && c < content.bottom) << "box y " << y;
    }
  }
  const base::PixelRect shown = view.ContentShownIn({3, 2, 9, 11});
  EXPECT_EQ(view.ContentX(3), shown.left);
  EXPECT_EQ(view.ContentX(8) + 1, shown.right);
  EXPECT_EQ(view.ContentY(10) + 1, shown.bottom);
  for (int c = view.Source().left; c < view.Source().right; ++c) EXPECT_EQ(c, view.ContentX(view.BoxX(c)));
}

// Where the pointer draws is where the screen shows it: the view's pixel under every box pixel is
// the one GDI's stretch puts there.
TEST(ZoomView, EveryBoxPixelShowsTheContentPixelThatGdisStretchPutsThere) {
  const BITMAPINFO bi = base::TopDownDib32(kW, kH);
  void* fromBits = nullptr;
  void* toBits = nullptr;
  HBITMAP from = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &fromBits, nullptr, 0);
  HBITMAP to = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &toBits, nullptr, 0);
  ASSERT_TRUE(from && to);
  auto* coded = static_cast<uint32_t*>(fromBits);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) coded[y * kW + x] = static_cast<uint32_t>(x) | (static_cast<uint32_t>(y) << 12);
  HDC fromDc = ::CreateCompatibleDC(nullptr);
  HDC toDc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ oldFrom = ::SelectObject(fromDc, from);
  HGDIOBJ oldTo = ::SelectObject(toDc, to);
  ::SetStretchBltMode(toDc, COLORONCOLOR);
  for (int notches : {1, 4, 6, 7, 10}) {
    for (const POINT p : {POINT{0, 0}, POINT{813, 377}, POINT{1919, 1079}}) {
      const forms::ZoomView view = ViewAt(notches, p.x, p.y);
      const base::PixelRect s = view.Source();
      ::StretchBlt(toDc, 0, 0, kW, kH, fromDc, s.left, s.top, s.right - s.left, s.bottom - s.top, SRCCOPY);
      ::GdiFlush();
      const auto* shown = static_cast<const uint32_t*>(toBits);
      long wrong = 0;
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
          const uint32_t v = shown[y * kW + x];
          wrong += static_cast<int>(v & 0xFFF) != view.ContentX(x) || static_cast<int>((v >> 12) & 0xFFF) != view.ContentY(y);
        }
      EXPECT_EQ(0, wrong) << notches << " notches, pointer at " << p.x << "," << p.y;
    }
  }
  ::SelectObject(fromDc, oldFrom);
  ::SelectObject(toDc, oldTo);
  ::DeleteDC(fromDc);
  ::DeleteDC(toDc);
  ::DeleteObject(from);
  ::DeleteObject(to);
}

// --- The overlay under the wheel ---------------------------------------------------------------

ScreenImage AsScreenImage(const imaging::PixelImage& image) {
  ScreenImage out;
  out.width = image.width;
  out.height = image.height;
  out.pixels.resize(image.pixels.size());
  for (size_t i = 0; i < image.pixels.size(); ++i) out.pixels[i] = image.pixels[i] & 0x00FFFFFF;
  return out;
}

// A pen colour the pattern does not have, and the pixel it leaves.
constexpr COLORREF kInk = RGB(10, 200, 120);
constexpr uint32_t kInkRgb = Rgb(kInk);

class ZoomTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ChoosePen(kInk, 5, 16);
    pattern = std::make_unique<PatternWindow>();
    o().History().Forget();
    MouseMoveTo(960, 540);
    EnterPresentationMode();
    ASSERT_TRUE(OverlayShowsItsPicture());
    frozen = CaptureScreen();
  }
  void TearDown() override {
    MouseButton(1, false);
    if (o().EraserOn()) o().ToggleEraser();
    if (o().PenMode()) o().TogglePen();
    o().SetTextMode(false);
    if (o().IsLoaded()) o().Unload();
    o().History().SetKeeper(nullptr);
    keeper.reset();
    o().History().Forget();
    pattern.reset();
  }
  static ss& o() { return App().overlay; }

  static void MoveTo(POINT p) {
    MouseMoveTo(p.x, p.y);
    PumpUntilInputHandled();
  }
  // Turns of the wheel where the pointer is, each once the overlay has handled the one before.
  static void Wheel(int notches, int delta = WHEEL_DELTA) {
    for (int i = 0; i < std::abs(notches); ++i) {
      MouseWheel(notches > 0 ? delta : -delta);
      PumpUntilInputHandled();
    }
  }
  static void ZoomAt(POINT p, int notches) {
    MoveTo(p);
    Wheel(notches);
    ASSERT_DOUBLE_EQ(ZoomAfter(notches), o().Picture1.Zoom());
  }
  // What the screen shows of `picture` with the pointer at p, `notches` in.
  static ScreenImage View(const ScreenImage& picture, POINT p, int notches) {
    return Stretched(picture, ZoomedPart(p, notches, picture.width, picture.height));
  }
  static ScreenImage Content() { return AsScreenImage(o().Picture1.ContentImage()); }
  static int CursorSize() { return overlay::CursorImageSize(o().CurrentCursorImage()); }
  // The picture pixel under the tool's tip for the pointer at p, as the screen shows it.
  static POINT PenTipOnPicture(POINT p) {
    const overlay::PointI tip = overlay::PenPoint(o().PenMode(), p.x, p.y, CursorSize());
    return o().Picture1.ToContent({tip.x, tip.y});
  }
  static void Drag(std::initializer_list<POINT> path) {
    auto it = path.begin();
    MoveTo(*it);
    MouseButton(1, true);
    PumpUntilInputHandled();
    for (++it; it != path.end(); ++it) MoveTo(*it);
    MouseButton(1, false);
    PumpUntilInputHandled();
  }
  // t, a click at `at`, the text, Ctrl+C.
  static void TypeLabel(POINT at, const wchar_t* text) {
    o().ArmTextPlacement();
    MoveTo(at);
    MouseButton(1, true);
    PumpUntilInputHandled();
    MouseButton(1, false);
    PumpUntilInputHandled();
    TypeText(text);
    PumpUntilInputHandled();
    TypeChord({VK_CONTROL, 'C'});
    PumpUntilInputHandled();
  }
  std::unique_ptr<PatternWindow> pattern;
  ScreenImage frozen;
  std::unique_ptr<overlay::DrawingKeeper> keeper;
};

TEST_F(ZoomTest, WheelNotchesMagnifyAboutThePointerAndNotchesBackShowTheFrozenScreenExactly) {
  const POINT p{700, 400};
  MoveTo(p);
  for (int n = 1; n <= 4; ++n) {
    Wheel(1);
    ASSERT_DOUBLE_EQ(ZoomAfter(n), o().Picture1.Zoom());
    EXPECT_EQ(0, ScreenDifferencesOnceNone(View(frozen, p, n))) << n << " notches";
    const POINT under = o().Picture1.ToContent(p);
    EXPECT_LE(std::abs(under.x - p.x) + std::abs(under.y - p.y), 2) << "the pointer's own pixel stays under it";
  }
  // A touchpad's smooth wheel: thirds of a notch add up to the fifth notch.
  Wheel(2, WHEEL_DELTA / 3);
  EXPECT_DOUBLE_EQ(ZoomAfter(4), o().Picture1.Zoom());
  Wheel(1, WHEEL_DELTA / 3);
  EXPECT_DOUBLE_EQ(ZoomAfter(5), o().Picture1.Zoom());
  EXPECT_EQ(0, ScreenDifferencesOnceNone(View(frozen, p, 5)));
  // No undo step: the zoom is a view.
  EXPECT_EQ(0u, o().History().Steps().UndoCount());
  Wheel(-5);
  EXPECT_FALSE(o().Picture1.Zoomed());
  EXPECT_EQ(0, ScreenDifferencesOnceNone(frozen)) << "pixel for pixel the picture at x1";
}

TEST_F(ZoomTest, TheViewFollowsThePointerToEachEdgeHoldsWhileAButtonIsDownAndZeroEndsIt) {
  ZoomAt({960, 540}, 6);
  const POINT right{kW - 1, 500};
  MoveTo(right);
  EXPECT_EQ(kW, ZoomedPart(right, 6, kW, kH).right);
  EXPECT_EQ(0, ScreenDifferencesOnceNone(View(frozen, right, 6))) << "the picture's right edge";
  MoveTo({0, 0});
  EXPECT_EQ(0, ScreenDifferencesOnceNone(View(frozen, {0, 0}, 6))) << "its top left corner";
  // The eraser over the frozen picture changes no pixel: the drag shows only whether the view moved.
  o().ToggleEraser();
  const POINT press{300, 300};
  MoveTo(press);
  ASSERT_EQ(0, ScreenDifferencesOnceNone(View(frozen, press, 6)));
  MouseButton(1, true);
  PumpUntilInputHandled();
  MoveTo({1500, 800});
  MoveTo({1700, 900});
  EXPECT_EQ(0, CountDifferences(View(frozen, press, 6), CaptureScreen())) << "held still under the button";
  MouseButton(1, false);
  PumpUntilInputHandled();
  MoveTo({1690, 900});
  EXPECT_EQ(0, ScreenDifferencesOnceNone(View(frozen, {1690, 900}, 6))) << "free again after the release";
  // 0: x1 at once.
  TypeText(L"0");
  PumpUntilInputHandled();
  EXPECT_FALSE(o().Picture1.Zoomed());
  EXPECT_EQ(0, ScreenDifferencesOnceNone(frozen));
}

TEST_F(ZoomTest, StrokesShapesAndTheEraserLandOnThePicturePixelsUnderTheToolAtPictureSizes) {
  o().TogglePen();
  ZoomAt({960, 540}, 6);
  // A freehand stroke along a row of the screen.
  // The view holds still from the press on: the pointer's place before it decides the view.
  const POINT a{600, 500}, b{800, 500};
  MoveTo(a);
  const POINT tipA = PenTipOnPicture(a), tipB = PenTipOnPicture(b);
  const size_t steps = o().History().Steps().PushedCount();
  Drag({a, {700, 500}, b});
  ASSERT_TRUE(PumpUntil([&] { return o().History().Steps().PushedCount() == steps + 1; }));
  ScreenImage picture = Content();
  EXPECT_EQ(kInkRgb, picture.At(tipA.x, tipA.y));
  EXPECT_EQ(kInkRgb, picture.At(tipB.x, tipB.y));
  EXPECT_EQ(5, RunThrough(picture, {(tipA.x + tipB.x) / 2, tipA.y}, true, kInkRgb)) << "5 picture pixels wide";
  EXPECT_EQ(frozen.At(tipA.x - 4, tipA.y), picture.At(tipA.x - 4, tipA.y)) << "it starts under the tip";
  EXPECT_EQ(frozen.At(tipB.x + 4, tipB.y), picture.At(tipB.x + 4, tipB.y)) << "and ends under it";
  // The screen shows the picture with its stroke, magnified: 5 x 3.8 screen pixels wide.
  MoveTo(a);
  EXPECT_EQ(0, ScreenDifferencesOnceNone(View(picture, a, 6)));
  // A Shift-drag line, upright this time.
  const POINT c{1000, 300}, d{1000, 700};
  MoveTo(c);
  const POINT tipC = PenTipOnPicture(c), tipD = PenTipOnPicture(d);
  // Wine takes Shift as the X server has it whenever the pointer moves, and the X server knows
  // nothing of keys pressed with SendInput: the screen watcher holds Shift there too.
  XWatch watch;
  ASSERT_TRUE(watch.Ready()) << "no screen watcher in this environment";
  ASSERT_TRUE(watch.Key("Shift_L", true)) << watch.LastAck();
  KeyDown(VK_SHIFT);
  Drag({c, {1100, 400}, d});
  KeyUp(VK_SHIFT);
  EXPECT_TRUE(watch.Key("Shift_L", false)) << watch.LastAck();
  ASSERT_TRUE(PumpUntil([&] { return o().History().Steps().PushedCount() == steps + 2; }));
  const ScreenImage withLine = Content();
  EXPECT_EQ(kInkRgb, withLine.At(tipC.x, tipC.y));
  EXPECT_EQ(kInkRgb, withLine.At(tipD.x, tipD.y));
  EXPECT_EQ(frozen.At(tipD.x, tipD.y + 4), withLine.At(tipD.x, tipD.y + 4));
  EXPECT_EQ(5, RunThrough(withLine, {tipC.x, (tipC.y + tipD.y) / 2}, false, kInkRgb));
  // The eraser, 16 picture pixels, beside the picture pixel under the pointer as at x1.
  o().ToggleEraser();
  // Magnified, the pointer's own pixel is under it: the pointer goes where the line is.
  const POINT e{tipC.x, (tipC.y + tipD.y) / 2};
  MoveTo(e);
  const POINT under = o().Picture1.ToContent(e);
  Drag({e});
  ASSERT_TRUE(PumpUntil([&] { return o().History().Steps().PushedCount() == steps + 3; }));
  const overlay::SquareI square = overlay::EraserSquare(16, under.x, under.y, CursorSize());
  const ScreenImage erased = Content();
  long inkBefore = 0, restored = 0, keptInk = 0;
  for (int y = square.top; y < square.top + square.side; ++y)
    for (int x = square.left; x < square.left + square.side; ++x) inkBefore += withLine.At(x, y) == kInkRgb;
  ASSERT_GT(inkBefore, 0) << "the square lies over the line";
  for (int y = square.top; y < square.top + square.side; ++y)
    for (int x = square.left; x < square.left + square.side; ++x) restored += erased.At(x, y) == frozen.At(x, y);
  for (int y = square.top; y < square.top + square.side; ++y) keptInk += erased.At(square.left - 1, y) == kInkRgb;
  EXPECT_EQ(square.side * square.side, restored) << "the square of the picture is the frozen one again";
  EXPECT_GT(keptInk, 0) << "and no more of the line than the square";
  // Undo under the view takes them back one by one, exactly.
  for (const ScreenImage* state : std::initializer_list<const ScreenImage*>{&withLine, &picture, &frozen}) {
    TypeChord({VK_CONTROL, 'Z'});
    PumpUntilInputHandled();
    EXPECT_EQ(0, CountDifferences(*state, Content()));
  }
  const POINT now{1000, 500};
  MoveTo(now);
  EXPECT_EQ(0, ScreenDifferencesOnceNone(View(frozen, now, 6)));
}

TEST_F(ZoomTest, LabelsAreMagnifiedWithTheViewAndOneTypedUnderItLandsOnThePicture) {
  App().AppSettings.textfont = "Tahoma";
  App().AppSettings.textsize = 14;
  App().AppSettings.textcolor = static_cast<int32_t>(RGB(201, 17, 133));
  TypeLabel({300, 200}, L"Before");
  forms::Label* first = o().lblText[2];
  ASSERT_NE(nullptr, first);
  ASSERT_TRUE(PumpUntil([&] { return CountDifferences(frozen, CaptureScreen()) > 0; }));
  const ScreenImage withFirst = CaptureScreen();

  const POINT p{320, 210};
  ZoomAt(p, 4);
  EXPECT_FALSE(::IsWindowVisible(first->Hwnd())) << "the view paints it, not its window";
  EXPECT_TRUE(first->Shown());
  EXPECT_EQ(0, ScreenDifferencesOnceNone(View(withFirst, p, 4))) << "magnified with the picture";

  // One typed under the view: the editor opens where the presenter clicked, the label lands on
  // the picture pixel under that point.
  const POINT click{900, 600};
  MoveTo(click);
  const POINT target = o().Picture1.ToContent(click);
  TypeLabel(click, L"Zoomed");
  forms::Label* second = o().lblText[3];
  ASSERT_NE(nullptr, second);
  EXPECT_EQ(target.x, second->Left());
  EXPECT_EQ(target.y, second->Top());
  EXPECT_FALSE(::IsWindowVisible(second->Hwnd()));
  const ScreenImage zoomedWithBoth = CaptureScreen();
  EXPECT_GT(CountDifferences(View(withFirst, click, 4), zoomedWithBoth), 0) << "the new label shows";

  // At x1 both windows show, each at its place, and the view was exactly the picture magnified.
  TypeText(L"0");
  PumpUntilInputHandled();
  EXPECT_TRUE(::IsWindowVisible(first->Hwnd()) && ::IsWindowVisible(second->Hwnd()));
  // The labels paint through their own paint messages: the screen at x1 once they have.
  EXPECT_TRUE(PumpUntil([&] { return CountDifferences(View(CaptureScreen(), click, 4), zoomedWithBoth) == 0; }));

  // Undo under the view: the label goes from the view.
  ZoomAt(click, 4);
  TypeChord({VK_CONTROL, 'Z'});
  PumpUntilInputHandled();
  EXPECT_EQ(nullptr, o().lblText[3]);
  EXPECT_EQ(0, ScreenDifferencesOnceNone(View(withFirst, click, 4)));
}

TEST_F(ZoomTest, SaveAndCopyUnderTheViewTakeWhatTheScreenShowsAndEscKeepsTheWholePicture) {
  const std::wstring folder = TempDir(L"zoom-keep");
  for (const std::wstring& name : FileNames(folder, L"*.png")) ::DeleteFileW((folder + L"\\" + name).c_str());
  keeper = std::make_unique<overlay::DrawingKeeper>(folder, [](const std::wstring&) {});
  o().History().SetKeeper(keeper.get());
  o().TogglePen();
  Drag({{200, 300}, {900, 320}});
  ASSERT_TRUE(PumpUntil([&] { return o().History().Steps().UndoCount() == 1; }))
      << o().History().Steps().UndoCount() << " steps";
  const ScreenImage picture = Content();
  const base::Picture background = o().Picture1.GetPicture();
  const POINT p{400, 310};
  ZoomAt(p, 3);
  const ScreenImage shown = View(picture, p, 3);
  ASSERT_EQ(0, ScreenDifferencesOnceNone(shown));

  // Ctrl+C: the clipboard holds the view.
  TypeChord({VK_CONTROL, 'C'});
  PumpUntilInputHandled();
  EXPECT_EQ(0, CountDifferences(shown, ClipboardPicture()));

  // Ctrl+S: the file holds the view; the picture stays the picture.
  const std::wstring file = TempDir(L"zoom-save") + L"\\view.bmp";
  ::DeleteFileW(file.c_str());
  {
    DialogUser user({{Act::EnterFileName, file}, {Act::Ok, L""}});
    short key = 19;
    o().Picture1_KeyPress(key);
    user.Join();
    ASSERT_FALSE(user.timedOut);
  }
  EXPECT_EQ(0, CountDifferences(shown, PictureImage(imaging::LoadPictureFile(file))));
  EXPECT_EQ(background, o().Picture1.GetPicture()) << "the saved view is not the new background";
  EXPECT_EQ(1u, o().History().Steps().UndoCount());
  EXPECT_TRUE(o().Picture1.Zoomed());

  // Esc under the view: the kept picture is the whole one at x1, and the next presentation
  // starts at x1.
  PressEsc();
  keeper->WaitUntilIdle();
  const std::vector<std::wstring> kept = FileNames(folder, L"*.png");
  ASSERT_EQ(1u, kept.size());
  EXPECT_EQ(0, CountDifferences(picture, PictureImage(imaging::LoadPictureFile(folder + L"\\" + kept[0]))));
  // The desktop (this thread's pattern window) has painted itself again before the next entry.
  ASSERT_EQ(0, ScreenDifferencesOnceNone(frozen, 10000));
  EnterPresentationMode();
  EXPECT_FALSE(o().Picture1.Zoomed());
  EXPECT_EQ(0, ScreenDifferencesOnceNone(frozen));
  ::DeleteFileW(file.c_str());
}

// The pages under the wheel: each keeps its own labels, the highlighter adds its colour on black,
// Ctrl+E brings back the paper, and the view magnifies a page like the screen.
TEST_F(ZoomTest, EachPageKeepsItsLabelsTheHighlighterShowsOnBlackAndCtrlEBringsThePaperBack) {
  App().AppSettings.textfont = "Tahoma";
  App().AppSettings.textsize = 14;
  App().AppSettings.textcolor = static_cast<int32_t>(RGB(250, 250, 250));
  TypeLabel({300, 200}, L"Desk");
  ASSERT_TRUE(PumpUntil([&] { return CountDifferences(frozen, CaptureScreen()) > 0; }));
  const ScreenImage withLabel = CaptureScreen();
  auto blackCount = [](const ScreenImage& image) {
    return static_cast<long>(std::count(image.pixels.begin(), image.pixels.end(), 0u));
  };
  auto press = [](const wchar_t* keys) {
    TypeText(keys);
    PumpUntilInputHandled();
  };

  press(L"k");
  EXPECT_EQ(overlay::PageKind::Black, o().CurrentPage());
  EXPECT_EQ(nullptr, o().lblText[2]) << "the desktop's label stays with the desktop";
  ASSERT_TRUE(PumpUntil([&] {
    const ScreenImage now = CaptureScreen();
    return blackCount(now) == static_cast<long>(now.pixels.size());
  }));

  // Magnified, the highlighter's stroke lands on the page in its colour (OR: black takes the pen).
  const POINT p{700, 400};
  ZoomAt(p, 3);
  const POINT a{600, 420}, b{800, 420};
  MoveTo(a);
  const POINT tipA = PenTipOnPicture(a), tipB = PenTipOnPicture(b);
  Drag({a, {700, 420}, b});
  ASSERT_TRUE(PumpUntil([&] { return Content().At(tipB.x, tipB.y) == kInkRgb; }));
  EXPECT_EQ(kInkRgb, Content().At(tipA.x, tipA.y));
  TypeLabel({900, 600}, L"Board");
  ASSERT_NE(nullptr, o().lblText[2]);
  const forms::Label* board = o().lblText[2];
  EXPECT_EQ(L"Board", board->Caption());
  TypeText(L"0");
  PumpUntilInputHandled();
  // Its window paints it at x1, in its own time.
  ASSERT_TRUE(PumpUntil([&] {
    const ScreenImage there = CaptureScreenRect(board->Left(), board->Top(), board->Width(), board->Height());
    return blackCount(there) < static_cast<long>(there.pixels.size());
  }));
  const ScreenImage drawnBlack = CaptureScreen();

  // Back to the desktop and to the page again: each as it was left.
  press(L"k");
  ASSERT_NE(nullptr, o().lblText[2]);
  EXPECT_EQ(L"Desk", o().lblText[2]->Caption());
  EXPECT_EQ(0, ScreenDifferencesOnceNone(withLabel));
  press(L"k");
  EXPECT_EQ(0, ScreenDifferencesOnceNone(drawnBlack));

  // Ctrl+E: the page's black where the stroke was; the label stays.
  TypeChord({VK_CONTROL, 'E'});
  PumpUntilInputHandled();
  const ScreenImage cleared = Content();
  EXPECT_EQ(static_cast<long>(cleared.pixels.size()), blackCount(cleared)) << "no stroke left on the paper";
  ASSERT_NE(nullptr, o().lblText[2]);
  // Undo: the stroke again, then the last turn of the page taken back: the desktop.
  TypeChord({VK_CONTROL, 'Z'});
  PumpUntilInputHandled();
  EXPECT_EQ(0, ScreenDifferencesOnceNone(drawnBlack));
  TypeChord({VK_CONTROL, 'Z'});
  PumpUntilInputHandled();
  EXPECT_EQ(overlay::PageKind::Desktop, o().CurrentPage());
  EXPECT_EQ(0, ScreenDifferencesOnceNone(withLabel));
}

}  // namespace
