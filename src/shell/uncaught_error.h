// The last resort for an error that nothing else catches: a message box with the error's number
// and description, then the end of the program. Every entry point from the window system runs its
// work through RunGuarded, so that no exception crosses a window procedure.
#pragma once

#include <cstdint>
#include <string>

namespace shell {

// The text of the message box: the number and the description.
std::string UncaughtErrorText(int32_t number, const std::string& description);

// Shows the message box and ends the process. The notification-area icon is taken away first, so
// that no dead icon stays behind. (With a test sink set, it only calls the sink and returns.)
void ReportUncaughtError(int32_t number, const std::string& description);

// Number given to a standard exception that carries none of ours.
constexpr int32_t kErrInternal = 51;

// Runs `work`; if it throws, reports the error through ReportUncaughtError.
void RunGuardedImpl(void (*call)(void*), void* context);

template <typename F>
void RunGuarded(F&& work) {
  RunGuardedImpl([](void* c) { (*static_cast<F*>(c))(); }, &work);
}

// Lets tests see the box without ending the test program: when set, it is called instead.
using UncaughtErrorSink = void (*)(int32_t number, const std::string& description);
void SetUncaughtErrorSinkForTesting(UncaughtErrorSink sink);

}  // namespace shell
