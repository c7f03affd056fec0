// A second thread of a test, for what has to happen while the test's own thread sits in a modal
// loop (a popup menu's, a dialog's) or in a call that only returns once somebody answers: the
// user's part.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include "support/test_support.h"

namespace testing_support {

// Joined by Join() or, at the latest, when it goes; declare it after every member its work uses,
// so that it goes first.
class SideThread {
 public:
  explicit SideThread(std::function<void()> work) : thread_(std::move(work)) {}
  ~SideThread() { Join(); }
  SideThread(const SideThread&) = delete;
  SideThread& operator=(const SideThread&) = delete;

  void Join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
};

// A user at the window a command of this thread is about to show: a second thread waits for the
// first visible top-level window of `className` that is not in `ignore` (only this process's with
// `thisProcessOnly`) and hands it to `answer`. Window() is that window; null while none came, and
// after Join() when none came within `timeoutMs`.
class AnswerWhenShown {
 public:
  AnswerWhenShown(const wchar_t* className, bool thisProcessOnly, int timeoutMs, std::function<void(HWND)> answer,
                  std::vector<HWND> ignore = {})
      : thread_([=, this] {
          HWND found = WaitForVisibleWindow(className, thisProcessOnly, timeoutMs, ignore);
          if (!found) return;
          window_ = found;
          answer(found);
        }) {}
  void Join() { thread_.Join(); }
  HWND Window() const { return window_; }

 private:
  std::atomic<HWND> window_{nullptr};
  SideThread thread_;
};

}  // namespace testing_support
