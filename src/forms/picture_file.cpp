#include "forms/picture_file.h"

#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "base/error.h"
#include "base/com.h"
#include "base/handles.h"

namespace forms {

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

// --- Reading -------------------------------------------------------------------------------

namespace {

// A file larger than this is no picture we want to read into memory.
constexpr uint64_t kMaxPictureFileBytes = 512ull * 1024 * 1024;

[[noreturn]] void InvalidPicture() { throw base::AppError(base::kErrInvalidPicture, "LoadPicture", "Invalid picture"); }
[[noreturn]] void FileIoError(const char* source) { throw base::AppError(base::kErrFileIo, source, "Path/File access error"); }

std::vector<uint8_t> ReadWholeFile(const std::wstring& path) {
  base::unique_handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) FileIoError("LoadPicture");
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size)) FileIoError("LoadPicture");
  if (size.QuadPart <= 0 || static_cast<uint64_t>(size.QuadPart) > kMaxPictureFileBytes) InvalidPicture();
  std::vector<uint8_t> data(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < data.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 24));
    DWORD got = 0;
    if (!::ReadFile(file.Get(), data.data() + done, chunk, &got, nullptr)) FileIoError("LoadPicture");
    if (got == 0) break;  // the file shrank under us
    done += got;
  }
  data.resize(done);
  return data;
}

// A screen-compatible bitmap made from device-independent pixels, so that the picture paints on
// the screen with one BitBlt, as a grab does.
base::Picture PictureFromDib(const BITMAPINFO* info, const void* bits, int width, int height) {
  base::WindowDc screen(nullptr);
  base::unique_hbitmap bitmap(::CreateCompatibleBitmap(screen.Get(), width, height));
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

base::Picture LoadWithCodecs(const std::vector<uint8_t>& data) {
  base::ComScope com;
  base::ComPtr<IWICImagingFactory> factory;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                factory.PutVoid()))) {
    InvalidPicture();
  }
  base::ComPtr<IWICStream> stream;
  if (FAILED(factory->CreateStream(stream.Put())) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data.data()), static_cast<DWORD>(data.size())))) {
    InvalidPicture();
  }
  base::ComPtr<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.Put()))) {
    InvalidPicture();
  }
  base::ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, frame.Put()))) InvalidPicture();
  UINT width = 0, height = 0;
  if (FAILED(frame->GetSize(&width, &height))) InvalidPicture();
  // Checked before a single pixel is decoded: the header alone may claim anything.
  if (width == 0 || height == 0 || width > static_cast<UINT>(kMaxPictureSide) ||
      height > static_cast<UINT>(kMaxPictureSide) ||
      static_cast<int64_t>(width) * height > kMaxPicturePixels) {
    InvalidPicture();
  }
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
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = static_cast<LONG>(width);
  info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down, as WIC gives the rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return PictureFromDib(&info, pixels.data(), static_cast<int>(width), static_cast<int>(height));
}

}  // namespace

base::Picture LoadPictureFile(const std::wstring& path) {
  std::vector<uint8_t> data = ReadWholeFile(path);
  if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') return LoadBmp(data);
  return LoadWithCodecs(data);
}

// --- Writing -------------------------------------------------------------------------------

namespace {

std::wstring DirectoryOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return L".";
  if (slash == 0 || (slash == 2 && path[1] == L':')) return path.substr(0, slash + 1);  // "\" or "C:\"
  return path.substr(0, slash);
}

bool WriteAll(HANDLE file, const uint8_t* data, size_t size, WriteFileFn write) {
  // In pieces, so that a failure part-way is a failure part-way and not all or nothing.
  constexpr size_t kPiece = 1u << 20;
  size_t done = 0;
  while (done < size) {
    const DWORD piece = static_cast<DWORD>(std::min(size - done, kPiece));
    DWORD written = 0;
    if (!write(file, data + done, piece, &written, nullptr) || written != piece) return false;
    done += piece;
  }
  return true;
}

}  // namespace

