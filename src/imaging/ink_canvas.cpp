#include "imaging/ink_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace imaging {

namespace {

// x / 255 rounded to the nearest, for x up to 255 * 255 (255 is odd: no halves).
constexpr uint32_t Div255(uint32_t x) { return (x + 127) / 255; }

// A long line is drawn in pieces of at most this length, so that the box each piece is
// rasterized in stays thin along a diagonal. Together the pieces cover exactly what the whole
// line covers: each is part of it, and each pixel keeps the largest coverage.
constexpr double kPieceLength = 32;

uint8_t CoverageByte(double cover) {
  if (cover <= 0) return 0;
  if (cover >= 1) return 255;
  return static_cast<uint8_t>(std::lround(cover * 255));
}

}  // namespace

uint32_t Premultiply(uint32_t rgb, uint8_t alpha) {
  const uint32_t r = Div255(((rgb >> 16) & 0xFF) * alpha);
  const uint32_t g = Div255(((rgb >> 8) & 0xFF) * alpha);
  const uint32_t b = Div255((rgb & 0xFF) * alpha);
  return (static_cast<uint32_t>(alpha) << 24) | (r << 16) | (g << 8) | b;
}

uint32_t InkOver(uint32_t ink, uint8_t coverage, uint32_t beneath) {
  uint32_t out = 0;
  const uint32_t sourceAlpha = Div255((ink >> 24) * coverage);
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t source = shift == 24 ? sourceAlpha : Div255(((ink >> shift) & 0xFF) * coverage);
    const uint32_t under = (beneath >> shift) & 0xFF;
    out |= std::min<uint32_t>(255, source + Div255(under * (255 - sourceAlpha))) << shift;
  }
  return out;
}

// --- The canvas --------------------------------------------------------------------------------

bool InkCanvas::Create(int width, int height) {
  Free();
  if (width <= 0 || height <= 0) return false;
  const size_t count = static_cast<size_t>(width) * height;
  pixels_.reset(new (std::nothrow) uint32_t[count]());
  coverage_.reset(new (std::nothrow) uint8_t[count]());
  if (!pixels_ || !coverage_) {
    Free();
    return false;
  }
  width_ = width;
  height_ = height;
  tileColumns_ = (width + kTile - 1) / kTile;
  markTileFlags_.assign(static_cast<size_t>(tileColumns_) * ((height + kTile - 1) / kTile), 0);
  markTiles_.clear();
  markTiles_.reserve(markTileFlags_.size());
  recorder_.Attach(PixelBuffer{pixels_.get(), width, height, static_cast<size_t>(width)});
  return true;
}

void InkCanvas::Free() {
  recorder_.Detach();
  // The recorder keeps its copy's memory for a buffer of the same size: this one gives it back.
  recorder_.FreeCopy();
  pixels_.reset();
  coverage_.reset();
  markTileFlags_.clear();
  markTiles_.clear();
  markOpen_ = false;
  width_ = height_ = tileColumns_ = 0;
}

bool InkCanvas::HasInk() const {
  const size_t count = static_cast<size_t>(width_) * height_;
  for (size_t i = 0; i < count; ++i) {
    if (pixels_[i] != 0) return true;
  }
  return false;
}

PixelRect InkCanvas::Clip(const PixelRect& area) const {
  return {std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, width_), std::min(area.bottom, height_)};
}

// --- Changes --------------------------------------------------------------------------------------

bool InkCanvas::BeginChange() {
  if (markOpen_) EndMark();
  changeMarked_ = false;
  return Ready() && recorder_.Begin();
}

TileChange InkCanvas::EndChange() {
  if (markOpen_) EndMark();
  return recorder_.End();
}

void InkCanvas::CancelChange() {
  if (markOpen_) {
    ForgetMarkTiles(false);
    markOpen_ = false;
  }
  recorder_.Cancel();
}

PixelRect InkCanvas::Swap(TileChange& change) {
  if (markOpen_) EndMark();
  recorder_.Drop();
  if (!change.SwapWith(PixelBuffer{pixels_.get(), width_, height_, static_cast<size_t>(width_)})) return {};
  recorder_.Invalidate(change);
  return change.Bounds();
}

// --- Marks ----------------------------------------------------------------------------------------

