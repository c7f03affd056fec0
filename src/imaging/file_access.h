// A picture file's bytes on the disk: read whole, and written so that a failure part-way never
// costs the file that was there (a temporary file beside the target takes its place only when
// complete). Paths of any length work: names past MAX_PATH go to the file functions in their
// "\\?\" form.
//
// Failures raise base::AppError with kErrFileIo (the description is the system's own reason,
// base::SystemErrorText of the Win32 error) or, for a file that is empty or too large to be a
// picture we read, kErrInvalidPicture.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace imaging {

// The whole file, opened with read, write and delete sharing, so that a file another program is
// still writing can be read.
std::vector<uint8_t> ReadWholeFile(const std::wstring& path);

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

}  // namespace imaging
