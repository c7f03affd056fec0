// Never losing a drawing, with the real scrivane.exe: the PNG kept at the end of a presentation,
// undo back into the last presentation after Esc, a folder that cannot be written, the end of a
// session, and Ctrl+C read by other programs (another Windows process and xclip on the X side).
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "e2e/driver.h"
#include "imaging/picture_file.h"
#include "support/test_support.h"

using namespace e2e;
using namespace testing_support;

namespace {

std::string UnixPath(const std::wstring& path);

// The Unix side: a shell command run from here, as Wine runs any Unix program. Wine hands back no
// handle to wait on for it, so the command ends by making a marker file, and that is waited for.
bool RunUnix(const std::string& command) {
  const std::wstring marker = TempDir(L"keep-unix") + L"\\done-" + std::to_wstring(::GetTickCount64());
  ::DeleteFileW(marker.c_str());
  const std::string full = command + " ; touch '" + UnixPath(marker) + "'";
  std::wstring line = L"/bin/sh -c \"" + std::wstring(full.begin(), full.end()) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    ADD_FAILURE() << "cannot start the Unix shell: error " << ::GetLastError();
    return false;
  }
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return WaitUntil([&] { return ::GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000);
}

std::string UnixPath(const std::wstring& path) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  if (!toUnix) return {};
  char* unix = toUnix(path.c_str());
  std::string result = unix ? unix : "";
  ::HeapFree(::GetProcessHeap(), 0, unix);
  return result;
}

ScreenImage Decoded(const std::wstring& path) {
  base::Picture picture = imaging::LoadPictureFile(path);
  return CaptureDc(picture->Dc(), 0, 0, picture->WidthPixels(), picture->HeightPixels());
}

class KeepingE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FreshSettings({{"color", "255"}}));
    folder = DrawingsFolder();
    EmptyFolder(folder);
    pattern = std::make_unique<PatternWindow>();
    ASSERT_TRUE(StartUntilHandOff(app));
    Pump(300);
  }
  void TearDown() override {
    app.Stop();
    pattern.reset();
    EmptyFolder(folder);
    DeleteScrivaneKeys();
  }
  HWND Enter() {
    TypeChord({VK_CONTROL, VK_SHIFT, 'Z'});
    HWND overlay = app.WaitFor(kOverlay, 5000);
    EXPECT_NE(nullptr, overlay);
    // The overlay takes the keyboard back from the notification area's window if it has to.
    WaitUntil([&] { return ::GetForegroundWindow() == overlay; }, 5000);
    Pump(300);
    return overlay;
  }
  void Leave() {
    TapKey(VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return app.Find(kOverlay) == nullptr; }, 5000));
  }
  bool WaitForPngs(size_t count) {
    return WaitUntil([&] { return PngsIn(folder).size() == count; }, 10000);
  }

  App app;
  std::wstring folder;
  std::unique_ptr<PatternWindow> pattern;
};

TEST_F(KeepingE2e, EscKeepsOnePngOfTheScreenAndUndoInTheNextPresentationBringsThePictureBack) {
  // A presentation with nothing drawn keeps nothing; the next one, with strokes, keeps one file.
  Enter();
  Leave();
  Enter();
  Drag(100, 300, 900, 340, 12);
  Drag(300, 150, 350, 700, 12);
  Pump(200);
  const ScreenImage atEsc = CaptureScreen();
  Leave();
  ASSERT_TRUE(WaitForPngs(1));
  Pump(300);
  EXPECT_EQ(1u, PngsIn(folder).size()) << "the empty presentation kept nothing";
  const std::wstring png = folder + L"\\" + PngsIn(folder)[0];
  const std::vector<uint8_t> bytes = ReadBytes(png);
  ASSERT_GT(bytes.size(), 8u);
  EXPECT_EQ(0x89, bytes[0]);
  EXPECT_EQ('P', bytes[1]);
  EXPECT_EQ(0, CountDifferences(atEsc, Decoded(png)));
  // A browser-grade decoder on the Unix side reads it too.
  const std::string out = UnixPath(TempDir(L"keep-identify") + L"\\identify.txt");
  ASSERT_TRUE(RunUnix("identify '" + UnixPath(png) + "' > '" + out + "'"));
  const std::vector<uint8_t> said = ReadBytes(TempDir(L"keep-identify") + L"\\identify.txt");
  EXPECT_NE(std::string::npos, std::string(said.begin(), said.end()).find("PNG 1920x1080")) << std::string(said.begin(), said.end());

  // The desktop changes; a new presentation, then Ctrl+Z: the last picture is back.
  pattern.reset();
  Pump(300);
  Enter();
  const ScreenImage fresh = CaptureScreen();
  ASSERT_GT(CountDifferences(atEsc, fresh), 10000);
  TypeChord({VK_CONTROL, 'Z'});
  EXPECT_TRUE(WaitUntil([&] { return CountDifferences(atEsc, CaptureScreen()) == 0; }, 5000));
  SaveImageBmp(CaptureScreen(), ScreenshotDir() + L"\\undo-after-reentry.bmp");
  TypeChord({VK_CONTROL, 'Y'});
  EXPECT_TRUE(WaitUntil([&] { return CountDifferences(fresh, CaptureScreen()) == 0; }, 5000));
}

