// Moving the settings record to and from the registry, as text values (kValueNames) under
// HKEY_LOCAL_MACHINE\Software\Scrivane. Where that key cannot be written (a user without
// administrator rights), the values go to HKEY_CURRENT_USER\Software\Scrivane, and a load
// prefers that per-user key whenever it exists.
#pragma once

#include "settings/app_settings.h"
#include "settings/registry.h"

namespace settings {
// Fills `record` from the registry; called once at start-up. Never raises: a missing value
// leaves its field at the empty value (0, empty text, false), a damaged one or a size outside its
// range takes the first-start value (see KeepSizesInRange), and the others load.
void LoadSettings(AppSettingsRecord& record);
// Writes every value back; called after every change. Raises the RegistryError of the
// machine key only when the per-user key cannot be written either.
void SaveSettings(const AppSettingsRecord& record);
// The same through registry objects that ask `gate` before every write.
void SaveSettings(const AppSettingsRecord& record, const WriteGate& gate);
}  // namespace settings
