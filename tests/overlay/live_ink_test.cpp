// Live drawing's ink without a window: premultiplied blending, anti-aliased strokes whose
// overlapping parts blend once, the tools' steps and undo, what the layered window is handed, and
// when frames go out.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "imaging/ink_canvas.h"
#include "overlay/live_frames.h"
#include "overlay/live_ink.h"

namespace {

using base::PixelRect;
using imaging::InkCanvas;
using imaging::InkOver;
using imaging::InkPoint;
using imaging::Premultiply;

constexpr uint32_t kOpaqueRed = 0xFFFF0000;

uint32_t Alpha(uint32_t p) { return p >> 24; }
uint32_t Byte(uint32_t p, int shift) { return (p >> shift) & 0xFF; }

std::vector<uint32_t> PixelsOf(const InkCanvas& c) {
  return std::vector<uint32_t>(c.Pixels(), c.Pixels() + static_cast<size_t>(c.Width()) * c.Height());
}

// --- Blending --------------------------------------------------------------------------------------

TEST(InkBlend, PremultipliesAndBlendsSourceOverRoundedToTheNearest) {
  EXPECT_EQ(0xFFFF8040u, Premultiply(0xFF8040, 255));
  // Half alpha: 255 * 128 / 255 = 128, 128 * 128 / 255 = 64.25, 64 * 128 / 255 = 32.1.
  EXPECT_EQ(0x80804020u, Premultiply(0xFF8040, 128));
  EXPECT_EQ(0u, Premultiply(0xFFFFFF, 0));

  // Opaque ink at full coverage is the ink; at no coverage the pixel stays.
  EXPECT_EQ(kOpaqueRed, InkOver(kOpaqueRed, 255, 0xFF00FF00));
  EXPECT_EQ(0xFF00FF00u, InkOver(kOpaqueRed, 0, 0xFF00FF00));
  // The highlighter over an opaque white pixel: (255 + 255 * 127 / 255, 0 + 127, 0 + 127).
  EXPECT_EQ(0xFFFF7F7Fu, InkOver(Premultiply(0xFF0000, 128), 255, 0xFFFFFFFF));
  // Over nothing (a transparent layer pixel) the ink is what is left.
  EXPECT_EQ(Premultiply(0xFF0000, 128), InkOver(Premultiply(0xFF0000, 128), 255, 0));
  // Half coverage of opaque ink over nothing: alpha and colour halve together.
  const uint32_t half = InkOver(kOpaqueRed, 128, 0);
  EXPECT_EQ(128u, Alpha(half));
  EXPECT_EQ(128u, Byte(half, 16));
}

// --- The canvas ----------------------------------------------------------------------------------------

class InkCanvasTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(c.Create(200, 150)); }
  InkCanvas c;
};

TEST_F(InkCanvasTest, AOnePixelLineOnWholeCoordinatesIsExactlyOnePixelWideAndOpaque) {
  ASSERT_TRUE(c.BeginChange());
  ASSERT_TRUE(c.BeginMark(kOpaqueRed));
  const PixelRect area = c.AddSegment({20, 40}, {120, 40}, 1);
  EXPECT_LE(area.left, 20);
  EXPECT_GE(area.right, 121);
  for (int x = 20; x <= 120; ++x) {
    ASSERT_EQ(kOpaqueRed, c.At(x, 40)) << x;
    ASSERT_EQ(0u, c.At(x, 39)) << x;
    ASSERT_EQ(0u, c.At(x, 41)) << x;
  }
  EXPECT_EQ(0u, c.At(18, 40)) << "the round end reaches half a pixel past the point";
}

