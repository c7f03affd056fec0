// Steps of a presenter that the overlay tests share, each waiting for what the presenter would
// see before going on.
#pragma once

#include "overlay/ss.h"
#include "settings/app_settings.h"
#include "support/test_app.h"
#include "support/test_support.h"

namespace testing_support {

// The pen colour (0x00BBGGRR), pen width and eraser size the presenter chose last, as the
// settings hold them.
inline void ChoosePen(COLORREF color, int16_t brushwidth, int16_t erasersize) {
  App().AppSettings.color = static_cast<int32_t>(color);
  App().AppSettings.brushwidth = brushwidth;
  App().AppSettings.erasersize = erasersize;
}

// The overlay is on screen and shows its picture there (sampled at the corners and the middle).
inline bool OverlayShowsItsPicture() {
  ss& o = App().overlay;
  const base::Picture& picture = o.Picture1.GetPicture();
  if (!o.IsVisible() || !picture) return false;
  RECT rc{};
  ::GetWindowRect(o.Picture1.Hwnd(), &rc);
  const int w = picture->WidthPixels(), h = picture->HeightPixels();
  const POINT samples[] = {{0, 0}, {w / 2, h / 2}, {w - 1, h - 1}, {w / 3, h - 1}};
  for (const POINT& p : samples) {
    const uint32_t want = Rgb(::GetPixel(picture->Dc(), p.x, p.y));
    if (CaptureScreenRect(rc.left + p.x, rc.top + p.y, 1, 1).pixels.at(0) != want) return false;
  }
  return true;
}

// The overlay can be drawn on and typed into: in front, the surface focused and the window at the
// middle of its monitor.
inline bool OverlayInFront() {
  ss& o = App().overlay;
  RECT rc{};
  ::GetWindowRect(o.Hwnd(), &rc);
  const POINT centre{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  return ::GetForegroundWindow() == o.Hwnd() && ::GetFocus() == o.Picture1.Hwnd() &&
         ::WindowFromPoint(centre) == o.Picture1.Hwnd();
}

// Ctrl+Shift+Z's two steps, then the wait until the overlay is in front and shows its picture.
inline void EnterPresentationMode() {
  App().overlay.cmdScreen_Click();
  App().overlay.ShowOverlay();
  PumpUntil([] { return OverlayShowsItsPicture() && OverlayInFront(); }, 5000);
}

inline void PressEsc() {
  short key = 27;
  App().overlay.Picture1_KeyPress(key);
  PumpUntil([] { return !App().overlay.IsVisible(); }, 5000);
}

}  // namespace testing_support
