// The resources scrivane.exe carries, read back from this test program's own image (it links the
// same resource object): the six cursors with their hot spot, tip and square outlines, the two
// multi-size icons, the splash picture and the manifest.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/handles.h"
#include "resources/resource_ids.h"

namespace {

constexpr int kSize = 32;
constexpr uint32_t kWhite = 0x00FFFFFF;
constexpr uint32_t kBlack = 0x00000000;

HCURSOR OwnCursor(int id) {
  return ::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
}

// An icon or cursor drawn with DrawIconEx at drawSize over a plain 32x32 background, as 0x00RRGGBB pixels, top-down.
struct Drawn {
  std::vector<uint32_t> px;
  uint32_t At(int x, int y) const { return px[static_cast<size_t>(y) * kSize + x]; }
};

Drawn DrawOver(HICON cursor, uint32_t background, int drawSize = kSize) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = kSize;
  bi.bmiHeader.biHeight = -kSize;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  base::unique_hdc dc(::CreateCompatibleDC(nullptr));
  base::unique_hbitmap dib(::CreateDIBSection(dc.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  Drawn out;
  if (!dc || !dib || !bits) {
    ADD_FAILURE() << "no DIB section";
    return out;
  }
  {
    base::SelectGuard select(dc.Get(), dib.Get());
    auto* p = static_cast<uint32_t*>(bits);
    for (int i = 0; i < kSize * kSize; ++i) p[i] = background;
    EXPECT_TRUE(::DrawIconEx(dc.Get(), 0, 0, cursor, drawSize, drawSize, 0, nullptr, DI_NORMAL));
    ::GdiFlush();
    out.px.assign(p, p + kSize * kSize);
  }
  for (auto& v : out.px) v &= 0x00FFFFFF;
  return out;
}

struct CursorCase {
  const char* name;
  int id;
};
void PrintTo(const CursorCase& c, std::ostream* os) { *os << c.name << " (" << c.id << ")"; }

class CursorResource : public ::testing::TestWithParam<CursorCase> {};

TEST_P(CursorResource, Is32By32WithItsHotSpotAtTheCentre) {
  HCURSOR cursor = OwnCursor(GetParam().id);
  ASSERT_NE(cursor, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(::GetIconInfo(cursor, &info));
  base::unique_hbitmap mask(info.hbmMask), color(info.hbmColor);
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 16u);
  EXPECT_EQ(info.yHotspot, 16u);
  BITMAP bm{};
  ASSERT_TRUE(::GetObjectW(mask.Get(), sizeof(bm), &bm));
  EXPECT_EQ(bm.bmWidth, kSize);
  // A mask without a colour image holds AND and XOR halves one above the other.
  EXPECT_EQ(bm.bmHeight, color ? kSize : 2 * kSize);
  if (color) {
    ASSERT_TRUE(::GetObjectW(color.Get(), sizeof(bm), &bm));
    EXPECT_EQ(bm.bmWidth, kSize);
    EXPECT_EQ(bm.bmHeight, kSize);
  }
}

INSTANTIATE_TEST_SUITE_P(All, CursorResource,
                         ::testing::Values(CursorCase{"Highlighter", IDC_HIGHLIGHTER}, CursorCase{"Pen", IDC_PEN},
                                           CursorCase{"Eraser8", IDC_ERASER8}, CursorCase{"Eraser16", IDC_ERASER16},
                                           CursorCase{"Eraser24", IDC_ERASER24}, CursorCase{"Eraser32", IDC_ERASER32}),
                         [](const auto& info) { return std::string(info.param.name); });

// A pen-like cursor lies on the diagonal with its tip at the lower left: the tip shows on white
// and on black, and no other pixel of the image lies left of it, below it, or as far out along
// the lower-left diagonal. Some of the tool reaches the upper right quarter.
void ExpectDiagonalToolWithTip(int id, int tipX, int tipY) {
  HCURSOR cursor = OwnCursor(id);
  ASSERT_NE(cursor, nullptr);
  Drawn onWhite = DrawOver(cursor, kWhite);
  Drawn onBlack = DrawOver(cursor, kBlack);
  ASSERT_EQ(onWhite.px.size(), static_cast<size_t>(kSize * kSize));
  ASSERT_EQ(onBlack.px.size(), static_cast<size_t>(kSize * kSize));

  EXPECT_NE(onWhite.At(tipX, tipY), kWhite) << "tip invisible on white";
  EXPECT_NE(onBlack.At(tipX, tipY), kBlack) << "tip invisible on black";

  int shown = 0, upperRight = 0, visibleOnWhite = 0, visibleOnBlack = 0;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      bool w = onWhite.At(x, y) != kWhite;
      bool b = onBlack.At(x, y) != kBlack;
      visibleOnWhite += w;
      visibleOnBlack += b;
      if (!w && !b) continue;
      ++shown;
      if (x >= 24 && y <= 8) ++upperRight;
      EXPECT_GE(x, tipX) << "pixel (" << x << "," << y << ") left of the tip";
      EXPECT_LE(y, tipY) << "pixel (" << x << "," << y << ") below the tip";
      if (x != tipX || y != tipY) {
        EXPECT_LT(y - x, tipY - tipX) << "pixel (" << x << "," << y << ") as far out as the tip";
      }
    }
  }
  EXPECT_GT(upperRight, 0) << "the tool does not reach the upper right";
  // Most of the tool must stand out on either kind of slide, not just a few pixels of it.
  // (The black outline vanishes on black by design; the light body inside it must not.)
  EXPECT_GT(visibleOnWhite, shown * 3 / 4);
  EXPECT_GT(visibleOnBlack, shown / 2);
  EXPECT_GT(shown, 80);
}

