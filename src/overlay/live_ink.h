// The ink of live drawing and what the tools do to it, without the window: freehand strokes,
// the shapes of the modifier drags, the eraser, Ctrl+E, and undo and redo. Values in, areas out:
// every call returns the area of the ink it changed, for the window to show.
//
// The pen is opaque; the highlighter is the pen's colour at half alpha (over live content the
// frozen picture's mask pen has nothing to mask). Both are anti-aliased (imaging/ink_canvas.h).
// Tools act where presentation mode's act: the caller hands in tool points (PenPoint) and eraser
// squares (EraserSquare).
//
// A step of the history is one stroke, one shape or one eraser drag, press to release, or one
// Ctrl+E.
#pragma once

#include <cstdint>

#include "base/pixel_rect.h"
#include "imaging/ink_canvas.h"
#include "overlay/history.h"
#include "overlay/pen_geometry.h"
#include "overlay/shape_geometry.h"

namespace overlay {

// The highlighter's alpha: half of 255, rounded up, so that it is never less than half.
constexpr uint8_t kHighlighterAlpha = 128;

struct InkStyle {
  uint32_t rgb = 0;  // 0x00RRGGBB
  uint8_t alpha = 255;
  int width = 1;
};

// The pen's or the highlighter's ink for a colour of the settings (0x00BBGGRR).
InkStyle LiveInkStyle(int32_t color, bool penMode, int width);

class LiveInk {
 public:
  LiveInk() = default;
  LiveInk(const LiveInk&) = delete;
  LiveInk& operator=(const LiveInk&) = delete;

  // A canvas of the monitor's size, transparent, and an empty history. False when the memory
  // cannot be had.
  bool Create(int width, int height);
  // Gives every byte back: canvas, history, the undo copy.
  void Free();
  bool Ready() const { return canvas_.Ready(); }
  const imaging::InkCanvas& Canvas() const { return canvas_; }

  // --- Freehand -------------------------------------------------------------------------------
  // A dot where the button went down: a new step.
  PixelRect StrokeDot(PointI at, const InkStyle& style);
  // The line from the last point to `at`, in the style of this moment (a width changed during the
  // drag applies from here). A drag that came in with the button already down begins here.
  PixelRect StrokeTo(PointI at, const InkStyle& style);

  // --- Shapes ---------------------------------------------------------------------------------
  // The button went down with the keys of `kind` (not freehand): a new step; nothing shows yet.
  void BeginShape(ShapeKind kind, PointI from);
  // Between the press and the release of a shape drag.
  bool ShapeFollowing() const { return shapeFollowing_; }
  // The outline follows the tool to `to`: the last one goes, the new one shows.
  PixelRect FollowShape(PointI to, const InkStyle& style);
  // Esc during the drag: the outline goes and the step with it; moves until the release do nothing.
  PixelRect CancelShape();

  // --- Eraser and Ctrl+E ----------------------------------------------------------------------
  // The eraser's square becomes transparent; the first square of a drag begins a step. Between
  // the last square of the drag and this one, the squares the eraser passed over go too: moves
  // that came far apart (a quick hand, or moves the system joined) leave no islands of ink.
  PixelRect EraseSquare(const SquareI& square);
  // Every pixel transparent: one step of its own (no step when nothing was drawn).
  PixelRect ClearAll();

  // The button came up: the stroke, shape or eraser drag becomes one step (none when no pixel
  // changed).
  void EndStep();

  // --- Undo -----------------------------------------------------------------------------------
  // The area that changed; empty when there was nothing to undo or redo.
  PixelRect Undo();
  PixelRect Redo();
  const History& Steps() const { return steps_; }
  // A step was made, undone or redone since Create: something was drawn.
  bool Changed() const { return changed_; }

 private:
  class TileSwap;
  enum class Tool { None, Stroke, Shape, Eraser };
  // Closes whatever step is open (as the release would).
  void Settle();
  void Open(Tool tool);
  PixelRect DrawOutline(PointI to, const InkStyle& style);
  // An undo or a redo: the area it changed.
  PixelRect Move(bool (History::*move)());

  imaging::InkCanvas canvas_;
  History steps_;
  Tool open_ = Tool::None;
  PointI last_{0, 0};
  SquareI lastSquare_{0, 0, 0};
  bool changed_ = false;
  PixelRect swapped_;  // the area the last undo or redo changed
  ShapeKind shape_ = ShapeKind::Line;
  PointI shapeFrom_{0, 0};
  bool shapeFollowing_ = false;
};

}  // namespace overlay
