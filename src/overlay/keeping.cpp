#include "overlay/keeping.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <new>

#include "base/error.h"
#include "base/handles.h"
#include "base/text.h"

namespace overlay {

void PastePieces(imaging::PixelImage& image, const std::vector<PicturePiece>& pieces) {
  for (const PicturePiece& piece : pieces) {
    const imaging::PixelImage& p = piece.image;
    const int x0 = std::max(0, -piece.left);
    const int x1 = std::min(p.width, image.width - piece.left);
    if (x1 <= x0) continue;
    for (int y = std::max(0, -piece.top); y < p.height && piece.top + y < image.height; ++y) {
      std::memcpy(&image.pixels[static_cast<size_t>(piece.top + y) * image.width + piece.left + x0],
                  &p.pixels[static_cast<size_t>(y) * p.width + x0], static_cast<size_t>(x1 - x0) * sizeof(uint32_t));
    }
  }
}

imaging::PixelImage KeptPicture::Compose() const {
  imaging::PixelImage image = drawing.Copy();
  PastePieces(image, pieces);
  return image;
}

std::wstring KeptFileName(const SYSTEMTIME& t, int number) {
  wchar_t name[64];
  std::swprintf(name, 64, L"%04u-%02u-%02u %02u-%02u-%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  std::wstring result = name;
  if (number > 1) result += L" (" + std::to_wstring(number) + L")";
  return result + L".png";
}

std::optional<KeptName> ParseKeptFileName(const std::wstring& name) {
  // "YYYY-MM-DD HH-MM-SS" is 19 characters: digits, with '-' and ' ' at fixed places.
  constexpr wchar_t kShape[] = L"0000-00-00 00-00-00";
  if (name.size() < 23) return std::nullopt;
  for (size_t i = 0; i < 19; ++i) {
    if (kShape[i] == L'0' ? !std::iswdigit(name[i]) : name[i] != kShape[i]) return std::nullopt;
  }
  std::wstring rest = name.substr(19);
  std::wstring ext = rest.substr(rest.size() - 4);
  for (wchar_t& c : ext) c = static_cast<wchar_t>(std::towlower(c));
  if (ext != L".png") return std::nullopt;
  rest.resize(rest.size() - 4);
  KeptName parts{name.substr(0, 19), 1};
  if (rest.empty()) return parts;
  // " (n)" with n of 2 or more.
  if (rest.size() < 4 || rest.compare(0, 2, L" (") != 0 || rest.back() != L')') return std::nullopt;
  const std::wstring digits = rest.substr(2, rest.size() - 3);
  // As KeptFileName writes it: no leading zero.
  if (digits.empty() || digits.size() > 6 || digits[0] == L'0') return std::nullopt;
  for (wchar_t c : digits) {
    if (!std::iswdigit(c)) return std::nullopt;
  }
  parts.number = std::stoi(digits);
  if (parts.number < 2) return std::nullopt;
  return parts;
}

std::vector<std::wstring> KeptFilesToDelete(const std::vector<KeptFile>& files, size_t keep, uint64_t now,
                                            const std::wstring& justWritten) {
  // A file system that keeps times to two seconds (FAT) may date a file just written a little
  // after now: only what lies further ahead was written under a clock since set back.
  constexpr uint64_t kTolerance = 60ull * 10000000;
  struct Ours {
    uint64_t age;  // larger is newer
    KeptName parts;
    const std::wstring* name;
  };
  std::vector<Ours> ours;
  for (const KeptFile& f : files) {
    auto parts = ParseKeptFileName(f.name);
    if (!parts) continue;
    uint64_t age = f.writeTime > now + kTolerance ? 0 : f.writeTime;
    if (f.name == justWritten) age = UINT64_MAX;
    ours.push_back({age, *parts, &f.name});
  }
  std::sort(ours.begin(), ours.end(), [](const Ours& a, const Ours& b) {
    if (a.age != b.age) return a.age < b.age;
    return a.parts.stamp != b.parts.stamp ? a.parts.stamp < b.parts.stamp : a.parts.number < b.parts.number;
  });
  std::vector<std::wstring> old;
  for (size_t i = 0; i + keep < ours.size(); ++i) old.push_back(*ours[i].name);
  return old;
}

DrawingKeeper::DrawingKeeper(std::wstring folder, ReportFn report, size_t keepCount, imaging::WriteFileFn write)
    : folder_(std::move(folder)), report_(std::move(report)), keepCount_(keepCount), write_(write),
      thread_([this] { Run(); }) {}

DrawingKeeper::~DrawingKeeper() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

std::wstring DrawingKeeper::DefaultFolder() { return ProgramFolder() + L"\\Drawings"; }

std::wstring DrawingKeeper::ProgramFolder() {
  base::unique_cotaskmem_string local;
  std::wstring folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, local.Put())) && local) {
    folder = local.Get();
  }
  if (folder.empty()) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, MAX_PATH);
    if (n > 0 && n < MAX_PATH) folder = buffer;
  }
  return folder + L"\\Scrivane";
}