bool InkCanvas::BeginMark(uint32_t premultipliedInk) {
  if (!recorder_.Open() || markOpen_ || changeMarked_) return false;
  markOpen_ = changeMarked_ = true;
  ink_ = premultipliedInk;
  return true;
}

void InkCanvas::NoteMarkTiles(const PixelRect& area) {
  for (int row = area.top / kTile; row <= (area.bottom - 1) / kTile; ++row) {
    for (int col = area.left / kTile; col <= (area.right - 1) / kTile; ++col) {
      const size_t index = static_cast<size_t>(row) * tileColumns_ + col;
      if (markTileFlags_[index]) continue;
      markTileFlags_[index] = 1;
      markTiles_.push_back(static_cast<uint32_t>(index));
    }
  }
}

template <typename Cover>
PixelRect InkCanvas::Rasterize(const PixelRect& wanted, Cover&& cover) {
  const PixelRect area = Clip(wanted);
  if (!markOpen_ || area.Empty()) return {};
  // The recorder's copy of these tiles now holds their pixels from before the change, which is
  // from before the mark: every pixel is blended over that, once.
  recorder_.Touch(area);
  NoteMarkTiles(area);
  const PixelBuffer before = recorder_.Before();
  PixelRect changed;
  for (int y = area.top; y < area.bottom; ++y) {
    const size_t row = static_cast<size_t>(y) * width_;
    int first = -1, last = -1;
    for (int x = area.left; x < area.right; ++x) {
      const uint8_t c = cover(x, y);
      uint8_t& kept = coverage_[row + x];
      if (c <= kept) continue;
      kept = c;
      pixels_[row + x] = InkOver(ink_, c, before.pixels[static_cast<size_t>(y) * before.stride + x]);
      if (first < 0) first = x;
      last = x;
    }
    if (first >= 0) changed = base::Union(changed, {first, y, last + 1, y + 1});
  }
  return changed;
}

PixelRect InkCanvas::AddDot(InkPoint centre, double width) { return AddSegment(centre, centre, width); }

PixelRect InkCanvas::AddSegment(InkPoint a, InkPoint b, double width) {
  const double radius = std::max(width, 1.0) / 2;
  const double reach = radius + 0.5;  // where the coverage falls to nothing
  const double length = std::hypot(b.x - a.x, b.y - a.y);
  const int pieces = std::max(1, static_cast<int>(std::ceil(length / kPieceLength)));
  PixelRect changed;
  InkPoint from = a;
  for (int i = 1; i <= pieces; ++i) {
    const InkPoint to{a.x + (b.x - a.x) * i / pieces, a.y + (b.y - a.y) * i / pieces};
    const double dx = to.x - from.x, dy = to.y - from.y;
    const double lengthSquared = dx * dx + dy * dy;
    const PixelRect box{static_cast<int>(std::floor(std::min(from.x, to.x) - reach)),
                        static_cast<int>(std::floor(std::min(from.y, to.y) - reach)),
                        static_cast<int>(std::ceil(std::max(from.x, to.x) + reach)) + 1,
                        static_cast<int>(std::ceil(std::max(from.y, to.y) + reach)) + 1};
    changed = base::Union(changed, Rasterize(box, [&](int x, int y) {
      double t = lengthSquared > 0 ? ((x - from.x) * dx + (y - from.y) * dy) / lengthSquared : 0;
      t = std::clamp(t, 0.0, 1.0);
      const double ex = x - (from.x + t * dx), ey = y - (from.y + t * dy);
      const double distanceSquared = ex * ex + ey * ey;
      if (distanceSquared >= reach * reach) return uint8_t{0};
      return CoverageByte(reach - std::sqrt(distanceSquared));
    }));
    from = to;
  }
  return changed;
}

