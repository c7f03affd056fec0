#include "imaging/picture_file.h"

#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <optional>

#include "base/com.h"
#include "base/dib.h"
#include "base/error.h"
#include "base/handles.h"
#include "base/text.h"

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

// One claim of a header against the limits; remembers the largest sides seen.
HeaderCheck Claim(int64_t width, int64_t height, ClaimedSize& out) {
  out.width = std::max(out.width, width);
  out.height = std::max(out.height, height);
  if (SideTooLong(width) || SideTooLong(height) || width * height > kMaxPicturePixels) {
    out.width = width;
    out.height = height;
    return HeaderCheck::TooLarge;
  }
  return HeaderCheck::Ok;
}

HeaderCheck CheckPng(const uint8_t* data, size_t size, ClaimedSize& out) {
  // The signature, then IHDR as the first chunk: length 13, width and height big-endian.
  if (size < 8 + 8 + 13 || std::memcmp(data + 12, "IHDR", 4) != 0 || Be32(data + 8) != 13) {
    return HeaderCheck::NotAPicture;
  }
  const uint32_t width = Be32(data + 16);
  const uint32_t height = Be32(data + 20);
  if (width == 0 || height == 0) return HeaderCheck::NotAPicture;
  return Claim(width, height, out);
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
      if (Claim(width, height, out) == HeaderCheck::TooLarge) return HeaderCheck::TooLarge;
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
  if (Claim(Get16(data + 6), Get16(data + 8), out) == HeaderCheck::TooLarge) return HeaderCheck::TooLarge;
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
      if (Claim(width, height, out) == HeaderCheck::TooLarge) return HeaderCheck::TooLarge;
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

// --- Paths ---------------------------------------------------------------------------------

namespace {

// The full path, and past MAX_PATH its "\\?\" form: the file functions take a path of any length
// that way, whether or not long paths are switched on for the machine (longPathAware in the
// manifest only counts where the LongPathsEnabled policy is set too).
std::wstring FilePathForApi(const std::wstring& path) {
  if (path.rfind(LR"(\\?\)", 0) == 0 || path.rfind(LR"(\\.\)", 0) == 0) return path;
  std::wstring full(path.size() + MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return path;  // let the file function report what is wrong with it
    if (n < full.size()) {
      full.resize(n);
      break;
    }
    full.resize(n + 1);
  }
  // The temporary file beside the target may have a name up to this much longer than the target's.
  constexpr size_t kTemporaryNameRoom = 48;
  if (full.size() + kTemporaryNameRoom < MAX_PATH) return full;
  if (full.rfind(LR"(\\)", 0) == 0) return LR"(\\?\UNC\)" + full.substr(2);
  return LR"(\\?\)" + full;
}

// The path as the user knows it, without the "\\?\" form FilePathForApi may have given it.
std::wstring ShownPath(const std::wstring& apiPath) {
  if (apiPath.rfind(LR"(\\?\UNC\)", 0) == 0) return LR"(\\)" + apiPath.substr(8);
  if (apiPath.rfind(LR"(\\?\)", 0) == 0) return apiPath.substr(4);
  return apiPath;
}

std::wstring DirectoryOf(const std::wstring& fullPath) {
  const size_t slash = fullPath.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring(L".") : fullPath.substr(0, slash);
}

// The reason for the last Win32 error; `fallback` when the call failed without setting one.
DWORD LastErrorOr(DWORD fallback) {
  const DWORD code = ::GetLastError();
  return code != ERROR_SUCCESS ? code : fallback;
}

[[noreturn]] void FileFailed(const char* source, DWORD code) {
  throw base::AppError(base::kErrFileIo, source, base::SystemErrorText(code));
}

}  // namespace

// --- Reading -------------------------------------------------------------------------------

namespace {

// A file larger than this is no picture we want to read into memory.
constexpr uint64_t kMaxPictureFileBytes = 512ull * 1024 * 1024;

constexpr char kNotAPictureText[] = "The file is not a picture Scrivane can read, or it is damaged.";

[[noreturn]] void InvalidPicture() { throw base::AppError(base::kErrInvalidPicture, "LoadPicture", kNotAPictureText); }

[[noreturn]] void PictureTooLarge(const ClaimedSize& claim) {
  throw base::AppError(base::kErrInvalidPicture, "LoadPicture",
                       "The picture is too large to open (" + std::to_string(claim.width) + " \xC3\x97 " +
                           std::to_string(claim.height) + " pixels).");
}

std::vector<uint8_t> ReadWholeFile(const std::wstring& path) {
  // Read, write and delete sharing: a picture that another program still has open for writing
  // (or is about to rename) can be read all the same.
  base::unique_hfile file(::CreateFileW(FilePathForApi(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) FileFailed("LoadPicture", LastErrorOr(ERROR_OPEN_FAILED));
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size)) FileFailed("LoadPicture", LastErrorOr(ERROR_READ_FAULT));
  if (size.QuadPart <= 0 || static_cast<uint64_t>(size.QuadPart) > kMaxPictureFileBytes) InvalidPicture();
  std::vector<uint8_t> data(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < data.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 24));
    DWORD got = 0;
    if (!::ReadFile(file.Get(), data.data() + done, chunk, &got, nullptr)) {
      FileFailed("LoadPicture", LastErrorOr(ERROR_READ_FAULT));
    }
    if (got == 0) break;  // the file shrank under us
    done += got;
  }
  data.resize(done);
  return data;
}

