#include "forms/popup_menu.h"

namespace forms {

PopupMenu::PopupMenu() : owned_(::CreatePopupMenu()), menu_(owned_.Get()) {}

PopupMenu::~PopupMenu() = default;

void PopupMenu::AddItem(const std::wstring& caption, UINT id) {
  ::AppendMenuW(menu_, MF_STRING, id, caption.c_str());
}

void PopupMenu::AddItems(std::initializer_list<Item> items) {
  for (const Item& item : items) AddItem(item.caption, item.id);
}

void PopupMenu::AddSeparator() { ::AppendMenuW(menu_, MF_SEPARATOR, 0, nullptr); }

PopupMenu& PopupMenu::AddSubmenu(const std::wstring& caption) {
  HMENU sub = ::CreatePopupMenu();
  ::AppendMenuW(menu_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), caption.c_str());
  submenus_.push_back(std::unique_ptr<PopupMenu>(new PopupMenu(sub)));
  return *submenus_.back();
}

void PopupMenu::SetChecked(UINT id, bool checked) {
  ::CheckMenuItem(Handle(), id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool PopupMenu::IsChecked(UINT id) const {
  UINT state = ::GetMenuState(Handle(), id, MF_BYCOMMAND);
  return state != static_cast<UINT>(-1) && (state & MF_CHECKED);
}

void PopupMenu::SetDefault(UINT id) { ::SetMenuDefaultItem(Handle(), id, FALSE); }

UINT PopupMenu::DefaultItem() const { return ::GetMenuDefaultItem(Handle(), FALSE, 0); }

std::wstring PopupMenu::Caption(UINT id) const {
  wchar_t text[256] = {};
  ::GetMenuStringW(Handle(), id, text, 256, MF_BYCOMMAND);
  return text;
}

UINT PopupMenu::Popup(HWND owner, UINT flags) {
  POINT pt{};
  ::GetCursorPos(&pt);
  return PopupAt(owner, pt.x, pt.y, flags);
}

UINT PopupMenu::PopupAt(HWND owner, int x, int y, UINT flags) {
  UINT chosen = static_cast<UINT>(
      ::TrackPopupMenuEx(Handle(), flags | TPM_RETURNCMD | TPM_NONOTIFY, x, y, owner, nullptr));
  // Lets the menu close properly when the owner is a background window.
  ::PostMessageW(owner, WM_NULL, 0, 0);
  return chosen;
}

}  // namespace forms
