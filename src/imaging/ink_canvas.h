// Ink for a layer that the system blends over whatever lies beneath it: 32-bit premultiplied
// pixels (0xAARRGGBB, each colour byte already multiplied by alpha / 255, the form a layered
// window's UpdateLayeredWindow takes with AC_SRC_ALPHA), transparent (0) where nothing is drawn.
//
// Ink is anti-aliased: a pixel takes the share of itself that the shape covers, measured at its
// centre with a ramp one pixel wide across the edge, so a line one pixel wide on whole
// coordinates is exactly one pixel wide and a slanted one is smooth. Pixel coordinates are pixel
// centres.
//
// A mark is one stroke or one shape, of one colour. Within a mark each pixel keeps the largest
// coverage any of its parts gave it, blended once over what the pixel was before the mark: the
// joints of a stroke and the crossings of an outline are no darker than the rest, which matters
// for ink that is not opaque (a highlighter at half alpha). Everything drawn is recorded for undo
// (imaging/surface_tiles.h): a mark needs an open change of its own, and the pixels before the mark
// are the recorder's copy of them from before the change.
//
// Plain memory, no window: the live-drawing window copies the pixels into its DIB section.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/pixel_rect.h"
#include "imaging/surface_tiles.h"

namespace imaging {

// 0x00RRGGBB at `alpha`, premultiplied, rounded to the nearest.
uint32_t Premultiply(uint32_t rgb, uint8_t alpha);
// `ink` (premultiplied) at `coverage` / 255 over `beneath` (premultiplied): the source-over
// operator, rounded to the nearest in every byte.
uint32_t InkOver(uint32_t ink, uint8_t coverage, uint32_t beneath);

struct InkPoint {
  double x = 0;
  double y = 0;
};

class InkCanvas {
 public:
  // A canvas of width x height, transparent. False (and nothing held) when the size is not
  // positive or the memory cannot be had.
  bool Create(int width, int height);
  void Free();
  bool Ready() const { return pixels_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  const uint32_t* Pixels() const { return pixels_.get(); }
  uint32_t At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  PixelRect Bounds() const { return {0, 0, width_, height_}; }
  // Any pixel that is not transparent.
  bool HasInk() const;

  // --- One change at a time, for undo ---------------------------------------------------------
  bool BeginChange();
  bool ChangeOpen() const { return recorder_.Open(); }
  // What the change overwrote; empty when no pixel changed. An open mark ends first.
  TileChange EndChange();
  // Puts back everything the open change drew and ends it.
  void CancelChange();
  // Exchanges a recorded change with the canvas (undo, redo): the area that changed, empty when
  // the change does not fit this canvas. An open change ends unrecorded first.
  PixelRect Swap(TileChange& change);

  // --- A mark, inside an open change ----------------------------------------------------------
  // False without an open change, or when the change holds a mark already (one that was taken
  // back leaves it free again).
  bool BeginMark(uint32_t premultipliedInk);
  bool MarkOpen() const { return markOpen_; }
  // Each returns the area whose pixels may have changed (clipped to the canvas).
  // A round dot of diameter `width` centred on `centre`.
  PixelRect AddDot(InkPoint centre, double width);
  // A line `width` wide with round ends.
  PixelRect AddSegment(InkPoint a, InkPoint b, double width);
  // A filled triangle.
  PixelRect AddTriangle(const std::array<InkPoint, 3>& corners);
  // Every pixel the mark changed goes back to what it was and the mark ends: the change is as it
  // began, and a mark may begin in it again (an outline that follows the pointer is drawn anew at
  // each move).
  PixelRect TakeBackMark();
  void EndMark();

  // --- Erasing (transparent again), in a change or not ------------------------------------------
  PixelRect Erase(const PixelRect& area);
  PixelRect EraseAll();

 private:
  static constexpr int kTile = TileChange::kTileSize;
  PixelRect Clip(const PixelRect& area) const;
  // Writes the coverage `cover(x, y)` (0 to 255) of the mark's new part over `area`.
  template <typename Cover>
  PixelRect Rasterize(const PixelRect& area, Cover&& cover);
  void NoteMarkTiles(const PixelRect& area);
  PixelRect ForgetMarkTiles(bool restore);

  int width_ = 0;
  int height_ = 0;
  std::unique_ptr<uint32_t[]> pixels_;
  TileRecorder recorder_;
  // The open mark: its ink, each pixel's coverage so far (0 outside a mark), and the tiles it
  // touched since it began or was taken back.
  bool markOpen_ = false;
  bool changeMarked_ = false;  // the open change holds a mark
  uint32_t ink_ = 0;
  std::unique_ptr<uint8_t[]> coverage_;
  int tileColumns_ = 0;
  std::vector<uint8_t> markTileFlags_;
  std::vector<uint32_t> markTiles_;
};

// The pixels a layered window shows for the canvas over `area`, into `to` (the window's DIB
// section, the canvas's size): the ink as it is, and `floorAlpha` black where there is none. A
// floor of 1 is invisible (it changes what lies beneath by at most one level of 255) and makes
// the system send the window every click; a floor of 0 lets clicks through where nothing is drawn.
void CopyForLayer(const InkCanvas& canvas, const PixelBuffer& to, const PixelRect& area, uint8_t floorAlpha);

}  // namespace imaging