bool DrawingKeeper::MakeFolder(const std::wstring& folder) {
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const size_t slash = folder.find_last_of(L"\\/");
  if (slash != std::wstring::npos && slash > 2) MakeFolder(folder.substr(0, slash));
  return ::CreateDirectoryW(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

std::wstring DrawingKeeper::FailureText(const std::wstring& folder, const std::string& reason) {
  return L"The drawing could not be kept in " + folder + L": " + base::Widen(reason);
}

void DrawingKeeper::Keep(KeptPicture picture) {
  if (picture.drawing.Empty() || (wanted_ && !wanted_())) return;
  Job job{std::move(picture), {}, 0, std::chrono::steady_clock::now() + kHoldLimit};
  ::GetLocalTime(&job.time);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job.number = ++handedOver_;
    jobs_.push_back(std::move(job));
  }
}

void DrawingKeeper::StartWriting() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (released_ == handedOver_) return;
    released_ = handedOver_;
  }
  wake_.notify_one();
}

void DrawingKeeper::WaitUntilIdle() {
  StartWriting();
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

bool DrawingKeeper::MayStart(const Job& job) const {
  return stopping_ || job.number <= released_ || std::chrono::steady_clock::now() >= job.due;
}

void DrawingKeeper::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (jobs_.empty()) {
      if (stopping_) return;
      continue;
    }
    if (!MayStart(jobs_.front())) {
      const auto due = jobs_.front().due;
      wake_.wait_until(lock, due, [this] { return MayStart(jobs_.front()); });
      continue;
    }
    {
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      busy_ = true;
      lock.unlock();
      Write(job);
      // The job's pictures are let go here, outside the lock: the last holder of a drawing frees
      // its memory.
    }
    lock.lock();
    busy_ = false;
    if (jobs_.empty()) idle_.notify_all();
  }
}

void DrawingKeeper::Write(const Job& job) {
  std::string failure;
  std::wstring path;
  try {
    const std::vector<uint8_t> png = imaging::EncodePng(job.picture.Compose());
    if (!MakeFolder(folder_)) {
      failure = base::SystemErrorText(::GetLastError());
    } else {
      // The first free name of that second.
      for (int number = 1;; ++number) {
        path = folder_ + L"\\" + KeptFileName(job.time, number);
        if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) break;
      }
      imaging::WritePictureFile(path, png.data(), png.size(), write_);
    }
  } catch (...) {
    // The write's own reason (the disk is full, access is denied), or the codec's.
    failure = base::DescribeException(std::current_exception()).description;
  }
  if (!failure.empty()) {
    const bool tell = ending_ ? !reportedEnding_ : !reported_;
    if (tell && report_) report_(FailureText(folder_, failure));
    reported_ = true;
    if (ending_) reportedEnding_ = true;
    return;
  }
  reported_ = false;
  Prune(path.substr(path.find_last_of(L'\\') + 1));
  if (kept_) kept_(path);
}

void DrawingKeeper::Prune(const std::wstring& justWritten) {
  std::vector<KeptFile> files;
  WIN32_FIND_DATAW found{};
  base::unique_hfind search(::FindFirstFileW((folder_ + L"\\*.png").c_str(), &found));
  if (!search) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const uint64_t time = (static_cast<uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                          found.ftLastWriteTime.dwLowDateTime;
    files.push_back({found.cFileName, time});
  } while (::FindNextFileW(search.Get(), &found));
  search.Reset();
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const uint64_t nowTime = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  for (const std::wstring& name : KeptFilesToDelete(files, keepCount_, nowTime, justWritten)) {
    ::DeleteFileW((folder_ + L"\\" + name).c_str());
  }
}

}  // namespace overlay
