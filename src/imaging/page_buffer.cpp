#include "imaging/page_buffer.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace imaging {

namespace {
constexpr size_t kPage = 4096;
// Committing in steps of this much keeps the calls few while a piece grows.
constexpr size_t kCommitStep = 64 * 1024;
size_t RoundUp(size_t n, size_t to) { return (n + to - 1) / to * to; }
}  // namespace

PageBuffer::PageBuffer(size_t capacity) {
  if (capacity == 0) return;
  const size_t room = RoundUp(capacity, kPage);
  base_ = static_cast<uint8_t*>(::VirtualAlloc(nullptr, room, MEM_RESERVE, PAGE_NOACCESS));
  if (base_) reserved_ = room;
}

PageBuffer::PageBuffer(PageBuffer&& other) noexcept
    : base_(std::exchange(other.base_, nullptr)),
      reserved_(std::exchange(other.reserved_, 0)),
      committed_(std::exchange(other.committed_, 0)),
      size_(std::exchange(other.size_, 0)) {}

PageBuffer& PageBuffer::operator=(PageBuffer&& other) noexcept {
  if (this != &other) {
    Free();
    base_ = std::exchange(other.base_, nullptr);
    reserved_ = std::exchange(other.reserved_, 0);
    committed_ = std::exchange(other.committed_, 0);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

void PageBuffer::Free() {
  if (base_) ::VirtualFree(base_, 0, MEM_RELEASE);
  base_ = nullptr;
  reserved_ = committed_ = size_ = 0;
}

bool PageBuffer::Resize(size_t size) {
  if (size > reserved_) return false;
  if (size > committed_) {
    const size_t want = std::min(reserved_, RoundUp(std::max(size, committed_ + kCommitStep), kPage));
    if (!::VirtualAlloc(base_ + committed_, want - committed_, MEM_COMMIT, PAGE_READWRITE)) return false;
    committed_ = want;
  }
  size_ = size;
  return true;
}

bool PageBuffer::Append(const void* data, size_t size) {
  const size_t at = size_;
  if (!Resize(at + size)) return false;
  std::memcpy(base_ + at, data, size);
  return true;
}

void PageBuffer::Trim() {
  const size_t keep = RoundUp(size_, kPage);
  if (keep >= committed_) return;
  if (keep == 0) {
    Free();
    return;
  }
  if (::VirtualFree(base_ + keep, committed_ - keep, MEM_DECOMMIT)) committed_ = keep;
}

}  // namespace imaging
