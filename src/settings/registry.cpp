#include "settings/registry.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "base/handles.h"
#include "base/text.h"

namespace settings {

namespace {

using base::unique_hkey;

// Query value, set value, create subkey, enumerate subkeys, notify, create link.
constexpr REGSAM kWriteAccess = 0x003F;

HKEY RootHandle(int32_t root) {
  // The predefined handles are the sign-extended 32-bit numbers, in 32- and 64-bit builds alike.
  return reinterpret_cast<HKEY>(static_cast<intptr_t>(root));
}

// The registry speaks the ANSI code page; the program speaks UTF-8.
std::string ToAnsi(const std::string& utf8) { return base::Narrow(base::Widen(utf8), CP_ACP); }
std::string FromAnsi(const std::string& ansi) { return base::Narrow(base::Widen(ansi, CP_ACP)); }

LONG OpenKey(int32_t root, const std::string& section, REGSAM access, base::unique_hkey& key) {
  HKEY h = nullptr;
  const LONG rc = ::RegOpenKeyExA(RootHandle(root), ToAnsi(section).c_str(), 0, access, &h);
  if (rc == ERROR_SUCCESS) key.Reset(h);
  return rc;
}

// RegCreateKeyExA as both CreateKey and the value write use it: opens the key, creating it when
// it is missing.
LONG CreateOrOpenKey(int32_t root, const std::string& section, const WriteGate& gate, base::unique_hkey& key) {
  if (gate && !gate(root)) return ERROR_ACCESS_DENIED;
  SECURITY_ATTRIBUTES sa{};
  sa.nLength = sizeof(sa);
  HKEY h = nullptr;
  DWORD disposition = 0;
  char noClass[] = "";
  const LONG rc = ::RegCreateKeyExA(RootHandle(root), ToAnsi(section).c_str(), 0, noClass, REG_OPTION_NON_VOLATILE,
                                    kWriteAccess, &sa, &h, &disposition);
  if (rc == ERROR_SUCCESS) key.Reset(h);
  return rc;
}

// ExpandEnvironmentStringsA, sized by asking first.
std::string ExpandEnvironmentText(const std::string& ansi) {
  const DWORD n = ::ExpandEnvironmentStringsA(ansi.c_str(), nullptr, 0);
  if (n == 0) return ansi;
  std::string buffer(n, '\0');
  const DWORD written = ::ExpandEnvironmentStringsA(ansi.c_str(), buffer.data(), n);
  if (written == 0 || written > n) return ansi;
  buffer.resize(buffer.find('\0') == std::string::npos ? buffer.size() : buffer.find('\0'));
  return buffer;
}

}  // namespace

std::string RegistrySource() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return ProgramBaseName(base::Narrow(path)) + ".cRegistry";
}

RegistryError::RegistryError(int32_t number, std::string description)
    : base::AppError(number, RegistrySource(), std::move(description)) {}

bool cRegistry::WritesDenied() const { return writeGate_ && !writeGate_(classKey_); }

bool cRegistry::KeyExists() const {
  base::unique_hkey key;
  return OpenKey(classKey_, sectionKey_, KEY_QUERY_VALUE, key) == ERROR_SUCCESS;
}

bool cRegistry::CreateKey() {
  base::unique_hkey key;
  if (CreateOrOpenKey(classKey_, sectionKey_, writeGate_, key) != ERROR_SUCCESS)
    throw RegistryError(kErrRegistry, CreateKeyFailedText(sectionKey_));
  return true;
}

bool cRegistry::DeleteKey() {
  const LONG rc = WritesDenied() ? ERROR_ACCESS_DENIED
                                 : ::RegDeleteKeyA(RootHandle(classKey_), ToAnsi(sectionKey_).c_str());
  if (rc != ERROR_SUCCESS) throw RegistryError(kErrRegistry, DeleteKeyFailedText(classKey_, sectionKey_));
  return true;
}

bool cRegistry::DeleteValue() {
  base::unique_hkey key;
  const LONG rc = WritesDenied() ? ERROR_ACCESS_DENIED : OpenKey(classKey_, sectionKey_, kWriteAccess, key);
  if (rc != ERROR_SUCCESS) throw RegistryError(kErrRegistry, OpenForDeleteFailedText(classKey_, sectionKey_));
  if (::RegDeleteValueA(key.Get(), ToAnsi(valueKey_).c_str()) != ERROR_SUCCESS)
    throw RegistryError(kErrRegistry, DeleteValueFailedText(classKey_, sectionKey_, valueKey_));
  return true;
}

