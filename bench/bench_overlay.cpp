// Entering presentation mode: grab plus showing the overlay until it has painted, against a plain
// full-screen BitBlt from the screen.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench.h"
#include "shell/start_up.h"
#include "overlay/ss.h"

namespace {

std::vector<bench::Result> EnterPresentationMode() {
  const int cx = ::GetSystemMetrics(SM_CXSCREEN);
  const int cy = ::GetSystemMetrics(SM_CYSCREEN);
  ss& o = bench::App().overlay;
  // The window exists from the first entry on (a second entry re-grabs the open overlay); the
  // first run creates it, the medians measure the entries after it.
  double ours = bench::MedianMicros(
      [&] {
        o.cmdScreen_Click();
        o.ShowOverlay();
        ::GdiFlush();
      },
      30);
  o.Unload();
  bench::PumpMessages();
  double fresh = bench::MedianMicros(
      [&] {
        o.cmdScreen_Click();
        o.ShowOverlay();
        ::GdiFlush();
        o.Unload();
        bench::PumpMessages();
      },
      15);

  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  HBITMAP bmp = ::CreateCompatibleBitmap(screen, cx, cy);
  HGDIOBJ old = ::SelectObject(mem, bmp);
  double plain = bench::MedianMicros(
      [&] {
        ::BitBlt(mem, 0, 0, cx, cy, screen, 0, 0, SRCCOPY);
        ::GdiFlush();
      },
      30);
  ::SelectObject(mem, old);
  ::DeleteObject(bmp);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);

  return {{"enter presentation mode (overlay open)", ours, plain, "full-screen BitBlt from the screen", ""},
           {"enter presentation mode (window created)", fresh, plain, "full-screen BitBlt from the screen",
            "includes creating and destroying the overlay window each time"}};
}

bench::Registrar reg("overlay.enter", EnterPresentationMode);

}  // namespace

namespace {

// One stroke segment of about 20 px drawn the way a mouse move draws it (into the off-screen
// surface and onto the screen), against a plain LineTo of the same segment on a window DC.
std::vector<bench::Result> StrokeSegment() {
  ss& o = bench::App().overlay;
  o.cmdScreen_Click();
  o.ShowOverlay();
  bench::PumpMessages();
  std::vector<bench::Result> results;
  const int reps = 2000;
  for (int width : {1, 10, 20}) {
    int i = 0;
    o.Picture1.PSet(100, 100, RGB(255, 0, 0), width);
    double ours = bench::MedianMicros(
        [&] {
          // Zig-zag over the screen so that segments do not repeat one spot.
          ++i;
          int x = 100 + (i * 16) % 1600;
          int y = 100 + (i * 12) % 800;
          o.Picture1.LineTo(x, y, RGB(255, 0, 0), width);
          ::GdiFlush();
        },
        reps);
    HDC dc = ::GetDC(o.Picture1.Hwnd());
    HPEN pen = ::CreatePen(PS_SOLID, width, RGB(0, 0, 255));
    HGDIOBJ oldPen = ::SelectObject(dc, pen);
    ::SetROP2(dc, R2_MASKPEN);
    int j = 0;
    ::MoveToEx(dc, 100, 100, nullptr);
    double plain = bench::MedianMicros(
        [&] {
          ++j;
          ::LineTo(dc, 100 + (j * 16) % 1600, 100 + (j * 12) % 800);
          ::GdiFlush();
        },
        reps);
    ::SelectObject(dc, oldPen);
    ::DeleteObject(pen);
    ::ReleaseDC(o.Picture1.Hwnd(), dc);
    char note[128];
    std::snprintf(note, sizeof note, "%.0f segments a second (target at width 20: 5000)", 1e6 / ours);
    results.push_back({"stroke segment, highlighter, width " + std::to_string(width), ours, plain,
                       "LineTo on a window DC", note});
  }

  // One eraser square of 32 px against a plain BitBlt of that square from the clean picture.
  o.Picture1.SetDrawMode(R2_COPYPEN);
  const base::Picture clean = o.Picture2.GetPicture();
  int k = 0;
  double ours = bench::MedianMicros(
      [&] {
        ++k;
        o.Picture1.CopyRectFrom(*clean, 100 + (k * 16) % 1600, 100 + (k * 12) % 800, 32, 32);
        ::GdiFlush();
      },
      reps);
  HDC dc = ::GetDC(o.Picture1.Hwnd());
  int m = 0;
  double plain = bench::MedianMicros(
      [&] {
        ++m;
        int x = 100 + (m * 16) % 1600, y = 100 + (m * 12) % 800;
        ::BitBlt(dc, x, y, 32, 32, clean->Dc(), x, y, SRCCOPY);
        ::GdiFlush();
      },
      reps);
  ::ReleaseDC(o.Picture1.Hwnd(), dc);
  results.push_back({"eraser square 32 px", ours, plain, "BitBlt of the square onto a window DC", ""});
  o.Unload();
  bench::PumpMessages();
  return results;
}

bench::Registrar regStroke("overlay.stroke", StrokeSegment);

}  // namespace

namespace {

// Where the time of an entry goes: creating the window and its controls, the grab, the show.
std::vector<bench::Result> EnterParts() {
  const int cx = ::GetSystemMetrics(SM_CXSCREEN);
  const int cy = ::GetSystemMetrics(SM_CYSCREEN);
  ss& o = bench::App().overlay;
  double create = bench::MedianMicros(
      [&] {
        o.Load();
        o.Unload();
        bench::PumpMessages();
      },
      15);
  o.Load();
  double grab = bench::MedianMicros([&] { o.cmdScreen_Click(); }, 15);
  double show = bench::MedianMicros(
      [&] {
        o.ShowOverlay();
        ::GdiFlush();
        ::ShowWindow(o.Hwnd(), SW_HIDE);
        bench::PumpMessages();
      },
      15);
  o.Unload();
  bench::PumpMessages();
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  HBITMAP bmp = ::CreateCompatibleBitmap(screen, cx, cy);
  HGDIOBJ old = ::SelectObject(mem, bmp);
  double plain = bench::MedianMicros([&] { ::BitBlt(mem, 0, 0, cx, cy, screen, 0, 0, SRCCOPY); ::GdiFlush(); }, 15);
  ::SelectObject(mem, old);
  ::DeleteObject(bmp);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  return {{"  part: create and destroy the window", create, plain, "full-screen BitBlt from the screen", ""},
          {"  part: grab into Picture1 and Picture2", grab, plain, "full-screen BitBlt from the screen", ""},
          {"  part: show, paint, hide", show, plain, "full-screen BitBlt from the screen", ""}};
}

bench::Registrar regParts("overlay.enter.parts", EnterParts);

}  // namespace
