// BMP header arithmetic and checks, and reading and writing picture files.
#include <gtest/gtest.h>

#include <objbase.h>
#include <wincodec.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/handles.h"
#include "base/text.h"
#include "imaging/picture_file.h"
#include "support/picture_support.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
void SetLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A small valid 24-bit BMP, built by hand: w x h, every pixel `bgr`.
std::vector<uint8_t> HandMadeBmp(int w, int h) {
  imaging::BmpLayout l;
  EXPECT_TRUE(imaging::ComputeBmpLayout(w, h, 24, l));
  std::vector<uint8_t> b(l.fileSize, 0);
  imaging::WriteBmpFileHeader(l, b.data());
  imaging::WriteBmpInfoHeader(l, b.data() + 14);
  for (uint32_t i = l.pixelOffset; i < l.fileSize; ++i) b[i] = static_cast<uint8_t>(i * 7);
  return b;
}

TEST(BmpLayout, RowsArePaddedToFourBytesAndSmallDepthsCarryAColourTable) {
  imaging::BmpLayout l;
  ASSERT_TRUE(imaging::ComputeBmpLayout(1920, 1080, 32, l));
  EXPECT_EQ(7680u, l.rowStride);
  EXPECT_EQ(7680u * 1080, l.imageSize);
  EXPECT_EQ(54u, l.pixelOffset);
  EXPECT_EQ(54u + 7680u * 1080, l.fileSize);
  EXPECT_EQ(0u, l.colorTableEntries);

  ASSERT_TRUE(imaging::ComputeBmpLayout(3, 2, 24, l));
  EXPECT_EQ(12u, l.rowStride);  // 9 bytes padded to 12
  EXPECT_EQ(24u, l.imageSize);

  ASSERT_TRUE(imaging::ComputeBmpLayout(33, 1, 1, l));
  EXPECT_EQ(8u, l.rowStride);  // 33 bits -> 5 bytes -> 8
  EXPECT_EQ(2u, l.colorTableEntries);
  EXPECT_EQ(54u + 8u, l.pixelOffset);

  ASSERT_TRUE(imaging::ComputeBmpLayout(5, 5, 8, l));
  EXPECT_EQ(256u, l.colorTableEntries);
  EXPECT_EQ(54u + 1024u, l.pixelOffset);
  EXPECT_EQ(8u, l.rowStride);

  ASSERT_TRUE(imaging::ComputeBmpLayout(7, 1, 16, l));
  EXPECT_EQ(16u, l.rowStride);
}

TEST(BmpLayout, RefusesEmptyOrAbsurdSizesAndDepthsABmpCannotHold) {
  imaging::BmpLayout l;
  EXPECT_FALSE(imaging::ComputeBmpLayout(0, 10, 24, l));
  EXPECT_FALSE(imaging::ComputeBmpLayout(10, -1, 24, l));
  EXPECT_FALSE(imaging::ComputeBmpLayout(40000, 10, 24, l));
  EXPECT_FALSE(imaging::ComputeBmpLayout(30000, 30000, 32, l));  // past the pixel limit
  EXPECT_FALSE(imaging::ComputeBmpLayout(10, 10, 15, l));
  EXPECT_EQ(16, imaging::BmpBitsFor(15));
  EXPECT_EQ(4, imaging::BmpBitsFor(2));
  EXPECT_EQ(24, imaging::BmpBitsFor(24));
  EXPECT_EQ(32, imaging::BmpBitsFor(32));
  EXPECT_EQ(0, imaging::BmpBitsFor(0));
}

TEST(BmpHeaders, AreLittleEndianWithTheFieldsWhereReadersLookForThem) {
  imaging::BmpLayout l;
  ASSERT_TRUE(imaging::ComputeBmpLayout(640, 480, 24, l));
  std::vector<uint8_t> b(54);
  imaging::WriteBmpFileHeader(l, b.data());
  imaging::WriteBmpInfoHeader(l, b.data() + 14);
  EXPECT_EQ('B', b[0]);
  EXPECT_EQ('M', b[1]);
  EXPECT_EQ(l.fileSize, Le32(b, 2));
  EXPECT_EQ(0u, Le32(b, 6));
  EXPECT_EQ(54u, Le32(b, 10));
  EXPECT_EQ(40u, Le32(b, 14));
  EXPECT_EQ(640u, Le32(b, 18));
  EXPECT_EQ(480u, Le32(b, 22));  // positive: bottom-up
  EXPECT_EQ(1, b[26]);
  EXPECT_EQ(24, b[28]);
  EXPECT_EQ(0u, Le32(b, 30));
  EXPECT_EQ(640u * 3 * 480, Le32(b, 34));
  // The same bytes as the platform's own structures would hold.
  BITMAPFILEHEADER fh;
  BITMAPINFOHEADER ih;
  std::memcpy(&fh, b.data(), sizeof fh);
  std::memcpy(&ih, b.data() + 14, sizeof ih);
  EXPECT_EQ(0x4D42, fh.bfType);
  EXPECT_EQ(54u, fh.bfOffBits);
  EXPECT_EQ(480, ih.biHeight);
  EXPECT_EQ(24, ih.biBitCount);
}

