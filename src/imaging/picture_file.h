// Picture files: reading a BMP, PNG, JPEG or GIF file into a picture object, and writing a
// picture as a BMP file at the picture's own colour depth, or as a PNG file.
//
// The header arithmetic and checks are plain value functions (no window, no file), so they can be
// tested directly; the file functions around them are thin.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/picture.h"
#include "imaging/pixel_image.h"

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

// --- Files ---------------------------------------------------------------------------------
//
// Failures raise base::AppError with kErrFileIo (the file could not be read or written: the
// description is the system's own reason, base::SystemErrorText of the Win32 error) or
// kErrInvalidPicture (the description says what is wrong with the picture), so that the caller
// can tell the user why in one sentence. Paths of any length work: names past MAX_PATH go to the
// file functions in their "\\?\" form.

// Reads a picture file (BMP through GDI; PNG, JPEG and GIF through the imaging codecs) into a new
// picture object compatible with the screen. The file is opened with read, write and delete
// sharing, so a file another program is still writing can be read.
base::Picture LoadPictureFile(const std::wstring& path);

// How the bytes of a file reach the disk: WriteFile, unless a caller hands in another (a test that
// makes a write fail part-way).
using WriteFileFn = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);

// How an existing target is replaced: ReplaceFileW, unless a caller hands in another (a test that
// makes the replacement fail after the old file is gone).
using ReplaceFileFn = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID);

// Writes `bytes` as the whole new content of `path`, the way every picture format is saved: the
// bytes go to a temporary file beside the target first, and only a complete, flushed file takes
// the target's place (ReplaceFileW over an existing file, which keeps its ACL and hard links;
// MoveFileExW for a new one). A write that fails part-way leaves an earlier file byte for byte and
// removes the temporary file. A target marked read-only is refused (access denied) before
// anything is written: Wine running as root would replace it anyway.
// No failure loses both pictures: when the replacement fails after the old file has gone
// (ERROR_UNABLE_TO_MOVE_REPLACEMENT), the new file is moved to the target's name; when even that
// fails it stays under its temporary name, and the error's description ends with where it is
// (KeptAsText).
void WritePictureFile(const std::wstring& path, const uint8_t* bytes, size_t size, WriteFileFn write = nullptr,
                      ReplaceFileFn replace = nullptr);
// " The new picture is kept as C:\Talks\~scv1f-2a-3b-0.tmp.", the end of such a description.
std::wstring KeptAsText(const std::wstring& path);

// Writes `picture` as a BMP file at its own colour depth (the screen's, for a grab), whatever
// the extension of `path`, through WritePictureFile.
void SavePictureAsBmp(const base::PictureObject& picture, const std::wstring& path, WriteFileFn write = nullptr);

// The bytes of a BMP file of `picture`, as SavePictureAsBmp writes them.
std::vector<uint8_t> EncodeBmp(const base::PictureObject& picture);

// --- PNG -----------------------------------------------------------------------------------

// True when the name ends in ".png", in any case.
bool IsPngName(const std::wstring& path);
// The pixels of a picture, 32 bits a pixel, top-down.
PixelImage PicturePixels(const base::PictureObject& picture);
// A new picture of width x height at 32 bits a pixel whose pixels `fill` writes (they stay where
// `fill` was given them for the picture's life); null when no bitmap can be made or `fill` fails.
base::Picture MakePicture(int width, int height, const std::function<bool(const PixelBuffer&)>& fill);
// The bytes of a 24-bit PNG file of `image`, through the imaging codecs. Safe on any thread (it
// initialises COM for the call). Raises AppError kErrInvalidPicture when encoding fails.
std::vector<uint8_t> EncodePng(const PixelImage& image);
// Writes `picture` as PNG when the name ends in .png (any case), else as BMP exactly as
// SavePictureAsBmp does; the same replacing write either way.
void SavePicture(const base::PictureObject& picture, const std::wstring& path, WriteFileFn write = nullptr);

// What the user reads when a save or a load failed:
// "Could not save C:\Talks\x.bmp: There is not enough space on the disk."
// "Could not load C:\Talks\x.jpg: The picture is too large to open (30000 × 30000 pixels)."
std::wstring SaveFailedText(const std::wstring& path, const std::string& reason);
std::wstring LoadFailedText(const std::wstring& path, const std::string& reason);

}  // namespace imaging
