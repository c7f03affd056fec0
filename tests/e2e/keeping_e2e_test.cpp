// Never losing a drawing, with the real scrivane.exe: the PNG kept at the end of a presentation,
// the Keep Drawings switch and the notice of the first drawing kept, undo back into the last
// presentation after Esc (with a picture of another size loaded and saved over, after an Esc with
// the button still held), a folder that cannot be written, the end of a session, and Ctrl+C read
// by other programs (another Windows process and xclip on the X side); the white and black pages,
// each kept as a file of its own.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "imaging/picture_file.h"
#include "support/test_support.h"

using namespace e2e;
using namespace testing_support;

namespace {

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
    // Resident: the icon is the last thing the main form's load puts in place.
    ASSERT_TRUE(WaitUntil([] { return CountTrayIcons() == 1; }, 10000));
  }
  void TearDown() override {
    app.Stop();
    pattern.reset();
    EmptyFolder(folder);
    DeleteScrivaneKeys();
  }
  HWND Enter() {
    HWND overlay = EnterPresentation(app);
    EXPECT_NE(nullptr, overlay);
    return overlay;
  }
  // A red highlighter stroke from `from` to `to`, each move once the one before it shows (so `to`
  // is where red shows on the pattern: not in its black or red bars); the screen with the whole
  // stroke on it.
  static ScreenImage Stroke(POINT from, POINT to) {
    EXPECT_TRUE(StrokeThrough({from, {(from.x + to.x) / 2, (from.y + to.y) / 2}, to}, SettledScreen(), 0xFF0000));
    return SettledScreen();
  }
  void Leave() {
    EXPECT_TRUE(LeavePresentation(app, 5000));
  }
  bool WaitForPngs(size_t count) {
    return WaitUntil([&] { return PngsIn(folder).size() == count; }, 10000);
  }
  // Ctrl+<letter> opens the program's file dialog; `path` is named in it and taken.
  void NameFile(WORD letter, const std::wstring& path) {
    TypeChord({VK_CONTROL, letter});
    HWND dialog = app.WaitFor(kDialog, 10000);
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitUntilReadyForInput(dialog, 10000));
    ::SendMessageW(::GetDlgItem(dialog, 0x47c), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog) || !::IsWindowVisible(dialog); }, 10000));
  }
  // Ctrl+Z or Ctrl+Y, and the screen it must bring back.
  void Chord(WORD letter, const ScreenImage& expected, const char* what) {
    const HWND overlay = app.Find(kOverlay);
    const ScreenImage before = CaptureScreen();
    const bool frontLost = FrontLostWhile(overlay, [&] { TypeChord({VK_CONTROL, letter}); });
    int differences = ScreenDifferencesOnceNone(expected, 5000);
    if (differences != 0 && CountDifferences(before, CaptureScreen()) == 0) {
      std::printf("[ note     ] Ctrl+%c changed nothing; the overlay %s\n", static_cast<char>(letter),
                  frontLost ? "lost the front while it went: once more" : "was in front all along");
      // When a window of ours went just before the presentation (the magnifier), the window manager
      // hands the keyboard to the notification area's window, and Wine's late word of it can take
      // the front from the overlay for a moment: a key pressed then is lost, and goes again. A key
      // that reached the overlay and changed nothing is a failure.
      if (frontLost) {
        TypeChord({VK_CONTROL, letter});
        differences = ScreenDifferencesOnceNone(expected, 5000);
      }
    }
    EXPECT_EQ(0, differences) << what;
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
  Stroke({900, 340}, {100, 300});
  const ScreenImage atEsc = Stroke({350, 700}, {600, 150});
  Leave();
  // Pictures are written in the order they were handed over: had the empty presentation been
  // kept, its file would be there before this one.
  ASSERT_TRUE(WaitForPngs(1));
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
  SettledScreen();
  Enter();
  const ScreenImage fresh = CaptureScreen();
  ASSERT_GT(CountDifferences(atEsc, fresh), 10000);
  TypeChord({VK_CONTROL, 'Z'});
  EXPECT_TRUE(WaitUntil([&] { return CountDifferences(atEsc, CaptureScreen()) == 0; }, 5000));
  SaveImageBmp(CaptureScreen(), ScreenshotDir() + L"\\undo-after-reentry.bmp");
  TypeChord({VK_CONTROL, 'Y'});
  EXPECT_TRUE(WaitUntil([&] { return CountDifferences(fresh, CaptureScreen()) == 0; }, 5000));
}