TEST_F(InkCanvasTest, AWideLineCoversItsWidthAndASlantedOneIsSmoothNotJagged) {
  ASSERT_TRUE(c.BeginChange());
  ASSERT_TRUE(c.BeginMark(kOpaqueRed));
  c.AddSegment({20, 30}, {180, 30}, 10);
  // Width 10 about y = 30: rows 26 to 34 fully inside, 25 and 35 on the edge (half), 24 out.
  for (int y = 26; y <= 34; ++y) EXPECT_EQ(kOpaqueRed, c.At(100, y)) << y;
  EXPECT_EQ(128u, Alpha(c.At(100, 25)));
  EXPECT_EQ(128u, Alpha(c.At(100, 35)));
  EXPECT_EQ(0u, c.At(100, 24));

  c.AddSegment({20, 60}, {180, 100}, 3);
  // Across the slanted line the coverage rises and falls through values between 0 and 255.
  int partial = 0;
  for (int y = 50; y < 120; ++y) {
    const uint32_t a = Alpha(c.At(100, y));
    partial += a > 0 && a < 255;
  }
  EXPECT_GE(partial, 2) << "anti-aliased edges";
}

TEST_F(InkCanvasTest, WithinAMarkOverlapsBlendOnceSoHalfInkStaysEven) {
  const uint32_t half = Premultiply(0x00FF00, 128);
  ASSERT_TRUE(c.BeginChange());
  ASSERT_TRUE(c.BeginMark(half));
  // A stroke of many short pieces doubling back over itself, and a dot on top.
  for (int i = 0; i < 30; ++i) c.AddSegment({40.0 + i * 3, 70}, {43.0 + i * 3, 70}, 12);
  c.AddSegment({120, 70}, {60, 70}, 12);
  c.AddDot({80, 70}, 12);
  for (int x = 45; x <= 120; ++x) ASSERT_EQ(half, c.At(x, 70)) << x;
  EXPECT_FALSE(c.BeginMark(half)) << "one mark to a change";
  c.EndChange();
  // A second mark over the first blends over it: that is a second coat.
  ASSERT_TRUE(c.BeginChange());
  ASSERT_TRUE(c.BeginMark(half));
  c.AddDot({80, 70}, 12);
  EXPECT_EQ(InkOver(half, 255, half), c.At(80, 70));
  EXPECT_GT(Alpha(c.At(80, 70)), Alpha(half));
}

TEST_F(InkCanvasTest, TakingBackAMarkRestoresWhatWasUnderItAndAMarkMayBeginAgain) {
  ASSERT_TRUE(c.BeginChange());
  ASSERT_TRUE(c.BeginMark(kOpaqueRed));
  c.AddSegment({10, 10}, {190, 10}, 5);
  c.EndChange();
  const std::vector<uint32_t> withLine = PixelsOf(c);
  const uint32_t blue = Premultiply(0x0000FF, 128);
  ASSERT_TRUE(c.BeginChange());
  ASSERT_TRUE(c.BeginMark(blue));
  c.AddSegment({100, 0}, {100, 140}, 7);  // crosses the red line
  const PixelRect back = c.TakeBackMark();
  EXPECT_EQ(withLine, PixelsOf(c));
  // Width 7: the pixels 3 or less from the line's middle are ink, the ones 4 away none.
  EXPECT_EQ(97, back.left);
  EXPECT_EQ(104, back.right);
  EXPECT_TRUE(c.AddSegment({150, 0}, {150, 140}, 7).Empty()) << "the mark ended";
  // The next outline is drawn over the pixels from before the first.
  ASSERT_TRUE(c.BeginMark(blue));
  c.AddSegment({150, 0}, {150, 140}, 7);
  EXPECT_EQ(InkOver(blue, 255, kOpaqueRed), c.At(150, 10));
  EXPECT_EQ(kOpaqueRed, c.At(100, 10));
}