// A picture bitmap made from device-independent pixels of any format, so that the picture paints
// on the screen with one BitBlt, as a grab does.
base::Picture PictureFromDib(const BITMAPINFO* info, const void* bits, int width, int height) {
  base::WindowDc screen(nullptr);
  base::unique_hbitmap bitmap(base::CreatePictureBitmap(width, height));
  if (!bitmap) InvalidPicture();
  if (::SetDIBits(screen.Get(), bitmap.Get(), 0, static_cast<UINT>(height), bits, info, DIB_RGB_COLORS) <= 0) {
    InvalidPicture();
  }
  return std::make_shared<base::PictureObject>(bitmap.Release(), nullptr);
}

base::Picture LoadBmp(const std::vector<uint8_t>& data) {
  BmpFacts facts;
  if (CheckBmp(data.data(), data.size(), facts) != BmpCheck::Ok) InvalidPicture();
  // GDI reads the info header, masks and colour table straight from the file's bytes; the
  // checks above made sure all of it, and every pixel byte, lies inside them.
  const auto* info = reinterpret_cast<const BITMAPINFO*>(data.data() + kBmpFileHeaderSize);
  return PictureFromDib(info, data.data() + facts.pixelOffset, facts.width, facts.height);
}

const GUID& ContainerOf(PictureFormat format) {
  switch (format) {
    case PictureFormat::Png: return GUID_ContainerFormatPng;
    case PictureFormat::Jpeg: return GUID_ContainerFormatJpeg;
    default: return GUID_ContainerFormatGif;
  }
}

// COM for this thread and the imaging codecs' factory, for as long as the object lives.
class ImagingFactory {
 public:
  ImagingFactory()
      : made_(SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IWICImagingFactory, factory_.PutVoid()))) {}
  explicit operator bool() const { return made_ && factory_; }
  IWICImagingFactory* operator->() const { return factory_.Get(); }

 private:
  base::ComScope com_;
  base::ComPtr<IWICImagingFactory> factory_;
  bool made_;
};

