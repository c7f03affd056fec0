// cRegistry: reads and writes the system registry. The caller describes a location with
// ClassKey (root), SectionKey (key path), ValueKey (value name) and ValueType, then calls an
// operation on it. No registry handle outlives an operation. Every call uses the wide (UTF-16)
// registry functions; texts are UTF-8 here and converted at the call, so that every name and text
// Windows can store survives the trip.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/error.h"
#include "settings/registry_rules.h"
#include "settings/variant.h"

namespace settings {

// What every failure of cRegistry raises: number, source ("<program>.cRegistry") and description.
class RegistryError : public base::AppError {
 public:
  RegistryError(int32_t number, std::string description);  // the class's own source
  RegistryError(int32_t number, std::string source, std::string description)
      : base::AppError(number, std::move(source), std::move(description)) {}
  // The registry's own error code behind a failed write (ERROR_ACCESS_DENIED, say); 0 when none
  // is known.
  RegistryError& WithSystemCode(long code) {
    systemCode_ = code;
    return *this;
  }
  long SystemCode() const { return systemCode_; }

 private:
  long systemCode_ = 0;
};

// "<running program's file name without folder and extension>.cRegistry".
std::string RegistrySource();

// Whether writes under a root may go ahead. The registry itself decides; a caller that must know
// how the program behaves where it may not write somewhere (a user without administrator rights
// under HKEY_LOCAL_MACHINE) hands one in that says no.
using WriteGate = std::function<bool(int32_t root)>;

// A list of names indexed from 1 to Count(), as the enumerations hand them out.
class TextList {
 public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  bool IsEmpty() const { return items_.empty(); }
  // 1 <= index <= Count(); std::out_of_range otherwise.
  const std::string& operator[](int32_t index) const {
    if (index < 1 || index > Count()) throw std::out_of_range("TextList index");
    return items_[static_cast<size_t>(index - 1)];
  }
  void Clear() { items_.clear(); }
  void Add(std::string s) { items_.push_back(std::move(s)); }
  const std::vector<std::string>& Items() const { return items_; }

 private:
  std::vector<std::string> items_;
};

class cRegistry {
 public:
  cRegistry() = default;
  explicit cRegistry(WriteGate gate) : writeGate_(std::move(gate)) {}

  // The key SectionKey under ClassKey can be opened for reading. Never raises.
  bool KeyExists() const;
  // Creates the key, or opens it if present; raises 26001 on failure.
  bool CreateKey();
  // Deletes the key (it must have no subkeys); raises 26001 on failure.
  bool DeleteKey();
  // Deletes the value ValueKey; raises 26001 when the key does not open or the value is not deleted.
  bool DeleteValue();
  // Reads ValueKey: Default when it cannot be read; otherwise ValueType takes the stored type.
  // Strings come back as text (REG_EXPAND_SZ expanded), REG_DWORD and REG_DWORD_BIG_ENDIAN as
  // 32-bit integers, everything else as the stored bytes.
  Variant Value();
  // Writes ValueKey by ValueType, creating the key if needed: REG_SZ/REG_EXPAND_SZ write the text
  // form (the text alone picks the type, see NeedsExpandSz), REG_BINARY a byte array,
  // REG_DWORD/REG_DWORD_BIG_ENDIAN a 16- or 32-bit integer as REG_DWORD.
  void Value(const Variant& vValue);
  // The value names of the key, indexed 1..iKeyCount; an empty list when the key does not open.
  bool EnumerateValues(TextList& sKeyNames, int32_t& iKeyCount) const;
  // The subkey names of the key, indexed 1..iSectCount.
  bool EnumerateSections(TextList& sSect, int32_t& iSectCount) const;
  // Registers a document type with the shell under HKEY_CLASSES_ROOT and
  // HKEY_LOCAL_MACHINE\SOFTWARE\Classes; the first failing write raises and ends it.
  void CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                            const std::string& sClassDescription, const std::string& sAssociation,
                            const std::string& sOpenMenuText = "&Open", bool bSupportPrint = false,
                            const std::string& sPrintMenuText = "&Print", bool bSupportNew = false,
                            const std::string& sNewMenuText = "&New", bool bSupportInstall = false,
                            const std::string& sInstallMenuText = "", int32_t lDefaultIconIndex = -1);
  // Adds verbs to an existing class from triples Name, Text, Command. Raises nothing: a bad item
  // list or a missing class is recorded in AssociationError(), failed writes are skipped.
  void CreateAdditionalEXEAssociations(const std::string& sClassName, const std::vector<Variant>& vItems);
  // The error recorded by the last CreateAdditionalEXEAssociations, if any.
  const std::optional<RegistryError>& AssociationError() const { return associationError_; }

  int32_t ValueType() const { return valueType_; }
  void ValueType(int32_t eValueType) { valueType_ = eValueType; }
  int32_t ClassKey() const { return classKey_; }
  void ClassKey(int32_t eKey) { classKey_ = eKey; }
  const std::string& SectionKey() const { return sectionKey_; }
  void SectionKey(const std::string& sSectionKey) { sectionKey_ = sSectionKey; }
  const std::string& ValueKey() const { return valueKey_; }
  void ValueKey(const std::string& sValueKey) { valueKey_ = sValueKey; }
  const Variant& Default() const { return default_; }
  void Default(const Variant& vDefault) { default_ = vDefault; }

 private:
  // Writes one text at SectionKey/ValueKey under HKEY_CLASSES_ROOT, then under
  // HKEY_LOCAL_MACHINE\SOFTWARE\Classes; leaves ClassKey at HKEY_LOCAL_MACHINE.
  void WriteClassesValue(const std::string& v);
  bool WritesDenied() const;

  int32_t classKey_ = 0;
  std::string sectionKey_;
  std::string valueKey_;
  Variant default_;
  int32_t valueType_ = 0;
  std::optional<RegistryError> associationError_;
  WriteGate writeGate_;
};


}  // namespace settings
