// The tray menu RCPopup, built from the command table (shell/commands.h): its items in their
// order, and the check marks that the settings decide.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "forms/popup_menu.h"
#include "settings/app_settings.h"
#include "shell/commands.h"

namespace shell {

// The item ids, named after the items.
constexpr UINT kItemRed = MenuItemOf(CommandId::Red);
constexpr UINT kItemYellow = MenuItemOf(CommandId::Yellow);
constexpr UINT kItemBlue = MenuItemOf(CommandId::Blue);
constexpr UINT kItemGreen = MenuItemOf(CommandId::Green);
constexpr UINT kItemMypalette = MenuItemOf(CommandId::Palette);
constexpr UINT kItemOne = MenuItemOf(CommandId::Width1);
constexpr UINT kItemFive = MenuItemOf(CommandId::Width5);
constexpr UINT kItemTen = MenuItemOf(CommandId::Width10);
constexpr UINT kItemFifteen = MenuItemOf(CommandId::Width15);
constexpr UINT kItemTwenty = MenuItemOf(CommandId::Width20);
constexpr UINT kItemMagnifier = MenuItemOf(CommandId::Magnifier);
constexpr UINT kItemMyhelp = MenuItemOf(CommandId::QuickHelp);
constexpr UINT kItemDochelp = MenuItemOf(CommandId::Documentation);
constexpr UINT kItemRest1 = MenuItemOf(CommandId::Exit);
// Only there while another program holds the presentation hotkey; the first item then.
constexpr UINT kItemStartPresentation = MenuItemOf(CommandId::StartPresentation);
constexpr UINT kItemRecentDrawings = MenuItemOf(CommandId::RecentDrawings);
// Checked while each presentation's drawing is kept in the Drawings folder (`keepdrawings`).
constexpr UINT kItemKeepDrawings = MenuItemOf(CommandId::KeepDrawings);
// Starts live drawing; checked while it is on, and chosen then it ends it.
constexpr UINT kItemLiveDrawing = MenuItemOf(CommandId::LiveDrawing);
constexpr UINT kItemOptions = MenuItemOf(CommandId::Options);

// The pen colours of the four fixed colour items (0x00BBGGRR).
constexpr int32_t kColorRed = 0x0000FF;
constexpr int32_t kColorYellow = 0x00FFFF;
constexpr int32_t kColorBlue = 0xFF0000;
constexpr int32_t kColorGreen = 0x00FF00;

constexpr UINT kColourGroup[] = {kItemRed, kItemYellow, kItemBlue, kItemGreen, kItemMypalette};
constexpr UINT kWidthGroup[] = {kItemOne, kItemFive, kItemTen, kItemFifteen, kItemTwenty};

// Builds the menu in the table's order: the "Colours" and "Line Style" submenus, then the
// commands, "Exit" last. Nothing is checked.
void BuildRCPopup(forms::PopupMenu& menu);

// Puts "Start Presentation Mode" at the top of the menu, or takes it away; nothing changes when the
// menu already is that way.
void ShowStartPresentationItem(forms::PopupMenu& menu, bool show);

// Every check mark from the settings: the colour group from `menucolor` (a fixed colour's item,
// else "Palette"), the width group from `brushwidth` (none for a width without an item), and
// "Keep Drawings" from `keepdrawings`; "Live Drawing" from `liveDrawingOn`.
void SetMenuMarks(forms::PopupMenu& menu, const settings::AppSettingsRecord& settings, bool liveDrawingOn = false);
// The marks of the main form's load, from the loaded colour and width.
void SetStartMarks(forms::PopupMenu& menu, int32_t color, int16_t brushwidth);

// What the balloon says the first time a drawing is kept.
std::wstring KeepNoticeText(const std::wstring& folder);

}  // namespace shell
