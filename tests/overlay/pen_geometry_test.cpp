#include <gtest/gtest.h>

#include "overlay/pen_geometry.h"

namespace {

TEST(PenGeometry, PenAndHighlighterActBelowAndLeftOfThePointer) {
  auto pen = overlay::PenPoint(true, 100, 200);
  EXPECT_EQ(90, pen.x);
  EXPECT_EQ(209, pen.y);
  auto hl = overlay::PenPoint(false, 100, 200);
  EXPECT_EQ(91, hl.x);
  EXPECT_EQ(211, hl.y);
  // The pen lands one pixel further left and two pixels higher than the highlighter.
  EXPECT_EQ(hl.x - 1, pen.x);
  EXPECT_EQ(hl.y - 2, pen.y);
}

TEST(PenGeometry, EraserSquaresByTheirSize) {
  struct Case {
    int16_t size;
    int left, top;
  } cases[] = {{8, 100, 100}, {16, 100, 100}, {24, 92, 92}, {32, 84, 84}, {0, 100, 100}, {12, 100, 100}};
  for (const auto& c : cases) {
    auto sq = overlay::EraserSquare(c.size, 100, 100);
    EXPECT_EQ(c.left, sq.left) << "size " << c.size;
    EXPECT_EQ(c.top, sq.top) << "size " << c.size;
    EXPECT_EQ(c.size, sq.side) << "size " << c.size;
  }
}

}  // namespace
