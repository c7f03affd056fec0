// The overlay's picture commands end to end: the real Save As and Open dialogs and the real
// message boxes, answered by a helper thread as a user would.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <thread>

#include <wincodec.h>

#include "capture/fit_page.h"
#include "base/error.h"
#include "base/text.h"
#include "imaging/picture_file.h"
#include "overlay/pen_geometry.h"
#include "overlay/ss.h"
#include "settings/app_settings.h"
#include "overlay_steps.h"
#include "support/cursor_look.h"
#include "support/dialog_user.h"
#include "support/picture_support.h"
#include "support/test_app.h"
#include "support/test_support.h"

using namespace testing_support;

// Re-encodes a picture file as PNG with the imaging codecs' own encoder (below).
bool ConvertToPng(const std::wstring& from, const std::wstring& to);

namespace {

// --- Helpers ---------------------------------------------------------------------------------

std::wstring FullPath(const std::wstring& path) {
  wchar_t full[MAX_PATH * 2];
  ::GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
  return full;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The full path of `name` in the test's temporary folder `folder`.
std::wstring TempFile(const std::wstring& folder, const std::wstring& name) {
  return FullPath(TempDir(folder) + L"\\" + name);
}

class PictureCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ChoosePen(RGB(255, 0, 0), 10, 16);
  }
  void TearDown() override {
    ss& o = App().overlay;
    if (o.EraserOn()) o.ToggleEraser();
    if (o.IsLoaded()) o.Unload();
    o.SetPrinterFactory(nullptr);
    o.SetFileWriter(nullptr);
    Pump(100);
  }
  // A red stroke drawn with the pen across (200..700, 300).
  void DrawStroke() {
    ss& o = App().overlay;
    if (!o.PenMode()) o.TogglePen();
    o.Picture1.PSet(200, 300, RGB(255, 0, 0), 10);
    o.Picture1.LineTo(700, 300, RGB(255, 0, 0), 10);
    Pump(50);
  }
};

// --- Save ------------------------------------------------------------------------------------

TEST_F(PictureCommandsTest, SaveWritesTheScreenAsABmpConfirmsExactlyAndMakesTheGrabTheBackground) {
  PatternWindow pattern;
  EnterPresentationMode();
  ss& o = App().overlay;
  DrawStroke();
  const base::Picture cleanBefore = o.Picture2.GetPicture();
  const ScreenImage atTheKey = CaptureScreen();
  ASSERT_EQ(0xFF0000u, atTheKey.At(400, 300));

  const std::wstring dir = TempDir(L"cmd-save");
  const std::wstring typed = dir + L"\\shot";  // no extension: bmp is added
  DialogUser user({{Act::EnterFileName, typed}, {Act::Ok, L""}});
  o.SaveScreenToFile();
  user.Join();
  ASSERT_FALSE(user.timedOut);
  EXPECT_FALSE(user.unexpectedDialog);

  const std::wstring written = FullPath(typed + L".bmp");
  ASSERT_TRUE(Exists(written));
  ASSERT_EQ(2u, user.seen.size());
  EXPECT_EQ(L"Success", user.seen[1].title);
  EXPECT_EQ(L"Image successfully saved at \r\n" + written, user.seen[1].text);
  EXPECT_EQ(::LoadIconW(nullptr, IDI_EXCLAMATION), user.seen[1].icon);

  // The file holds the screen as it was at the key, at the screen's depth.
  base::Picture saved = imaging::LoadPictureFile(written);
  ASSERT_NE(nullptr, saved);
  EXPECT_EQ(0, CountDifferences(atTheKey, PictureImage(saved)));
  HDC screen = ::GetDC(nullptr);
  EXPECT_EQ(imaging::BmpBitsFor(::GetDeviceCaps(screen, BITSPIXEL)), ReadBytes(written)[28]);
  ::ReleaseDC(nullptr, screen);

  // The grab is the new background; the clean copy is the old one.
  EXPECT_EQ(o.Picture3.GetPicture(), o.Picture1.GetPicture());
  EXPECT_EQ(cleanBefore, o.Picture2.GetPicture());
  Pump(200);

  // Erasing reveals the background from before the save: the pattern, not the stroke.
  o.TogglePen();
  o.ToggleEraser();
  o.Picture1.CopyRectFrom(*o.Picture2.GetPicture(), 380, 280, 40, 40);
  EXPECT_EQ(PatternWindow::PatternColor(400, 300), ScreenPixelOnceItIs(400, 300, PatternWindow::PatternColor(400, 300)));
  // Clearing keeps the saved grab, stroke and all.
  o.ClearStrokes();
  EXPECT_EQ(0xFF0000u, ScreenPixelOnceItIs(400, 300, 0xFF0000u));
  EXPECT_EQ(0, ScreenDifferencesOnceNone(atTheKey));
  EXPECT_EQ(0, o.Picture1.CurrentPosition().x);
  EXPECT_EQ(0, o.Picture1.CurrentPosition().y);
  ::DeleteFileW(written.c_str());
}

