// The arrow's head, and the boxes an outline can touch (what comes back under an outline that
// moves, and what goes to the screen). Which keys draw which shape, and the head's length at
// each width, are seen on the screen in shapes_test.cpp.
#include "overlay/shape_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using overlay::PixelRect;
using overlay::PointI;
using overlay::ShapeKind;

namespace {

double Distance(PointI a, PointI b) { return std::hypot(a.x - b.x, a.y - b.y); }

TEST(ArrowHead, FourTimesTheWidthLongAtLeastTwelveAsWideAsLongWithItsTipAtThePointer) {
  // Straight to the right: the tip at the pointer, the base 80 back, 80 wide.
  const overlay::ArrowParts right = overlay::ArrowFor({100, 300}, {500, 300}, 20);
  EXPECT_EQ((PointI{500, 300}), right.head[0]);
  EXPECT_EQ(420, right.head[1].x);
  EXPECT_EQ(420, right.head[2].x);
  EXPECT_EQ(80, std::abs(right.head[1].y - right.head[2].y));
  EXPECT_TRUE(right.hasShaft);
  EXPECT_EQ((PointI{100, 300}), right.shaftFrom);
  EXPECT_EQ(300, right.shaftTo.y) << "the shaft ends just inside the head, on the arrow's line";
  EXPECT_GE(right.shaftTo.x, 421);
  EXPECT_LE(right.shaftTo.x, 426);

  // Any direction: the same head, turned, and the shaft's end as near the arrow's line as a
  // whole pixel there can be (within a tenth of a pixel for this one).
  const overlay::ArrowParts diagonal = overlay::ArrowFor({900, 100}, {600, 500}, 5);
  const PointI end = diagonal.shaftTo;
  EXPECT_LT(std::abs((end.x - 900) * 400.0 - (end.y - 100) * -300.0) / 500, 0.1) << end.x << "," << end.y;
  const double depth = Distance(end, {900, 100}) - 480;
  EXPECT_GE(depth, 1);
  EXPECT_LE(depth, 6.1);
  EXPECT_EQ((PointI{600, 500}), diagonal.head[0]);
  const double sides = Distance(diagonal.head[0], diagonal.head[1]);
  EXPECT_NEAR(sides, Distance(diagonal.head[0], diagonal.head[2]), 1.5);
  EXPECT_NEAR(20, Distance(diagonal.head[1], diagonal.head[2]), 1.5);
  EXPECT_NEAR(std::hypot(20, 10), sides, 1.5);

  // Shorter than its head: no shaft, and the head as long as the arrow.
  const overlay::ArrowParts stub = overlay::ArrowFor({100, 100}, {100, 130}, 20);
  EXPECT_FALSE(stub.hasShaft);
  EXPECT_EQ((PointI{100, 130}), stub.head[0]);
  EXPECT_EQ(100, stub.head[1].y);
  EXPECT_EQ(30, std::abs(stub.head[1].x - stub.head[2].x));
}

bool Inside(const std::vector<PixelRect>& boxes, int x, int y) {
  for (const PixelRect& b : boxes)
    if (x >= b.left && x < b.right && y >= b.top && y < b.bottom) return true;
  return false;
}

long long TotalArea(const std::vector<PixelRect>& boxes) {
  long long area = 0;
  for (const PixelRect& b : boxes) area += b.Area();
  return area;
}

// Every pixel within half the width and one pixel of the points is inside the boxes.
void ExpectCovered(const std::vector<PixelRect>& boxes, const std::vector<overlay::PointD>& outline, int width) {
  const int reach = width / 2 + 1;
  for (const overlay::PointD& p : outline) {
    for (int dy = -reach; dy <= reach; ++dy)
      for (int dx = -reach; dx <= reach; ++dx)
        if (dx * dx + dy * dy <= reach * reach) {
          const int x = static_cast<int>(std::lround(p.x)) + dx, y = static_cast<int>(std::lround(p.y)) + dy;
          ASSERT_TRUE(Inside(boxes, x, y)) << x << "," << y << " width " << width;
        }
  }
}

std::vector<overlay::PointD> Segment(overlay::PointD a, overlay::PointD b) {
  std::vector<overlay::PointD> points;
  const int n = static_cast<int>(std::hypot(b.x - a.x, b.y - a.y)) + 1;
  for (int i = 0; i <= n; ++i) points.push_back({a.x + (b.x - a.x) * i / n, a.y + (b.y - a.y) * i / n});
  return points;
}

TEST(OutlineArea, HoldsEveryPixelTheOutlineCanTouchInThinBoxes) {
  for (int width : {1, 20}) {
    // A diagonal across the screen: its boxes hold the line and are a small part of the box
    // around it.
    const auto line = overlay::OutlineArea(ShapeKind::Line, {10, 10}, {1900, 1070}, width);
    ExpectCovered(line, Segment({10, 10}, {1900, 1070}), width);
    EXPECT_LT(TotalArea(line), 1890LL * 1060 / 5);

    // A rectangle given by any two opposite corners: four strips along its sides.
    const auto rect = overlay::OutlineArea(ShapeKind::Rectangle, {1500, 900}, {100, 50}, width);
    for (auto side : {Segment({100, 50}, {1500, 50}), Segment({1500, 50}, {1500, 900}),
                      Segment({1500, 900}, {100, 900}), Segment({100, 900}, {100, 50})}) {
      ExpectCovered(rect, side, width);
    }
    EXPECT_FALSE(Inside(rect, 800, 475)) << "the middle of the rectangle is not part of its outline";

    // The ellipse inscribed in that rectangle.
    const auto ellipse = overlay::OutlineArea(ShapeKind::Ellipse, {100, 50}, {1500, 900}, width);
    std::vector<overlay::PointD> curve;
    for (int i = 0; i < 4000; ++i) {
      const double t = i * 2 * 3.14159265358979 / 4000;
      curve.push_back({800 + 700 * std::cos(t), 475 + 425 * std::sin(t)});
    }
    ExpectCovered(ellipse, curve, width);
    EXPECT_LT(TotalArea(ellipse), 1400LL * 850 / 3);

    // The arrow: its shaft and its head.
    const auto arrowBoxes = overlay::OutlineArea(ShapeKind::Arrow, {200, 800}, {1200, 300}, width);
    const overlay::ArrowParts arrow = overlay::ArrowFor({200, 800}, {1200, 300}, width);
    ExpectCovered(arrowBoxes, Segment({200, 800}, {double(arrow.shaftTo.x), double(arrow.shaftTo.y)}), width);
    for (const PointI& corner : arrow.head) ASSERT_TRUE(Inside(arrowBoxes, corner.x, corner.y));
    for (const PointI& corner : arrow.head)
      ExpectCovered(arrowBoxes,
                    Segment({double(corner.x), double(corner.y)}, {double(arrow.head[0].x), double(arrow.head[0].y)}),
                    2);
  }
  // A shape of no size touches nothing.
  EXPECT_TRUE(overlay::OutlineArea(ShapeKind::Rectangle, {5, 5}, {5, 5}, 20).empty());
}

TEST(MergeBoxes, AnOutlineAndTheOneItReplacesBecomeOneBoxPerSideWhileFarBoxesStayApart) {
  // A rectangle's outline moved by a few pixels: eight strips, four boxes.
  std::vector<PixelRect> both = overlay::OutlineArea(ShapeKind::Rectangle, {10, 10}, {1900, 1060}, 20);
  const auto moved = overlay::OutlineArea(ShapeKind::Rectangle, {10, 10}, {1896, 1063}, 20);
  both.insert(both.end(), moved.begin(), moved.end());
  const std::vector<PixelRect> merged = overlay::MergeBoxes(both);
  EXPECT_EQ(4u, merged.size());
  for (const PixelRect& b : both)
    for (int y = b.top; y < b.bottom; y += 7)
      for (int x = b.left; x < b.right; x += 7) ASSERT_TRUE(Inside(merged, x, y));
  EXPECT_LE(TotalArea(merged), TotalArea(both));

  const std::vector<PixelRect> apart{{0, 0, 10, 10}, {500, 500, 510, 510}, {}};
  EXPECT_EQ((std::vector<PixelRect>{{0, 0, 10, 10}, {500, 500, 510, 510}}), overlay::MergeBoxes(apart));
}

}  // namespace
