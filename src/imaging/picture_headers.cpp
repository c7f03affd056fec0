#include "imaging/picture_headers.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "base/error.h"

namespace imaging {

// --- BMP arithmetic ---------------------------------------------------------------------------

namespace {

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

constexpr uint64_t StrideFor(int64_t width, int bits) { return ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4; }

}  // namespace

uint16_t BmpBitsFor(int bitsPerPixel) {
  if (bitsPerPixel <= 0) return 0;
  for (uint16_t bits : {1, 4, 8, 16, 24}) {
    if (bitsPerPixel <= bits) return bits;
  }
  return 32;
}

bool ComputeBmpLayout(int32_t width, int32_t height, uint16_t bitsPerPixel, BmpLayout& out) {
  if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) return false;
  if (static_cast<int64_t>(width) * height > kMaxPicturePixels) return false;
  if (BmpBitsFor(bitsPerPixel) != bitsPerPixel) return false;
  BmpLayout l;
  l.width = width;
  l.height = height;
  l.bitsPerPixel = bitsPerPixel;
  l.colorTableEntries = bitsPerPixel <= 8 ? (1u << bitsPerPixel) : 0;
  const uint64_t stride = StrideFor(width, bitsPerPixel);
  const uint64_t image = stride * static_cast<uint64_t>(height);
  const uint64_t offset = kBmpFileHeaderSize + kBmpInfoHeaderSize + 4ull * l.colorTableEntries;
  if (offset + image > 0xFFFFFFFFull) return false;
  l.rowStride = static_cast<uint32_t>(stride);
  l.imageSize = static_cast<uint32_t>(image);
  l.pixelOffset = static_cast<uint32_t>(offset);
  l.fileSize = static_cast<uint32_t>(offset + image);
  out = l;
  return true;
}

void WriteBmpFileHeader(const BmpLayout& layout, uint8_t* out14) {
  out14[0] = 'B';
  out14[1] = 'M';
  Put32(out14 + 2, layout.fileSize);
  Put32(out14 + 6, 0);
  Put32(out14 + 10, layout.pixelOffset);
}

void WriteBmpInfoHeader(const BmpLayout& layout, uint8_t* out40) {
  std::memset(out40, 0, kBmpInfoHeaderSize);
  Put32(out40 + 0, kBmpInfoHeaderSize);
  Put32(out40 + 4, static_cast<uint32_t>(layout.width));
  Put32(out40 + 8, static_cast<uint32_t>(layout.height));  // positive: bottom-up rows
  Put16(out40 + 12, 1);                                    // planes
  Put16(out40 + 14, layout.bitsPerPixel);
  Put32(out40 + 16, 0);  // BI_RGB
  Put32(out40 + 20, layout.imageSize);
  Put32(out40 + 24, 3780);  // 96 dpi in pixels per metre
  Put32(out40 + 28, 3780);
  Put32(out40 + 32, layout.colorTableEntries);
  Put32(out40 + 36, 0);
}

