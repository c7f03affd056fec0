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

// A window of the test in front of everything, standing in for the program the presenter works
// in: it counts the Ctrl+Shift+Z it is given.
class StandIn {
 public:
  StandIn() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (m == WM_KEYDOWN && w == 'Z' && ::GetKeyState(VK_CONTROL) < 0 && ::GetKeyState(VK_SHIFT) < 0) ++presses;
      return ::DefWindowProcW(h, m, w, l);
    };
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"ScrivaneE2eStandIn";
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowExW(0, wc.lpszClassName, L"Stand-in", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 200, 500,
                              300, nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~StandIn() { ::DestroyWindow(hwnd_); }
  HWND Hwnd() const { return hwnd_; }
  static int presses;

 private:
  HWND hwnd_ = nullptr;
};
int StandIn::presses = 0;

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
  ASSERT_TRUE(ClickWhenReady(::GetDlgItem(dialog, IDOK)));
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }, 5000));
  EXPECT_TRUE(WaitUntil([] { return Stored("hotkeypresent") == std::to_string(kCtrlAltP); }, 5000));

  ASSERT_NE(nullptr, PresentWithCtrlAltP(app)) << "Ctrl+Alt+P does not start presentation mode";
  ASSERT_TRUE(LeavePresentation(app));

  {
    StandIn front;
    ASSERT_TRUE(BringToFront(front.Hwnd()));
    StandIn::presses = 0;
    TypeChord({VK_CONTROL, VK_SHIFT, 'Z'});
    EXPECT_TRUE(WaitUntil([] { return StandIn::presses == 1; }, 5000)) << "the program in front lost Ctrl+Shift+Z";
    EXPECT_EQ(nullptr, app.Find(kOverlay));
  }

  app.Stop();
  ASSERT_TRUE(StartUntilHandOff(app));
  ASSERT_TRUE(WaitUntil([] { return CountTrayIcons() == 1; }, 5000));
  ASSERT_NE(nullptr, PresentWithCtrlAltP(app)) << "the restart forgot Ctrl+Alt+P";
  ASSERT_TRUE(LeavePresentation(app));
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
