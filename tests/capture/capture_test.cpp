#include <gtest/gtest.h>

#include "capture/screen_capture.h"
#include "support/picture_support.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

TEST(PaletteDecision, OnlyA256EntryPaletteDeviceTakesAPalette) {
  EXPECT_TRUE(capture::IsPaletteDevice(RC_PALETTE, 256));
  EXPECT_TRUE(capture::IsPaletteDevice(RC_PALETTE | RC_BITBLT, 256));
  EXPECT_FALSE(capture::IsPaletteDevice(RC_PALETTE, 16));
  EXPECT_FALSE(capture::IsPaletteDevice(RC_PALETTE, 0));
  EXPECT_FALSE(capture::IsPaletteDevice(RC_BITBLT, 256));
  EXPECT_FALSE(capture::IsPaletteDevice(0, 0));
}

TEST(PictureObject, EmptyWithoutBitmapAndSizedInHimetric) {
  EXPECT_EQ(nullptr, capture::MakePictureObject(nullptr, nullptr));
  HDC screen = ::GetDC(nullptr);
  HBITMAP bmp = ::CreateCompatibleBitmap(screen, 96, 48);
  int dpiX = ::GetDeviceCaps(screen, LOGPIXELSX);
  int dpiY = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  base::Picture p = capture::MakePictureObject(bmp, nullptr);
  ASSERT_NE(nullptr, p);
  EXPECT_EQ(96, p->WidthPixels());
  EXPECT_EQ(48, p->HeightPixels());
  EXPECT_EQ(::MulDiv(96, 2540, dpiX), p->WidthHimetric());
  EXPECT_EQ(::MulDiv(48, 2540, dpiY), p->HeightHimetric());
}

TEST(GrabDesktop, CopiesTheWholeScreenExactlyWithNoPaletteOnTrueColour) {
  PatternWindow pattern;
  ScreenImage before = CaptureScreen();
  base::Picture grab = capture::GrabDesktop();
  ASSERT_NE(nullptr, grab);
  EXPECT_EQ(::GetSystemMetrics(SM_CXSCREEN), grab->WidthPixels());
  EXPECT_EQ(::GetSystemMetrics(SM_CYSCREEN), grab->HeightPixels());
  EXPECT_EQ(nullptr, grab->Palette());
  ScreenImage got = PictureImage(grab);
  EXPECT_EQ(0, CountDifferences(before, got));
  EXPECT_EQ(PatternWindow::PatternColor(1000, 700), got.At(1000, 700));
  // Its pixels are the program's own memory (a DIB section), given back whole with the picture.
  DIBSECTION section{};
  EXPECT_EQ(static_cast<int>(sizeof section), ::GetObjectW(grab->Bitmap(), sizeof section, &section));

  // A part away from the corner, read in bands whose last one is short: every row from its place.
  const RECT part{13, 7, 13 + 1901, 7 + 1001};
  base::Picture piece = capture::GrabScreenRect(part);
  ASSERT_NE(nullptr, piece);
  ScreenImage pieceImage = PictureImage(piece);
  int wrong = 0;
  for (int y = 0; y < 1001; ++y) {
    for (int x = 0; x < 1901; ++x) wrong += pieceImage.At(x, y) != PatternWindow::PatternColor(x + 13, y + 7);
  }
  EXPECT_EQ(0, wrong);
}

LRESULT CALLBACK MagentaProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_ERASEBKGND) {
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    HBRUSH b = ::CreateSolidBrush(RGB(255, 0, 255));
    ::FillRect(reinterpret_cast<HDC>(wParam), &rc, b);
    ::DeleteObject(b);
    return 1;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST(GrabForm, WholeIncludesTheFrameAndInteriorStartsAtTheClientArea) {
  PatternWindow pattern;
  WNDCLASSW wc{};
  wc.lpfnWndProc = MagentaProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"CaptureTestForm";
  ::RegisterClassW(&wc);
  HWND form = ::CreateWindowExW(WS_EX_TOPMOST, L"CaptureTestForm", L"Capture test", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                200, 150, 400, 300, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(nullptr, form);
  ::SetForegroundWindow(form);
  Pump(500);
  RECT wr, cr;
  ::GetWindowRect(form, &wr);
  ::GetClientRect(form, &cr);
  POINT clientOrigin{0, 0};
  ::ClientToScreen(form, &clientOrigin);
  ASSERT_GT(clientOrigin.y, wr.top) << "the test window should have a caption bar";

  base::Picture whole = capture::GrabFormWhole(form);
  ASSERT_NE(nullptr, whole);
  EXPECT_EQ(wr.right - wr.left, whole->WidthPixels());
  EXPECT_EQ(wr.bottom - wr.top, whole->HeightPixels());
  ScreenImage wholeImg = PictureImage(whole);
  const uint32_t magenta = 0xFF00FF;
  // The top-left corner is frame, the client area is further in.
  EXPECT_NE(magenta, wholeImg.At(1, 1));
  EXPECT_EQ(magenta, wholeImg.At(clientOrigin.x - wr.left + 5, clientOrigin.y - wr.top + 5));

  base::Picture interior = capture::GrabFormInterior(form);
  ASSERT_NE(nullptr, interior);
  EXPECT_EQ(cr.right, interior->WidthPixels());
  EXPECT_EQ(cr.bottom, interior->HeightPixels());
  ScreenImage inner = PictureImage(interior);
  EXPECT_EQ(magenta, inner.At(0, 0));
  EXPECT_EQ(magenta, inner.At(cr.right - 1, cr.bottom - 1));

  base::Picture front = capture::GrabFrontWindow();
  ASSERT_NE(nullptr, front);
  EXPECT_EQ(wr.right - wr.left, front->WidthPixels());
  ::DestroyWindow(form);
}

}  // namespace