TEST(BmpCheck, AcceptsAWholeFileAndRefusesTruncatedCorruptAndAbsurdOnes) {
  std::vector<uint8_t> good = HandMadeBmp(5, 3);
  imaging::BmpFacts f;
  ASSERT_EQ(imaging::BmpCheck::Ok, imaging::CheckBmp(good.data(), good.size(), f));
  EXPECT_EQ(5, f.width);
  EXPECT_EQ(3, f.height);
  EXPECT_FALSE(f.topDown);
  EXPECT_EQ(16u * 3, f.pixelBytes);

  // One byte short of the last row.
  EXPECT_EQ(imaging::BmpCheck::Truncated, imaging::CheckBmp(good.data(), good.size() - 1, f));
  EXPECT_EQ(imaging::BmpCheck::Truncated, imaging::CheckBmp(good.data(), 20, f));
  EXPECT_EQ(imaging::BmpCheck::NotBmp, imaging::CheckBmp(reinterpret_cast<const uint8_t*>("PK\3\4xxxx"), 8, f));

  // A 60-byte file that claims 30000 x 30000 pixels is refused on its claim alone.
  std::vector<uint8_t> huge = good;
  SetLe32(huge, 18, 30000);
  SetLe32(huge, 22, 30000);
  EXPECT_EQ(imaging::BmpCheck::TooLarge, imaging::CheckBmp(huge.data(), huge.size(), f));
  SetLe32(huge, 18, 0x7FFFFFFF);
  SetLe32(huge, 22, 1);
  EXPECT_EQ(imaging::BmpCheck::TooLarge, imaging::CheckBmp(huge.data(), huge.size(), f));

  std::vector<uint8_t> bad = good;
  SetLe32(bad, 18, static_cast<uint32_t>(-5));  // negative width
  EXPECT_EQ(imaging::BmpCheck::BadHeader, imaging::CheckBmp(bad.data(), bad.size(), f));
  bad = good;
  SetLe32(bad, 22, 0x80000000u);  // a height that cannot be negated
  EXPECT_EQ(imaging::BmpCheck::BadHeader, imaging::CheckBmp(bad.data(), bad.size(), f));
  bad = good;
  SetLe32(bad, 14, 99);  // unknown info header
  EXPECT_EQ(imaging::BmpCheck::BadHeader, imaging::CheckBmp(bad.data(), bad.size(), f));
  bad = good;
  SetLe32(bad, 10, 20);  // pixels said to start inside the headers
  EXPECT_EQ(imaging::BmpCheck::BadHeader, imaging::CheckBmp(bad.data(), bad.size(), f));
  bad = good;
  SetLe32(bad, 10, 0xFFFFFFF0u);  // pixels said to start far past the end
  EXPECT_EQ(imaging::BmpCheck::Truncated, imaging::CheckBmp(bad.data(), bad.size(), f));
  bad = good;
  bad[28] = 7;  // 7 bits per pixel
  EXPECT_EQ(imaging::BmpCheck::BadHeader, imaging::CheckBmp(bad.data(), bad.size(), f));
  bad = good;
  SetLe32(bad, 30, BI_RLE8);  // RLE8 on a 24-bit bitmap
  EXPECT_EQ(imaging::BmpCheck::BadHeader, imaging::CheckBmp(bad.data(), bad.size(), f));

  // A top-down file is fine; an 8-bit one with more colours than it can index is not.
  std::vector<uint8_t> topDown = good;
  SetLe32(topDown, 22, static_cast<uint32_t>(-3));
  ASSERT_EQ(imaging::BmpCheck::Ok, imaging::CheckBmp(topDown.data(), topDown.size(), f));
  EXPECT_TRUE(f.topDown);
  EXPECT_EQ(3, f.height);
  imaging::BmpLayout l8;
  ASSERT_TRUE(imaging::ComputeBmpLayout(4, 4, 8, l8));
  std::vector<uint8_t> eight(l8.fileSize, 0);
  imaging::WriteBmpFileHeader(l8, eight.data());
  imaging::WriteBmpInfoHeader(l8, eight.data() + 14);
  EXPECT_EQ(imaging::BmpCheck::Ok, imaging::CheckBmp(eight.data(), eight.size(), f));
  SetLe32(eight, 46, 257);
  EXPECT_EQ(imaging::BmpCheck::BadHeader, imaging::CheckBmp(eight.data(), eight.size(), f));
}