BmpCheck CheckBmp(const uint8_t* data, size_t size, BmpFacts& out) {
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return BmpCheck::NotBmp;
  if (size < kBmpFileHeaderSize + 4) return BmpCheck::Truncated;
  BmpFacts f;
  f.pixelOffset = Get32(data + 10);
  f.infoSize = Get32(data + 14);
  // The info headers GDI takes: BITMAPINFOHEADER and its later, longer forms (V2, V3, V4, V5).
  if (f.infoSize != 40 && f.infoSize != 52 && f.infoSize != 56 && f.infoSize != 108 && f.infoSize != 124) {
    return BmpCheck::BadHeader;
  }
  if (size < kBmpFileHeaderSize + f.infoSize) return BmpCheck::Truncated;
  const uint8_t* info = data + kBmpFileHeaderSize;
  const int32_t width = static_cast<int32_t>(Get32(info + 4));
  const int32_t height = static_cast<int32_t>(Get32(info + 8));
  const uint16_t planes = Get16(info + 12);
  f.bitsPerPixel = Get16(info + 14);
  f.compression = Get32(info + 16);
  const uint32_t sizeImage = Get32(info + 20);
  const uint32_t colorsUsed = Get32(info + 32);

  if (planes != 1 || width <= 0 || height == 0 || height == INT32_MIN) return BmpCheck::BadHeader;
  f.width = width;
  f.topDown = height < 0;
  f.height = height < 0 ? -height : height;
  if (f.width > kMaxPictureSide || f.height > kMaxPictureSide ||
      static_cast<int64_t>(f.width) * f.height > kMaxPicturePixels) {
    return BmpCheck::TooLarge;
  }
  const uint16_t bits = f.bitsPerPixel;
  if (BmpBitsFor(bits) != bits) return BmpCheck::BadHeader;
  switch (f.compression) {
    case BI_RGB: break;
    case BI_RLE8: if (bits != 8 || f.topDown) return BmpCheck::BadHeader; break;
    case BI_RLE4: if (bits != 4 || f.topDown) return BmpCheck::BadHeader; break;
    case BI_BITFIELDS: if (bits != 16 && bits != 32) return BmpCheck::BadHeader; break;
    default: return BmpCheck::BadHeader;  // JPEG or PNG inside a BMP: not for GDI
  }

  // The colour masks (after a 40-byte header) and the colour table follow the info header;
  // both must be in the file, and the pixels must not start inside them.
  uint64_t tables = (f.compression == BI_BITFIELDS && f.infoSize == 40) ? 12 : 0;
  if (bits <= 8) {
    if (colorsUsed > (1u << bits)) return BmpCheck::BadHeader;
    tables += 4ull * (colorsUsed ? colorsUsed : (1u << bits));
  }
  const uint64_t tablesEnd = kBmpFileHeaderSize + f.infoSize + tables;
  if (tablesEnd > size) return BmpCheck::Truncated;
  if (f.pixelOffset < tablesEnd) return BmpCheck::BadHeader;

  uint64_t pixels = 0;
  if (f.compression == BI_RLE8 || f.compression == BI_RLE4) {
    if (sizeImage == 0) return BmpCheck::BadHeader;
    pixels = sizeImage;
  } else {
    pixels = StrideFor(f.width, bits) * static_cast<uint64_t>(f.height);
  }
  if (static_cast<uint64_t>(f.pixelOffset) + pixels > size) return BmpCheck::Truncated;
  f.pixelBytes = static_cast<uint32_t>(pixels);
  out = f;
  return BmpCheck::Ok;
}

// --- What a picture file claims -------------------------------------------------------------

namespace {

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
uint32_t Be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

bool SideTooLong(int64_t side) { return side > kMaxPictureSide; }

}  // namespace

HeaderCheck CheckClaimedSize(int64_t width, int64_t height, ClaimedSize& out) {
  out.width = std::max(out.width, width);
  out.height = std::max(out.height, height);
  if (SideTooLong(width) || SideTooLong(height) || width * height > kMaxPicturePixels) {
    out.width = width;
    out.height = height;
    return HeaderCheck::TooLarge;
  }
  return HeaderCheck::Ok;
}