TEST_F(KeepingE2e, AFolderThatCannotBeWrittenLosesNothingElseAndSaysSoOnceInTheBalloon) {
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
  // Root writes anywhere: only an immutable folder refuses it.
  const std::string unixFolder = UnixPath(folder);
  struct Immutable {
    std::string path;
    ~Immutable() { RunUnix("chattr -i '" + path + "'"); }
  } immutable{unixFolder};
  ASSERT_TRUE(RunUnix("chattr +i '" + unixFolder + "'"));
  {
    const std::wstring probe = folder + L"\\probe.txt";
    HANDLE f = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_EQ(INVALID_HANDLE_VALUE, f) << "the folder still takes files";
  }
  Enter();
  Drag(100, 300, 900, 340, 12);
  Pump(200);
  const ScreenImage atEsc = CaptureScreen();
  Leave();
  // The balloon of the notification area says why.
  HWND balloon = nullptr;
  const bool shown = WaitUntil(
      [&] {
        balloon = FindTopLevelWindow([](HWND w) {
          return ::IsWindowVisible(w) && ClassOf(w) == L"tooltips_class32" &&
                 TextOf(w).find(L"could not be kept") != std::wstring::npos;
        });
        return balloon != nullptr;
      },
      10000);
  ASSERT_TRUE(shown) << "no balloon";
  EXPECT_NE(std::wstring::npos, TextOf(balloon).find(folder)) << std::string(TextOf(balloon).begin(), TextOf(balloon).end());
  EXPECT_TRUE(PngsIn(folder).empty());
  // Out of the way of the screen comparison below.
  ::ShowWindow(balloon, SW_HIDE);
  // The program runs on, and the drawing is still there to undo back to.
  ASSERT_TRUE(app.Running());
  Enter();
  TypeChord({VK_CONTROL, 'Z'});
  EXPECT_TRUE(WaitUntil([&] { return CountDifferences(atEsc, CaptureScreen()) == 0; }, 5000));
}

TEST_F(KeepingE2e, TheEndOfTheSessionAndACloseRequestKeepTheDrawing) {
  HWND overlay = Enter();
  Drag(100, 300, 900, 340, 12);
  Pump(100);
  // Being told to close: the overlay goes, its drawing is kept.
  ::PostMessageW(overlay, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return app.Find(kOverlay) == nullptr; }, 5000));
  ASSERT_TRUE(WaitForPngs(1));
  // Signing out: the main form hears of it and the picture is on disk when it has answered.
  Enter();
  Drag(100, 500, 900, 540, 12);
  Pump(100);
  HWND main = app.Find(kMainForm);
  ASSERT_NE(nullptr, main);
  ::SendMessageW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
  ::SendMessageW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_EQ(2u, PngsIn(folder).size()) << "written before WM_ENDSESSION returned";
}

TEST_F(KeepingE2e, CtrlCPutsThePictureAsShownForOtherProgramsAsDibAndPngAndOnTheXSideAsImagePng) {
  Enter();
  Drag(100, 300, 900, 340, 12);
  Pump(200);
  const ScreenImage shown = CaptureScreen();
  ::OpenClipboard(nullptr);
  ::EmptyClipboard();
  ::CloseClipboard();
  TypeChord({VK_CONTROL, 'C'});
  const UINT png = ::RegisterClipboardFormatW(L"PNG");
  ASSERT_TRUE(WaitUntil([&] { return ::IsClipboardFormatAvailable(png) && ::IsClipboardFormatAvailable(CF_DIB); }, 5000));
  ASSERT_TRUE(::OpenClipboard(nullptr));
  // CF_DIB, read as any program reads it.
  HGLOBAL dib = ::GetClipboardData(CF_DIB);
  ASSERT_NE(nullptr, dib);
  const auto* info = static_cast<const BITMAPINFO*>(::GlobalLock(dib));
  ASSERT_EQ(shown.width, info->bmiHeader.biWidth);
  ASSERT_EQ(shown.height, std::abs(info->bmiHeader.biHeight));
  HDC screen = ::GetDC(nullptr);
  HBITMAP fromDib = ::CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT,
                                     reinterpret_cast<const uint8_t*>(info) + info->bmiHeader.biSize, info, DIB_RGB_COLORS);
  ::GlobalUnlock(dib);
  HDC mem = ::CreateCompatibleDC(screen);
  HGDIOBJ old = ::SelectObject(mem, fromDib);
  EXPECT_EQ(0, CountDifferences(shown, CaptureDc(mem, 0, 0, shown.width, shown.height)));
  ::SelectObject(mem, old);
  ::DeleteDC(mem);
  ::DeleteObject(fromDib);
  ::ReleaseDC(nullptr, screen);
  // "PNG", written to a file and decoded.
  HGLOBAL data = ::GetClipboardData(png);
  ASSERT_NE(nullptr, data);
  const auto* bytes = static_cast<const uint8_t*>(::GlobalLock(data));
  const std::vector<uint8_t> pngBytes(bytes, bytes + ::GlobalSize(data));
  ::GlobalUnlock(data);
  ::CloseClipboard();
  const std::wstring dir = TempDir(L"keep-clip");
  WriteBytes(dir + L"\\windows.png", pngBytes);
  EXPECT_EQ(0, CountDifferences(shown, Decoded(dir + L"\\windows.png")));
  // The X side: xclip asks for image/png.
  const std::wstring fromX = dir + L"\\x.png";
  ::DeleteFileW(fromX.c_str());
  ASSERT_TRUE(RunUnix("xclip -selection clipboard -t image/png -o > '" + UnixPath(fromX) + "'"));
  EXPECT_EQ(0, CountDifferences(shown, Decoded(fromX)));
}

}  // namespace