TEST_F(PictureCommandsTest, ANameWithAnotherExtensionIsUsedAsTypedAndStillHoldsABmp) {
  EnterPresentationMode();
  const std::wstring name = TempFile(L"cmd-other-name", L"x.jpg");
  DialogUser user({{Act::EnterFileName, name}, {Act::Ok, L""}});
  App().overlay.SaveScreenToFile();
  user.Join();
  ASSERT_TRUE(Exists(name));
  EXPECT_FALSE(Exists(name + L".bmp"));
  std::vector<uint8_t> bytes = ReadBytes(name);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ('B', bytes[0]);
  EXPECT_EQ('M', bytes[1]);
  ::DeleteFileW(name.c_str());
}

TEST_F(PictureCommandsTest, ANameEndingInPngInAnyCaseHoldsAPngOfTheScreen) {
  PatternWindow pattern;
  EnterPresentationMode();
  DrawStroke();
  const std::wstring dir = TempDir(L"cmd-png-save");
  for (const wchar_t* file : {L"x.png", L"X.PNG"}) {
    // The message box of the save before has gone and the surface has painted again.
    ASSERT_TRUE(PumpUntil([] { return FindVisibleWindow(L"#32770", true) == nullptr; }));
    Pump(300);
    const ScreenImage atTheKey = CaptureScreen();
    const std::wstring name = FullPath(dir + L"\\" + file);
    DialogUser user({{Act::EnterFileName, name}, {Act::Ok, L""}});
    App().overlay.SaveScreenToFile();
    user.Join();
    ASSERT_EQ(2u, user.seen.size());
    EXPECT_EQ(L"Image successfully saved at \r\n" + name, user.seen[1].text);
    const std::vector<uint8_t> bytes = ReadBytes(name);
    const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_TRUE(std::equal(signature, signature + 8, bytes.begin())) << "a PNG signature in " << bytes.size() << " bytes";
    base::Picture back = imaging::LoadPictureFile(name);
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(0, CountDifferences(atTheKey, PictureImage(back)));
    ::DeleteFileW(name.c_str());
  }
  // The dialog offers PNG after the existing filter; the default extension stays bmp.
  EXPECT_EQ(L"All Files(*.*)|*.*|PNG Files(*.png)|*.png", App().overlay.CommonDialog1.filter);
  EXPECT_EQ(L"bmp", App().overlay.CommonDialog1.defaultExt);
}

TEST_F(PictureCommandsTest, CancelWritesNothingShowsNothingAndRaisesTheCancelError) {
  EnterPresentationMode();
  ss& o = App().overlay;
  const base::Picture p1 = o.Picture1.GetPicture();
  const base::Picture p2 = o.Picture2.GetPicture();
  const std::wstring dir = TempDir(L"cmd-cancel");
  DialogUser user({{Act::Cancel, L""}});
  EXPECT_EQ(base::kErrCancel, ErrorNumberOf([&] { o.SaveScreenToFile(); }));
  user.Join();
  EXPECT_FALSE(user.unexpectedDialog) << "no message after Cancel";
  EXPECT_EQ(0, FilesIn(dir));
  EXPECT_EQ(p1, o.Picture1.GetPicture());
  EXPECT_EQ(p2, o.Picture2.GetPicture());
  EXPECT_NE(nullptr, o.Picture3.GetPicture()) << "the grab stays in the scratch picture";

  // Cancelling the Open dialog is as quiet.
  DialogUser opener({{Act::Cancel, L""}});
  EXPECT_EQ(base::kErrCancel, ErrorNumberOf([&] { o.LoadPictureFromFile(); }));
  opener.Join();
  EXPECT_FALSE(opener.timedOut);
  EXPECT_FALSE(opener.unexpectedDialog) << "no message after Cancel";
  EXPECT_EQ(p1, o.Picture1.GetPicture());
  EXPECT_EQ(p2, o.Picture2.GetPicture());
}

