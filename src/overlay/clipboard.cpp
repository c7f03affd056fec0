#include "overlay/clipboard.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#include "base/handles.h"
#include "imaging/picture_file.h"

namespace overlay {

namespace {

size_t ClipboardDibSize(const imaging::PixelImage& image) {
  return image.Empty() ? 0 : sizeof(BITMAPINFOHEADER) + static_cast<size_t>(image.width) * image.height * 4;
}

// Writes ClipboardDibSize(image) bytes to `out`.
void WriteClipboardDib(const imaging::PixelImage& image, uint8_t* out) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = image.width;
  header.biHeight = image.height;  // bottom-up, the form every reader of CF_DIB takes
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(image.width) * image.height * 4;
  std::memcpy(out, &header, sizeof header);
  auto* rows = reinterpret_cast<uint32_t*>(out + sizeof header);
  for (int y = 0; y < image.height; ++y) {
    const uint32_t* from = image.pixels.data() + static_cast<size_t>(image.height - 1 - y) * image.width;
    uint32_t* to = rows + static_cast<size_t>(y) * image.width;
    for (int x = 0; x < image.width; ++x) to[x] = from[x] | 0xFF000000u;
  }
}

// Movable global memory of `size` bytes, filled by `fill`; null when it cannot be had.
template <typename Fill>
base::unique_hglobal GlobalFilled(size_t size, Fill&& fill) {
  base::unique_hglobal global(::GlobalAlloc(GMEM_MOVEABLE, size));
  if (!global) return global;
  base::GlobalLockGuard<uint8_t> memory(global.Get());
  if (!memory.Get()) return base::unique_hglobal{};
  fill(memory.Get());
  return global;
}

// The clipboard, open for as long as the object lives.
class OpenClipboardScope {
 public:
  explicit OpenClipboardScope(HWND owner) : open_(::OpenClipboard(owner) != FALSE) {}
  ~OpenClipboardScope() {
    if (open_) ::CloseClipboard();
  }
  explicit operator bool() const { return open_; }

 private:
  bool open_;
};

UINT PngFormat() { return ::RegisterClipboardFormatW(kPngFormatName); }

}  // namespace

std::vector<uint8_t> ClipboardDib(const imaging::PixelImage& image) {
  std::vector<uint8_t> dib(ClipboardDibSize(image));
  if (!dib.empty()) WriteClipboardDib(image, dib.data());
  return dib;
}

// One picture on offer: the worker makes its two formats from the image, the owner's thread hands
// them to the clipboard.
struct ClipboardOffer::Job {
  HWND owner = nullptr;
  imaging::PixelImage image;  // the worker's until it is done, then spare memory
  std::mutex mutex;
  std::condition_variable made;
  bool finished = false;
  bool cancelled = false;    // no longer on offer: the worker leaves it
  base::unique_hglobal dib;  // null once the clipboard has it, or when it could not be made
  base::unique_hglobal png;

  bool Cancelled() {
    std::lock_guard<std::mutex> lock(mutex);
    return cancelled;
  }
  bool Finished() {
    std::lock_guard<std::mutex> lock(mutex);
    return finished;
  }
  void WaitUntilMade() {
    std::unique_lock<std::mutex> lock(mutex);
    made.wait(lock, [this] { return finished; });
  }
  // Makes both formats (unless cancelled meanwhile); on the worker's thread.
  void Make() {
    base::unique_hglobal dibData, pngData;
    if (!Cancelled()) {
      dibData = GlobalFilled(ClipboardDibSize(image), [&](uint8_t* out) { WriteClipboardDib(image, out); });
    }
    if (!Cancelled()) {
      try {
        const std::vector<uint8_t> bytes = imaging::EncodePng(image);
        pngData = GlobalFilled(bytes.size(), [&](uint8_t* out) { std::memcpy(out, bytes.data(), bytes.size()); });
      } catch (const std::exception&) {
        // A picture the codec refuses: a paste of PNG then finds nothing, the DIB still works.
      }
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      dib = std::move(dibData);
      png = std::move(pngData);
      finished = true;
    }
    made.notify_all();
  }
};

