// One entry into presentation mode as the user sees it, measured from the key on both sides: on
// the Windows side until the overlay is visible and its thread has finished the hotkey's work
// (which ends with the first paint), on the X side with the screen watcher until the drawing that
// completes the full-screen picture. Works for any program that enters on Ctrl+Shift+Z and leaves
// on Esc with a full-screen window of a known class: scrivane.exe and the floor program.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "support/test_support.h"
#include "support/xwatch_client.h"

namespace e2e {

struct EntryProbe {
  bool ok = false;
  std::string failure;
  HWND overlay = nullptr;
  // QueryPerformanceCounter, in 100-ns ticks (the watcher's clock).
  unsigned long long key = 0;      // just before the SendInput of the Z of Ctrl+Shift+Z
  unsigned long long shown = 0;    // the overlay window first seen visible
  unsigned long long handled = 0;  // a WM_NULL sent to it after that came back: the hotkey's
                                   // work, up to the end of the first paint, is done
  std::optional<testing_support::XWatchRecord> record;  // key to stop, X side

  double WindowsMs() const { return (handled - key) / 1e4; }
  double XMapMs() const { return record && record->firstMap ? (record->firstMap - key) / 1e4 : -1; }
  double XPaintedMs() const { return record && record->painted ? (record->painted - key) / 1e4 : -1; }
};

// The visible top-level window of `className` that belongs to process `pid`, or null.
HWND VisibleWindowOf(DWORD pid, const wchar_t* className);

// Presses Ctrl+Shift+Z with a watcher record running, and waits until the overlay is painted on
// both sides and its program is idle again.
EntryProbe ProbeEntry(testing_support::XWatch& watch, const std::string& label, HANDLE process, DWORD pid,
                      const wchar_t* overlayClass, int timeoutMs = 10000);

// Esc to the overlay; waits until it is gone and the screen shows `desktop` again. Wine's own
// notification-area window is left out of the comparison: the window manager redraws its frame
// as it gains and loses the focus.
bool LeaveAndSettle(HWND overlay, DWORD pid, const wchar_t* overlayClass, const testing_support::ScreenImage& desktop,
                    int timeoutMs = 10000);

}  // namespace e2e
