// The program's entry routine, its message loop, and the application object that holds everything
// the program keeps while it runs.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/handles.h"
#include "imaging/spill_file.h"
#include "magnifier/mag_win.h"
#include "overlay/keeping.h"
#include "overlay/live_drawing.h"
#include "overlay/ss.h"
#include "settings/app_settings.h"
#include "settings/registry.h"
#include "shell/commands.h"
#include "shell/form1.h"
#include "shell/frm_splash.h"
#include "shell/message_window.h"
#include "shell/mod1.h"

namespace shell {

// The name of the object that marks a running copy in this session.
constexpr wchar_t kInstanceMutexName[] = L"Local\\Scrivane.SingleInstance";

// Creates the named mutex and keeps it in `holder`. False when another copy already holds it.
bool AcquireSingleInstance(const wchar_t* name, base::unique_handle& holder);

// One run of the program, made in wWinMain: the state the whole program shares and every window
// it has, wired together. Nothing of the program lives outside it.
//
// It is torn down in one order, each step with everything after it still there:
//   1. the windows go, each while the others it calls are still whole: live drawing and the
//      overlay (their drawings handed to the keeper first), the magnifier, the help window, the
//      main form (which takes its hooks, hotkeys and icon with it), the splash;
//   2. the keeper writes the drawings still on their way to the disk, then goes; the undo steps go,
//      and the file of the older ones with them (closing it deletes it);
//   3. the objects go in the reverse order of the members below: splash, main form, help window,
//      magnifier, live drawing, overlay, the tray icon record, the commands, the settings;
//   4. last, the single-instance mutex, so that a new copy can start only once this one holds
//      nothing.
class Application {
 public:
  Application();
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Refuses a second copy, otherwise shows the splash and returns; false when refused.
  bool StartUp();
  // StartUp and the loop; the process's exit code. Drawings still being written are finished
  // before it returns.
  int Run();
  // Runs the message loop until no window of the program remains.
  void RunMessageLoop();
  // True while any window of the program is loaded; the process ends when none is.
  bool AnyFormLoaded() const;
  // The answer of every window of ours to the installer's end request (forms::Window): every
  // window of the program goes, and with the last one the process.
  void EndProgram();

  // Stores the settings (after every change). Where the registry takes them nowhere, the program
  // goes on with them in effect, and the balloon says so once, until a store succeeds again.
  void StoreSettings();
  // Asked before every registry write of StoreSettings (settings/registry.h); none lets the
  // registry decide.
  void SetSettingsWriteGate(settings::WriteGate gate) { settingsGate_ = std::move(gate); }

 private:
  // Waits for the drawings the keeper is still writing, then lets it go.
  void FinishKeeping();
  // Forgets the undo steps and closes their file, which deletes it.
  void ForgetHistory();
  // Tells the user that a drawing could not be kept: in the tray balloon, or in a message box when
  // the icon has gone (at Exit). Called on the keeper's thread.
  void ReportKeepFailure(const std::wstring& text);

  base::unique_handle instanceMutex_;
  settings::WriteGate settingsGate_;
  // The balloon has said that the settings could not be stored, and no store has succeeded since.
  bool storeFailureTold_ = false;

 public:
  // The user's choices, read by every window; loaded by the splash, saved after every change.
  settings::AppSettingsRecord AppSettings;
  // Runs every command, whichever key, menu item or hotkey asks for it.
  CommandDispatcher commands{*this};
  // The notification-area icon record and its hook on the main window (TrayIcon, trayHooked,
  // trayHookedWindow, trayPreviousProc).
  mod1::Tray Tray;
  // The windows. The magnifier's zoomFactor lives with it: it survives the window.
  ss overlay;
  overlay::LiveDrawing live;
  magWin magnifier;
  messageWindow helpWindow;
  form1 mainForm;
  frmSplash splash;

 private:
  // Writes every presentation's final picture into the Drawings folder; made by StartUp.
  std::unique_ptr<overlay::DrawingKeeper> keeper_;
  // Where the undo history keeps older steps out of memory; deleted when the program ends.
  std::unique_ptr<imaging::SpillFile> historyFile_;
};

}  // namespace shell
