// The Options dialog on the real main form, opened from its tray menu item and used with real keys
// and clicks from a second thread while the dialog's modal loop runs on the test's: what it shows at
// every scaling, the keyboard, and what OK, Cancel, Esc and Default do to the hotkeys, the stored
// settings and the sign-in value.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/text.h"
#include "e2e/driver.h"
#include "forms/window.h"
#include "overlay/ss.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "settings/persistence.h"
#include "settings/start_at_sign_in.h"
#include "shell/form1.h"
#include "shell/myhotkey.h"
#include "shell/options_dialog.h"
#include "shell/tray_menu.h"
#include "support/side_thread.h"
#include "support/test_app.h"
#include "support/test_support.h"
#include "support/texts_whole.h"

using namespace testing_support;

namespace {

constexpr uint16_t kCtrlShiftZ = MAKEWORD('Z', HOTKEYF_CONTROL | HOTKEYF_SHIFT);
constexpr uint16_t kCtrlShiftM = MAKEWORD('M', HOTKEYF_CONTROL | HOTKEYF_SHIFT);
constexpr uint16_t kCtrlAltP = MAKEWORD('P', HOTKEYF_CONTROL | HOTKEYF_ALT);

std::optional<std::string> Stored(const char* value) {
  return e2e::ReadRegString(HKEY_LOCAL_MACHINE, e2e::kSettingsKey, value);
}

std::optional<std::string> RunValue() {
  return e2e::ReadRegString(HKEY_CURRENT_USER, settings::kSignInRunKey, settings::kSignInRunValue);
}

// The control of the dialog that has the keyboard focus (the dialog's thread is another one).
HWND FocusOf(HWND dialog) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &info);
  return info.hwndFocus;
}

// Waits, on the user's thread, until `done` (the dialog's thread answers meanwhile).
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
  const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
  while (!done()) {
    if (::GetTickCount64() > end) return false;
    ::Sleep(10);
  }
  return true;
}

uint16_t KeysIn(HWND dialog, int field) {
  return LOWORD(::SendDlgItemMessageW(dialog, field, HKM_GETHOTKEY, 0, 0));
}

// Presses `keys` with the focus in the field, once the field shows what was pressed.
::testing::AssertionResult TypeKeysInto(HWND dialog, int field, std::initializer_list<WORD> keys, uint16_t expected) {
  HWND control = ::GetDlgItem(dialog, field);
  if (FocusOf(dialog) != control && !e2e::ClickWhenReady(control)) {
    return ::testing::AssertionFailure() << "no click on the field; the focus is on " << FocusOf(dialog);
  }
  if (!WaitFor([&] { return FocusOf(dialog) == control; })) return ::testing::AssertionFailure() << "no focus";
  // Keys go to the window in front. Wine's notification area takes the front when an icon comes,
  // in its own time after the main form's load (on a busy machine between our bringing the dialog
  // forward and the keys): keys that went there are pressed again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (!e2e::BringToFront(dialog)) return ::testing::AssertionFailure() << "the dialog is not in front";
    TypeChord(keys);
    if (WaitFor([&] { return KeysIn(dialog, field) == expected; }, 3000)) return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "the field shows " << KeysIn(dialog, field) << ", not " << expected;
}

// A key pressed with the dialog in front. Wine's notification area takes the front when an icon
// comes, a moment after the main form's load; the dialog then keeps its focus for when it is back.
void Press(HWND dialog, WORD vk) {
  e2e::BringToFront(dialog);
  TapKey(vk);
}

