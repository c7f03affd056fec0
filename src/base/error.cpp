#include "base/error.h"

#include <windows.h>

#include <new>

#include "base/handles.h"
#include "base/text.h"

namespace base {

ErrorReport DescribeException(std::exception_ptr error) {
  if (!error) return {kErrInternal, "Internal error"};
  try {
    std::rethrow_exception(error);
  } catch (const AppError& e) {
    return {e.Number(), e.Description()};
  } catch (const std::bad_alloc&) {
    return {kErrOutOfMemory, "Out of memory"};
  } catch (const std::exception& e) {
    return {kErrInternal, e.what()};
  } catch (...) {
    return {kErrInternal, "Internal error"};
  }
}

std::string SystemErrorText(uint32_t code) {
  base::unique_hlocal_string buffer;
  // With FORMAT_MESSAGE_ALLOCATE_BUFFER the buffer argument is where the new buffer's address goes.
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(buffer.Put()), 0, nullptr);
  std::wstring text = n > 0 && buffer ? std::wstring(buffer.Get(), n) : std::wstring();
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  if (text.empty()) return "Error " + std::to_string(code) + ".";
  return Narrow(text);
}

}  // namespace base
