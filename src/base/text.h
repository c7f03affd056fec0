// Text conversion. Inside the program text is UTF-8 (std::string) or UTF-16 (std::wstring, what
// the wide Win32 functions take); other code pages appear only at the edges that need them.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace base {

// UTF-8 (or, with `codePage`, text in that code page) to UTF-16.
std::wstring Widen(std::string_view text, UINT codePage = CP_UTF8);
// UTF-16 to UTF-8 (or to `codePage`).
std::string Narrow(std::wstring_view text, UINT codePage = CP_UTF8);

}  // namespace base
