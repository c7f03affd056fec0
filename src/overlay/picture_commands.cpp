// The overlay's picture commands: save the screen as a BMP file, load a picture as the new
// background, clear the strokes, and the commands of the hidden buttons (captures, print, clear
// picture). Errors go back to the caller; the key handler traps those of save and load, after a
// failed save or load has told the user why.
#include <ctime>
#include <exception>
#include <string>

#include "capture/fit_page.h"
#include "capture/screen_capture.h"
#include "base/error.h"
#include "imaging/picture_file.h"
#include "overlay/picture_commands.h"
#include "overlay/ss.h"

namespace {
constexpr unsigned long kSaveFlags = 0x802;  // OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST
constexpr unsigned long kOpenFlags = 0x800;  // OFN_PATHMUSTEXIST

// Both file dialogs start on the first filter, offer .bmp as the extension, and raise the cancel
// error when the user cancels.
void PrepareBmpDialog(forms::CommonDialog& dialog, HWND owner, unsigned long flags, const wchar_t* filter) {
  // The owner is set at every use: a window handle kept from an earlier presentation may be dead,
  // and a dialog given a dead owner never opens (Wine reports it as cancelled at once).
  dialog.owner = owner;
  dialog.filterIndex = 0;
  dialog.flags = flags;
  dialog.filter = filter;
  dialog.defaultExt = L"bmp";
  dialog.cancelError = true;
}

// A save or load that failed once the user had named the file: the user hears why, once, and the
// error goes on to the key handler, which ends the command with the presentation as it was.
// Cancel is no failure and stays silent.
[[noreturn]] void ReportFileFailure(HWND owner, bool saving, const std::wstring& path, std::exception_ptr failure) {
  const base::ErrorReport report = base::DescribeException(failure);
  const std::wstring text = saving ? imaging::SaveFailedText(path, report.description)
                                   : imaging::LoadFailedText(path, report.description);
  ::MessageBoxW(owner, text.c_str(), L"Scrivane", MB_OK | MB_ICONERROR);
  std::rethrow_exception(failure);
}
}  // namespace

void overlay::SaveScreenPicture(forms::CommonDialog& dialog, HWND owner, const base::Picture& grab,
                                imaging::WriteFileFn write) {
  PrepareBmpDialog(dialog, owner, kSaveFlags, L"All Files(*.*)|*.*|PNG Files(*.png)|*.png");
  dialog.ShowSave();

  const std::wstring path = dialog.fileName;
  try {
    if (!grab) {
      throw base::AppError(base::kErrInvalidPicture, "SavePicture", "There is no picture of the screen to save.");
    }
    // A name ending in .png gets PNG content; every other name a BMP as always.
    imaging::SavePicture(*grab, path, write);
  } catch (...) {
    ReportFileFailure(owner, true, path, std::current_exception());
  }

  const std::wstring text = L"Image successfully saved at \r\n" + path;
  ::MessageBoxW(owner, text.c_str(), L"Success", MB_OK | MB_ICONEXCLAMATION);
}

void ss::SaveScreenToFile() {
  // Ctrl+S may come through the magnifier while no presentation runs: the window (hidden) and its
  // picture boxes are made first, so that the grab has a home and the dialog a live owner.
  Load();
  // The grab comes before the dialog, so it holds exactly what the screen showed at the key:
  // background, strokes, labels, and the magnifier if it was open.
  Picture3.SetPicture(capture::GrabScreenRect(PresentationArea()));
  overlay::SaveScreenPicture(CommonDialog1, Hwnd(), Picture3.GetPicture(), writeFile_);

  // The saved grab, strokes and all, becomes the background; the clean copy stays as it was,
  // so the eraser still reveals the background from before the save. What shows stays as it is,
  // and undo brings the background and the size from before the save back. Magnified, the grab
  // is a part of the picture, not the picture: it goes to the file and nowhere else.
  if (!Zoomed()) history_.GrabBecomesBackground(Picture3.GetPicture());
}

void ss::LoadPictureFromFile() {
  // As for the save: through the magnifier this may come with no overlay window.
  Load();
  PrepareBmpDialog(CommonDialog1, Hwnd(), kOpenFlags, L"BMP Files(*.bmp)|*.bmp");
  CommonDialog1.ShowOpen();

  // Read completely before anything changes: a file that fails leaves both pictures as they were.
  const std::wstring path = CommonDialog1.fileName;
  base::Picture picture;
  try {
    picture = imaging::LoadPictureFile(path);
  } catch (...) {
    ReportFileFailure(Hwnd(), false, path, std::current_exception());
  }
  history_.ReplaceBackground(picture);  // Picture1 and Picture2, as one undo step
}

void ss::ClearStrokes() {
  history_.BeginChange();  // one undo step
  Picture1.Cls();
  history_.EndChange();
}

void ss::cmdForm_Click() {
  Load();
  history_.ReplaceBackground(capture::GrabFormWhole(Hwnd()));
}

void ss::cmdClient_Click() {
  Load();
  history_.ReplaceBackground(capture::GrabFormInterior(Hwnd()));
}

void ss::cmdActive_Click() {
  Load();
  // Two to three seconds by the whole-second clock, during which the window system keeps
  // running, so the user can bring another window to the front.
  const std::time_t deadline = std::time(nullptr) + 2;
  while (std::time(nullptr) <= deadline) {
    forms::DoEvents();
    // Sleep until a message comes or a little time passes, instead of spinning.
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  history_.ReplaceBackground(capture::GrabFrontWindow());
  if (!IsVisible()) throw base::AppError(base::kErrInvalidCall, "ss", "Invalid procedure call or argument");
  ::SetForegroundWindow(Hwnd());
  ::SetFocus(Picture1.Hwnd());
}

void ss::cmdPrint_Click() {
  std::unique_ptr<capture::Printer> printer =
      printerFactory_ ? printerFactory_() : capture::Printer::OpenDefault();
  // The background only: strokes are not part of the picture.
  capture::FitPictureOnPage(*printer, Picture1.GetPicture());
  printer->EndDoc();
}

void ss::cmdClear_Click() { history_.ReplaceBackground(nullptr); }
