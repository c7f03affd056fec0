#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "e2e/driver.h"
#include "base/error.h"
#include "magnifier/mag_win.h"
#include "overlay/keeping.h"
#include "overlay/ss.h"
#include "overlay/tool_cursors.h"
#include "settings/app_settings.h"
#include "shell/form1.h"
#include "shell/frm_splash.h"
#include "shell/message_window.h"
#include "shell/mod1.h"
#include "shell/myhotkey.h"
#include "shell/start_up.h"
#include "shell/tray_menu.h"
#include "shell/uncaught_error.h"
#include "resources/resource_ids.h"
#include "support/test_app.h"
#include "support/test_support.h"
#include "support/texts_whole.h"

using namespace testing_support;

namespace {

// Twips to pixels on this screen, as a form converts its sizes: a half pixel goes to the even
// neighbour (1005 twips at 144 dpi are 100.5 pixels: 100).
int Px(int twips) {
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
  ::ReleaseDC(nullptr, screen);
  const int twice = 2 * twips * dpi / 1440;  // exact: every place in the layout is a multiple of 15
  const int whole = twice / 2;
  return twice % 2 == 0 ? whole : whole + (whole % 2);
}

void ResetSettings() {
  App().AppSettings = settings::AppSettingsRecord{};
  e2e::DeleteScrivaneKeys();
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSettings(); }
  void TearDown() override {
    if (App().helpWindow.IsLoaded()) App().helpWindow.Unload();
    if (App().mainForm.IsLoaded()) App().mainForm.Unload();
    if (App().splash.IsLoaded()) App().splash.Unload();
    if (App().magnifier.IsLoaded()) App().magnifier.UnloadWindow();
    Pump(50);
  }
};

// --- Tray menu ------------------------------------------------------------------------------

