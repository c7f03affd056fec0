// The base layer: rounding, dpi arithmetic, text conversion, handle owners, error descriptions.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cwchar>
#include <stdexcept>

#include "base/dpi.h"
#include "base/error.h"
#include "base/handles.h"
#include "base/rounding.h"
#include "base/text.h"
#include "support/test_support.h"

namespace {

TEST(Rounding, HalvesGoToTheEvenNeighbourWhateverTheRoundingMode) {
  EXPECT_EQ(0, base::RoundHalfEven(0.5));
  EXPECT_EQ(2, base::RoundHalfEven(1.5));
  EXPECT_EQ(2, base::RoundHalfEven(2.5));
  EXPECT_EQ(106, base::RoundHalfEven(106.5));
  EXPECT_EQ(0, base::RoundHalfEven(-0.5));
  EXPECT_EQ(-2, base::RoundHalfEven(-1.5));
  EXPECT_EQ(2, base::RoundHalfEven(2.4999));
  EXPECT_EQ(3, base::RoundHalfEven(2.5001));
  EXPECT_EQ(213, base::RoundHalfEven(640 / 3.0));
  // The same answers with the unit rounding upwards, as a driver or a plug-in may leave it.
  const unsigned int old = _controlfp(0, 0);
  _controlfp(_RC_UP, _MCW_RC);
  EXPECT_EQ(2, base::RoundHalfEven(2.5));
  EXPECT_EQ(0, base::RoundHalfEven(0.2));
  _controlfp(old, _MCW_RC);
}

TEST(Dpi, TwipsFollowTheRealDpiAndAreNeverRoundedBeforeDividing) {
  // The splash's client area, 5970 x 4470 twips, at 100, 150 and 200 %.
  EXPECT_EQ(398, base::PixelsFromTwips(5970, 96));
  EXPECT_EQ(597, base::PixelsFromTwips(5970, 144));
  EXPECT_EQ(796, base::PixelsFromTwips(5970, 192));
  EXPECT_EQ(596, base::PixelsFromTwips(4470, 192));
  // 175 %: 168 dpi, 8.57 twips a pixel; rounding that to 9 would make 1920 pixels 1828.
  EXPECT_EQ(1920, base::PixelsFromTwips(base::TwipsFromPixels(1920, 168), 168));
  EXPECT_EQ(3, base::PixelsFromTwips(30, 144));
  EXPECT_EQ(15, base::ScaleForDpi(10, 144));
  EXPECT_EQ(20, base::ScaleForDpi(10, 192));
  // Verdana 8.25 pt: 11 pixels at 96 dpi, 22 at 192.
  EXPECT_EQ(11, base::PixelsFromPoints(8.25, 96));
  EXPECT_EQ(22, base::PixelsFromPoints(8.25, 192));
  EXPECT_EQ(2540, base::PixelsToHimetric(96, 96));
  // A dpi that could not be read counts as 96.
  EXPECT_EQ(398, base::PixelsFromTwips(5970, 0));
}

TEST(Text, Utf8AndUtf16RoundTripEveryCharacter) {
  const std::string utf8 = "\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD\xD0\x96 \xF0\x9F\x98\x80";  // é€中Ж 😀
  const std::wstring wide = base::Widen(utf8);
  EXPECT_EQ(std::wstring(L"\u00E9\u20AC\u4E2D\u0416 \U0001F600"), wide);
  EXPECT_EQ(utf8, base::Narrow(wide));
  EXPECT_EQ(L"", base::Widen(""));
  // Windows-1252 bytes, as the ANSI functions hand them out on a Western system.
  EXPECT_EQ(L"\u00E9\u20AC", base::Widen("\xE9\x80", 1252));
  EXPECT_EQ("\xE9\x80", base::Narrow(L"\u00E9\u20AC", 1252));
}

TEST(Handles, AnOwnerClosesItsHandleOnceAndMovesIt) {
  HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(nullptr, event);
  HANDLE copy = nullptr;
  ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), event, ::GetCurrentProcess(), &copy, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
  {
    base::unique_handle a(event);
    base::unique_handle b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_TRUE(b);
    EXPECT_EQ(event, b.Get());
  }
  // The original handle is closed (once): the event lives on only through the copy.
  DWORD flags = 0;
  EXPECT_FALSE(::GetHandleInformation(event, &flags));
  EXPECT_TRUE(::GetHandleInformation(copy, &flags));
  ::CloseHandle(copy);


