// A user at the dialogs of one command: answers them in order from a thread of its own (the test's
// thread is inside the command's modal loop meanwhile), then watches a little longer and notes
// any dialog that should not have come.
#pragma once

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace testing_support {

enum class Act { EnterFileName, Cancel, Yes, Ok };
struct Step {
  Act act;
  std::wstring fileName;
};
struct Seen {
  std::wstring title;
  std::wstring text;  // a message box's text
  HICON icon = nullptr;  // a message box's icon
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

// Answers the dialogs of one command in order, from its own thread (the test's thread is inside
// the modal loop meanwhile); then watches for another 700 ms and notes any further dialog.
class DialogUser {
 public:
  explicit DialogUser(std::vector<Step> steps) : steps_(std::move(steps)), thread_([this] { Run(); }) {}
  ~DialogUser() { Join(); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  std::vector<Seen> seen;
  bool unexpectedDialog = false;
  bool timedOut = false;

 private:
  HWND WaitForDialog(int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
      HWND w = FindVisibleWindow(L"#32770", true, done_);
      if (w) {
        ::Sleep(150);  // let it finish initialising its controls
        return w;
      }
      ::Sleep(20);
    }
    return nullptr;
  }
  void Run() {
    for (const Step& step : steps_) {
      HWND dlg = WaitForDialog(15000);
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
      done_.push_back(dlg);
      for (int i = 0; i < 250 && ::IsWindow(dlg) && ::IsWindowVisible(dlg); ++i) ::Sleep(20);
    }
    if (HWND extra = WaitForDialog(700)) {
      unexpectedDialog = true;
      ::PostMessageW(extra, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
  }
  std::vector<Step> steps_;
  std::vector<HWND> done_;
  std::thread thread_;
};

}  // namespace testing_support
