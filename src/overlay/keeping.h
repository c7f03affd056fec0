// Keeping every presentation: when one ends with a drawing, its final picture is written as a PNG
// file into a folder (%LOCALAPPDATA%\Scrivane\Drawings), named after the local date and time of
// its end ("2026-12-07 14-03-27.png"; another in the same second gets " (2)", " (3)", ...), and
// only the newest files are kept. Which are the newest is told by the files' own times (UTC), not
// by their names: a local clock that goes back (the end of summer time, a flight west) makes a
// new name sort before older ones. Only files named in our pattern are ever deleted.
//
// Encoding a full-screen picture takes about a tenth of a second, so it happens on a thread of
// its own, and so does putting the picture together: Keep is handed the drawing's own pixels,
// shared and never changed again, and the labels as small pictures, and returns at once. The
// thread copies the pixels, pastes the labels in and encodes its copy. It starts on a picture
// only once told (StartWriting, which the user-interface thread calls when it has handled the
// end of the presentation): started at once, its copying and encoding compete with that thread
// for the processor and the memory while the overlay goes. A write that fails loses nothing else;
// it is reported once through the function given at construction, and again only after a write
// has succeeded, or once more when the program is ending (ProgramEnding): the last drawing's
// failure is then the last chance to tell the user.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "imaging/picture_file.h"
#include "imaging/pixel_image.h"

namespace overlay {

// A small picture at a place in a bigger one (a label as it paints itself).
struct PicturePiece {
  int left = 0;
  int top = 0;
  imaging::PixelImage image;
};

// Copies each piece into `image` at its place, the parts outside it left out.
void PastePieces(imaging::PixelImage& image, const std::vector<PicturePiece>& pieces);

// A picture as the keeper takes it: the drawing, with the pieces over it.
struct KeptPicture {
  imaging::FrozenImage drawing;
  std::vector<PicturePiece> pieces;
  // The finished picture, in memory of its own.
  imaging::PixelImage Compose() const;
};

// The parts of a kept file's name: the date and time, then the number (1 without).
struct KeptName {
  std::wstring stamp;  // "2026-12-07 14-03-27"
  int number = 1;
};

// A file in the folder and its last-write time (a FILETIME as one number: 100 ns since 1601, UTC).
struct KeptFile {
  std::wstring name;
  uint64_t writeTime = 0;
};

// "2026-12-07 14-03-27.png" for number 1, "2026-12-07 14-03-27 (2).png" for 2.
std::wstring KeptFileName(const SYSTEMTIME& localTime, int number);
// The name's parts when it is one of ours, nothing for any other file.
std::optional<KeptName> ParseKeptFileName(const std::wstring& name);
// Of the files given, ours that fall outside the newest `keep`, oldest first; other files are
// never among them. Newest means the latest write time, with `justWritten` newest of all; a file
// dated after `now` (same unit) was written before a clock was set back, so it counts as older
// than every file written since.
std::vector<std::wstring> KeptFilesToDelete(const std::vector<KeptFile>& files, size_t keep, uint64_t now,
                                            const std::wstring& justWritten = {});

class DrawingKeeper {
 public:
  static constexpr size_t kKeepCount = 50;
  using ReportFn = std::function<void(const std::wstring& text)>;
  // Asked at every hand-over: false keeps nothing (the user turned keeping off).
  using WantedFn = std::function<bool()>;
  // Told on the keeper's thread after each file it wrote, with the file's path.
  using KeptFn = std::function<void(const std::wstring& path)>;

  // `report` is called on the keeper's thread. `write` replaces WriteFile (a test's full disk).
  DrawingKeeper(std::wstring folder, ReportFn report, size_t keepCount = kKeepCount,
                imaging::WriteFileFn write = nullptr);
  DrawingKeeper(const DrawingKeeper&) = delete;
  DrawingKeeper& operator=(const DrawingKeeper&) = delete;
  // Writes what is still waiting, then ends the thread.
  ~DrawingKeeper();

  // %LOCALAPPDATA%\Scrivane\Drawings.
  static std::wstring DefaultFolder();
  // %LOCALAPPDATA%\Scrivane: the program's own folder for what it keeps of the user's.
  static std::wstring ProgramFolder();
  // Makes the folder (and its parents) when it is not there; false when it cannot be made.
  static bool MakeFolder(const std::wstring& folder);

  const std::wstring& Folder() const { return folder_; }
  // Set before the first hand-over.
  void SetWanted(WantedFn wanted) { wanted_ = std::move(wanted); }
  // A picture handed over now would be written (the switch is on, or there is none).
  bool Wanted() const { return !wanted_ || wanted_(); }
  void SetKeptNotice(KeptFn kept) { kept_ = std::move(kept); }
  // The program is ending: the next failure is reported even when an earlier one was.
  void ProgramEnding() { ending_ = true; }
  // Hands a picture over to be written, named after this moment (nothing when not wanted). Returns at once, without waking
  // the keeper's thread (that would compete with the overlay going away): the picture is put
  // together and encoded there after StartWriting or WaitUntilIdle, or at the end; a thread still
  // busy with an earlier picture takes it up kHoldLimit after the hand-over at the latest.
  void Keep(KeptPicture picture);
  // Everything handed over so far may be written now.
  void StartWriting();
  // Returns when everything handed over so far has been written (or has failed); starts it first.
  void WaitUntilIdle();
  // How long a picture waits for StartWriting at most once the thread is awake.
  static constexpr std::chrono::milliseconds kHoldLimit{500};
  // The text of a failure as it is reported.
  static std::wstring FailureText(const std::wstring& folder, const std::string& reason);

 private:
  struct Job {
    KeptPicture picture;
    SYSTEMTIME time;
    uint64_t number = 0;
    std::chrono::steady_clock::time_point due;  // started by then, told or not
  };
  bool MayStart(const Job& job) const;
  void Run();
  void Write(const Job& job);
  void Prune(const std::wstring& justWritten);

  std::wstring folder_;
  ReportFn report_;
  size_t keepCount_;
  imaging::WriteFileFn write_;
  WantedFn wanted_;
  KeptFn kept_;
  bool reported_ = false;  // a failure was reported and no write has succeeded since
  std::atomic<bool> ending_{false};
  bool reportedEnding_ = false;  // a failure was reported since ProgramEnding

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<Job> jobs_;
  uint64_t handedOver_ = 0;  // jobs numbered so far
  uint64_t released_ = 0;    // jobs up to this number may start
  bool busy_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace overlay