// The message box that a press of OK brought up over the dialog: its text, once dismissed.
std::wstring AnswerMessageBox(HWND dialog) {
  HWND box = WaitForVisibleWindow(L"#32770", true, 10000, {dialog});
  if (!box || !WaitUntilReadyForInput(box)) return L"<no message>";
  const std::wstring text = e2e::MessageBoxText(box);
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  WaitFor([&] { return !::IsWindow(box) || !::IsWindowVisible(box); });
  return text;
}

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    e2e::DeleteScrivaneKeys();
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, settings::kSignInRunKey, settings::kSignInRunValue);
    App().AppSettings = settings::AppSettingsRecord{};
    App().AppSettings.color = 255;
    App().AppSettings.brushwidth = 10;
    App().mainForm.Load();
    ASSERT_TRUE(PumpUntil([] { return e2e::CountTrayIcons() == 1; }));
  }
  void TearDown() override {
    if (App().overlay.IsLoaded()) App().overlay.Unload();
    if (App().mainForm.IsLoaded()) App().mainForm.Unload();
    e2e::DeleteScrivaneKeys();
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, settings::kSignInRunKey, settings::kSignInRunValue);
    Pump(50);
  }

  // Chooses "Options..." in the tray menu; `user` does the user's part with the dialog once it is
  // ready for input, on a second thread. Returns once the dialog has closed.
  void UseOptions(const std::function<void(HWND dialog)>& user) {
    AnswerWhenShown answer(L"#32770", true, 10000, [&](HWND dialog) {
      if (WaitUntilReadyForInput(dialog) && e2e::BringToFront(dialog)) user(dialog);
      // A step that did not close it (a click that did not land) fails the test; it does not hang it.
      if (!WaitFor([&] { return !::IsWindow(dialog); }, 10000)) {
        ADD_FAILURE() << "the dialog stayed open; cancelled";
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      }
    });
    App().mainForm.RunMenuCommand(shell::kItemOptions);
    answer.Join();
    ASSERT_NE(nullptr, answer.Window()) << "the dialog did not open";
    ASSERT_FALSE(::IsWindow(answer.Window())) << "the dialog is still there";
  }

  // The presentation hotkey as the presenter presses it: presentation mode starts. The keys go once
  // nothing of ours is modal any more (while something is, a hotkey only brings it forward).
  static ::testing::AssertionResult PresentsWith(std::initializer_list<WORD> keys) {
    if (!PumpUntil([] { return forms::ModalWindowOfThisThread() == nullptr; }, 10000)) {
      return ::testing::AssertionFailure() << "a dialog of ours is still up";
    }
    // A presenter presses them with a program in front. Wine's notification-area window takes the
    // front when an icon comes, in its own time, and while it is in front the keys go to it and no
    // hotkey comes: a window of the test's then stands in for the program.
    std::optional<PatternWindow> program;
    if (forms::IsNotificationAreaWindow(::GetForegroundWindow())) {
      program.emplace(RECT{0, 0, 200, 200}, 0u);
      if (!e2e::BringToFront(program->Hwnd())) return ::testing::AssertionFailure() << "no program in front";
    }
    TypeChord(keys);
    if (PumpUntil([] { return App().overlay.IsVisible(); }, 10000)) return ::testing::AssertionSuccess();
    const myhotkey::HotkeyRegistration& held = App().mainForm.Hotkeys();
    HWND front = ::GetForegroundWindow();
    return ::testing::AssertionFailure() << "no presentation; the key " << held.keys[myhotkey::hotkeyPresentation]
                                         << (held.presentation ? " is held" : " is not held") << ", "
                                         << testing::PrintToString(e2e::ClassOf(front)) << " is in front";
  }
};