base::Picture LoadWithCodecs(const std::vector<uint8_t>& data, PictureFormat format) {
  ImagingFactory factory;
  if (!factory) InvalidPicture();
  base::ComPtr<IWICStream> stream;
  if (FAILED(factory->CreateStream(stream.Put())) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data.data()), static_cast<DWORD>(data.size())))) {
    InvalidPicture();
  }
  // The decoder of the format whose header was checked, not whichever one claims the bytes.
  base::ComPtr<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoder(ContainerOf(format), nullptr, decoder.Put())) ||
      FAILED(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand))) {
    InvalidPicture();
  }
  base::ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, frame.Put()))) InvalidPicture();
  UINT width = 0, height = 0;
  if (FAILED(frame->GetSize(&width, &height))) InvalidPicture();
  // The header check has bounded this already; the frame's own answer is checked too before a
  // single pixel is decoded.
  ClaimedSize claim;
  if (width == 0 || height == 0) InvalidPicture();
  if (Claim(width, height, claim) == HeaderCheck::TooLarge) PictureTooLarge(claim);
  base::ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(converter.Put())) ||
      FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom))) {
    InvalidPicture();
  }
  const UINT stride = width * 4;
  std::vector<uint8_t> pixels(static_cast<size_t>(stride) * height);
  // A truncated or corrupt file fails here, while decoding.
  if (FAILED(converter->CopyPixels(nullptr, stride, static_cast<UINT>(pixels.size()), pixels.data()))) {
    InvalidPicture();
  }
  // Top-down, as WIC gives the rows.
  const BITMAPINFO info = base::TopDownDib32(static_cast<int>(width), static_cast<int>(height));
  return PictureFromDib(&info, pixels.data(), static_cast<int>(width), static_cast<int>(height));
}

}  // namespace

base::Picture LoadPictureFile(const std::wstring& path) {
  std::vector<uint8_t> data = ReadWholeFile(path);
  // No decoder sees a file whose size we have not read and accepted: a JPEG that claims
  // 30000 x 30000 would have it allocate gigabytes and keep the program busy for seconds.
  ClaimedSize claim;
  const HeaderCheck check = CheckPictureHeader(data.data(), data.size(), claim);
  if (check == HeaderCheck::TooLarge) PictureTooLarge(claim);
  if (check != HeaderCheck::Ok) InvalidPicture();
  if (claim.format == PictureFormat::Bmp) return LoadBmp(data);
  return LoadWithCodecs(data, claim.format);
}

// --- Writing -------------------------------------------------------------------------------

namespace {

bool WriteAll(HANDLE file, const uint8_t* data, size_t size, WriteFileFn write) {
  // In pieces, so that a failure part-way is a failure part-way and not all or nothing.
  constexpr size_t kPiece = 1u << 20;
  size_t done = 0;
  while (done < size) {
    const DWORD piece = static_cast<DWORD>(std::min(size - done, kPiece));
    DWORD written = 0;
    if (!write(file, data + done, piece, &written, nullptr)) return false;
    // A short write is no failure yet: Wine writes what still fits and reports success, and only
    // the next call says the disk is full. Nothing written at all, with success, is a fault.
    if (written == 0) {
      ::SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    done += written;
  }
  return true;
}

std::wstring Hex(uint64_t v) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring out;
  do {
    out.insert(out.begin(), kDigits[v & 15]);
    v >>= 4;
  } while (v);
  return out;
}

// A new file beside the target, under a name nobody else uses; never the MAX_PATH-bound
// GetTempFileNameW, which fails in a folder whose path is longer than about 246 characters.
base::unique_hfile CreateTemporaryBeside(const std::wstring& target, std::wstring& tempPath) {
  // Process, thread and time tell writers apart (the keeper writes from a thread of its own); a
  // name taken already moves on to the next attempt.
  const std::wstring folder = DirectoryOf(target);
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    tempPath = folder + L"\\~scv" + Hex(::GetCurrentProcessId()) + L"-" + Hex(::GetCurrentThreadId()) + L"-" +
               Hex(::GetTickCount64()) + L"-" + Hex(attempt) + L".tmp";
    base::unique_hfile file(::CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return file;
    const DWORD code = ::GetLastError();
    if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
      tempPath.clear();
      ::SetLastError(code);
      return {};
    }
  }
  tempPath.clear();
  ::SetLastError(ERROR_FILE_EXISTS);
  return {};
}