TEST_F(PictureCommandsTest, ANonAnsiNameSavesAndLoadsThroughTheDialogs) {
  EnterPresentationMode();
  ss& o = App().overlay;
  const std::wstring name = TempFile(L"cmd-unicode", L"\u0417\u0430\u043c\u0435\u0442\u043a\u0438-\u5c4f\u5e55-\u03a9.bmp");
  {
    DialogUser user({{Act::EnterFileName, name}, {Act::Ok, L""}});
    o.SaveScreenToFile();
    user.Join();
    ASSERT_EQ(2u, user.seen.size());
    EXPECT_EQ(L"Image successfully saved at \r\n" + name, user.seen[1].text);
  }
  ASSERT_TRUE(Exists(name));
  o.cmdClear_Click();
  {
    DialogUser user({{Act::EnterFileName, name}});
    o.LoadPictureFromFile();
    user.Join();
    EXPECT_FALSE(user.unexpectedDialog);
  }
  ASSERT_NE(nullptr, o.Picture1.GetPicture());
  EXPECT_EQ(::GetSystemMetrics(SM_CXSCREEN), o.Picture1.GetPicture()->WidthPixels());
  ::DeleteFileW(name.c_str());
}

int g_goodWrites = 0;
BOOL WINAPI DiskFullAfterAWhile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED ov) {
  if (g_goodWrites-- > 0) return ::WriteFile(file, data, size, written, ov);
  *written = 0;
  ::SetLastError(ERROR_DISK_FULL);
  return FALSE;
}

TEST_F(PictureCommandsTest, OverwritingWhenTheWriteFailsPartWayKeepsTheOldFileAndSaysWhy) {
  PatternWindow pattern;
  EnterPresentationMode();
  ss& o = App().overlay;
  const std::wstring dir = TempDir(L"cmd-overwrite");
  const std::wstring name = FullPath(dir + L"\\old.bmp");
  std::vector<uint8_t> old(5000);
  for (size_t i = 0; i < old.size(); ++i) old[i] = static_cast<uint8_t>(i * 31 + 7);
  WriteBytes(name, old);
  const base::Picture p1 = o.Picture1.GetPicture();
  const base::Picture p2 = o.Picture2.GetPicture();

  g_goodWrites = 2;
  o.SetFileWriter(DiskFullAfterAWhile);
  // The dialog asks before overwriting; the user says yes; then one box says why it failed.
  DialogUser user({{Act::EnterFileName, name}, {Act::Yes, L""}, {Act::Ok, L""}});
  EXPECT_EQ(base::kErrFileIo, ErrorNumberOf([&] { o.SaveScreenToFile(); }));
  user.Join();
  o.SetFileWriter(nullptr);
  ASSERT_FALSE(user.timedOut);
  EXPECT_FALSE(user.unexpectedDialog) << "one message, and no success";
  ASSERT_EQ(3u, user.seen.size());
  EXPECT_EQ(L"Scrivane", user.seen[2].title);
  EXPECT_EQ(L"Could not save " + name + L": " + base::Widen(base::SystemErrorText(ERROR_DISK_FULL)),
            user.seen[2].text);
  EXPECT_EQ(::LoadIconW(nullptr, IDI_ERROR), user.seen[2].icon);
  EXPECT_EQ(old, ReadBytes(name));
  EXPECT_EQ(1, FilesIn(dir));
  // The presentation is as it was.
  EXPECT_EQ(p1, o.Picture1.GetPicture());
  EXPECT_EQ(p2, o.Picture2.GetPicture());
  EXPECT_TRUE(o.IsVisible());
  ::DeleteFileW(name.c_str());
}

