// The whole state of the overlay as the history keeps it between its steps (a presentation at Esc,
// the background before a new one was loaded): whole when taken, then, in idle time, packed
// (imaging/packed_image.h): the background alone, the drawing as its difference from the
// background, the clean copy likewise unless it is the background itself. A full-screen
// background and drawing of 16 MB become a few hundred kilobytes of a desktop and some kilobytes
// of strokes. Packed, its bytes may go to the spill file; taking the state back makes its pictures
// anew from the bytes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/picture.h"
#include "forms/picture_box.h"
#include "imaging/packed_image.h"
#include "imaging/pixel_image.h"
#include "imaging/spill_file.h"
#include "imaging/time_slice.h"

namespace overlay {

// A label as the presenter sees it.
struct LabelState {
  std::wstring caption;
  std::wstring fontName;
  double fontSize = 0;
  bool bold = false;
  bool italic = false;
  COLORREF color = 0;
  int left = 0;
  int top = 0;
  bool visible = false;
};

// Everything a step that replaces the background has to bring back.
struct OverlayState {
  forms::PictureBox::State surface;  // Picture1: background, size and drawing
  base::Picture clean;               // Picture2
  bool withLabels = false;
  std::vector<std::pair<int16_t, LabelState>> labels;
  size_t Bytes() const;
};

class KeptState {
 public:
  KeptState() = default;
  explicit KeptState(OverlayState state) : whole_(std::move(state)) {}

  // Memory held, and bytes in the spill file.
  size_t Bytes() const;
  size_t StoredBytes() const;
  // Packs a piece at a time until `slice` is over; true once packed (or when it cannot be: a
  // picture that cannot be read stays whole). Reads the pictures through GDI: the user-interface
  // thread's idle time.
  bool Pack(const imaging::TimeSlice& slice);
  // The packed bytes go to `file`; true when any went.
  bool Spill(imaging::SpillFile& file);
  // The state whole again, its pictures made anew from the packed bytes; false, with nothing
  // taken, when it cannot be brought back (its bytes cannot be read, no bitmap can be made).
  // Afterwards this holds nothing.
  bool Take(OverlayState& out);

 private:
  enum class Clean { None, Background, Own };
  void Packed();

  std::optional<OverlayState> whole_;
  // Packing under way: the pictures' pixels, read once, and what is done.
  imaging::PixelImage pictureRead_, cleanRead_;
  int phase_ = 0;
  // Packed.
  int width_ = 0, height_ = 0;
  bool withLabels_ = false;
  std::vector<std::pair<int16_t, LabelState>> labels_;
  imaging::PackedImage picture_;  // empty: no background picture
  imaging::PackedImage drawing_;  // empty: the content is the picture itself
  bool drawingOnPicture_ = false;  // packed as its difference from the picture
  Clean clean_ = Clean::None;
  imaging::PackedImage cleanOwn_;
  bool cleanOnPicture_ = false;
};

}  // namespace overlay
