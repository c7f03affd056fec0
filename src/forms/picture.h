// The picture object: one bitmap and optionally one palette, owned by the object and freed with
// the last reference. Two picture boxes may hold the same object. Sizes are reported in HIMETRIC
// (hundredths of a millimetre), as OLE pictures report them.
#pragma once

#include <windows.h>

#include <memory>

#include "forms/handles.h"

namespace forms {

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
  UniqueBitmap bitmap_;
  UniquePalette palette_;
  int width_ = 0;
  int height_ = 0;
  int bitsPerPixel_ = 0;
  mutable UniqueMemoryDc dc_;
  mutable HGDIOBJ previousBitmap_ = nullptr;
  mutable HPALETTE previousPalette_ = nullptr;
};

using Picture = std::shared_ptr<PictureObject>;

// Pixels to HIMETRIC at the given dots per inch, rounded to the nearest unit.
long PixelsToHimetric(int pixels, int dpi);

}  // namespace forms