TEST_F(PictureCommandsTest, AReadOnlyFileIsKeptAndTheUserToldAccessIsDenied) {
  EnterPresentationMode();
  ss& o = App().overlay;
  const std::wstring name = TempFile(L"cmd-readonly", L"keep.bmp");
  const std::vector<uint8_t> old(300, 0x5A);
  WriteBytes(name, old);
  ASSERT_TRUE(::SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_READONLY));
  DialogUser user({{Act::EnterFileName, name}, {Act::Yes, L""}, {Act::Ok, L""}});
  EXPECT_EQ(base::kErrFileIo, ErrorNumberOf([&] { o.SaveScreenToFile(); }));
  user.Join();
  ASSERT_FALSE(user.timedOut);
  EXPECT_FALSE(user.unexpectedDialog);
  ASSERT_EQ(3u, user.seen.size());
  EXPECT_EQ(L"Could not save " + name + L": " + base::Widen(base::SystemErrorText(ERROR_ACCESS_DENIED)),
            user.seen[2].text);
  EXPECT_EQ(old, ReadBytes(name));
  ::SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileW(name.c_str());
}

TEST_F(PictureCommandsTest, AfterEscCtrlSAndCtrlLOpenTheirDialogsOwnedByALiveWindow) {
  // Keys typed into the magnifier reach the save and load while no presentation runs: the overlay
  // window of the last one is gone (or hidden, should it be kept between presentations).
  EnterPresentationMode();
  PressEsc();
  ss& o = App().overlay;
  ASSERT_FALSE(o.IsVisible());
  const std::wstring name = TempFile(L"cmd-after-esc", L"after.bmp");
  {
    DialogUser user({{Act::EnterFileName, name}, {Act::Ok, L""}});
    o.SaveScreenToFile();
    user.Join();
    ASSERT_FALSE(user.timedOut);
    ASSERT_EQ(2u, user.seen.size());
    EXPECT_TRUE(user.seen[0].ownerAlive);
    EXPECT_EQ(L"Image successfully saved at \r\n" + name, user.seen[1].text);
  }
  ASSERT_TRUE(Exists(name));
  EXPECT_FALSE(o.IsVisible()) << "the window was made hidden, not shown";

  o.Unload();
  {
    DialogUser user({{Act::EnterFileName, name}});
    o.LoadPictureFromFile();
    user.Join();
    ASSERT_FALSE(user.timedOut);
    ASSERT_EQ(1u, user.seen.size());
    EXPECT_TRUE(user.seen[0].ownerAlive);
  }
  ASSERT_NE(nullptr, o.Picture1.GetPicture());
  EXPECT_EQ(::GetSystemMetrics(SM_CXSCREEN), o.Picture1.GetPicture()->WidthPixels());
  EXPECT_EQ(o.Picture1.GetPicture(), o.Picture2.GetPicture());
  ::DeleteFileW(name.c_str());
}

// --- Load ------------------------------------------------------------------------------------

