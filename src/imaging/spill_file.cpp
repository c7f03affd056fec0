#include "imaging/spill_file.h"

#include <algorithm>
#include <utility>

namespace imaging {

namespace {
OVERLAPPED At(uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}
}  // namespace

bool SpillFile::Open() {
  if (file_) return true;
  if (failed_ || path_.empty()) return false;
  // Its folder may not be there yet (nothing was kept so far); the one above it is the system's.
  const size_t slash = path_.find_last_of(L"\\/");
  if (slash != std::wstring::npos) ::CreateDirectoryW(path_.substr(0, slash).c_str(), nullptr);
  // No sharing, deleted on close: no other program reads the desktops kept here, and the file
  // goes with the last handle, also when the process is ended from outside.
  file_.Reset(::CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_FLAG_DELETE_ON_CLOSE,
                            nullptr));
  failed_ = !file_;
  return !failed_;
}

bool SpillFile::Put(const uint8_t* bytes, size_t size, Extent& where) {
  if (size == 0 || !Open()) return false;
  const uint32_t need = static_cast<uint32_t>((size + kBlockBytes - 1) / kBlockBytes);
  // The first run of free blocks long enough, or the end of the file.
  uint32_t first = 0, length = 0;
  for (uint32_t b = 0; b < used_.size() && length < need; ++b) {
    if (used_[b]) {
      length = 0;
      first = b + 1;
    } else {
      ++length;
    }
  }
  if (length < need) first = static_cast<uint32_t>(used_.size()) - length;
  OVERLAPPED at = At(static_cast<uint64_t>(first) * kBlockBytes);
  DWORD written = 0;
  if (!::WriteFile(file_.Get(), bytes, static_cast<DWORD>(size), &written, &at) || written != size) return false;
  if (used_.size() < first + need) used_.resize(first + need, false);
  std::fill(used_.begin() + first, used_.begin() + first + need, true);
  where = Extent{first, need, size};
  usedBytes_ += size;
  return true;
}

bool SpillFile::Get(const Extent& where, PageBuffer& bytes) {
  bytes = PageBuffer(where.size);
  if (!file_ || !bytes.Resize(where.size)) return false;
  OVERLAPPED at = At(static_cast<uint64_t>(where.first) * kBlockBytes);
  DWORD read = 0;
  if (!::ReadFile(file_.Get(), bytes.Data(), static_cast<DWORD>(where.size), &read, &at) || read != where.size) {
    bytes.Free();
    return false;
  }
  bytes.Trim();
  return true;
}

void SpillFile::Free(const Extent& where) {
  if (where.blocks == 0 || where.first + where.blocks > used_.size()) return;
  std::fill(used_.begin() + where.first, used_.begin() + where.first + where.blocks, false);
  usedBytes_ -= where.size;
  // The free blocks at the end go from the file too.
  size_t end = used_.size();
  while (end > 0 && !used_[end - 1]) --end;
  if (end < used_.size()) {
    used_.resize(end);
    LARGE_INTEGER size;
    size.QuadPart = static_cast<LONGLONG>(end * kBlockBytes);
    if (::SetFilePointerEx(file_.Get(), size, nullptr, FILE_BEGIN)) ::SetEndOfFile(file_.Get());
  }
}

PackedBytes::PackedBytes(PackedBytes&& other) noexcept
    : buffer_(std::move(other.buffer_)), file_(std::exchange(other.file_, nullptr)), extent_(other.extent_) {}

PackedBytes& PackedBytes::operator=(PackedBytes&& other) noexcept {
  if (this != &other) {
    Clear();
    buffer_ = std::move(other.buffer_);
    file_ = std::exchange(other.file_, nullptr);
    extent_ = other.extent_;
  }
  return *this;
}

void PackedBytes::Start(size_t capacity) {
  Clear();
  buffer_ = PageBuffer(capacity);
}

bool PackedBytes::Append(const uint8_t* bytes, size_t size) { return !file_ && buffer_.Append(bytes, size); }

bool PackedBytes::Write(size_t most, const std::function<size_t(uint8_t*)>& write) {
  const size_t at = buffer_.Size();
  if (file_ || !buffer_.Resize(at + most)) return false;
  return buffer_.Resize(at + write(buffer_.Data() + at));
}

bool PackedBytes::Spill(SpillFile& file) {
  if (file_ || buffer_.Empty()) return false;
  if (!file.Put(buffer_.Data(), buffer_.Size(), extent_)) return false;
  file_ = &file;
  buffer_.Free();
  return true;
}

bool PackedBytes::Load() {
  if (!file_) return true;
  const bool read = file_->Get(extent_, buffer_);
  file_->Free(extent_);
  file_ = nullptr;
  return read;
}

void PackedBytes::Clear() {
  if (file_) file_->Free(extent_);
  file_ = nullptr;
  buffer_.Free();
}

}  // namespace imaging
