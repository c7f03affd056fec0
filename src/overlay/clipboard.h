// Ctrl+C on the surface: the picture as it shows goes to the clipboard as a device-independent
// bitmap (CF_DIB) and as PNG (the registered format "PNG"), so that office programs, browsers
// and image editors all paste it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "imaging/pixel_image.h"

namespace overlay {

// The clipboard's CF_DIB form of `image`: a BITMAPINFOHEADER of a bottom-up 32-bit BI_RGB
// bitmap, then the rows; the unused fourth byte of each pixel is 0xFF, so that a program that
// reads it as alpha still shows the picture opaque.
std::vector<uint8_t> ClipboardDib(const imaging::PixelImage& image);

// Puts `image` on the clipboard, owned by `owner`. False when the clipboard cannot be opened or
// the picture cannot be encoded; the clipboard then keeps what it had.
bool CopyPictureToClipboard(HWND owner, const imaging::PixelImage& image);

}  // namespace overlay
