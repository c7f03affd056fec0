#include "forms/common_dialog.h"

#include <commdlg.h>

#include <vector>

#include "forms/app_error.h"

namespace forms {

namespace {
void Cancelled(bool raise) {
  if (raise) throw AppError(kErrCancel, "CommonDialog", "Cancel was selected.");
}
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
  cc.hwndOwner = Owner;
  cc.rgbResult = Color;
  cc.lpCustColors = customColors_;
  cc.Flags = Flags;
  if (!::ChooseColorW(&cc)) {
    Cancelled(CancelError);
    return false;
  }
  Color = cc.rgbResult;
  return true;
}

bool CommonDialog::ShowOpen() { return ShowFile(false); }
bool CommonDialog::ShowSave() { return ShowFile(true); }

bool CommonDialog::ShowFile(bool save) {
  // Wide dialogs, so that any name the user types works.
  std::vector<wchar_t> name(32768, L'\0');
  FileName.copy(name.data(), name.size() - 1);
  std::wstring filter = FilterForDialog(Filter);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = Owner;
  ofn.lpstrFilter = Filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(FilterIndex);
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = static_cast<DWORD>(name.size());
  ofn.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
  ofn.Flags = Flags | OFN_EXPLORER;
  BOOL ok = save ? ::GetSaveFileNameW(&ofn) : ::GetOpenFileNameW(&ofn);
  if (!ok) {
    Cancelled(CancelError);
    return false;
  }
  FileName = name.data();
  return true;
}

}  // namespace forms