std::vector<uint8_t> EncodeBmp(const base::PictureObject& picture) {
  BmpLayout layout;
  if (!picture.Bitmap() || !ComputeBmpLayout(picture.WidthPixels(), picture.HeightPixels(),
                                             BmpBitsFor(picture.BitsPerPixel()), layout)) {
    throw base::AppError(base::kErrInvalidPicture, "SavePicture", "Invalid picture");
  }
  std::vector<uint8_t> file(layout.fileSize);
  WriteBmpFileHeader(layout, file.data());
  WriteBmpInfoHeader(layout, file.data() + kBmpFileHeaderSize);

  // GetDIBits wants the bitmap out of every DC.
  picture.ReleaseDc();
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  } info{};
  std::memcpy(&info.header, file.data() + kBmpFileHeaderSize, sizeof info.header);
  base::WindowDc screen(nullptr);
  base::unique_hdc dc(::CreateCompatibleDC(screen.Get()));
  HPALETTE previous = nullptr;
  if (picture.Palette()) {
    // The colour table of a palette picture comes from its own palette.
    previous = ::SelectPalette(dc.Get(), picture.Palette(), FALSE);
    ::RealizePalette(dc.Get());
  }
  const int lines = ::GetDIBits(dc.Get(), picture.Bitmap(), 0, static_cast<UINT>(layout.height),
                                file.data() + layout.pixelOffset, reinterpret_cast<BITMAPINFO*>(&info),
                                DIB_RGB_COLORS);
  if (previous) ::SelectPalette(dc.Get(), previous, FALSE);
  if (lines != layout.height) throw base::AppError(base::kErrInvalidPicture, "SavePicture", "Invalid picture");
  if (layout.colorTableEntries) {
    std::memcpy(file.data() + kBmpFileHeaderSize + kBmpInfoHeaderSize, info.colors, 4u * layout.colorTableEntries);
  }
  return file;
}

void WriteFileReplacing(const std::wstring& path, const std::vector<uint8_t>& bytes, WriteFileFn write,
                        const char* source) {
  // The new file is complete on disk under a temporary name beside the target before the target
  // is touched; replacing is then one rename on the same volume.
  wchar_t temp[MAX_PATH + 1] = {};
  if (!::GetTempFileNameW(DirectoryOf(path).c_str(), L"scv", 0, temp)) FileIoError(source);
  bool ok = false;
  {
    base::unique_handle file(
        ::CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() != INVALID_HANDLE_VALUE) {
      ok = WriteAll(file.Get(), bytes.data(), bytes.size(), write ? write : &::WriteFile) && ::FlushFileBuffers(file.Get());
      if (!::CloseHandle(file.Release())) ok = false;
    }
  }
  if (ok) ok = ::MoveFileExW(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) {
    const DWORD error = ::GetLastError();
    ::DeleteFileW(temp);
    ::SetLastError(error);
    FileIoError(source);
  }
}

void SavePictureAsBmp(const base::PictureObject& picture, const std::wstring& path, WriteFileFn write) {
  WriteFileReplacing(path, EncodeBmp(picture), write);
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
  // GetDIBits wants the bitmap out of every DC.
  picture.ReleaseDc();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  base::WindowDc screen(nullptr);
  base::unique_hdc dc(::CreateCompatibleDC(screen.Get()));
  HPALETTE previous = nullptr;
  if (picture.Palette()) {
    previous = ::SelectPalette(dc.Get(), picture.Palette(), FALSE);
    ::RealizePalette(dc.Get());
  }
  const int lines = ::GetDIBits(dc.Get(), picture.Bitmap(), 0, static_cast<UINT>(image.height), image.pixels.data(),
                                &info, DIB_RGB_COLORS);
  if (previous) ::SelectPalette(dc.Get(), previous, FALSE);
  if (lines != image.height) throw base::AppError(base::kErrInvalidPicture, "SavePicture", "Invalid picture");
  return image;
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

  base::ComScope com;
  base::ComPtr<IWICImagingFactory> factory;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                factory.PutVoid()))) {
    fail();
  }
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
    WriteFileReplacing(path, EncodePng(PicturePixels(picture)), write);
  } else {
    SavePictureAsBmp(picture, path, write);
  }
}

}  // namespace forms