// --- What a file claims ------------------------------------------------------------------------

void PutBe16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v >> 8);
  b[at + 1] = static_cast<uint8_t>(v);
}

// The marker segments of a JPEG as far as the header check reads them: SOI, a JFIF APP0, one frame
// header (SOF0) per size given, a scan header, two bytes of compressed data with a stuffed FF,
// EOI.
std::vector<uint8_t> JpegHeaders(std::initializer_list<std::pair<uint16_t, uint16_t>> frames) {
  std::vector<uint8_t> b = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
  for (const auto& [width, height] : frames) {
    const size_t at = b.size();
    b.insert(b.end(), {0xFF, 0xC0, 0x00, 0x11, 8, 0, 0, 0, 0, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1});
    PutBe16(b, at + 5, height);
    PutBe16(b, at + 7, width);
    b.insert(b.end(), {0xFF, 0xDA, 0x00, 0x08, 1, 1, 0, 0, 0x3F, 0, 0x12, 0xFF, 0x00, 0x34});
  }
  b.insert(b.end(), {0xFF, 0xD9});
  return b;
}

std::vector<uint8_t> PngHeader(uint32_t width, uint32_t height) {
  std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (uint32_t v : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
  }
  b.insert(b.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0});  // depth, colour type, methods, CRC
  return b;
}

// A GIF of a `screenW` x `screenH` logical screen holding one image descriptor per size given,
// each followed by an empty data block.
std::vector<uint8_t> GifHeaders(uint16_t screenW, uint16_t screenH,
                                std::initializer_list<std::pair<uint16_t, uint16_t>> frames) {
  std::vector<uint8_t> b = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
  b[6] = static_cast<uint8_t>(screenW);
  b[7] = static_cast<uint8_t>(screenW >> 8);
  b[8] = static_cast<uint8_t>(screenH);
  b[9] = static_cast<uint8_t>(screenH >> 8);
  // A graphic control extension, as animated GIFs carry before each frame.
  for (const auto& [width, height] : frames) {
    b.insert(b.end(), {0x21, 0xF9, 4, 0, 10, 0, 0, 0});
    b.insert(b.end(), {0x2C, 0, 0, 0, 0, static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
                       static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8), 0, 2, 2, 0x44, 0x01, 0});
  }
  b.push_back(0x3B);
  return b;
}

imaging::HeaderCheck Check(const std::vector<uint8_t>& file, imaging::ClaimedSize& claim) {
  return imaging::CheckPictureHeader(file.data(), file.size(), claim);
}

TEST(PictureHeader, EachFormatTellsItsSizeAndTheLimitsHoldForEveryFrame) {
  imaging::ClaimedSize c;
  ASSERT_EQ(imaging::HeaderCheck::Ok, Check(JpegHeaders({{640, 480}}), c));
  EXPECT_EQ(imaging::PictureFormat::Jpeg, c.format);
  EXPECT_EQ(640, c.width);
  EXPECT_EQ(480, c.height);
  ASSERT_EQ(imaging::HeaderCheck::Ok, Check(PngHeader(1920, 1080), c));
  EXPECT_EQ(imaging::PictureFormat::Png, c.format);
  EXPECT_EQ(1920, c.width);
  ASSERT_EQ(imaging::HeaderCheck::Ok, Check(GifHeaders(320, 200, {{320, 200}, {10, 10}}), c));
  EXPECT_EQ(imaging::PictureFormat::Gif, c.format);
  EXPECT_EQ(200, c.height);
  ASSERT_EQ(imaging::HeaderCheck::Ok, Check(HandMadeBmp(7, 5), c));
  EXPECT_EQ(imaging::PictureFormat::Bmp, c.format);
  EXPECT_EQ(7, c.width);

  // Past the limits: the claim that broke them is reported.
  EXPECT_EQ(imaging::HeaderCheck::TooLarge, Check(JpegHeaders({{30000, 30000}}), c));
  EXPECT_EQ(30000, c.width);
  EXPECT_EQ(30000, c.height);
  EXPECT_EQ(imaging::HeaderCheck::TooLarge, Check(JpegHeaders({{640, 480}, {60000, 2}}), c))
      << "a second frame header further on counts as much as the first";
  EXPECT_EQ(imaging::HeaderCheck::TooLarge, Check(PngHeader(40000, 1), c));
  EXPECT_EQ(imaging::HeaderCheck::TooLarge, Check(PngHeader(8192, 8193), c)) << "one row past 64 Mi pixels";
  EXPECT_EQ(imaging::HeaderCheck::Ok, Check(PngHeader(8192, 8192), c)) << "exactly 64 Mi pixels";
  EXPECT_EQ(imaging::HeaderCheck::TooLarge, Check(PngHeader(0x80000000u, 0x80000000u), c));
  EXPECT_EQ(imaging::HeaderCheck::TooLarge, Check(GifHeaders(65535, 65535, {{1, 1}}), c));
  EXPECT_EQ(imaging::HeaderCheck::TooLarge, Check(GifHeaders(10, 10, {{10, 10}, {50000, 2}}), c))
      << "a frame larger than the screen it claims";
  EXPECT_EQ(imaging::HeaderCheck::TooLarge, Check(GifHeaders(8192, 8192, {{8192, 8192}, {8192, 8192}}), c))
      << "frames a decoder holds all at once count together";
  std::vector<uint8_t> bmp = HandMadeBmp(7, 5);
  SetLe32(bmp, 18, 30000);
  SetLe32(bmp, 22, static_cast<uint32_t>(-30000));
  EXPECT_EQ(imaging::HeaderCheck::TooLarge, Check(bmp, c));
  EXPECT_EQ(30000, c.height);
}

