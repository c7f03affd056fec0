// Fit-to-page printing: the arithmetic, a recording printer, and the real default printer (a
// CUPS PDF printer that the test set-up installs) checked through the PDF it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "capture/fit_page.h"
#include "base/error.h"
#include "support/picture_support.h"
#include "support/test_support.h"

namespace {

using capture::FitOnPage;
using capture::PageFit;
using testing_support::ErrorNumberOf;
using testing_support::StretchesIn;

TEST(FitArithmetic, OrientationFollowsThePictureAndASquarePrintsPortrait) {
  EXPECT_EQ(capture::kOrientationLandscape, capture::OrientationFor(50800, 28575));
  EXPECT_EQ(capture::kOrientationPortrait, capture::OrientationFor(28575, 50800));
  EXPECT_EQ(capture::kOrientationPortrait, capture::OrientationFor(1000, 1000));
  EXPECT_EQ(capture::kOrientationPortrait, capture::OrientationFor(0, 0));
}

TEST(FitArithmetic, AWidePictureFillsTheWidthAndATallOneTheHeight) {
  // A 1920 x 1080 screen grab at 96 dpi on an A4 landscape page at 300 dpi.
  PageFit wide = FitOnPage(50800, 28575, 3508, 2479, 300, 300);
  EXPECT_TRUE(wide.widthBranch);
  EXPECT_NEAR(3508.0, wide.width, 0.01);
  EXPECT_NEAR(3508.0 * 1080 / 1920, wide.height, 0.01);
  // Taller than the portrait page's shape: the height is filled, the strip is at the right.
  PageFit tall = FitOnPage(1000, 3000, 2479, 3508, 300, 300);
  EXPECT_FALSE(tall.widthBranch);
  EXPECT_NEAR(3508.0, tall.height, 0.01);
  EXPECT_NEAR(3508.0 / 3, tall.width, 0.01);
  // A square on a portrait page fills the width.
  PageFit square = FitOnPage(1000, 1000, 2479, 3508, 300, 300);
  EXPECT_TRUE(square.widthBranch);
  EXPECT_NEAR(2479.0, square.width, 0.01);
  EXPECT_NEAR(2479.0, square.height, 0.01);
}

TEST(FitArithmetic, EqualRatiosTakeTheWidthBranchAndFillTheWholeArea) {
  // 2400 x 3000 pixels at 300 dpi is 20320 x 25400 HIMETRIC, the ratio of 800 x 1000.
  PageFit fit = FitOnPage(800, 1000, 2400, 3000, 300, 300);
  EXPECT_TRUE(fit.widthBranch);
  EXPECT_NEAR(2400.0, fit.width, 0.01);
  EXPECT_NEAR(3000.0, fit.height, 0.01);
  // Each axis converts at its own resolution: 2400 x 3000 pixels at 300 x 600 dpi is a page of
  // 20320 x 12700 HIMETRIC.
  PageFit anisotropic = FitOnPage(20320, 12700, 2400, 3000, 300, 600);
  EXPECT_TRUE(anisotropic.widthBranch);
  EXPECT_NEAR(2400.0, anisotropic.width, 0.01);
  EXPECT_NEAR(3000.0, anisotropic.height, 0.01);
}

TEST(FitArithmetic, AZeroHeightPictureOrPageIsADivisionError) {
  EXPECT_EQ(capture::kErrDivisionByZero, ErrorNumberOf([] { FitOnPage(0, 0, 2479, 3508, 300, 300); }));
  EXPECT_EQ(capture::kErrDivisionByZero, ErrorNumberOf([] { FitOnPage(100, 0, 2479, 3508, 300, 300); }));
  EXPECT_EQ(capture::kErrDivisionByZero, ErrorNumberOf([] { FitOnPage(100, 100, 2479, 0, 300, 300); }));
}

// A screen-compatible picture of one colour.
base::Picture SolidPicture(int w, int h, COLORREF color) {
  HDC screen = ::GetDC(nullptr);
  HBITMAP bmp = ::CreateCompatibleBitmap(screen, w, h);
  HDC mem = ::CreateCompatibleDC(screen);
  HGDIOBJ old = ::SelectObject(mem, bmp);
  HBRUSH brush = ::CreateSolidBrush(color);
  RECT rc{0, 0, w, h};
  ::FillRect(mem, &rc, brush);
  ::DeleteObject(brush);
  ::SelectObject(mem, old);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  return std::make_shared<base::PictureObject>(bmp, nullptr);
}

TEST(FitPictureOnPage, OnARecordingPrinterPaintsOnceAtTheTopLeftInTheChosenOrientation) {
  auto wide = capture::Printer::Metafile(2480, 3508, 300);
  capture::FitPictureOnPage(*wide, SolidPicture(1920, 1080, RGB(255, 0, 0)));
  EXPECT_EQ(capture::kOrientationLandscape, wide->Orientation());
  EXPECT_TRUE(wide->JobStarted()) << "the job stays open for the caller";
  wide->EndDoc();
  std::vector<RECT> r = StretchesIn(wide->RecordedMetafile());
  ASSERT_EQ(1u, r.size());
  EXPECT_EQ(0, r[0].left);
  EXPECT_EQ(0, r[0].top);
  EXPECT_EQ(3508, r[0].right);
  EXPECT_EQ(1973, r[0].bottom);  // 3508 * 1080 / 1920 = 1973.25

  auto tall = capture::Printer::Metafile(2480, 3508, 300);
  capture::FitPictureOnPage(*tall, SolidPicture(600, 1200, RGB(0, 0, 255)));
  EXPECT_EQ(capture::kOrientationPortrait, tall->Orientation());
  tall->EndDoc();
  r = StretchesIn(tall->RecordedMetafile());
  ASSERT_EQ(1u, r.size());
  EXPECT_EQ(0, r[0].left);
  EXPECT_EQ(0, r[0].top);
  EXPECT_EQ(1754, r[0].right);  // 3508 / 2
  EXPECT_EQ(3508, r[0].bottom);

  // No picture: the orientation is set (portrait), then the division error; nothing painted.
  auto empty = capture::Printer::Metafile(2480, 3508, 300);
  empty->SetOrientation(capture::kOrientationLandscape);
  EXPECT_EQ(capture::kErrDivisionByZero, ErrorNumberOf([&] { capture::FitPictureOnPage(*empty, nullptr); }));
  EXPECT_EQ(capture::kOrientationPortrait, empty->Orientation());
  EXPECT_FALSE(empty->JobStarted());
}

// --- The real default printer ------------------------------------------------------------------

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::wstring WindowsPathOf(const std::string& unixPath) {
  std::wstring w = L"Z:";
  for (char c : unixPath) w += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return w;
}

std::string ReadLine(const std::wstring& path) {
  std::ifstream in(path.c_str());
  std::string line;
  std::getline(in, line);
  return line;
}

// Finds the PDF whose name holds `token` in `dir`, waiting for the print system to write it.
std::wstring WaitForPdf(const std::wstring& dir, const std::wstring& token, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 200) {
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW((dir + L"\\*" + token + L"*.pdf").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      ::FindClose(h);
      const std::wstring found = dir + L"\\" + fd.cFileName;
      // Written completely when its size stops changing.
      WIN32_FILE_ATTRIBUTE_DATA a1{}, a2{};
      ::GetFileAttributesExW(found.c_str(), GetFileExInfoStandard, &a1);
      ::Sleep(300);
      ::GetFileAttributesExW(found.c_str(), GetFileExInfoStandard, &a2);
      if (a1.nFileSizeLow == a2.nFileSizeLow && a2.nFileSizeLow > 0) return found;
    }
    ::Sleep(200);
  }
  return L"";
}