TEST_F(OptionsTest, SitsAboveExitAndShowsTheSettingsWithEveryTextWhole) {
  HMENU menu = App().mainForm.RCPopup.Handle();
  const int count = ::GetMenuItemCount(menu);
  EXPECT_EQ(shell::kItemOptions, ::GetMenuItemID(menu, count - 2));
  EXPECT_EQ(L"Options...", App().mainForm.RCPopup.Caption(shell::kItemOptions));
  EXPECT_EQ(shell::kItemRest1, ::GetMenuItemID(menu, count - 1));

  App().AppSettings.keepdrawings = settings::kFalse;
  settings::SetStartAtSignIn(true, L"C:\\Program Files\\Scrivane\\scrivane.exe");
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
  ::ReleaseDC(nullptr, screen);
  UseOptions([&](HWND dialog) {
    EXPECT_EQ(L"Scrivane Options", e2e::TextOf(dialog));
    EXPECT_EQ(kCtrlShiftZ, KeysIn(dialog, IDC_OPTIONS_PRESENT));
    EXPECT_EQ(kCtrlShiftM, KeysIn(dialog, IDC_OPTIONS_MAGNIFY));
    EXPECT_EQ(MAKEWORD('X', HOTKEYF_CONTROL | HOTKEYF_SHIFT), KeysIn(dialog, IDC_OPTIONS_LIVE));
    EXPECT_EQ(BST_UNCHECKED, ::IsDlgButtonChecked(dialog, IDC_OPTIONS_KEEP));
    EXPECT_EQ(BST_CHECKED, ::IsDlgButtonChecked(dialog, IDC_OPTIONS_SIGN_IN));
    for (const wchar_t* text : {L"&Presentation mode", L"&Live drawing", L"&Magnifier", L"Default", L"&Keep drawings",
                                L"&Start Scrivane when I sign in", L"OK", L"Cancel"}) {
      EXPECT_NE(nullptr, e2e::ChildWithText(dialog, text)) << testing::PrintToString(std::wstring(text));
    }
    // The common controls of version 6 (the manifest): a button answers BCM_GETIDEALSIZE.
    SIZE ideal{};
    EXPECT_TRUE(::SendMessageW(::GetDlgItem(dialog, IDOK), BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)));
    ExpectTextsWhole(dialog, "Options");
    // The keys a hotkey field shows, three modifiers and a key by the keyboard's names for them
    // (as the field names them), fit it too.
    auto keyName = [](UINT vk) {
      wchar_t name[32] = {};
      ::GetKeyNameTextW(static_cast<LONG>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16, name, 32);
      return std::wstring(name);
    };
    const std::wstring longest =
        keyName(VK_CONTROL) + L" + " + keyName(VK_SHIFT) + L" + " + keyName(VK_MENU) + L" + " + keyName('W');
    HWND field = ::GetDlgItem(dialog, IDC_OPTIONS_PRESENT);
    RECT inside{};
    ::GetClientRect(field, &inside);
    HDC dc = ::GetDC(field);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(field, WM_GETFONT, 0, 0)));
    RECT need{};
    ::DrawTextW(dc, longest.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE);
    ::SelectObject(dc, old);
    ::ReleaseDC(field, dc);
    EXPECT_GT(longest.size(), 12u);
    EXPECT_LE(need.right, inside.right - 4) << testing::PrintToString(longest) << " is cut off in the field";
    // The dialog grows with the scaling: its OK button is as high as the text needs.
    RECT ok{};
    ::GetWindowRect(::GetDlgItem(dialog, IDOK), &ok);
    EXPECT_GE(ok.bottom - ok.top, 20 * dpi / 96);
    RECT rc = e2e::WindowRectOf(dialog);
    SaveImageBmp(CaptureScreenRect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top),
                 ScreenshotDir() + L"\\options-" + std::to_wstring(dpi * 100 / 96) + L".bmp");
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
}

TEST_F(OptionsTest, TabVisitsEveryControlInOrderAndEscCancelsWhateverWasChanged) {
  ASSERT_TRUE(App().mainForm.Hotkeys().presentation);
  std::vector<int> visited;
  UseOptions([&](HWND dialog) {
    // The presentation mode's keys have the focus first; Tab goes round once.
    const int order[] = {IDC_OPTIONS_PRESENT, IDC_OPTIONS_PRESENT_DEFAULT, IDC_OPTIONS_LIVE,
                         IDC_OPTIONS_LIVE_DEFAULT,   IDC_OPTIONS_MAGNIFY,       IDC_OPTIONS_MAGNIFY_DEFAULT,
                         IDC_OPTIONS_KEEP,           IDC_OPTIONS_SIGN_IN,       IDOK,
                         IDCANCEL,                   IDC_OPTIONS_PRESENT};
    for (int id : order) {
      if (!visited.empty()) Press(dialog, VK_TAB);
      if (!WaitFor([&] { return FocusOf(dialog) == ::GetDlgItem(dialog, id); })) {
        HWND front = ::GetForegroundWindow();
        ADD_FAILURE() << "control " << id << " did not get the focus; it is on " << FocusOf(dialog) << ", "
                      << front << " (" << testing::PrintToString(e2e::ClassOf(front)) << ") is in front";
        break;
      }
      visited.push_back(id);
    }
    // Changes everywhere: new keys, and both boxes ticked the other way (Space on a box).
    EXPECT_TRUE(TypeKeysInto(dialog, IDC_OPTIONS_PRESENT, {VK_CONTROL, VK_MENU, 'P'}, kCtrlAltP));
    for (int i = 0; i < 6; ++i) Press(dialog, VK_TAB);
    EXPECT_TRUE(WaitFor([&] { return FocusOf(dialog) == ::GetDlgItem(dialog, IDC_OPTIONS_KEEP); }));
    Press(dialog, VK_SPACE);
    Press(dialog, VK_TAB);
    Press(dialog, VK_SPACE);
    WaitFor([&] { return ::IsDlgButtonChecked(dialog, IDC_OPTIONS_SIGN_IN) == BST_CHECKED; });
    EXPECT_EQ(BST_UNCHECKED, ::IsDlgButtonChecked(dialog, IDC_OPTIONS_KEEP));
    Press(dialog, VK_ESCAPE);
  });
  EXPECT_EQ(11u, visited.size()) << "the focus did not follow Tab";
  EXPECT_EQ(settings::kDefaultHotkeyPresent, App().AppSettings.hotkeypresent);
  EXPECT_EQ(settings::kTrue, App().AppSettings.keepdrawings);
  EXPECT_FALSE(e2e::KeyExists(HKEY_LOCAL_MACHINE, e2e::kSettingsKey)) << "Esc saved something";
  EXPECT_FALSE(RunValue().has_value());
  EXPECT_EQ(kCtrlShiftZ, App().mainForm.Hotkeys().keys[myhotkey::hotkeyPresentation]);
  EXPECT_TRUE(PresentsWith({VK_CONTROL, VK_SHIFT, 'Z'}));
}

