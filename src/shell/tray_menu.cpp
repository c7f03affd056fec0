#include "shell/tray_menu.h"

namespace shell {

void BuildRCPopup(forms::PopupMenu& menu) {
  menu.AddSubmenu(L"Colours").AddItems({{L"Red", kItemRed}, {L"Yellow", kItemYellow}, {L"Blue", kItemBlue},
                                        {L"Green", kItemGreen}, {L"Palette", kItemMypalette}});
  menu.AddSubmenu(L"Line Style").AddItems({{L"1", kItemOne}, {L"5", kItemFive}, {L"10", kItemTen},
                                           {L"15", kItemFifteen}, {L"20", kItemTwenty}});
  menu.AddItems({{L"Live Drawing", kItemLiveDrawing}, {L"Magnifier", kItemMagnifier}, {L"Quick Help", kItemMyhelp},
                 {L"Documentation", kItemDochelp}, {L"Keep Drawings", kItemKeepDrawings},
                 {L"Recent Drawings", kItemRecentDrawings}, {L"Exit", kItemRest1}});
}

void ShowStartPresentationItem(forms::PopupMenu& menu, bool show) {
  const bool shown = ::GetMenuState(menu.Handle(), kItemStartPresentation, MF_BYCOMMAND) != static_cast<UINT>(-1);
  if (show && !shown) {
    ::InsertMenuW(menu.Handle(), 0, MF_BYPOSITION | MF_STRING, kItemStartPresentation, L"Start Presentation Mode");
  } else if (!show && shown) {
    ::DeleteMenu(menu.Handle(), kItemStartPresentation, MF_BYCOMMAND);
  }
}

UINT ColourItemFor(int32_t color) {
  switch (color) {
    case kColorRed: return kItemRed;
    case kColorYellow: return kItemYellow;
    case kColorBlue: return kItemBlue;
    case kColorGreen: return kItemGreen;
    default: return kItemMypalette;
  }
}

UINT WidthItemFor(int16_t brushwidth) {
  for (UINT id : kWidthGroup) {
    if (WidthOfItem(id) == brushwidth) return id;
  }
  return 0;
}

int16_t WidthOfItem(UINT item) {
  switch (item) {
    case kItemOne: return 1;
    case kItemFive: return 5;
    case kItemTen: return 10;
    case kItemFifteen: return 15;
    case kItemTwenty: return 20;
    default: return 0;
  }
}

void SetStartMarks(forms::PopupMenu& menu, int32_t color, int16_t brushwidth) {
  CheckOnly(menu, kColourGroup, ColourItemFor(color));
  CheckOnly(menu, kWidthGroup, WidthItemFor(brushwidth));
}

std::wstring KeepNoticeText(const std::wstring& folder) {
  return L"Scrivane keeps your drawings in " + folder + L". Untick Keep Drawings in this menu to stop.";
}

}  // namespace shell