// The white page (w) and the black page (k): each keeps its drawing while the others show, the
// same key goes back to the desktop as it was, Ctrl+Z takes a turn of the page back, the eraser
// brings back the page's colour, the highlighter shows on black, and Esc keeps every page drawn on
// as a file of its own (and no page that was not).
TEST_F(KeepingE2e, TheWhiteAndTheBlackPageKeepTheirDrawingsAndEscKeepsEachPageDrawnOnAsItsOwnPng) {
  Enter();
  const ScreenImage desktop = CaptureScreen();
  auto sheet = [&](uint32_t rgb) {
    ScreenImage s = desktop;
    std::fill(s.pixels.begin(), s.pixels.end(), rgb);
    return s;
  };
  const ScreenImage white = sheet(0xFFFFFF), black = sheet(0);
  auto turn = [&](wchar_t key, const ScreenImage& expected, const char* what) {
    TypeText(std::wstring(1, key));
    EXPECT_EQ(0, ScreenDifferencesOnceNone(expected, 5000)) << what;
  };
  ASSERT_TRUE(StrokeThrough({{1800, 100}, {900, 300}, {100, 120}}, desktop, 0xFF0000));
  const ScreenImage drawnDesktop = SettledScreen();

  turn(L'w', white, "w: a white page");
  Chord('Z', drawnDesktop, "Ctrl+Z after w: the desktop page");
  Chord('Y', white, "Ctrl+Y: the white page again");
  ASSERT_TRUE(StrokeThrough({{300, 500}, {1500, 500}}, white, 0xFF0000));
  // The eraser (32 pixels, about the pointer) on the middle of the stroke: white again there.
  const POINT tip = HighlighterTip({900, 500});
  TypeText(L"e4");
  MouseMoveTo(tip.x, tip.y);
  MouseButton(1, true);
  EXPECT_EQ(0xFFFFFFu, ScreenPixelOnceItIs(tip.x, tip.y, 0xFFFFFF)) << "the eraser brings the paper back";
  MouseButton(1, false);
  TypeText(L"e");
  const ScreenImage drawnWhite = SettledScreen();
  EXPECT_EQ(0xFF0000u, drawnWhite.At(tip.x - 300, tip.y)) << "the stroke beside the erasure";

  turn(L'w', drawnDesktop, "w again: the desktop page with its drawing");
  turn(L'w', drawnWhite, "w again: the white page with its drawing");
  turn(L'k', black, "k from the white page: a black page");
  // The highlighter's mask would leave black black; on the black page the colour shows.
  ASSERT_TRUE(StrokeThrough({{300, 700}, {1500, 740}}, black, 0xFF0000, 30000, true));
  const ScreenImage drawnBlack = SettledScreen();
  SaveImageBmp(drawnBlack, ScreenshotDir() + L"\\e2e-black-page-highlighter.bmp");
  turn(L'k', drawnDesktop, "k again: the desktop page");
  turn(L'k', drawnBlack, "k again: the black page with its drawing");

  // Esc on the black page: the three pages, each its own file (the same second gets " (2)").
  Leave();
  ASSERT_TRUE(WaitForPngs(3));
  std::vector<int> matched(3, 0);
  for (const std::wstring& name : PngsIn(folder)) {
    const ScreenImage kept = Decoded(folder + L"\\" + name);
    matched[0] += CountDifferences(drawnDesktop, kept) == 0;
    matched[1] += CountDifferences(drawnWhite, kept) == 0;
    matched[2] += CountDifferences(drawnBlack, kept) == 0;
  }
  EXPECT_EQ((std::vector<int>{1, 1, 1}), matched) << "desktop, white page, black page";

  // The next presentation: both pages drawn on, the desktop not: two files.
  EmptyFolder(folder);
  Enter();
  turn(L'w', white, "the next presentation's white page starts blank");
  ASSERT_TRUE(StrokeThrough({{300, 200}, {1000, 260}}, white, 0xFF0000));
  const ScreenImage secondWhite = SettledScreen();
  turn(L'k', black, "its black page starts blank");
  ASSERT_TRUE(StrokeThrough({{300, 900}, {1000, 860}}, black, 0xFF0000, 30000, true));
  const ScreenImage secondBlack = SettledScreen();
  Leave();
  ASSERT_TRUE(WaitForPngs(2));
  Pump(300);
  ASSERT_EQ(2u, PngsIn(folder).size()) << "the desktop was not drawn on";
  std::vector<int> second(2, 0);
  for (const std::wstring& name : PngsIn(folder)) {
    const ScreenImage kept = Decoded(folder + L"\\" + name);
    second[0] += CountDifferences(secondWhite, kept) == 0;
    second[1] += CountDifferences(secondBlack, kept) == 0;
  }
  EXPECT_EQ((std::vector<int>{1, 1}), second);
}

