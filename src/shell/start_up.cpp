#include "shell/start_up.h"

#include <initializer_list>

#include "base/text.h"
#include "settings/persistence.h"
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

Application::Application()
    : Tray([this] { commands.Run(CommandId::Menu); }),
      overlay(AppSettings),
      live(AppSettings),
      helpWindow(*this),
      mainForm(*this),
      splash(*this) {
  // The overlay's keys and right button run the commands; the cursors it shows are the ones the
  // main form carries; the magnifier hands its keys to the overlay's key handler.
  overlay.SetCommandDispatcher(&commands);
  overlay.SetCursorSource([this](overlay::CursorKind kind) { return mainForm.CursorImage(kind); });
  live.SetCommandDispatcher(&commands);
  live.SetCursorSource([this](overlay::CursorKind kind) { return mainForm.CursorImage(kind); });
  magnifier.SetKeyForwarder([this](short& keyAscii) { overlay.Picture1_KeyPress(keyAscii); });
  // The drawing modes the commands go to, the one asked first added last. The overlay is asked
  // last: it takes the keys whenever no other mode is in front, shown or not (the magnifier hands
  // it its keys after the presentation too).
  commands.AddTarget(&overlay);
  commands.AddTarget(&live);
  // Whichever window of ours is left hears the installer's end request (a copy may outlive its
  // main window: Exit with the magnifier open).
  for (forms::Window* window : std::initializer_list<forms::Window*>{&live, &overlay, &magnifier, &helpWindow, &mainForm, &splash}) {
    window->SetEndRequestHandler([this] { EndProgram(); });
  }
}

Application::~Application() {
  // 1. Normally every window is gone by now, and the loop ended because none was left. Where one
  // is still up (a test, a benchmark) it goes here, before anything it calls into: the overlay
  // first, handing its drawing to the keeper, then the others.
  live.End();
  live.Destroy();
  overlay.UnloadForGood();
  if (magnifier.IsLoaded()) magnifier.UnloadWindow();
  if (helpWindow.IsLoaded()) helpWindow.Unload();
  if (mainForm.IsLoaded()) mainForm.Unload();
  if (splash.IsLoaded()) splash.Unload();
  commands.RemoveTarget(&live);
  commands.RemoveTarget(&overlay);
  overlay.SetCommandDispatcher(nullptr);
  overlay.SetCursorSource(nullptr);
  live.SetCommandDispatcher(nullptr);
  live.SetCursorSource(nullptr);
  magnifier.SetKeyForwarder(nullptr);
  // 2.
  FinishKeeping();
  ForgetHistory();
  // 3 and 4: the members, in reverse order of declaration.
}

void Application::ReportKeepFailure(const std::wstring& text) {
  if (Tray.ShowTrayBalloon(L"Scrivane", text.c_str())) return;
  // No icon to show it at: Exit has taken it away, and the process ends once this is read.
  ::MessageBoxW(nullptr, text.c_str(), L"Scrivane", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST);
}

namespace {
// Why a store failed, as a clause within a sentence of ours: the system's words for the registry's
// answer ("Access is denied"), or the registry class's description when there is none.
std::wstring Reason(const settings::RegistryError& error) {
  std::wstring text = base::Widen(error.SystemCode() != 0 ? base::SystemErrorText(static_cast<uint32_t>(error.SystemCode()))
                                                           : error.Description());
  while (!text.empty() && (text.back() == L'.' || text.back() == L' ')) text.pop_back();
  return text;
}
}  // namespace

void Application::StoreSettings() {
  try {
    settings::SaveSettings(AppSettings, settingsGate_);
    storeFailureTold_ = false;
  } catch (const settings::RegistryError& error) {
    // Neither the machine's key nor the user's took them. Nothing the presenter drew depends on
    // it: the program goes on, and says why once rather than at every key.
    if (storeFailureTold_) return;
    const std::wstring text = L"Scrivane could not store its settings: " + Reason(error) +
                              L". They stay in effect until Exit.";
    storeFailureTold_ = Tray.ShowTrayBalloon(L"Scrivane", text.c_str());
  }
}

void Application::EndProgram() {
  if (mainForm.IsLoaded()) {
    // Everything, as the close request does: the drawing is kept, the icon and hotkeys go.
    mainForm.CloseProgram();
    return;
  }
  // Exit has been chosen already, or start-up has not handed off yet: what is left goes.
  if (magnifier.IsLoaded()) magnifier.UnloadWindow();
  if (helpWindow.IsLoaded()) helpWindow.Unload();
  if (splash.IsLoaded()) splash.Unload();
  if (live.IsOn()) live.End();
  if (overlay.IsCreated()) overlay.UnloadForGood();
}

bool Application::AnyFormLoaded() const {
  return splash.IsLoaded() || mainForm.IsLoaded() || helpWindow.IsLoaded() || magnifier.IsLoaded() ||
         overlay.IsLoaded() || live.IsOn();
}

void Application::RunMessageLoop() {
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
    HWND help = helpWindow.Hwnd();
    if (help && ::IsDialogMessageW(help, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

bool Application::StartUp() {
  // Before any window or other object of the program exists.
  if (!AcquireSingleInstance(kInstanceMutexName, instanceMutex_)) {
    ::MessageBoxW(nullptr, L"Scrivane is already loaded", L"Error", MB_OK | MB_ICONSTOP);
    return false;
  }
  // The installer asks without elevation; a copy started elevated must still hear it.
  ::ChangeWindowMessageFilter(forms::Window::EndRequestMessage(), MSGFLT_ADD);
  keeper_ = std::make_unique<overlay::DrawingKeeper>(
      overlay::DrawingKeeper::DefaultFolder(), [this](const std::wstring& text) { ReportKeepFailure(text); });
  keeper_->SetWanted([this] { return AppSettings.keepdrawings != settings::kFalse; });
  keeper_->SetKeptNotice([this](const std::wstring&) { mainForm.DrawingKept(); });
  overlay.History().SetKeeper(keeper_.get());
  live.SetKeeper(keeper_.get());
  // Older undo steps wait on the disk rather than in memory, but only while the user lets the
  // program keep pictures there.
  historyFile_ = std::make_unique<imaging::SpillFile>(overlay::DrawingKeeper::ProgramFolder() + L"\\Undo history.tmp");
  overlay.History().SetSpillFile(historyFile_.get(), [this] { return AppSettings.keepdrawings != settings::kFalse; });
  splash.ShowModeless();
  return true;
}

int Application::Run() {
  InstallLastResortHandler();
  try {
    if (StartUp()) RunMessageLoop();
  } catch (...) {
    ReportUncaughtError();
  }
  FinishKeeping();
  ForgetHistory();
  return 0;
}

void Application::FinishKeeping() {
  // The last presentation's picture may still be on its way to the disk.
  overlay.History().SetKeeper(nullptr);
  live.SetKeeper(nullptr);
  keeper_.reset();
}

void Application::ForgetHistory() {
  // The steps first: those in the file give their blocks back to it.
  overlay.History().Forget();
  overlay.History().SetSpillFile(nullptr);
  historyFile_.reset();
}

}  // namespace shell
