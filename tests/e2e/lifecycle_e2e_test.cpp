// How the real scrivane.exe ends, and how it starts when another program holds one of its keys:
// Exit, the close request of the installer, the end of the session, and the taken hotkey said in
// the tray balloon.
#include <gtest/gtest.h>

#include <memory>

#include "e2e/driver.h"
#include "support/test_support.h"

using namespace e2e;
using namespace testing_support;

namespace {

const wchar_t kPresentationTaken[] =
    L"Ctrl+Shift+Z is used by another program; use the tray menu to start presentation mode, or choose other keys "
    L"in Options.";

// A clean registry with the help window turned off, then the program up to its hand-off.
void StartResident(App& app, bool helpWindow = false) {
  ASSERT_TRUE(FreshSettings({}, helpWindow));
  ASSERT_TRUE(StartUntilHandOff(app));
  ASSERT_TRUE(WaitUntil([] { return CountTrayIcons() == 1; }, 3000));
}

// Opens the tray menu and clicks its last item (Exit) or its first.
void ChooseFromTheTrayMenu(App& app, bool last) { ASSERT_TRUE(ChooseFromTrayMenu(app, last)); }

// True when this process may register both combinations, that is when nobody holds them.
bool BothHotkeysFree() {
  HWND probe = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  const bool z = ::RegisterHotKey(probe, 7, MOD_CONTROL | MOD_SHIFT, 'Z');
  const bool m = ::RegisterHotKey(probe, 8, MOD_CONTROL | MOD_SHIFT, 'M');
  ::UnregisterHotKey(probe, 7);
  ::UnregisterHotKey(probe, 8);
  ::DestroyWindow(probe);
  return z && m;
}

// Ends a test's program for sure, without counting on what is under test.
struct Ender {
  App& app;
  ~Ender() { app.Kill(); }
};

TEST(ProgramEnd, ExitWithNothingOpenEndsTheProcessAndANewStartWorks) {
  App app;
  Ender ender{app};
  StartResident(app);
  ChooseFromTheTrayMenu(app, /*last=*/true);
  const auto code = app.WaitForExit(10000);
  ASSERT_TRUE(code.has_value()) << "still running after Exit";
  EXPECT_EQ(0u, *code);
  EXPECT_EQ(0, CountTrayIcons());
  EXPECT_TRUE(BothHotkeysFree());

  // The single-instance mutex went with the process: a new start is not refused.
  App again;
  Ender ender2{again};
  ASSERT_TRUE(again.Start());
  HWND main = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return again.MessageBox() != nullptr || (main = again.Find(kMainForm)) != nullptr; },
                        kHandOffTimeoutMs));
  EXPECT_EQ(nullptr, again.MessageBox());
  EXPECT_NE(nullptr, main);
  again.Stop();
}

TEST(ProgramEnd, ExitLeavesTheMagnifierOpenAndTheProcessEndsWhenItCloses) {
  App app;
  Ender ender{app};
  StartResident(app);
  TypeChord({VK_CONTROL, VK_SHIFT, 'M'});
  HWND magnifier = app.WaitFor(kMagnifier, 5000);
  ASSERT_NE(nullptr, magnifier);
  ChooseFromTheTrayMenu(app, /*last=*/true);
  ASSERT_TRUE(WaitUntil([&] { return app.Find(kMainForm) == nullptr; }, 5000));
  EXPECT_TRUE(WaitUntil([] { return CountTrayIcons() == 0; }, 3000));
  EXPECT_TRUE(BothHotkeysFree());
  // The magnifier keeps the program alive: with Exit handled, its thread still answers...
  EXPECT_TRUE(WaitUntilReadyForInput(magnifier));
  EXPECT_TRUE(app.Running());
  EXPECT_EQ(magnifier, app.Find(kMagnifier));
  // ...until the user closes it.
  ::PostMessageW(magnifier, WM_SYSCOMMAND, SC_CLOSE, 0);
  const auto code = app.WaitForExit(10000);
  ASSERT_TRUE(code.has_value()) << "still running after its last window closed";
  EXPECT_EQ(0u, *code);
}

TEST(ProgramEnd, CloseRequestClosesEveryWindowAndEndsTheProcess) {
  App app;
  Ender ender{app};
  StartResident(app, /*helpWindow=*/true);
  ASSERT_NE(nullptr, app.WaitFor(kHelp, 5000));
  TypeChord({VK_CONTROL, VK_SHIFT, 'M'});
  ASSERT_TRUE(WaitUntilReadyForInput(app.WaitFor(kMagnifier, 5000)));
  ASSERT_NE(nullptr, EnterPresentation(app));

  // What the installer does: the registered message, sent to the hidden main window.
  HWND main = app.Find(kMainForm);
  ASSERT_NE(nullptr, main);
  DWORD_PTR result = 0;
  ASSERT_TRUE(::SendMessageTimeoutW(main, ::RegisterWindowMessageW(L"Scrivane.Close"), 0, 0, SMTO_ABORTIFHUNG, 5000,
                                    &result));
  const auto code = app.WaitForExit(10000);
  ASSERT_TRUE(code.has_value()) << "still running after the close request";
  EXPECT_EQ(0u, *code);
  EXPECT_EQ(0, CountTrayIcons());
  EXPECT_TRUE(BothHotkeysFree());
  EXPECT_EQ(nullptr, ::FindWindowW(L"ScrivaneOverlay", nullptr));
}

