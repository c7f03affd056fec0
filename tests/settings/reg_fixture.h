// Raw registry access for the tests, through the wide functions so that it checks the class
// rather than repeating it: set up stored values, read back exactly what was stored, clean up.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/registry.h"

namespace regtest {

// Writes under the listed roots fail with access denied, as they do for a user without rights
// there (Wine itself grants every write). Registry objects ask the gate before every write.
class DeniedRoots {
 public:
  void Set(std::vector<int32_t> roots) { roots_ = std::move(roots); }
  settings::WriteGate Gate() {
    return [this](int32_t root) { return std::find(roots_.begin(), roots_.end(), root) == roots_.end(); };
  }

 private:
  std::vector<int32_t> roots_;
};

struct Stored {
  DWORD type = REG_NONE;
  std::vector<uint8_t> bytes;
  // The stored bytes as text, without the terminating zero (REG_SZ, REG_EXPAND_SZ).
  std::wstring Text() const {
    std::wstring s(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    if (!s.empty() && s.back() == L'\0') s.pop_back();
    return s;
  }
};

inline std::optional<Stored> Read(HKEY root, const std::wstring& key, const std::wstring& name) {
  DWORD size = 0;
  DWORD type = 0;
  if (::RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  Stored s;
  s.type = type;
  s.bytes.resize(size);
  if (::RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                     s.bytes.empty() ? nullptr : s.bytes.data(), &size) != ERROR_SUCCESS)
    return std::nullopt;
  s.bytes.resize(size);
  return s;
}

// Size in bytes of the value as the ANSI functions report it (what the class stored).
inline std::optional<DWORD> AnsiSize(HKEY root, const char* key, const char* name) {
  HKEY h = nullptr;
  if (::RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return std::nullopt;
  DWORD size = 0;
  const LONG rc = ::RegQueryValueExA(h, name, nullptr, nullptr, nullptr, &size);
  ::RegCloseKey(h);
  if (rc != ERROR_SUCCESS) return std::nullopt;
  return size;
}

inline void Put(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
                DWORD size) {
  ::RegSetKeyValueW(root, key.c_str(), name.c_str(), type, data, size);
}
inline void PutText(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text,
                    DWORD type = REG_SZ) {
  Put(root, key, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}
inline void PutDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD v) {
  Put(root, key, name, REG_DWORD, &v, sizeof(v));
}

inline bool KeyThere(HKEY root, const std::wstring& key) {
  HKEY h = nullptr;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  ::RegCloseKey(h);
  return true;
}

inline void DeleteTree(HKEY root, const std::wstring& key) { ::RegDeleteTreeW(root, key.c_str()); ::RegDeleteKeyW(root, key.c_str()); }

// Every key below `key` (relative paths, "" for the key itself) with its values, depth first.
struct KeyDump {
  std::wstring path;
  std::vector<std::wstring> valueNames;
};
inline void Dump(HKEY root, const std::wstring& key, const std::wstring& rel, std::vector<KeyDump>& out) {
  HKEY h = nullptr;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return;
  KeyDump d{rel, {}};
  wchar_t name[512];
  for (DWORD i = 0;; ++i) {
    DWORD len = 512;
    if (::RegEnumValueW(h, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    d.valueNames.emplace_back(name, len);
  }
  out.push_back(d);
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    DWORD len = 512;
    if (::RegEnumKeyExW(h, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.emplace_back(name, len);
  }
  ::RegCloseKey(h);
  for (const auto& s : subkeys) Dump(root, key + L"\\" + s, rel.empty() ? s : rel + L"\\" + s, out);
}

}  // namespace regtest
