// The common-dialog component: colour, Open and Save As dialogs with the properties the overlay
// sets. One object keeps its file name, colour and cancel setting from one use to the next.
#pragma once

#include <windows.h>

#include <string>

namespace forms {

class CommonDialog {
 public:
  // Flags as the caller gives them (OFN_* for the file dialogs, CC_* for the colour dialog).
  unsigned long Flags = 0;
  // "Description|pattern|Description|pattern".
  std::wstring Filter;
  std::wstring DefaultExt;
  std::wstring FileName;
  int FilterIndex = 0;
  COLORREF Color = 0;
  bool CancelError = false;
  HWND Owner = nullptr;

  // Each shows its dialog modally; with CancelError set, Cancel (or a failure) raises AppError
  // kErrCancel. Without it, Cancel returns false and changes nothing.
  bool ShowColor();
  bool ShowOpen();
  bool ShowSave();

  // "A|*.a|B|*.b" as the dialog wants it: NUL-separated, double-NUL terminated.
  static std::wstring FilterForDialog(const std::wstring& filter);

 private:
  bool ShowFile(bool save);
  COLORREF customColors_[16] = {};
};

}  // namespace forms
