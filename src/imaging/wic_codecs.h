// PNG, JPEG and GIF through the Windows imaging codecs (WIC): a file held in memory decoded into
// a picture, and pixels encoded as a PNG file.
#pragma once

#include <cstdint>
#include <vector>

#include "base/picture.h"
#include "imaging/picture_headers.h"
#include "imaging/pixel_image.h"

namespace imaging {

// A whole file of `format` (PNG, JPEG or GIF, as CheckPictureHeader found it) as a new picture,
// through that format's decoder only; its first frame. The frame's size is checked against the
// limits before a pixel is decoded. Raises AppError kErrInvalidPicture when it cannot be decoded.
base::Picture DecodeWithCodecs(const std::vector<uint8_t>& data, PictureFormat format);

// The bytes of a 24-bit PNG file of `image`, through the imaging codecs. Safe on any thread (it
// initialises COM for the call). Raises AppError kErrInvalidPicture when encoding fails.
std::vector<uint8_t> EncodePng(const PixelImage& image);

}  // namespace imaging