TEST(PictureHeader, OtherFormatsAndHeadersThatSayNothingUsableAreNotPictures) {
  imaging::ClaimedSize c;
  const std::vector<uint8_t> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0};
  EXPECT_EQ(imaging::HeaderCheck::NotAPicture, Check(tiff, c));
  EXPECT_EQ(imaging::HeaderCheck::NotAPicture, Check({}, c));
  std::vector<uint8_t> noFrame = JpegHeaders({});
  EXPECT_EQ(imaging::HeaderCheck::NotAPicture, Check(noFrame, c)) << "no frame header at all";
  EXPECT_EQ(imaging::HeaderCheck::NotAPicture, Check(JpegHeaders({{640, 0}}), c)) << "a height left to a DNL marker";
  std::vector<uint8_t> cut = JpegHeaders({{640, 480}});
  cut.resize(24);  // inside the frame header
  EXPECT_EQ(imaging::HeaderCheck::NotAPicture, Check(cut, c));
  std::vector<uint8_t> png = PngHeader(100, 100);
  png.resize(20);
  EXPECT_EQ(imaging::HeaderCheck::NotAPicture, Check(png, c));
  EXPECT_EQ(imaging::HeaderCheck::NotAPicture, Check(PngHeader(0, 100), c));
  EXPECT_EQ(imaging::HeaderCheck::NotAPicture, Check(GifHeaders(10, 10, {}), c)) << "a GIF without an image";
}

// --- Files ---------------------------------------------------------------------------------

TEST(PictureFile, ABmpWrittenAtTheScreenDepthReadsBackPixelForPixelUnderAnyName) {
  const std::wstring dir = TempDir(L"roundtrip");
  base::Picture pic = PatternPicture(301, 157);
  // Outside the ANSI code page: Cyrillic, CJK and a character beyond the BMP.
  const std::wstring name = dir + L"\\\u0421\u043d\u0438\u043c\u043e\u043a-\u56fe\u7247-\U0001F58C.png";
  imaging::SavePictureAsBmp(*pic, name);
  std::vector<uint8_t> bytes = ReadBytes(name);
  ASSERT_GE(bytes.size(), 54u);
  EXPECT_EQ('B', bytes[0]);
  HDC screen = ::GetDC(nullptr);
  const int screenBits = ::GetDeviceCaps(screen, BITSPIXEL);
  ::ReleaseDC(nullptr, screen);
  EXPECT_EQ(imaging::BmpBitsFor(screenBits), bytes[28]) << "the screen's colour depth";
  EXPECT_EQ(bytes.size(), Le32(bytes, 2));
  base::Picture back = imaging::LoadPictureFile(name);
  ASSERT_NE(nullptr, back);
  EXPECT_EQ(301, back->WidthPixels());
  EXPECT_EQ(157, back->HeightPixels());
  EXPECT_EQ(0, CountDifferences(PictureImage(pic), PictureImage(back)));
  EXPECT_EQ(1, FilesIn(dir)) << "no temporary file left behind";
  ::DeleteFileW(name.c_str());
}

int g_writesBeforeFailure = 0;
BOOL WINAPI FailingWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  if (g_writesBeforeFailure-- > 0) return ::WriteFile(file, data, size, written, overlapped);
  // As a full disk does: part of the piece written, then an error.
  DWORD partial = 0;
  ::WriteFile(file, data, size / 3, &partial, overlapped);
  *written = partial;
  ::SetLastError(ERROR_DISK_FULL);
  return FALSE;
}