TEST_F(InkCanvasTest, ErasingMakesPixelsTransparentAndTheChangeSwapsBackAndForth) {
  ASSERT_TRUE(c.BeginChange());
  ASSERT_TRUE(c.BeginMark(kOpaqueRed));
  c.AddSegment({10, 75}, {190, 75}, 20);
  const imaging::TileChange drawn = c.EndChange();
  EXPECT_FALSE(drawn.Empty());
  EXPECT_TRUE(c.HasInk());
  const std::vector<uint32_t> inked = PixelsOf(c);

  ASSERT_TRUE(c.BeginChange());
  EXPECT_EQ((PixelRect{180, 140, 200, 150}), c.Erase({180, 140, 260, 400})) << "clipped to the canvas";
  c.Erase({50, 60, 80, 90});
  for (int x = 50; x < 80; ++x) ASSERT_EQ(0u, c.At(x, 75));
  EXPECT_EQ(kOpaqueRed, c.At(100, 75));
  imaging::TileChange erased = c.EndChange();
  const std::vector<uint32_t> afterErase = PixelsOf(c);

  EXPECT_FALSE(c.Swap(erased).Empty());
  EXPECT_EQ(inked, PixelsOf(c)) << "undo";
  c.Swap(erased);
  EXPECT_EQ(afterErase, PixelsOf(c)) << "redo";

  ASSERT_TRUE(c.BeginChange());
  c.EraseAll();
  c.EndChange();
  EXPECT_FALSE(c.HasInk());
}

TEST_F(InkCanvasTest, ATriangleIsFilledWithSoftEdges) {
  ASSERT_TRUE(c.BeginChange());
  ASSERT_TRUE(c.BeginMark(kOpaqueRed));
  c.AddTriangle({InkPoint{100, 20}, InkPoint{60, 120}, InkPoint{140, 120}});
  EXPECT_EQ(kOpaqueRed, c.At(100, 80));
  EXPECT_EQ(0u, c.At(100, 10));
  EXPECT_EQ(0u, c.At(40, 100));
  EXPECT_EQ(128u, Alpha(c.At(100, 120))) << "a pixel whose centre lies on the edge is half covered";
  EXPECT_TRUE(c.AddTriangle({InkPoint{10, 10}, InkPoint{20, 20}, InkPoint{30, 30}}).Empty()) << "no area, nothing";
}

TEST_F(InkCanvasTest, TheLayerGetsAnInvisibleFloorWhereThereIsNoInkOnlyWhenAskedFor) {
  ASSERT_TRUE(c.BeginChange());
  ASSERT_TRUE(c.BeginMark(kOpaqueRed));
  c.AddDot({50, 50}, 9);
  c.EndChange();
  std::vector<uint32_t> layer(200 * 150, 0xDEADBEEF);
  const imaging::PixelBuffer to{layer.data(), 200, 150, 200};
  imaging::CopyForLayer(c, to, {40, 40, 60, 60}, 1);
  EXPECT_EQ(kOpaqueRed, layer[50 * 200 + 50]);
  EXPECT_EQ(0x01000000u, layer[41 * 200 + 41]) << "alpha 1 of black where there is no ink";
  EXPECT_EQ(0xDEADBEEFu, layer[39 * 200 + 39]) << "outside the area nothing is written";
  imaging::CopyForLayer(c, to, {0, 0, 200, 150}, 0);
  EXPECT_EQ(0u, layer[41 * 200 + 41]);
  EXPECT_EQ(0u, layer[149 * 200 + 199]);
  EXPECT_EQ(kOpaqueRed, layer[50 * 200 + 50]);
}

// --- The tools and their steps -------------------------------------------------------------------------

class LiveInkTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(ink.Create(300, 200)); }
  std::vector<uint32_t> Pixels() const { return PixelsOf(ink.Canvas()); }
  overlay::LiveInk ink;
  const overlay::InkStyle pen = overlay::LiveInkStyle(0x0000FF, true, 5);
  const overlay::InkStyle highlighter = overlay::LiveInkStyle(0x0000FF, false, 15);
};

