// The real scrivane.exe from start-up to presentation mode, driven from this separate program.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "e2e/driver.h"
#include "support/test_support.h"

using namespace e2e;
using namespace testing_support;

namespace {

// One resident copy shared by the tests that only need a running program, started on a clean
// registry with the help window turned off.
App& Resident() {
  static App app;
  if (!app.Running()) {
    FreshSettings();
    // Resident: the icon is the last thing the main form's load puts in place.
    if (StartUntilHandOff(app)) WaitUntil([] { return CountTrayIcons() == 1; }, 10000);
  }
  return app;
}

// A topmost magenta square at (100, 100), 200 pixels wide, on the screen before this returns.
HWND ShowBlock() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = ::CreateSolidBrush(RGB(255, 0, 255));
    wc.lpszClassName = L"E2eBlock";
    ::RegisterClassW(&wc);
    registered = true;
  }
  HWND w = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"E2eBlock", L"", WS_POPUP | WS_VISIBLE, 100, 100, 200,
                             200, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::UpdateWindow(w);
  WaitUntil([] { return CaptureScreenRect(200, 200, 1, 1).At(200, 200) == 0x00FF00FFu; }, 5000);
  return w;
}

// A small plain window of this test program in the lower right corner, for the keyboard to rest
// on between key presses.
class KeyboardHolder {
 public:
  KeyboardHolder() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"E2eKeyboardHolder";
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"E2eKeyboardHolder", L"keys", WS_POPUP | WS_BORDER | WS_VISIBLE,
                              ::GetSystemMetrics(SM_CXSCREEN) - 120, ::GetSystemMetrics(SM_CYSCREEN) - 120, 100, 100,
                              nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~KeyboardHolder() { ::DestroyWindow(hwnd_); }
  KeyboardHolder(const KeyboardHolder&) = delete;
  KeyboardHolder& operator=(const KeyboardHolder&) = delete;
  HWND Hwnd() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

void CloseMenu(App& app) {
  if (HWND menuOwner = app.Find(kMainForm)) ::PostMessageW(menuOwner, WM_CANCELMODE, 0, 0);
  WaitUntil([&] { return app.Find(kMenu) == nullptr; }, 3000);
}

TEST(StartUpE2e, SplashThenHelpWindowThenSettingsThenNothingVisible) {
  DeleteScrivaneKeys();
  App app;
  ASSERT_TRUE(app.Start());
  HWND splash = app.WaitFor(kSplash, 10000);
  ASSERT_NE(nullptr, splash);
  const ULONGLONG splashSeen = ::GetTickCount64();
  std::printf("[ figures  ] start-up to splash on screen: %llu ms\n", splashSeen - app.TickAtStart());
  RECT rc = WindowRectOf(splash);
  EXPECT_NEAR(960, (rc.left + rc.right) / 2, 1);
  EXPECT_NEAR(540, (rc.top + rc.bottom) / 2, 1);
  RECT client = ClientOnScreen(splash);
  EXPECT_EQ(398, client.right - client.left);
  EXPECT_EQ(298, client.bottom - client.top);
  EXPECT_EQ(L"", TextOf(splash));
  SaveImageBmp(CaptureScreen(), ScreenshotDir() + L"\\e2e-splash.bmp");

  HWND help = app.WaitFor(kHelp, kHandOffTimeoutMs);
  ASSERT_NE(nullptr, help);
  const ULONGLONG handOff = ::GetTickCount64();
  std::printf("[ figures  ] splash seen to help window: %llu ms\n", handOff - splashSeen);
  // The timer runs 3000 ms from the splash's load, which follows the process's start.
  EXPECT_GE(handOff - app.TickAtStart(), 3000u);
  EXPECT_FALSE(::IsWindowVisible(splash));
  rc = WindowRectOf(help);
  EXPECT_NEAR(960, (rc.left + rc.right) / 2, 1);
  EXPECT_NEAR(540, (rc.top + rc.bottom) / 2, 1);
  for (const wchar_t* text : {L" Scrivane is now loaded.", L" Use the Shortcut Keys to activate the features of Scrivane",
                              L"Action", L"Shortcut Key", L"Start Presentation Mode", L"Control + Shift + Z",
                              L"Deactivate Presentation Mode", L"Esc", L"Toggle Eraser ON/OFF", L"E",
                              L"Erase entire Drawing", L"Control + E", L"Change Colors", L"r,b,y,g",
                              L"Display Color Palette", L"C", L"Change Line Style", L"1-4", L"Start Magnifier",
                              L"Control + Shift + M", L"Load an existing image", L"Control + L", L"Save Drawing",
                              L"Control + S", L" Do not show this message again", L"OK"}) {
    EXPECT_NE(nullptr, ChildWithText(help, text)) << "missing: [" << std::string(text, text + wcslen(text)) << "]";
  }
  EXPECT_EQ(26u, Children(help).size());
  SaveImageBmp(CaptureScreen(), ScreenshotDir() + L"\\e2e-help.bmp");

  // The start-up save: the first-start texts.
  const char* names[] = {"color",    "brushwidth", "erasersize", "showstartup",  "textfont",  "textsize",
                         "textbold", "textitalic", "textcolor",  "keepdrawings", "keepnotice"};
  const char* texts[] = {"255", "10", "0", "0", "", "0", "0", "0", "0", "1", "0"};
  for (int i = 0; i < 11; ++i) EXPECT_EQ(texts[i], ReadRegString(HKEY_LOCAL_MACHINE, kSettingsKey, names[i]).value_or("?")) << names[i];
  EXPECT_EQ(1, CountTrayIcons());

  // OK with the box left unchecked, by a real click once the window can take it.
  HWND check = ChildWithText(help, L" Do not show this message again");
  ASSERT_NE(nullptr, check);
  EXPECT_EQ(BST_UNCHECKED, ::SendMessageW(check, BM_GETCHECK, 0, 0));
  ASSERT_TRUE(ClickWhenReady(ChildWithText(help, L"OK")));
  ASSERT_TRUE(WaitUntil([&] { return app.Find(kHelp) == nullptr; }, 10000));
  EXPECT_EQ("0", ReadRegString(HKEY_LOCAL_MACHINE, kSettingsKey, "showstartup").value_or("?"));
  EXPECT_EQ("8", ReadRegString(HKEY_LOCAL_MACHINE, kSettingsKey, "erasersize").value_or("?"));

  // Resident: no window of the program is visible.
  EXPECT_TRUE(WaitUntil([&] { return app.Windows(true).empty(); }, 5000));
  EXPECT_TRUE(app.Running());
  app.Stop();
  EXPECT_EQ(0, CountTrayIcons());

  // A restart shows the help window again; this time the box is checked.
  ASSERT_TRUE(app.Start());
  help = app.WaitFor(kHelp, kHandOffTimeoutMs);
  ASSERT_NE(nullptr, help);
  // The box, then OK: each click once the window is in front, enabled and under the pointer (a
  // click sent before that, on a busy machine, went nowhere and the box stayed unchecked).
  check = ChildWithText(help, L" Do not show this message again");
  ASSERT_NE(nullptr, check);
  ASSERT_TRUE(ClickWhenReady(check));
  ASSERT_TRUE(WaitUntil([&] { return ::SendMessageW(check, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 10000));
  ASSERT_TRUE(ClickWhenReady(ChildWithText(help, L"OK")));
  ASSERT_TRUE(WaitUntil([&] { return app.Find(kHelp) == nullptr; }, 10000));
  EXPECT_EQ("1", ReadRegString(HKEY_LOCAL_MACHINE, kSettingsKey, "showstartup").value_or("?"));
  app.Stop();

  // The next start shows none: the help window would have come before the main form.
  ASSERT_TRUE(StartUntilHandOff(app));
  EXPECT_EQ(nullptr, app.Find(kHelp));
  EXPECT_TRUE(app.Windows(true).empty());
  app.Stop();
}

TEST(ResidentE2e, SecondCopyIsRefusedAndTheFirstKeepsOneIcon) {
  App& first = Resident();
  ASSERT_EQ(1, CountTrayIcons());
  App second;
  ASSERT_TRUE(second.Start());
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (box = second.MessageBox()) != nullptr; }, 10000));
  EXPECT_EQ(L"Scrivane is already loaded", MessageBoxText(box));
  EXPECT_EQ(L"Error", TextOf(box));
  EXPECT_EQ(nullptr, second.Find({L"ScrivaneSplash", std::nullopt, false}));
  DismissMessageBox(box);
  auto code = second.WaitForExit(5000);
  EXPECT_TRUE(code.has_value());
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(1, CountTrayIcons());
  EXPECT_TRUE(first.Windows(true).empty());
}

