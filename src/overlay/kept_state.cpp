#include "overlay/kept_state.h"

#include "imaging/picture_file.h"

namespace overlay {

namespace {

imaging::PixelBuffer BufferOf(imaging::PixelImage& image) {
  return {image.pixels.data(), image.width, image.height, static_cast<size_t>(image.width)};
}

// The packer only reads: a frozen picture's pixels stay as they are.
imaging::PixelBuffer BufferOf(const imaging::FrozenImage& image) {
  return {const_cast<uint32_t*>(image.Pixels()), image.Width(), image.Height(), static_cast<size_t>(image.Width())};
}

bool SameSize(const imaging::PixelBuffer& a, const imaging::PixelBuffer& b) {
  return a.pixels && b.pixels && a.width == b.width && a.height == b.height;
}

size_t LabelBytes(const std::vector<std::pair<int16_t, LabelState>>& labels) {
  size_t bytes = 0;
  for (const auto& [index, label] : labels) {
    bytes += sizeof(index) + sizeof(label) + (label.caption.size() + label.fontName.size()) * sizeof(wchar_t);
  }
  return bytes;
}

// The phases of packing.
constexpr int kRead = 0, kPicture = 1, kDrawing = 2, kClean = 3, kStaysWhole = 4;

}  // namespace

size_t OverlayState::Bytes() const { return sizeof(OverlayState) + surface.Bytes() + LabelBytes(labels); }

size_t KeptState::Bytes() const {
  size_t bytes = sizeof(KeptState) + LabelBytes(labels_) + picture_.Bytes() + drawing_.Bytes() + cleanOwn_.Bytes();
  if (whole_) bytes += whole_->Bytes();
  bytes += (pictureRead_.pixels.capacity() + cleanRead_.pixels.capacity()) * sizeof(uint32_t);
  return bytes;
}

size_t KeptState::StoredBytes() const { return picture_.StoredBytes() + drawing_.StoredBytes() + cleanOwn_.StoredBytes(); }

bool KeptState::Pack(const imaging::TimeSlice& slice) {
  if (!whole_ || phase_ == kStaysWhole) return true;
  OverlayState& s = *whole_;
  const base::Picture& picture = s.surface.picture;
  if (phase_ == kRead) {
    try {
      if (picture) pictureRead_ = imaging::PicturePixels(*picture);
      clean_ = !s.clean ? Clean::None : s.clean == picture ? Clean::Background : Clean::Own;
      if (clean_ == Clean::Own) cleanRead_ = imaging::PicturePixels(*s.clean);
    } catch (...) {
      // A picture that cannot be read is kept as it is.
      pictureRead_ = {};
      cleanRead_ = {};
      phase_ = kStaysWhole;
      return true;
    }
    picture_ = imaging::PackedImage(pictureRead_.width, pictureRead_.height);
    drawing_ = imaging::PackedImage(s.surface.drawing.Width(), s.surface.drawing.Height());
    cleanOwn_ = imaging::PackedImage(cleanRead_.width, cleanRead_.height);
    phase_ = kPicture;
    if (slice.Over()) return false;
  }
  const imaging::PixelBuffer pic = BufferOf(pictureRead_);
  // Without memory to pack a picture the state stays whole.
  auto failed = [&] {
    if (!picture_.Failed() && !drawing_.Failed() && !cleanOwn_.Failed()) return false;
    picture_ = imaging::PackedImage();
    drawing_ = imaging::PackedImage();
    cleanOwn_ = imaging::PackedImage();
    pictureRead_ = imaging::PixelImage();
    cleanRead_ = imaging::PixelImage();
    phase_ = kStaysWhole;
    return true;
  };
  if (phase_ == kPicture) {
    if (!picture_.PackSome(pic, nullptr, slice)) return false;
    if (failed()) return true;
    phase_ = kDrawing;
    if (slice.Over()) return false;
  }
  if (phase_ == kDrawing) {
    // Where nothing was drawn the drawing is the picture: against it, that costs nothing.
    const imaging::PixelBuffer drawn = BufferOf(s.surface.drawing);
    drawingOnPicture_ = SameSize(drawn, pic);
    if (!drawing_.PackSome(drawn, drawingOnPicture_ ? &pic : nullptr, slice)) return false;
    if (failed()) return true;
    phase_ = kClean;
    if (slice.Over()) return false;
  }
  const imaging::PixelBuffer clean = BufferOf(cleanRead_);
  cleanOnPicture_ = SameSize(clean, pic);
  if (!cleanOwn_.PackSome(clean, cleanOnPicture_ ? &pic : nullptr, slice)) return false;
  if (failed()) return true;
  Packed();
  return true;
}

void KeptState::Packed() {
  width_ = whole_->surface.width;
  height_ = whole_->surface.height;
  withLabels_ = whole_->withLabels;
  labels_ = std::move(whole_->labels);
  // The pictures go (the drawing's pixels with the keeper's share, once it has written them).
  whole_.reset();
  pictureRead_ = {};
  cleanRead_ = {};
}

bool KeptState::Spill(imaging::SpillFile& file) {
  if (whole_) return false;
  bool any = false;
  for (imaging::PackedImage* image : {&picture_, &drawing_, &cleanOwn_}) {
    if (!image->Empty() && image->Packed().Spill(file)) any = true;
  }
  return any;
}

bool KeptState::Take(OverlayState& out) {
  if (whole_) {
    out = std::move(*whole_);
    *this = KeptState();
    return true;
  }
  OverlayState s;
  s.surface.width = width_;
  s.surface.height = height_;
  // The background first: the drawing and the clean copy were packed against its pixels, which
  // the new picture's bitmap holds from here on.
  imaging::PixelBuffer pic{};
  if (!picture_.Empty()) {
    s.surface.picture = imaging::MakePicture(picture_.Width(), picture_.Height(), [&](const imaging::PixelBuffer& b) {
      pic = b;
      return picture_.Unpack(b, nullptr);
    });
    if (!s.surface.picture) return false;
  }
  if (!drawing_.Empty()) {
    imaging::PixelImage drawing{drawing_.Width(), drawing_.Height(), {}};
    drawing.pixels.resize(static_cast<size_t>(drawing.width) * drawing.height);
    if (!drawing_.Unpack(BufferOf(drawing), drawingOnPicture_ ? &pic : nullptr)) return false;
    s.surface.drawing = imaging::FrozenImage(std::move(drawing));
  }
  if (clean_ == Clean::Background) s.clean = s.surface.picture;
  if (clean_ == Clean::Own) {
    s.clean = imaging::MakePicture(cleanOwn_.Width(), cleanOwn_.Height(), [&](const imaging::PixelBuffer& b) {
      return cleanOwn_.Unpack(b, cleanOnPicture_ ? &pic : nullptr);
    });
    if (!s.clean) return false;
  }
  s.withLabels = withLabels_;
  s.labels = std::move(labels_);
  out = std::move(s);
  *this = KeptState();
  return true;
}

}  // namespace overlay