Variant cRegistry::Value() {
  base::unique_hkey key;
  if (OpenKey(classKey_, sectionKey_, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) return default_;
  const std::string name = ToAnsi(valueKey_);

  // Ask for type and size first, so that the buffer holds exactly what the value needs.
  DWORD type = REG_NONE;
  DWORD size = 0;
  BYTE probe[4] = {};
  const LONG rc = ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, probe, &size);
  if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return default_;
  valueType_ = static_cast<int32_t>(type);

  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ: {
      std::string text(size, '\0');
      DWORD got = size;
      if (size > 0) ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &got);
      text.resize(std::min<DWORD>(got, size));
      // Drop the terminating zero; a multi-string keeps its inner separators.
      if (!text.empty() && text.back() == '\0') text.pop_back();
      if (type == REG_EXPAND_SZ) text = ExpandEnvironmentText(text);
      return Variant(FromAnsi(text));
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: {
      int32_t number = 0;
      DWORD got = sizeof(number);
      ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &got);
      return Variant(type == REG_DWORD ? number : ReverseByteOrder(number));
    }
    default: {
      ByteArray bytes(size);
      DWORD got = size;
      if (size > 0) ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr, bytes.data(), &got);
      bytes.resize(std::min<DWORD>(got, size));
      return Variant(std::move(bytes));
    }
  }
}

void cRegistry::Value(const Variant& vValue) {
  base::unique_hkey key;
  if (CreateOrOpenKey(classKey_, sectionKey_, writeGate_, key) != ERROR_SUCCESS)
    throw RegistryError(kErrRegistry, SetValueFailedText(classKey_, sectionKey_, valueKey_, TextForm(vValue)));
  const std::string name = ToAnsi(valueKey_);

  LONG rc = ERROR_INVALID_DATA;
  switch (valueType_) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      const std::string text = TextForm(vValue);
      const DWORD type = NeedsExpandSz(text) ? REG_EXPAND_SZ : REG_SZ;
      const std::string ansi = ToAnsi(text);
      rc = ::RegSetValueExA(key.Get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(ansi.c_str()),
                            static_cast<DWORD>(ansi.size() + 1));
      break;
    }
    case REG_BINARY: {
      if (vValue.GetKind() != Variant::Kind::Bytes)
        throw RegistryError(kErrRegistry, BinaryNeedsBytesText(classKey_, sectionKey_, valueKey_));
      const ByteArray& bytes = vValue.AsBytes();
      static const BYTE kNothing = 0;
      rc = ::RegSetValueExA(key.Get(), name.c_str(), 0, REG_BINARY, bytes.empty() ? &kNothing : bytes.data(),
                            static_cast<DWORD>(bytes.size()));
      break;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: {
      // A value that is not an integer is refused like an unknown type, rather than
      // reported as written when nothing was.
      std::optional<int32_t> number;
      if (vValue.GetKind() == Variant::Kind::Integer) number = vValue.AsInteger();
      if (vValue.GetKind() == Variant::Kind::Long) number = vValue.AsLong();
      if (number) {
        rc = ::RegSetValueExA(key.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*number),
                              sizeof(int32_t));
      }
      break;
    }
    default:
      break;
  }
  if (rc != ERROR_SUCCESS)
    throw RegistryError(kErrSetValue, SetValueFailedText(classKey_, sectionKey_, valueKey_, TextForm(vValue)));
}

bool cRegistry::EnumerateValues(TextList& sKeyNames, int32_t& iKeyCount) const {
  iKeyCount = 0;
  sKeyNames.Clear();
  base::unique_hkey key;
  if (OpenKey(classKey_, sectionKey_, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) return true;
  DWORD longestName = 0;
  if (::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return true;
  std::string buffer(longestName + 1, '\0');
  for (DWORD index = 0;;) {
    DWORD length = static_cast<DWORD>(buffer.size());
    const LONG rc = ::RegEnumValueA(key.Get(), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA && buffer.size() < 32768) {
      // A name longer in ANSI bytes than the key reported in characters: grow and ask again.
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    sKeyNames.Add(FromAnsi(buffer.substr(0, length)));
    ++iKeyCount;
    ++index;
  }
  return true;
}

bool cRegistry::EnumerateSections(TextList& sSect, int32_t& iSectCount) const {
  iSectCount = 0;
  sSect.Clear();
  try {
    base::unique_hkey key;
    if (OpenKey(classKey_, sectionKey_, KEY_ENUMERATE_SUB_KEYS, key) != ERROR_SUCCESS) return true;
    // Key names are at most 255 characters: 256 leaves room for the terminating zero.
    char buffer[256];
    for (DWORD index = 0;; ++index) {
      if (::RegEnumKeyA(key.Get(), index, buffer, sizeof(buffer)) != ERROR_SUCCESS) break;
      sSect.Add(FromAnsi(std::string(buffer, strnlen(buffer, sizeof(buffer)))));
      ++iSectCount;
    }
    return true;
  } catch (const std::exception& e) {
    throw RegistryError(kErrEnumerateSections, e.what());
  }
}


}  // namespace settings
