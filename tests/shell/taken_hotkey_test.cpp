// A hotkey that another program holds: what the balloon says, and the menu item that stands in
// for Ctrl+Shift+Z, on the real main form loaded in this process.
#include <gtest/gtest.h>

#include <string>

#include "e2e/driver.h"
#include "settings/app_settings.h"
#include "shell/form1.h"
#include "shell/myhotkey.h"
#include "shell/tray_menu.h"
#include "support/test_app.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

const std::wstring kZTaken =
    L"Ctrl+Shift+Z is used by another program; use the tray menu to start presentation mode, or choose other keys in "
    L"Options.";
const std::wstring kMTaken =
    L"Ctrl+Shift+M is used by another program; use the tray menu to open the magnifier, or choose other keys in "
    L"Options.";
const std::wstring kXTaken =
    L"Ctrl+Shift+X is used by another program; use the tray menu to start and end live drawing, or choose other keys "
    L"in Options.";

TEST(TakenHotkeyMessage, NamesEachCombinationThatIsNotOurs) {
  EXPECT_EQ(L"", myhotkey::TakenHotkeyMessage({true, true, true}));
  EXPECT_EQ(kZTaken, myhotkey::TakenHotkeyMessage({false, true, true}));
  EXPECT_EQ(kMTaken, myhotkey::TakenHotkeyMessage({true, false, true}));
  EXPECT_EQ(kXTaken, myhotkey::TakenHotkeyMessage({true, true, false}));
  EXPECT_EQ(kZTaken + L"\n" + kMTaken, myhotkey::TakenHotkeyMessage({false, false, true}));
  EXPECT_EQ(kMTaken + L"\n" + kXTaken, myhotkey::TakenHotkeyMessage({true, false, false}));
  EXPECT_EQ(kZTaken + L"\n" + kMTaken + L"\n" + kXTaken, myhotkey::TakenHotkeyMessage({false, false, false}));
}

TEST(TakenHotkeyMessage, NamesTheKeysInForce) {
  myhotkey::HotkeyRegistration chosen;
  chosen.magnifier = true;
  chosen.keys[myhotkey::hotkeyPresentation] = settings::HotkeyWord('P', settings::kHotkeyControl | settings::kHotkeyAlt);
  chosen.keys[myhotkey::hotkeyLiveDrawing] = settings::HotkeyWord(VK_F9, settings::kHotkeyAlt);
  EXPECT_EQ(L"Ctrl+Alt+P is used by another program; use the tray menu to start presentation mode, or choose other "
            L"keys in Options.\nAlt+F9 is used by another program; use the tray menu to start and end live drawing, "
            L"or choose other keys in Options.",
            myhotkey::TakenHotkeyMessage(chosen));
}

// The names the balloon and the dialog's messages give keys: modifiers in the usual order, letters,
// digits and function keys as printed on them, any other key by the keyboard layout's name.
TEST(HotkeyName, ModifiersInTheUsualOrderThenTheKey) {
  using settings::HotkeyWord;
  EXPECT_EQ(L"Ctrl+Shift+Z", myhotkey::HotkeyName(settings::kDefaultHotkeyPresent));
  EXPECT_EQ(L"Ctrl+Alt+Shift+7", myhotkey::HotkeyName(HotkeyWord('7', 7)));
  EXPECT_EQ(L"Alt+F12", myhotkey::HotkeyName(HotkeyWord(VK_F12, settings::kHotkeyAlt)));
  EXPECT_EQ(L"P", myhotkey::HotkeyName(HotkeyWord('P', 0)));
  const std::wstring home = myhotkey::HotkeyName(HotkeyWord(VK_HOME, settings::kHotkeyControl | settings::kHotkeyExtended));
  EXPECT_EQ(0u, home.rfind(L"Ctrl+", 0));
  EXPECT_GT(home.size(), 5u) << "a name for the key";
}

std::wstring CaptionAt(HMENU menu, int position) {
  wchar_t text[64] = {};
  ::GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
  return text;
}

TEST(TrayMenu, StartPresentationItemComesFirstOnceAndGoesAgain) {
  forms::PopupMenu menu;
  shell::BuildRCPopup(menu);
  shell::ShowStartPresentationItem(menu, true);
  shell::ShowStartPresentationItem(menu, true);
  ASSERT_EQ(11, ::GetMenuItemCount(menu.Handle()));
  EXPECT_EQ(shell::kItemStartPresentation, ::GetMenuItemID(menu.Handle(), 0));
  EXPECT_EQ(L"Start Presentation Mode", CaptionAt(menu.Handle(), 0));
  EXPECT_EQ(L"Colours", CaptionAt(menu.Handle(), 1));
  shell::ShowStartPresentationItem(menu, false);
  ASSERT_EQ(10, ::GetMenuItemCount(menu.Handle()));
  EXPECT_EQ(L"Colours", CaptionAt(menu.Handle(), 0));
  EXPECT_EQ(L"Exit", CaptionAt(menu.Handle(), 9));
}

class TakenHotkeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App().AppSettings = settings::AppSettingsRecord{};
    e2e::DeleteScrivaneKeys();
    holder_ = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    ::UnregisterHotKey(holder_, 1);
    if (App().mainForm.IsLoaded()) App().mainForm.Unload();
    ::DestroyWindow(holder_);
    Pump(50);
  }
  HWND holder_ = nullptr;
};

TEST_F(TakenHotkeyTest, MainFormKnowsWhichKeyItLacksAndOffersTheMenuItemOnlyThen) {
  ASSERT_TRUE(::RegisterHotKey(holder_, 1, MOD_CONTROL | MOD_SHIFT, 'Z'));
  form1& f = App().mainForm;
  f.Load();
  EXPECT_FALSE(f.Hotkeys().presentation);
  EXPECT_TRUE(f.Hotkeys().magnifier);
  EXPECT_TRUE(f.Hotkeys().liveDrawing);
  EXPECT_EQ(shell::kItemStartPresentation, ::GetMenuItemID(f.RCPopup.Handle(), 0));
  EXPECT_EQ(11, ::GetMenuItemCount(f.RCPopup.Handle()));

  // Once the other program lets go, the next load has the key and the menu as usual.
  f.Unload();
  ::UnregisterHotKey(holder_, 1);
  f.Load();
  EXPECT_TRUE(f.Hotkeys().presentation);
  EXPECT_TRUE(f.Hotkeys().magnifier);
  EXPECT_TRUE(f.Hotkeys().liveDrawing);
  EXPECT_EQ(10, ::GetMenuItemCount(f.RCPopup.Handle()));
  EXPECT_EQ(L"Colours", CaptionAt(f.RCPopup.Handle(), 0));

  // Ctrl+Shift+X held elsewhere: only live drawing's key is missing; its menu item stays the way in.
  f.Unload();
  ASSERT_TRUE(::RegisterHotKey(holder_, 1, MOD_CONTROL | MOD_SHIFT, 'X'));
  f.Load();
  EXPECT_TRUE(f.Hotkeys().presentation);
  EXPECT_FALSE(f.Hotkeys().liveDrawing);
  EXPECT_EQ(10, ::GetMenuItemCount(f.RCPopup.Handle()));
  EXPECT_EQ(L"Live Drawing", CaptionAt(f.RCPopup.Handle(), 2));
}

}  // namespace