TEST(PictureFile, ASaveThatFailsPartWayLeavesTheOldFileByteForByte) {
  const std::wstring dir = TempDir(L"failing");
  const std::wstring name = dir + L"\\keep.bmp";
  imaging::SavePictureAsBmp(*PatternPicture(400, 300), name);
  const std::vector<uint8_t> before = ReadBytes(name);
  ASSERT_FALSE(before.empty());

  g_writesBeforeFailure = 1;  // the first megabyte goes out, the second fails
  try {
    imaging::SavePictureAsBmp(*PatternPicture(1200, 900, 7), name, FailingWrite);
    ADD_FAILURE() << "the save reported success";
  } catch (const base::AppError& e) {
    EXPECT_EQ(base::kErrFileIo, e.Number());
    EXPECT_EQ(base::SystemErrorText(ERROR_DISK_FULL), e.Description()) << "the system's reason for the failure";
  }
  EXPECT_EQ(before, ReadBytes(name));
  EXPECT_EQ(1, FilesIn(dir)) << "the half-written temporary file is removed";

  // And a save that works replaces it.
  imaging::SavePictureAsBmp(*PatternPicture(40, 30, 5), name);
  EXPECT_NE(before, ReadBytes(name));
  EXPECT_EQ(40u, Le32(ReadBytes(name), 18));
  EXPECT_EQ(1, FilesIn(dir));
  ::DeleteFileW(name.c_str());
}

TEST(PictureFile, ASaveIntoAFolderThatDoesNotExistFailsAsAFileError) {
  EXPECT_EQ(base::kErrFileIo, ErrorNumberOf([] {
              imaging::SavePictureAsBmp(*PatternPicture(4, 4), TempDir(L"x") + L"\\no\\such\\folder\\a.bmp");
            }));
}

// Writes `pic` through WIC's encoder in the given container format.
void WriteWithCodec(const base::Picture& pic, const std::wstring& path, const GUID& container) {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IWICImagingFactory* factory = nullptr;
  ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)));
  IWICBitmap* bitmap = nullptr;
  pic->ReleaseDc();
  ASSERT_HRESULT_SUCCEEDED(factory->CreateBitmapFromHBITMAP(pic->Bitmap(), nullptr, WICBitmapIgnoreAlpha, &bitmap));
  IWICStream* stream = nullptr;
  factory->CreateStream(&stream);
  ASSERT_HRESULT_SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE));
  IWICBitmapEncoder* encoder = nullptr;
  ASSERT_HRESULT_SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder));
  encoder->Initialize(stream, WICBitmapEncoderNoCache);
  IWICBitmapFrameEncode* frame = nullptr;
  encoder->CreateNewFrame(&frame, nullptr);
  frame->Initialize(nullptr);
  frame->SetSize(static_cast<UINT>(pic->WidthPixels()), static_cast<UINT>(pic->HeightPixels()));
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  frame->SetPixelFormat(&format);
  ASSERT_HRESULT_SUCCEEDED(frame->WriteSource(bitmap, nullptr));
  frame->Commit();
  encoder->Commit();
  frame->Release();
  encoder->Release();
  stream->Release();
  bitmap->Release();
  factory->Release();
  ::CoUninitialize();
}

TEST(PictureFile, APngLoadsThroughTheImagingCodecsAndABrokenOneFailsCleanly) {
  const std::wstring dir = TempDir(L"png");
  base::Picture pic = PatternPicture(123, 77, 3);
  const std::wstring png = dir + L"\\p.png";
  WriteWithCodec(pic, png, GUID_ContainerFormatPng);
  base::Picture back = imaging::LoadPictureFile(png);
  ASSERT_NE(nullptr, back);
  EXPECT_EQ(0, CountDifferences(PictureImage(pic), PictureImage(back)));

  std::vector<uint8_t> bytes = ReadBytes(png);
  bytes.resize(bytes.size() / 2);
  WriteBytes(png, bytes);
  EXPECT_EQ(base::kErrInvalidPicture, ErrorNumberOf([&] { imaging::LoadPictureFile(png); }));
  ::DeleteFileW(png.c_str());
}

