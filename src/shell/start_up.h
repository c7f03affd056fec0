// The program's entry routine and its message loop.
#pragma once

#include <windows.h>

namespace shell {

// The name of the object that marks a running copy in this session.
constexpr wchar_t kInstanceMutexName[] = L"Local\\Scrivane.SingleInstance";

// Creates the named mutex and keeps it in `holder`. False when another copy already holds it.
bool AcquireSingleInstance(const wchar_t* name, HANDLE& holder);

// True while any window of the program is loaded; the process ends when none is.
bool AnyFormLoaded();

// Connects the overlay, the main form and the magnifier through their narrow interfaces.
void WireLinks();

// Runs the message loop until no window of the program remains.
void RunMessageLoop();

// StartUp, the loop, and the last-resort handler around both; the process's exit code.
int RunProgram();

}  // namespace shell

// Refuses a second copy, otherwise shows the splash and returns.
void StartUp();
