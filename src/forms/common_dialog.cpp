#include "forms/common_dialog.h"

#include <commdlg.h>

#include <vector>

#include "base/error.h"

namespace forms {

namespace {
void Cancelled(bool raise) {
  if (raise) throw base::AppError(base::kErrCancel, "CommonDialog", "Cancel was selected.");
}

// A dialog given an owner that no longer exists does not open at all (under Wine it reports
// Cancel at once): such an owner is no owner.
HWND LiveOwner(HWND owner) { return owner && ::IsWindow(owner) ? owner : nullptr; }
}  // namespace

std::wstring CommonDialog::FilterForDialog(const std::wstring& filter) {
  std::wstring out = filter;
  for (auto& c : out) {
    if (c == L'|') c = L'\0';
  }
  out.push_back(L'\0');
  out.push_back(L'\0');
  return out;
}

bool CommonDialog::ShowColor() {
  CHOOSECOLORW cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = LiveOwner(owner);
  cc.rgbResult = color;
  cc.lpCustColors = customColors_;
  cc.Flags = flags;
  if (!::ChooseColorW(&cc)) {
    Cancelled(cancelError);
    return false;
  }
  color = cc.rgbResult;
  return true;
}

bool CommonDialog::ShowOpen() { return ShowFile(false); }
bool CommonDialog::ShowSave() { return ShowFile(true); }

bool CommonDialog::ShowFile(bool save) {
  // Wide dialogs, so that any name the user types works.
  std::vector<wchar_t> name(32768, L'\0');
  fileName.copy(name.data(), name.size() - 1);
  const std::wstring dialogFilter = FilterForDialog(filter);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = LiveOwner(owner);
  ofn.lpstrFilter = filter.empty() ? nullptr : dialogFilter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(filterIndex);
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = static_cast<DWORD>(name.size());
  ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
  ofn.Flags = flags | OFN_EXPLORER;
  BOOL ok = save ? ::GetSaveFileNameW(&ofn) : ::GetOpenFileNameW(&ofn);
  if (!ok) {
    Cancelled(cancelError);
    return false;
  }
  fileName = name.data();
  return true;
}

}  // namespace forms
