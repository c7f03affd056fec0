// The resources scrivane.exe carries, read back from this test program's own image (it links the
// same resource object): the two icons as the shell draws them, and what only the resource shows
// (the 256-colour images, the manifest). The splash picture is looked at on the screen, where the
// splash shows it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
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

// The program icon carries its four sizes in 256 colours as well as in 32-bit colour: a desktop in
// 256 colours (a remote session set that low) takes the 8-bit images, which nothing drawn here
// would show. Reads the group and checks every image it names against its own bitmap header; returns the
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

// The icons as the shell draws them, at every size it asks for between 96 and 192 dpi (the
// notification area's 16 to 32 pixels, a window's caption, a large-icon list's 48): the picture
// covers most of its box and nothing beyond it, and where it is opaque it looks the same over a
// light and a dark taskbar (a mask that let the background through would change it). An image that
// came back empty would be an invisible notification-area icon.
TEST(ProgramIcons, DrawnAtEverySizeTheShellAsksForFillTheirBoxOverLightAndDark) {
  constexpr uint32_t kBlack = 0x000000;
  for (int id : {IDI_SCRIVANE, IDI_MAGNIFIER}) {
    for (int size : {16, 20, 24, 32, 40, 48}) {
      base::unique_hicon icon(static_cast<HICON>(
          ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0)));
      ASSERT_TRUE(icon) << id << " at " << size;
      const int canvas = size + 8;
      const testing_support::ScreenImage onWhite = testing_support::DrawIconOver(icon.Get(), kWhite, canvas, size);
      const testing_support::ScreenImage onBlack = testing_support::DrawIconOver(icon.Get(), kBlack, canvas, size);
      int opaqueAlike = 0, beyond = 0;
      for (int y = 0; y < canvas; ++y)
        for (int x = 0; x < canvas; ++x) {
          const bool painted = onWhite.At(x, y) != kWhite && onBlack.At(x, y) != kBlack;
          if (x >= size || y >= size) {
            beyond += onWhite.At(x, y) != kWhite || onBlack.At(x, y) != kBlack;
          } else if (painted && onWhite.At(x, y) == onBlack.At(x, y)) {
            ++opaqueAlike;
          }
        }
      EXPECT_GT(opaqueAlike, size * size * 2 / 5) << id << " at " << size << ": too little of the picture shows";
      EXPECT_EQ(beyond, 0) << id << " at " << size << ": drawn beyond its box";
    }
  }
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
