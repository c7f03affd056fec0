#include "capture/fit_page.h"

#include <commdlg.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "forms/app_error.h"

namespace capture {

int OrientationFor(long pictureWidthHimetric, long pictureHeightHimetric) {
  return pictureHeightHimetric >= pictureWidthHimetric ? kOrientationPortrait : kOrientationLandscape;
}

double PixelsToHimetricF(float pixels, int dpi) { return static_cast<double>(pixels) * 2540.0 / dpi; }
double HimetricToPixelsF(float himetric, int dpi) { return static_cast<double>(himetric) * dpi / 2540.0; }

namespace {
[[noreturn]] void DivisionByZero() { throw forms::AppError(kErrDivisionByZero, "FitPictureOnPage", "Division by zero"); }
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

namespace {

PrinterFactory& Factory() {
  static PrinterFactory factory;
  return factory;
}

// A locked HGLOBAL for as long as the object lives.
template <typename T>
class Locked {
 public:
  explicit Locked(HGLOBAL h) : h_(h), p_(h ? static_cast<T*>(::GlobalLock(h)) : nullptr) {}
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
  ~Locked() {
    if (p_) ::GlobalUnlock(h_);
  }
  T* operator->() const { return p_; }
  T* Get() const { return p_; }

 private:
  HGLOBAL h_;
  T* p_;
};

}  // namespace

std::unique_ptr<Printer> Printer::OpenDefault() {
  PRINTDLGW pd{};
  pd.lStructSize = sizeof pd;
  pd.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
  if (!::PrintDlgW(&pd) || !pd.hDC) {
    if (pd.hDC) ::DeleteDC(pd.hDC);
    if (pd.hDevMode) ::GlobalFree(pd.hDevMode);
    if (pd.hDevNames) ::GlobalFree(pd.hDevNames);
    throw forms::AppError(kErrPrinter, "Printer", "Printer error");
  }
  std::unique_ptr<Printer> printer(new Printer());
  printer->dc_.Reset(pd.hDC);
  printer->devMode_ = pd.hDevMode;
  printer->devNames_ = pd.hDevNames;
  if (printer->devMode_) {
    Locked<DEVMODEW> mode(printer->devMode_);
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
  dc_.Reset();
  if (metafile_) ::DeleteEnhMetaFile(metafile_);
  if (devMode_) ::GlobalFree(devMode_);
  if (devNames_) ::GlobalFree(devNames_);
}

void Printer::SetOrientation(int orientation) {
  if (jobStarted_ || (orientation != kOrientationPortrait && orientation != kOrientationLandscape)) return;
  if (isMetafile_) {
    orientation_ = orientation;
    return;
  }
  if (!devMode_) return;
  Locked<DEVMODEW> mode(devMode_);
  if (!mode.Get()) return;
  mode->dmOrientation = static_cast<short>(orientation == kOrientationLandscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT);
  mode->dmFields |= DM_ORIENTATION;
  // A printer DC takes a new mode before its job starts; the measurements follow it.
  if (::ResetDCW(dc_.Get(), mode.Get())) {
    orientation_ = orientation;
    return;
  }
  // A driver that will not reset: a fresh DC for the same printer with the new mode.
  Locked<DEVNAMES> names(devNames_);
  if (!names.Get()) return;
  const auto* base = reinterpret_cast<const wchar_t*>(names.Get());
  HDC fresh = ::CreateDCW(base + names->wDriverOffset, base + names->wDeviceOffset, nullptr, mode.Get());
  if (fresh) {
    dc_.Reset(fresh);
    orientation_ = orientation;
  }
}

int Printer::ScaleWidth() const {
  if (isMetafile_) return orientation_ == kOrientationLandscape ? portraitHeight_ : portraitWidth_;
  return ::GetDeviceCaps(dc_.Get(), HORZRES);
}

int Printer::ScaleHeight() const {
  if (isMetafile_) return orientation_ == kOrientationLandscape ? portraitWidth_ : portraitHeight_;
  return ::GetDeviceCaps(dc_.Get(), VERTRES);
}

int Printer::DpiX() const { return isMetafile_ ? dpi_ : ::GetDeviceCaps(dc_.Get(), LOGPIXELSX); }
int Printer::DpiY() const { return isMetafile_ ? dpi_ : ::GetDeviceCaps(dc_.Get(), LOGPIXELSY); }

void Printer::StartJob() {
  if (jobStarted_) return;
  if (isMetafile_) {
    // The frame is the page in HIMETRIC, so that the recording has the page's shape.
    RECT frame{0, 0, ::MulDiv(ScaleWidth(), 2540, dpi_), ::MulDiv(ScaleHeight(), 2540, dpi_)};
    dc_.Reset(::CreateEnhMetaFileW(nullptr, file_.empty() ? nullptr : file_.c_str(), &frame, DocumentName.c_str()));
    if (!dc_) throw forms::AppError(kErrPrinter, "Printer", "Printer error");
  } else {
    DOCINFOW doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = DocumentName.c_str();
    if (::StartDocW(dc_.Get(), &doc) <= 0) throw forms::AppError(kErrPrinter, "Printer", "Printer error");
    if (::StartPage(dc_.Get()) <= 0) {
      ::AbortDoc(dc_.Get());
      throw forms::AppError(kErrPrinter, "Printer", "Printer error");
    }
  }
  jobStarted_ = true;
}

void Printer::PaintPicture(const forms::PictureObject& picture, int left, int top, int width, int height) {
  const int pw = picture.WidthPixels();
  const int ph = picture.HeightPixels();
  if (!picture.Bitmap() || pw <= 0 || ph <= 0) return;
  // The pixels as a 32-bit top-down DIB: what StretchDIBits hands to any printer driver.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = pw;
  info.bmiHeader.biHeight = -ph;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> bits(static_cast<size_t>(pw) * ph);
  picture.ReleaseDc();  // GetDIBits wants the bitmap out of every DC
  {
    forms::WindowDc screen(nullptr);
    if (::GetDIBits(screen.Get(), picture.Bitmap(), 0, static_cast<UINT>(ph), bits.data(), &info, DIB_RGB_COLORS) !=
        ph) {
      throw forms::AppError(kErrPrinter, "Printer", "Printer error");
    }
  }
  StartJob();
  HDC dc = dc_.Get();
  ::SetStretchBltMode(dc, HALFTONE);
  ::SetBrushOrgEx(dc, 0, 0, nullptr);
  ::StretchDIBits(dc, left, top, width, height, 0, 0, pw, ph, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void Printer::EndDoc() {
  if (!jobStarted_) return;
  jobStarted_ = false;
  if (isMetafile_) {
    if (metafile_) ::DeleteEnhMetaFile(metafile_);
    metafile_ = ::CloseEnhMetaFile(dc_.Release());
    return;
  }
  ::EndPage(dc_.Get());
  ::EndDoc(dc_.Get());
}

void FitPictureOnPage(Printer& printer, const forms::Picture& picture) {
  const long width = picture ? picture->WidthHimetric() : 0;
  const long height = picture ? picture->HeightHimetric() : 0;
  printer.SetOrientation(OrientationFor(width, height));
  const PageFit fit = FitOnPage(width, height, printer.ScaleWidth(), printer.ScaleHeight(), printer.DpiX(),
                                printer.DpiY());
  printer.PaintPicture(*picture, 0, 0, static_cast<int>(std::lround(fit.width)),
                       static_cast<int>(std::lround(fit.height)));
}

void SetPrinterFactoryForTesting(PrinterFactory factory) { Factory() = std::move(factory); }

std::unique_ptr<Printer> OpenPrinterForPrinting() {
  if (Factory()) return Factory()();
  return Printer::OpenDefault();
}

}  // namespace capture
