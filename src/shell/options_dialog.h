// The Options dialog: the keys of presentation mode, live drawing and the magnifier, keeping drawings, and
// starting at sign-in. Its layout is the dialog template IDD_OPTIONS of the resources, in dialog
// units, so it grows with the font at every scaling.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

#include "settings/app_settings.h"

namespace shell {

class Application;

// One hotkey of the dialog: which of the program's hotkeys it sets, its controls, its name in the
// dialog and its setting.
struct HotkeyField {
  int slot;  // myhotkey.h
  int control;
  int defaultButton;
  const wchar_t* name;
  int32_t settings::AppSettingsRecord::*setting;
  uint16_t defaultKeys;
};
std::span<const HotkeyField> HotkeyFields();

// Why the dialog refuses the keys of a field (the message it shows), or empty when it takes
// them: keys without Ctrl or Alt, no keys at all, the same keys as another field, or keys that
// another of the program's hotkeys holds until OK (`inForce`, by slot).
std::wstring HotkeyRefusal(const HotkeyField& field, uint16_t keys, std::span<const uint16_t> chosen,
                           std::span<const uint16_t> inForce);

class OptionsDialog {
 public:
  static constexpr wchar_t kTitle[] = L"Scrivane Options";

  explicit OptionsDialog(Application& app) : app_(app) {}
  OptionsDialog(const OptionsDialog&) = delete;
  OptionsDialog& operator=(const OptionsDialog&) = delete;

  // Shows the dialog modal on `owner` and returns once it has closed: true when OK applied what
  // it shows, false for Cancel, Esc or the close box (nothing changed).
  bool ShowModal(HWND owner);
  // The dialog while it is up.
  HWND Hwnd() const { return hwnd_; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  // OK: everything or nothing of the hotkeys; false (the dialog stays) when refused.
  bool Apply();
  void Refuse(int control, const std::wstring& text);
  uint16_t KeysIn(int control) const;
  void ShowKeys(int control, uint16_t keys);

  Application& app_;
  HWND hwnd_ = nullptr;
  bool startsAtSignIn_ = false;
};

}  // namespace shell
