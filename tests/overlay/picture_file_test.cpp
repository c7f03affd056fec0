// BMP header arithmetic and checks, and reading and writing picture files.
#include <gtest/gtest.h>

#include <objbase.h>
#include <wincodec.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/error.h"
#include "forms/picture_file.h"
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
  forms::BmpLayout l;
  EXPECT_TRUE(forms::ComputeBmpLayout(w, h, 24, l));
  std::vector<uint8_t> b(l.fileSize, 0);
  forms::WriteBmpFileHeader(l, b.data());
  forms::WriteBmpInfoHeader(l, b.data() + 14);
  for (uint32_t i = l.pixelOffset; i < l.fileSize; ++i) b[i] = static_cast<uint8_t>(i * 7);
  return b;
}

TEST(BmpLayout, RowsArePaddedToFourBytesAndSmallDepthsCarryAColourTable) {
  forms::BmpLayout l;
  ASSERT_TRUE(forms::ComputeBmpLayout(1920, 1080, 32, l));
  EXPECT_EQ(7680u, l.rowStride);
  EXPECT_EQ(7680u * 1080, l.imageSize);
  EXPECT_EQ(54u, l.pixelOffset);
  EXPECT_EQ(54u + 7680u * 1080, l.fileSize);
  EXPECT_EQ(0u, l.colorTableEntries);

  ASSERT_TRUE(forms::ComputeBmpLayout(3, 2, 24, l));
  EXPECT_EQ(12u, l.rowStride);  // 9 bytes padded to 12
  EXPECT_EQ(24u, l.imageSize);

  ASSERT_TRUE(forms::ComputeBmpLayout(33, 1, 1, l));
  EXPECT_EQ(8u, l.rowStride);  // 33 bits -> 5 bytes -> 8
  EXPECT_EQ(2u, l.colorTableEntries);
  EXPECT_EQ(54u + 8u, l.pixelOffset);

  ASSERT_TRUE(forms::ComputeBmpLayout(5, 5, 8, l));
  EXPECT_EQ(256u, l.colorTableEntries);
  EXPECT_EQ(54u + 1024u, l.pixelOffset);
  EXPECT_EQ(8u, l.rowStride);

  ASSERT_TRUE(forms::ComputeBmpLayout(7, 1, 16, l));
  EXPECT_EQ(16u, l.rowStride);
}

TEST(BmpLayout, RefusesEmptyOrAbsurdSizesAndDepthsABmpCannotHold) {
  forms::BmpLayout l;
  EXPECT_FALSE(forms::ComputeBmpLayout(0, 10, 24, l));
  EXPECT_FALSE(forms::ComputeBmpLayout(10, -1, 24, l));
  EXPECT_FALSE(forms::ComputeBmpLayout(40000, 10, 24, l));
  EXPECT_FALSE(forms::ComputeBmpLayout(30000, 30000, 32, l));  // past the pixel limit
  EXPECT_FALSE(forms::ComputeBmpLayout(10, 10, 15, l));
  EXPECT_EQ(16, forms::BmpBitsFor(15));
  EXPECT_EQ(4, forms::BmpBitsFor(2));
  EXPECT_EQ(24, forms::BmpBitsFor(24));
  EXPECT_EQ(32, forms::BmpBitsFor(32));
  EXPECT_EQ(0, forms::BmpBitsFor(0));
}

