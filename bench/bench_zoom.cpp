// The wheel's zoom: a notch until the new view is on the window, and a pan step (a pointer move
// while zoomed) until the moved view is, each against a plain StretchBlt of the same rectangle
// onto the same window from a memory copy of the picture, timed in turn in the same loop so that
// both meet the same load. Median and slowest of each; the target is one frame at 60 Hz (16 ms)
// and no more than 1.5 times the plain stretch.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench.h"
#include "overlay/ss.h"
#include "shell/start_up.h"

namespace {

struct Samples {
  std::vector<double> micros;
  double Median() {
    std::sort(micros.begin(), micros.end());
    return micros[micros.size() / 2];
  }
  double Max() const { return *std::max_element(micros.begin(), micros.end()); }
};

template <typename F>
double Time(F&& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  ::GdiFlush();
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
}

// The plain operation: the view's rectangle of the picture stretched over the window.
class PlainStretch {
 public:
  PlainStretch(HWND window, HDC picture, int mode = COLORONCOLOR)
      : window_(window), dc_(::GetDC(window)), picture_(picture), mode_(mode) {}
  ~PlainStretch() { ::ReleaseDC(window_, dc_); }
  void Draw(const base::PixelRect& s, int width, int height) const {
    // The window's DC is its own (CS_OWNDC) and shared by every GetDC: the mode is set each time.
    ::SetStretchBltMode(dc_, mode_);
    // HALFTONE wants the brush origin set after the mode (as StretchBlt's documentation says).
    if (mode_ == HALFTONE) ::SetBrushOrgEx(dc_, 0, 0, nullptr);
    ::StretchBlt(dc_, 0, 0, width, height, picture_, s.left, s.top, s.right - s.left, s.bottom - s.top, SRCCOPY);
  }

 private:
  HWND window_;
  HDC dc_;
  HDC picture_;
  int mode_;
};

bench::Result Report(const std::string& name, Samples& ours, Samples& plain) {
  const double oursMedian = ours.Median(), plainMedian = plain.Median();
  char note[200];
  std::snprintf(note, sizeof note, "slowest %.1f ms against %.1f ms; median %.2f ms (target 16 ms, ratio 1.5)",
                ours.Max() / 1000, plain.Max() / 1000, oursMedian / 1000);
  return {name, oursMedian, plainMedian, "StretchBlt of the same rectangle onto the window", note};
}

std::vector<bench::Result> Zoom() {
  ss& o = bench::App().overlay;
  o.cmdScreen_Click();
  o.ShowOverlay();
  bench::PumpMessages();
  const int w = o.Picture1.Width(), h = o.Picture1.Height();
  const base::Picture& picture = o.Picture1.GetPicture();
  PlainStretch plain(o.Picture1.Hwnd(), picture->Dc());
  ::SetCursorPos(w / 2, h / 2);

  // Notches up to x8 and back down, over and over.
  Samples notchOurs, notchPlain;
  int direction = 1;
  for (int i = 0; i < 400; ++i) {
    if (o.Picture1.Zoom() >= 8.0) direction = -1;
    if (!o.Zoomed() && direction < 0) direction = 1;
    // The wheel's own path: the notch arrives with the pointer's place.
    notchOurs.micros.push_back(Time([&] {
      o.Picture1_MouseWheel(direction * WHEEL_DELTA, 0, static_cast<float>(w / 2), static_cast<float>(h / 2));
    }));
    const base::PixelRect shown = o.Picture1.View().Source();
    notchPlain.micros.push_back(Time([&] { plain.Draw(shown, w, h); }));
    bench::PumpMessages();
  }
  std::vector<bench::Result> results{Report("wheel notch, view painted", notchOurs, notchPlain)};

  // Pan steps: the pointer sweeps the screen in 8-pixel steps at about x1.6 and about x4.
  for (int notches : {2, 6}) {
    o.ActualSize();
    o.ZoomBy(notches);
    Samples ours, plainPan;
    for (int i = 0; i < 400; ++i) {
      const float x = static_cast<float>((i * 8) % w);
      const float y = static_cast<float>((i * 5) % h);
      ours.micros.push_back(Time([&] { o.Picture1_MouseMove(0, 0, x, y); }));
      const base::PixelRect shown = o.Picture1.View().Source();
      plainPan.micros.push_back(Time([&] { plain.Draw(shown, w, h); }));
      bench::PumpMessages();
    }
    char name[80];
    std::snprintf(name, sizeof name, "pan step at x%.2f, view painted", o.Picture1.Zoom());
    results.push_back(Report(name, ours, plainPan));
  }

  // A pan step with a text label in view: the view paints the label itself.
  o.ActualSize();
  o.ArmTextPlacement();
  o.Picture1_MouseUp(1, 0, static_cast<float>(w / 2), static_cast<float>(h / 2));
  o.txtEdit.SetText(L"A label in the view");
  short ctrl = VK_CONTROL, c = 'C';
  o.txtEdit_KeyDown(ctrl, 0);
  o.txtEdit_KeyUp(c, 0);
  bench::PumpMessages();
  o.ZoomBy(2);
  Samples labelOurs, labelPlain;
  for (int i = 0; i < 400; ++i) {
    // Around the middle, so that the label stays in view.
    const float x = static_cast<float>(w / 2 - 200 + (i * 8) % 400);
    const float y = static_cast<float>(h / 2 - 100 + (i * 5) % 200);
    labelOurs.micros.push_back(Time([&] { o.Picture1_MouseMove(0, 0, x, y); }));
    const base::PixelRect shown = o.Picture1.View().Source();
    labelPlain.micros.push_back(Time([&] { plain.Draw(shown, w, h); }));
    bench::PumpMessages();
  }
  results.push_back(Report("pan step with a label in view", labelOurs, labelPlain));

  // The filter not taken: the same view's stretch with HALFTONE's smoothing against the nearest
  // pixel, fewer times (it is the slow one).
  {
    PlainStretch halftone(o.Picture1.Hwnd(), picture->Dc(), HALFTONE);
    Samples smooth, nearest;
    for (int i = 0; i < 40; ++i) {
      const base::PixelRect shown = o.Picture1.View().Source();
      smooth.micros.push_back(Time([&] { halftone.Draw(shown, w, h); }));
      nearest.micros.push_back(Time([&] { plain.Draw(shown, w, h); }));
    }
    results.push_back(Report("HALFTONE stretch of the view (not used)", smooth, nearest));
  }
  o.Unload();
  bench::PumpMessages();
  return results;
}

bench::Registrar reg("overlay.zoom", Zoom);

}  // namespace
