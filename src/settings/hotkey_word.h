// A hotkey as the program keeps it: the word a hotkey control (HOTKEY_CLASS) gives, its low byte
// the virtual key and its high byte the modifier flags (HOTKEYF_SHIFT 1, HOTKEYF_CONTROL 2,
// HOTKEYF_ALT 4, HOTKEYF_EXT 8 for an extended key). The registry holds that number as decimal
// text ("858" is Ctrl+Shift+Z).
#pragma once

#include <cstdint>

namespace settings {

constexpr uint8_t kHotkeyShift = 0x01;
constexpr uint8_t kHotkeyControl = 0x02;
constexpr uint8_t kHotkeyAlt = 0x04;
constexpr uint8_t kHotkeyExtended = 0x08;

constexpr uint16_t HotkeyWord(uint8_t virtualKey, uint8_t flags) {
  return static_cast<uint16_t>(flags << 8 | virtualKey);
}
constexpr uint8_t HotkeyVirtualKey(uint16_t word) { return static_cast<uint8_t>(word & 0xFF); }
constexpr uint8_t HotkeyFlags(uint16_t word) { return static_cast<uint8_t>(word >> 8); }

constexpr uint16_t kDefaultHotkeyPresent = HotkeyWord('Z', kHotkeyControl | kHotkeyShift);
constexpr uint16_t kDefaultHotkeyMagnify = HotkeyWord('M', kHotkeyControl | kHotkeyShift);
constexpr uint16_t kDefaultHotkeyLive = HotkeyWord('X', kHotkeyControl | kHotkeyShift);

// A combination the program may take for the whole desktop: a key, no flag beyond the four, and
// Ctrl or Alt among them (a plain or shifted key would be taken from every program). Anything
// outside a word is no hotkey either.
constexpr bool IsUsableHotkey(int64_t word) {
  if (word <= 0 || word > 0xFFFF) return false;
  const auto w = static_cast<uint16_t>(word);
  const uint8_t flags = HotkeyFlags(w);
  return HotkeyVirtualKey(w) != 0 && (flags & ~0x0F) == 0 && (flags & (kHotkeyControl | kHotkeyAlt)) != 0;
}

// The modifiers RegisterHotKey takes for the word (MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4): the
// same three keys in another order, and no extended-key flag.
constexpr uint32_t HotkeyModifiers(uint16_t word) {
  const uint8_t flags = HotkeyFlags(word);
  return ((flags & kHotkeyAlt) ? 0x1u : 0u) | ((flags & kHotkeyControl) ? 0x2u : 0u) |
         ((flags & kHotkeyShift) ? 0x4u : 0u);
}

}  // namespace settings
