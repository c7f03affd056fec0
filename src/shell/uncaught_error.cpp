#include "shell/uncaught_error.h"

#include <windows.h>

#include <exception>

#include "base/error.h"
#include "base/text.h"
#include "shell/form1.h"
#include "shell/mod1.h"

namespace shell {

namespace {

// No dead icon stays behind: the main form's window of this process says which icon is its own.
// Found through the windows, because this may run on any thread, with nothing of the program's
// state at hand.
void RemoveOurTrayIcon() {
  HWND main = nullptr;
  while ((main = ::FindWindowExW(nullptr, main, form1::kClassName, nullptr)) != nullptr) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(main, &pid);
    if (pid != ::GetCurrentProcessId()) continue;
    if (HANDLE id = ::GetPropW(main, form1::kTrayIconIdProp)) {
      mod1::RemoveTrayIconOf(main, static_cast<UINT>(reinterpret_cast<UINT_PTR>(id)));
    }
  }
}

}  // namespace

std::wstring UncaughtErrorText(int32_t number, const std::string& description) {
  return L"Run-time error '" + std::to_wstring(number) + L"':\r\n\r\n" + base::Widen(description);
}

void ReportUncaughtError() {
  const base::ErrorReport report = base::DescribeException(std::current_exception());
  const std::wstring text = UncaughtErrorText(report.number, report.description);
  ::MessageBoxW(nullptr, text.c_str(), L"Scrivane", MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
  RemoveOurTrayIcon();
  ::ExitProcess(static_cast<UINT>(report.number));
}

void InstallLastResortHandler() { std::set_terminate(&ReportUncaughtError); }

}  // namespace shell