TEST(ResidentE2e, IconCallbackOpensTheMenuOnlyForTheRightButtonPress) {
  App& app = Resident();
  HWND main = app.Find(kMainForm);
  ASSERT_NE(nullptr, main);
  // Sent, so that each has been handled when the call returns: a handler that opened the menu
  // would sit in its modal loop and the call would not come back in time.
  for (LPARAM other : {0x0200, 0x0201, 0x0202, 0x0203, 0x0205, 0x0206}) {
    DWORD_PTR result = 0;
    EXPECT_NE(0, ::SendMessageTimeoutW(main, 0x0205, 0, other, SMTO_NORMAL, 10000, &result)) << std::hex << other;
  }
  EXPECT_EQ(nullptr, app.Find(kMenu));
  ::PostMessageW(main, 0x0205, 0, 0x0204);
  HWND menu = app.WaitFor(kMenu, 3000);
  ASSERT_NE(nullptr, menu);
  SaveImageBmp(CaptureScreen(), ScreenshotDir() + L"\\e2e-tray-menu.bmp");
  CloseMenu(app);
  EXPECT_EQ(nullptr, app.Find(kMenu));

  // And a real right-button press on the icon in the tray.
  if (HWND icon = FirstTrayIconWindow()) {
    RECT rc = WindowRectOf(icon);
    MouseMoveTo((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    Pump(50);
    MouseButton(2, true);
    EXPECT_NE(nullptr, app.WaitFor(kMenu, 3000));
    MouseButton(2, false);
    CloseMenu(app);
  }
}

TEST(ResidentE2e, PresentationHotkeyFreezesTheScreenAndASecondRegrabs) {
  App& app = Resident();
  // The pointer away from the icon, whose tip would come up over the frozen screen.
  MouseMoveTo(1000, 800);
  auto pattern = std::make_unique<PatternWindow>();
  ScreenImage before = CaptureScreen();
  TypeChord({VK_CONTROL, VK_SHIFT, 'Z'});
  HWND overlay = app.WaitFor(kOverlay, 5000);
  ASSERT_NE(nullptr, overlay);
  // The pattern goes away; the overlay still shows the screen as it was.
  pattern.reset();
  EXPECT_TRUE(WaitUntil([&] { return CountDifferences(before, CaptureScreen()) == 0; }, 5000));
  SaveImageBmp(CaptureScreen(), ScreenshotDir() + L"\\e2e-presentation.bmp");

  // A window of this program's own appears over the overlay. Without a new grab, the overlay
  // shows the old picture again where it was once it goes...
  const POINT probe{200, 200};
  auto probeColour = [&] { return CaptureScreenRect(probe.x, probe.y, 1, 1).At(probe.x, probe.y); };
  HWND block = ShowBlock();
  EXPECT_EQ(0x00FF00FFu, probeColour());
  ::DestroyWindow(block);
  EXPECT_TRUE(WaitUntil([&] { return probeColour() == before.At(probe.x, probe.y); }, 5000));
  // ...but a second Ctrl+Shift+Z grabs the screen again, that window included. The overlay comes
  // to the front only after its grab: with the block in front before the key, the overlay back in
  // front says the grab is done.
  block = ShowBlock();
  ASSERT_TRUE(BringToFront(block));
  TypeChord({VK_CONTROL, VK_SHIFT, 'Z'});
  EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == overlay; }, 5000));
  ::DestroyWindow(block);
  overlay = app.WaitFor(kOverlay, 5000);
  ASSERT_NE(nullptr, overlay);
  EXPECT_TRUE(WaitUntil([&] { return probeColour() == 0x00FF00FFu; }, 5000));
  SaveImageBmp(CaptureScreen(), ScreenshotDir() + L"\\e2e-presentation-regrab.bmp");

  // Esc leaves presentation mode.
  ASSERT_TRUE(BringToFront(overlay));
  TapKey(VK_ESCAPE);
  EXPECT_TRUE(WaitUntil([&] { return app.Find(kOverlay) == nullptr; }, 5000));
}

