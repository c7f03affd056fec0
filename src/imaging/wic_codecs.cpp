#include "imaging/wic_codecs.h"

#include <objbase.h>
#include <wincodec.h>

#include "base/com.h"
#include "base/dib.h"
#include "base/error.h"
#include "base/handles.h"
#include "imaging/bmp_codec.h"

namespace imaging {

namespace {

const GUID& ContainerOf(PictureFormat format) {
  switch (format) {
    case PictureFormat::Png: return GUID_ContainerFormatPng;
    case PictureFormat::Jpeg: return GUID_ContainerFormatJpeg;
    default: return GUID_ContainerFormatGif;
  }
}

// COM for this thread and the imaging codecs' factory, for as long as the object lives.
class ImagingFactory {
 public:
  ImagingFactory()
      : made_(SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IWICImagingFactory, factory_.PutVoid()))) {}
  explicit operator bool() const { return made_ && factory_; }
  IWICImagingFactory* operator->() const { return factory_.Get(); }

 private:
  base::ComScope com_;
  base::ComPtr<IWICImagingFactory> factory_;
  bool made_;
};

}  // namespace

base::Picture DecodeWithCodecs(const std::vector<uint8_t>& data, PictureFormat format) {
  ImagingFactory factory;
  if (!factory) InvalidPicture();
  base::ComPtr<IWICStream> stream;
  if (FAILED(factory->CreateStream(stream.Put())) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data.data()), static_cast<DWORD>(data.size())))) {
    InvalidPicture();
  }
  // The decoder of the format whose header was checked, not whichever one claims the bytes.
  base::ComPtr<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoder(ContainerOf(format), nullptr, decoder.Put())) ||
      FAILED(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand))) {
    InvalidPicture();
  }
  base::ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, frame.Put()))) InvalidPicture();
  UINT width = 0, height = 0;
  if (FAILED(frame->GetSize(&width, &height))) InvalidPicture();
  // The header check has bounded this already; the frame's own answer is checked too before a
  // single pixel is decoded.
  ClaimedSize claim;
  if (width == 0 || height == 0) InvalidPicture();
  if (CheckClaimedSize(width, height, claim) == HeaderCheck::TooLarge) PictureTooLarge(claim);
  base::ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(converter.Put())) ||
      FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom))) {
    InvalidPicture();
  }
  const UINT stride = width * 4;
  std::vector<uint8_t> pixels(static_cast<size_t>(stride) * height);
  // A truncated or corrupt file fails here, while decoding.
  if (FAILED(converter->CopyPixels(nullptr, stride, static_cast<UINT>(pixels.size()), pixels.data()))) {
    InvalidPicture();
  }
  // Top-down, as WIC gives the rows.
  const BITMAPINFO info = base::TopDownDib32(static_cast<int>(width), static_cast<int>(height));
  return PictureFromDib(&info, pixels.data(), static_cast<int>(width), static_cast<int>(height));
}

std::vector<uint8_t> EncodePng(const PixelImage& image) {
  auto fail = [] { throw base::AppError(base::kErrInvalidPicture, "SavePicture", "Invalid picture"); };
  if (image.Empty() || image.pixels.size() < static_cast<size_t>(image.width) * image.height) fail();
  // 24 bits a pixel: the fourth byte of ours carries nothing, and a PNG without alpha is what every
  // reader shows the same way.
  const UINT stride = static_cast<UINT>(image.width) * 3;
  std::vector<uint8_t> rows(static_cast<size_t>(stride) * image.height);
  for (size_t i = 0, n = image.pixels.size(); i < n; ++i) {
    const uint32_t p = image.pixels[i];
    rows[i * 3 + 0] = static_cast<uint8_t>(p);
    rows[i * 3 + 1] = static_cast<uint8_t>(p >> 8);
    rows[i * 3 + 2] = static_cast<uint8_t>(p >> 16);
  }

  ImagingFactory factory;
  if (!factory) fail();
  base::ComPtr<IStream> memory;
  if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, memory.Put()))) fail();
  base::ComPtr<IWICBitmapEncoder> encoder;
  if (FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Put())) ||
      FAILED(encoder->Initialize(memory.Get(), WICBitmapEncoderNoCache))) {
    fail();
  }
  base::ComPtr<IWICBitmapFrameEncode> frame;
  if (FAILED(encoder->CreateNewFrame(frame.Put(), nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height)))) {
    fail();
  }
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat24bppBGR) fail();
  if (FAILED(frame->WritePixels(static_cast<UINT>(image.height), stride, static_cast<UINT>(rows.size()), rows.data())) ||
      FAILED(frame->Commit()) || FAILED(encoder->Commit())) {
    fail();
  }
  STATSTG stat{};
  if (FAILED(memory->Stat(&stat, STATFLAG_NONAME))) fail();
  HGLOBAL global = nullptr;
  if (FAILED(::GetHGlobalFromStream(memory.Get(), &global))) fail();
  base::GlobalLockGuard<uint8_t> bytes(global);
  if (!bytes.Get()) fail();
  return std::vector<uint8_t>(bytes.Get(), bytes.Get() + stat.cbSize.QuadPart);
}

}  // namespace imaging
