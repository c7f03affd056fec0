// Keeping drawings with the real overlay in this process and a keeper writing into a folder of
// the test's own: what is written, how many stay, and a disk that fills up.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "imaging/picture_file.h"
#include "overlay/keeping.h"
#include "overlay/ss.h"
#include "settings/app_settings.h"
#include "overlay_steps.h"
#include "support/picture_support.h"
#include "support/test_app.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

std::vector<std::wstring> PngsIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE h = ::FindFirstFileW((folder + L"\\*.png").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (::FindNextFileW(h, &found));
  ::FindClose(h);
  return names;
}

std::atomic<bool> g_diskFull{false};
// While set, every write waits for this event first: the keeper's thread stays on its first file.
std::atomic<HANDLE> g_writeGate{nullptr};
BOOL WINAPI MaybeFull(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED ov) {
  if (HANDLE gate = g_writeGate.load()) ::WaitForSingleObject(gate, 20000);
  if (!g_diskFull) return ::WriteFile(file, data, size, written, ov);
  *written = 0;
  ::SetLastError(ERROR_DISK_FULL);
  return FALSE;
}

class KeepingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App().AppSettings.color = static_cast<int32_t>(RGB(255, 0, 0));
    App().AppSettings.brushwidth = 10;
    folder = TempDir(L"keeping");
    for (const std::wstring& n : PngsIn(folder)) ::DeleteFileW((folder + L"\\" + n).c_str());
    keeper = std::make_unique<overlay::DrawingKeeper>(
        folder,
        [this](const std::wstring& text) {
          std::lock_guard<std::mutex> lock(mutex);
          reports.push_back(text);
        },
        overlay::DrawingKeeper::kKeepCount, &MaybeFull);
    App().overlay.History().Forget();
    App().overlay.History().SetKeeper(keeper.get());
  }
  void TearDown() override {
    if (App().overlay.IsLoaded()) App().overlay.Unload();
    App().overlay.History().SetKeeper(nullptr);
    App().overlay.History().Forget();
    if (HANDLE gate = g_writeGate.exchange(nullptr)) {
      ::SetEvent(gate);
      keeper.reset();
      ::CloseHandle(gate);
    }
    keeper.reset();
    g_diskFull = false;
  }
  // One presentation with a dot drawn through the surface as a stroke would draw it.
  void PresentAndDraw(int x, int y) {
    EnterPresentationMode();
    ss& o = App().overlay;
    o.TogglePen();  // the opaque pen: the highlighter leaves a black desktop black
    o.History().BeginChange();
    o.Picture1.PSet(x, y, RGB(255, 0, 0), 20);
    o.History().EndChange();
  }

  std::wstring folder;
  std::unique_ptr<overlay::DrawingKeeper> keeper;
  std::mutex mutex;
  std::vector<std::wstring> reports;
};

TEST_F(KeepingTest, ThePngHoldsThePictureAsShownLabelsIncludedAndNothingIsKeptWithoutAChange) {
  PatternWindow pattern;
  EnterPresentationMode();
  PressEsc();
  keeper->WaitUntilIdle();
  EXPECT_TRUE(PngsIn(folder).empty()) << "nothing drawn, nothing kept";

  PresentAndDraw(500, 500);
  ss& o = App().overlay;
  App().AppSettings.textfont = "Arial";
  App().AppSettings.textsize = 24;
  App().AppSettings.textcolor = static_cast<int32_t>(RGB(0, 0, 160));
  o.ArmTextPlacement();
  o.Picture1_MouseUp(1, 0, 480, 480);
  o.txtEdit.SetText(L"Kept\r\nwith its label");
  short ctrl = 17, c = 67;
  o.txtEdit_KeyDown(ctrl, 0);
  o.txtEdit_KeyUp(c, 0);
  Pump(300);
  const ScreenImage atEsc = CaptureScreen();
  PressEsc();
  keeper->WaitUntilIdle();
  const std::vector<std::wstring> kept = PngsIn(folder);
  ASSERT_EQ(1u, kept.size());
  EXPECT_TRUE(overlay::ParseKeptFileName(kept[0])) << std::string(kept[0].begin(), kept[0].end());
  EXPECT_EQ(0, CountDifferences(atEsc, PictureImage(imaging::LoadPictureFile(folder + L"\\" + kept[0]))));
}

TEST_F(KeepingTest, TheWriterWorksOnThePixelsOfEscThatNoLaterDrawingTouches) {
  PatternWindow pattern;
  // The first drawing's file is held at the write, so the second waits its turn in the queue
  // while the presenter undoes back into that presentation and draws over it.
  HANDLE gate = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(nullptr, gate);
  g_writeGate = gate;
  PresentAndDraw(300, 300);
  PressEsc();
  keeper->StartWriting();
  PresentAndDraw(500, 500);
  Pump(100);
  const ScreenImage atEsc = CaptureScreen();
  PressEsc();
  EnterPresentationMode();
  ss& o = App().overlay;
  ASSERT_TRUE(o.History().Undo());
  o.TogglePen();
  o.History().BeginChange();
  o.Picture1.PSet(520, 500, RGB(0, 0, 255), 60);
  o.History().EndChange();
  Pump(100);
  ASSERT_EQ(0x0000FFu, CaptureScreenRect(520, 500, 1, 1).At(520, 500));
  PressEsc();
  // Now the writer goes on.
  g_writeGate = nullptr;
  ::SetEvent(gate);
  keeper->WaitUntilIdle();
  ::CloseHandle(gate);
  std::vector<std::wstring> kept = PngsIn(folder);
  ASSERT_EQ(3u, kept.size());
  std::sort(kept.begin(), kept.end(), [](const std::wstring& a, const std::wstring& b) {
    auto x = overlay::ParseKeptFileName(a), y = overlay::ParseKeptFileName(b);
    return x->stamp != y->stamp ? x->stamp < y->stamp : x->number < y->number;
  });
  EXPECT_EQ(0, CountDifferences(atEsc, PictureImage(imaging::LoadPictureFile(folder + L"\\" + kept[1]))))
      << "the second presentation as it was at its Esc";
  EXPECT_EQ(0x0000FFu, PictureImage(imaging::LoadPictureFile(folder + L"\\" + kept[2])).At(520, 500));
}

