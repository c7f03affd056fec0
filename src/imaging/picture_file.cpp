#include "imaging/picture_file.h"

#include <cwctype>

#include "base/dib.h"
#include "base/error.h"
#include "base/handles.h"
#include "base/text.h"
#include "imaging/bmp_codec.h"
#include "imaging/file_access.h"
#include "imaging/picture_headers.h"
#include "imaging/wic_codecs.h"

namespace imaging {

base::Picture LoadPictureFile(const std::wstring& path) {
  std::vector<uint8_t> data = ReadWholeFile(path);
  // No decoder sees a file whose size we have not read and accepted: a JPEG that claims
  // 30000 x 30000 would have it allocate gigabytes and keep the program busy for seconds.
  ClaimedSize claim;
  const HeaderCheck check = CheckPictureHeader(data.data(), data.size(), claim);
  if (check == HeaderCheck::TooLarge) PictureTooLarge(claim);
  if (check != HeaderCheck::Ok) InvalidPicture();
  if (claim.format == PictureFormat::Bmp) return DecodeBmp(data);
  return DecodeWithCodecs(data, claim.format);
}

void SavePictureAsBmp(const base::PictureObject& picture, const std::wstring& path, WriteFileFn write) {
  const std::vector<uint8_t> bytes = EncodeBmp(picture);
  WritePictureFile(path, bytes.data(), bytes.size(), write);
}

// --- PNG -----------------------------------------------------------------------------------

bool IsPngName(const std::wstring& path) {
  if (path.size() < 4) return false;
  std::wstring tail = path.substr(path.size() - 4);
  for (wchar_t& c : tail) c = static_cast<wchar_t>(std::towlower(c));
  return tail == L".png";
}

PixelImage PicturePixels(const base::PictureObject& picture) {
  PixelImage image;
  if (!picture.Bitmap() || picture.WidthPixels() <= 0 || picture.HeightPixels() <= 0) {
    throw base::AppError(base::kErrInvalidPicture, "SavePicture", "Invalid picture");
  }
  image.width = picture.WidthPixels();
  image.height = picture.HeightPixels();
  image.pixels.resize(static_cast<size_t>(image.width) * image.height);
  BITMAPINFO info = base::TopDownDib32(image.width, image.height);
  if (!ReadPictureRows(picture, &info, image.pixels.data())) {
    throw base::AppError(base::kErrInvalidPicture, "SavePicture", "Invalid picture");
  }
  return image;
}

base::Picture MakePicture(int width, int height, const std::function<bool(const PixelBuffer&)>& fill) {
  if (width <= 0 || height <= 0) return nullptr;
  const BITMAPINFO info = base::TopDownDib32(width, height);
  void* bits = nullptr;
  base::unique_hbitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return nullptr;
  if (!fill(PixelBuffer{static_cast<uint32_t*>(bits), width, height, static_cast<size_t>(width)})) return nullptr;
  auto picture = std::make_shared<base::PictureObject>(bitmap.Get(), nullptr);
  bitmap.Release();
  return picture;
}

void SavePicture(const base::PictureObject& picture, const std::wstring& path, WriteFileFn write) {
  if (IsPngName(path)) {
    const std::vector<uint8_t> bytes = EncodePng(PicturePixels(picture));
    WritePictureFile(path, bytes.data(), bytes.size(), write);
  } else {
    SavePictureAsBmp(picture, path, write);
  }
}

std::wstring SaveFailedText(const std::wstring& path, const std::string& reason) {
  return L"Could not save " + path + L": " + base::Widen(reason);
}

std::wstring LoadFailedText(const std::wstring& path, const std::string& reason) {
  return L"Could not load " + path + L": " + base::Widen(reason);
}

}  // namespace imaging