TEST_F(OptionsTest, CancelChangesNothing) {
  UseOptions([&](HWND dialog) {
    EXPECT_TRUE(TypeKeysInto(dialog, IDC_OPTIONS_MAGNIFY, {VK_CONTROL, VK_MENU, 'P'}, kCtrlAltP));
    ::CheckDlgButton(dialog, IDC_OPTIONS_SIGN_IN, BST_CHECKED);
    EXPECT_TRUE(e2e::ClickUntil(::GetDlgItem(dialog, IDCANCEL), [&] { return !::IsWindow(dialog); }));
  });
  EXPECT_EQ(settings::kDefaultHotkeyMagnify, App().AppSettings.hotkeymagnify);
  EXPECT_EQ(kCtrlShiftM, App().mainForm.Hotkeys().keys[myhotkey::hotkeyMagnifier]);
  EXPECT_FALSE(e2e::KeyExists(HKEY_LOCAL_MACHINE, e2e::kSettingsKey));
  EXPECT_FALSE(RunValue().has_value());
}

TEST_F(OptionsTest, NewPresentationKeysWorkAndDefaultBringsTheUsualOnesBack) {
  UseOptions([&](HWND dialog) {
    EXPECT_TRUE(TypeKeysInto(dialog, IDC_OPTIONS_PRESENT, {VK_CONTROL, VK_MENU, 'P'}, kCtrlAltP));
    Press(dialog, VK_RETURN);  // OK, the default button
  });
  EXPECT_EQ(kCtrlAltP, App().AppSettings.hotkeypresent);
  EXPECT_EQ(std::to_string(kCtrlAltP), Stored("hotkeypresent").value_or("missing"));
  EXPECT_EQ(std::to_string(kCtrlShiftM), Stored("hotkeymagnify").value_or("missing"));
  EXPECT_TRUE(PresentsWith({VK_CONTROL, VK_MENU, 'P'})) << "Ctrl+Alt+P does not start presentation mode";
  TapKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([] { return !App().overlay.IsVisible(); }));
  EXPECT_EQ(kCtrlAltP, App().mainForm.Hotkeys().keys[myhotkey::hotkeyPresentation]);
  EXPECT_TRUE(App().mainForm.Hotkeys().presentation);

  UseOptions([&](HWND dialog) {
    EXPECT_EQ(kCtrlAltP, KeysIn(dialog, IDC_OPTIONS_PRESENT));
    EXPECT_TRUE(e2e::ClickUntil(::GetDlgItem(dialog, IDC_OPTIONS_PRESENT_DEFAULT),
                                [&] { return KeysIn(dialog, IDC_OPTIONS_PRESENT) == kCtrlShiftZ; }));
    EXPECT_TRUE(e2e::ClickUntil(::GetDlgItem(dialog, IDOK), [&] { return !::IsWindow(dialog); }));
  });
  EXPECT_EQ(std::to_string(kCtrlShiftZ), Stored("hotkeypresent").value_or("missing"));
  EXPECT_TRUE(PresentsWith({VK_CONTROL, VK_SHIFT, 'Z'}));
}

