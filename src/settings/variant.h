// The tagged value that registry values travel in: empty, a 16-bit or 32-bit integer, a boolean,
// text or an array of bytes. Text is UTF-8 inside the program; the registry class converts it to
// and from UTF-16 at the registry's edge.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace settings {

using ByteArray = std::vector<uint8_t>;

class Variant {
 public:
  enum class Kind { Empty, Integer, Long, Boolean, Text, Bytes };

  Variant() = default;
  Variant(int16_t v) : value_(v) {}
  Variant(int32_t v) : value_(v) {}
  Variant(bool v) : value_(v) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(ByteArray v) : value_(std::move(v)) {}

  Kind GetKind() const { return static_cast<Kind>(value_.index()); }
  bool IsEmpty() const { return GetKind() == Kind::Empty; }
  // Each accessor requires the matching kind (std::bad_variant_access otherwise).
  int16_t AsInteger() const { return std::get<int16_t>(value_); }
  int32_t AsLong() const { return std::get<int32_t>(value_); }
  bool AsBoolean() const { return std::get<bool>(value_); }
  const std::string& AsText() const { return std::get<std::string>(value_); }
  const ByteArray& AsBytes() const { return std::get<ByteArray>(value_); }

  bool operator==(const Variant&) const = default;

 private:
  // The order matches Kind.
  std::variant<std::monostate, int16_t, int32_t, bool, std::string, ByteArray> value_;
};

// The text a value is written as: numbers in plain decimal with a leading "-" when negative, text
// unchanged, empty as empty text. Booleans give "1" and "0", the way the program stores its own
// switches, so that they read back as conditions; byte arrays give their bytes as upper-case hex
// pairs separated by spaces ("00 1F FF"), as registry editors show them.
std::string TextForm(const Variant& v);

}  // namespace settings
