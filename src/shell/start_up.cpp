#include "shell/start_up.h"

#include "magnifier/mag_win.h"
#include "overlay/live_drawing.h"
#include "overlay/ss.h"
#include "shell/form1.h"
#include "shell/frm_splash.h"
#include "shell/message_window.h"
#include "shell/mod1.h"
#include "shell/uncaught_error.h"

namespace shell {

bool AcquireSingleInstance(const wchar_t* name, base::unique_handle& holder) {
  holder.Reset(::CreateMutexW(nullptr, FALSE, name));
  const DWORD error = ::GetLastError();
  if (holder && error != ERROR_ALREADY_EXISTS) return true;
  // Already there, or there under another account (access denied): either way a copy runs.
  holder.Reset();
  return false;
}

bool AnyFormLoaded() {
  for (const wchar_t* name : {L"frmSplash", L"form1", L"messageWindow", L"magWin", L"ss", L"LiveDrawing"}) {
    if (forms::Window::CountOpenForms(name) > 0) return true;
  }
  return magWin::Instance().IsLoaded() || ss::Instance().IsLoaded();
}

void WireLinks() {
  ss& overlay = ss::Instance();
  overlay.SetMagnifierLink(&form1::Instance());
  magWin::Instance().SetKeyForwarder([&overlay](short& keyAscii) { overlay.Picture1_KeyPress(keyAscii); });
}

void RunMessageLoop() {
  // Not a GetMessage loop: a message sent from another thread or process (the shell's icon
  // callback, whose menu may end in Exit; the installer's close request) is handled inside
  // GetMessage, which then goes on waiting for a posted message that may never come, and the
  // process would live on with no window and its single-instance mutex. PeekMessage handles the
  // sent messages and returns, so the loop looks again after every message of either kind.
  MSG msg;
  for (;;) {
    if (!AnyFormLoaded()) return;
    if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!AnyFormLoaded()) return;
      ::MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      continue;
    }
    if (msg.message == WM_QUIT) return;
    // Tab and Enter in the help window, as in a dialog.
    HWND help = messageWindow::Instance().Hwnd();
    if (help && ::IsDialogMessageW(help, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

bool Program::StartUp() {
  // Before any window or other object of the program exists.
  if (!AcquireSingleInstance(kInstanceMutexName, instanceMutex_)) {
    ::MessageBoxW(nullptr, L"Scrivane is already loaded", L"Error", MB_OK | MB_ICONSTOP);
    return false;
  }
  WireLinks();
  keeper_ = std::make_unique<overlay::DrawingKeeper>(
      overlay::DrawingKeeper::DefaultFolder(),
      [](const std::wstring& text) { mod1::ShowTrayBalloon(L"Scrivane", text.c_str()); });
  ss::Instance().History().SetKeeper(keeper_.get());
  overlay::LiveDrawing::Instance().SetKeeper(keeper_.get());
  frmSplash::Instance().ShowModeless();
  return true;
}

int Program::Run() {
  InstallLastResortHandler();
  try {
    if (StartUp()) RunMessageLoop();
  } catch (...) {
    ReportUncaughtError();
  }
  // The last presentation's picture may still be on its way to the disk.
  ss::Instance().History().SetKeeper(nullptr);
  overlay::LiveDrawing::Instance().SetKeeper(nullptr);
  keeper_.reset();
  return 0;
}

}  // namespace shell
