// The picture object: one bitmap and optionally one palette, owned by the object and freed with
// the last reference. Two holders may share one object. Sizes are reported in HIMETRIC
// (hundredths of a millimetre), as OLE pictures report them, at the screen's dpi.
#pragma once

#include <windows.h>

#include <memory>

#include "base/handles.h"

namespace base {

class PictureObject {
 public:
  // Takes ownership of both handles; the palette may be null.
  PictureObject(HBITMAP bitmap, HPALETTE palette);
  PictureObject(const PictureObject&) = delete;
  PictureObject& operator=(const PictureObject&) = delete;
  ~PictureObject();

  HBITMAP Bitmap() const { return bitmap_.Get(); }
  HPALETTE Palette() const { return palette_.Get(); }
  int WidthPixels() const { return width_; }
  int HeightPixels() const { return height_; }
  int BitsPerPixel() const { return bitsPerPixel_; }
  long WidthHimetric() const;
  long HeightHimetric() const;

  // A memory DC with the bitmap selected, made on first use and shared by every holder, so that
  // copying from the picture costs one BitBlt. A bitmap can sit in one DC only, so everyone
  // copies through this one.
  HDC Dc() const;
  // Takes the bitmap out of the shared DC, for calls that need it deselected (GetDIBits).
  void ReleaseDc() const;

 private:
  unique_hbitmap bitmap_;
  unique_hpalette palette_;
  int width_ = 0;
  int height_ = 0;
  int bitsPerPixel_ = 0;
  mutable unique_hdc dc_;
  mutable HGDIOBJ previousBitmap_ = nullptr;
  mutable HPALETTE previousPalette_ = nullptr;
};

using Picture = std::shared_ptr<PictureObject>;

// A bitmap for a picture of the screen's pixels: 32 bits, top-down, in the program's own memory
// (a DIB section), its pixels at `*bits` when asked for. Not a compatible bitmap: under Wine the
// pixels of those come from the C library's heap, which may keep a full screen's worth long after
// the picture has gone, in a program that waits in the tray all day; a DIB section's memory goes
// back whole when it is deleted. Null when there is no memory for it.
HBITMAP CreatePictureBitmap(int width, int height, void** bits = nullptr);

}  // namespace base
