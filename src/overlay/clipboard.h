// Ctrl+C on the surface: the picture as it shows goes to the clipboard as a device-independent
// bitmap (CF_DIB) and as PNG (the registered format "PNG"), so that office programs, browsers
// and image editors all paste it.
//
// Encoding a full-screen PNG takes a tenth of a second and more, so Ctrl+C does not wait for it:
// it only announces the two formats (delayed rendering: SetClipboardData with no data) and hands
// the picture to a worker thread that makes both, starting at once, so that a paste seldom waits. A program that pastes asks for a format, and
// the clipboard's owner window gets WM_RENDERFORMAT: the data is handed over then, waiting for the
// worker only if it has not finished. When the owner is about to go (WM_RENDERALLFORMATS), or
// the presentation ends, whatever was not asked for is put on the clipboard too, so that a paste
// after that still works; the picture's memory then goes.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "imaging/pixel_image.h"

namespace overlay {

// The clipboard's CF_DIB form of `image`: a BITMAPINFOHEADER of a bottom-up 32-bit BI_RGB
// bitmap, then the rows; the unused fourth byte of each pixel is 0xFF, so that a program that
// reads it as alpha still shows the picture opaque.
std::vector<uint8_t> ClipboardDib(const imaging::PixelImage& image);

// The name of the registered PNG format, as browsers and office programs know it.
inline constexpr wchar_t kPngFormatName[] = L"PNG";

// Posted to the owner window by the worker when both formats are made.
constexpr UINT kMsgClipboardReady = WM_APP + 20;

// The picture on offer on the clipboard, owned by one window whose procedure passes
// WM_RENDERFORMAT, WM_RENDERALLFORMATS, WM_DESTROYCLIPBOARD and kMsgClipboardReady here. One
// worker thread, started with the first offer, makes the data of every offer in turn.
class ClipboardOffer {
 public:
  ClipboardOffer() = default;
  ClipboardOffer(const ClipboardOffer&) = delete;
  ClipboardOffer& operator=(const ClipboardOffer&) = delete;
  // Ends the worker (after the picture it is making, if any).
  ~ClipboardOffer();

  // Memory for the next picture to offer: what the last one's pixels took, once the worker is done
  // with them (empty otherwise). Composed into, it spares a full-screen allocation.
  imaging::PixelImage TakeSpareImage();
  // Has the worker make memory for a picture of `pixels` pixels ready as the spare, so that the
  // first Ctrl+C of a presentation composes into memory that is there already (fresh memory of a
  // full screen costs the user-interface thread a page fault for every 4 KB of it). The spare goes
  // with the rest at the end of the presentation (RenderAll), also while it is still being made.
  void PrepareSpare(size_t pixels);

  // Empties the clipboard and announces CF_DIB and "PNG" for `image`, owned by `owner`, and hands
  // the picture to the worker. False when the clipboard cannot be opened (another program holds
  // it): it then keeps what it had.
  bool Offer(HWND owner, imaging::PixelImage image);

  // WM_RENDERALLFORMATS: everything not yet asked for, while `owner` still owns the clipboard; the
  // picture's memory goes.
  void RenderAll(HWND owner);
  // The presentation ends: as RenderAll, as soon as the worker has made the data (now if it has).
  void RenderAllWhenReady(HWND owner);
  // The owner window's procedure hands every message here first: WM_RENDERFORMAT,
  // WM_RENDERALLFORMATS, WM_DESTROYCLIPBOARD and kMsgClipboardReady are answered here (true).
  bool HandleMessage(HWND owner, UINT msg, WPARAM wParam);

  // True while a picture is on offer with data the clipboard has not taken yet.
  bool Offering() const { return job_ != nullptr; }

 private:
  struct Job;
  // WM_RENDERFORMAT: the data of `format` onto the clipboard, which the asker holds open.
  void RenderFormat(UINT format);
  // kMsgClipboardReady.
  void OnReady(HWND owner);
  // WM_DESTROYCLIPBOARD: another program has emptied the clipboard; the picture goes.
  void Forget();
  void Work();
  void StartWorker();
  void DropSpare();

  std::shared_ptr<Job> job_;  // the picture on offer
  bool renderWhenReady_ = false;

  // The worker and what it is given; the spare memory it leaves.
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::shared_ptr<Job>> queue_;
  std::vector<uint32_t> spare_;
  size_t spareToMake_ = 0;     // pixels of spare memory the worker is asked to make
  unsigned spareRound_ = 0;    // counts the drops of the spare: a spare made before one is not kept
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace overlay