TEST(PictureFile, NonPicturesTruncatedAndAbsurdFilesFailAsInvalidPicturesWithoutAHugeAllocation) {
  const std::wstring dir = TempDir(L"bad");
  const std::wstring name = dir + L"\\bad.bmp";
  WriteBytes(name, std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'});
  EXPECT_EQ(base::kErrInvalidPicture, ErrorNumberOf([&] { imaging::LoadPictureFile(name); }));
  WriteBytes(name, {});
  EXPECT_EQ(base::kErrInvalidPicture, ErrorNumberOf([&] { imaging::LoadPictureFile(name); }));

  std::vector<uint8_t> good = HandMadeBmp(64, 64);
  std::vector<uint8_t> truncated(good.begin(), good.end() - 100);
  WriteBytes(name, truncated);
  EXPECT_EQ(base::kErrInvalidPicture, ErrorNumberOf([&] { imaging::LoadPictureFile(name); }));

  // Claims 30000 x 30000 at 32 bits (3.6 GB) in a file of a few bytes.
  std::vector<uint8_t> absurd = good;
  SetLe32(absurd, 18, 30000);
  SetLe32(absurd, 22, 30000);
  absurd[28] = 32;
  WriteBytes(name, absurd);
  const size_t memoryBefore = WorkingSetBytes();
  EXPECT_EQ(base::kErrInvalidPicture, ErrorNumberOf([&] { imaging::LoadPictureFile(name); }));
  EXPECT_LT(WorkingSetBytes(), memoryBefore + (64u << 20));

  EXPECT_EQ(base::kErrFileIo, ErrorNumberOf([&] { imaging::LoadPictureFile(dir + L"\\missing.bmp"); }));
  WriteBytes(name, good);
  EXPECT_NE(nullptr, imaging::LoadPictureFile(name));
  ::DeleteFileW(name.c_str());
}

// --- Hostile and unusual files ---------------------------------------------------------------

// The AppError that `fn` raised: its number, and its description, the reason the user reads.
struct Raised {
  int number = 0;
  std::string reason;
};
Raised ErrorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const base::AppError& e) {
    return {e.Number(), e.Description()};
  }
  return {};
}

// A 2 x 2 GIF built by hand (not every imaging codec set has a GIF encoder): a four-colour table
// of red, green, blue and white, one pixel of each.
std::vector<uint8_t> TinyGif() {
  return {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x81, 0, 0,
          0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,
          0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0,
          2, 3, 0x44, 0x34, 0x05, 0,  // LZW: clear, 0, 1, 2, 3, end
          0x3B};
}

TEST(PictureFile, SmallJpegAndGifFilesLoad) {
  const std::wstring dir = TempDir(L"formats");
  const std::wstring jpeg = dir + L"\\p.jpg";
  WriteWithCodec(PatternPicture(96, 64, 3), jpeg, GUID_ContainerFormatJpeg);
  base::Picture back = imaging::LoadPictureFile(jpeg);
  ASSERT_NE(nullptr, back);
  EXPECT_EQ(96, back->WidthPixels());
  EXPECT_EQ(64, back->HeightPixels());

  const std::wstring gif = dir + L"\\p.gif";
  WriteBytes(gif, TinyGif());
  back = imaging::LoadPictureFile(gif);
  ASSERT_NE(nullptr, back);
  const ScreenImage pixels = PictureImage(back);
  ASSERT_EQ(2, pixels.width);
  ASSERT_EQ(2, pixels.height);
  EXPECT_EQ(0xFF0000u, pixels.At(0, 0));
  EXPECT_EQ(0x00FF00u, pixels.At(1, 0));
  EXPECT_EQ(0x0000FFu, pixels.At(0, 1));
  EXPECT_EQ(0xFFFFFFu, pixels.At(1, 1));
  ::DeleteFileW(jpeg.c_str());
  ::DeleteFileW(gif.c_str());
}

TEST(PictureFile, AJpegClaiming30000By30000IsRefusedAtOnceWithoutTheMemory) {
  // A real JPEG from the codecs' own encoder, its frame header changed to claim 30000 x 30000: a
  // decoder asked to open it allocates about 2.6 GB and keeps the program busy for seconds.
  const std::wstring dir = TempDir(L"huge");
  const std::wstring name = dir + L"\\huge.jpg";
  WriteWithCodec(PatternPicture(64, 48), name, GUID_ContainerFormatJpeg);
  std::vector<uint8_t> bytes = ReadBytes(name);
  size_t sof = 0;
  for (size_t i = 2; i + 9 < bytes.size() && !sof; ++i) {
    if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) sof = i;
  }
  ASSERT_NE(0u, sof) << "the encoder wrote a frame header";
  PutBe16(bytes, sof + 5, 30000);
  PutBe16(bytes, sof + 7, 30000);
  WriteBytes(name, bytes);

  const size_t memoryBefore = WorkingSetBytes();
  const auto start = std::chrono::steady_clock::now();
  const Raised error = ErrorOf([&] { imaging::LoadPictureFile(name); });
  const auto elapsed = std::chrono::steady_clock::now() - start;
  const size_t memoryAfter = WorkingSetBytes();
  EXPECT_EQ(base::kErrInvalidPicture, error.number);
  EXPECT_EQ("The picture is too large to open (30000 \xC3\x97 30000 pixels).", error.reason);
  // Not a speed target: refused by its header it takes a few milliseconds, decoded it takes
  // seconds. A generous bound tells the two apart even on a busy machine.
  EXPECT_LT(elapsed, std::chrono::milliseconds(100));
  EXPECT_LT(memoryAfter, memoryBefore + (50u << 20)) << memoryBefore << " -> " << memoryAfter;
  ::DeleteFileW(name.c_str());
}

