// A short presentation with the real scrivane.exe, for a person to look at: start, enter
// presentation mode, draw with the highlighter and the pen in two colours, open the magnifier,
// leave. Screenshots go to the folder given as the first argument.
#include <windows.h>

#include <cstdio>
#include <string>

#include "e2e/driver.h"
#include "support/test_support.h"

using namespace e2e;
using namespace testing_support;

namespace {

void Shot(const std::wstring& dir, const wchar_t* name) {
  Pump(300);
  SaveImageBmp(CaptureScreen(), dir + L"\\" + name + L".bmp");
  std::wprintf(L"  screenshot %ls\n", name);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring dir = argc > 1 ? argv[1] : L".";
  ::CreateDirectoryW(dir.c_str(), nullptr);

  // A slide-like window to present over: a title and lines of "text".
  SlideWindow slide(120, [](HDC dc) {
    const wchar_t* lines[] = {L"Revenue grew 12 % over the last quarter", L"Three new markets opened in the spring",
                              L"Costs held flat despite higher volumes", L"Next: the roadmap for the coming year"};
    for (int i = 0; i < 4; ++i) ::TextOutW(dc, 200, 320 + i * 110, lines[i], static_cast<int>(wcslen(lines[i])));
  });
  Pump(300);

  App app;
  if (!app.Start()) {
    std::printf("could not start scrivane.exe\n");
    return 1;
  }
  std::printf("Scrivane started; waiting for the splash to hand over\n");
  Pump(1000);
  Shot(dir, L"1-splash");
  if (!app.WaitFor(kMainForm, kHandOffTimeoutMs)) {
    std::printf("the main form did not appear\n");
    return 1;
  }
  Pump(500);
  if (HWND help = app.Find(kHelp)) {
    Shot(dir, L"2-help-window");
    ::SendMessageW(help, WM_COMMAND, IDOK, 0);
    if (HWND ok = ChildWithText(help, L"OK")) ClickCentre(ok);
    Pump(500);
  }
  ::SetForegroundWindow(slide.Hwnd());
  Pump(300);

  std::printf("Ctrl+Shift+Z: presentation mode\n");
  TypeChord({VK_CONTROL, VK_SHIFT, 'Z'});
  app.WaitFor(kOverlay, 5000);
  Pump(500);
  TypeText(L"y");  // yellow highlighter
  Pump(100);
  TypeText(L"3");
  Drag(200, 329, 930, 329, 30);
  TypeText(L"p");  // pen
  TypeText(L"r");
  TypeText(L"2");
  Drag(190, 575, 900, 575, 25);
  Drag(900, 575, 930, 545, 3);
  TypeText(L"b");
  Drag(1400, 420, 1500, 380, 5);
  Drag(1500, 380, 1600, 430, 5);
  Shot(dir, L"3-presentation");
  std::printf("m: the magnifier\n");
  TypeText(L"m");
  MouseMoveTo(1480, 400);
  Pump(900);
  Shot(dir, L"4-magnifier");
  TypeText(L"\x1b");
  Pump(300);
  if (HWND mag = app.Find(kMagnifier)) {
    ::PostMessageW(mag, WM_CLOSE, 0, 0);
  }
  TypeChord({VK_ESCAPE});
  Pump(500);
  Shot(dir, L"5-after-esc");
  app.Stop();
  std::printf("done\n");
  return 0;
}