TEST_F(KeepingE2e, APictureOfAnotherSizeLoadedDrawnOnAndSavedUndoesStepByStepNowAndInTheNextPresentation) {
  // An 800 x 600 picture of light colours, which the red highlighter marks wherever it goes.
  ScreenImage small;
  small.width = 800;
  small.height = 600;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) small.pixels.push_back(static_cast<uint32_t>((200 + x % 56) << 16 | (200 + y % 56) << 8 | 230));
  const std::wstring dir = TempDir(L"keep-sizes");
  ASSERT_TRUE(SaveImageBmp(small, dir + L"\\small.bmp"));
  const std::wstring saved = dir + L"\\saved.bmp";
  ::DeleteFileW(saved.c_str());

  HWND overlay = Enter();
  std::vector<ScreenImage> states{CaptureScreen()};
  // Ctrl+L: the picture at the top left, the overlay's back colour around it.
  NameFile('L', dir + L"\\small.bmp");
  ASSERT_EQ(small.At(5, 5), ScreenPixelOnceItIs(5, 5, small.At(5, 5)));
  states.push_back(CaptureScreen());
  ASSERT_TRUE(StrokeThrough({{700, 100}, {400, 300}, {100, 500}}, states.back(), 0xFF0000));
  states.push_back(CaptureScreen());
  // Ctrl+S: the screen, picture and back colour, becomes the background at the screen's size.
  NameFile('S', saved);
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (box = app.MessageBox()) != nullptr; }, 10000));
  ASSERT_TRUE(WaitUntilReadyForInput(box, 10000));
  DismissMessageBox(box);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box) || !::IsWindowVisible(box); }, 10000));
  ASSERT_TRUE(BringToFront(overlay));
  ASSERT_EQ(0, ScreenDifferencesOnceNone(states.back(), 5000)) << "the save changes nothing that shows";
  // A stroke beyond the loaded picture, on the background the save made.
  ASSERT_TRUE(StrokeThrough({{900, 300}, {1400, 350}, {1800, 700}}, states.back(), 0xFF0000));
  states.push_back(CaptureScreen());

  // Every Ctrl+Z brings back the picture before its step (the save goes with the stroke before
  // it), and Ctrl+Y forward again.
  Chord('Z', states[2], "the stroke over the back colour undone");
  Chord('Z', states[1], "the save and the stroke on the small picture undone");
  Chord('Z', states[0], "the load undone");
  Chord('Y', states[1], "the load redone");
  Chord('Y', states[2], "the stroke and the save redone");
  Chord('Y', states[3], "the last stroke redone");

  // In the next presentation, undo goes back through all of it the same way.
  Leave();
  Enter();
  for (int i = 3; i >= 0; --i) Chord('Z', states[i], ("next presentation, state " + std::to_string(i)).c_str());
}

TEST_F(KeepingE2e, EscWithTheButtonHeldEndsTheStrokeAndTheNextPresentationUndoesItExactly) {
  HWND overlay = Enter();
  std::vector<ScreenImage> states{CaptureScreen()};
  ASSERT_TRUE(StrokeThrough({{1800, 100}, {900, 300}, {100, 120}}, states.back(), 0xFF0000));
  states.push_back(CaptureScreen());
  // A second stroke, its button still held when Esc comes.
  const ScreenImage before = states.back();
  const POINT press{1800, 400}, held{150, 420};
  MouseMoveTo(press.x, press.y);
  MouseButton(1, true);
  const POINT tip = HighlighterTip(held);
  const uint32_t ink = 0xFF0000 & before.At(tip.x, tip.y);
  MouseMoveTo(held.x, held.y);
  ASSERT_EQ(ink, ScreenPixelOnceItIs(tip.x, tip.y, ink));
  states.push_back(CaptureScreen());
  Leave();
  // The overlay's thread no longer holds the pointer.
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  ASSERT_TRUE(::GetGUIThreadInfo(::GetWindowThreadProcessId(overlay, nullptr), &gui));
  EXPECT_EQ(nullptr, gui.hwndCapture);
  // The magnifier comes up and is in front, so that the pointer's input goes to the program's
  // thread (as it would to a window that kept the capture on Windows); the pointer goes on with
  // the button down, then lets go.
  TypeChord({VK_CONTROL, VK_SHIFT, 'M'});
  HWND magnifier = app.WaitFor(kMagnifier, 5000);
  ASSERT_NE(nullptr, magnifier);
  ASSERT_TRUE(BringToFront(magnifier));
  for (int x = 300; x <= 1500; x += 200) {
    MouseMoveTo(x, 700);
    ASSERT_TRUE(WaitUntilReadyForInput(magnifier));
  }
  MouseButton(1, false);
  ASSERT_TRUE(WaitUntilReadyForInput(magnifier));
  ::PostMessageW(magnifier, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return app.Find(kMagnifier) == nullptr; }, 5000));

  Enter();
  Chord('Z', states[2], "the presentation as it was at Esc");
  Chord('Z', states[1], "the stroke cut short by Esc undone");
  Chord('Z', states[0], "the first stroke undone");
  Chord('Y', states[1], "the first stroke redone");
  Chord('Y', states[2], "the cut stroke redone");
}