TEST(LiveInkStyle, PenIsOpaqueAndTheHighlighterHalfInTheSettingsColour) {
  const overlay::InkStyle p = overlay::LiveInkStyle(0x0000FF, true, 5);  // red as the settings hold it
  EXPECT_EQ(0xFF0000u, p.rgb);
  EXPECT_EQ(255, p.alpha);
  EXPECT_EQ(5, p.width);
  const overlay::InkStyle h = overlay::LiveInkStyle(0xFF0000, false, 0);
  EXPECT_EQ(0x0000FFu, h.rgb);
  EXPECT_EQ(128, h.alpha);
  EXPECT_EQ(1, h.width) << "a width of 0 draws one pixel";
}

TEST_F(LiveInkTest, AStrokeIsOneStepAndUndoAndRedoSwapItExactly) {
  const std::vector<uint32_t> empty = Pixels();
  PixelRect area = ink.StrokeDot({50, 50}, highlighter);
  for (int x = 60; x <= 250; x += 10) area = base::Union(area, ink.StrokeTo({x, 50 + (x % 20)}, highlighter));
  EXPECT_FALSE(area.Empty());
  EXPECT_EQ(0u, ink.Steps().UndoCount()) << "the step is made at the release";
  ink.EndStep();
  EXPECT_EQ(1u, ink.Steps().UndoCount());
  EXPECT_TRUE(ink.Changed());
  const std::vector<uint32_t> stroke = Pixels();
  EXPECT_NE(empty, stroke);
  // One coat along the whole stroke, though its pieces overlap at every joint.
  EXPECT_EQ(Premultiply(0xFF0000, 128), ink.Canvas().At(65, 55));

  const PixelRect undone = ink.Undo();
  EXPECT_EQ(empty, Pixels());
  EXPECT_LE(undone.left, 50 - 8);
  EXPECT_GE(undone.right, 250 + 8);
  EXPECT_FALSE(ink.Redo().Empty());
  EXPECT_EQ(stroke, Pixels());
  EXPECT_TRUE(ink.Redo().Empty()) << "nothing more to redo";

  // A drag that came in with the button down begins a stroke of its own.
  ink.StrokeTo({10, 180}, pen);
  ink.StrokeTo({100, 180}, pen);
  ink.EndStep();
  EXPECT_EQ(2u, ink.Steps().UndoCount());
  EXPECT_EQ(kOpaqueRed, ink.Canvas().At(50, 180));
}

TEST_F(LiveInkTest, AShapeFollowsThePointerLeavingNoTraceAndEscTakesItBack) {
  ink.StrokeDot({150, 100}, pen);
  ink.EndStep();
  const std::vector<uint32_t> before = Pixels();

  ink.BeginShape(overlay::ShapeKind::Rectangle, {20, 20});
  EXPECT_TRUE(ink.ShapeFollowing());
  ink.FollowShape({250, 180}, pen);
  ink.FollowShape({120, 90}, pen);
  // Only the last outline shows: the bigger one's right side is gone.
  EXPECT_EQ(0u, ink.Canvas().At(250, 100));
  EXPECT_EQ(kOpaqueRed, ink.Canvas().At(120, 60));
  EXPECT_EQ(kOpaqueRed, ink.Canvas().At(70, 20));
  EXPECT_EQ(0u, ink.Canvas().At(70, 60)) << "the inside stays empty";
  const PixelRect taken = ink.CancelShape();
  EXPECT_FALSE(taken.Empty());
  EXPECT_FALSE(ink.ShapeFollowing());
  EXPECT_EQ(before, Pixels());
  ink.EndStep();
  EXPECT_EQ(1u, ink.Steps().UndoCount()) << "a cancelled shape is no step";

  // Each kind draws through its ends; the arrow's head is filled.
  for (overlay::ShapeKind kind : {overlay::ShapeKind::Line, overlay::ShapeKind::Arrow, overlay::ShapeKind::Ellipse}) {
    ink.BeginShape(kind, {30, 40});
    ink.FollowShape({270, 160}, pen);
    ink.EndStep();
  }
  EXPECT_EQ(4u, ink.Steps().UndoCount());
  EXPECT_EQ(kOpaqueRed, ink.Canvas().At(30, 100)) << "the ellipse's left end";
  EXPECT_EQ(kOpaqueRed, ink.Canvas().At(150, 160)) << "the ellipse's bottom";
  EXPECT_EQ(kOpaqueRed, ink.Canvas().At(262, 152)) << "inside the arrow's head, beside the shaft's end";
  for (int i = 0; i < 3; ++i) ink.Undo();
  EXPECT_EQ(before, Pixels());
}