TEST_F(KeepingTest, OnceTheOverlayHasGoneItsOwnIdleTimeStartsTheWriteWithNoOneWaitingForIt) {
  PresentAndDraw(400, 400);
  PressEsc();
  ASSERT_TRUE(PumpUntil([&] { return PngsIn(folder).size() == 1; }, 10000));
}

TEST_F(KeepingTest, SixtyPresentationsLeaveTheNewestFifty) {
  for (int i = 0; i < 60; ++i) {
    PresentAndDraw(100 + 25 * i, 300);
    PressEsc();
  }
  keeper->WaitUntilIdle();
  const std::vector<std::wstring> kept = PngsIn(folder);
  EXPECT_EQ(50u, kept.size());
  // Eleven or more in one second get numbers; the newest file holds the last presentation's dot.
  std::wstring newest = kept[0];
  for (const std::wstring& n : kept) {
    auto a = overlay::ParseKeptFileName(n), b = overlay::ParseKeptFileName(newest);
    ASSERT_TRUE(a);
    if (a->stamp > b->stamp || (a->stamp == b->stamp && a->number > b->number)) newest = n;
  }
  const ScreenImage last = PictureImage(imaging::LoadPictureFile(folder + L"\\" + newest));
  EXPECT_EQ(0xFF0000u, last.At(100 + 25 * 59, 300));
  EXPECT_NE(0xFF0000u, last.At(100 + 25 * 58 - 12, 300));
}

// A file of `name` in `folder`, last written `ago` (negative: in the future) 100-ns units ago.
void PutFileWritten(const std::wstring& folder, const std::wstring& name, int64_t ago) {
  const std::wstring path = folder + L"\\" + name;
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, f);
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const uint64_t t = ((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime) - ago;
  const FILETIME when{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
  ASSERT_TRUE(::SetFileTime(f, &when, &when, &when));
  ::CloseHandle(f);
}

TEST_F(KeepingTest, OnlyOurFilesArePrunedAndTheirTimesNotTheirNamesSayWhichAreOld) {
  constexpr int64_t kHour = 36000000000;
  // Left by a clock that stood a year ahead; from before summer time ended (02:30, then 02:10 an
  // hour later by the clock); and the user's own files, one of them old.
  PutFileWritten(folder, L"2027-10-01 09-00-00.png", -24 * 365 * kHour);
  PutFileWritten(folder, L"2026-10-20 10-00-00.png", 48 * kHour);
  PutFileWritten(folder, L"2026-10-25 02-30-00.png", 2 * kHour);
  PutFileWritten(folder, L"2026-10-25 02-10-00.png", 1 * kHour);
  PutFileWritten(folder, L"my slides.png", 24 * 400 * kHour);
  keeper = std::make_unique<overlay::DrawingKeeper>(folder, nullptr, 3);
  App().overlay.History().SetKeeper(keeper.get());
  PresentAndDraw(400, 400);
  PressEsc();
  keeper->WaitUntilIdle();
  std::vector<std::wstring> left = PngsIn(folder);
  const std::vector<std::wstring> put = {L"2026-10-25 02-10-00.png", L"2026-10-25 02-30-00.png", L"my slides.png"};
  std::vector<std::wstring> fresh;
  for (const std::wstring& n : left) {
    if (std::find(put.begin(), put.end(), n) == put.end()) fresh.push_back(n);
  }
  ASSERT_EQ(1u, fresh.size()) << "the new drawing, and no other file";
  EXPECT_TRUE(overlay::ParseKeptFileName(fresh[0]));
  EXPECT_EQ(4u, left.size()) << "the three put above stay";
}

TEST_F(KeepingTest, AFullDiskIsReportedOnceAndLosesNothingElse) {
  g_diskFull = true;
  PresentAndDraw(400, 400);
  PressEsc();
  PresentAndDraw(600, 400);
  PressEsc();
  keeper->WaitUntilIdle();
  EXPECT_TRUE(PngsIn(folder).empty());
  {
    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_EQ(1u, reports.size()) << "once, not at every presentation";
    EXPECT_NE(std::wstring::npos, reports[0].find(folder));
  }
  // The drawing is still there: the next presentation undoes back into it.
  EnterPresentationMode();
  ASSERT_TRUE(App().overlay.History().Undo());
  Pump(100);
  EXPECT_EQ(0xFF0000u, CaptureScreenRect(600, 400, 1, 1).At(600, 400));
  // With room again the next one is written, and a later failure is told again.
  g_diskFull = false;
  PressEsc();
  keeper->WaitUntilIdle();
  EXPECT_EQ(1u, PngsIn(folder).size());
  g_diskFull = true;
  PresentAndDraw(700, 400);
  PressEsc();
  keeper->WaitUntilIdle();
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_EQ(2u, reports.size());
}

}  // namespace