// (Keys another program holds: the end-to-end test, with a program of its own holding them.)
TEST_F(OptionsTest, KeysWithoutCtrlOrAltAreRefusedAndTheOldOnesStay) {
  std::vector<std::wstring> messages;
  std::atomic<bool> stillOpen{true};
  UseOptions([&](HWND dialog) {
    // Shift+P, then P alone: no hotkey for the whole desktop.
    EXPECT_TRUE(TypeKeysInto(dialog, IDC_OPTIONS_PRESENT, {VK_SHIFT, 'P'}, MAKEWORD('P', HOTKEYF_SHIFT)));
    Press(dialog, VK_RETURN);
    messages.push_back(AnswerMessageBox(dialog));
    EXPECT_TRUE(TypeKeysInto(dialog, IDC_OPTIONS_PRESENT, {'P'}, MAKEWORD('P', 0)));
    Press(dialog, VK_RETURN);
    messages.push_back(AnswerMessageBox(dialog));
    stillOpen = WaitFor(
        [&] { return ::IsWindowVisible(dialog) && FocusOf(dialog) == ::GetDlgItem(dialog, IDC_OPTIONS_PRESENT); });
    // Our own hotkeys do nothing while the dialog is up (the hook leaves them to a dialog of ours).
    // (Keys typed after it reach the field only once the hotkey's message has been handled.)
    TypeChord({VK_CONTROL, VK_SHIFT, 'Z'});
    EXPECT_TRUE(TypeKeysInto(dialog, IDC_OPTIONS_PRESENT, {VK_CONTROL, VK_MENU, 'Q'},
                             MAKEWORD('Q', HOTKEYF_CONTROL | HOTKEYF_ALT)));
    EXPECT_FALSE(App().overlay.IsVisible()) << "Ctrl+Shift+Z started presentation mode over the dialog";
    EXPECT_TRUE(e2e::ClickUntil(::GetDlgItem(dialog, IDCANCEL), [&] { return !::IsWindow(dialog); }));
  });
  ASSERT_EQ(2u, messages.size());
  EXPECT_EQ(L"Shift+P cannot be a hotkey: without Ctrl or Alt it would take that key from every other program. "
            L"Choose keys with Ctrl or Alt for Presentation mode.",
            messages[0]);
  EXPECT_EQ(L"P cannot be a hotkey: without Ctrl or Alt it would take that key from every other program. Choose "
            L"keys with Ctrl or Alt for Presentation mode.",
            messages[1]);
  EXPECT_TRUE(stillOpen) << "the dialog went, or the focus is not back on the keys";
  EXPECT_EQ(kCtrlShiftZ, App().mainForm.Hotkeys().keys[myhotkey::hotkeyPresentation]);
  EXPECT_FALSE(e2e::KeyExists(HKEY_LOCAL_MACHINE, e2e::kSettingsKey));
  EXPECT_TRUE(PresentsWith({VK_CONTROL, VK_SHIFT, 'Z'})) << "the old keys stopped working";
}