  // A released handle is the caller's again.
  base::unique_hbitmap bitmap(::CreateBitmap(4, 4, 1, 32, nullptr));
  HBITMAP raw = bitmap.Release();
  EXPECT_FALSE(bitmap);
  BITMAP bm{};
  EXPECT_EQ(static_cast<int>(sizeof bm), ::GetObjectW(raw, sizeof bm, &bm));
  ::DeleteObject(raw);
}

// Two kinds of HANDLE: a file's owner holds nothing at CreateFile's failure value; any other owner
// takes that value for what it is elsewhere, the current process, and holds it.
TEST(Handles, AFileOwnerAndAKernelObjectOwnerMeanDifferentThingsByInvalidHandleValue) {
  const std::wstring dir = testing_support::TempDir(L"handles");
  const std::wstring path = dir + L"\\held.bin";
  {
    base::unique_hfile missing(::CreateFileW((dir + L"\\none\\x.bin").c_str(), GENERIC_READ, 0, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(missing);
    EXPECT_EQ(INVALID_HANDLE_VALUE, missing.Get());
    base::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
    // Opened without sharing: nobody else can open it while the owner lives.
    EXPECT_EQ(INVALID_HANDLE_VALUE, ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                   nullptr, OPEN_EXISTING, 0, nullptr));
    // A moved-from file owner is empty, not null.
    base::unique_hfile moved(std::move(file));
    EXPECT_FALSE(file);
    EXPECT_EQ(INVALID_HANDLE_VALUE, file.Get());
    EXPECT_TRUE(moved);
  }
  EXPECT_TRUE(::DeleteFileW(path.c_str())) << "the owner closed the file";

  base::unique_handle process(::GetCurrentProcess());
  EXPECT_TRUE(process);
  EXPECT_EQ(::GetCurrentProcessId(), ::GetProcessId(process.Get()));
  base::unique_hglobal noMemory;
  EXPECT_FALSE(noMemory);
  EXPECT_EQ(nullptr, noMemory.Get());

  // A search's owner closes it with FindClose; no match is no search.
  WIN32_FIND_DATAW found{};
  base::unique_hfind none(::FindFirstFileW((dir + L"\\*.nothing").c_str(), &found));
  EXPECT_FALSE(none);
  base::unique_hfind all(::FindFirstFileW((dir + L"\\*").c_str(), &found));
  EXPECT_TRUE(all);

  // Text the system allocated comes back through Put and is freed by its owner.
  base::unique_cotaskmem_string folder;
  ASSERT_TRUE(SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, folder.Put())));
  EXPECT_TRUE(folder);
  EXPECT_LT(0u, std::wcslen(folder.Get()));
}

TEST(Errors, EveryKindOfExceptionHasANumberAndADescription) {
  auto describe = [](auto thrown) {
    try {
      throw thrown;
    } catch (...) {
      return base::DescribeException(std::current_exception());
    }
  };
  base::ErrorReport r = describe(base::AppError(26001, "x.cRegistry", "Failed to set registry value"));
  EXPECT_EQ(26001, r.number);
  EXPECT_EQ("Failed to set registry value", r.description);
  r = describe(std::runtime_error("boom"));
  EXPECT_EQ(base::kErrInternal, r.number);
  EXPECT_EQ("boom", r.description);
  r = describe(std::bad_alloc());
  EXPECT_EQ(base::kErrOutOfMemory, r.number);
  r = describe(42);
  EXPECT_EQ(base::kErrInternal, r.number);
}

TEST(Errors, ASystemReasonIsTheSystemsOwnSentenceWithoutItsLineBreak) {
  const std::string notFound = base::SystemErrorText(ERROR_FILE_NOT_FOUND);
  const std::string diskFull = base::SystemErrorText(ERROR_DISK_FULL);
  ASSERT_FALSE(notFound.empty());
  ASSERT_FALSE(diskFull.empty());
  EXPECT_NE(notFound, diskFull);
  for (const std::string& text : {notFound, diskFull}) {
    EXPECT_NE('\n', text.back()) << text;
    EXPECT_NE('\r', text.back()) << text;
    EXPECT_NE(' ', text.back()) << text;
  }
  // A code the system has no sentence for still says which it was.
  EXPECT_EQ("Error 3758096383.", base::SystemErrorText(0xDFFFFFFFu));
}

}  // namespace