TEST(ProgramEnd, EndOfTheSessionEndsTheProcess) {
  App app;
  Ender ender{app};
  StartResident(app);
  TypeChord({VK_CONTROL, VK_SHIFT, 'M'});
  ASSERT_NE(nullptr, app.WaitFor(kMagnifier, 5000));
  HWND main = app.Find(kMainForm);
  ASSERT_NE(nullptr, main);
  DWORD_PTR ok = 0;
  ASSERT_TRUE(::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &ok));
  EXPECT_EQ(TRUE, static_cast<BOOL>(ok));
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
  const auto code = app.WaitForExit(10000);
  ASSERT_TRUE(code.has_value()) << "still running after the end of the session";
  EXPECT_EQ(0, CountTrayIcons());
}

// --- Ctrl+Shift+Z held by another program -----------------------------------------------------

// The stand-in for the other program: it holds Ctrl+Shift+Z on a window of its own and counts the
// presses that reach it.
class HotkeyHolder {
 public:
  HotkeyHolder() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"E2eHotkeyHolder";
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    held_ = ::RegisterHotKey(hwnd_, 1, MOD_CONTROL | MOD_SHIFT, 'Z') != FALSE;
  }
  ~HotkeyHolder() {
    ::UnregisterHotKey(hwnd_, 1);
    ::DestroyWindow(hwnd_);
  }
  bool Held() const { return held_; }
  static int presses;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_HOTKEY) ++presses;
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  HWND hwnd_ = nullptr;
  bool held_ = false;
};
int HotkeyHolder::presses = 0;

TEST(TakenHotkey, BalloonSaysSoMagnifierKeyWorksAndTheMenuStartsPresentationMode) {
  HotkeyHolder holder;
  ASSERT_TRUE(holder.Held());
  App app;
  Ender ender{app};
  StartResident(app);

  HWND balloon = FindBalloon(kPresentationTaken);
  ASSERT_NE(nullptr, balloon) << "no balloon with the text in Wine's tray";
  SaveImageBmp(CaptureScreen(), ScreenshotDir() + L"\\e2e-taken-hotkey-balloon.bmp");

  // The key combination stays with the program that holds it.
  HotkeyHolder::presses = 0;
  TypeChord({VK_CONTROL, VK_SHIFT, 'Z'});
  EXPECT_TRUE(WaitUntil([] { return HotkeyHolder::presses == 1; }, 3000));
  EXPECT_EQ(nullptr, app.Find(kOverlay));

  // Ctrl+Shift+M is the program's as usual.
  TypeChord({VK_CONTROL, VK_SHIFT, 'M'});
  EXPECT_TRUE(WaitUntilReadyForInput(app.WaitFor(kMagnifier, 5000)));
  TypeChord({VK_CONTROL, VK_SHIFT, 'M'});
  EXPECT_TRUE(WaitUntil([&] { return app.Find({L"", L"Magnifier", false}) == nullptr; }, 5000));

  // The menu's first item starts presentation mode, on a picture without the menu in it: the
  // screen under the menu is a known pattern, and the overlay must show that pattern there.
  auto pattern = std::make_unique<PatternWindow>();
  MovePointer({700, 400});
  const ScreenImage before = SettledScreen();
  HWND main = app.Find(kMainForm);
  ASSERT_NE(nullptr, main);
  ::PostMessageW(main, 0x0205, 0, 0x0204);
  HWND menu = app.WaitFor(kMenu, 5000);
  ASSERT_NE(nullptr, menu);
  const RECT menuRect = WindowRectOf(menu);
  // The menu's window exists before Wine has put its pixels on the screen.
  EXPECT_TRUE(WaitUntil([&] { return CountDifferences(before, CaptureScreen()) > 0; }, 10000))
      << "the menu shows on the screen";
  ClickMenuItem(menu, /*last=*/false);
  HWND overlay = app.WaitFor(kOverlay, 5000);
  ASSERT_NE(nullptr, overlay) << "the first item did not start presentation mode";
  pattern.reset();
  SettledScreen();
  const int w = menuRect.right - menuRect.left;
  const int h = menuRect.bottom - menuRect.top;
  const ScreenImage where = CaptureScreenRect(menuRect.left, menuRect.top, w, h);
  long differing = 0;
  for (int y = menuRect.top; y < menuRect.bottom; ++y) {
    for (int x = menuRect.left; x < menuRect.right; ++x) differing += where.At(x, y) != before.At(x, y);
  }
  EXPECT_EQ(0, differing) << "the grab shows something other than the screen before the menu";
  SaveImageBmp(CaptureScreen(), ScreenshotDir() + L"\\e2e-taken-hotkey-presentation.bmp");
  ::SetForegroundWindow(overlay);
  TapKey(VK_ESCAPE);
  EXPECT_TRUE(WaitUntil([&] { return app.Find(kOverlay) == nullptr; }, 5000));
  app.Stop();
}

}  // namespace
