// A shape drag on the drawing surface, press to release: the outline follows the pointer and
// leaves nothing behind it; the last outline stays. The overlay decides the shape at the press
// (overlay/shape_geometry.h) and keeps the drag inside one change of its undo history. Until the
// release the outline is drawn onto the window only: the content under it stays as it was at the
// press, and the area of the previous outline comes back from it.
#pragma once

#include <windows.h>

#include <vector>

#include "forms/picture_box.h"
#include "overlay/shape_geometry.h"

namespace overlay {

// Colour and width of an outline; the raster operation is the surface's (mask or copy pen).
struct ShapeStyle {
  COLORREF color = 0;
  int width = 1;
};

// Draws the outline of `kind` between `from` and `to` into `dc` in the DC's raster operation:
// lines wider than one pixel with round ends and joins, as a freehand stroke; the arrow's head one
// filled triangle. A shape of no size draws nothing.
void DrawShape(HDC dc, ShapeKind kind, PointI from, PointI to, const ShapeStyle& style);

class ShapeDrag {
 public:
  // The left button went down, asking for `kind` (not freehand), the tool acting at `from`.
  // `undoable`: a change of the history is open on a drawing copy, so outlines can be shown and
  // taken back while the pointer moves; otherwise only the last outline is drawn, at the release.
  void Begin(ShapeKind kind, PointI from, bool undoable);
  // Between the press and the release of a shape drag, or of one cancelled with Esc.
  bool Busy() const { return state_ != State::Idle; }
  bool Following() const { return state_ == State::Following; }
  // The tool point moved to `to`: the previous outline goes and the new one shows, and the screen
  // gets only the area of the two.
  void Follow(forms::PictureBox& box, PointI to, const ShapeStyle& style);
  // The button came up: the last outline is drawn into the content.
  void Finish(forms::PictureBox& box, const ShapeStyle& style);
  // The drag stops following (Esc, or a command ended the change) and the outline on the window
  // goes. Moves until the release do nothing.
  void Abandon(forms::PictureBox& box);
  // Nothing in progress any more (the release after Abandon, a new press).
  void Reset();

 private:
  enum class State { Idle, Following, Abandoned };
  State state_ = State::Idle;
  ShapeKind kind_ = ShapeKind::Line;
  PointI from_{0, 0};
  PointI to_{0, 0};
  bool undoable_ = false;
  std::vector<PixelRect> shown_;  // where the outline on the window now lies
};

}  // namespace overlay
