// The tray menu RCPopup: its items, their captions and the rules for its check marks.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "forms/popup_menu.h"

namespace shell {

// Command ids of the items, named after the items.
enum TrayItem : UINT {
  kItemRed = 1001,
  kItemYellow,
  kItemBlue,
  kItemGreen,
  kItemMypalette,
  kItemOne,
  kItemFive,
  kItemTen,
  kItemFifteen,
  kItemTwenty,
  kItemMagnifier,
  kItemMyhelp,
  kItemDochelp,
  kItemRest1,
  // Only there while another program holds Ctrl+Shift+Z; the first item then.
  kItemStartPresentation,
  kItemRecentDrawings,
  // Checked while each presentation's drawing is kept in the Drawings folder (`keepdrawings`).
  kItemKeepDrawings,
  kItemLiveDrawing,
};

// The pen colours of the four fixed colour items (0x00BBGGRR).
constexpr int32_t kColorRed = 0x0000FF;
constexpr int32_t kColorYellow = 0x00FFFF;
constexpr int32_t kColorBlue = 0xFF0000;
constexpr int32_t kColorGreen = 0x00FF00;

constexpr UINT kColourGroup[] = {kItemRed, kItemYellow, kItemBlue, kItemGreen, kItemMypalette};
constexpr UINT kWidthGroup[] = {kItemOne, kItemFive, kItemTen, kItemFifteen, kItemTwenty};

// Builds the menu in its order: "Colours" and "Line Style" submenus, then the commands, with
// "Live Drawing" just above "Magnifier", and "Keep Drawings" and "Recent Drawings" just above "Exit".
// Nothing is checked.
void BuildRCPopup(forms::PopupMenu& menu);

// Puts "Start Presentation Mode" at the top of the menu, or takes it away; nothing changes when the
// menu already is that way.
void ShowStartPresentationItem(forms::PopupMenu& menu, bool show);

// The colour item that carries the mark at start: a fixed colour's item, else "Palette".
UINT ColourItemFor(int32_t color);
// The width item for a width, or 0 when no item has that width.
UINT WidthItemFor(int16_t brushwidth);
// The width an item sets (0 for a non-width item).
int16_t WidthOfItem(UINT item);

// Checks `item` and unchecks every other member of `group`; item 0 unchecks them all.
template <size_t N>
void CheckOnly(forms::PopupMenu& menu, const UINT (&group)[N], UINT item) {
  for (UINT id : group) menu.SetChecked(id, id == item);
}

// The marks of the main form's load, from the loaded colour and width.
void SetStartMarks(forms::PopupMenu& menu, int32_t color, int16_t brushwidth);

// What the balloon says the first time a drawing is kept.
std::wstring KeepNoticeText(const std::wstring& folder);

}  // namespace shell
