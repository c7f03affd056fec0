#include "base/error.h"

#include <new>

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

}  // namespace base
