#include "forms/fonts.h"

#include <cmath>

namespace forms {

int FontHeightForPoints(double points) {
  HDC screen = ::GetDC(nullptr);
  int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  if (dpi <= 0) dpi = 96;
  return -static_cast<int>(std::lround(points * dpi / 72.0));
}

UniqueFont CreatePointFont(const std::wstring& face, double points, int weight, bool italic) {
  LOGFONTW lf{};
  lf.lfHeight = FontHeightForPoints(points);
  lf.lfWeight = weight;
  lf.lfItalic = italic ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
  return UniqueFont(::CreateFontIndirectW(&lf));
}

}  // namespace forms