PixelRect InkCanvas::AddTriangle(const std::array<InkPoint, 3>& p) {
  const double area2 = (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[2].x - p[0].x) * (p[1].y - p[0].y);
  if (std::abs(area2) < 1e-9) return {};
  // Each edge's outward unit normal and offset: the signed distance of a point to the edge's line
  // is n . point - offset, positive outside. Inside the triangle all three are negative.
  struct Edge {
    double nx, ny, offset;
  };
  std::array<Edge, 3> edges{};
  const double turn = area2 > 0 ? 1 : -1;
  for (int i = 0; i < 3; ++i) {
    const InkPoint& a = p[i];
    const InkPoint& b = p[(i + 1) % 3];
    double nx = (b.y - a.y) * turn, ny = -(b.x - a.x) * turn;
    const double len = std::hypot(nx, ny);
    nx /= len;
    ny /= len;
    edges[i] = {nx, ny, nx * a.x + ny * a.y};
  }
  const double left = std::min({p[0].x, p[1].x, p[2].x}), right = std::max({p[0].x, p[1].x, p[2].x});
  const double top = std::min({p[0].y, p[1].y, p[2].y}), bottom = std::max({p[0].y, p[1].y, p[2].y});
  const PixelRect box{static_cast<int>(std::floor(left)) - 1, static_cast<int>(std::floor(top)) - 1,
                      static_cast<int>(std::ceil(right)) + 2, static_cast<int>(std::ceil(bottom)) + 2};
  return Rasterize(box, [&](int x, int y) {
    double outside = -1e9;
    for (const Edge& e : edges) outside = std::max(outside, e.nx * x + e.ny * y - e.offset);
    return CoverageByte(0.5 - outside);
  });
}

PixelRect InkCanvas::ForgetMarkTiles(bool restore) {
  const PixelBuffer before = recorder_.Before();
  PixelRect restored;
  for (uint32_t index : markTiles_) {
    markTileFlags_[index] = 0;
    const int left = static_cast<int>(index % tileColumns_) * kTile;
    const int top = static_cast<int>(index / tileColumns_) * kTile;
    const PixelRect tile = Clip({left, top, left + kTile, top + kTile});
    for (int y = tile.top; y < tile.bottom; ++y) {
      const size_t row = static_cast<size_t>(y) * width_;
      for (int x = tile.left; x < tile.right; ++x) {
        uint8_t& kept = coverage_[row + x];
        if (!kept) continue;
        kept = 0;
        if (restore && before.pixels) {
          pixels_[row + x] = before.pixels[static_cast<size_t>(y) * before.stride + x];
          restored = base::Union(restored, {x, y, x + 1, y + 1});
        }
      }
    }
  }
  markTiles_.clear();
  return restored;
}

PixelRect InkCanvas::TakeBackMark() {
  if (!markOpen_) return {};
  // The change is back where it began: the mark may begin again, in another ink.
  markOpen_ = changeMarked_ = false;
  return ForgetMarkTiles(true);
}

void InkCanvas::EndMark() {
  if (!markOpen_) return;
  ForgetMarkTiles(false);
  markOpen_ = false;
}

// --- Erasing -----------------------------------------------------------------------------------------

PixelRect InkCanvas::Erase(const PixelRect& wanted) {
  const PixelRect area = Clip(wanted);
  if (area.Empty() || !Ready()) return {};
  recorder_.Touch(area);
  for (int y = area.top; y < area.bottom; ++y) {
    std::memset(&pixels_[static_cast<size_t>(y) * width_ + area.left], 0,
                static_cast<size_t>(area.right - area.left) * sizeof(uint32_t));
  }
  return area;
}

PixelRect InkCanvas::EraseAll() { return Erase(Bounds()); }

// --- What the window shows -----------------------------------------------------------------------------

void CopyForLayer(const InkCanvas& canvas, const PixelBuffer& to, const PixelRect& wanted, uint8_t floorAlpha) {
  if (!canvas.Ready() || !to.pixels || to.width != canvas.Width() || to.height != canvas.Height()) return;
  const PixelRect area{std::max(wanted.left, 0), std::max(wanted.top, 0), std::min(wanted.right, canvas.Width()),
                       std::min(wanted.bottom, canvas.Height())};
  if (area.Empty()) return;
  const uint32_t floor = static_cast<uint32_t>(floorAlpha) << 24;
  const uint32_t* from = canvas.Pixels();
  for (int y = area.top; y < area.bottom; ++y) {
    const uint32_t* in = from + static_cast<size_t>(y) * canvas.Width();
    uint32_t* out = to.pixels + static_cast<size_t>(y) * to.stride;
    for (int x = area.left; x < area.right; ++x) {
      const uint32_t v = in[x];
      out[x] = (v >> 24) >= floorAlpha ? v : floor;
    }
  }
}

}  // namespace imaging
