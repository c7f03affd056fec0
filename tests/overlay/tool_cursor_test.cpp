// The six cursors at the sizes the system asks for (32 at 100 %, 48 at 150 %, 64 at 200 %): where
// each image shows its tip or square, and that the pen, the highlighter and the eraser act exactly
// there.
#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>
#include <string>

#include "overlay/pen_geometry.h"
#include "overlay/tool_cursors.h"
#include "support/test_support.h"

using overlay::CursorKind;
using testing_support::DrawIconOver;
using testing_support::ScreenImage;

namespace {

constexpr uint32_t kWhite = 0x00FFFFFF;
constexpr uint32_t kBlack = 0x00000000;

// What a presenter sees at each scaling, written out: the tips and outlines at 32 are the ones
// the cursors have always had; at 48 and 64 they move with the art.
struct SizeCase {
  int size;
  POINT highlighterTip, penTip;
  RECT eraser8, eraser16, eraser24, eraser32;  // inclusive
};
void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.size << " px"; }

const SizeCase kSizes[] = {
    {32, {7, 27}, {6, 25}, {17, 17, 24, 24}, {16, 15, 31, 30}, {8, 8, 31, 31}, {0, 0, 31, 31}},
    {48, {10, 40}, {9, 38}, {26, 26, 37, 37}, {24, 22, 47, 45}, {12, 12, 47, 47}, {0, 0, 47, 47}},
    {64, {14, 54}, {12, 50}, {34, 34, 49, 49}, {32, 30, 63, 61}, {16, 16, 63, 63}, {0, 0, 63, 63}},
};

class ToolCursor : public ::testing::TestWithParam<SizeCase> {
 protected:
  int Size() const { return GetParam().size; }
  ScreenImage Draw(CursorKind kind, uint32_t background) {
    base::unique_hcursor cursor = overlay::MakeToolCursor(kind, Size());
    EXPECT_TRUE(cursor);
    return DrawIconOver(cursor.Get(), background, Size(), Size());
  }
};

TEST_P(ToolCursor, EveryCursorHasTheSizeItWasAskedForAndItsHotSpotAtTheCentre) {
  for (int k = 0; k < 6; ++k) {
    base::unique_hcursor cursor = overlay::MakeToolCursor(static_cast<CursorKind>(k), Size());
    ASSERT_TRUE(cursor) << k;
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(cursor.Get(), &info));
    base::unique_hbitmap mask(info.hbmMask), color(info.hbmColor);
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(static_cast<DWORD>(Size() / 2), info.xHotspot) << k;
    EXPECT_EQ(static_cast<DWORD>(Size() / 2), info.yHotspot) << k;
    EXPECT_EQ(Size(), overlay::CursorImageSize(cursor.Get())) << k;
  }
}

// A pen-like cursor lies on the diagonal with its tip at the lower left: the tip shows on white
// and on black, and no other pixel lies left of it, below it or as far out along the diagonal.
void ExpectDiagonalToolWithTip(const ScreenImage& onWhite, const ScreenImage& onBlack, int size, POINT tip) {
  EXPECT_NE(kWhite, onWhite.At(tip.x, tip.y)) << "tip invisible on white";
  EXPECT_NE(kBlack, onBlack.At(tip.x, tip.y)) << "tip invisible on black";
  int shown = 0, upperRight = 0, visibleOnWhite = 0, visibleOnBlack = 0, stray = 0;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const bool w = onWhite.At(x, y) != kWhite;
      const bool b = onBlack.At(x, y) != kBlack;
      visibleOnWhite += w;
      visibleOnBlack += b;
      if (!w && !b) continue;
      ++shown;
      if (x >= size * 3 / 4 && y <= size / 4) ++upperRight;
      const bool beyondTip = x < tip.x || y > tip.y || ((x != tip.x || y != tip.y) && y - x >= tip.y - tip.x);
      if (beyondTip && ++stray <= 5) ADD_FAILURE() << "pixel (" << x << "," << y << ") lies beyond the tip";
    }
  }
  EXPECT_GT(upperRight, 0) << "the tool does not reach the upper right";
  // Most of the tool stands out on either kind of slide (the black outline vanishes on black by
  // design; the light body inside it must not).
  EXPECT_GT(visibleOnWhite, shown * 3 / 4);
  EXPECT_GT(visibleOnBlack, shown / 2);
  EXPECT_GT(shown, size * size / 12);
}

