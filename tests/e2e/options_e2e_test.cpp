// The Options dialog of the real scrivane.exe, used as a presenter does: from the tray menu, keys
// pressed into its field, OK clicked; then the new keys, the old ones, the registry and a restart.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "e2e/driver.h"
#include "resources/resource_ids.h"

using namespace e2e;
using namespace testing_support;

namespace {

constexpr uint16_t kCtrlAltP = MAKEWORD('P', HOTKEYF_CONTROL | HOTKEYF_ALT);

std::string Stored(const char* name) { return ReadRegString(HKEY_LOCAL_MACHINE, kSettingsKey, name).value_or("?"); }

// Ctrl+Alt+P; the overlay once it is shown (null if it does not come).
HWND PresentWithCtrlAltP(const App& app) {
  TypeChord({VK_CONTROL, VK_MENU, 'P'});
  return app.WaitFor(kOverlay, 10000);
}

TEST(OptionsE2e, ChosenKeysStartPresentationModeTheOldOnesReachTheProgramInFrontAndARestartKeepsThem) {
  App app;
  ASSERT_TRUE(FreshSettings());
  ASSERT_TRUE(StartUntilHandOff(app));
  ASSERT_TRUE(WaitUntil([] { return CountTrayIcons() == 1; }, 5000));

  // "Options...", just above "Exit".
  ASSERT_TRUE(ChooseFromTrayMenuBottom(app, kOptionsFromBottom, kTrayMenuItems));
  HWND dialog = app.WaitFor(kDialog, 10000);
  ASSERT_NE(nullptr, dialog) << "no Options dialog";
  EXPECT_EQ(L"Scrivane Options", TextOf(dialog));
  ASSERT_TRUE(WaitUntilReadyForInput(dialog));
  ASSERT_TRUE(BringToFront(dialog));
  // The keys go into the field that has the focus when the dialog opens: presentation mode's.
  HWND field = ::GetDlgItem(dialog, IDC_OPTIONS_PRESENT);
  TypeChord({VK_CONTROL, VK_MENU, 'P'});
  ASSERT_TRUE(WaitUntil([&] { return LOWORD(::SendMessageW(field, HKM_GETHOTKEY, 0, 0)) == kCtrlAltP; }, 5000))
      << "the field does not show Ctrl+Alt+P";
  SaveImageBmp(CaptureScreen(), ScreenshotDir() + L"\\e2e-options.bmp");
  ASSERT_TRUE(ClickUntil(::GetDlgItem(dialog, IDOK), [&] { return !::IsWindow(dialog); }));
  EXPECT_TRUE(WaitUntil([] { return Stored("hotkeypresent") == std::to_string(kCtrlAltP); }, 5000));

  ASSERT_NE(nullptr, PresentWithCtrlAltP(app)) << "Ctrl+Alt+P does not start presentation mode";
  ASSERT_TRUE(LeavePresentation(app));

  {
    // This test stands in for the program in front, which gets Ctrl+Shift+Z again.
    StandIn front('Z');
    ASSERT_TRUE(BringToFront(front.Hwnd()));
    TypeChord({VK_CONTROL, VK_SHIFT, 'Z'});
    EXPECT_TRUE(WaitUntil([&] { return front.Presses() == 1; }, 5000)) << "the program in front lost Ctrl+Shift+Z";
    EXPECT_EQ(nullptr, app.Find(kOverlay));
  }

  app.Stop();
  ASSERT_TRUE(StartUntilHandOff(app));
  ASSERT_TRUE(WaitUntil([] { return CountTrayIcons() == 1; }, 5000));
  ASSERT_NE(nullptr, PresentWithCtrlAltP(app)) << "the restart forgot Ctrl+Alt+P";
  ASSERT_TRUE(LeavePresentation(app));
  app.Stop();
}

// This test is the other program: it holds Ctrl+Alt+P, and the presenter gives presentation mode
// those keys (put into the field as a hotkey field takes them: pressed, they would reach the
// holder instead).
TEST(OptionsE2e, KeysAnotherProgramHoldsAreRefusedByNameAndTheOldOnesStay) {
  App app;
  ASSERT_TRUE(FreshSettings());
  ASSERT_TRUE(StartUntilHandOff(app));
  ASSERT_TRUE(WaitUntil([] { return CountTrayIcons() == 1; }, 5000));
  ASSERT_TRUE(::RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, 'P'));

  ASSERT_TRUE(ChooseFromTrayMenuBottom(app, kOptionsFromBottom, kTrayMenuItems));
  HWND dialog = app.WaitFor(kDialog, 10000);
  ASSERT_NE(nullptr, dialog) << "no Options dialog";
  ASSERT_TRUE(WaitUntilReadyForInput(dialog));
  ::SendDlgItemMessageW(dialog, IDC_OPTIONS_PRESENT, HKM_SETHOTKEY, kCtrlAltP, 0);
  HWND box = nullptr;
  ASSERT_TRUE(ClickUntil(::GetDlgItem(dialog, IDOK), [&] {
    box = app.Find(kDialog);
    return box && box != dialog;
  })) << "no message";
  EXPECT_EQ(L"Ctrl+Alt+P is used by another program. Choose other keys for Presentation mode.", MessageBoxText(box));
  DismissMessageBox(box);
  // The dialog stays for other keys; Cancel, and the old keys still work.
  ASSERT_TRUE(WaitUntil([&] { return app.Find(kDialog) == dialog; }, 10000));
  ASSERT_TRUE(ClickUntil(::GetDlgItem(dialog, IDCANCEL), [&] { return !::IsWindow(dialog); }));
  EXPECT_EQ("858", Stored("hotkeypresent"));
  EXPECT_NE(nullptr, EnterPresentation(app)) << "Ctrl+Shift+Z stopped working";
  EXPECT_TRUE(LeavePresentation(app));
  ::UnregisterHotKey(nullptr, 1);
  app.Stop();
}

TEST(OptionsE2e, ADamagedStoredHotkeyMeansCtrlShiftZAndAnOrdinaryStart) {
  for (const char* damaged : {"abc", "0", "99999999999999"}) {
    SCOPED_TRACE(damaged);
    App app;
    ASSERT_TRUE(FreshSettings({{"hotkeypresent", damaged}}));
    ASSERT_TRUE(StartUntilHandOff(app));
    ASSERT_TRUE(WaitUntil([] { return CountTrayIcons() == 1; }, 5000));
    // The start-up save has put the usual keys in the damaged one's place.
    EXPECT_EQ("858", Stored("hotkeypresent"));
    EXPECT_NE(nullptr, EnterPresentation(app)) << "Ctrl+Shift+Z does not start presentation mode";
    EXPECT_TRUE(LeavePresentation(app));
    EXPECT_EQ(nullptr, app.MessageBox());
    app.Stop();
  }
}

}  // namespace
