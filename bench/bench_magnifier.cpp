// One magnifier tick at x3 (pointer position, screen DC taken and given back, the source rectangle,
// one StretchBlt into the view) against a plain StretchBlt of the same rectangles from a screen DC
// held open, and against the same copy with the DC taken and given back around it.
#include <windows.h>

#include <cstdio>

#include "bench.h"
#include "shell/start_up.h"
#include "magnifier/mag_geometry.h"
#include "magnifier/mag_win.h"

namespace {

std::vector<bench::Result> MagnifierTick() {
  const int cx = ::GetSystemMetrics(SM_CXSCREEN);
  const int cy = ::GetSystemMetrics(SM_CYSCREEN);
  magWin& m = bench::App().magnifier;
  m.zoomFactor = 3;
  m.ShowWindowModeless();
  bench::PumpMessages();
  ::SetCursorPos(cx / 2, cy / 2);

  double ours = bench::MedianMicros(
      [&] {
        m.Timer1_Timer();
        ::GdiFlush();
      },
      200, 10);

  POINT cursor{};
  ::GetCursorPos(&cursor);
  const magnifier::Point origin =
      magnifier::SourceOrigin({cursor.x, cursor.y}, {0, 0, cx, cy}, {m.grabWidth, m.grabHeight});
  HDC view = m.Picture1.OwnDc();
  HDC screen = ::GetDC(nullptr);
  double plain = bench::MedianMicros(
      [&] {
        ::StretchBlt(view, 0, 0, m.grabWidth * m.zoomFactor, m.grabHeight * m.zoomFactor, screen, origin.x, origin.y,
                     m.grabWidth, m.grabHeight, SRCCOPY);
        ::GdiFlush();
      },
      200, 10);
  ::ReleaseDC(nullptr, screen);
  // The same copy with the screen DC taken and given back around it, as the tick must: under Wine
  // each GetDC/ReleaseDC is a round trip to the server, which the held DC above does not pay.
  double plainWithDc = bench::MedianMicros(
      [&] {
        HWND desktop = ::GetDesktopWindow();
        HDC dc = ::GetDC(desktop);
        ::StretchBlt(view, 0, 0, m.grabWidth * m.zoomFactor, m.grabHeight * m.zoomFactor, dc, origin.x, origin.y,
                     m.grabWidth, m.grabHeight, SRCCOPY);
        ::ReleaseDC(desktop, dc);
        ::GdiFlush();
      },
      200, 10);

  char note[160];
  std::snprintf(note, sizeof note, "screen %dx%d, grab %dx%d -> %dx%d; target ratio <= 1.2 and under 5000 us", cx, cy,
                m.grabWidth, m.grabHeight, m.grabWidth * m.zoomFactor, m.grabHeight * m.zoomFactor);
  m.UnloadWindow();
  bench::PumpMessages();
  return {{"magnifier tick at x3", ours, plain, "StretchBlt of the same rectangles", note},
          {"magnifier tick at x3 (DC per copy)", ours, plainWithDc,
           "GetDC + StretchBlt of the same rectangles + ReleaseDC", ""}};
}

bench::Registrar reg("magnifier.tick", MagnifierTick);

}  // namespace