TEST(ResidentE2e, MagnifierHotkeyShowsClosesAndShowsAgain) {
  App& app = Resident();
  // Under Wine a key sent while no window has the keyboard can be lost, hotkey included, and after
  // a window comes or goes the window manager gives the focus in its own time. Each press waits
  // until a window of this program has the keyboard, as a person's press comes with some window
  // in front.
  KeyboardHolder holder;
  auto press = [&] {
    ASSERT_TRUE(BringToFront(holder.Hwnd()));
    TypeChord({VK_CONTROL, VK_SHIFT, 'M'});
  };
  press();
  EXPECT_NE(nullptr, app.WaitFor(kMagnifier, 5000));
  press();
  EXPECT_TRUE(WaitUntil([&] { return app.Find({L"", L"Magnifier", false}) == nullptr; }, 5000));
  press();
  EXPECT_NE(nullptr, app.WaitFor(kMagnifier, 5000));
  press();
  EXPECT_TRUE(WaitUntil([&] { return app.Find({L"", L"Magnifier", false}) == nullptr; }, 5000));
}

TEST(ResidentE2e, TaskbarCreatedBroadcastBringsTheIconBack) {
  App& app = Resident();
  HWND main = app.Find(kMainForm);
  ASSERT_NE(nullptr, main);
  ASSERT_EQ(1, CountTrayIcons());
  // The shell forgets the program's icon, as a restarted shell does: delete it by its owner and
  // id (the id is the handle of the main form's small icon).
  NOTIFYICONDATAW gone{};
  gone.cbSize = sizeof gone;
  gone.hWnd = main;
  gone.uID = static_cast<UINT>(reinterpret_cast<UINT_PTR>(::GetPropW(main, L"Scrivane.TrayIconId")));
  ASSERT_NE(0u, gone.uID);
  ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &gone)) << "icon id " << gone.uID;
  ASSERT_TRUE(WaitUntil([] { return CountTrayIcons() == 0; }, 3000));
  // The new shell announces itself to every top-level window.
  DWORD_PTR result = 0;
  ::SendMessageTimeoutW(HWND_BROADCAST, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 3000,
                        &result);
  EXPECT_TRUE(WaitUntil([] { return CountTrayIcons() == 1; }, 3000));
  EXPECT_TRUE(app.Windows(true).empty());
}

TEST(ResidentE2e, IdleWhileResident) {
  App& app = Resident();
  Pump(500);
  const double cpu0 = app.CpuSeconds();
  const ULONGLONG t0 = ::GetTickCount64();
  ::Sleep(10000);
  const double cpu1 = app.CpuSeconds();
  const double wall = (::GetTickCount64() - t0) / 1000.0;
  std::printf("[ figures  ] idle CPU while resident: %.3f s over %.1f s (%.2f %%)\n", cpu1 - cpu0, wall,
              100.0 * (cpu1 - cpu0) / wall);
  EXPECT_GE(cpu1, cpu0);
  app.Stop();
  EXPECT_EQ(0, CountTrayIcons());
}

}  // namespace
