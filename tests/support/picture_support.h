// What the tests of pictures and picture commands share: pictures painted with a known pattern,
// a picture read back as pixels, and the error number a command raised. Header-only, since only
// the tests that link the forms library include it.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "base/dib.h"
#include "base/error.h"
#include "base/picture.h"
#include "support/test_support.h"

namespace testing_support {

// A screen-compatible picture painted with PatternColor, the pattern moved by (-dx, -dy), so a
// moved one differs from the pattern on the screen.
inline base::Picture PatternPicture(int w, int h, int dx = 0, int dy = 0) {
  std::vector<uint32_t> px(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px[static_cast<size_t>(y) * w + x] = PatternWindow::PatternColor(x + dx, y + dy);
  const BITMAPINFO bi = base::TopDownDib32(w, h);
  HDC screen = ::GetDC(nullptr);
  HBITMAP bmp = ::CreateCompatibleBitmap(screen, w, h);
  ::SetDIBits(screen, bmp, 0, h, px.data(), &bi, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, screen);
  return std::make_shared<base::PictureObject>(bmp, nullptr);
}

inline ScreenImage PictureImage(const base::Picture& p) {
  return CaptureDc(p->Dc(), 0, 0, p->WidthPixels(), p->HeightPixels());
}

// The number of the AppError that `fn` raised; 0 when it raised none.
inline int ErrorNumberOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const base::AppError& e) {
    return e.Number();
  }
  return 0;
}

}  // namespace testing_support
