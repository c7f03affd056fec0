// The base layer: rounding, dpi arithmetic, text conversion, handle owners, error descriptions.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>

#include "base/dpi.h"
#include "base/error.h"
#include "base/handles.h"
#include "base/rounding.h"
#include "base/text.h"

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
  EXPECT_DOUBLE_EQ(7.5, base::TwipsPerPixel(192));
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

  // CreateFile's failure value holds nothing and closes nothing.
  base::unique_handle failed(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(failed);

  // A released handle is the caller's again.
  base::unique_hbitmap bitmap(::CreateBitmap(4, 4, 1, 32, nullptr));
  HBITMAP raw = bitmap.Release();
  EXPECT_FALSE(bitmap);
  BITMAP bm{};
  EXPECT_EQ(static_cast<int>(sizeof bm), ::GetObjectW(raw, sizeof bm, &bm));
  ::DeleteObject(raw);
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
