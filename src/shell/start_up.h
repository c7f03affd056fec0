// The program's entry routine and its message loop.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/handles.h"
#include "imaging/spill_file.h"
#include "overlay/keeping.h"

namespace shell {

// The name of the object that marks a running copy in this session.
constexpr wchar_t kInstanceMutexName[] = L"Local\\Scrivane.SingleInstance";

// Creates the named mutex and keeps it in `holder`. False when another copy already holds it.
bool AcquireSingleInstance(const wchar_t* name, base::unique_handle& holder);

// True while any window of the program is loaded; the process ends when none is.
bool AnyFormLoaded();

// Connects the overlay and the magnifier through their narrow interfaces: the overlay reaches the
// magnifier through the main form, and the magnifier hands its keys to the overlay.
void WireLinks();

// Tells the user that a drawing could not be kept: in the tray balloon, or in a message box when
// the icon has gone (at Exit). Called on the keeper's thread.
void ReportKeepFailure(const std::wstring& text);

// Runs the message loop until no window of the program remains.
void RunMessageLoop();

// One run of the program: the single-instance guard it holds while it runs, StartUp, the loop.
class Program {
 public:
  // Refuses a second copy, otherwise shows the splash and returns; false when refused.
  bool StartUp();
  // StartUp and the loop; the process's exit code. Drawings still being written are finished
  // before it returns.
  int Run();

 private:
  base::unique_handle instanceMutex_;
  // Writes every presentation's final picture into the Drawings folder.
  std::unique_ptr<overlay::DrawingKeeper> keeper_;
  // Where the undo history keeps older steps out of memory; deleted when the program ends.
  std::unique_ptr<imaging::SpillFile> historyFile_;
};

}  // namespace shell