TEST(TrayMenu, HasEveryItemWithItsCaptionInOrderAndNothingChecked) {
  forms::PopupMenu menu;
  shell::BuildRCPopup(menu);
  HMENU m = menu.Handle();
  ASSERT_EQ(10, ::GetMenuItemCount(m));
  const wchar_t* top[] = {L"Colours",       L"Line Style",    L"Live Drawing",    L"Magnifier",  L"Quick Help",
                          L"Documentation", L"Keep Drawings", L"Recent Drawings", L"Options...", L"Exit"};
  for (int i = 0; i < 10; ++i) {
    wchar_t text[64] = {};
    ::GetMenuStringW(m, i, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(top[i], text) << i;
  }
  HMENU col = ::GetSubMenu(m, 0);
  HMENU ls = ::GetSubMenu(m, 1);
  ASSERT_NE(nullptr, col);
  ASSERT_NE(nullptr, ls);
  const wchar_t* colours[] = {L"Red", L"Yellow", L"Blue", L"Green", L"Palette"};
  const wchar_t* widths[] = {L"1", L"5", L"10", L"15", L"20"};
  ASSERT_EQ(5, ::GetMenuItemCount(col));
  ASSERT_EQ(5, ::GetMenuItemCount(ls));
  for (int i = 0; i < 5; ++i) {
    wchar_t text[64] = {};
    ::GetMenuStringW(col, i, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(colours[i], text);
    EXPECT_EQ(shell::kColourGroup[i], ::GetMenuItemID(col, i));
    ::GetMenuStringW(ls, i, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(widths[i], text);
    EXPECT_EQ(shell::kWidthGroup[i], ::GetMenuItemID(ls, i));
  }
  for (UINT id : shell::kColourGroup) EXPECT_FALSE(menu.IsChecked(id));
  for (UINT id : shell::kWidthGroup) EXPECT_FALSE(menu.IsChecked(id));
  EXPECT_FALSE(menu.IsChecked(shell::kItemKeepDrawings));
  EXPECT_FALSE(menu.IsChecked(shell::kItemLiveDrawing));
  EXPECT_EQ(shell::kItemLiveDrawing, ::GetMenuItemID(m, 2));
  EXPECT_EQ(shell::kItemKeepDrawings, ::GetMenuItemID(m, 6));
  EXPECT_EQ(shell::kItemRecentDrawings, ::GetMenuItemID(m, 7));
  EXPECT_EQ(shell::kItemOptions, ::GetMenuItemID(m, 8));
  EXPECT_EQ(shell::kItemRest1, ::GetMenuItemID(m, 9));
}

TEST(TrayMenu, StartMarksFollowColourAndWidth) {
  struct Case {
    int32_t color;
    int16_t width;
    UINT colourItem;
    UINT widthItem;
  };
  const Case cases[] = {
      {0x0000FF, 10, shell::kItemRed, shell::kItemTen},       {0x00FFFF, 1, shell::kItemYellow, shell::kItemOne},
      {0xFF0000, 5, shell::kItemBlue, shell::kItemFive},      {0x00FF00, 20, shell::kItemGreen, shell::kItemTwenty},
      {0x123456, 15, shell::kItemMypalette, shell::kItemFifteen}, {0, 3, shell::kItemMypalette, 0},
      {0x0000FE, 0, shell::kItemMypalette, 0},
  };
  for (const Case& c : cases) {
    forms::PopupMenu menu;
    shell::BuildRCPopup(menu);
    // Marks from an earlier state must go.
    menu.SetChecked(shell::kItemGreen, true);
    menu.SetChecked(shell::kItemTwenty, true);
    shell::SetStartMarks(menu, c.color, c.width);
    for (UINT id : shell::kColourGroup) EXPECT_EQ(id == c.colourItem, menu.IsChecked(id)) << c.color << " " << id;
    for (UINT id : shell::kWidthGroup) EXPECT_EQ(id == c.widthItem, menu.IsChecked(id)) << c.width << " " << id;
  }
}

// --- Main form -----------------------------------------------------------------------------

TEST_F(ShellTest, MainFormLoadHooksInOrderAddsOneIconAndStaysHidden) {
  App().AppSettings.color = 0xFF0000;
  App().AppSettings.brushwidth = 15;
  form1& f = App().mainForm;
  f.Load();
  HWND w = f.Hwnd();
  ASSERT_NE(nullptr, w);
  EXPECT_FALSE(::IsWindowVisible(w));
  wchar_t title[32] = {};
  ::GetWindowTextW(w, title, 32);
  EXPECT_STREQ(L"Scrivane", title);
  EXPECT_EQ(-1, f.oncestarted);
  EXPECT_EQ(8, App().AppSettings.erasersize);
  EXPECT_TRUE(f.RCPopup.IsChecked(shell::kItemBlue));
  EXPECT_TRUE(f.RCPopup.IsChecked(shell::kItemFifteen));

  // tray hook -> hotkey hook -> the form's own procedure.
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&mod1::TrayWindowProc), ::GetWindowLongPtrW(w, GWLP_WNDPROC));
  EXPECT_EQ(-1, App().Tray.trayHooked);
  EXPECT_EQ(w, App().Tray.trayHookedWindow);
  EXPECT_EQ(&myhotkey::HotkeyWindowProc, App().Tray.trayPreviousProc);
  // A hotkey message passes the tray hook and is taken by the hotkey hook (id 9 does nothing).
  EXPECT_EQ(1, ::SendMessageW(w, WM_HOTKEY, 9, 0));
  // The icon's callback with another lParam goes through to the form, which ignores it.
  EXPECT_EQ(0, ::SendMessageW(w, mod1::trayCallbackMessage, 0, WM_LBUTTONDOWN));

  EXPECT_EQ(1, e2e::CountTrayIcons());
  // The record the shell was given: the ANSI one at its first-version size, the form's icon (its
  // handle is the id too), the callback, and the tip "Scrivane" padded with blanks after its NUL.
  const NOTIFYICONDATAA& r = App().Tray.TrayIcon;
  EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE), r.cbSize);
  EXPECT_EQ(offsetof(NOTIFYICONDATAA, szTip) + 64, static_cast<size_t>(r.cbSize));
  EXPECT_EQ(w, r.hWnd);
  EXPECT_EQ(f.FormIcon(), r.hIcon);
  EXPECT_EQ(static_cast<UINT>(reinterpret_cast<UINT_PTR>(f.FormIcon())), r.uID);
  EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP), r.uFlags);
  EXPECT_EQ(0x0205u, r.uCallbackMessage);
  EXPECT_EQ(0, std::memcmp(r.szTip, "Scrivane\0", 9));
  for (int i = 9; i < 64; ++i) EXPECT_EQ(' ', r.szTip[i]) << i;

  // A second run of the click handler neither hooks twice nor adds a second icon.
  f.Command1_Click();
  EXPECT_EQ(&myhotkey::HotkeyWindowProc, App().Tray.trayPreviousProc);
  EXPECT_EQ(1, ::SendMessageW(w, WM_HOTKEY, 9, 0));
  Pump(100);
  EXPECT_EQ(1, e2e::CountTrayIcons());

  // Unhooking puts the hotkey hook back, which stays.
  App().Tray.UnhookTrayMessages();
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&myhotkey::HotkeyWindowProc), ::GetWindowLongPtrW(w, GWLP_WNDPROC));
  EXPECT_EQ(0, App().Tray.trayHooked);
}

