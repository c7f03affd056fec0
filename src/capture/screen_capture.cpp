#include "capture/screen_capture.h"

#include <algorithm>
#include <vector>

#include "base/handles.h"
#include "base/picture.h"
#include "base/window_place.h"

namespace capture {

bool IsPaletteDevice(int rasterCaps, int sizePalette) { return (rasterCaps & RC_PALETTE) != 0 && sizePalette == 256; }

base::Picture MakePictureObject(HBITMAP bitmap, HPALETTE palette) {
  // The handles are ours from here on, whatever happens.
  base::unique_hbitmap ownedBitmap(bitmap);
  base::unique_hpalette ownedPalette(palette);
  if (!ownedBitmap) return nullptr;
  auto picture = std::make_shared<base::PictureObject>(ownedBitmap.Get(), ownedPalette.Get());
  ownedBitmap.Release();
  ownedPalette.Release();
  return picture;
}

base::Picture GrabWindowArea(HWND window, bool client, int left, int top, int width, int height, DWORD rop) {
  base::unique_hbitmap bitmap;
  base::unique_hpalette palette;
  {
    base::WindowDc source(window, client ? base::WindowDc::Kind::Client : base::WindowDc::Kind::Whole);
    base::unique_hdc memory(::CreateCompatibleDC(source.Get()));
    HPALETTE previousPalette = nullptr;
    const bool paletteDevice =
        IsPaletteDevice(::GetDeviceCaps(source.Get(), RASTERCAPS), ::GetDeviceCaps(source.Get(), SIZEPALETTE));
    // A palette device's pixels are indices into its palette, which only a compatible bitmap keeps.
    bitmap.Reset(paletteDevice ? ::CreateCompatibleBitmap(source.Get(), width, height)
                               : base::CreatePictureBitmap(width, height));
    base::SelectGuard keepBitmap(memory.Get(), bitmap.Get());
    if (paletteDevice) {
      // LOGPALETTE with room for 256 entries, zero-filled.
      std::vector<unsigned char> buffer(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY), 0);
      auto* logPalette = reinterpret_cast<LOGPALETTE*>(buffer.data());
      logPalette->palVersion = 0x300;
      logPalette->palNumEntries = 256;
      ::GetSystemPaletteEntries(source.Get(), 0, 256, logPalette->palPalEntry);
      palette.Reset(::CreatePalette(logPalette));
      previousPalette = ::SelectPalette(memory.Get(), palette.Get(), FALSE);
      ::RealizePalette(memory.Get());
    }

    // In bands of about a megabyte: Wine reads each from the X server into a block of the C
    // library's heap, which, once a block that large has been freed, keeps such blocks rather
    // than giving them back (a whole screen's, read at once).
    const int bandRows = std::max(1, (1 << 20) / (std::max(width, 1) * 4));
    for (int y = 0; y < height; y += bandRows) {
      ::BitBlt(memory.Get(), 0, y, width, std::min(bandRows, height - y), source.Get(), left, top + y, rop);
    }

    if (paletteDevice) ::SelectPalette(memory.Get(), previousPalette, FALSE);
    // Leaving the scope puts the old bitmap back, deletes the memory DC, then releases the window's.
  }
  return MakePictureObject(bitmap.Release(), palette.Release());
}

base::Picture GrabScreenRect(const RECT& area) {
  // The screen's own DC works in screen coordinates across every monitor; physical pixels, as a
  // dpi-aware program sees them.
  return GrabWindowArea(nullptr, true, area.left, area.top, area.right - area.left, area.bottom - area.top);
}

base::Picture GrabScreenAsShown(const RECT& area) {
  return GrabWindowArea(nullptr, true, area.left, area.top, area.right - area.left, area.bottom - area.top,
                        SRCCOPY | CAPTUREBLT);
}

base::Picture GrabDesktop() { return GrabScreenRect(base::MonitorRectUnderPointer()); }

base::Picture GrabFormWhole(HWND form) {
  RECT rc{};
  ::GetWindowRect(form, &rc);
  return GrabWindowArea(form, false, 0, 0, rc.right - rc.left, rc.bottom - rc.top);
}

base::Picture GrabFormInterior(HWND form) {
  RECT rc{};
  ::GetClientRect(form, &rc);
  return GrabWindowArea(form, true, 0, 0, rc.right, rc.bottom);
}

base::Picture GrabFrontWindow() {
  HWND front = ::GetForegroundWindow();
  RECT rc{};
  ::GetWindowRect(front, &rc);
  return GrabWindowArea(front, false, 0, 0, rc.right - rc.left, rc.bottom - rc.top);
}

}  // namespace capture
