// A popup menu built from items, separators and submenus, with check marks and a default item.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "base/handles.h"

namespace forms {

class PopupMenu {
 public:
  PopupMenu();
  ~PopupMenu();
  PopupMenu(const PopupMenu&) = delete;
  PopupMenu& operator=(const PopupMenu&) = delete;

  // Appends an item with the command id `id` (non-zero).
  void AddItem(const std::wstring& caption, UINT id);
  struct Item {
    const wchar_t* caption;
    UINT id;
  };
  // Appends the items in their order.
  void AddItems(std::initializer_list<Item> items);
  void AddSeparator();
  // Appends a submenu and returns it; it lives as long as this menu.
  PopupMenu& AddSubmenu(const std::wstring& caption);

  void SetChecked(UINT id, bool checked);
  bool IsChecked(UINT id) const;
  // The bold default item.
  void SetDefault(UINT id);
  UINT DefaultItem() const;
  std::wstring Caption(UINT id) const;

  HMENU Handle() const { return menu_; }

  // Opens the menu at the cursor (or at x, y) for `owner` and returns the chosen command id, or 0
  // when the menu was closed without a choice. `flags` are TPM_* alignment and button flags.
  UINT Popup(HWND owner, UINT flags = TPM_LEFTALIGN | TPM_TOPALIGN);
  UINT PopupAt(HWND owner, int x, int y, UINT flags);

 private:
  // A submenu belongs to its parent menu, which destroys it: it owns nothing itself.
  explicit PopupMenu(HMENU submenu) : menu_(submenu) {}
  base::unique_hmenu owned_;
  HMENU menu_;
  std::vector<std::unique_ptr<PopupMenu>> submenus_;
};

}  // namespace forms
