// The program's system-wide hotkeys, caught by a hook on the main window's procedure: presentation
// mode (Ctrl+Shift+Z), the magnifier (Ctrl+Shift+M) and live drawing (Ctrl+Shift+X), unless the
// presenter chose other keys in the Options dialog.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "settings/hotkey_word.h"

namespace myhotkey {

// The hotkeys by their ids, which are also their slots in the arrays below.
constexpr int hotkeyPresentation = 0;
constexpr int hotkeyMagnifier = 1;
constexpr int hotkeyLiveDrawing = 2;
constexpr int kHotkeySlots = 3;
// A hotkey given new keys is registered under its other id (the slot's id with this bit), so the
// new keys are taken before the old ones are let go: RegisterHotKey on an id that is in use keeps
// both combinations on Windows (and replaces the old one under Wine).
constexpr int kOtherIdBit = 0x10;
// The slot of a registered id; -1 for an id that is none of ours.
constexpr int SlotOfId(int id) {
  const int slot = id & ~kOtherIdBit;
  return id >= 0 && slot < kHotkeySlots ? slot : -1;
}

using HotkeyKeys = std::array<uint16_t, kHotkeySlots>;

// The hotkeys in force: which of them RegisterHotKey gave us (another program that holds one keeps
// it), the keys of each (hotkey-control words) and the id each is registered under.
struct HotkeyRegistration {
  bool presentation = false;
  bool magnifier = false;
  bool liveDrawing = false;
  HotkeyKeys keys{settings::kDefaultHotkeyPresent, settings::kDefaultHotkeyMagnify, settings::kDefaultHotkeyLive};
  std::array<int, kHotkeySlots> ids{hotkeyPresentation, hotkeyMagnifier, hotkeyLiveDrawing};

  bool Held(int slot) const { return const_cast<HotkeyRegistration*>(this)->HeldFlag(slot); }
  void SetHeld(int slot, bool held) { HeldFlag(slot) = held; }

 private:
  bool& HeldFlag(int slot) {
    return slot == hotkeyPresentation ? presentation : slot == hotkeyMagnifier ? magnifier : liveDrawing;
  }
};

// The hook on the main window's procedure that catches the hotkeys. The main form holds it.
class HotkeyHook {
 public:
  // `onHotkey` runs the command of a hotkey's id (OnHotkey).
  explicit HotkeyHook(std::function<void(uint8_t id)> onHotkey) : onHotkey_(std::move(onHotkey)) {}
  HotkeyHook(const HotkeyHook&) = delete;
  HotkeyHook& operator=(const HotkeyHook&) = delete;

  // The main window's procedure as it was before HotkeyWindowProc went in.
  WNDPROC hotkeyPreviousProc = nullptr;

  // Registers the hotkeys with `keys` on the window, then installs HotkeyWindowProc; the window
  // keeps a pointer to this object in a property for it.
  HotkeyRegistration InstallHotkeys(HWND hwnd, const HotkeyKeys& keys);
  // Puts hotkeyPreviousProc back; only for a window that is being destroyed.
  void RemoveHotkeyHook(HWND hwnd);

 private:
  friend LRESULT CALLBACK HotkeyWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  std::function<void(uint8_t id)> onHotkey_;
};

// Gives the hotkeys the keys `wanted`, all or none: each changed one is registered anew before any
// old one is released. Returns the slot whose keys another program holds (nothing changed then),
// or nothing when every hotkey has its keys. Unchanged keys are left as they are, held or not.
std::optional<int> ChangeHotkeys(HWND hwnd, HotkeyRegistration& registration, const HotkeyKeys& wanted);

// The keys as the program names them: "Ctrl+Shift+Z", "Ctrl+Alt+F5", "Shift+P"; spelled out as the
// help window's table has them: "Control + Shift + Z".
std::wstring HotkeyName(uint16_t keys, bool spelledOut = false);
// What the tray balloon says about the hotkeys that another program holds, one sentence each;
// empty when all are ours.
std::wstring TakenHotkeyMessage(const HotkeyRegistration& registration);
// Releases every hotkey of the window, under either id (the hook stays until the window goes).
void ReleaseHotkeys(HWND hwnd);

// The hook procedure; it finds its HotkeyHook through the hooked window.
LRESULT CALLBACK HotkeyWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace myhotkey
