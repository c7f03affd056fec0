#include "imaging/file_access.h"

#include <algorithm>
#include <optional>

#include "base/error.h"
#include "base/handles.h"
#include "base/text.h"
#include "imaging/picture_headers.h"

namespace imaging {

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

}  // namespace

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

}  // namespace imaging