TEST(CursorShape, HighlighterTipAt7_27) { ExpectDiagonalToolWithTip(IDC_HIGHLIGHTER, 7, 27); }
TEST(CursorShape, PenTipAt6_25) { ExpectDiagonalToolWithTip(IDC_PEN, 6, 25); }

// An eraser cursor outlines exactly the square the eraser restores: a dark line on the square's
// border (seen on white), a light line just inside it (seen on black), nothing anywhere else.
void ExpectEraserOutline(int id, int left, int top, int right, int bottom) {
  HCURSOR cursor = OwnCursor(id);
  ASSERT_NE(cursor, nullptr);
  Drawn onWhite = DrawOver(cursor, kWhite);
  Drawn onBlack = DrawOver(cursor, kBlack);
  ASSERT_EQ(onWhite.px.size(), static_cast<size_t>(kSize * kSize));
  ASSERT_EQ(onBlack.px.size(), static_cast<size_t>(kSize * kSize));
  int wrong = 0;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      bool inSquare = x >= left && x <= right && y >= top && y <= bottom;
      bool border = inSquare && (x == left || x == right || y == top || y == bottom);
      bool innerLine = inSquare && !border &&
                       (x == left + 1 || x == right - 1 || y == top + 1 || y == bottom - 1);
      bool ok;
      if (border) {
        ok = onWhite.At(x, y) != kWhite;
      } else if (innerLine) {
        ok = onBlack.At(x, y) != kBlack;
      } else {
        ok = onWhite.At(x, y) == kWhite && onBlack.At(x, y) == kBlack;
      }
      if (!ok && ++wrong <= 10) {
        ADD_FAILURE() << "pixel (" << x << "," << y << ") " << (border ? "border" : innerLine ? "inner line" : "clear")
                      << ": on white " << std::hex << onWhite.At(x, y) << ", on black " << onBlack.At(x, y);
      }
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST(CursorShape, Eraser8OutlinesItsSquare) { ExpectEraserOutline(IDC_ERASER8, 17, 17, 24, 24); }
TEST(CursorShape, Eraser16OutlinesItsSquare) { ExpectEraserOutline(IDC_ERASER16, 16, 15, 31, 30); }
TEST(CursorShape, Eraser24OutlinesItsSquare) { ExpectEraserOutline(IDC_ERASER24, 8, 8, 31, 31); }
TEST(CursorShape, Eraser32OutlinesTheWholeImage) { ExpectEraserOutline(IDC_ERASER32, 0, 0, 31, 31); }

// Icon groups as stored: the directory, and the header of each image it names.
#pragma pack(push, 2)
struct GroupIconDir {
  WORD reserved;
  WORD type;
  WORD count;
};
struct GroupIconEntry {
  BYTE width;
  BYTE height;
  BYTE colorCount;
  BYTE reserved;
  WORD planes;
  WORD bitCount;
  DWORD bytesInRes;
  WORD id;
};
#pragma pack(pop)

struct IconImage {
  int size;
  int bits;
  bool operator<(const IconImage& o) const { return std::pair(size, bits) < std::pair(o.size, o.bits); }
};

const void* ResourceData(LPCWSTR name, LPCWSTR type, DWORD* bytes) {
  HMODULE self = ::GetModuleHandleW(nullptr);
  HRSRC res = ::FindResourceW(self, name, type);
  if (!res) return nullptr;
  *bytes = ::SizeofResource(self, res);
  HGLOBAL loaded = ::LoadResource(self, res);
  return loaded ? ::LockResource(loaded) : nullptr;
}

// Reads the group and checks every image it names against its own bitmap header; returns the
// sizes and depths found.
std::set<IconImage> IconImages(int groupId) {
  std::set<IconImage> found;
  DWORD bytes = 0;
  auto* dir = static_cast<const GroupIconDir*>(ResourceData(MAKEINTRESOURCEW(groupId), RT_GROUP_ICON, &bytes));
  if (!dir) {
    ADD_FAILURE() << "no icon group " << groupId;
    return found;
  }
  EXPECT_EQ(dir->type, 1);
  EXPECT_EQ(bytes, sizeof(GroupIconDir) + dir->count * sizeof(GroupIconEntry));
  auto* entries = reinterpret_cast<const GroupIconEntry*>(dir + 1);
  for (int i = 0; i < dir->count; ++i) {
    const GroupIconEntry& e = entries[i];
    DWORD imageBytes = 0;
    auto* image = static_cast<const BITMAPINFOHEADER*>(ResourceData(MAKEINTRESOURCEW(e.id), RT_ICON, &imageBytes));
    if (!image) {
      ADD_FAILURE() << "icon image " << e.id << " missing";
      continue;
    }
    int size = image->biWidth;
    EXPECT_EQ(imageBytes, e.bytesInRes);
    EXPECT_EQ(image->biHeight, 2 * size) << "image and mask";
    EXPECT_EQ(e.width, size);
    EXPECT_EQ(e.bitCount, image->biBitCount);
    EXPECT_EQ(image->biCompression, static_cast<DWORD>(BI_RGB));
    if (image->biBitCount == 8) {
      EXPECT_TRUE(image->biClrUsed == 0 || image->biClrUsed == 256);
    }
    found.insert({size, image->biBitCount});
  }
  return found;
}

TEST(ProgramIcon, HoldsFourSizesInBothDepths) {
  std::set<IconImage> want;
  for (int size : {48, 32, 24, 16})
    for (int bits : {8, 32}) want.insert({size, bits});
  std::set<IconImage> got = IconImages(IDI_SCRIVANE);
  EXPECT_EQ(got.size(), want.size());
  for (const auto& w : want) EXPECT_TRUE(got.count(w)) << w.size << "px " << w.bits << "-bit missing";
}

TEST(MagnifierIcon, HoldsAtLeast32And16InBothDepths) {
  std::set<IconImage> got = IconImages(IDI_MAGNIFIER);
  for (int size : {32, 16})
    for (int bits : {8, 32}) EXPECT_TRUE(got.count({size, bits})) << size << "px " << bits << "-bit missing";
}

// Loading an icon at a size picks that image; a 16-pixel icon that comes back empty (all mask,
// no colour) would be an invisible notification-area icon.
TEST(ProgramIcon, SmallImageLoadsAndIsNotBlank) {
  for (int id : {IDI_SCRIVANE, IDI_MAGNIFIER}) {
    base::unique_hicon icon(static_cast<HICON>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0)));
    ASSERT_TRUE(icon) << id;
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(icon.Get(), &info));
    base::unique_hbitmap mask(info.hbmMask), color(info.hbmColor);
    EXPECT_TRUE(info.fIcon);
    Drawn onWhite = DrawOver(icon.Get(), kWhite, 16);
    int painted = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) painted += onWhite.At(x, y) != kWhite;
    EXPECT_GT(painted, 100) << id;  // at least ~40% of the 256 pixels
    EXPECT_EQ(onWhite.At(20, 20), kWhite) << "drawn beyond 16x16";
  }
}

