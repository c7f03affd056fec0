#include "overlay/clipboard.h"

#include <cstring>

#include "base/handles.h"
#include "imaging/picture_file.h"

namespace overlay {

std::vector<uint8_t> ClipboardDib(const imaging::PixelImage& image) {
  if (image.Empty()) return {};
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = image.width;
  header.biHeight = image.height;  // bottom-up, the form every reader of CF_DIB takes
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(image.width) * image.height * 4;
  std::vector<uint8_t> dib(sizeof header + header.biSizeImage);
  std::memcpy(dib.data(), &header, sizeof header);
  auto* rows = reinterpret_cast<uint32_t*>(dib.data() + sizeof header);
  for (int y = 0; y < image.height; ++y) {
    const uint32_t* from = image.pixels.data() + static_cast<size_t>(image.height - 1 - y) * image.width;
    uint32_t* to = rows + static_cast<size_t>(y) * image.width;
    for (int x = 0; x < image.width; ++x) to[x] = from[x] | 0xFF000000u;
  }
  return dib;
}

namespace {

base::unique_hglobal GlobalCopy(const std::vector<uint8_t>& bytes) {
  base::unique_hglobal global(::GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
  if (!global) return global;
  base::GlobalLockGuard<uint8_t> memory(global.Get());
  if (!memory.Get()) return base::unique_hglobal{};
  std::memcpy(memory.Get(), bytes.data(), bytes.size());
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

}  // namespace

bool CopyPictureToClipboard(HWND owner, const imaging::PixelImage& image) {
  if (image.Empty()) return false;
  std::vector<uint8_t> png;
  try {
    png = imaging::EncodePng(image);
  } catch (const std::exception&) {
    return false;
  }
  base::unique_hglobal dib = GlobalCopy(ClipboardDib(image));
  base::unique_hglobal pngData = GlobalCopy(png);
  if (!dib || !pngData) return false;
  const UINT pngFormat = ::RegisterClipboardFormatW(L"PNG");
  OpenClipboardScope clipboard(owner);
  if (!clipboard || !::EmptyClipboard()) return false;
  // Once the clipboard has taken a block it is the clipboard's to free.
  if (::SetClipboardData(CF_DIB, dib.Get())) dib.Release();
  if (pngFormat && ::SetClipboardData(pngFormat, pngData.Get())) pngData.Release();
  return !dib && !pngData;
}

}  // namespace overlay