TEST(BmpHeaders, AreLittleEndianWithTheFieldsWhereReadersLookForThem) {
  forms::BmpLayout l;
  ASSERT_TRUE(forms::ComputeBmpLayout(640, 480, 24, l));
  std::vector<uint8_t> b(54);
  forms::WriteBmpFileHeader(l, b.data());
  forms::WriteBmpInfoHeader(l, b.data() + 14);
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
  forms::BmpFacts f;
  ASSERT_EQ(forms::BmpCheck::Ok, forms::CheckBmp(good.data(), good.size(), f));
  EXPECT_EQ(5, f.width);
  EXPECT_EQ(3, f.height);
  EXPECT_FALSE(f.topDown);
  EXPECT_EQ(16u * 3, f.pixelBytes);

  // One byte short of the last row.
  EXPECT_EQ(forms::BmpCheck::Truncated, forms::CheckBmp(good.data(), good.size() - 1, f));
  EXPECT_EQ(forms::BmpCheck::Truncated, forms::CheckBmp(good.data(), 20, f));
  EXPECT_EQ(forms::BmpCheck::NotBmp, forms::CheckBmp(reinterpret_cast<const uint8_t*>("PK\3\4xxxx"), 8, f));

  // A 60-byte file that claims 30000 x 30000 pixels is refused on its claim alone.
  std::vector<uint8_t> huge = good;
  SetLe32(huge, 18, 30000);
  SetLe32(huge, 22, 30000);
  EXPECT_EQ(forms::BmpCheck::TooLarge, forms::CheckBmp(huge.data(), huge.size(), f));
  SetLe32(huge, 18, 0x7FFFFFFF);
  SetLe32(huge, 22, 1);
  EXPECT_EQ(forms::BmpCheck::TooLarge, forms::CheckBmp(huge.data(), huge.size(), f));

  std::vector<uint8_t> bad = good;
  SetLe32(bad, 18, static_cast<uint32_t>(-5));  // negative width
  EXPECT_EQ(forms::BmpCheck::BadHeader, forms::CheckBmp(bad.data(), bad.size(), f));
  bad = good;
  SetLe32(bad, 22, 0x80000000u);  // a height that cannot be negated
  EXPECT_EQ(forms::BmpCheck::BadHeader, forms::CheckBmp(bad.data(), bad.size(), f));
  bad = good;
  SetLe32(bad, 14, 99);  // unknown info header
  EXPECT_EQ(forms::BmpCheck::BadHeader, forms::CheckBmp(bad.data(), bad.size(), f));
  bad = good;
  SetLe32(bad, 10, 20);  // pixels said to start inside the headers
  EXPECT_EQ(forms::BmpCheck::BadHeader, forms::CheckBmp(bad.data(), bad.size(), f));
  bad = good;
  SetLe32(bad, 10, 0xFFFFFFF0u);  // pixels said to start far past the end
  EXPECT_EQ(forms::BmpCheck::Truncated, forms::CheckBmp(bad.data(), bad.size(), f));
  bad = good;
  bad[28] = 7;  // 7 bits per pixel
  EXPECT_EQ(forms::BmpCheck::BadHeader, forms::CheckBmp(bad.data(), bad.size(), f));
  bad = good;
  SetLe32(bad, 30, BI_RLE8);  // RLE8 on a 24-bit bitmap
  EXPECT_EQ(forms::BmpCheck::BadHeader, forms::CheckBmp(bad.data(), bad.size(), f));

  // A top-down file is fine; an 8-bit one with more colours than it can index is not.
  std::vector<uint8_t> topDown = good;
  SetLe32(topDown, 22, static_cast<uint32_t>(-3));
  ASSERT_EQ(forms::BmpCheck::Ok, forms::CheckBmp(topDown.data(), topDown.size(), f));
  EXPECT_TRUE(f.topDown);
  EXPECT_EQ(3, f.height);
  forms::BmpLayout l8;
  ASSERT_TRUE(forms::ComputeBmpLayout(4, 4, 8, l8));
  std::vector<uint8_t> eight(l8.fileSize, 0);
  forms::WriteBmpFileHeader(l8, eight.data());
  forms::WriteBmpInfoHeader(l8, eight.data() + 14);
  EXPECT_EQ(forms::BmpCheck::Ok, forms::CheckBmp(eight.data(), eight.size(), f));
  SetLe32(eight, 46, 257);
  EXPECT_EQ(forms::BmpCheck::BadHeader, forms::CheckBmp(eight.data(), eight.size(), f));
}

// --- Files ---------------------------------------------------------------------------------

