// The real scrivane.exe with its Drawings folder on a disk that is really full: drive T: is a
// 2 MB tmpfs that full-disk.sh mounts and links into the test prefix, and the Drawings folder is
// linked to it and the rest of it filled.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "support/test_support.h"

using namespace e2e;
using namespace testing_support;

namespace {

// Fills what is left of the disk at `root` with one file; true once a write fails for want of room.
bool FillDisk(const std::wstring& root) {
  HANDLE f = ::CreateFileW((root + L"filler.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  std::vector<char> block(64 * 1024, 'x');
  DWORD error = ERROR_SUCCESS;
  for (int i = 0; i < 1024 && error == ERROR_SUCCESS; ++i) {
    DWORD written = 0;
    if (!::WriteFile(f, block.data(), static_cast<DWORD>(block.size()), &written, nullptr)) error = ::GetLastError();
    // Wine writes what fits and reports success; the next write says the disk is full.
    if (written == 0 && error == ERROR_SUCCESS) error = ERROR_DISK_FULL;
  }
  ::CloseHandle(f);
  return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

class FullDiskE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* drive = std::getenv("SCRIVANE_FULL_DISK");
    if (!drive || !*drive) GTEST_SKIP() << "no full disk prepared: run through full-disk.sh";
    root = std::wstring(drive, drive + std::strlen(drive)) + L"\\";
    folder = DrawingsFolder();
    // The Drawings folder becomes a link to the full disk; full-disk.sh takes the link away with it.
    // Its parent is made first: Wine names a Unix path only for a folder whose parent is there.
    const std::wstring parent = folder.substr(0, folder.find_last_of(L'\\'));
    ::CreateDirectoryW(parent.c_str(), nullptr);
    const std::string unixFolder = UnixPath(folder);
    ASSERT_FALSE(unixFolder.empty());
    ASSERT_TRUE(RunUnix("rm -rf '" + unixFolder + "' && ln -s '" + UnixPath(root) + "' '" + unixFolder + "'"));
    ASSERT_TRUE(WaitUntil([&] { return ::GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES; }, 5000));
    ASSERT_TRUE(FillDisk(root)) << "the disk did not fill";
    ASSERT_TRUE(FreshSettings({{"color", "255"}}));
  }
  void TearDown() override {
    app.Kill();
    DeleteScrivaneKeys();
    if (!folder.empty()) RunUnix("rm -f '" + UnixPath(folder) + "'");
  }
  std::wstring root;
  std::wstring folder;
  App app;
};

TEST_F(FullDiskE2e, ExitWithADrawingThatCannotBeKeptSaysSoBeforeTheProcessEnds) {
  ASSERT_TRUE(StartUntilHandOff(app));
  PatternWindow pattern;
  TypeChord({VK_CONTROL, VK_SHIFT, 'Z'});
  HWND overlay = app.WaitFor(kOverlay, 5000);
  ASSERT_NE(nullptr, overlay);
  ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == overlay; }, 15000));
  const ScreenImage before = CaptureScreen();
  Drag(100, 300, 900, 340, 12);
  // There is a drawing to keep: the stroke is on the screen.
  ASSERT_TRUE(WaitUntil([&] { return CountDifferences(before, CaptureScreen()) > 1000; }, 15000));
  // Exit while the drawing is on the screen: the icon goes first, the drawing is kept after.
  ASSERT_TRUE(ChooseFromTrayMenu(app, /*last=*/true));
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (box = app.MessageBox()) != nullptr; }, 20000)) << "nothing was said";
  const std::wstring text = MessageBoxText(box);
  // "The drawing could not be kept in <folder>: <the system's reason>".
  EXPECT_EQ(0u, text.find(L"The drawing could not be kept in " + folder + L": ")) << std::string(text.begin(), text.end());
  EXPECT_EQ(0, CountTrayIcons());
  EXPECT_TRUE(app.Running()) << "the process waits until the message has been read";
  DismissMessageBox(box);
  const auto code = app.WaitForExit(10000);
  ASSERT_TRUE(code.has_value()) << "still running after the message was read";
  EXPECT_EQ(0u, *code);
  EXPECT_TRUE(PngsIn(folder).empty());
}

}  // namespace
