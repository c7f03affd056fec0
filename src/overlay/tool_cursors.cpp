#include "overlay/tool_cursors.h"

#include <cmath>
#include <cstdlib>
#include <optional>

#include "base/dpi.h"
#include "overlay/pen_geometry.h"

namespace overlay {

namespace {

constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t Opaque(uint32_t rgb) { return 0xFF000000 | rgb; }

// A tool lying on the diagonal from its tip (lower left) towards the upper right. In the 32-pixel
// layout, a is the distance along the tool (0 at the tip, +2 per diagonal step) and c the distance
// across it; `halfWidth(a)` gives the tool's half-width in c, or nothing beyond its end, and
// `colour(a, c)` paints the inside. Pixels whose 4-neighbour lies outside are the outline.
template <typename HalfWidth, typename Colour>
void DrawDiagonalTool(std::vector<uint32_t>& px, int size, PointI tip, HalfWidth halfWidth, Colour colour) {
  const double k = static_cast<double>(size) / kBaseCursorSize;
  auto inside = [&](int a, int c) {
    if (a < 0) return false;
    const std::optional<double> hw = halfWidth(a / k);
    return hw && std::abs(c) <= *hw * k;
  };
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const int a = (x - tip.x) - (y - tip.y);
      const int c = (x - tip.x) + (y - tip.y);
      if (!inside(a, c)) continue;
      const bool edge = !(inside(a + 1, c + 1) && inside(a + 1, c - 1) && inside(a - 1, c + 1) && inside(a - 1, c - 1));
      px[static_cast<size_t>(y) * size + x] = colour(a / k, c, edge);
    }
  }
}

void DrawHighlighter(std::vector<uint32_t>& px, int size) {
  // Chisel nib (a 0..7), collar (8..11), barrel (12..40), cap end (41..42).
  auto halfWidth = [](double a) -> std::optional<double> {
    if (a <= 7) return std::min(a, 3.0);
    if (a <= 11) return 4.0;
    if (a <= 40) return 5.0;
    if (a <= 42) return 4.0;
    return std::nullopt;
  };
  const int highlightLine = ScaleToCursor(-3, size);
  auto colour = [highlightLine](double a, int c, bool edge) {
    if (a <= 1) return Opaque(0xEB9600);  // the felt tip that touches the screen
    if (edge) return kBlack;
    if (a <= 7) return Opaque(0xFFC800);  // nib
    if (a <= 11) return Opaque(0x5A5A60);  // collar
    if (a >= 34) return Opaque(0x3C3C42);  // cap end
    if (c == highlightLine) return kWhite;  // highlight along the barrel
    return Opaque(0xFFE23C);                // barrel
  };
  DrawDiagonalTool(px, size, ToolTip(false, size), halfWidth, colour);
}

void DrawPen(std::vector<uint32_t>& px, int size) {
  // Ink point (a 0..1), conical nib (2..9), grip (10..17), barrel (18..44), end (45..46).
  auto halfWidth = [](double a) -> std::optional<double> {
    if (a <= 9) return std::floor((a + 1) / 3);
    if (a <= 44) return 3.0;
    if (a <= 46) return 2.0;
    return std::nullopt;
  };
  const int highlightLine = ScaleToCursor(-1, size);
  auto colour = [highlightLine](double a, int c, bool edge) {
    if (a <= 2) return Opaque(0xDC1E1E);  // ink at the point
    if (edge) return kBlack;
    if (a <= 9) return Opaque(0xE1E1E6);   // metal nib
    if (a <= 17) return Opaque(0x464650);  // grip
    if (c == highlightLine) return Opaque(0xAAC8FF);  // highlight along the barrel
    return Opaque(0x285AC8);                           // barrel
  };
  DrawDiagonalTool(px, size, ToolTip(true, size), halfWidth, colour);
}

// A black outline on exactly the square, a white line just inside it.
void DrawEraser(std::vector<uint32_t>& px, int size, RectI r) {
  for (int y = r.top; y <= r.bottom; ++y) {
    for (int x = r.left; x <= r.right; ++x) {
      uint32_t colour = 0;
      if (x == r.left || x == r.right || y == r.top || y == r.bottom) {
        colour = kBlack;
      } else if (x == r.left + 1 || x == r.right - 1 || y == r.top + 1 || y == r.bottom - 1) {
        colour = kWhite;
      }
      if (colour && x >= 0 && y >= 0 && x < size && y < size) px[static_cast<size_t>(y) * size + x] = colour;
    }
  }
}

}  // namespace