// A folder path of at least `length` characters under `dir`, made of 60-character names.
std::wstring DeepFolder(const std::wstring& dir, size_t length) {
  std::wstring path = dir;
  for (int i = 0; path.size() < length; ++i) {
    path += L"\\" + std::wstring(59, static_cast<wchar_t>(L'a' + i)) + L"x";
    // Folders this deep are made through the "\\?\" form, which has no MAX_PATH limit.
    ::CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr);
  }
  return path;
}

TEST(PictureFile, AFolderPathOf300CharactersSavesReplacesAndLoads) {
  const std::wstring dir = TempDir(L"deep");
  const std::wstring folder = DeepFolder(dir, 300);
  ASSERT_GE(folder.size(), 300u);
  const std::wstring name = folder + L"\\deep.bmp";
  ASSERT_GT(name.size(), static_cast<size_t>(MAX_PATH));
  base::Picture first = PatternPicture(50, 40, 1);
  imaging::SavePictureAsBmp(*first, name);
  base::Picture back = imaging::LoadPictureFile(name);
  ASSERT_NE(nullptr, back);
  EXPECT_EQ(0, CountDifferences(PictureImage(first), PictureImage(back)));
  // Saving again replaces the file there, and leaves nothing else beside it.
  base::Picture second = PatternPicture(30, 20, 9);
  imaging::SavePictureAsBmp(*second, name);
  back = imaging::LoadPictureFile(name);
  ASSERT_NE(nullptr, back);
  EXPECT_EQ(30, back->WidthPixels());
  EXPECT_EQ(1, FilesIn(L"\\\\?\\" + folder));
  ::DeleteFileW((L"\\\\?\\" + name).c_str());
}

TEST(PictureFile, AReadOnlyFileIsNotReplaced) {
  const std::wstring dir = TempDir(L"readonly");
  const std::wstring name = dir + L"\\kept.bmp";
  imaging::SavePictureAsBmp(*PatternPicture(20, 10), name);
  const std::vector<uint8_t> before = ReadBytes(name);
  ASSERT_TRUE(::SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_READONLY));
  const Raised error = ErrorOf([&] { imaging::SavePictureAsBmp(*PatternPicture(30, 30, 4), name); });
  EXPECT_EQ(base::kErrFileIo, error.number);
  EXPECT_EQ(base::SystemErrorText(ERROR_ACCESS_DENIED), error.reason);
  EXPECT_EQ(before, ReadBytes(name));
  EXPECT_EQ(1, FilesIn(dir));
  ::SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileW(name.c_str());
}

TEST(PictureFile, AFileAnotherProgramIsWritingLoadsAndOneItHoldsIsNotReplaced) {
  const std::wstring dir = TempDir(L"shared");
  const std::wstring name = dir + L"\\busy.bmp";
  base::Picture pic = PatternPicture(40, 30, 2);
  imaging::SavePictureAsBmp(*pic, name);
  const std::vector<uint8_t> before = ReadBytes(name);
  {
    // A writer that lets others read but nothing more, as a program still saving the file does.
    base::unique_hfile writer(::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer);
    base::Picture back = imaging::LoadPictureFile(name);
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(0, CountDifferences(PictureImage(pic), PictureImage(back)));

    // That program holds the file: it cannot be replaced now, and the save says why.
    const Raised error = ErrorOf([&] { imaging::SavePictureAsBmp(*PatternPicture(8, 8), name); });
    EXPECT_EQ(base::kErrFileIo, error.number);
    EXPECT_EQ(base::SystemErrorText(ERROR_SHARING_VIOLATION), error.reason);
  }
  EXPECT_EQ(before, ReadBytes(name));
  EXPECT_EQ(1, FilesIn(dir));
  ::DeleteFileW(name.c_str());
}

