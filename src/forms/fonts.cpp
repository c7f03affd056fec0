#include "forms/fonts.h"

namespace forms {

base::unique_hfont CreatePointFont(const std::wstring& face, double points, int weight, bool italic, int dpi) {
  LOGFONTW lf{};
  lf.lfHeight = -base::PixelsFromPoints(points, dpi);  // negative: the character height
  lf.lfWeight = weight;
  lf.lfItalic = italic ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
  return base::unique_hfont(::CreateFontIndirectW(&lf));
}

}  // namespace forms
