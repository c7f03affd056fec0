#include "shell/myhotkey.h"

#include <cwchar>

#include "base/error.h"
#include "forms/window.h"

namespace myhotkey {

namespace {

// Where the hooked window keeps its HotkeyHook for HotkeyWindowProc.
constexpr wchar_t kHotkeyHookProp[] = L"Scrivane.HotkeyHook";

bool Register(HWND hwnd, int id, uint16_t keys) {
  return ::RegisterHotKey(hwnd, id, settings::HotkeyModifiers(keys), settings::HotkeyVirtualKey(keys)) != FALSE;
}

}  // namespace

HotkeyRegistration HotkeyHook::InstallHotkeys(HWND hwnd, const HotkeyKeys& keys) {
  // A combination another program holds does nothing for us; the main form tells the presenter
  // once, and the tray menu stays the way in.
  HotkeyRegistration registration;
  registration.keys = keys;
  for (int slot = 0; slot < kHotkeySlots; ++slot) {
    registration.SetHeld(slot, Register(hwnd, registration.ids[slot], keys[slot]));
  }
  ::SetPropW(hwnd, kHotkeyHookProp, this);
  hotkeyPreviousProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HotkeyWindowProc)));
  return registration;
}

std::optional<int> ChangeHotkeys(HWND hwnd, HotkeyRegistration& registration, const HotkeyKeys& wanted) {
  std::array<bool, kHotkeySlots> taken{};
  for (int slot = 0; slot < kHotkeySlots; ++slot) {
    if (wanted[slot] == registration.keys[slot]) continue;
    if (Register(hwnd, registration.ids[slot] ^ kOtherIdBit, wanted[slot])) {
      taken[slot] = true;
      continue;
    }
    // Another program has these keys: the ones taken so far go back, and every hotkey stays.
    for (int back = 0; back < slot; ++back) {
      if (taken[back]) ::UnregisterHotKey(hwnd, registration.ids[back] ^ kOtherIdBit);
    }
    return slot;
  }
  for (int slot = 0; slot < kHotkeySlots; ++slot) {
    if (!taken[slot]) continue;
    if (registration.Held(slot)) ::UnregisterHotKey(hwnd, registration.ids[slot]);
    registration.ids[slot] ^= kOtherIdBit;
    registration.keys[slot] = wanted[slot];
    registration.SetHeld(slot, true);
  }
  return std::nullopt;
}

std::wstring HotkeyName(uint16_t keys, bool spelledOut) {
  const uint8_t flags = settings::HotkeyFlags(keys);
  const std::wstring plus = spelledOut ? L" + " : L"+";
  std::wstring name;
  if (flags & settings::kHotkeyControl) name += (spelledOut ? L"Control" : L"Ctrl") + plus;
  if (flags & settings::kHotkeyAlt) name += L"Alt" + plus;
  if (flags & settings::kHotkeyShift) name += L"Shift" + plus;
  const UINT vk = settings::HotkeyVirtualKey(keys);
  if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return name + static_cast<wchar_t>(vk);
  if (vk >= VK_F1 && vk <= VK_F24) return name + L"F" + std::to_wstring(vk - VK_F1 + 1);
  // Any other key by the name the keyboard layout gives it (the hotkey control shows the same).
  wchar_t key[64] = {};
  const LONG scan = static_cast<LONG>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
  const LONG extended = (flags & settings::kHotkeyExtended) ? (1L << 24) : 0;
  if (vk != 0 && ::GetKeyNameTextW(scan | extended, key, 64) > 0) return name + key;
  wchar_t code[16] = {};
  ::swprintf(code, 16, L"key %u", vk);
  return name + code;
}

std::wstring TakenHotkeyMessage(const HotkeyRegistration& registration) {
  std::wstring text;
  auto say = [&text](bool ours, uint16_t keys, const wchar_t* way) {
    if (ours) return;
    if (!text.empty()) text += L"\n";
    text += HotkeyName(keys) + L" is used by another program; use the tray menu to " + way +
            L", or choose other keys in Options.";
  };
  say(registration.presentation, registration.keys[hotkeyPresentation], L"start presentation mode");
  say(registration.magnifier, registration.keys[hotkeyMagnifier], L"open the magnifier");
  say(registration.liveDrawing, registration.keys[hotkeyLiveDrawing], L"start and end live drawing");
  return text;
}

void ReleaseHotkeys(HWND hwnd) {
  for (int slot = 0; slot < kHotkeySlots; ++slot) {
    ::UnregisterHotKey(hwnd, slot);
    ::UnregisterHotKey(hwnd, slot | kOtherIdBit);
  }
}

void HotkeyHook::RemoveHotkeyHook(HWND hwnd) {
  if (!hotkeyPreviousProc) return;
  ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hotkeyPreviousProc));
  ::RemovePropW(hwnd, kHotkeyHookProp);
  hotkeyPreviousProc = nullptr;
}

LRESULT CALLBACK HotkeyWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return base::CallFromWindowSystem([&]() -> LRESULT {
    auto* hook = static_cast<HotkeyHook*>(::GetPropW(hwnd, kHotkeyHookProp));
    if (!hook) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_HOTKEY) {
      if (HWND modal = forms::ModalWindowOfThisThread()) {
        // The presenter is answering a dialog of ours: the keys bring it forward, nothing more.
        ::SetForegroundWindow(modal);
        return 1;
      }
      if (hook->onHotkey_) hook->onHotkey_(static_cast<uint8_t>(wParam & 0xFF));
      return 1;
    }
    return ::CallWindowProcW(hook->hotkeyPreviousProc, hwnd, msg, wParam, lParam);
  });
}

}  // namespace myhotkey
