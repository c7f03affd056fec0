// The file-association operations of cRegistry: every text goes to HKEY_CLASSES_ROOT and to
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes.
#include <windows.h>

#include "settings/registry.h"

namespace settings {

void cRegistry::WriteClassesValue(const std::string& v) {
  const std::string section = sectionKey_;
  classKey_ = kClassesRoot;
  Value(Variant(v));
  classKey_ = kLocalMachine;
  sectionKey_ = "SOFTWARE\\Classes\\" + section;
  try {
    Value(Variant(v));
  } catch (...) {
    sectionKey_ = section;
    throw;
  }
  sectionKey_ = section;
}

void cRegistry::CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                                     const std::string& sClassDescription, const std::string& sAssociation,
                                     const std::string& sOpenMenuText, bool bSupportPrint,
                                     const std::string& sPrintMenuText, bool bSupportNew,
                                     const std::string& sNewMenuText, bool bSupportInstall,
                                     const std::string& sInstallMenuText, int32_t lDefaultIconIndex) {
  const std::string path = QuoteExePath(sExePath);
  auto write = [this](const std::string& section, const std::string& text) {
    sectionKey_ = section;
    valueKey_.clear();
    WriteClassesValue(text);
  };
  auto verb = [&](const char* name, const std::string& menuText, const std::string& fallbackText,
                  const char* verbSwitch) {
    const std::string key = sClassName + "\\shell\\" + name;
    write(key, menuText.empty() ? fallbackText : menuText);
    write(key + "\\command", VerbCommand(path, verbSwitch));
  };

  valueType_ = REG_SZ;
  write("." + sAssociation, sClassName);
  write(sClassName, sClassDescription);
  verb("open", sOpenMenuText, "&Open", " ");
  if (bSupportPrint) verb("print", sPrintMenuText, "&Print", " /p ");
  if (bSupportInstall) verb("add", sInstallMenuText, "&Install " + sAssociation, " /a ");
  if (bSupportNew) verb("new", sNewMenuText, "&New", " /n ");
  if (lDefaultIconIndex >= 0) write(sClassName + "\\DefaultIcon", IconValue(path, lDefaultIconIndex));
}

void cRegistry::CreateAdditionalEXEAssociations(const std::string& sClassName, const std::vector<Variant>& vItems) {
  associationError_.reset();
  if (vItems.size() % 3 != 0) {
    associationError_.emplace(kErrAssociationItems, kAssociationItemsText);
    return;
  }
  sectionKey_ = sClassName;
  if (!KeyExists()) {
    associationError_.emplace(kErrAssociationNoClass, kAssociationNoClassText);
    return;
  }
  // Each write stands alone: one that fails is skipped and the next one still runs.
  auto tryWrite = [this](const std::string& section, const std::string& text) {
    valueType_ = REG_SZ;
    sectionKey_ = section;
    valueKey_.clear();
    try {
      WriteClassesValue(text);
    } catch (const RegistryError&) {
    }
  };
  for (size_t i = 0; i < vItems.size(); i += 3) {
    const std::string key = sClassName + "\\shell\\" + TextForm(vItems[i]);
    tryWrite(key, TextForm(vItems[i + 1]));
    tryWrite(key + "\\command", TextForm(vItems[i + 2]));
  }
}

}  // namespace settings