struct Rendered {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

// Renders the PDF's first page with poppler's pdftoppm, run as a Linux program (Wine starts a
// native executable given by its Z: path), and reads the PPM it writes.
Rendered Render(const std::string& pdfUnix, const std::string& outUnix) {
  const std::string script = "pdftoppm -r 30 -singlefile '" + pdfUnix + "' '" + outUnix + ".tmp' && mv '" + outUnix +
                             ".tmp.ppm' '" + outUnix + ".ppm'";
  std::wstring cmd = L"Z:\\bin\\sh -c \"";
  for (char c : script) cmd += static_cast<wchar_t>(c);
  cmd += L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  Rendered r;
  if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return r;
  if (pi.hProcess) ::CloseHandle(pi.hProcess);
  if (pi.hThread) ::CloseHandle(pi.hThread);
  const std::wstring ppm = WindowsPathOf(outUnix + ".ppm");
  for (int waited = 0; waited < 20000 && ::GetFileAttributesW(ppm.c_str()) == INVALID_FILE_ATTRIBUTES; waited += 100)
    ::Sleep(100);
  std::ifstream in(ppm.c_str(), std::ios::binary);
  std::string magic;
  int maxval = 0;
  in >> magic >> r.width >> r.height >> maxval;
  in.get();
  if (magic != "P6" || maxval != 255) return Rendered{};
  r.rgb.resize(static_cast<size_t>(r.width) * r.height * 3);
  in.read(reinterpret_cast<char*>(r.rgb.data()), static_cast<std::streamsize>(r.rgb.size()));
  in.close();
  ::DeleteFileW(ppm.c_str());
  return r;
}

// The bounding box of the pixels close to `rgb`.
RECT BoxOf(const Rendered& r, uint32_t rgb) {
  RECT box{r.width, r.height, 0, 0};
  for (int y = 0; y < r.height; ++y) {
    for (int x = 0; x < r.width; ++x) {
      const uint8_t* p = &r.rgb[(static_cast<size_t>(y) * r.width + x) * 3];
      if (std::abs(p[0] - static_cast<int>((rgb >> 16) & 0xFF)) < 60 &&
          std::abs(p[1] - static_cast<int>((rgb >> 8) & 0xFF)) < 60 &&
          std::abs(p[2] - static_cast<int>(rgb & 0xFF)) < 60) {
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
    }
  }
  return box;
}

TEST(FitPictureOnPage, ThroughTheDefaultPrinterAWidePictureFillsALandscapePageAndATallOneAPortraitPage) {
  const std::string state = Env("SCRIVANE_TEST_STATE");
  const std::string outDir = state.empty() ? "" : ReadLine(WindowsPathOf(state + "/printer-out"));
  if (outDir.empty()) {
    std::printf("No CUPS printer in this test environment (see test-env/printer.log): the recording-printer "
                "test above covers the same calls.\n");
    GTEST_SKIP() << "no CUPS PDF printer";
  }
  struct Case {
    const char* name;
    int w, h;
    COLORREF color;
    uint32_t rgb;
    bool landscape;
  } cases[] = {{"wide", 1600, 900, RGB(255, 0, 0), 0xFF0000, true}, {"tall", 600, 1200, RGB(0, 0, 255), 0x0000FF, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto printer = capture::Printer::OpenDefault();
    const std::wstring token = L"scrivane-fit-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                               std::wstring(c.name, c.name + std::strlen(c.name));
    printer->documentName = token;
    capture::FitPictureOnPage(*printer, SolidPicture(c.w, c.h, c.color));
    // Where the printable area lies on the physical page, as fractions of the page.
    HDC dc = printer->Hdc();
    const double physW = ::GetDeviceCaps(dc, PHYSICALWIDTH), physH = ::GetDeviceCaps(dc, PHYSICALHEIGHT);
    const double offX = ::GetDeviceCaps(dc, PHYSICALOFFSETX) / physW, offY = ::GetDeviceCaps(dc, PHYSICALOFFSETY) / physH;
    const double areaW = ::GetDeviceCaps(dc, HORZRES) / physW, areaH = ::GetDeviceCaps(dc, VERTRES) / physH;
    printer->EndDoc();
    printer.reset();

    const std::wstring pdf = WaitForPdf(WindowsPathOf(outDir), token, 30000);
    ASSERT_FALSE(pdf.empty()) << "no PDF in " << outDir;
    std::string pdfUnix;
    for (wchar_t ch : pdf.substr(2)) pdfUnix += ch == L'\\' ? '/' : static_cast<char>(ch);
    Rendered page = Render(pdfUnix, outDir + "/render-" + std::to_string(::GetCurrentProcessId()));
    ::DeleteFileW(pdf.c_str());
    ASSERT_GT(page.width, 0) << "pdftoppm gave no page";
    EXPECT_EQ(c.landscape, page.width > page.height) << page.width << " x " << page.height;
    const RECT box = BoxOf(page, c.rgb);
    const double tol = 2.0;  // pixels at 30 dpi
    EXPECT_NEAR(offX * page.width, box.left, tol);
    EXPECT_NEAR(offY * page.height, box.top, tol);
    if (c.landscape) {
      // The width of the printable area, and the height that keeps the picture's shape.
      EXPECT_NEAR((offX + areaW) * page.width, box.right, tol);
      EXPECT_NEAR(box.top + (box.right - box.left) * static_cast<double>(c.h) / c.w, box.bottom, tol);
    } else {
      EXPECT_NEAR((offY + areaH) * page.height, box.bottom, tol);
      EXPECT_NEAR(box.left + (box.bottom - box.top) * static_cast<double>(c.w) / c.h, box.right, tol);
    }
  }
}

}  // namespace