TEST(PictureFile, ABmpWrittenAtTheScreenDepthReadsBackPixelForPixelUnderAnyName) {
  const std::wstring dir = TempDir(L"roundtrip");
  base::Picture pic = PatternPicture(301, 157);
  // Outside the ANSI code page: Cyrillic, CJK and a character beyond the BMP.
  const std::wstring name = dir + L"\\\u0421\u043d\u0438\u043c\u043e\u043a-\u56fe\u7247-\U0001F58C.png";
  forms::SavePictureAsBmp(*pic, name);
  std::vector<uint8_t> bytes = ReadBytes(name);
  ASSERT_GE(bytes.size(), 54u);
  EXPECT_EQ('B', bytes[0]);
  HDC screen = ::GetDC(nullptr);
  const int screenBits = ::GetDeviceCaps(screen, BITSPIXEL);
  ::ReleaseDC(nullptr, screen);
  EXPECT_EQ(forms::BmpBitsFor(screenBits), bytes[28]) << "the screen's colour depth";
  EXPECT_EQ(bytes.size(), Le32(bytes, 2));
  base::Picture back = forms::LoadPictureFile(name);
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
  forms::SavePictureAsBmp(*PatternPicture(400, 300), name);
  const std::vector<uint8_t> before = ReadBytes(name);
  ASSERT_FALSE(before.empty());

  g_writesBeforeFailure = 1;  // the first megabyte goes out, the second fails
  const int err = ErrorNumberOf([&] { forms::SavePictureAsBmp(*PatternPicture(1200, 900, 7), name, FailingWrite); });
  EXPECT_EQ(base::kErrFileIo, err);
  EXPECT_EQ(before, ReadBytes(name));
  EXPECT_EQ(1, FilesIn(dir)) << "the half-written temporary file is removed";

  // And a save that works replaces it.
  forms::SavePictureAsBmp(*PatternPicture(40, 30, 5), name);
  EXPECT_NE(before, ReadBytes(name));
  EXPECT_EQ(40u, Le32(ReadBytes(name), 18));
  EXPECT_EQ(1, FilesIn(dir));
  ::DeleteFileW(name.c_str());
}

TEST(PictureFile, ASaveIntoAFolderThatDoesNotExistFailsAsAFileError) {
  EXPECT_EQ(base::kErrFileIo, ErrorNumberOf([] {
              forms::SavePictureAsBmp(*PatternPicture(4, 4), TempDir(L"x") + L"\\no\\such\\folder\\a.bmp");
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
  base::Picture back = forms::LoadPictureFile(png);
  ASSERT_NE(nullptr, back);
  EXPECT_EQ(0, CountDifferences(PictureImage(pic), PictureImage(back)));

  std::vector<uint8_t> bytes = ReadBytes(png);
  bytes.resize(bytes.size() / 2);
  WriteBytes(png, bytes);
  EXPECT_EQ(base::kErrInvalidPicture, ErrorNumberOf([&] { forms::LoadPictureFile(png); }));
  ::DeleteFileW(png.c_str());
}

TEST(PictureFile, NonPicturesTruncatedAndAbsurdFilesFailAsInvalidPicturesWithoutAHugeAllocation) {
  const std::wstring dir = TempDir(L"bad");
  const std::wstring name = dir + L"\\bad.bmp";
  WriteBytes(name, std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'});
  EXPECT_EQ(base::kErrInvalidPicture, ErrorNumberOf([&] { forms::LoadPictureFile(name); }));
  WriteBytes(name, {});
  EXPECT_EQ(base::kErrInvalidPicture, ErrorNumberOf([&] { forms::LoadPictureFile(name); }));

  std::vector<uint8_t> good = HandMadeBmp(64, 64);
  std::vector<uint8_t> truncated(good.begin(), good.end() - 100);
  WriteBytes(name, truncated);
  EXPECT_EQ(base::kErrInvalidPicture, ErrorNumberOf([&] { forms::LoadPictureFile(name); }));

  // Claims 30000 x 30000 at 32 bits (3.6 GB) in a file of a few bytes.
  std::vector<uint8_t> absurd = good;
  SetLe32(absurd, 18, 30000);
  SetLe32(absurd, 22, 30000);
  absurd[28] = 32;
  WriteBytes(name, absurd);
  const size_t memoryBefore = WorkingSetBytes();
  EXPECT_EQ(base::kErrInvalidPicture, ErrorNumberOf([&] { forms::LoadPictureFile(name); }));
  EXPECT_LT(WorkingSetBytes(), memoryBefore + (64u << 20));

  EXPECT_EQ(base::kErrFileIo, ErrorNumberOf([&] { forms::LoadPictureFile(dir + L"\\missing.bmp"); }));
  WriteBytes(name, good);
  EXPECT_NE(nullptr, forms::LoadPictureFile(name));
  ::DeleteFileW(name.c_str());
}

}  // namespace