TEST_F(LiveInkTest, TheEraserDragIsOneStepAndCtrlEClearsAsOneStepOnlyWhenThereIsInk) {
  EXPECT_TRUE(ink.ClearAll().Empty()) << "nothing to clear";
  EXPECT_EQ(0u, ink.Steps().UndoCount());
  ink.StrokeDot({20, 100}, pen);
  ink.StrokeTo({280, 100}, pen);
  ink.EndStep();
  const std::vector<uint32_t> stroke = Pixels();

  // Two squares far apart, as a quick hand's moves come: the band between them goes too.
  ink.EraseSquare({100 - 16, 84, 32});
  ink.EraseSquare({160 - 16, 84, 32});
  ink.EndStep();
  EXPECT_EQ(2u, ink.Steps().UndoCount());
  for (int x = 84; x < 176; ++x) ASSERT_EQ(0u, ink.Canvas().At(x, 100)) << x;
  EXPECT_EQ(kOpaqueRed, ink.Canvas().At(200, 100));
  EXPECT_EQ(kOpaqueRed, ink.Canvas().At(60, 100));

  EXPECT_EQ((PixelRect{0, 0, 300, 200}), ink.ClearAll());
  EXPECT_FALSE(ink.Canvas().HasInk());
  EXPECT_EQ(3u, ink.Steps().UndoCount());
  ink.Undo();
  ink.Undo();
  EXPECT_EQ(stroke, Pixels());
}

// --- Frames ------------------------------------------------------------------------------------------

TEST(LiveFrames, AtMostOneFrameAFrameTheFirstAtOnceTheRestJoinedAfterTheWait) {
  overlay::LiveFrames frames(16);
  EXPECT_EQ(overlay::LiveFrames::Next::Nothing, frames.Changed({}, 0));
  EXPECT_EQ(overlay::LiveFrames::Next::PresentNow, frames.Changed({10, 10, 20, 20}, 100));
  EXPECT_EQ((PixelRect{10, 10, 20, 20}), frames.TakeFrame(100));
  // Three moves within the next frame: one wait, for the rest of the frame, then one area.
  EXPECT_EQ(overlay::LiveFrames::Next::Wait, frames.Changed({30, 30, 40, 40}, 104));
  EXPECT_DOUBLE_EQ(12, frames.WaitMs());
  EXPECT_EQ(overlay::LiveFrames::Next::Waiting, frames.Changed({50, 0, 60, 5}, 109));
  EXPECT_EQ(overlay::LiveFrames::Next::Waiting, frames.Changed({0, 50, 5, 60}, 115));
  EXPECT_TRUE(frames.Pending());
  // A move after the wait is over goes out at once, whether or not the timer has come.
  EXPECT_EQ(overlay::LiveFrames::Next::PresentNow, frames.Changed({0, 50, 5, 60}, 117));
  EXPECT_EQ((PixelRect{0, 0, 60, 60}), frames.TakeFrame(117));
  EXPECT_FALSE(frames.Pending());
  EXPECT_TRUE(frames.TakeFrame(118).Empty()) << "nothing new";
  // A change a frame or more after the last goes out at once.
  EXPECT_EQ(overlay::LiveFrames::Next::PresentNow, frames.Changed({1, 1, 2, 2}, 140));
  frames.Reset();
  EXPECT_FALSE(frames.Pending());
  EXPECT_EQ(overlay::LiveFrames::Next::PresentNow, frames.Changed({1, 1, 2, 2}, 141)) << "after a reset, at once";
}

}  // namespace
