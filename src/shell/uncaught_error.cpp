#include "shell/uncaught_error.h"

#include <windows.h>

#include <exception>

#include "base/error.h"
#include "base/text.h"
#include "shell/mod1.h"

namespace shell {

std::wstring UncaughtErrorText(int32_t number, const std::string& description) {
  return L"Run-time error '" + std::to_wstring(number) + L"':\r\n\r\n" + base::Widen(description);
}

void ReportUncaughtError() {
  const base::ErrorReport report = base::DescribeException(std::current_exception());
  const std::wstring text = UncaughtErrorText(report.number, report.description);
  ::MessageBoxW(nullptr, text.c_str(), L"Scrivane", MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
  if (mod1::TrayIcon.cbSize != 0) mod1::RemoveTrayIcon();
  ::ExitProcess(static_cast<UINT>(report.number));
}

void InstallLastResortHandler() { std::set_terminate(&ReportUncaughtError); }

}  // namespace shell
