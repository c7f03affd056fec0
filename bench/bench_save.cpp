// Saving a full-screen BMP (encode at the screen's depth, write beside the target, replace)
// against a plain WriteFile of the same number of bytes.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench.h"
#include "capture/screen_capture.h"
#include "imaging/picture_file.h"

namespace {

std::vector<bench::Result> SaveFullScreenBmp() {
  wchar_t tempDir[MAX_PATH];
  ::GetTempPathW(MAX_PATH, tempDir);
  const std::wstring dir = std::wstring(tempDir) + L"scrivane-bench-save";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  const std::wstring ours = dir + L"\\screen.bmp";
  const std::wstring plainName = dir + L"\\plain.bin";

  base::Picture grab = capture::GrabDesktop();
  const size_t bytes = imaging::EncodeBmp(*grab).size();
  const std::vector<uint8_t> data(bytes, 0x5A);

  const double save = bench::MedianMicros([&] { imaging::SavePictureAsBmp(*grab, ours); }, 25);
  const double encode = bench::MedianMicros([&] { imaging::EncodeBmp(*grab); }, 25);
  const double plain = bench::MedianMicros(
      [&] {
        HANDLE f = ::CreateFileW(plainName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
        DWORD written = 0;
        ::WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
        ::CloseHandle(f);
      },
      25);
  ::DeleteFileW(ours.c_str());
  ::DeleteFileW(plainName.c_str());
  ::RemoveDirectoryW(dir.c_str());

  char note[160];
  std::snprintf(note, sizeof note, "%zu bytes; encoding alone %.0f us; target ratio <= 1.5", bytes, encode);
  return {{"save full-screen BMP", save, plain, "plain WriteFile of the same bytes", note}};
}

bench::Registrar reg("save.bmp", SaveFullScreenBmp);

}  // namespace