TEST_F(KeepingE2e, UncheckedNothingIsKeptCheckedAgainTheNextIsAndTheNoticeComesOnceEver) {
  // A user who has not been told yet.
  app.Stop();
  ASSERT_TRUE(FreshSettings({{"color", "255"}, {"keepnotice", "0"}}));
  ASSERT_TRUE(StartUntilHandOff(app));
  auto stored = [](const char* name) { return ReadRegString(HKEY_LOCAL_MACHINE, kSettingsKey, name).value_or("?"); };
  ASSERT_EQ("1", stored("keepdrawings")) << "kept unless the user says otherwise";

  // "Keep Drawings", above "Recent Drawings", "Options..." and "Exit", unticked.
  ASSERT_TRUE(ChooseFromTrayMenuBottom(app, kKeepDrawingsFromBottom, kTrayMenuItems));
  ASSERT_TRUE(WaitUntil([&] { return stored("keepdrawings") == "0"; }, 15000));
  Enter();
  Drag(100, 300, 900, 340, 12);
  Leave();
  // Ticked again: the next presentation is kept.
  ASSERT_TRUE(ChooseFromTrayMenuBottom(app, kKeepDrawingsFromBottom, kTrayMenuItems));
  ASSERT_TRUE(WaitUntil([&] { return stored("keepdrawings") == "1"; }, 15000));
  Enter();
  const ScreenImage atEsc = Stroke({300, 600}, {1200, 640});
  Leave();
  // Files are written in the order they were handed over: once the second presentation's is
  // there, the first one's would have been too.
  ASSERT_TRUE(WaitUntil(
      [&] {
        const auto pngs = PngsIn(folder);
        for (const std::wstring& n : pngs) {
          if (CountDifferences(atEsc, Decoded(folder + L"\\" + n)) == 0) return true;
        }
        return false;
      },
      10000));
  EXPECT_EQ(1u, PngsIn(folder).size()) << "the presentation with Keep Drawings unticked was kept";

  // The first drawing kept: the balloon says where, once.
  const std::wstring notice =
      L"Scrivane keeps your drawings in " + folder + L". Untick Keep Drawings in this menu to stop.";
  HWND balloon = FindBalloon(notice);
  ASSERT_NE(nullptr, balloon) << "no notice";
  EXPECT_TRUE(WaitUntil([&] { return stored("keepnotice") == "1"; }, 5000));
  ::ShowWindow(balloon, SW_HIDE);

  // Not again, not even after a restart.
  app.Stop();
  ASSERT_TRUE(StartUntilHandOff(app));
  Enter();
  Drag(100, 800, 900, 840, 12);
  Leave();
  ASSERT_TRUE(WaitForPngs(2));
  EXPECT_EQ(nullptr, FindBalloon(notice, 3000)) << "the notice came again";
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
  const ScreenImage atEsc = Stroke({900, 340}, {100, 300});
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
  // The stroke on the screen before the request: a posted message goes ahead of pending input.
  Stroke({900, 340}, {100, 300});
  // Being told to close: the overlay goes, its drawing is kept.
  ::PostMessageW(overlay, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return app.Find(kOverlay) == nullptr; }, 5000));
  ASSERT_TRUE(WaitForPngs(1));
  // Signing out: the main form hears of it and the picture is on disk when it has answered.
  Enter();
  Stroke({900, 540}, {100, 500});
  HWND main = app.Find(kMainForm);
  ASSERT_NE(nullptr, main);
  ::SendMessageW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
  ::SendMessageW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_EQ(2u, PngsIn(folder).size()) << "written before WM_ENDSESSION returned";
}

TEST_F(KeepingE2e, CtrlCPutsThePictureAsShownForOtherProgramsAsDibAndPngAndOnTheXSideAsImagePng) {
  Enter();
  const ScreenImage shown = Stroke({900, 340}, {100, 300});
  ::OpenClipboard(nullptr);
  ::EmptyClipboard();
  ::CloseClipboard();
  TypeChord({VK_CONTROL, 'C'});
  const UINT png = ::RegisterClipboardFormatW(L"PNG");
  ASSERT_TRUE(WaitUntil([&] { return ::IsClipboardFormatAvailable(png) && ::IsClipboardFormatAvailable(CF_DIB); }, 5000));
  // CF_DIB, read as any program reads it.
  const ScreenImage dib = ClipboardPicture();
  ASSERT_EQ(shown.width, dib.width);
  ASSERT_EQ(shown.height, dib.height);
  EXPECT_EQ(0, CountDifferences(shown, dib));
  ASSERT_TRUE(::OpenClipboard(nullptr));
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
