// What the drawing history (overlay/drawing_history.h) works on, and all it knows of the overlay:
// the surface that is drawn on, with the change it records, its background and its size; the
// clean copy that the eraser reads; the presenter's labels; the page; and whether it shows. The
// overlay window implements it; a canvas in memory stands in for it where the history is tested
// without a window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "base/picture.h"
#include "forms/picture_box.h"
#include "imaging/pixel_image.h"
#include "imaging/surface_tiles.h"
#include "overlay/keeping.h"
#include "overlay/kept_state.h"
#include "overlay/pages.h"

namespace overlay {

// Labels from this index up are the presenter's; 0 is the template and 1 is never shown.
constexpr int16_t kFirstUserLabel = 2;

class HistoryCanvas {
 public:
  using SurfaceState = forms::PictureBox::State;

  // --- One change on the surface (forms/picture_box.h has the same calls) ----------------------
  // Starts recording what drawing overwrites; false when there is no surface to record on.
  virtual bool BeginChange() = 0;
  virtual bool ChangeOpen() const = 0;
  // Closes the change without reading a pixel; TakeEndedChange sorts it out.
  virtual void CloseChange() = 0;
  virtual bool ChangeEnded() const = 0;
  // What the closed change overwrote (empty when nothing changed or nothing was closed).
  virtual imaging::TileChange TakeEndedChange() = 0;
  // Ends the change and puts back everything it drew.
  virtual void CancelChange() = 0;
  // Exchanges a taken change with the surface and shows it; false when it does not fit.
  virtual bool SwapChange(imaging::TileChange& change) = 0;
  // Idle time: the recorder's copy brought up to date, or its memory given back.
  virtual void RefreshCopy() = 0;
  virtual void FreeDrawingCopy() = 0;

  // --- The surface whole --------------------------------------------------------------------
  // A copy of its state; or its state with its own pixels handed over (the surface shows its
  // background alone afterwards); and a state brought back.
  virtual SurfaceState SaveSurface() = 0;
  virtual SurfaceState TakeSurface() = 0;
  virtual void RestoreSurface(SurfaceState state) = 0;
  // A new background (null for none): the drawing goes, and the surface takes the picture's size.
  virtual void SetBackground(base::Picture picture) = 0;
  // A new background under the drawing as it shows; one of another size is a new background.
  virtual void SetBackgroundKeepDrawing(base::Picture picture) = 0;
  virtual SIZE SurfaceSize() const = 0;
  // Background plus drawing as pixels, in the memory `image` has when that is enough.
  virtual void ContentInto(imaging::PixelImage& image) = 0;

  // --- The clean copy the eraser reads --------------------------------------------------------
  virtual base::Picture CleanPicture() const = 0;
  virtual void SetCleanPicture(base::Picture picture) = 0;

  // --- The presenter's labels (kFirstUserLabel up) ------------------------------------------
  // Every label there is, by index, as the presenter sees it.
  virtual std::vector<std::pair<int16_t, LabelState>> Labels() const = 0;
  virtual std::optional<LabelState> FindLabel(int16_t index) const = 0;
  // Label `index` made as `state` says; none removes it (and a commit in the editor that was
  // opened on it then makes a new label).
  virtual void SetLabel(int16_t index, const std::optional<LabelState>& state) = 0;
  // Every label goes.
  virtual void RemoveLabels() = 0;
  // The shown labels as they paint themselves over the surface, with their places.
  virtual std::vector<PicturePiece> LabelPieces() = 0;

  // --- The page and the window --------------------------------------------------------------
  virtual PageKind CurrentPage() const = 0;
  virtual void SetCurrentPage(PageKind page) = 0;
  // The presentation shows.
  virtual bool Showing() const = 0;
  // Asks for DoIdleWork in the next idle time; false when it cannot be asked (no window).
  virtual bool AskForIdleTime() = 0;

 protected:
  ~HistoryCanvas() = default;
};

}  // namespace overlay
