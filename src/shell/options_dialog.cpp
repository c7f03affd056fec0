#include "shell/options_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <iterator>

#include "base/error.h"
#include "base/text.h"
#include "base/window_place.h"
#include "resources/resource_ids.h"
#include "settings/persistence.h"
#include "settings/registry.h"
#include "settings/start_at_sign_in.h"
#include "shell/myhotkey.h"
#include "shell/start_up.h"

namespace shell {

namespace {

constexpr HotkeyField kHotkeyFields[] = {
    {myhotkey::hotkeyPresentation, IDC_OPTIONS_PRESENT, IDC_OPTIONS_PRESENT_DEFAULT, L"Presentation mode",
     &settings::AppSettingsRecord::hotkeypresent, settings::kDefaultHotkeyPresent},
    {myhotkey::hotkeyLiveDrawing, IDC_OPTIONS_LIVE, IDC_OPTIONS_LIVE_DEFAULT, L"Live drawing",
     &settings::AppSettingsRecord::hotkeylive, settings::kDefaultHotkeyLive},
    {myhotkey::hotkeyMagnifier, IDC_OPTIONS_MAGNIFY, IDC_OPTIONS_MAGNIFY_DEFAULT, L"Magnifier",
     &settings::AppSettingsRecord::hotkeymagnify, settings::kDefaultHotkeyMagnify},
};
static_assert(std::size(kHotkeyFields) == myhotkey::kHotkeySlots, "one field for each of the program's hotkeys");

std::wstring ProgramPath() {
  std::wstring path(32768, L'\0');
  path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

}  // namespace

std::span<const HotkeyField> HotkeyFields() { return kHotkeyFields; }

std::wstring HotkeyRefusal(const HotkeyField& field, uint16_t keys, std::span<const uint16_t> chosen,
                           std::span<const uint16_t> inForce) {
  const std::wstring name = myhotkey::HotkeyName(keys);
  if (settings::HotkeyVirtualKey(keys) == 0) {
    return L"Press the keys for " + std::wstring(field.name) + L": a key together with Ctrl or Alt.";
  }
  if (!settings::IsUsableHotkey(keys)) {
    return name + L" cannot be a hotkey: without Ctrl or Alt it would take that key from every other "
                  L"program. Choose keys with Ctrl or Alt for " + field.name + L".";
  }
  for (const HotkeyField& other : kHotkeyFields) {
    if (other.slot == field.slot) continue;
    if (chosen[static_cast<size_t>(other.slot)] == keys) {
      return std::wstring(field.name) + L" and " + other.name + L" cannot both be " + name + L".";
    }
    // Ours until OK releases it, and OK takes the new keys before it lets the old ones go.
    if (inForce[static_cast<size_t>(other.slot)] == keys) {
      return name + L" is the " + other.name + L" hotkey until you press OK. Give " + other.name +
             L" other keys first, press OK, then open Options again.";
    }
  }
  return {};
}

bool OptionsDialog::ShowModal(HWND owner) {
  // Asked for again (from the icon's menu) while it is up: the one that is open comes forward.
  if (hwnd_) {
    ::SetForegroundWindow(hwnd_);
    return false;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_HOTKEY_CLASS};
  ::InitCommonControlsEx(&controls);
  const INT_PTR result = ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_OPTIONS), owner,
                                           &OptionsDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  hwnd_ = nullptr;
  return result == IDOK;
}

INT_PTR CALLBACK OptionsDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return base::CallFromWindowSystem([&]() -> INT_PTR {
    if (msg == WM_INITDIALOG) {
      auto* self = reinterpret_cast<OptionsDialog*>(lParam);
      ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      self->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<OptionsDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    return self ? self->HandleMessage(msg, wParam, lParam) : FALSE;
  });
}

INT_PTR OptionsDialog::HandleMessage(UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;  // the focus to the first control: the presentation mode's keys
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id == IDOK) {
        if (Apply()) ::EndDialog(hwnd_, IDOK);
        return TRUE;
      }
      // Esc and the close box come as IDCANCEL too.
      if (id == IDCANCEL) {
        ::EndDialog(hwnd_, IDCANCEL);
        return TRUE;
      }
      for (const HotkeyField& field : kHotkeyFields) {
        if (id == field.defaultButton && HIWORD(wParam) == BN_CLICKED) {
          ShowKeys(field.control, field.defaultKeys);
          return TRUE;
        }
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

void OptionsDialog::OnInitDialog() {
  const settings::AppSettingsRecord& s = app_.AppSettings;
  for (const HotkeyField& field : kHotkeyFields) ShowKeys(field.control, static_cast<uint16_t>(s.*field.setting));
  ::CheckDlgButton(hwnd_, IDC_OPTIONS_KEEP, s.keepdrawings != settings::kFalse ? BST_CHECKED : BST_UNCHECKED);
  startsAtSignIn_ = settings::StartsAtSignIn();
  ::CheckDlgButton(hwnd_, IDC_OPTIONS_SIGN_IN, startsAtSignIn_ ? BST_CHECKED : BST_UNCHECKED);
  // In the middle of the monitor the presenter works on (the main window it belongs to is never
  // shown, so the system's place for it means nothing).
  RECT rc{};
  ::GetWindowRect(hwnd_, &rc);
  const RECT monitor = base::MonitorRectUnderPointer();
  const int width = rc.right - rc.left;
  const int height = rc.bottom - rc.top;
  ::SetWindowPos(hwnd_, nullptr, monitor.left + (monitor.right - monitor.left - width) / 2,
                 monitor.top + (monitor.bottom - monitor.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::SetForegroundWindow(hwnd_);
}

uint16_t OptionsDialog::KeysIn(int control) const {
  return LOWORD(::SendDlgItemMessageW(hwnd_, control, HKM_GETHOTKEY, 0, 0));
}

void OptionsDialog::ShowKeys(int control, uint16_t keys) {
  ::SendDlgItemMessageW(hwnd_, control, HKM_SETHOTKEY, keys, 0);
}

void OptionsDialog::Refuse(int control, const std::wstring& text) {
  ::MessageBoxW(hwnd_, text.c_str(), kTitle, MB_OK | MB_ICONWARNING);
  ::SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(hwnd_, control)), TRUE);
}

bool OptionsDialog::Apply() {
  std::array<uint16_t, myhotkey::kHotkeySlots> chosen{};
  for (const HotkeyField& field : kHotkeyFields) chosen[static_cast<size_t>(field.slot)] = KeysIn(field.control);
  const myhotkey::HotkeyRegistration& inForce = app_.mainForm.Hotkeys();
  for (const HotkeyField& field : kHotkeyFields) {
    const uint16_t keys = chosen[static_cast<size_t>(field.slot)];
    // Keys left as they are need no check: a hotkey another program held at start stays as the
    // presenter chose it, and the menu stays the way in.
    if (keys == inForce.keys[static_cast<size_t>(field.slot)]) continue;
    const std::wstring refusal = HotkeyRefusal(field, keys, chosen, inForce.keys);
    if (!refusal.empty()) {
      Refuse(field.control, refusal);
      return false;
    }
  }
  if (const auto taken = app_.mainForm.ChangeHotkeys(chosen)) {
    // The fields are in the dialog's order, not the slots'.
    const HotkeyField& field = *std::find_if(std::begin(kHotkeyFields), std::end(kHotkeyFields),
                                             [&](const HotkeyField& f) { return f.slot == *taken; });
    Refuse(field.control, myhotkey::HotkeyName(chosen[static_cast<size_t>(*taken)]) +
                              L" is used by another program. Choose other keys for " + field.name + L".");
    return false;
  }

  settings::AppSettingsRecord& s = app_.AppSettings;
  for (const HotkeyField& field : kHotkeyFields) s.*field.setting = chosen[static_cast<size_t>(field.slot)];
  s.keepdrawings = ::IsDlgButtonChecked(hwnd_, IDC_OPTIONS_KEEP) == BST_CHECKED ? settings::kTrue : settings::kFalse;
  app_.StoreSettings();

  const bool signIn = ::IsDlgButtonChecked(hwnd_, IDC_OPTIONS_SIGN_IN) == BST_CHECKED;
  if (signIn != startsAtSignIn_) {
    try {
      settings::SetStartAtSignIn(signIn, ProgramPath());
    } catch (const settings::RegistryError& error) {
      // The rest is done; the presenter hears that this part is not.
      const std::wstring text = L"Scrivane could not change whether it starts when you sign in.\n\n" +
                                base::Widen(error.Description());
      ::MessageBoxW(hwnd_, text.c_str(), kTitle, MB_OK | MB_ICONWARNING);
    }
  }
  return true;
}

}  // namespace shell
