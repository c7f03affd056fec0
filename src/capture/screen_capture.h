// Copying the screen or a window into a new picture object.
#pragma once

#include <windows.h>

#include "base/picture.h"

namespace capture {

// Wraps a bitmap and an optional palette into a picture object that owns both. An empty
// reference when there is no bitmap to wrap.
base::Picture MakePictureObject(HBITMAP bitmap, HPALETTE palette);

// Copies width x height pixels at (left, top) of the window's DC: its client-area DC when
// `client` is set, else its whole-window DC (frame and title bar included). `rop` is the raster
// operation of the copy.
base::Picture GrabWindowArea(HWND window, bool client, int left, int top, int width, int height, DWORD rop = SRCCOPY);

// The whole monitor the pointer is on, pixel for pixel (on a single screen, the screen from (0, 0)).
base::Picture GrabDesktop();
// A rectangle of the screen, in screen coordinates (a monitor left of the primary one lies at
// negative x), pixel for pixel.
base::Picture GrabScreenRect(const RECT& area);
// The rectangle as the screen shows it, layered windows included (CAPTUREBLT: without it Windows
// leaves them out of a copy of the screen; Wine reads the X screen, which holds them either way).
base::Picture GrabScreenAsShown(const RECT& area);
// A window of ours with its frame and title bar.
base::Picture GrabFormWhole(HWND form);
// A window of ours from the top-left of its client area.
base::Picture GrabFormInterior(HWND form);
// Whichever window is in front at the moment of the call, frame included.
base::Picture GrabFrontWindow();

// A display counts as a palette device only when it says it has a palette and that palette has
// exactly 256 entries.
bool IsPaletteDevice(int rasterCaps, int sizePalette);

}  // namespace capture