TEST_F(ShellTest, MainFormHoldsBothHotkeysUntilItGoesWithItsIcon) {
  App().mainForm.Load();
  HWND other = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  EXPECT_FALSE(::RegisterHotKey(other, 5, MOD_CONTROL | MOD_SHIFT, 'Z'));
  EXPECT_FALSE(::RegisterHotKey(other, 6, MOD_CONTROL | MOD_SHIFT, 'M'));
  App().mainForm.Unload();
  Pump(100);
  EXPECT_EQ(0, e2e::CountTrayIcons());
  EXPECT_EQ(0, App().Tray.trayHooked);
  EXPECT_TRUE(::RegisterHotKey(other, 5, MOD_CONTROL | MOD_SHIFT, 'Z'));
  EXPECT_TRUE(::RegisterHotKey(other, 6, MOD_CONTROL | MOD_SHIFT, 'M'));
  ::UnregisterHotKey(other, 5);
  ::UnregisterHotKey(other, 6);
  ::DestroyWindow(other);
  // And a new load hooks and adds the icon again.
  App().mainForm.Load();
  EXPECT_EQ(-1, App().Tray.trayHooked);
  Pump(100);
  EXPECT_EQ(1, e2e::CountTrayIcons());
}

TEST_F(ShellTest, IconComesBackWhenTheShellRecreatesItsNotificationArea) {
  form1& f = App().mainForm;
  f.Load();
  Pump(100);
  ASSERT_EQ(1, e2e::CountTrayIcons());
  // The shell forgets the icon, as a restarted shell would.
  NOTIFYICONDATAA gone = App().Tray.TrayIcon;
  ::Shell_NotifyIconA(NIM_DELETE, &gone);
  Pump(100);
  ASSERT_EQ(0, e2e::CountTrayIcons());
  ::SendMessageW(f.Hwnd(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  Pump(100);
  EXPECT_EQ(1, e2e::CountTrayIcons());
}

TEST_F(ShellTest, TheLastResortTakesTheIconAwayByWhatTheMainWindowSays) {
  form1& f = App().mainForm;
  f.Load();
  ASSERT_TRUE(PumpUntil([] { return e2e::CountTrayIcons() == 1; }));
  // All the error handler has: the main window of this process and the id it keeps.
  const HWND main = ::FindWindowW(form1::kClassName, nullptr);
  ASSERT_EQ(f.Hwnd(), main);
  const auto id = static_cast<UINT>(reinterpret_cast<UINT_PTR>(::GetPropW(main, form1::kTrayIconIdProp)));
  EXPECT_EQ(App().Tray.TrayIcon.uID, id);
  mod1::RemoveTrayIconOf(main, id);
  EXPECT_TRUE(PumpUntil([] { return e2e::CountTrayIcons() == 0; }));
}

// Every window still up when the application object goes (as in a test or the benchmark): it
// takes them all with it, each through its own unload, so the open presentation's drawing reaches
// the keeper before the keeper stops.
TEST_F(ShellTest, TheApplicationObjectTakesEveryWindowWithItAndKeepsTheOpenDrawing) {
  const std::wstring folder = TempDir(L"teardown");
  for (const std::wstring& n : FileNames(folder)) ::DeleteFileW((folder + L"\\" + n).c_str());
  auto keeper = std::make_unique<overlay::DrawingKeeper>(folder, nullptr);
  HWND main = nullptr, overlay = nullptr, magnifier = nullptr, help = nullptr;
  {
    shell::Application app;
    app.overlay.History().SetKeeper(keeper.get());
    app.mainForm.Load();
    app.magnifier.ShowWindowModeless();
    app.helpWindow.ShowQuickHelp();
    app.overlay.cmdScreen_Click();
    app.overlay.ShowOverlay();
    ASSERT_TRUE(PumpUntil([&] { return app.overlay.IsVisible(); }));
    app.overlay.TogglePen();  // the opaque pen: the highlighter leaves a black desktop black
    app.overlay.History().BeginChange();
    app.overlay.Picture1.PSet(300, 300, RGB(255, 0, 0), 20);
    app.overlay.History().EndChange();
    main = app.mainForm.Hwnd();
    overlay = app.overlay.Hwnd();
    magnifier = app.magnifier.Hwnd();
    help = app.helpWindow.Hwnd();
  }
  for (HWND w : {main, overlay, magnifier, help}) EXPECT_FALSE(::IsWindow(w));
  keeper.reset();  // writes what it was handed
  EXPECT_EQ(1u, FileNames(folder, L"*.png").size());
  EXPECT_TRUE(PumpUntil([] { return e2e::CountTrayIcons() == 0; }));
}

TEST_F(ShellTest, ColourAndWidthCommandsMoveTheirMarkAndSave) {
  form1& f = App().mainForm;
  App().AppSettings.color = 0x123456;  // "Palette" at load
  App().AppSettings.brushwidth = 10;
  f.Load();
  ASSERT_TRUE(f.RCPopup.IsChecked(shell::kItemMypalette));
  f.green_Click();
  EXPECT_EQ(0x00FF00, App().AppSettings.color);
  for (UINT id : shell::kColourGroup) EXPECT_EQ(id == shell::kItemGreen, f.RCPopup.IsChecked(id));
  EXPECT_EQ("65280", e2e::ReadRegString(HKEY_LOCAL_MACHINE, e2e::kSettingsKey, "color").value_or("?"));
  f.twenty_Click();
  EXPECT_EQ(20, App().AppSettings.brushwidth);
  for (UINT id : shell::kWidthGroup) EXPECT_EQ(id == shell::kItemTwenty, f.RCPopup.IsChecked(id));
  EXPECT_EQ("20", e2e::ReadRegString(HKEY_LOCAL_MACHINE, e2e::kSettingsKey, "brushwidth").value_or("?"));
  // The overlay's key reaches the same command.
  short r = 'r';
  App().overlay.Picture1_KeyPress(r);
  EXPECT_EQ(0x0000FF, App().AppSettings.color);
  EXPECT_TRUE(f.RCPopup.IsChecked(shell::kItemRed));
  EXPECT_FALSE(f.RCPopup.IsChecked(shell::kItemGreen));
}

TEST_F(ShellTest, HiddenButtonsCarryTheSixCursors) {
  form1& f = App().mainForm;
  f.Load();
  struct Carrier {
    HWND button;
    overlay::CursorKind kind;
  };
  const Carrier carriers[] = {{f.Command1, overlay::CursorKind::Highlighter}, {f.ic5, overlay::CursorKind::Pen},
                              {f.ic1, overlay::CursorKind::Eraser8},         {f.ic2, overlay::CursorKind::Eraser16},
                              {f.ic3, overlay::CursorKind::Eraser24},        {f.Command2, overlay::CursorKind::Eraser32}};
  // The cursors are made at the size the system asks for at this screen's scaling.
  const int size = ::GetSystemMetrics(SM_CXCURSOR);
  for (const Carrier& c : carriers) {
    ASSERT_NE(nullptr, c.button);
    EXPECT_FALSE(::IsWindowVisible(c.button));
    ASSERT_NE(nullptr, f.CursorImage(c.kind));
    EXPECT_EQ(size, overlay::CursorImageSize(f.CursorImage(c.kind)));
  }
  // Six different images.
  for (size_t i = 0; i < 6; ++i)
    for (size_t j = i + 1; j < 6; ++j) EXPECT_NE(f.CursorImage(carriers[i].kind), f.CursorImage(carriers[j].kind));
  wchar_t caption[32] = {};
  ::GetWindowTextW(f.Command1, caption, 32);
  EXPECT_STREQ(L"highliter icon", caption);
  ::GetWindowTextW(f.ic5, caption, 32);
  EXPECT_STREQ(L"penicon", caption);
}

// --- Help window ---------------------------------------------------------------------------

TEST_F(ShellTest, HelpWindowHasEveryControlAtItsPlaceWithItsTextAndWeight) {
  messageWindow& m = App().helpWindow;
  m.ShowStartupForm();
  HWND w = m.Hwnd();
  ASSERT_NE(nullptr, w);
  EXPECT_TRUE(::IsWindowVisible(w));
  LONG style = ::GetWindowLongW(w, GWL_STYLE);
  EXPECT_NE(static_cast<LONG>(WS_CAPTION), style & WS_CAPTION);  // no title bar
  EXPECT_FALSE(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  RECT client;
  ::GetClientRect(w, &client);
  EXPECT_EQ(Px(6135), client.right);
  EXPECT_EQ(Px(6420), client.bottom);
  RECT rc;
  ::GetWindowRect(w, &rc);
  EXPECT_NEAR(::GetSystemMetrics(SM_CXSCREEN) / 2, (rc.left + rc.right) / 2, 1);
  EXPECT_NEAR(::GetSystemMetrics(SM_CYSCREEN) / 2, (rc.top + rc.bottom) / 2, 1);

  // What the window shows, control by control: text, place and size in twips, weight.
  struct Expected {
    const wchar_t* name;
    const wchar_t* text;
    int left, top, width, height;
    bool bold;
  };
  const Expected expected[] = {
      {L"Label24", L" Scrivane is now loaded.", 1710, 270, 2715, 300, true},
      {L"Label1", L" Use the Shortcut Keys to activate the features of Scrivane", 120, 600, 6135, 300, true},
      {L"Label2", L"Action", 660, 1350, 795, 240, true},
      {L"Label3", L"Shortcut Key", 3930, 1350, 1875, 240, true},
      {L"Label14", L"Start Presentation Mode", 660, 1800, 3135, 240, false},
      {L"Label4", L"Control + Shift + Z", 3930, 1800, 1875, 240, false},
      {L"Label15", L"Deactivate Presentation Mode", 660, 2130, 3135, 240, false},
      {L"Label5", L"Esc", 3930, 2130, 1875, 240, false},
      {L"Label16", L"Toggle Eraser ON/OFF", 660, 2460, 3135, 240, false},
      {L"Label6", L"E", 3930, 2460, 1875, 240, false},
      {L"Label17", L"Erase entire Drawing", 660, 2790, 3135, 240, false},
      {L"Label7", L"Control + E", 3930, 2790, 1875, 240, false},
      {L"Label18", L"Change Colors", 660, 3120, 3135, 240, false},
      {L"Label8", L"r,b,y,g", 3930, 3120, 1875, 240, false},
      {L"Label19", L"Display Color Palette", 660, 3450, 3135, 240, false},
      {L"Label9", L"C", 3930, 3450, 1875, 240, false},
      {L"Label20", L"Change Line Style", 660, 3780, 3135, 240, false},
      {L"Label10", L"1-4", 3930, 3780, 1875, 240, false},
      {L"Label21", L"Start Magnifier", 660, 4110, 3135, 240, false},
      {L"Label11", L"Control + Shift + M", 3930, 4110, 1875, 240, false},
      {L"Label22", L"Load an existing image", 660, 4440, 3135, 240, false},
      {L"Label12", L"Control + L", 3930, 4440, 1875, 240, false},
      {L"Label23", L"Save Drawing", 660, 4770, 3135, 240, false},
      {L"Label13", L"Control + S", 3930, 4770, 1875, 240, false},
      {L"Check1", L" Do not show this message again", 1320, 5310, 3750, 330, false},
      {L"Command1", L"OK", 2700, 5850, 1005, 345, true},
  };
  for (const Expected& c : expected) {
    HWND h = m.Control(c.name);
    ASSERT_NE(nullptr, h) << c.name;
    wchar_t text[128] = {};
    ::GetWindowTextW(h, text, 128);
    EXPECT_STREQ(c.text, text) << c.name;
    RECT r;
    ::GetWindowRect(h, &r);
    ::MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(Px(c.left), r.left) << c.name;
    EXPECT_EQ(Px(c.top), r.top) << c.name;
    EXPECT_EQ(Px(c.width), r.right - r.left) << c.name;
    EXPECT_EQ(Px(c.height), r.bottom - r.top) << c.name;
    LOGFONTW lf{};
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(h, WM_GETFONT, 0, 0));
    ASSERT_NE(nullptr, font) << c.name;
    ::GetObjectW(font, sizeof lf, &lf);
    EXPECT_EQ(c.bold ? 700 : 400, lf.lfWeight) << c.name;
    EXPECT_STREQ(L"Verdana", lf.lfFaceName);
    EXPECT_TRUE(::IsWindowVisible(h)) << c.name;
  }
  EXPECT_EQ(BST_UNCHECKED, ::SendMessageW(m.Control(L"Check1"), BM_GETCHECK, 0, 0));
}

TEST_F(ShellTest, OkStoresTheBoxAndUnloads) {
  messageWindow& m = App().helpWindow;
  for (bool checked : {true, false}) {
    m.ShowStartupForm();
    ::SendMessageW(m.Control(L"Check1"), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    ::SendMessageW(m.Control(L"Command1"), BM_CLICK, 0, 0);
    Pump(50);
    EXPECT_FALSE(m.IsLoaded());
    EXPECT_EQ(checked ? 1 : 0, App().AppSettings.showstartup);
    EXPECT_EQ(checked ? "1" : "0",
              e2e::ReadRegString(HKEY_LOCAL_MACHINE, e2e::kSettingsKey, "showstartup").value_or("?"));
  }
}

TEST_F(ShellTest, QuickHelpSwitchesTheOpenWindowToItsForm) {
  messageWindow& m = App().helpWindow;
  m.ShowStartupForm();
  App().AppSettings.showstartup = 1;
  m.ShowQuickHelp();
  EXPECT_FALSE(::IsWindowVisible(m.Control(L"Label24")));
  wchar_t text[64] = {};
  ::GetWindowTextW(m.Control(L"Check1"), text, 64);
  EXPECT_STREQ(L"Do not show this message on startup", text);
  EXPECT_EQ(BST_CHECKED, ::SendMessageW(m.Control(L"Check1"), BM_GETCHECK, 0, 0));
  // Closing by other means than OK stores nothing.
  ::SendMessageW(m.Hwnd(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(m.IsLoaded());
  EXPECT_FALSE(e2e::KeyExists(HKEY_LOCAL_MACHINE, e2e::kSettingsKey));
  // A new load starts from the start-up form again; its table has the keys chosen in Options.
  App().AppSettings.showstartup = -1;
  App().AppSettings.hotkeypresent = settings::HotkeyWord('P', settings::kHotkeyControl | settings::kHotkeyAlt);
  m.ShowQuickHelp();
  ::GetWindowTextW(m.Control(L"Label4"), text, 64);
  EXPECT_STREQ(L"Control + Alt + P", text);
  ::GetWindowTextW(m.Control(L"Label11"), text, 64);
  EXPECT_STREQ(L"Control + Shift + M", text);
  EXPECT_EQ(BST_UNCHECKED, ::SendMessageW(m.Control(L"Check1"), BM_GETCHECK, 0, 0));
  m.Unload();
  m.ShowStartupForm();
  EXPECT_TRUE(::IsWindowVisible(m.Control(L"Label24")));
  ::GetWindowTextW(m.Control(L"Check1"), text, 64);
  EXPECT_STREQ(L" Do not show this message again", text);
}

// --- Start-up -------------------------------------------------------------------------------

// What the hand-off had done when the help window was being shown.
struct AtHelpShown {
  bool seen = false;
  bool mainFormLoaded = true;
  bool keyExisted = true;
};
AtHelpShown gAtHelp;
HHOOK gShowHook = nullptr;

LRESULT CALLBACK WatchHelpShown(int code, WPARAM wParam, LPARAM lParam) {
  auto* cwp = reinterpret_cast<CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && cwp->message == WM_SHOWWINDOW && cwp->wParam && !gAtHelp.seen &&
      cwp->hwnd == App().helpWindow.Hwnd()) {
    gAtHelp.seen = true;
    gAtHelp.mainFormLoaded = App().mainForm.IsLoaded();
    gAtHelp.keyExisted = e2e::KeyExists(HKEY_LOCAL_MACHINE, e2e::kSettingsKey);
  }
  return ::CallNextHookEx(gShowHook, code, wParam, lParam);
}

TEST_F(ShellTest, SplashLoadsSettingsThenHandsOffInOrder) {
  App().magnifier.zoomFactor = 0;
  frmSplash& s = App().splash;
  s.ShowModeless();
  ASSERT_TRUE(s.IsLoaded());
  EXPECT_TRUE(::IsWindowVisible(s.Hwnd()));
  EXPECT_EQ(3, App().magnifier.zoomFactor);
  EXPECT_EQ(255, App().AppSettings.color);  // first start
  EXPECT_EQ(10, App().AppSettings.brushwidth);
  RECT client;
  ::GetClientRect(s.Hwnd(), &client);
  EXPECT_EQ(Px(5970), client.right);
  EXPECT_EQ(Px(4470), client.bottom);
  EXPECT_NE(static_cast<LONG>(WS_CAPTION), ::GetWindowLongW(s.Hwnd(), GWL_STYLE) & WS_CAPTION);

  gAtHelp = {};
  gShowHook = ::SetWindowsHookExW(WH_CALLWNDPROC, &WatchHelpShown, nullptr, ::GetCurrentThreadId());
  s.Timer1_Timer();
  ::UnhookWindowsHookEx(gShowHook);

  ASSERT_TRUE(gAtHelp.seen);
  EXPECT_FALSE(gAtHelp.mainFormLoaded);  // the help window comes before the main form and icon
  EXPECT_FALSE(gAtHelp.keyExisted);      // and before the save
  EXPECT_FALSE(s.IsLoaded());
  EXPECT_TRUE(App().helpWindow.IsVisible());
  ASSERT_TRUE(App().mainForm.IsLoaded());
  EXPECT_FALSE(::IsWindowVisible(App().mainForm.Hwnd()));
  const char* names[] = {"color", "brushwidth", "erasersize", "showstartup", "textfont",
                         "textsize", "textbold", "textitalic", "textcolor"};
  const char* texts[] = {"255", "10", "0", "0", "", "0", "0", "0", "0"};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(texts[i], e2e::ReadRegString(HKEY_LOCAL_MACHINE, e2e::kSettingsKey, names[i]).value_or("?"))
        << names[i];
  }
  EXPECT_EQ(8, App().AppSettings.erasersize);  // set by the main form after the save
}

// --- At 100, 150 and 200 % (this program runs in each) -----------------------------------

TEST_F(ShellTest, TheSplashAndTheHelpWindowGrowWithTheScalingAndCutNothingOff) {
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
  ::ReleaseDC(nullptr, screen);
  const std::wstring scale = std::to_wstring(dpi * 100 / 96);

  frmSplash& s = App().splash;
  s.ShowModeless();
  ASSERT_NO_FATAL_FAILURE(ExpectShownWithTextsWhole(s.Hwnd(), "splash"));
  // The artwork fills the client area: its lower-right corner is painted, not the window's black.
  RECT client{};
  ::GetClientRect(s.Hwnd(), &client);
  ::MapWindowPoints(s.Hwnd(), nullptr, reinterpret_cast<POINT*>(&client), 2);
  ScreenImage splash;
  auto blackInLastRow = [&] {
    long black = 0;
    for (int x = 0; x < splash.width; ++x) black += splash.At(splash.left + x, splash.top + splash.height - 1) == 0;
    return black;
  };
  PumpUntil([&] {
    splash = CaptureScreenRect(client.left, client.top, client.right - client.left, client.bottom - client.top);
    return blackInLastRow() < splash.width / 2;
  });
  SaveImageBmp(splash, ScreenshotDir() + L"\\splash-" + scale + L".bmp");
  EXPECT_LT(blackInLastRow(), splash.width / 2) << "the artwork does not reach the bottom";
  // The two notice lines are white text straight on the artwork: they read only where the artwork
  // behind them is dark. Within each line's box there is white text (once the line has painted),
  // and the rest, apart from the text's smoothed edges, is dark.
  struct Tally {
    int white = 0, dark = 0, all = 0;
  };
  auto tally = [&](HWND line) {
    RECT box{};
    ::GetWindowRect(line, &box);
    Tally t;
    t.all = (box.right - box.left) * (box.bottom - box.top);
    for (int y = box.top; y < box.bottom; ++y)
      for (int x = box.left; x < box.right; ++x) {
        const uint32_t c = splash.At(x, y);
        const int luma = (((c >> 16) & 0xFF) * 299 + ((c >> 8) & 0xFF) * 587 + (c & 0xFF) * 114) / 1000;
        t.white += luma > 200;
        t.dark += luma < 90;
      }
    return t;
  };
  PumpUntil([&] {
    splash = CaptureScreenRect(client.left, client.top, client.right - client.left, client.bottom - client.top);
    return tally(s.Label1).white > tally(s.Label1).all / 50 && tally(s.Label2).white > tally(s.Label2).all / 50;
  });
  for (HWND line : {s.Label1, s.Label2}) {
    const Tally t = tally(line);
    EXPECT_GT(t.white, t.all / 50) << "no white text in the splash's notice line";
    EXPECT_GT(t.dark, t.all * 3 / 4) << "the artwork behind the splash's notice line is too light for white text";
  }
  s.Unload();

  messageWindow& m = App().helpWindow;
  m.ShowStartupForm();
  ASSERT_NO_FATAL_FAILURE(ExpectShownWithTextsWhole(m.Hwnd(), "help window"));
  RECT rc{};
  ::GetWindowRect(m.Hwnd(), &rc);
  SaveImageBmp(CaptureScreenRect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top),
               ScreenshotDir() + L"\\help-" + scale + L".bmp");
}

TEST_F(ShellTest, MovedToAMonitorOfAnotherScalingTheHelpWindowLaysItselfOutAgain) {
  messageWindow& m = App().helpWindow;
  m.ShowStartupForm();
  ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(m.Hwnd()); }));
  // What the system sends when the window reaches a monitor at 192 dpi (Wine, with one dpi for
  // every monitor, never does): the new dpi and the place it suggests.
  RECT suggested{100, 50, 100 + 840, 50 + 900};
  ::SendMessageW(m.Hwnd(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  RECT rc{};
  ::GetWindowRect(m.Hwnd(), &rc);
  EXPECT_TRUE(::EqualRect(&rc, &suggested));
  // The table at 192 dpi: Label3 ("Shortcut Key") at 3930, 1350 twips is at 524, 180 pixels, and
  // the fonts are 8.25 pt at 192 dpi: 22 pixels high.
  RECT label{};
  ::GetWindowRect(m.Control(L"Label3"), &label);
  ::MapWindowPoints(nullptr, m.Hwnd(), reinterpret_cast<POINT*>(&label), 2);
  EXPECT_EQ(524, label.left);
  EXPECT_EQ(180, label.top);
  EXPECT_EQ(250, label.right - label.left);
  LOGFONTW lf{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(m.Control(L"Label3"), WM_GETFONT, 0, 0)), sizeof lf, &lf);
  EXPECT_EQ(-22, lf.lfHeight);
}

