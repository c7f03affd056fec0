// An error with a number, a source and a description, as the program raises and reports them.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace forms {

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

// Error numbers used by the form layer.
constexpr int32_t kErrCancel = 32755;          // a common dialog was cancelled
constexpr int32_t kErrInvalidPicture = 481;    // the file is not a picture we can read
constexpr int32_t kErrFileIo = 75;             // a file could not be read or written
constexpr int32_t kErrOverflow = 6;            // a count went past its type
constexpr int32_t kErrInvalidCall = 5;         // e.g. focus to a window that is not visible

}  // namespace forms