TEST_F(PictureCommandsTest, ASmallerBmpShrinksTheSurfaceStrokesLandOnlyOnItAndTheEraserRestoresIt) {
  PatternWindow pattern;
  EnterPresentationMode();
  ss& o = App().overlay;
  const std::wstring name = TempFile(L"cmd-load", L"small.bmp");
  base::Picture small = PatternPicture(640, 480, 11, 3);
  imaging::SavePictureAsBmp(*small, name);

  DialogUser user({{Act::EnterFileName, name}});
  o.LoadPictureFromFile();
  user.Join();
  EXPECT_FALSE(user.unexpectedDialog);
  ASSERT_NE(nullptr, o.Picture1.GetPicture());
  EXPECT_EQ(o.Picture1.GetPicture(), o.Picture2.GetPicture());
  EXPECT_EQ(640, o.Picture1.Width());
  EXPECT_EQ(480, o.Picture1.Height());
  const uint32_t face = Rgb(::GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(0, ScreenDifferencesOnceNone(PictureImage(small)));
  EXPECT_EQ(face, ScreenPixelOnceItIs(900, 100, face));
  EXPECT_EQ(face, ScreenPixelOnceItIs(100, 700, face));

  // A real stroke with the mouse from inside across the edge; the pen draws at its offset from
  // the pointer.
  o.TogglePen();
  Drag(300, 200, 900, 200, 12);
  PumpUntilInputHandled();
  // Where the pen's tip was: the cursor shows it.
  const CursorLook pen = LookAtCursor(CursorShown());
  const POINT inside = pen.TipAt(500, 200);
  const POINT outside = pen.TipAt(800, 200);
  EXPECT_EQ(0xFF0000u, ScreenPixelOnceItIs(inside.x, inside.y, 0xFF0000u));
  EXPECT_EQ(face, CaptureScreenRect(outside.x, outside.y, 1, 1).At(outside.x, outside.y));

  // The eraser, with the mouse, brings back the loaded image: move it so that its square is
  // centred on the stroke.
  o.ToggleEraser();
  Pump(50);
  // Size 16 clears a square of its cursor's side from the pointer on.
  const RECT outline = LookAtCursor(CursorShown()).painted;
  const int side = outline.right - outline.left + 1;
  const int mx = inside.x - side / 2;
  const int my = inside.y - side / 2;
  Drag(mx - 30, my, mx + 30, my, 10);
  PumpUntilInputHandled();
  const uint32_t restored = PatternWindow::PatternColor(inside.x + 11, inside.y + 3);
  EXPECT_EQ(restored, ScreenPixelOnceItIs(inside.x, inside.y, restored));
  ::DeleteFileW(name.c_str());
}

TEST_F(PictureCommandsTest, CorruptAndTruncatedFilesChangeNothing) {
  EnterPresentationMode();
  ss& o = App().overlay;
  DrawStroke();
  const base::Picture p1 = o.Picture1.GetPicture();
  const base::Picture p2 = o.Picture2.GetPicture();
  const ScreenImage before = CaptureScreen();

  const std::wstring corrupt = TempFile(L"cmd-corrupt", L"corrupt.bmp");
  std::vector<uint8_t> junk(4096);
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(i * 131 + 17);
  junk[0] = 'B';
  junk[1] = 'M';
  WriteBytes(corrupt, junk);
  const std::wstring truncated = TempFile(L"cmd-corrupt", L"truncated.bmp");
  imaging::SavePictureAsBmp(*PatternPicture(300, 200, 1, 3), truncated);
  std::vector<uint8_t> bytes = ReadBytes(truncated);
  bytes.resize(bytes.size() * 2 / 3);
  WriteBytes(truncated, bytes);

  for (const std::wstring& name : {corrupt, truncated}) {
    DialogUser user({{Act::EnterFileName, name}, {Act::Ok, L""}});
    EXPECT_EQ(base::kErrInvalidPicture, ErrorNumberOf([&] { o.LoadPictureFromFile(); }));
    user.Join();
    EXPECT_FALSE(user.unexpectedDialog);
    ASSERT_EQ(2u, user.seen.size());
    EXPECT_EQ(L"Scrivane", user.seen[1].title);
    EXPECT_EQ(L"Could not load " + name + L": The file is not a picture Scrivane can read, or it is damaged.",
              user.seen[1].text);
    EXPECT_EQ(p1, o.Picture1.GetPicture());
    EXPECT_EQ(p2, o.Picture2.GetPicture());
  }
  EXPECT_EQ(0, ScreenDifferencesOnceNone(before)) << "strokes and background as they were";
  ::DeleteFileW(corrupt.c_str());
  ::DeleteFileW(truncated.c_str());
}

TEST_F(PictureCommandsTest, AJpegClaimingAHugeSizeIsRefusedWithItsSize) {
  EnterPresentationMode();
  ss& o = App().overlay;
  const base::Picture p1 = o.Picture1.GetPicture();
  const std::wstring name = TempFile(L"cmd-huge", L"huge.jpg");
  // SOI, a frame header claiming 30000 x 30000 pixels, EOI: the size is all there is to read.
  WriteBytes(name, {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x0B, 8, 0x75, 0x30, 0x75, 0x30, 1, 1, 0x11, 0, 0xFF, 0xD9});
  DialogUser user({{Act::EnterFileName, name}, {Act::Ok, L""}});
  EXPECT_EQ(base::kErrInvalidPicture, ErrorNumberOf([&] { o.LoadPictureFromFile(); }));
  user.Join();
  ASSERT_EQ(2u, user.seen.size());
  EXPECT_EQ(L"Could not load " + name + L": The picture is too large to open (30000 \u00d7 30000 pixels).",
            user.seen[1].text);
  EXPECT_EQ(p1, o.Picture1.GetPicture());
  ::DeleteFileW(name.c_str());
}

TEST_F(PictureCommandsTest, APngLoadsThroughTheOpenDialog) {
  EnterPresentationMode();
  ss& o = App().overlay;
  // The PNG comes from the imaging codecs' own encoder, through a BMP of ours.
  const std::wstring bmp = TempFile(L"cmd-png", L"src.bmp");
  base::Picture pic = PatternPicture(200, 150, 5, 3);
  imaging::SavePictureAsBmp(*pic, bmp);
  const std::wstring png = TempFile(L"cmd-png", L"picture.png");
  ASSERT_TRUE(ConvertToPng(bmp, png));
  DialogUser user({{Act::EnterFileName, png}});
  o.LoadPictureFromFile();
  user.Join();
  ASSERT_NE(nullptr, o.Picture1.GetPicture());
  EXPECT_EQ(200, o.Picture1.Width());
  EXPECT_EQ(0, CountDifferences(PictureImage(pic), PictureImage(o.Picture1.GetPicture())));
  ::DeleteFileW(bmp.c_str());
  ::DeleteFileW(png.c_str());
}

// --- Hidden buttons ----------------------------------------------------------------------------

TEST_F(PictureCommandsTest, ClearPictureEmptiesBothPicturesAndCapturesGrabTheOverlay) {
  PatternWindow pattern;
  EnterPresentationMode();
  ss& o = App().overlay;
  o.cmdClear_Click();
  EXPECT_EQ(nullptr, o.Picture1.GetPicture());
  EXPECT_EQ(nullptr, o.Picture2.GetPicture());
  const uint32_t face = Rgb(::GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(face, ScreenPixelOnceItIs(960, 540, face));

  // Back to a picture, then grab the overlay itself, whole and client area: on this borderless
  // window both are the whole screen as it shows.
  o.cmdScreen_Click();
  ASSERT_EQ(0, ScreenDifferencesOnceNone(PictureImage(o.Picture1.GetPicture())));
  const ScreenImage shown = CaptureScreen();
  o.cmdForm_Click();
  ASSERT_NE(nullptr, o.Picture1.GetPicture());
  EXPECT_EQ(o.Picture1.GetPicture(), o.Picture2.GetPicture());
  EXPECT_EQ(0, CountDifferences(shown, PictureImage(o.Picture1.GetPicture())));
  o.cmdClient_Click();
  EXPECT_EQ(o.Picture1.GetPicture(), o.Picture2.GetPicture());
  EXPECT_EQ(0, CountDifferences(shown, PictureImage(o.Picture1.GetPicture())));
}

TEST_F(PictureCommandsTest, ActiveWindowCaptureWaitsWhileEventsFlowAndGrabsWhatCameToTheFront) {
  EnterPresentationMode();
  ss& o = App().overlay;
  // During the wait a window comes to the front, by a timer: only an event loop that runs during
  // the wait lets the timer fire.
  static HWND front = nullptr;
  static int ticks = 0;
  ticks = 0;
  UINT_PTR timer = ::SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR, DWORD) {
    if (++ticks == 1) {
      front = ::CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"front", WS_POPUP | WS_VISIBLE | WS_BORDER, 100, 100,
                                320, 200, nullptr, nullptr, nullptr, nullptr);
      ::SetForegroundWindow(front);
    }
  });
  const DWORD start = ::GetTickCount();
  o.cmdActive_Click();
  const DWORD elapsed = ::GetTickCount() - start;
  ::KillTimer(nullptr, timer);
  EXPECT_GE(ticks, 3) << "events were processed during the wait";
  EXPECT_GE(elapsed, 1000u) << "the wait is at least the clock's next two seconds less one";
  ASSERT_NE(nullptr, front);
  ASSERT_NE(nullptr, o.Picture1.GetPicture());
  EXPECT_EQ(o.Picture1.GetPicture(), o.Picture2.GetPicture());
  RECT rc;
  ::GetWindowRect(front, &rc);
  EXPECT_EQ(rc.right - rc.left, o.Picture1.GetPicture()->WidthPixels());
  EXPECT_EQ(rc.bottom - rc.top, o.Picture1.GetPicture()->HeightPixels());
  EXPECT_TRUE(PumpUntil([&] { return ::GetFocus() == o.Picture1.Hwnd(); })) << "the focus is back on the overlay";
  ::DestroyWindow(front);
  front = nullptr;
}

