#include "settings/registry_rules.h"

namespace settings {

bool NeedsExpandSz(std::string_view text) {
  const size_t first = text.find('%');
  if (first == std::string_view::npos || first + 2 >= text.size()) return false;
  return text.find('%', first + 2) != std::string_view::npos;
}

int32_t ReverseByteOrder(int32_t x) {
  const auto u = static_cast<uint32_t>(x);
  const uint32_t r = ((u & 0xFFu) << 24) | ((u & 0xFF00u) << 8) | ((u >> 8) & 0xFF00u) | (u >> 24);
  return static_cast<int32_t>(r);
}

std::string ProgramBaseName(std::string_view path) {
  const size_t slash = path.find_last_of("\\/");
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name);
}

namespace {
std::string Join(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (auto p : parts) out += p;
  return out;
}
}  // namespace

std::string CreateKeyFailedText(std::string_view section) {
  return Join({"Failed to create registry Key: '", section});
}

std::string DeleteKeyFailedText(int32_t root, std::string_view section) {
  return Join({"Failed to delete registry Key: '", std::to_string(root), "',Section: '", section});
}

std::string OpenForDeleteFailedText(int32_t root, std::string_view section) {
  return Join({"Failed to open key '", std::to_string(root), "',Section: '", section, "' for delete access"});
}

std::string DeleteValueFailedText(int32_t root, std::string_view section, std::string_view name) {
  return Join({"Failed to delete registry Key: '", std::to_string(root), "',Section: '", section, "',Key: '", name});
}

std::string SetValueFailedText(int32_t root, std::string_view section, std::string_view name,
                               std::string_view value) {
  return Join({"Failed to set registry value Key: '", std::to_string(root), "',Section: '", section, "',Key: '",
               name, "' to value: '", value, "'"});
}

std::string BinaryNeedsBytesText(int32_t root, std::string_view section, std::string_view name) {
  return Join({"Registry value Key: '", std::to_string(root), "',Section: '", section, "',Key: '", name,
               "' is REG_BINARY and needs an array of bytes"});
}

const char kAssociationItemsText[] =
    "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command";
const char kAssociationNoClassText[] = "Error - attempt to create additional associations before class defined.";

std::string QuoteExePath(std::string_view exePath) {
  const size_t begin = exePath.find_first_not_of(' ');
  std::string path;
  if (begin != std::string_view::npos) {
    const size_t end = exePath.find_last_not_of(' ');
    path = std::string(exePath.substr(begin, end - begin + 1));
  }
  if (path.empty() || path.front() != '"') path.insert(path.begin(), '"');
  // A lone quote is the opening one: it still needs its closing partner.
  if (path.size() < 2 || path.back() != '"') path.push_back('"');
  return path;
}

std::string VerbCommand(std::string_view quotedPath, std::string_view verbSwitch) {
  return Join({quotedPath, verbSwitch, "\"%1\""});
}

std::string IconValue(std::string_view quotedPath, int32_t iconIndex) {
  return Join({quotedPath, ",", std::to_string(iconIndex)});
}

}  // namespace settings