namespace {

HeaderCheck CheckPng(const uint8_t* data, size_t size, ClaimedSize& out) {
  // The signature, then IHDR as the first chunk: length 13, width and height big-endian.
  if (size < 8 + 8 + 13 || std::memcmp(data + 12, "IHDR", 4) != 0 || Be32(data + 8) != 13) {
    return HeaderCheck::NotAPicture;
  }
  const uint32_t width = Be32(data + 16);
  const uint32_t height = Be32(data + 20);
  if (width == 0 || height == 0) return HeaderCheck::NotAPicture;
  return CheckClaimedSize(width, height, out);
}

bool IsStartOfFrame(uint8_t marker) {
  // SOF0-SOF15 but DHT (C4), JPG (C8) and DAC (CC).
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

HeaderCheck CheckJpeg(const uint8_t* data, size_t size, ClaimedSize& out) {
  // Every marker segment of the file, the compressed data between them skipped byte by byte, so
  // that a second frame header further on cannot claim more than the first.
  bool sawFrame = false;
  size_t i = 2;  // after SOI
  while (i + 1 < size) {
    if (data[i] != 0xFF) {  // compressed data (or junk a decoder also skips)
      ++i;
      continue;
    }
    const uint8_t marker = data[i + 1];
    if (marker == 0xFF) {  // fill byte
      ++i;
      continue;
    }
    // A stuffed zero, a restart marker, TEM and SOI stand alone; EOI ends the picture.
    if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
      i += 2;
      continue;
    }
    if (marker == 0xD9) break;
    if (i + 4 > size) break;
    const uint16_t length = Be16(data + i + 2);  // counts itself, not the marker
    if (length < 2) return HeaderCheck::NotAPicture;
    if (IsStartOfFrame(marker)) {
      // Precision, height, width: a height of 0 (defined later by a DNL marker) is nothing a
      // decoder here can size.
      if (length < 8 || i + 9 > size) return HeaderCheck::NotAPicture;
      const uint16_t height = Be16(data + i + 5);
      const uint16_t width = Be16(data + i + 7);
      if (width == 0 || height == 0) return HeaderCheck::NotAPicture;
      if (CheckClaimedSize(width, height, out) == HeaderCheck::TooLarge) return HeaderCheck::TooLarge;
      sawFrame = true;
    }
    i += 2 + static_cast<size_t>(length);
  }
  return sawFrame ? HeaderCheck::Ok : HeaderCheck::NotAPicture;
}

// Skips a GIF's data sub-blocks (a length byte, that many bytes, ... up to a zero length).
size_t SkipGifSubBlocks(const uint8_t* data, size_t size, size_t i) {
  while (i < size) {
    const uint8_t n = data[i++];
    if (n == 0) break;
    i += n;
  }
  return i;
}

HeaderCheck CheckGif(const uint8_t* data, size_t size, ClaimedSize& out) {
  if (size < 13) return HeaderCheck::NotAPicture;
  // The logical screen, then every image descriptor: a decoder may hold all frames at once (Wine's
  // reads the whole file at the start), so their pixels count together.
  if (CheckClaimedSize(Get16(data + 6), Get16(data + 8), out) == HeaderCheck::TooLarge) return HeaderCheck::TooLarge;
  const uint8_t screenFlags = data[10];
  size_t i = 13;
  if (screenFlags & 0x80) i += 3u << ((screenFlags & 7) + 1);  // global colour table
  int64_t framePixels = 0;
  int frames = 0;
  while (i < size) {
    const uint8_t block = data[i];
    if (block == 0x3B) break;  // trailer
    if (block == 0x21) {       // extension: label, then sub-blocks
      i = SkipGifSubBlocks(data, size, i + 2);
    } else if (block == 0x2C) {  // image descriptor: left, top, width, height, flags
      if (i + 10 > size) break;
      const uint16_t width = Get16(data + i + 5);
      const uint16_t height = Get16(data + i + 7);
      const uint8_t flags = data[i + 9];
      if (CheckClaimedSize(width, height, out) == HeaderCheck::TooLarge) return HeaderCheck::TooLarge;
      framePixels += static_cast<int64_t>(width) * height;
      if (framePixels > kMaxPicturePixels) {
        out.width = width;
        out.height = height;
        return HeaderCheck::TooLarge;
      }
      ++frames;
      i += 10;
      if (flags & 0x80) i += 3u << ((flags & 7) + 1);  // local colour table
      i = SkipGifSubBlocks(data, size, i + 1);          // after the LZW code size
    } else {
      break;  // not GIF any more: decoders stop here too
    }
  }
  return frames > 0 ? HeaderCheck::Ok : HeaderCheck::NotAPicture;
}

}  // namespace

HeaderCheck CheckPictureHeader(const uint8_t* data, size_t size, ClaimedSize& out) {
  out = ClaimedSize{};
  static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
    out.format = PictureFormat::Bmp;
    BmpFacts facts;
    switch (CheckBmp(data, size, facts)) {
      case BmpCheck::Ok:
        out.width = facts.width;
        out.height = facts.height;
        return HeaderCheck::Ok;
      case BmpCheck::TooLarge: {
        // CheckBmp refuses before it fills its facts: the claim is read again here for the user.
        out.width = static_cast<int32_t>(Get32(data + kBmpFileHeaderSize + 4));
        const int32_t height = static_cast<int32_t>(Get32(data + kBmpFileHeaderSize + 8));
        out.height = height < 0 ? -static_cast<int64_t>(height) : height;
        return HeaderCheck::TooLarge;
      }
      default:
        return HeaderCheck::NotAPicture;
    }
  }
  if (size >= 8 && std::memcmp(data, kPngSignature, 8) == 0) {
    out.format = PictureFormat::Png;
    return CheckPng(data, size, out);
  }
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
    out.format = PictureFormat::Jpeg;
    return CheckJpeg(data, size, out);
  }
  if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0)) {
    out.format = PictureFormat::Gif;
    return CheckGif(data, size, out);
  }
  return HeaderCheck::NotAPicture;
}

// --- Refusals ------------------------------------------------------------------------------

namespace {

constexpr char kNotAPictureText[] = "The file is not a picture Scrivane can read, or it is damaged.";

}  // namespace

[[noreturn]] void InvalidPicture() { throw base::AppError(base::kErrInvalidPicture, "LoadPicture", kNotAPictureText); }

[[noreturn]] void PictureTooLarge(const ClaimedSize& claim) {
  throw base::AppError(base::kErrInvalidPicture, "LoadPicture",
                       "The picture is too large to open (" + std::to_string(claim.width) + " \xC3\x97 " +
                           std::to_string(claim.height) + " pixels).");
}

}  // namespace imaging
