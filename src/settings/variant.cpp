#include "settings/variant.h"

namespace settings {

std::string TextForm(const Variant& v) {
  switch (v.GetKind()) {
    case Variant::Kind::Empty:
      return {};
    case Variant::Kind::Integer:
      return std::to_string(v.AsInteger());
    case Variant::Kind::Long:
      return std::to_string(v.AsLong());
    case Variant::Kind::Boolean:
      return v.AsBoolean() ? "1" : "0";
    case Variant::Kind::Text:
      return v.AsText();
    case Variant::Kind::Bytes: {
      static const char kHex[] = "0123456789ABCDEF";
      std::string out;
      for (uint8_t b : v.AsBytes()) {
        if (!out.empty()) out += ' ';
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
      }
      return out;
    }
  }
  return {};
}

}  // namespace settings