// Stand-ins for ReplaceFileW as it fails on a real disk. Each leaves the old file as the error
// says and returns the error; the last one also takes the target's name away (another program
// made a folder of that name in the moment between), so the new file cannot get it either.
BOOL WINAPI ReplaceKeepingTheOld(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID) {
  ::SetLastError(ERROR_UNABLE_TO_REMOVE_REPLACED);
  return FALSE;
}
BOOL WINAPI ReplaceLosingTheOld(LPCWSTR replaced, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID) {
  ::DeleteFileW(replaced);
  ::SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
  return FALSE;
}
BOOL WINAPI ReplaceLosingTheOldAndTheName(LPCWSTR replaced, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID) {
  ::DeleteFileW(replaced);
  ::CreateDirectoryW(replaced, nullptr);
  ::SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
  return FALSE;
}

TEST(PictureFile, AReplacementThatFailsNeverLosesBothPictures) {
  const std::wstring dir = TempDir(L"replace-fails");
  const std::wstring name = dir + L"\\talk.bmp";
  const std::vector<uint8_t> oldBytes = HandMadeBmp(20, 10);
  const std::vector<uint8_t> newBytes = HandMadeBmp(40, 30);
  auto writeOld = [&] {
    ::RemoveDirectoryW(name.c_str());
    ::DeleteFileW(name.c_str());
    imaging::WritePictureFile(name, oldBytes.data(), oldBytes.size());
    ASSERT_EQ(oldBytes, ReadBytes(name));
  };

  // The old file is still there: it stays, and the new one goes.
  writeOld();
  Raised error = ErrorOf([&] {
    imaging::WritePictureFile(name, newBytes.data(), newBytes.size(), nullptr, ReplaceKeepingTheOld);
  });
  EXPECT_EQ(base::kErrFileIo, error.number);
  EXPECT_EQ(base::SystemErrorText(ERROR_UNABLE_TO_REMOVE_REPLACED), error.reason);
  EXPECT_EQ(oldBytes, ReadBytes(name));
  EXPECT_EQ(1, FilesIn(dir));

  // The old file is gone: the new one takes its name, and the save has worked.
  writeOld();
  EXPECT_NO_THROW(imaging::WritePictureFile(name, newBytes.data(), newBytes.size(), nullptr, ReplaceLosingTheOld));
  EXPECT_EQ(newBytes, ReadBytes(name));
  EXPECT_EQ(1, FilesIn(dir));

  // The name is gone too: the new picture stays under its temporary name, and the message says
  // which.
  writeOld();
  error = ErrorOf([&] {
    imaging::WritePictureFile(name, newBytes.data(), newBytes.size(), nullptr, ReplaceLosingTheOldAndTheName);
  });
  EXPECT_EQ(base::kErrFileIo, error.number);
  const std::vector<std::wstring> tmps = FileNames(dir, L"*.tmp");
  ASSERT_EQ(1u, tmps.size()) << "the new picture is still on the disk: " << error.reason << " files " << FilesIn(dir);
  const std::wstring kept = dir + L"\\" + tmps[0];
  EXPECT_EQ(newBytes, ReadBytes(kept));
  const std::wstring message = imaging::SaveFailedText(name, error.reason);
  EXPECT_EQ(L"Could not save " + name + L": " + base::Widen(base::SystemErrorText(ERROR_UNABLE_TO_MOVE_REPLACEMENT)) +
                L" The new picture is kept as " + kept + L".",
            message);
  ::DeleteFileW(kept.c_str());
  ::RemoveDirectoryW(name.c_str());
}

TEST(PictureFile, AMissingFileFailsWithTheSystemsReason) {
  const std::wstring missing = TempDir(L"missing") + L"\\not-there.bmp";
  Raised error = ErrorOf([&] { imaging::LoadPictureFile(missing); });
  EXPECT_EQ(base::kErrFileIo, error.number);
  EXPECT_EQ(base::SystemErrorText(ERROR_FILE_NOT_FOUND), error.reason);
  error = ErrorOf([&] { imaging::SavePictureAsBmp(*PatternPicture(4, 4), missing + L"\\no\\a.bmp"); });
  EXPECT_EQ(base::kErrFileIo, error.number);
  EXPECT_EQ(base::SystemErrorText(ERROR_PATH_NOT_FOUND), error.reason);
}

TEST(PictureFile, FailureTextsNameTheFileAndTheReason) {
  EXPECT_EQ(L"Could not save C:\\Talks\\x.bmp: There is not enough space on the disk.",
            imaging::SaveFailedText(L"C:\\Talks\\x.bmp", "There is not enough space on the disk."));
  EXPECT_EQ(L"Could not load C:\\Talks\\\u0416.jpg: The picture is too large to open (30000 \u00d7 30000 pixels).",
            imaging::LoadFailedText(L"C:\\Talks\\\u0416.jpg",
                                  "The picture is too large to open (30000 \xC3\x97 30000 pixels)."));
}

}  // namespace