TEST(SplashPicture, Is400By300At24Bits) {
  DWORD bytes = 0;
  auto* info = static_cast<const BITMAPINFOHEADER*>(ResourceData(MAKEINTRESOURCEW(IDB_SPLASH), RT_BITMAP, &bytes));
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->biWidth, 400);
  EXPECT_EQ(std::abs(info->biHeight), 300);
  EXPECT_EQ(info->biBitCount, 24);
  EXPECT_GE(bytes, info->biSize + 400u * 3 * 300);

  base::unique_hbitmap bmp(static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_SPLASH),
                                                            IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  ASSERT_TRUE(bmp);
  DIBSECTION ds{};
  ASSERT_EQ(::GetObjectW(bmp.Get(), sizeof(ds), &ds), static_cast<int>(sizeof(ds)));
  EXPECT_EQ(ds.dsBm.bmWidth, 400);
  EXPECT_EQ(ds.dsBm.bmHeight, 300);
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 24);
}

// The splash window writes two small white notice lines near the lower-left corner: every pixel
// there must be dark enough for white text to read, and the picture elsewhere is not blank.
TEST(SplashPicture, LowerLeftCornerIsDarkForWhiteText) {
  DWORD bytes = 0;
  auto* info = static_cast<const BITMAPINFOHEADER*>(ResourceData(MAKEINTRESOURCEW(IDB_SPLASH), RT_BITMAP, &bytes));
  ASSERT_NE(info, nullptr);
  ASSERT_EQ(info->biBitCount, 24);
  ASSERT_EQ(info->biCompression, static_cast<DWORD>(BI_RGB));
  ASSERT_GT(info->biHeight, 0) << "expected bottom-up rows";
  const auto* bits = reinterpret_cast<const uint8_t*>(info) + info->biSize + info->biClrUsed * sizeof(RGBQUAD);
  const int stride = (400 * 3 + 3) & ~3;
  auto luma = [&](int x, int y) {
    const uint8_t* p = bits + static_cast<size_t>(299 - y) * stride + x * 3;  // B, G, R
    return (p[2] * 299 + p[1] * 587 + p[0] * 114) / 1000;
  };
  int brightest = 0;
  for (int y = 240; y < 300; ++y)
    for (int x = 0; x < 260; ++x) brightest = std::max(brightest, luma(x, y));
  EXPECT_LT(brightest, 90) << "white text would not read on the lower-left corner";
  int lit = 0;
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 400; ++x) lit += luma(x, y) > 200;
  EXPECT_GT(lit, 2000) << "no artwork";
}

// The manifest declares the program able to take paths past MAX_PATH: where the system allows
// long paths, the file functions then pass them through.
TEST(Manifest, DeclaresLongPathAwareness) {
  DWORD bytes = 0;
  const auto* data = static_cast<const char*>(ResourceData(MAKEINTRESOURCEW(1), RT_MANIFEST, &bytes));
  ASSERT_NE(data, nullptr);
  const std::string manifest(data, bytes);
  EXPECT_NE(std::string::npos,
            manifest.find("<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true"
                          "</longPathAware>"));
}

}  // namespace
