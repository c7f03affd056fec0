// What a picture file's headers say, read and written as plain values: the BMP layout and its two
// headers, the checks of a BMP file held in memory, and the sizes a PNG, JPEG or GIF claims.
// No window, no file and no GDI: they are tested directly, and every decoder we call is only
// ever handed a file these checks have accepted.
#pragma once

#include <cstddef>
#include <cstdint>

namespace imaging {

// --- BMP arithmetic ---------------------------------------------------------------------------

constexpr uint32_t kBmpFileHeaderSize = 14;
constexpr uint32_t kBmpInfoHeaderSize = 40;
// The largest picture we agree to read: a side of 32767 pixels and 64 million pixels in all
// (256 MB at 32 bits). A file claiming more is refused before anything is allocated.
constexpr int32_t kMaxPictureSide = 32767;
constexpr int64_t kMaxPicturePixels = 64ll * 1024 * 1024;

// Where everything goes in a BMP file of an uncompressed bottom-up bitmap.
struct BmpLayout {
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bitsPerPixel = 0;
  uint32_t colorTableEntries = 0;  // 2^bits up to 8 bits per pixel, else 0
  uint32_t rowStride = 0;          // bytes per row, padded to 4
  uint32_t imageSize = 0;          // rowStride * height
  uint32_t pixelOffset = 0;        // file header + info header + colour table
  uint32_t fileSize = 0;
};

// Bits per pixel as a BMP can hold them: 1, 4, 8, 16, 24 or 32; a depth in between goes up to
// the next one a BMP has (a 15-bit screen writes 16, a 2-bit one 4). 0 or negative: 0.
uint16_t BmpBitsFor(int bitsPerPixel);

// The layout for width x height at `bitsPerPixel` (one of BmpBitsFor's values). False when the
// size is not positive, is past the limits above or does not fit the file's 32-bit sizes.
bool ComputeBmpLayout(int32_t width, int32_t height, uint16_t bitsPerPixel, BmpLayout& out);

// The 14-byte file header ("BM", file size, reserved 0, pixel offset), little-endian.
void WriteBmpFileHeader(const BmpLayout& layout, uint8_t* out14);
// The 40-byte BITMAPINFOHEADER of a bottom-up BI_RGB bitmap at 96 dpi (3780 pixels per metre).
void WriteBmpInfoHeader(const BmpLayout& layout, uint8_t* out40);

// What a BMP file's headers say, once checked against the file's size.
struct BmpFacts {
  int32_t width = 0;
  int32_t height = 0;  // always positive; topDown says which way the rows run
  bool topDown = false;
  uint16_t bitsPerPixel = 0;
  uint32_t compression = 0;
  uint32_t infoSize = 0;     // size of the info header: 40, 52, 56, 108 or 124
  uint32_t pixelOffset = 0;
  uint32_t pixelBytes = 0;   // bytes of pixel data the decoder may read from pixelOffset
};

enum class BmpCheck { Ok, NotBmp, Truncated, BadHeader, TooLarge };

// Checks the headers of a whole BMP file held in memory: the magic, a known info header, a
// depth and compression GDI decodes, dimensions within the limits above, and pixel data that
// lies wholly inside the file. Nothing is allocated from what the file claims.
BmpCheck CheckBmp(const uint8_t* data, size_t size, BmpFacts& out);

// --- What a picture file claims -------------------------------------------------------------

// The formats we read. Anything else is refused without asking a decoder: a decoder is only ever
// given a file whose dimensions we have read ourselves and found within the limits above.
enum class PictureFormat { Unknown, Bmp, Png, Jpeg, Gif };

enum class HeaderCheck { Ok, NotAPicture, TooLarge };

struct ClaimedSize {
  PictureFormat format = PictureFormat::Unknown;
  // The largest width and height the header claims (for a refused file: the claim that broke a
  // limit).
  int64_t width = 0;
  int64_t height = 0;
};

// Reads the dimensions that a whole file held in memory claims, from its own headers, without
// decoding a pixel: a BMP's info header (CheckBmp), a PNG's IHDR, every frame header (SOF marker)
// of a JPEG, and a GIF's logical screen and every image descriptor. TooLarge when any side is past
// kMaxPictureSide or the pixels a decoder would hold (for a GIF, all of its frames together) are
// past kMaxPicturePixels; NotAPicture for another format or a header that is cut short or says
// nothing usable.
HeaderCheck CheckPictureHeader(const uint8_t* data, size_t size, ClaimedSize& out);

// One claim of a header (or a decoder's frame) against the limits above; `out` remembers the
// largest sides seen, or the claim that broke a limit.
HeaderCheck CheckClaimedSize(int64_t width, int64_t height, ClaimedSize& out);

// The two refusals of a load, as base::AppError kErrInvalidPicture: the file is not a picture we
// read (or it is damaged), and the picture is larger than the limits above (its size is told).
[[noreturn]] void InvalidPicture();
[[noreturn]] void PictureTooLarge(const ClaimedSize& claim);

}  // namespace imaging
