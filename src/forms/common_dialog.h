// The common-dialog component: colour, Open and Save As dialogs with the properties the overlay
// sets. One object keeps its file name, colour and cancel setting from one use to the next.
#pragma once

#include <windows.h>

#include <string>

namespace forms {

class CommonDialog {
 public:
  // Flags as the caller gives them (OFN_* for the file dialogs, CC_* for the colour dialog).
  unsigned long flags = 0;
  // "Description|pattern|Description|pattern".
  std::wstring filter;
  std::wstring defaultExt;
  std::wstring fileName;
  int filterIndex = 0;
  COLORREF color = 0;
  bool cancelError = false;
  HWND owner = nullptr;

  // Each shows its dialog modally; with cancelError set, Cancel (or a failure) raises AppError
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
