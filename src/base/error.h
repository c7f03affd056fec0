// Errors as the program raises and reports them: a number, a source and a description.
//
// No exception may cross a window procedure: the window system's frames cannot be unwound. Every
// procedure of ours runs its work through CallFromWindowSystem; what escapes the work ends the
// program there, through the terminate handler that start-up installs, which shows the error's
// number and description (DescribeException) and ends the process.
#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>

namespace base {

class AppError : public std::runtime_error {
 public:
  AppError(int32_t number, std::string source, std::string description)
      : std::runtime_error(description), number_(number), source_(std::move(source)),
        description_(std::move(description)) {}
  int32_t Number() const { return number_; }
  const std::string& Source() const { return source_; }
  const std::string& Description() const { return description_; }

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
};

// Error numbers several parts of the program raise.
constexpr int32_t kErrInvalidCall = 5;         // e.g. the focus to a window that is not visible
constexpr int32_t kErrOverflow = 6;            // a count went past its type
constexpr int32_t kErrOutOfMemory = 7;
constexpr int32_t kErrInternal = 51;           // a standard exception that carries no number of ours
constexpr int32_t kErrFileIo = 75;             // a file could not be read or written
constexpr int32_t kErrInvalidPicture = 481;    // the file is not a picture we can read
constexpr int32_t kErrCancel = 32755;          // a common dialog was cancelled

struct ErrorReport {
  int32_t number = 0;
  std::string description;  // UTF-8
};

// The number and description of an exception, whatever its type.
ErrorReport DescribeException(std::exception_ptr error);

// The system's own words for a Win32 error code (FormatMessage, in the user's language), UTF-8,
// without the line break the message table ends with: "There is not enough space on the disk."
// A code the system has no text for gives "Error <code>.".
std::string SystemErrorText(uint32_t code);

// Runs `work` for the window system. An exception that escapes it ends the program here.
template <typename F>
decltype(auto) CallFromWindowSystem(F&& work) noexcept {
  try {
    return work();
  } catch (...) {
    // Inside the handler, so that the terminate handler can still see what was thrown.
    std::terminate();
  }
}

}  // namespace base
