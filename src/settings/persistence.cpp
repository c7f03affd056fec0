#include "settings/persistence.h"

#include <windows.h>

#include "settings/app_settings.h"
#include "settings/registry.h"
#include "settings/settings_conversion.h"

namespace settings {

namespace {

constexpr char kSection[] = "Software\\Scrivane";

cRegistry At(int32_t root, const WriteGate& gate = {}) {
  cRegistry reg(gate);
  reg.ClassKey(root);
  reg.SectionKey(kSection);
  return reg;
}

void WriteAll(int32_t root, const AppSettingsRecord& record, const WriteGate& gate) {
  cRegistry reg = At(root, gate);
  const auto values = ValuesFromRecord(record);
  for (size_t i = 0; i < kValueNames.size(); ++i) {
    reg.ValueKey(kValueNames[i]);
    reg.ValueType(REG_SZ);
    reg.Value(values[i]);
  }
}

}  // namespace

void LoadSettings(AppSettingsRecord& record) {
  // A per-user copy exists only where the machine key could not be written; it is the newer one.
  cRegistry reg = At(kCurrentUser);
  if (!reg.KeyExists()) reg = At(kLocalMachine);
  StoredValues values;
  for (size_t i = 0; i < kValueNames.size(); ++i) {
    reg.ValueKey(kValueNames[i]);
    reg.ValueType(REG_SZ);
    values[i] = reg.Value();
  }
  AppSettingsRecord loaded = RecordFromValues(values);
  ApplyFirstStart(loaded);
  KeepSizesInRange(loaded);
  record = loaded;
}

void SaveSettings(const AppSettingsRecord& record) { SaveSettings(record, WriteGate{}); }

void SaveSettings(const AppSettingsRecord& record, const WriteGate& gate) {
  try {
    WriteAll(kLocalMachine, record, gate);
  } catch (const RegistryError& machineError) {
    // Users without administrator rights may not write under HKEY_LOCAL_MACHINE: keep their
    // settings in their own hive instead of failing every save.
    try {
      WriteAll(kCurrentUser, record, gate);
    } catch (const RegistryError&) {
      throw machineError;
    }
    return;
  }
  // The machine key now holds the newest values; a per-user copy left from a save that could not
  // reach it would be loaded in their place, so it goes.
  cRegistry user = At(kCurrentUser, gate);
  if (user.KeyExists()) {
    try {
      user.DeleteKey();
    } catch (const RegistryError&) {
    }
  }
}

}  // namespace settings
