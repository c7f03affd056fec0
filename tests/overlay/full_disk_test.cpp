// Saving the screen onto a disk that is really full: drive T: is a 2 MB tmpfs that full-disk.sh
// mounts and links into the test prefix, far too small for a full-screen bitmap.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/text.h"
#include "imaging/picture_file.h"
#include "overlay/ss.h"
#include "overlay_steps.h"
#include "support/dialog_user.h"
#include "support/picture_support.h"
#include "support/test_app.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

class FullDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* drive = std::getenv("SCRIVANE_FULL_DISK");
    if (!drive || !*drive) GTEST_SKIP() << "no full disk prepared: run through full-disk.sh";
    root_ = base::Widen(drive) + L"\\";
  }
  void TearDown() override {
    if (App().overlay.IsLoaded()) App().overlay.Unload();
    Pump(100);
  }
  std::wstring root_;
};

TEST_F(FullDiskTest, ASaveThatDoesNotFitKeepsTheOldFileByteForByteAndSaysWhy) {
  // An earlier picture on the disk, small enough to fit.
  const std::wstring name = root_ + L"old.bmp";
  imaging::SavePictureAsBmp(*PatternPicture(160, 120, 3), name);
  const std::vector<uint8_t> old = ReadBytes(name);
  ASSERT_FALSE(old.empty());

  EnterPresentationMode();
  ss& o = App().overlay;
  const base::Picture p1 = o.Picture1.GetPicture();
  const base::Picture p2 = o.Picture2.GetPicture();
  const std::wstring diskFull = base::Widen(base::SystemErrorText(ERROR_DISK_FULL));

  // Over the old file: the question whether to replace it, then the failure with its reason.
  {
    DialogUser user({{Act::EnterFileName, name}, {Act::Yes, L""}, {Act::Ok, L""}});
    EXPECT_EQ(base::kErrFileIo, ErrorNumberOf([&] { o.SaveScreenToFile(); }));
    user.Join();
    ASSERT_FALSE(user.timedOut);
    EXPECT_FALSE(user.unexpectedDialog) << "one message, and no success";
    ASSERT_EQ(3u, user.seen.size());
    EXPECT_EQ(L"Scrivane", user.seen[2].title);
    EXPECT_EQ(L"Could not save " + name + L": " + diskFull, user.seen[2].text);
  }
  EXPECT_EQ(old, ReadBytes(name));
  EXPECT_EQ(1, FilesIn(root_)) << "the part written is gone";

  // Under a new name: nothing is left on the disk either.
  const std::wstring fresh = root_ + L"new.bmp";
  {
    DialogUser user({{Act::EnterFileName, fresh}, {Act::Ok, L""}});
    EXPECT_EQ(base::kErrFileIo, ErrorNumberOf([&] { o.SaveScreenToFile(); }));
    user.Join();
    ASSERT_FALSE(user.timedOut);
    ASSERT_EQ(2u, user.seen.size());
    EXPECT_EQ(L"Could not save " + fresh + L": " + diskFull, user.seen[1].text);
  }
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(fresh.c_str()));
  EXPECT_EQ(1, FilesIn(root_));

  // The presentation is as it was.
  EXPECT_TRUE(o.IsVisible());
  EXPECT_EQ(p1, o.Picture1.GetPicture());
  EXPECT_EQ(p2, o.Picture2.GetPicture());
  ::DeleteFileW(name.c_str());
}

}  // namespace
