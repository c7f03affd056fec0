// The off-screen copy of a drawing: a 32-bit DIB section with its own memory DC, so that GDI can
// draw into it and the history can copy changed tiles out of it with plain memory copies.
#pragma once

#include <windows.h>

#include "base/handles.h"
#include "imaging/pixel_image.h"
#include "imaging/surface_tiles.h"

namespace forms {

// Not copyable: it owns its DC and bitmap.
class DrawingSurface {
 public:
  ~DrawingSurface();

  // Makes a surface of width x height (contents undefined). False when the DC or the bitmap
  // cannot be made (the GDI handle table is full, no memory): then nothing is held.
  bool Create(int width, int height);
  void Free();
  bool Ready() const { return bitmap_ && dc_; }

  HDC Dc() const { return dc_.Get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The pixels, after any GDI drawing still queued has landed.
  imaging::PixelBuffer Pixels() const;

  // --- One change at a time, for the history (imaging/surface_tiles.h) --------------------------
  bool BeginChange();
  bool ChangeOpen() const { return recorder_.Open(); }
  // Closed, its record not taken yet.
  bool ChangeEnded() const { return recorder_.Ended(); }
  // Before drawing into `area`.
  void Touch(const RECT& area);
  // Closes the change; nothing is read or copied yet.
  void CloseChange() { recorder_.Close(); }
  // What the closed change overwrote (empty when nothing changed, or nothing was closed).
  imaging::TileChange TakeEndedChange();
  imaging::TileChange EndChange();
  void CancelChange();
  // Exchanges a recorded change with the surface; the area that changed, empty when it could not
  // be applied (another size). A change open or closed ends unrecorded.
  RECT Swap(imaging::TileChange& change);

  // --- The copy the recorder keeps --------------------------------------------------------
  // The whole content was drawn anew (outside any change, which is dropped).
  void ContentReplaced() { recorder_.InvalidateAll(); }
  // The recorder keeps a copy (a change was recorded on this surface) and it is out of date.
  bool CopyStale() const { return recorder_.RefreshWanted(); }
  // Brings the copy up to date: idle-time work.
  void RefreshCopy();
  // Gives the copy's memory back until the next change.
  void FreeCopy() { recorder_.FreeCopy(); }
  size_t CopyBytes() const { return recorder_.CopyBytes(); }

  // --- The whole content ---------------------------------------------------------------------
  imaging::PixelImage Copy() const;
  // The same into `image`, in the memory it has when that is enough.
  void CopyInto(imaging::PixelImage& image) const;
  // Same size only; false otherwise.
  bool Fill(const imaging::FrozenImage& image);
  // Hands the pixels over as they are, bitmap and all, without copying them: the surface is free
  // afterwards (as after Free) and the image keeps the memory for as long as anyone holds it.
  imaging::FrozenImage Release();

 private:
  base::unique_hdc dc_;
  base::unique_hbitmap bitmap_;
  HGDIOBJ previous_ = nullptr;
  uint32_t* bits_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  imaging::TileRecorder recorder_;
};

}  // namespace forms
