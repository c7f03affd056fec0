// Ctrl+C on the real overlay in this process: what a program that pastes gets, at once, after the
// presentation has ended and after the overlay's window has gone; and a clipboard that another
// program takes over.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/picture_file.h"
#include "overlay/clipboard.h"
#include "overlay/ss.h"
#include "overlay_steps.h"
#include "support/picture_support.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

UINT PngFormat() { return ::RegisterClipboardFormatW(overlay::kPngFormatName); }

// What a program that pastes gets: both formats read back as pictures (empty when missing).
struct Pasted {
  ScreenImage dib;
  ScreenImage png;
};

ScreenImage FromDib(const BITMAPINFO* info) {
  ScreenImage image;
  image.width = info->bmiHeader.biWidth;
  image.height = std::abs(info->bmiHeader.biHeight);
  image.pixels.resize(static_cast<size_t>(image.width) * image.height);
  const auto* rows = reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(info) + info->bmiHeader.biSize);
  for (int y = 0; y < image.height; ++y) {
    const int from = info->bmiHeader.biHeight > 0 ? image.height - 1 - y : y;
    for (int x = 0; x < image.width; ++x) {
      image.pixels[static_cast<size_t>(y) * image.width + x] = rows[static_cast<size_t>(from) * image.width + x] & 0xFFFFFF;
    }
  }
  return image;
}

Pasted Paste() {
  Pasted pasted;
  if (!::OpenClipboard(nullptr)) return pasted;
  if (HGLOBAL dib = ::GetClipboardData(CF_DIB)) {
    pasted.dib = FromDib(static_cast<const BITMAPINFO*>(::GlobalLock(dib)));
    ::GlobalUnlock(dib);
  }
  if (HGLOBAL png = ::GetClipboardData(PngFormat())) {
    const auto* bytes = static_cast<const uint8_t*>(::GlobalLock(png));
    const std::vector<uint8_t> file(bytes, bytes + ::GlobalSize(png));
    ::GlobalUnlock(png);
    const std::wstring path = TempDir(L"clipboard") + L"\\pasted.png";
    WriteBytes(path, file);
    pasted.png = PictureImage(imaging::LoadPictureFile(path));
  }
  ::CloseClipboard();
  return pasted;
}

void EmptyTheClipboard() {
  ::OpenClipboard(nullptr);
  ::EmptyClipboard();
  ::CloseClipboard();
}

class ClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ChoosePen(RGB(255, 0, 0), 10, 8);
    EmptyTheClipboard();
  }
  void TearDown() override {
    if (App().overlay.IsLoaded()) PressEsc();
    App().overlay.History().Forget();
    EmptyTheClipboard();
  }
  // Presentation mode with a stroke of `color`, and the picture as it shows.
  ScreenImage Draw(COLORREF color, int y) {
    if (!App().overlay.IsVisible()) EnterPresentationMode();
    ss& o = App().overlay;
    if (!o.PenMode()) o.TogglePen();
    o.History().BeginChange();
    o.Picture1.PSet(200, y, color, 20);
    o.Picture1.LineTo(1400, y + 40, color, 20);
    o.History().EndChange();
    // The whole stroke is on the screen: both its ends (on the pattern's white and blue).
    PumpUntil([&] {
      const ScreenImage now = CaptureScreen();
      return now.At(210, y) == Rgb(color) && now.At(1390, y + 40) == Rgb(color);
    });
    return CaptureScreen();
  }
  static void CtrlC() {
    short key = 3;
    App().overlay.Picture1_KeyPress(key);
  }
};

TEST_F(ClipboardTest, APasteAtOnceAfterTheEndOfThePresentationAndAfterTheWindowHasGoneGetsThePictureExactly) {
  PatternWindow pattern;
  const ScreenImage shown = Draw(RGB(255, 0, 0), 300);
  CtrlC();
  // Announced at once; the data comes when asked for.
  EXPECT_TRUE(::IsClipboardFormatAvailable(CF_DIB));
  EXPECT_TRUE(::IsClipboardFormatAvailable(PngFormat()));
  Pasted pasted = Paste();
  EXPECT_EQ(0, CountDifferences(shown, pasted.dib));
  EXPECT_EQ(0, CountDifferences(shown, pasted.png));

  // A second Ctrl+C replaces the picture; the presentation ends before anyone pastes it.
  const ScreenImage second = Draw(RGB(255, 255, 0), 600);
  CtrlC();
  PressEsc();
  pasted = Paste();
  EXPECT_EQ(0, CountDifferences(second, pasted.dib));
  EXPECT_EQ(0, CountDifferences(second, pasted.png));

  // The window goes (the program ends) before anyone pastes.
  const ScreenImage third = Draw(RGB(0, 160, 0), 800);
  CtrlC();
  App().overlay.UnloadForGood();
  Pump(50);
  pasted = Paste();
  EXPECT_EQ(0, CountDifferences(third, pasted.dib));
  EXPECT_EQ(0, CountDifferences(third, pasted.png));
}

TEST_F(ClipboardTest, WhatAnotherProgramPutsOnTheClipboardStaysThere) {
  Draw(RGB(255, 0, 0), 300);
  CtrlC();
  // Another program copies text over the picture before the worker has finished.
  ASSERT_TRUE(::OpenClipboard(nullptr));
  ASSERT_TRUE(::EmptyClipboard());
  const wchar_t text[] = L"notes";
  HGLOBAL g = ::GlobalAlloc(GMEM_MOVEABLE, sizeof text);
  std::memcpy(::GlobalLock(g), text, sizeof text);
  ::GlobalUnlock(g);
  ASSERT_TRUE(::SetClipboardData(CF_UNICODETEXT, g));
  ::CloseClipboard();
  // The end of the presentation puts nothing back.
  PressEsc();
  Pump(200);
  EXPECT_FALSE(::IsClipboardFormatAvailable(CF_DIB));
  EXPECT_FALSE(::IsClipboardFormatAvailable(PngFormat()));
  ASSERT_TRUE(::OpenClipboard(nullptr));
  HGLOBAL data = ::GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(nullptr, data);
  EXPECT_STREQ(text, static_cast<const wchar_t*>(::GlobalLock(data)));
  ::GlobalUnlock(data);
  ::CloseClipboard();
}

// The memory a presentation's first Ctrl+C composes into is made ready on the worker; at the end
// of the presentation it goes, also when it is still being made then: nothing of it stays in the tray.
TEST(ClipboardOfferSpare, IsReadyForTheFirstCopyAndGoesWithThePresentationEvenWhileBeingMade) {
  overlay::ClipboardOffer offer;
  constexpr size_t kScreen = 1920 * 1080;
  auto spareOf = [&](size_t pixels) {
    offer.PrepareSpare(pixels);
    imaging::PixelImage spare;
    PumpUntil([&] {
      spare = offer.TakeSpareImage();
      return spare.pixels.capacity() >= pixels;
    });
    return spare.pixels.capacity();
  };
  EXPECT_GE(spareOf(kScreen), kScreen);
  for (int round = 0; round < 20; ++round) {
    offer.PrepareSpare(kScreen);
    // The presentation ends before, while or after the worker makes it (a full screen takes it
    // a few milliseconds).
    ::Sleep(static_cast<DWORD>(round % 5));
    offer.RenderAll(nullptr);
    // A small spare asked for next is what the worker leaves: the full screen's did not stay.
    ASSERT_EQ(1000u, spareOf(1000)) << "round " << round;
  }
}

}  // namespace
