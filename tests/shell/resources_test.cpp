// The resources scrivane.exe carries, read back from this test program's own image (it links the
// same resource object): the two multi-size icons, the splash picture and the manifest.
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
#include "support/test_support.h"

namespace {

constexpr uint32_t kWhite = 0x00FFFFFF;

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
    const testing_support::ScreenImage onWhite = testing_support::DrawIconOver(icon.Get(), kWhite, 32, 16);
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
