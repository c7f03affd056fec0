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

// The registry keeps its names and texts in UTF-16 and the program in UTF-8: through the wide
// functions every text survives, where the ANSI ones turned whatever the code page lacks into "?".
// What an older version stored through the ANSI functions was converted to UTF-16 on the way in,
// so it reads back the same.
using base::Narrow;
using base::Widen;

LONG OpenKey(int32_t root, const std::string& section, REGSAM access, base::unique_hkey& key) {
  HKEY h = nullptr;
  const LONG rc = ::RegOpenKeyExW(RootHandle(root), Widen(section).c_str(), 0, access, &h);
  if (rc == ERROR_SUCCESS) key.Reset(h);
  return rc;
}

// RegCreateKeyExW as both CreateKey and the value write use it: opens the key, creating it when
// it is missing.
LONG CreateOrOpenKey(int32_t root, const std::string& section, const WriteGate& gate, base::unique_hkey& key) {
  if (gate && !gate(root)) return ERROR_ACCESS_DENIED;
  SECURITY_ATTRIBUTES sa{};
  sa.nLength = sizeof(sa);
  HKEY h = nullptr;
  DWORD disposition = 0;
  wchar_t noClass[] = L"";
  const LONG rc = ::RegCreateKeyExW(RootHandle(root), Widen(section).c_str(), 0, noClass, REG_OPTION_NON_VOLATILE,
                                    kWriteAccess, &sa, &h, &disposition);
  if (rc == ERROR_SUCCESS) key.Reset(h);
  return rc;
}

// ExpandEnvironmentStringsW, sized by asking first.
std::wstring ExpandEnvironmentText(const std::wstring& text) {
  const DWORD n = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (n == 0) return text;
  std::wstring buffer(n, L'\0');
  const DWORD written = ::ExpandEnvironmentStringsW(text.c_str(), buffer.data(), n);
  if (written == 0 || written > n) return text;
  buffer.resize(buffer.find(L'\0') == std::wstring::npos ? buffer.size() : buffer.find(L'\0'));
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
                                 : ::RegDeleteKeyW(RootHandle(classKey_), Widen(sectionKey_).c_str());
  if (rc != ERROR_SUCCESS) throw RegistryError(kErrRegistry, DeleteKeyFailedText(classKey_, sectionKey_));
  return true;
}

bool cRegistry::DeleteValue() {
  base::unique_hkey key;
  const LONG rc = WritesDenied() ? ERROR_ACCESS_DENIED : OpenKey(classKey_, sectionKey_, kWriteAccess, key);
  if (rc != ERROR_SUCCESS) throw RegistryError(kErrRegistry, OpenForDeleteFailedText(classKey_, sectionKey_));
  if (::RegDeleteValueW(key.Get(), Widen(valueKey_).c_str()) != ERROR_SUCCESS)
    throw RegistryError(kErrRegistry, DeleteValueFailedText(classKey_, sectionKey_, valueKey_));
  return true;
}

Variant cRegistry::Value() {
  base::unique_hkey key;
  if (OpenKey(classKey_, sectionKey_, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) return default_;
  const std::wstring name = Widen(valueKey_);

  // Ask for type and size first, so that the buffer holds exactly what the value needs.
  DWORD type = REG_NONE;
  DWORD size = 0;
  BYTE probe[4] = {};
  const LONG rc = ::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, probe, &size);
  if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return default_;
  valueType_ = static_cast<int32_t>(type);

  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ: {
      // Sizes are in bytes; a value stored with an odd count still gets room for its last byte.
      std::wstring text((size + 1) / sizeof(wchar_t), L'\0');
      DWORD got = size;
      if (size > 0) {
        ::RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &got);
      }
      text.resize(std::min<DWORD>(got, size) / sizeof(wchar_t));
      // Drop the terminating zero; a multi-string keeps its inner separators.
      if (!text.empty() && text.back() == L'\0') text.pop_back();
      if (type == REG_EXPAND_SZ) text = ExpandEnvironmentText(text);
      return Variant(Narrow(text));
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: {
      int32_t number = 0;
      DWORD got = sizeof(number);
      ::RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &got);
      return Variant(type == REG_DWORD ? number : ReverseByteOrder(number));
    }
    default: {
      ByteArray bytes(size);
      DWORD got = size;
      if (size > 0) ::RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, bytes.data(), &got);
      bytes.resize(std::min<DWORD>(got, size));
      return Variant(std::move(bytes));
    }
  }
}

void cRegistry::Value(const Variant& vValue) {
  base::unique_hkey key;
  if (const LONG opened = CreateOrOpenKey(classKey_, sectionKey_, writeGate_, key); opened != ERROR_SUCCESS) {
    throw RegistryError(kErrRegistry, SetValueFailedText(classKey_, sectionKey_, valueKey_, TextForm(vValue)))
        .WithSystemCode(opened);
  }
  const std::wstring name = Widen(valueKey_);

  LONG rc = ERROR_INVALID_DATA;
  switch (valueType_) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      const std::string text = TextForm(vValue);
      const DWORD type = NeedsExpandSz(text) ? REG_EXPAND_SZ : REG_SZ;
      const std::wstring wide = Widen(text);
      rc = ::RegSetValueExW(key.Get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(wide.c_str()),
                            static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
      break;
    }
    case REG_BINARY: {
      if (vValue.GetKind() != Variant::Kind::Bytes)
        throw RegistryError(kErrRegistry, BinaryNeedsBytesText(classKey_, sectionKey_, valueKey_));
      const ByteArray& bytes = vValue.AsBytes();
      static const BYTE kNothing = 0;
      rc = ::RegSetValueExW(key.Get(), name.c_str(), 0, REG_BINARY, bytes.empty() ? &kNothing : bytes.data(),
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
        rc = ::RegSetValueExW(key.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*number),
                              sizeof(int32_t));
      }
      break;
    }
    default:
      break;
  }
  if (rc != ERROR_SUCCESS) {
    throw RegistryError(kErrSetValue, SetValueFailedText(classKey_, sectionKey_, valueKey_, TextForm(vValue)))
        .WithSystemCode(rc);
  }
}

bool cRegistry::EnumerateValues(TextList& sKeyNames, int32_t& iKeyCount) const {
  iKeyCount = 0;
  sKeyNames.Clear();
  base::unique_hkey key;
  if (OpenKey(classKey_, sectionKey_, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) return true;
  DWORD longestName = 0;
  if (::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return true;
  std::wstring buffer(longestName + 1, L'\0');
  for (DWORD index = 0;;) {
    DWORD length = static_cast<DWORD>(buffer.size());
    const LONG rc = ::RegEnumValueW(key.Get(), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA && buffer.size() < 32768) {
      // A value added since the key was asked: grow and ask again.
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    sKeyNames.Add(Narrow(std::wstring_view(buffer.data(), length)));
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
    wchar_t buffer[256];
    for (DWORD index = 0;; ++index) {
      DWORD length = 256;
      if (::RegEnumKeyExW(key.Get(), index, buffer, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      sSect.Add(Narrow(std::wstring_view(buffer, wcsnlen(buffer, std::min<DWORD>(length, 256)))));
      ++iSectCount;
    }
    return true;
  } catch (const std::exception& e) {
    throw RegistryError(kErrEnumerateSections, e.what());
  }
}


}  // namespace settings
