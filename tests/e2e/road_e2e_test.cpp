// One whole presentation with the real scrivane.exe: start, Ctrl+Shift+Z, draw, r, draw, Ctrl+S,
// Esc, with the file, the registry and the screen checked on the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "e2e/driver.h"
#include "support/test_support.h"

using namespace e2e;
using namespace testing_support;

namespace {

ScreenImage LoadBmp(const std::wstring& path) {
  HBITMAP bmp = static_cast<HBITMAP>(
      ::LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  ScreenImage img;
  if (!bmp) return img;
  BITMAP bm{};
  ::GetObjectW(bmp, sizeof bm, &bm);
  HDC dc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, bmp);
  img = CaptureDc(dc, 0, 0, bm.bmWidth, bm.bmHeight);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::DeleteObject(bmp);
  return img;
}


// Where two screen images differ: the bounding box of the differing pixels, for the failure
// message (both images are kept in the screenshots folder).
std::string WhereTheyDiffer(const ScreenImage& expected, const ScreenImage& seen, const wchar_t* name) {
  SaveImageBmp(expected, ScreenshotDir() + L"\\" + name + L"-expected.bmp");
  SaveImageBmp(seen, ScreenshotDir() + L"\\" + name + L"-seen.bmp");
  int left = seen.width, top = seen.height, right = -1, bottom = -1;
  for (int y = 0; y < seen.height; ++y) {
    for (int x = 0; x < seen.width; ++x) {
      if (expected.At(x, y) == seen.At(x, y)) continue;
      left = std::min(left, x);
      top = std::min(top, y);
      right = std::max(right, x);
      bottom = std::max(bottom, y);
    }
  }
  return "differences within (" + std::to_string(left) + "," + std::to_string(top) + ")-(" + std::to_string(right) +
         "," + std::to_string(bottom) + ")";
}

TEST(PresentationRoadE2e, StartDrawRecolourDrawSaveAndLeave) {
  ASSERT_TRUE(FreshSettings({{"color", "65280"}, {"brushwidth", "10"}}));  // a green pen, 10 wide
  const std::wstring saved = ScreenshotDir() + L"\\road-save";
  ::DeleteFileW((saved + L".bmp").c_str());

  // The pointer away from the notification area: resting on the icon, it brings up the icon's tip
  // some time later, over the desktop or the overlay.
  MouseMoveTo(1000, 800);
  PatternWindow pattern;
  App app;
  ASSERT_TRUE(StartUntilHandOff(app));
  // The desktop once the splash has gone from the screen (not only hidden on Wine's side) and the
  // icon has come to the notification area.
  ASSERT_TRUE(WaitUntil(
      [&] { return app.Windows(true).empty() && CountTrayIcons() == 1 && CentreShowsThePattern(); }, 10000));
  const ScreenImage desktop = WithoutTrayWindow(SettledScreen());

  // Ctrl+Shift+Z: the overlay shows the desktop as it was.
  TypeChord({VK_CONTROL, VK_SHIFT, 'Z'});
  HWND overlay = app.WaitFor(kOverlay, 5000);
  ASSERT_NE(nullptr, overlay);
  EXPECT_TRUE(WaitUntil([&] { return CountDifferences(desktop, WithoutTrayWindow(CaptureScreen())) == 0; }, 5000))
      << WhereTheyDiffer(desktop, WithoutTrayWindow(CaptureScreen()), L"road-entered");
  // Drawing and keys need the overlay in front with the keyboard.
  ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == overlay; }, 5000));

  // A green highlighter stroke across the white bar.
  Drag(40, 200, 220, 200, 12);
  EXPECT_TRUE(WaitUntil([] { return CaptureScreenRect(100, 211, 1, 1).At(100, 211) == 0x00FF00u; }, 5000));

  // r: red, stored at once.
  TypeText(L"r");
  EXPECT_TRUE(WaitUntil([] { return ReadRegString(HKEY_LOCAL_MACHINE, kSettingsKey, "color") == std::string("255"); }, 3000));
  Drag(40, 300, 220, 300, 12);
  EXPECT_TRUE(WaitUntil([] { return CaptureScreenRect(100, 311, 1, 1).At(100, 311) == 0xFF0000u; }, 5000));

  // Ctrl+S: the screen at the moment of the key goes to the file.
  const ScreenImage atSave = CaptureScreen();
  SaveImageBmp(atSave, ScreenshotDir() + L"\\road-presentation.bmp");
  TypeChord({VK_CONTROL, 'S'});
  HWND dialog = app.WaitFor(kDialog, 10000);
  ASSERT_NE(nullptr, dialog);
  ASSERT_TRUE(WaitUntilReadyForInput(dialog, 10000));
  HWND name = ::GetDlgItem(dialog, 0x47c);
  ASSERT_NE(nullptr, name);
  ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(saved.c_str()));
  ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog) || !::IsWindowVisible(dialog); }, 5000));
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (box = app.MessageBox()) != nullptr && box != dialog; }, 10000));
  ASSERT_TRUE(WaitUntilReadyForInput(box, 10000));
  EXPECT_EQ(L"Success", TextOf(box));
  EXPECT_EQ(L"Image successfully saved at \r\n" + saved + L".bmp", MessageBoxText(box));
  DismissMessageBox(box);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box) || !::IsWindowVisible(box); }, 10000));
  const ScreenImage file = LoadBmp(saved + L".bmp");
  ASSERT_EQ(atSave.width, file.width);
  ASSERT_EQ(atSave.height, file.height);
  EXPECT_EQ(0, CountDifferences(atSave, file));

  // Esc: presentation mode ends and the desktop is back.
  ASSERT_TRUE(BringToFront(overlay));
  TapKey(VK_ESCAPE);
  EXPECT_TRUE(WaitUntil([&] { return app.Find(kOverlay) == nullptr; }, 5000));
  EXPECT_TRUE(WaitUntil([&] { return CountDifferences(desktop, WithoutTrayWindow(CaptureScreen())) == 0; }, 5000))
      << WhereTheyDiffer(desktop, WithoutTrayWindow(CaptureScreen()), L"road-left");
  EXPECT_EQ(std::string("255"), ReadRegString(HKEY_LOCAL_MACHINE, kSettingsKey, "color"));
  EXPECT_EQ(std::string("10"), ReadRegString(HKEY_LOCAL_MACHINE, kSettingsKey, "brushwidth"));
  app.Stop();
  DeleteScrivaneKeys();
}

}  // namespace
