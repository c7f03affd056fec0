// The value that starts the program at every sign-in, the one the installer writes:
// HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run, "Scrivane", the program's path
// in quotes.
#pragma once

#include <string>

namespace settings {

constexpr char kSignInRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kSignInRunValue[] = "Scrivane";

// The value is there (whatever program it names: the installer's copy counts).
bool StartsAtSignIn();
// Writes the value for `programPath`, or removes it. Raises RegistryError when the registry says
// no; removing a value that is not there is no failure.
void SetStartAtSignIn(bool on, const std::wstring& programPath);

}  // namespace settings