TEST_P(ToolCursor, TheHighlighterAndThePenShowTheirTipsWhereTheyDraw) {
  ExpectDiagonalToolWithTip(Draw(CursorKind::Highlighter, kWhite), Draw(CursorKind::Highlighter, kBlack), Size(),
                            GetParam().highlighterTip);
  ExpectDiagonalToolWithTip(Draw(CursorKind::Pen, kWhite), Draw(CursorKind::Pen, kBlack), Size(), GetParam().penTip);
  // And that is where the stroke starts: the pointer's position moved by tip minus hot spot.
  const int hot = Size() / 2;
  const overlay::PointI pen = overlay::PenPoint(true, 500, 400, Size());
  EXPECT_EQ(500 + GetParam().penTip.x - hot, pen.x);
  EXPECT_EQ(400 + GetParam().penTip.y - hot, pen.y);
  const overlay::PointI marker = overlay::PenPoint(false, 500, 400, Size());
  EXPECT_EQ(500 + GetParam().highlighterTip.x - hot, marker.x);
  EXPECT_EQ(400 + GetParam().highlighterTip.y - hot, marker.y);
}

// An eraser cursor outlines its square: a dark line on the border (seen on white), a light line
// just inside it (seen on black), nothing anywhere else.
void ExpectOutline(const ScreenImage& onWhite, const ScreenImage& onBlack, int size, RECT r) {
  int wrong = 0;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const bool inSquare = x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
      const bool border = inSquare && (x == r.left || x == r.right || y == r.top || y == r.bottom);
      const bool inner =
          inSquare && !border && (x == r.left + 1 || x == r.right - 1 || y == r.top + 1 || y == r.bottom - 1);
      const bool ok = border  ? onWhite.At(x, y) != kWhite
                      : inner ? onBlack.At(x, y) != kBlack
                              : onWhite.At(x, y) == kWhite && onBlack.At(x, y) == kBlack;
      if (!ok && ++wrong <= 5) ADD_FAILURE() << "pixel (" << x << "," << y << ")";
    }
  }
  EXPECT_EQ(0, wrong);
}

TEST_P(ToolCursor, EachEraserOutlinesItsSquare) {
  const SizeCase& c = GetParam();
  ExpectOutline(Draw(CursorKind::Eraser8, kWhite), Draw(CursorKind::Eraser8, kBlack), Size(), c.eraser8);
  ExpectOutline(Draw(CursorKind::Eraser16, kWhite), Draw(CursorKind::Eraser16, kBlack), Size(), c.eraser16);
  ExpectOutline(Draw(CursorKind::Eraser24, kWhite), Draw(CursorKind::Eraser24, kBlack), Size(), c.eraser24);
  ExpectOutline(Draw(CursorKind::Eraser32, kWhite), Draw(CursorKind::Eraser32, kBlack), Size(), c.eraser32);
}

TEST_P(ToolCursor, TheEraserClearsTheSquareItsCursorShowsForTheSizesThatFillIt) {
  // Eraser 24 and 32 restore exactly their outlined square around the hot spot.
  const int hot = Size() / 2;
  for (auto [size, outline] : {std::pair{int16_t{24}, GetParam().eraser24}, std::pair{int16_t{32}, GetParam().eraser32}}) {
    const overlay::SquareI sq = overlay::EraserSquare(size, 500, 400, Size());
    EXPECT_EQ(500 + outline.left - hot, sq.left) << size;
    EXPECT_EQ(400 + outline.top - hot, sq.top) << size;
    EXPECT_EQ(outline.right - outline.left + 1, sq.side) << size;
  }
  // Sizes 8 and 16 start at the pointer, their side scaled like their outline's.
  EXPECT_EQ((overlay::SquareI{500, 400, GetParam().eraser8.right - GetParam().eraser8.left + 1}),
            overlay::EraserSquare(8, 500, 400, Size()));
  EXPECT_EQ((overlay::SquareI{500, 400, GetParam().eraser16.right - GetParam().eraser16.left + 1}),
            overlay::EraserSquare(16, 500, 400, Size()));
}

INSTANTIATE_TEST_SUITE_P(Sizes, ToolCursor, ::testing::ValuesIn(kSizes),
                         [](const auto& info) { return std::to_string(info.param.size) + "px"; });

}  // namespace