// The stretch records of an enhanced metafile file, as destination rectangles.
std::vector<RECT> StretchesInFile(const std::wstring& emfPath) {
  HENHMETAFILE emf = ::GetEnhMetaFileW(emfPath.c_str());
  if (!emf) return {};
  std::vector<RECT> found = StretchesIn(emf);
  ::DeleteEnhMetaFile(emf);
  return found;
}

TEST_F(PictureCommandsTest, PrintFitsTheBackgroundOnThePageAndEndsTheJob) {
  EnterPresentationMode();
  ss& o = App().overlay;
  DrawStroke();
  const std::wstring emf = TempDir(L"cmd-print") + L"\\page.emf";
  ::DeleteFileW(emf.c_str());
  capture::Printer* used = nullptr;
  o.SetPrinterFactory([&] {
    auto p = capture::Printer::Metafile(2480, 3508, 300, emf);
    used = p.get();
    return p;
  });
  o.cmdPrint_Click();
  ASSERT_NE(nullptr, used);
  // The job was ended: the recording is on disk, one picture at the top-left filling the
  // landscape page's width (the screen is wider than tall).
  std::vector<RECT> painted = StretchesInFile(emf);
  ASSERT_EQ(1u, painted.size());
  EXPECT_EQ(0, painted[0].left);
  EXPECT_EQ(0, painted[0].top);
  EXPECT_EQ(3508, painted[0].right);
  const double expectedHeight = 3508.0 * ::GetSystemMetrics(SM_CYSCREEN) / ::GetSystemMetrics(SM_CXSCREEN);
  EXPECT_NEAR(expectedHeight, painted[0].bottom, 1.0);

  // An empty background is the division error, before anything is painted.
  ::DeleteFileW(emf.c_str());
  o.cmdClear_Click();
  EXPECT_EQ(capture::kErrDivisionByZero, ErrorNumberOf([&] { o.cmdPrint_Click(); }));
  EXPECT_FALSE(Exists(emf));
  ::DeleteFileW(emf.c_str());
}

}  // namespace

