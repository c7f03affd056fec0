// Printing one picture as large as the printable area allows without distorting it: the page
// orientation follows the picture's shape, the picture fills the printable width or height and
// starts at the printable area's top-left corner.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/handles.h"
#include "base/picture.h"

namespace capture {

constexpr int kOrientationPortrait = 1;
constexpr int kOrientationLandscape = 2;
constexpr int32_t kErrDivisionByZero = 11;
constexpr int32_t kErrPrinter = 482;

// --- The arithmetic --------------------------------------------------------------------------

// Portrait when the picture is at least as tall as wide (a square prints portrait).
int OrientationFor(long pictureWidthHimetric, long pictureHeightHimetric);

// The printed size, in the printer's units (device pixels here).
struct PageFit {
  double width = 0;
  double height = 0;
  bool widthBranch = false;  // the picture fills the printable width (else the height)
};

// Fits a picture of the given HIMETRIC size on a printable area of pageWidth x pageHeight
// printer pixels at dpiX x dpiY: the page is measured in HIMETRIC, the picture ratio and the
// page ratio are compared (equal ratios fill the width), and the result converted back to
// printer pixels. A picture or page of zero height raises AppError kErrDivisionByZero.
PageFit FitOnPage(long pictureWidthHimetric, long pictureHeightHimetric, int pageWidth, int pageHeight, int dpiX,
                  int dpiY);

// HIMETRIC <-> printer pixels, in single precision as the lengths are handed over.
double PixelsToHimetricF(float pixels, int dpi);
double HimetricToPixelsF(float himetric, int dpi);

// --- The printer -----------------------------------------------------------------------------

// The facets of a printer that printing a picture needs: orientation, the printable area in
// pixels, its resolution, painting a picture (the first painting opens the job) and ending the
// job. Either the system's default printer or a recording into an enhanced metafile, which
// takes the same calls where there is no printer.
class Printer {
 public:
  // The default printer; raises AppError kErrPrinter when there is none.
  static std::unique_ptr<Printer> OpenDefault();
  // A recording printer with a page of the given size in pixels (portrait) at `dpi`; the
  // recording goes to `file` when one is named, else it stays in memory.
  static std::unique_ptr<Printer> Metafile(int portraitWidth, int portraitHeight, int dpi,
                                           const std::wstring& file = L"");

  ~Printer();
  Printer(const Printer&) = delete;
  Printer& operator=(const Printer&) = delete;

  // 1 portrait, 2 landscape; takes effect for the measurements that follow. Ignored once the
  // job has started.
  void SetOrientation(int orientation);
  int Orientation() const { return orientation_; }
  // The printable area in printer pixels, in the current orientation.
  int ScaleWidth() const;
  int ScaleHeight() const;
  int DpiX() const;
  int DpiY() const;
  // Paints the whole picture into the rectangle, opening the job and its page first if needed.
  void PaintPicture(const base::PictureObject& picture, int left, int top, int width, int height);
  // Ends the page and the job (nothing when nothing was painted).
  void EndDoc();
  bool JobStarted() const { return jobStarted_; }

  // The name the job carries (the PDF printer names its file after it).
  std::wstring documentName = L"Scrivane";
  // The recording of a metafile printer after EndDoc (owned by the printer).
  HENHMETAFILE RecordedMetafile() const { return metafile_.Get(); }
  bool IsMetafile() const { return isMetafile_; }
  // The printer's DC (null for a metafile printer while no job runs).
  HDC Hdc() const { return isMetafile_ ? recordingDc_.Get() : printDc_.Get(); }

 private:
  Printer() = default;
  void StartJob();

  // A recording that is dropped unfinished still goes with its metafile.
  static void DiscardRecording(HDC dc) { ::DeleteEnhMetaFile(::CloseEnhMetaFile(dc)); }

  bool isMetafile_ = false;
  base::unique_hdc_print printDc_;
  base::unique_hglobal devMode_;
  base::unique_hglobal devNames_;
  int orientation_ = kOrientationPortrait;
  bool jobStarted_ = false;
  // Metafile printer: the page and the recording.
  int portraitWidth_ = 0;
  int portraitHeight_ = 0;
  int dpi_ = 0;
  std::wstring file_;
  base::unique_any<HDC, &Printer::DiscardRecording> recordingDc_;
  base::unique_henhmetafile metafile_;
};

// Sets the orientation from the picture's shape, measures the page, and paints the picture at
// the printable area's top-left, filling its width or height. The job stays open: the caller
// ends it. A missing or empty picture raises the division error after the orientation is set.
void FitPictureOnPage(Printer& printer, const base::Picture& picture);

// Where a print command gets its printer from: the default printer, or whatever its owner was
// given (a recording printer, a printer with a known document name).
using PrinterFactory = std::function<std::unique_ptr<Printer>()>;

}  // namespace capture
