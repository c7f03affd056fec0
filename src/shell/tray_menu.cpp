#include "shell/tray_menu.h"

namespace shell {

void BuildRCPopup(forms::PopupMenu& menu) {
  forms::PopupMenu& col = menu.AddSubmenu(L"Colours");
  col.AddItem(L"Red", kItemRed);
  col.AddItem(L"Yellow", kItemYellow);
  col.AddItem(L"Blue", kItemBlue);
  col.AddItem(L"Green", kItemGreen);
  col.AddItem(L"Palette", kItemMypalette);
  forms::PopupMenu& ls = menu.AddSubmenu(L"Line Style");
  ls.AddItem(L"1", kItemOne);
  ls.AddItem(L"5", kItemFive);
  ls.AddItem(L"10", kItemTen);
  ls.AddItem(L"15", kItemFifteen);
  ls.AddItem(L"20", kItemTwenty);
  menu.AddItem(L"Magnifier", kItemMagnifier);
  menu.AddItem(L"Quick Help", kItemMyhelp);
  menu.AddItem(L"Documentation", kItemDochelp);
  menu.AddItem(L"Recent Drawings", kItemRecentDrawings);
  menu.AddItem(L"Exit", kItemRest1);
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

}  // namespace shell
