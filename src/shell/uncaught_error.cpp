#include "shell/uncaught_error.h"

#include <windows.h>

#include <exception>
#include <new>

#include "forms/app_error.h"
#include "shell/mod1.h"

namespace shell {

namespace {
UncaughtErrorSink gSink = nullptr;
}

void SetUncaughtErrorSinkForTesting(UncaughtErrorSink sink) { gSink = sink; }

std::string UncaughtErrorText(int32_t number, const std::string& description) {
  return "Run-time error '" + std::to_string(number) + "':\r\n\r\n" + description;
}

void ReportUncaughtError(int32_t number, const std::string& description) {
  if (gSink) {
    gSink(number, description);
    return;
  }
  const std::string text = UncaughtErrorText(number, description);
  ::MessageBoxA(nullptr, text.c_str(), "Scrivane", MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
  if (mod1::TrayIcon.cbSize != 0) mod1::RemoveTrayIcon();
  ::ExitProcess(static_cast<UINT>(number));
}

void RunGuardedImpl(void (*call)(void*), void* context) {
  int32_t number = 0;
  std::string description;
  try {
    call(context);
    return;
  } catch (const forms::AppError& e) {
    number = e.Number();
    description = e.Description();
  } catch (const std::bad_alloc&) {
    number = 7;
    description = "Out of memory";
  } catch (const std::exception& e) {
    number = kErrInternal;
    description = e.what();
  } catch (...) {
    number = kErrInternal;
    description = "Internal error";
  }
  ReportUncaughtError(number, description);
}

}  // namespace shell