TEST_F(OptionsTest, KeepDrawingsIsTheMenusSwitchAndSignInIsTheInstallersValue) {
  UseOptions([&](HWND dialog) {
    ::CheckDlgButton(dialog, IDC_OPTIONS_KEEP, BST_UNCHECKED);
    ::CheckDlgButton(dialog, IDC_OPTIONS_SIGN_IN, BST_CHECKED);
    EXPECT_TRUE(e2e::ClickUntil(::GetDlgItem(dialog, IDOK), [&] { return !::IsWindow(dialog); }));
  });
  EXPECT_EQ(settings::kFalse, App().AppSettings.keepdrawings);
  EXPECT_EQ("0", Stored("keepdrawings").value_or("missing"));
  EXPECT_FALSE(App().mainForm.RCPopup.IsChecked(shell::kItemKeepDrawings));
  // As the installer writes it: the program's full path in quotes.
  wchar_t exe[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  EXPECT_EQ("\"" + base::Narrow(exe) + "\"", RunValue().value_or("missing"));

  // The menu item turns it on again; the dialog shows it, and unticking the sign-in removes it.
  App().mainForm.RunMenuCommand(shell::kItemKeepDrawings);
  UseOptions([&](HWND dialog) {
    EXPECT_EQ(BST_CHECKED, ::IsDlgButtonChecked(dialog, IDC_OPTIONS_KEEP));
    EXPECT_EQ(BST_CHECKED, ::IsDlgButtonChecked(dialog, IDC_OPTIONS_SIGN_IN));
    ::CheckDlgButton(dialog, IDC_OPTIONS_SIGN_IN, BST_UNCHECKED);
    EXPECT_TRUE(e2e::ClickUntil(::GetDlgItem(dialog, IDOK), [&] { return !::IsWindow(dialog); }));
  });
  EXPECT_FALSE(RunValue().has_value());
  EXPECT_EQ(settings::kTrue, App().AppSettings.keepdrawings);
}

// Settings that can be stored nowhere (neither the machine's key nor the user's takes a write): a
// colour from the menu, Options' OK and Keep Drawings take effect and end nothing, the drawing stays
// on the screen, and the balloon says why once.
TEST_F(OptionsTest, SettingsThatCannotBeStoredAreToldOnceAndEndNothing) {
  ss& o = App().overlay;
  App().mainForm.SysTrayMouseEventHandler();
  ASSERT_TRUE(PumpUntil([&] { return o.IsVisible(); }));
  o.TogglePen();  // opaque: the stroke is exactly the pen colour
  o.Picture1_MouseDown(1, 0, 400, 300);
  o.Picture1_MouseMove(1, 0, 700, 300);
  o.Picture1_MouseUp(1, 0, 700, 300);
  const uint32_t inked = ScreenPixelOnceItIs(550, 300, 0xFF0000u);
  App().SetSettingsWriteGate([](int32_t) { return false; });
  const std::wstring told = L"Scrivane could not store its settings: " +
                            base::Widen(base::SystemErrorText(ERROR_ACCESS_DENIED)) +
                            L" They stay in effect until Exit.";

  App().mainForm.RunMenuCommand(shell::kItemBlue);
  EXPECT_EQ(shell::kColorBlue, App().AppSettings.color);
  HWND balloon = e2e::FindBalloon(told);
  ASSERT_NE(nullptr, balloon) << "no balloon says why";
  ::ShowWindow(balloon, SW_HIDE);
  UseOptions([&](HWND dialog) {
    ::CheckDlgButton(dialog, IDC_OPTIONS_KEEP, BST_UNCHECKED);
    EXPECT_TRUE(e2e::ClickUntil(::GetDlgItem(dialog, IDOK), [&] { return !::IsWindow(dialog); }));
  });
  EXPECT_EQ(settings::kFalse, App().AppSettings.keepdrawings);
  App().mainForm.RunMenuCommand(shell::kItemKeepDrawings);
  EXPECT_EQ(settings::kTrue, App().AppSettings.keepdrawings);
  short key = 'g';
  o.Picture1_KeyPress(key);
  EXPECT_FALSE(o.checkpalette) << "a key whose save fails is still a key that worked";
  EXPECT_EQ(nullptr, e2e::FindBalloon(told, 3000)) << "told again";

  EXPECT_TRUE(o.IsVisible()) << "the presentation goes on";
  EXPECT_EQ(inked, CaptureScreenRect(550, 300, 1, 1).At(550, 300)) << "with its drawing";
  EXPECT_FALSE(Stored("color").has_value());
  App().SetSettingsWriteGate(nullptr);
}

// Keys another program held at start: the balloon names them and Options, the menu offers to start
// presentation mode; once Options gives the hotkey keys that are free, the menu item goes.
TEST_F(OptionsTest, TheBalloonAndTheMenuFollowTheKeysInForce) {
  App().mainForm.Unload();
  HWND holder = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_TRUE(::RegisterHotKey(holder, 1, MOD_CONTROL | MOD_ALT, 'P'));
  App().AppSettings.hotkeypresent = kCtrlAltP;
  App().mainForm.Load();
  ASSERT_TRUE(PumpUntil([] { return e2e::CountTrayIcons() == 1; }));
  EXPECT_FALSE(App().mainForm.Hotkeys().presentation);
  EXPECT_EQ(L"Ctrl+Alt+P is used by another program; use the tray menu to start presentation mode, or choose "
            L"other keys in Options.",
            myhotkey::TakenHotkeyMessage(App().mainForm.Hotkeys()));
  EXPECT_EQ(shell::kItemStartPresentation, ::GetMenuItemID(App().mainForm.RCPopup.Handle(), 0));

  UseOptions([&](HWND dialog) {
    EXPECT_TRUE(e2e::ClickUntil(::GetDlgItem(dialog, IDC_OPTIONS_PRESENT_DEFAULT),
                                [&] { return KeysIn(dialog, IDC_OPTIONS_PRESENT) == kCtrlShiftZ; }));
    EXPECT_TRUE(e2e::ClickUntil(::GetDlgItem(dialog, IDOK), [&] { return !::IsWindow(dialog); }));
  });
  EXPECT_TRUE(App().mainForm.Hotkeys().presentation);
  EXPECT_NE(shell::kItemStartPresentation, ::GetMenuItemID(App().mainForm.RCPopup.Handle(), 0));
  EXPECT_TRUE(PresentsWith({VK_CONTROL, VK_SHIFT, 'Z'}));
  ::UnregisterHotKey(holder, 1);
  ::DestroyWindow(holder);
}

}  // namespace
