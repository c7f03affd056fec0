// Pictures and the bytes of a BMP file, through GDI: a BMP file read into a picture and a picture
// written as one at its own colour depth, and the two steps the other formats share with them
// (device-independent pixels made into a picture, a picture's rows read back).
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/picture.h"

namespace imaging {

// A picture bitmap, compatible with the screen, made from device-independent pixels of any
// format. Raises AppError kErrInvalidPicture when no bitmap can be made or GDI refuses the pixels.
base::Picture PictureFromDib(const BITMAPINFO* info, const void* bits, int width, int height);
// Every row of the picture into `bits`, in the form `info` asks for; false unless all rows came.
bool ReadPictureRows(const base::PictureObject& picture, BITMAPINFO* info, void* bits);

// A whole BMP file held in memory as a new picture; the headers are checked first (CheckBmp).
base::Picture DecodeBmp(const std::vector<uint8_t>& data);
// The bytes of a BMP file of `picture`, as SavePictureAsBmp writes them.
std::vector<uint8_t> EncodeBmp(const base::PictureObject& picture);

}  // namespace imaging