TEST_F(ShellTest, HandOffShowsNoHelpWindowWhenTurnedOff) {
  ASSERT_TRUE(e2e::WriteRegString(HKEY_LOCAL_MACHINE, e2e::kSettingsKey, "showstartup", "1"));
  App().splash.ShowModeless();
  App().splash.Timer1_Timer();
  EXPECT_FALSE(App().helpWindow.IsLoaded());
  EXPECT_TRUE(App().mainForm.IsLoaded());
}

TEST(SingleInstance, SecondHolderOfTheNameIsRefused) {
  base::unique_handle first;
  base::unique_handle second;
  ASSERT_TRUE(shell::AcquireSingleInstance(L"Local\\Scrivane.Test.Instance", first));
  EXPECT_FALSE(shell::AcquireSingleInstance(L"Local\\Scrivane.Test.Instance", second));
  EXPECT_FALSE(second);
  first.Reset();
  // Once the first is gone, a new copy may run.
  ASSERT_TRUE(shell::AcquireSingleInstance(L"Local\\Scrivane.Test.Instance", second));
}

// --- Hotkeys and errors --------------------------------------------------------------------

TEST_F(ShellTest, MagnifierHotkeyShowsClosesAndShowsAgain) {
  App().mainForm.OnHotkey(myhotkey::hotkeyMagnifier);
  EXPECT_TRUE(App().magnifier.IsShowing());
  App().mainForm.OnHotkey(myhotkey::hotkeyMagnifier);
  EXPECT_FALSE(App().magnifier.IsLoaded());
  App().mainForm.OnHotkey(myhotkey::hotkeyMagnifier);
  EXPECT_TRUE(App().magnifier.IsShowing());
  // A hidden magnifier (around the colour dialog) is shown, not closed.
  App().magnifier.SetVisible(false);
  App().mainForm.OnHotkey(myhotkey::hotkeyMagnifier);
  EXPECT_TRUE(App().magnifier.IsShowing());
  App().mainForm.OnHotkey(7);  // unknown ids do nothing
  EXPECT_TRUE(App().magnifier.IsShowing());
}

TEST(UncaughtError, TheBoxShowsTheNumberAndTheDescriptionAsTheTextTheyAre) {
  const std::wstring text = shell::UncaughtErrorText(13, "Type mismatch");
  EXPECT_EQ(L"Run-time error '13':\r\n\r\nType mismatch", text);
  // A description outside the ANSI code page (a font or folder name in it) shows as it is.
  EXPECT_NE(std::wstring::npos,
            shell::UncaughtErrorText(26001, "Key: '\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD\xD0\x96'").find(L"\u00E9\u20AC\u4E2D\u0416"));
}

}  // namespace

namespace {
TEST(MainFormIcon, TheWindowAndTheTrayCarryTheProgramIcon) {
  form1& f = App().mainForm;
  f.Load();
  HICON small = reinterpret_cast<HICON>(::SendMessageW(f.Hwnd(), WM_GETICON, ICON_SMALL, 0));
  HICON big = reinterpret_cast<HICON>(::SendMessageW(f.Hwnd(), WM_GETICON, ICON_BIG, 0));
  EXPECT_NE(nullptr, small);
  EXPECT_NE(nullptr, big);
  EXPECT_EQ(small, f.FormIcon());
}
}  // namespace