bool ConvertToPng(const std::wstring& from, const std::wstring& to) {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool ok = false;
  IWICImagingFactory* f = nullptr;
  IWICBitmapDecoder* dec = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICStream* out = nullptr;
  IWICBitmapEncoder* enc = nullptr;
  IWICBitmapFrameEncode* fe = nullptr;
  if (SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                   reinterpret_cast<void**>(&f))) &&
      SUCCEEDED(f->CreateDecoderFromFilename(from.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad, &dec)) &&
      SUCCEEDED(dec->GetFrame(0, &frame)) && SUCCEEDED(f->CreateStream(&out)) &&
      SUCCEEDED(out->InitializeFromFilename(to.c_str(), GENERIC_WRITE)) &&
      SUCCEEDED(f->CreateEncoder(GUID_ContainerFormatPng, nullptr, &enc)) &&
      SUCCEEDED(enc->Initialize(out, WICBitmapEncoderNoCache)) && SUCCEEDED(enc->CreateNewFrame(&fe, nullptr)) &&
      SUCCEEDED(fe->Initialize(nullptr))) {
    UINT w = 0, h = 0;
    frame->GetSize(&w, &h);
    fe->SetSize(w, h);
    WICPixelFormatGUID fmt = GUID_WICPixelFormat24bppBGR;
    fe->SetPixelFormat(&fmt);
    ok = SUCCEEDED(fe->WriteSource(frame, nullptr)) && SUCCEEDED(fe->Commit()) && SUCCEEDED(enc->Commit());
  }
  for (IUnknown* u : {static_cast<IUnknown*>(fe), static_cast<IUnknown*>(enc), static_cast<IUnknown*>(out),
                      static_cast<IUnknown*>(frame), static_cast<IUnknown*>(dec), static_cast<IUnknown*>(f)}) {
    if (u) u->Release();
  }
  ::CoUninitialize();
  return ok;
}
