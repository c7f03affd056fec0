// Where the undo history puts packed steps it does not need in memory: one file of blocks, made at
// the first step that goes there and deleted when it is closed. It is opened for this process
// alone and marked to be deleted on close, so the system deletes it at the end of the process
// whatever way it ends; nothing of a presentation stays on the disk after the program.
//
// PackedBytes holds one piece of packed data, in memory or in the file, and gives its blocks back
// when it goes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/handles.h"
#include "imaging/page_buffer.h"

namespace imaging {

class SpillFile {
 public:
  static constexpr size_t kBlockBytes = 4096;
  // The blocks of one piece, one after the other in the file.
  struct Extent {
    uint32_t first = 0;
    uint32_t blocks = 0;
    size_t size = 0;
  };

  explicit SpillFile(std::wstring path) : path_(std::move(path)) {}
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;
  // Closes the file, which deletes it.
  ~SpillFile() = default;

  const std::wstring& Path() const { return path_; }
  // Writes `size` bytes into free blocks; false (nothing held) when the file cannot be made or
  // written. A file that could not be made is not tried again.
  bool Put(const uint8_t* bytes, size_t size, Extent& where);
  // Reads a piece back into memory of its own; false when it cannot be read whole.
  bool Get(const Extent& where, PageBuffer& bytes);
  // Its blocks may be used again.
  void Free(const Extent& where);
  // Bytes of the pieces held, and the size of the file.
  size_t UsedBytes() const { return usedBytes_; }
  size_t FileBytes() const { return used_.size() * kBlockBytes; }
  bool Usable() const { return !failed_; }

 private:
  bool Open();

  std::wstring path_;
  base::unique_hfile file_;
  bool failed_ = false;
  std::vector<bool> used_;  // per block
  size_t usedBytes_ = 0;
};

class PackedBytes {
 public:
  PackedBytes() = default;
  PackedBytes(PackedBytes&& other) noexcept;
  PackedBytes& operator=(PackedBytes&& other) noexcept;
  PackedBytes(const PackedBytes&) = delete;
  PackedBytes& operator=(const PackedBytes&) = delete;
  ~PackedBytes() { Clear(); }

  // Writing: a piece of at most `capacity` bytes (memory is taken as it is written), appended to
  // a part at a time, then finished (the memory past it goes back).
  void Start(size_t capacity);
  bool Append(const uint8_t* bytes, size_t size);
  // Appends what `write` puts at the pointer it is given (room for `most` bytes), returning how
  // many it wrote; false (nothing appended) when there is no room or memory for `most`.
  bool Write(size_t most, const std::function<size_t(uint8_t*)>& write);
  void Finish() { buffer_.Trim(); }
  // The bytes, in memory; call Load first when they may be in the file.
  const uint8_t* Data() const { return buffer_.Data(); }
  size_t Size() const { return buffer_.Size(); }
  bool InFile() const { return file_ != nullptr; }
  // Memory held, and bytes in the file.
  size_t Bytes() const { return buffer_.Bytes(); }
  size_t StoredBytes() const { return file_ ? extent_.size : 0; }
  // Moves the bytes into `file`, out of memory; false (they stay) when it cannot take them.
  bool Spill(SpillFile& file);
  // Brings bytes from the file back into memory; false when they cannot be read (they are gone).
  bool Load();
  void Clear();

 private:
  PageBuffer buffer_;
  SpillFile* file_ = nullptr;
  SpillFile::Extent extent_;
};

}  // namespace imaging
