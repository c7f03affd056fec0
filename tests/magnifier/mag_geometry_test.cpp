#include <gtest/gtest.h>

#include <ostream>

#include "magnifier/mag_geometry.h"

namespace magnifier {
// Readable failures.
std::ostream& operator<<(std::ostream& os, const Size& s) { return os << s.width << "x" << s.height; }
std::ostream& operator<<(std::ostream& os, const Point& p) { return os << "(" << p.x << ", " << p.y << ")"; }
}  // namespace magnifier

using magnifier::Point;
using magnifier::Rect;
using magnifier::Size;

namespace {

const Rect kScreen{0, 0, 1920, 1080};

TEST(MagnifierSourceSize, IsTheViewDividedByTheZoomRoundedHalvesToEven) {
  EXPECT_EQ((Size{213, 120}), magnifier::SourceSize({640, 360}, 3));
  EXPECT_EQ((Size{128, 72}), magnifier::SourceSize({640, 360}, 5));
  EXPECT_EQ((Size{640, 360}), magnifier::SourceSize({640, 360}, 1));
  // 641 / 2 = 320.5 goes down to even, 643 / 2 = 321.5 goes up to even.
  EXPECT_EQ((Size{320, 322}), magnifier::SourceSize({641, 643}, 2));
  // 10 / 4 = 2.5 -> 2, 14 / 4 = 3.5 -> 4.
  EXPECT_EQ((Size{2, 4}), magnifier::SourceSize({10, 14}, 4));
  EXPECT_EQ((Size{267, 167}), magnifier::SourceSize({800, 500}, 3));
}

TEST(MagnifierSourceOrigin, CentresTheAreaOnTheCursorInTheMiddleOfTheScreen) {
  const Size grab{213, 120};
  // 213 / 2 = 106.5 rounds to 106.
  EXPECT_EQ((Point{854, 480}), magnifier::SourceOrigin({960, 540}, kScreen, grab));
  EXPECT_EQ((Point{1094, 740}), magnifier::SourceOrigin({1200, 800}, kScreen, grab));
  // 215 / 2 = 107.5 rounds to 108, 121 / 2 = 60.5 to 60.
  EXPECT_EQ((Point{852, 480}), magnifier::SourceOrigin({960, 540}, kScreen, {215, 121}));
}

TEST(MagnifierSourceOrigin, StopsAtEachEdgeAndCornerShiftedInwardNotCut) {
  const Size grab{213, 120};
  const int right = 1920 - 213;
  const int bottom = 1080 - 120;
  EXPECT_EQ((Point{0, 480}), magnifier::SourceOrigin({5, 540}, kScreen, grab));          // left
  EXPECT_EQ((Point{right, 480}), magnifier::SourceOrigin({1915, 540}, kScreen, grab));   // right
  EXPECT_EQ((Point{854, 0}), magnifier::SourceOrigin({960, 3}, kScreen, grab));          // top
  EXPECT_EQ((Point{854, bottom}), magnifier::SourceOrigin({960, 1079}, kScreen, grab));  // bottom
  EXPECT_EQ((Point{0, 0}), magnifier::SourceOrigin({0, 0}, kScreen, grab));
  EXPECT_EQ((Point{right, 0}), magnifier::SourceOrigin({1919, 0}, kScreen, grab));
  EXPECT_EQ((Point{0, bottom}), magnifier::SourceOrigin({0, 1079}, kScreen, grab));
  EXPECT_EQ((Point{right, bottom}), magnifier::SourceOrigin({1919, 1079}, kScreen, grab));
  // Exactly at the limit nothing moves.
  EXPECT_EQ((Point{0, 0}), magnifier::SourceOrigin({106, 60}, kScreen, grab));
  EXPECT_EQ((Point{right, bottom}), magnifier::SourceOrigin({right + 106, bottom + 60}, kScreen, grab));

  // Wherever the cursor is on the screen, the whole area lies on the screen.
  for (int y = 0; y < 1080; y += 7) {
    for (int x = 0; x < 1920; x += 11) {
      const Point o = magnifier::SourceOrigin({x, y}, kScreen, grab);
      ASSERT_TRUE(o.x >= 0 && o.x + grab.width <= 1920 && o.y >= 0 && o.y + grab.height <= 1080)
          << "cursor " << x << "," << y;
    }
  }
}

TEST(MagnifierSourceOrigin, ClampsToAScreenThatDoesNotStartAtZero) {
  // A screen rectangle left of and above the primary one.
  const Rect screen{-1280, -200, 0, 824};
  const Size grab{100, 50};
  EXPECT_EQ((Point{-1280, -200}), magnifier::SourceOrigin({-1279, -190}, screen, grab));
  EXPECT_EQ((Point{-100, 774}), magnifier::SourceOrigin({-1, 823}, screen, grab));
  EXPECT_EQ((Point{-690, 275}), magnifier::SourceOrigin({-640, 300}, screen, grab));
}

TEST(MagnifierSourceOrigin, AtZoomOneAViewWiderThanTheScreenStartsLeftOfIt) {
  // The upper clamp comes last and wins: the area starts at screen right - width, before 0.
  const Size grab{2000, 1100};
  EXPECT_EQ((Point{-80, -20}), magnifier::SourceOrigin({960, 540}, kScreen, grab));
  EXPECT_EQ((Point{-80, -20}), magnifier::SourceOrigin({0, 0}, kScreen, grab));
  EXPECT_EQ((Point{-80, -20}), magnifier::SourceOrigin({1919, 1079}, kScreen, grab));
  // Wider only: the height still clamps normally.
  EXPECT_EQ((Point{-80, 0}), magnifier::SourceOrigin({960, 10}, kScreen, {2000, 120}));
}

TEST(MagnifierViewSize, FollowsTheRealTwipsPerPixel) {
  // At 96 dpi a 646 x 380 window is 9690 x 5700 twips and the view is the window's size.
  EXPECT_EQ((Size{646, 380}), magnifier::ViewSizeForWindow(646 * 15.0, 380 * 15.0, 96));
  // At 150 % scaling (10 twips a pixel) the view still covers the whole window; a fixed 15 would
  // make it 646 x 380, two thirds of it.
  EXPECT_EQ((Size{969, 570}), magnifier::ViewSizeForWindow(969 * 10.0, 570 * 10.0, 144));
  // 120 dpi: 12 twips a pixel; 200 %: 7.5.
  EXPECT_EQ((Size{800, 450}), magnifier::ViewSizeForWindow(800 * 12.0, 450 * 12.0, 120));
  EXPECT_EQ((Size{1291, 761}), magnifier::ViewSizeForWindow(1291 * 7.5, 761 * 7.5, 192));
}

TEST(MagnifierWindowSize, IsAThirdOfTheScreenEachWay) {
  EXPECT_EQ((Size{640, 360}), magnifier::InitialWindowSize({1920, 1080}));
  EXPECT_EQ((Size{455, 256}), magnifier::InitialWindowSize({1366, 768}));
  EXPECT_EQ((Size{853, 480}), magnifier::InitialWindowSize({2560, 1440}));
}

}  // namespace
