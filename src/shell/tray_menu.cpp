#include "shell/tray_menu.h"

namespace shell {

namespace {

// Whether the settings put the mark on a command's item.
bool Marked(const Command& command, const settings::AppSettingsRecord& s, bool liveDrawingOn) {
  switch (command.mark) {
    case Mark::None:
      return false;
    case Mark::FixedColour:
      return s.menucolor == command.value;
    case Mark::OtherColour:
      for (const Command& c : CommandTable()) {
        if (c.mark == Mark::FixedColour && c.value == s.menucolor) return false;
      }
      return true;
    case Mark::Width:
      return s.brushwidth == command.value;
    case Mark::KeepDrawings:
      return s.keepdrawings != settings::kFalse;
    case Mark::LiveDrawing:
      return liveDrawingOn;
  }
  return false;
}

}  // namespace

void BuildRCPopup(forms::PopupMenu& menu) {
  forms::PopupMenu* colours = nullptr;
  forms::PopupMenu* lineStyle = nullptr;
  for (const Command& c : CommandTable()) {
    switch (c.place) {
      case MenuPlace::None:
      case MenuPlace::FirstWithoutHotkey:
        break;
      case MenuPlace::Top:
        menu.AddItem(c.caption, MenuItemOf(c.id));
        break;
      case MenuPlace::Colours:
        if (!colours) colours = &menu.AddSubmenu(L"Colours");
        colours->AddItem(c.caption, MenuItemOf(c.id));
        break;
      case MenuPlace::LineStyle:
        if (!lineStyle) lineStyle = &menu.AddSubmenu(L"Line Style");
        lineStyle->AddItem(c.caption, MenuItemOf(c.id));
        break;
    }
  }
}

void ShowStartPresentationItem(forms::PopupMenu& menu, bool show) {
  const bool shown = ::GetMenuState(menu.Handle(), kItemStartPresentation, MF_BYCOMMAND) != static_cast<UINT>(-1);
  if (show && !shown) {
    const Command* item = FindCommand(CommandId::StartPresentation);
    ::InsertMenuW(menu.Handle(), 0, MF_BYPOSITION | MF_STRING, kItemStartPresentation, item->caption);
  } else if (!show && shown) {
    ::DeleteMenu(menu.Handle(), kItemStartPresentation, MF_BYCOMMAND);
  }
}

void SetMenuMarks(forms::PopupMenu& menu, const settings::AppSettingsRecord& settings, bool liveDrawingOn) {
  for (const Command& c : CommandTable()) {
    if (c.mark != Mark::None) menu.SetChecked(MenuItemOf(c.id), Marked(c, settings, liveDrawingOn));
  }
}

void SetStartMarks(forms::PopupMenu& menu, int32_t color, int16_t brushwidth) {
  settings::AppSettingsRecord marks;
  marks.menucolor = color;
  marks.brushwidth = brushwidth;
  // Only the colour and width groups: the marks of "Keep Drawings" and "Live Drawing" stay as they are.
  marks.keepdrawings = menu.IsChecked(kItemKeepDrawings) ? settings::kTrue : settings::kFalse;
  SetMenuMarks(menu, marks, menu.IsChecked(kItemLiveDrawing));
}

std::wstring KeepNoticeText(const std::wstring& folder) {
  return L"Scrivane keeps your drawings in " + folder + L". Untick Keep Drawings in this menu to stop.";
}

}  // namespace shell