// The new file beside the target, open for writing, and removed again (closed first) unless it
// has taken the target's place.
class TemporaryFile {
 public:
  // When the file cannot be made, Made() is false and GetLastError says why.
  explicit TemporaryFile(const std::wstring& target) : file_(CreateTemporaryBeside(target, path_)) {}
  ~TemporaryFile() {
    file_.Reset();
    if (!path_.empty()) ::DeleteFileW(path_.c_str());
  }
  bool Made() const { return static_cast<bool>(file_); }
  HANDLE Handle() const { return file_.Get(); }
  const std::wstring& Path() const { return path_; }
  // Closes the handle; false, with GetLastError set, when the close fails (a full disk can).
  bool Close() { return ::CloseHandle(file_.Release()) != FALSE; }
  void Keep() { path_.clear(); }

 private:
  std::wstring path_;  // made before the file, which names it
  base::unique_hfile file_;
};

// Every row of the picture into `bits`, in the form `info` asks for; a palette picture's colours
// come from its own palette. GetDIBits wants the bitmap out of every DC, the picture's shared one
// too. False unless all rows came.
bool ReadPictureRows(const base::PictureObject& picture, BITMAPINFO* info, void* bits) {
  picture.ReleaseDc();
  base::WindowDc screen(nullptr);
  base::unique_hdc dc(::CreateCompatibleDC(screen.Get()));
  HPALETTE previous = nullptr;
  if (picture.Palette()) {
    previous = ::SelectPalette(dc.Get(), picture.Palette(), FALSE);
    ::RealizePalette(dc.Get());
  }
  const int rows = picture.HeightPixels();
  const int lines = ::GetDIBits(dc.Get(), picture.Bitmap(), 0, static_cast<UINT>(rows), bits, info, DIB_RGB_COLORS);
  if (previous) ::SelectPalette(dc.Get(), previous, FALSE);
  return lines == rows;
}

}  // namespace

namespace {

// Which file a name leads to, and as it was: the same volume and file index is the same file,
// unless it was deleted and the number given to a new one (Linux file systems do that at once),
// which the times, the size and the attributes then tell.
struct FileIdentity {
  DWORD volume = 0;
  uint64_t index = 0;
  uint64_t size = 0;
  uint64_t created = 0;
  uint64_t written = 0;
  DWORD attributes = 0;
  bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> IdentityOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info)) return std::nullopt;
  auto join = [](DWORD high, DWORD low) { return (static_cast<uint64_t>(high) << 32) | low; };
  return FileIdentity{info.dwVolumeSerialNumber,
                      join(info.nFileIndexHigh, info.nFileIndexLow),
                      join(info.nFileSizeHigh, info.nFileSizeLow),
                      join(info.ftCreationTime.dwHighDateTime, info.ftCreationTime.dwLowDateTime),
                      join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime),
                      info.dwFileAttributes};
}

std::optional<FileIdentity> IdentityAt(const std::wstring& path) {
  base::unique_hfile file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return std::nullopt;
  return IdentityOf(file.Get());
}

}  // namespace

std::wstring KeptAsText(const std::wstring& path) { return L" The new picture is kept as " + path + L"."; }