ClipboardOffer::~ClipboardOffer() {
  Forget();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void ClipboardOffer::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty() || spareToMake_ != 0; });
    if (stopping_ && queue_.empty()) return;
    if (queue_.empty()) {
      // Memory made ready while nobody copies: written once, so that every page of it is there.
      const size_t pixels = std::exchange(spareToMake_, 0);
      const unsigned round = spareRound_;
      lock.unlock();
      std::vector<uint32_t> memory;
      try {
        memory.assign(pixels, 0);
      } catch (const std::bad_alloc&) {
        // Then Ctrl+C allocates for itself, as it would without the spare.
      }
      lock.lock();
      if (round == spareRound_ && spare_.capacity() < memory.capacity()) spare_ = std::move(memory);
      continue;
    }
    std::shared_ptr<Job> job = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    job->Make();
    lock.lock();
    // The pixels are spare memory for the next picture of this presentation (one that nobody
    // offers any more takes its memory with it).
    if (!job->Cancelled() && spare_.capacity() < job->image.pixels.capacity()) {
      spare_ = std::move(job->image.pixels);
    }
    job->image = imaging::PixelImage{};
    lock.unlock();
    ::PostMessageW(job->owner, kMsgClipboardReady, 0, 0);
    lock.lock();
  }
}

void ClipboardOffer::StartWorker() {
  if (!worker_.joinable()) worker_ = std::thread([this] { Work(); });
}

void ClipboardOffer::PrepareSpare(size_t pixels) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (spare_.capacity() >= pixels) return;
    spareToMake_ = pixels;
    StartWorker();
  }
  wake_.notify_one();
}

void ClipboardOffer::DropSpare() {
  std::vector<uint32_t> dropped;
  std::lock_guard<std::mutex> lock(mutex_);
  dropped.swap(spare_);
  spareToMake_ = 0;
  ++spareRound_;
}

imaging::PixelImage ClipboardOffer::TakeSpareImage() {
  imaging::PixelImage image;
  std::lock_guard<std::mutex> lock(mutex_);
  image.pixels = std::move(spare_);
  spare_ = {};
  return image;
}

bool ClipboardOffer::Offer(HWND owner, imaging::PixelImage image) {
  if (image.Empty()) return false;
  const UINT png = PngFormat();
  {
    OpenClipboardScope clipboard(owner);
    if (!clipboard) return false;
    // The picture offered before goes: emptying the clipboard tells its owner (WM_DESTROYCLIPBOARD),
    // which may be this window or not.
    Forget();
    if (!::EmptyClipboard()) return false;
    // No data: each format is made when a program asks for it (WM_RENDERFORMAT).
    ::SetClipboardData(CF_DIB, nullptr);
    if (png) ::SetClipboardData(png, nullptr);
  }
  auto job = std::make_shared<Job>();
  job->owner = owner;
  job->image = std::move(image);
  job_ = job;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(job));
    StartWorker();
  }
  wake_.notify_one();
  return true;
}

void ClipboardOffer::RenderFormat(UINT format) {
  if (!job_) return;
  job_->WaitUntilMade();
  base::unique_hglobal* data = format == CF_DIB ? &job_->dib : format == PngFormat() ? &job_->png : nullptr;
  // Once the clipboard has taken a block it is the clipboard's to free.
  if (data && *data && ::SetClipboardData(format, data->Get())) data->Release();
}

void ClipboardOffer::RenderAll(HWND owner) {
  if (job_) {
    job_->WaitUntilMade();
    OpenClipboardScope clipboard(owner);
    // Not open: the picture stays on offer, and a WM_RENDERFORMAT later still finds it.
    if (!clipboard) return;
    if (::GetClipboardOwner() == owner) {
      RenderFormat(CF_DIB);
      RenderFormat(PngFormat());
    }
  }
  Forget();
  // Nothing of the picture stays: the spare memory goes too, and one being made is not kept.
  DropSpare();
}

void ClipboardOffer::RenderAllWhenReady(HWND owner) {
  if (job_ && !job_->Finished()) {
    renderWhenReady_ = true;
    return;
  }
  RenderAll(owner);
}

void ClipboardOffer::OnReady(HWND owner) {
  if (renderWhenReady_) RenderAllWhenReady(owner);
}

bool ClipboardOffer::HandleMessage(HWND owner, UINT msg, WPARAM wParam) {
  switch (msg) {
    case WM_RENDERFORMAT: RenderFormat(static_cast<UINT>(wParam)); return true;
    case WM_RENDERALLFORMATS: RenderAll(owner); return true;
    case WM_DESTROYCLIPBOARD: Forget(); return true;
    case kMsgClipboardReady: OnReady(owner); return true;
    default: return false;
  }
}

void ClipboardOffer::Forget() {
  if (job_) {
    std::lock_guard<std::mutex> lock(job_->mutex);
    job_->cancelled = true;
  }
  job_.reset();
  renderWhenReady_ = false;
}

}  // namespace overlay
