#include "e2e/entry_probe.h"

#include <algorithm>

#include "e2e/driver.h"

namespace e2e {

using testing_support::QpcTicks;

HWND VisibleWindowOf(DWORD pid, const wchar_t* className) {
  for (HWND w = ::FindWindowExW(nullptr, nullptr, className, nullptr); w;
       w = ::FindWindowExW(nullptr, w, className, nullptr)) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(w, &owner);
    if (owner == pid && ::IsWindowVisible(w)) return w;
  }
  return nullptr;
}

EntryProbe ProbeEntry(testing_support::XWatch& watch, const std::string& label, HANDLE process, DWORD pid,
                      const wchar_t* overlayClass, int timeoutMs) {
  EntryProbe p;
  const uint32_t face = testing_support::Rgb(::GetSysColor(COLOR_BTNFACE));
  if (!watch.Start(label, 0x000000, face)) {
    p.failure = "the screen watcher did not start a record (its last answer: " + watch.LastAck() + ")";
    return p;
  }
  testing_support::KeyDown(VK_CONTROL);
  testing_support::KeyDown(VK_SHIFT);
  p.key = QpcTicks();
  testing_support::KeyDown('Z');
  testing_support::KeyUp('Z');
  testing_support::KeyUp(VK_SHIFT);
  testing_support::KeyUp(VK_CONTROL);

  const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
  while (!(p.overlay = VisibleWindowOf(pid, overlayClass))) {
    if (::GetTickCount64() >= end) {
      p.failure = "the overlay did not show";
      watch.Stop(label);
      return p;
    }
    testing_support::Pump(1);
  }
  p.shown = QpcTicks();
  // The program shows and paints the overlay inside its hotkey handler; it answers a sent
  // message only once that handler has returned.
  DWORD_PTR result = 0;
  ::SendMessageTimeoutW(p.overlay, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(timeoutMs), &result);
  p.handled = QpcTicks();

  // The X side: until the watcher has seen the whole picture drawn after the map...
  bool painted = false;
  while (!painted) {
    auto progress = watch.Peek(label);
    painted = progress && progress->painted != 0;
    if (!painted) {
      if (::GetTickCount64() >= end) break;
      testing_support::Pump(2);
    }
  }
  // ...and until the program has nothing left to do (later paints, answers to the window
  // manager), so that every drawing of this entry is in the record.
  ::WaitForInputIdle(process, static_cast<DWORD>(timeoutMs));
  ::SendMessageTimeoutW(p.overlay, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(timeoutMs), &result);
  p.record = watch.Stop(label);
  if (!p.record) {
    p.failure = "the screen watcher gave no record";
    return p;
  }
  if (!painted) {
    p.failure = "the watcher never saw the full picture drawn after the overlay's map:\n" + p.record->text;
    return p;
  }
  p.ok = true;
  return p;
}

namespace {
// The screen with the notification area's own window painted as it is in `like`.
testing_support::ScreenImage ScreenWithoutTray(const testing_support::ScreenImage& like) {
  testing_support::ScreenImage now = testing_support::CaptureScreen();
  RECT tray{};
  HWND trayWindow = ::FindWindowW(L"__winex11_standalone_tray", nullptr);
  if (trayWindow && ::GetWindowRect(trayWindow, &tray)) {
    for (int y = std::max<LONG>(tray.top, 0); y < std::min<LONG>(tray.bottom, now.height); ++y) {
      for (int x = std::max<LONG>(tray.left, 0); x < std::min<LONG>(tray.right, now.width); ++x) {
        now.pixels[static_cast<size_t>(y) * now.width + x] = like.At(x, y);
      }
    }
  }
  return now;
}
}  // namespace

bool LeaveAndSettle(HWND overlay, DWORD pid, const wchar_t* overlayClass, const testing_support::ScreenImage& desktop,
                    int timeoutMs) {
  ::SetForegroundWindow(overlay);
  testing_support::TapKey(VK_ESCAPE);
  if (!WaitUntil([&] { return VisibleWindowOf(pid, overlayClass) == nullptr; }, timeoutMs, 5)) return false;
  // The windows under the overlay paint again (ours when this thread pumps).
  return WaitUntil([&] { return testing_support::CountDifferences(ScreenWithoutTray(desktop), desktop) == 0; },
                   timeoutMs, 10);
}

}  // namespace e2e
