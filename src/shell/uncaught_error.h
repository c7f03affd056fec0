// The last resort for an error that nothing else catches: a message box with the error's number
// and description, then the end of the program. Window procedures end the program through
// std::terminate when something escapes them (base::CallFromWindowSystem); start-up installs the
// handler that shows the box.
#pragma once

#include <cstdint>
#include <string>

namespace shell {

// The text of the message box: the number and the description.
std::wstring UncaughtErrorText(int32_t number, const std::string& description);

// Makes std::terminate show the error in flight, take the notification-area icon away (no dead
// icon stays behind) and end the process with the error's number.
void InstallLastResortHandler();

// Shows the box for the exception being handled and ends the process.
[[noreturn]] void ReportUncaughtError();

}  // namespace shell
