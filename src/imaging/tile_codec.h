// A small lossless codec of our own for rectangles of a 32-bit picture, made for the undo
// history, which keeps many pieces of pictures for a long time and reads one back only when it is
// undone.
//
// Why not PNG: the imaging codecs take a tenth of a second to encode a full-screen picture and
// need COM; this one packs a screen of slides or windows in a few tens of milliseconds, unpacks
// it faster still, and is plain memory work that any thread may do. What the history holds is
// mostly flat colour (tiles of one colour pack to 5 bytes, a tile nobody drew on to 1) and runs;
// what changes between two pictures of one presentation (a drawing against its background) is
// packed as their difference, which is nothing wherever nobody drew.
//
// The pixels of a rectangle go row by row into a stream of one-byte codes, each with what follows
// it: a run of the pixel before, a pixel seen lately (one of 64, by a hash of its value), a small
// step from the pixel before in each of red, green and blue, a larger one in green with red and
// blue near it, or the pixel whole. All 32 bits are kept, the unused top byte included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/pixel_rect.h"
#include "imaging/pixel_image.h"
#include "imaging/spill_file.h"

namespace imaging {

// Appends `area` of `pixels` to `out`, packed; with a `reference` of the same layout, as the
// difference from it (the reference must be given again to unpack it).
void PackArea(const PixelBuffer& pixels, const PixelBuffer* reference, const base::PixelRect& area,
              std::vector<uint8_t>& out);

// PackArea straight into a piece of packed bytes; false when the piece has no room left for the
// most the area could take, or no memory.
bool PackAreaInto(PackedBytes& out, const PixelBuffer& pixels, const PixelBuffer* reference,
                  const base::PixelRect& area);
// The most bytes PackArea makes of an area of `pixels` pixels.
constexpr size_t MaxPackedBytes(size_t pixels) { return 1 + 5 * pixels; }

// Unpacks one area packed by PackArea from the `size` bytes at `in` into `area` of `pixels` (with
// the same reference, or none). The bytes it took; 0 when they are not a whole packed area of that
// size, and then `area` holds anything. Nothing is read beyond `size`.
size_t UnpackArea(const uint8_t* in, size_t size, const PixelBuffer& pixels, const PixelBuffer* reference,
                  const base::PixelRect& area);

}  // namespace imaging