int CursorSizeForDpi(int dpi) {
  const int size = ::GetSystemMetricsForDpi(SM_CXCURSOR, static_cast<UINT>(dpi));
  return size >= kBaseCursorSize ? size : kBaseCursorSize;
}

std::vector<uint32_t> ToolCursorPixels(CursorKind kind, int size) {
  std::vector<uint32_t> px(static_cast<size_t>(size) * size, 0);
  switch (kind) {
    case CursorKind::Highlighter: DrawHighlighter(px, size); break;
    case CursorKind::Pen: DrawPen(px, size); break;
    case CursorKind::Eraser8: DrawEraser(px, size, EraserOutline(8, size)); break;
    case CursorKind::Eraser16: DrawEraser(px, size, EraserOutline(16, size)); break;
    case CursorKind::Eraser24: DrawEraser(px, size, EraserOutline(24, size)); break;
    case CursorKind::Eraser32: DrawEraser(px, size, EraserOutline(32, size)); break;
  }
  return px;
}

base::unique_hcursor MakeToolCursor(CursorKind kind, int size) {
  const std::vector<uint32_t> px = ToolCursorPixels(kind, size);
  BITMAPV5HEADER header{};
  header.bV5Size = sizeof header;
  header.bV5Width = size;
  header.bV5Height = -size;  // top-down
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_BITFIELDS;
  header.bV5RedMask = 0x00FF0000;
  header.bV5GreenMask = 0x0000FF00;
  header.bV5BlueMask = 0x000000FF;
  header.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  base::WindowDc screen(nullptr);
  base::unique_hbitmap colour(::CreateDIBSection(screen.Get(), reinterpret_cast<BITMAPINFO*>(&header),
                                                 DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!colour || !bits) return {};
  std::copy(px.begin(), px.end(), static_cast<uint32_t*>(bits));

  // The AND mask: set where the image is transparent, so the screen shows through there.
  const int stride = ((size + 15) / 16) * 2;
  std::vector<uint8_t> mask(static_cast<size_t>(stride) * size, 0);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      if ((px[static_cast<size_t>(y) * size + x] >> 24) == 0) mask[static_cast<size_t>(y) * stride + x / 8] |= 0x80 >> (x % 8);
    }
  }
  base::unique_hbitmap andMask(::CreateBitmap(size, size, 1, 1, mask.data()));
  if (!andMask) return {};

  const PointI hot = HotSpot(size);
  ICONINFO info{};
  info.fIcon = FALSE;
  info.xHotspot = static_cast<DWORD>(hot.x);
  info.yHotspot = static_cast<DWORD>(hot.y);
  info.hbmMask = andMask.Get();
  info.hbmColor = colour.Get();
  // The cursor gets copies of both bitmaps; ours go when we return.
  return base::unique_hcursor(static_cast<HCURSOR>(::CreateIconIndirect(&info)));
}

CursorKind EraserCursorFor(int16_t size) {
  switch (size) {
    case 8: return CursorKind::Eraser8;
    case 16: return CursorKind::Eraser16;
    case 24: return CursorKind::Eraser24;
    default: return CursorKind::Eraser32;
  }
}

int CursorImageSize(HCURSOR cursor) {
  ICONINFO info{};
  if (!cursor || !::GetIconInfo(cursor, &info)) return 0;
  // GetIconInfo hands out copies of both bitmaps.
  base::unique_hbitmap colour(info.hbmColor);
  base::unique_hbitmap mask(info.hbmMask);
  BITMAP bm{};
  if (!::GetObjectW(mask.Get(), sizeof bm, &bm)) return 0;
  return bm.bmWidth;
}

void ToolCursorSet::Make(int size) {
  if (size == size_) return;
  for (size_t i = 0; i < cursors_.size(); ++i) cursors_[i] = MakeToolCursor(static_cast<CursorKind>(i), size);
  size_ = size;
}

HCURSOR ToolCursorImage(const CursorSource& source, ToolCursorSet& own, HWND window, CursorKind kind) {
  if (source) {
    if (HCURSOR c = source(kind)) return c;
  }
  own.Make(CursorSizeForDpi(base::DpiForWindow(window)));
  return own.Get(kind);
}

}  // namespace overlay
