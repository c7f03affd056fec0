// Moving AppSettings to and from the registry.
#pragma once

namespace settings {
// Fills AppSettings from the registry; called once at start-up.
void LoadSettings();
// Writes all nine values back; called after every change.
void SaveSettings();
}  // namespace settings
