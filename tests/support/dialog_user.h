// A user at the dialogs of this process: the file dialogs, the colour dialog and message boxes,
// answered from a second thread while the test's thread is inside the command's modal loop.
// Every wait is for a state (the dialog there, initialised and answering; the dialog gone; the
// command returned), never for a time.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace testing_support {

enum class Act { EnterFileName, Cancel, Yes, Ok };

struct Step {
  Act act;
  std::wstring fileName;  // for EnterFileName
};

// What one dialog showed when it was answered.
struct Seen {
  std::wstring title;
  std::wstring text;     // a message box's text
  HICON icon = nullptr;  // a message box's icon
  HWND owner = nullptr;  // the owner window as the dialog had it
  bool ownerAlive = false;
};

// The icon a message box shows: its static control with SS_ICON.
inline HICON MessageBoxIcon(HWND dlg) {
  HICON found = nullptr;
  for (HWND c = ::GetWindow(dlg, GW_CHILD); c && !found; c = ::GetWindow(c, GW_HWNDNEXT)) {
    if ((::GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      found = reinterpret_cast<HICON>(::SendMessageW(c, STM_GETICON, 0, 0));
    }
  }
  return found;
}

// Answers the dialogs of one command in the order given. Construct it before the command, call
// Join() once the command has returned: until then any dialog beyond the steps is noted as
// unexpected and cancelled, so a command that shows one more box than expected fails the test
// instead of hanging it.
class DialogUser {
 public:
  explicit DialogUser(std::vector<Step> steps) : steps_(std::move(steps)), thread_([this] { Run(); }) {}
  ~DialogUser() { Join(); }
  DialogUser(const DialogUser&) = delete;
  DialogUser& operator=(const DialogUser&) = delete;

  void Join() {
    commandReturned_ = true;
    if (thread_.joinable()) thread_.join();
  }

  // Read these after Join(); Answered() may be watched before, from the test's thread.
  int Answered() const { return answered_; }
  std::vector<Seen> seen;
  bool unexpectedDialog = false;
  bool timedOut = false;  // an expected dialog never came

 private:
  // The next dialog of this process not answered yet, once it is ready for input; null when the
  // command returned first or `timeoutMs` passed.
  HWND WaitForDialog(int timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    while (::GetTickCount64() < end) {
      if (HWND w = FindVisibleWindow(L"#32770", true, done_)) {
        if (WaitUntilReadyForInput(w, static_cast<int>(end - ::GetTickCount64()))) return w;
      }
      if (commandReturned_) return nullptr;
      ::Sleep(10);
    }
    return nullptr;
  }

  void Run() {
    for (const Step& step : steps_) {
      HWND dlg = WaitForDialog(30000);
      if (!dlg) {
        timedOut = true;
        return;
      }
      Seen s;
      wchar_t buf[2048] = {};
      ::GetWindowTextW(dlg, buf, 2048);
      s.title = buf;
      if (HWND text = ::GetDlgItem(dlg, 0xFFFF)) {
        buf[0] = 0;
        ::GetWindowTextW(text, buf, 2048);
        s.text = buf;
      }
      s.icon = MessageBoxIcon(dlg);
      s.owner = ::GetWindow(dlg, GW_OWNER);
      s.ownerAlive = s.owner && ::IsWindow(s.owner);
      seen.push_back(s);
      switch (step.act) {
        case Act::EnterFileName:
          ::SetWindowTextW(::GetDlgItem(dlg, 0x47c), step.fileName.c_str());
          ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
          break;
        case Act::Cancel: ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); break;
        case Act::Yes: ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0); break;
        case Act::Ok: ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); break;
      }
      // The next step's dialog may come while this one is still up (the question whether to
      // replace a file sits on the Save As dialog): answered ones are not looked at again.
      done_.push_back(dlg);
      ++answered_;
    }
    // Until the command has returned, anything further is a dialog too many.
    while (!commandReturned_) {
      if (HWND extra = FindVisibleWindow(L"#32770", true, done_)) {
        unexpectedDialog = true;
        done_.push_back(extra);
        ::PostMessageW(extra, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      }
      ::Sleep(10);
    }
  }

  std::vector<Step> steps_;
  std::vector<HWND> done_;
  std::atomic<bool> commandReturned_{false};
  std::atomic<int> answered_{0};
  std::thread thread_;
};

}  // namespace testing_support