void WritePictureFile(const std::wstring& path, const uint8_t* bytes, size_t size, WriteFileFn write,
                      ReplaceFileFn replace) {
  const char* const kSource = "SavePicture";
  const std::wstring target = FilePathForApi(path);

  // A read-only file is not ours to replace. Windows refuses on its own; Wine running as root
  // does not, so the attribute is checked here, before a byte is written.
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  const bool targetExists = attributes != INVALID_FILE_ATTRIBUTES;
  if (targetExists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
    FileFailed(kSource, ERROR_ACCESS_DENIED);
  }
  std::optional<FileIdentity> oldFile;
  if (targetExists) {
    // ReplaceFileW needs the old file with delete access; a program that holds it open without
    // delete sharing makes that impossible. Asked now, before anything is written, the answer is
    // the plain sharing violation (and Wine's ReplaceFileW, failing on it later, leaves a stray
    // file of its own beside the target).
    base::unique_hfile old(::CreateFileW(target.c_str(), DELETE | SYNCHRONIZE | FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!old) FileFailed(kSource, LastErrorOr(ERROR_SHARING_VIOLATION));
    oldFile = IdentityOf(old.Get());
  }

  // The new file is complete on disk under a temporary name beside the target before the target
  // is touched; the replacement is then a rename on the same volume.
  TemporaryFile temp(target);
  if (!temp.Made()) FileFailed(kSource, LastErrorOr(ERROR_CANNOT_MAKE));
  if (!WriteAll(temp.Handle(), bytes, size, write ? write : &::WriteFile) || !::FlushFileBuffers(temp.Handle())) {
    FileFailed(kSource, LastErrorOr(ERROR_WRITE_FAULT));
  }
  // Closed before the rename: a disk that is full can still fail here.
  if (!temp.Close()) FileFailed(kSource, LastErrorOr(ERROR_WRITE_FAULT));

  if (targetExists) {
    // ReplaceFileW keeps what belongs to the old file: its ACL, its hard links, its attributes.
    if (!(replace ? replace : &::ReplaceFileW)(target.c_str(), temp.Path().c_str(), nullptr,
                                               REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
      const DWORD code = LastErrorOr(ERROR_UNABLE_TO_REMOVE_REPLACED);
      // Most failures leave the old file where it was, and the new one can go. But
      // ERROR_UNABLE_TO_MOVE_REPLACEMENT (and whatever else ends with the old file gone) leaves only
      // the new one: it takes the target's name if it still can, and otherwise stays where it is.
      if (oldFile && IdentityAt(target) == oldFile) FileFailed(kSource, code);
      if (!::MoveFileExW(temp.Path().c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        const std::wstring kept = temp.Path();
        temp.Keep();
        throw base::AppError(base::kErrFileIo, kSource,
                             base::SystemErrorText(code) + base::Narrow(KeptAsText(ShownPath(kept))));
      }
    }
  } else if (!::MoveFileExW(temp.Path().c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
    FileFailed(kSource, LastErrorOr(ERROR_WRITE_FAULT));
  }
  temp.Keep();
}

std::vector<uint8_t> EncodeBmp(const base::PictureObject& picture) {
  BmpLayout layout;
  if (!picture.Bitmap() || !ComputeBmpLayout(picture.WidthPixels(), picture.HeightPixels(),
                                             BmpBitsFor(picture.BitsPerPixel()), layout)) {
    throw base::AppError(base::kErrInvalidPicture, "SavePicture", "The picture cannot be written as a bitmap file.");
  }
  std::vector<uint8_t> file(layout.fileSize);
  WriteBmpFileHeader(layout, file.data());
  WriteBmpInfoHeader(layout, file.data() + kBmpFileHeaderSize);

  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  } info{};
  std::memcpy(&info.header, file.data() + kBmpFileHeaderSize, sizeof info.header);
  if (!ReadPictureRows(picture, reinterpret_cast<BITMAPINFO*>(&info), file.data() + layout.pixelOffset)) {
    throw base::AppError(base::kErrInvalidPicture, "SavePicture", "The picture cannot be written as a bitmap file.");
  }
  if (layout.colorTableEntries) {
    std::memcpy(file.data() + kBmpFileHeaderSize + kBmpInfoHeaderSize, info.colors, 4u * layout.colorTableEntries);
  }
  return file;
}

void SavePictureAsBmp(const base::PictureObject& picture, const std::wstring& path, WriteFileFn write) {
  const std::vector<uint8_t> bytes = EncodeBmp(picture);
  WritePictureFile(path, bytes.data(), bytes.size(), write);
}

// --- PNG -----------------------------------------------------------------------------------

bool IsPngName(const std::wstring& path) {
  if (path.size() < 4) return false;
  std::wstring tail = path.substr(path.size() - 4);
  for (wchar_t& c : tail) c = static_cast<wchar_t>(std::towlower(c));
  return tail == L".png";
}

PixelImage PicturePixels(const base::PictureObject& picture) {
  PixelImage image;
  if (!picture.Bitmap() || picture.WidthPixels() <= 0 || picture.HeightPixels() <= 0) {
    throw base::AppError(base::kErrInvalidPicture, "SavePicture", "Invalid picture");
  }
  image.width = picture.WidthPixels();
  image.height = picture.HeightPixels();
  image.pixels.resize(static_cast<size_t>(image.width) * image.height);
  BITMAPINFO info = base::TopDownDib32(image.width, image.height);
  if (!ReadPictureRows(picture, &info, image.pixels.data())) {
    throw base::AppError(base::kErrInvalidPicture, "SavePicture", "Invalid picture");
  }
  return image;
}

base::Picture MakePicture(int width, int height, const std::function<bool(const PixelBuffer&)>& fill) {
  if (width <= 0 || height <= 0) return nullptr;
  const BITMAPINFO info = base::TopDownDib32(width, height);
  void* bits = nullptr;
  base::unique_hbitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return nullptr;
  if (!fill(PixelBuffer{static_cast<uint32_t*>(bits), width, height, static_cast<size_t>(width)})) return nullptr;
  auto picture = std::make_shared<base::PictureObject>(bitmap.Get(), nullptr);
  bitmap.Release();
  return picture;
}

std::vector<uint8_t> EncodePng(const PixelImage& image) {
  auto fail = [] { throw base::AppError(base::kErrInvalidPicture, "SavePicture", "Invalid picture"); };
  if (image.Empty() || image.pixels.size() < static_cast<size_t>(image.width) * image.height) fail();
  // 24 bits a pixel: the fourth byte of ours carries nothing, and a PNG without alpha is what every
  // reader shows the same way.
  const UINT stride = static_cast<UINT>(image.width) * 3;
  std::vector<uint8_t> rows(static_cast<size_t>(stride) * image.height);
  for (size_t i = 0, n = image.pixels.size(); i < n; ++i) {
    const uint32_t p = image.pixels[i];
    rows[i * 3 + 0] = static_cast<uint8_t>(p);
    rows[i * 3 + 1] = static_cast<uint8_t>(p >> 8);
    rows[i * 3 + 2] = static_cast<uint8_t>(p >> 16);
  }

  ImagingFactory factory;
  if (!factory) fail();
  base::ComPtr<IStream> memory;
  if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, memory.Put()))) fail();
  base::ComPtr<IWICBitmapEncoder> encoder;
  if (FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Put())) ||
      FAILED(encoder->Initialize(memory.Get(), WICBitmapEncoderNoCache))) {
    fail();
  }
  base::ComPtr<IWICBitmapFrameEncode> frame;
  if (FAILED(encoder->CreateNewFrame(frame.Put(), nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height)))) {
    fail();
  }
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat24bppBGR) fail();
  if (FAILED(frame->WritePixels(static_cast<UINT>(image.height), stride, static_cast<UINT>(rows.size()), rows.data())) ||
      FAILED(frame->Commit()) || FAILED(encoder->Commit())) {
    fail();
  }
  STATSTG stat{};
  if (FAILED(memory->Stat(&stat, STATFLAG_NONAME))) fail();
  HGLOBAL global = nullptr;
  if (FAILED(::GetHGlobalFromStream(memory.Get(), &global))) fail();
  base::GlobalLockGuard<uint8_t> bytes(global);
  if (!bytes.Get()) fail();
  return std::vector<uint8_t>(bytes.Get(), bytes.Get() + stat.cbSize.QuadPart);
}

void SavePicture(const base::PictureObject& picture, const std::wstring& path, WriteFileFn write) {
  if (IsPngName(path)) {
    const std::vector<uint8_t> bytes = EncodePng(PicturePixels(picture));
    WritePictureFile(path, bytes.data(), bytes.size(), write);
  } else {
    SavePictureAsBmp(picture, path, write);
  }
}

std::wstring SaveFailedText(const std::wstring& path, const std::string& reason) {
  return L"Could not save " + path + L": " + base::Widen(reason);
}

std::wstring LoadFailedText(const std::wstring& path, const std::string& reason) {
  return L"Could not load " + path + L": " + base::Widen(reason);
}

}  // namespace imaging
