#include "capture/fit_page.h"

#include <commdlg.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "base/dib.h"
#include "base/error.h"

namespace capture {

int OrientationFor(long pictureWidthHimetric, long pictureHeightHimetric) {
  return pictureHeightHimetric >= pictureWidthHimetric ? kOrientationPortrait : kOrientationLandscape;
}

double PixelsToHimetricF(float pixels, int dpi) { return static_cast<double>(pixels) * 2540.0 / dpi; }
double HimetricToPixelsF(float himetric, int dpi) { return static_cast<double>(himetric) * dpi / 2540.0; }

namespace {
[[noreturn]] void DivisionByZero() { throw base::AppError(kErrDivisionByZero, "FitPictureOnPage", "Division by zero"); }
}  // namespace

PageFit FitOnPage(long pictureWidthHimetric, long pictureHeightHimetric, int pageWidth, int pageHeight, int dpiX,
                  int dpiY) {
  if (pictureHeightHimetric == 0) DivisionByZero();
  const double r = static_cast<double>(pictureWidthHimetric) / static_cast<double>(pictureHeightHimetric);
  const double pageW = PixelsToHimetricF(static_cast<float>(pageWidth), dpiX);
  const double pageH = PixelsToHimetricF(static_cast<float>(pageHeight), dpiY);
  if (pageH == 0) DivisionByZero();
  const double p = pageW / pageH;
  PageFit fit;
  if (r >= p) {
    fit.widthBranch = true;
    fit.width = HimetricToPixelsF(static_cast<float>(pageW), dpiX);
    fit.height = HimetricToPixelsF(static_cast<float>(pageW / r), dpiY);
  } else {
    fit.height = HimetricToPixelsF(static_cast<float>(pageH), dpiY);
    fit.width = HimetricToPixelsF(static_cast<float>(pageH * r), dpiX);
  }
  return fit;
}

// --- Printer ---------------------------------------------------------------------------------


std::unique_ptr<Printer> Printer::OpenDefault() {
  PRINTDLGW pd{};
  pd.lStructSize = sizeof pd;
  pd.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
  const BOOL ok = ::PrintDlgW(&pd);
  std::unique_ptr<Printer> printer(new Printer());
  // Whatever the dialog handed back is ours to free, also when it failed half-way.
  printer->printDc_.Reset(pd.hDC);
  printer->devMode_.Reset(pd.hDevMode);
  printer->devNames_.Reset(pd.hDevNames);
  if (!ok || !printer->printDc_) throw base::AppError(kErrPrinter, "Printer", "Printer error");
  if (printer->devMode_) {
    base::GlobalLockGuard<DEVMODEW> mode(printer->devMode_.Get());
    if (mode.Get() && (mode->dmFields & DM_ORIENTATION) && mode->dmOrientation == DMORIENT_LANDSCAPE) {
      printer->orientation_ = kOrientationLandscape;
    }
  }
  return printer;
}

std::unique_ptr<Printer> Printer::Metafile(int portraitWidth, int portraitHeight, int dpi, const std::wstring& file) {
  std::unique_ptr<Printer> printer(new Printer());
  printer->isMetafile_ = true;
  printer->portraitWidth_ = portraitWidth;
  printer->portraitHeight_ = portraitHeight;
  printer->dpi_ = dpi;
  printer->file_ = file;
  return printer;
}

Printer::~Printer() {
  if (jobStarted_) EndDoc();
}

void Printer::SetOrientation(int orientation) {
  if (jobStarted_ || (orientation != kOrientationPortrait && orientation != kOrientationLandscape)) return;
  if (isMetafile_) {
    orientation_ = orientation;
    return;
  }
  if (!devMode_) return;
  base::GlobalLockGuard<DEVMODEW> mode(devMode_.Get());
  if (!mode.Get()) return;
  mode->dmOrientation = static_cast<short>(orientation == kOrientationLandscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT);
  mode->dmFields |= DM_ORIENTATION;
  // A printer DC takes a new mode before its job starts; the measurements follow it.
  if (::ResetDCW(printDc_.Get(), mode.Get())) {
    orientation_ = orientation;
    return;
  }
  // A driver that will not reset: a fresh DC for the same printer with the new mode.
  base::GlobalLockGuard<DEVNAMES> names(devNames_.Get());
  if (!names.Get()) return;
  const auto* base = reinterpret_cast<const wchar_t*>(names.Get());
  HDC fresh = ::CreateDCW(base + names->wDriverOffset, base + names->wDeviceOffset, nullptr, mode.Get());
  if (fresh) {
    printDc_.Reset(fresh);
    orientation_ = orientation;
  }
}

int Printer::ScaleWidth() const {
  if (isMetafile_) return orientation_ == kOrientationLandscape ? portraitHeight_ : portraitWidth_;
  return ::GetDeviceCaps(printDc_.Get(), HORZRES);
}

int Printer::ScaleHeight() const {
  if (isMetafile_) return orientation_ == kOrientationLandscape ? portraitWidth_ : portraitHeight_;
  return ::GetDeviceCaps(printDc_.Get(), VERTRES);
}

int Printer::DpiX() const { return isMetafile_ ? dpi_ : ::GetDeviceCaps(printDc_.Get(), LOGPIXELSX); }
int Printer::DpiY() const { return isMetafile_ ? dpi_ : ::GetDeviceCaps(printDc_.Get(), LOGPIXELSY); }

void Printer::StartJob() {
  if (jobStarted_) return;
  if (isMetafile_) {
    // The frame is the page in HIMETRIC, so that the recording has the page's shape.
    RECT frame{0, 0, ::MulDiv(ScaleWidth(), 2540, dpi_), ::MulDiv(ScaleHeight(), 2540, dpi_)};
    recordingDc_.Reset(
        ::CreateEnhMetaFileW(nullptr, file_.empty() ? nullptr : file_.c_str(), &frame, documentName.c_str()));
    if (!recordingDc_) throw base::AppError(kErrPrinter, "Printer", "Printer error");
  } else {
    DOCINFOW doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = documentName.c_str();
    if (::StartDocW(printDc_.Get(), &doc) <= 0) throw base::AppError(kErrPrinter, "Printer", "Printer error");
    if (::StartPage(printDc_.Get()) <= 0) {
      ::AbortDoc(printDc_.Get());
      throw base::AppError(kErrPrinter, "Printer", "Printer error");
    }
  }
  jobStarted_ = true;
}

void Printer::PaintPicture(const base::PictureObject& picture, int left, int top, int width, int height) {
  const int pw = picture.WidthPixels();
  const int ph = picture.HeightPixels();
  if (!picture.Bitmap() || pw <= 0 || ph <= 0) return;
  // The pixels as a 32-bit top-down DIB: what StretchDIBits hands to any printer driver.
  BITMAPINFO info = base::TopDownDib32(pw, ph);
  std::vector<uint32_t> bits(static_cast<size_t>(pw) * ph);
  picture.ReleaseDc();  // GetDIBits wants the bitmap out of every DC
  {
    base::WindowDc screen(nullptr);
    if (::GetDIBits(screen.Get(), picture.Bitmap(), 0, static_cast<UINT>(ph), bits.data(), &info, DIB_RGB_COLORS) !=
        ph) {
      throw base::AppError(kErrPrinter, "Printer", "Printer error");
    }
  }
  StartJob();
  HDC dc = Hdc();
  ::SetStretchBltMode(dc, HALFTONE);
  ::SetBrushOrgEx(dc, 0, 0, nullptr);
  ::StretchDIBits(dc, left, top, width, height, 0, 0, pw, ph, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void Printer::EndDoc() {
  if (!jobStarted_) return;
  jobStarted_ = false;
  if (isMetafile_) {
    metafile_.Reset(::CloseEnhMetaFile(recordingDc_.Release()));
    return;
  }
  ::EndPage(printDc_.Get());
  ::EndDoc(printDc_.Get());
}

void FitPictureOnPage(Printer& printer, const base::Picture& picture) {
  const long width = picture ? picture->WidthHimetric() : 0;
  const long height = picture ? picture->HeightHimetric() : 0;
  printer.SetOrientation(OrientationFor(width, height));
  const PageFit fit = FitOnPage(width, height, printer.ScaleWidth(), printer.ScaleHeight(), printer.DpiX(),
                                printer.DpiY());
  printer.PaintPicture(*picture, 0, 0, static_cast<int>(std::lround(fit.width)),
                       static_cast<int>(std::lround(fit.height)));
}

}  // namespace capture
