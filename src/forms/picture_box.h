// The drawing surface: a child window that shows a picture as its background, optionally sizes
// itself to that picture, and draws dots, lines and copied rectangles over it.
//
// What is drawn lives in an off-screen surface (background plus strokes and erasures) and every
// repaint comes from there, so a dialog or window passing over the surface takes nothing away.
// Each drawing call draws into the surface and brings only the changed rectangle to the screen,
// at once. The off-screen surface is made on the first drawing call: until then the picture is
// the whole content and is painted straight from the picture object. When the surface cannot be
// made (the GDI handle table is full), the box goes on painting from the picture and draws
// straight onto the window, and tries again after the next new picture or clear.
//
// Changes can be recorded for undo: between BeginChange and CloseChange the surface notes which
// tiles each drawing call touches (see imaging/surface_tiles.h), TakeEndedChange makes the record of
// what they overwrote, and SwapChange puts it back.
//
// Child windows lie above the drawing. A transparent child gets what lies under it through
// WM_PRINTCLIENT and is told to paint again wherever the content under it changes.
//
// The box can show its content magnified (forms/zoom_view.h): only what reaches the screen is the
// view. Drawing calls, the content, the states, WM_PRINTCLIENT and the mouse events stay in content
// pixels and box pixels as they are; whoever turns a pointer into a place to draw asks ToContent.
// Children that belong to the picture (labels) are out of sight while zoomed, and the view paints
// them itself, magnified with the content under them.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "base/handles.h"
#include "base/picture.h"
#include "forms/drawing_surface.h"
#include "forms/window.h"
#include "forms/zoom_view.h"
#include "imaging/pixel_image.h"

namespace forms {

// Mouse button codes as the event handlers receive them: for a press, the button; for a move,
// the set of buttons held.
enum MouseButton : int { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };

class PictureBox : public Window {
 public:
  struct Events {
    std::function<void(int button, int shift, float x, float y)> mouseDown;
    std::function<void(int button, int shift, float x, float y)> mouseMove;
    std::function<void(int button, int shift, float x, float y)> mouseUp;
    std::function<void(short& keyAscii)> keyPress;
    std::function<void(short& keyCode, int shift)> keyDown;
    std::function<void(short& keyCode, int shift)> keyUp;
    // The wheel turned by `delta` (WHEEL_DELTA a notch, up positive) with the pointer at (x, y).
    std::function<void(int delta, int shift, float x, float y)> mouseWheel;
    // The children that are part of the picture (labels), in the order they paint: while zoomed
    // their windows are out of sight and the view paints them (each through WM_PRINTCLIENT, at
    // its place).
    std::function<std::vector<HWND>()> pictureParts;
  };

  PictureBox() = default;
  ~PictureBox() override;

  bool Create(HWND parent, int id, int x, int y, int width, int height, bool visible);
  Events& On() { return events_; }

  void SetAutoSize(bool on);
  bool AutoSize() const { return autoSize_; }
  // Makes `picture` the background (null for none). What was drawn is gone: the surface shows
  // the new background. With AutoSize on, the box takes the picture's size.
  void SetPicture(base::Picture picture);
  const base::Picture& GetPicture() const { return picture_; }

  void SetBackColor(COLORREF color) { backColor_ = color; }
  // Raster operation for dots and lines: R2_MASKPEN (9) or R2_COPYPEN (13).
  void SetDrawMode(int mode) { drawMode_ = mode; }
  int DrawMode() const { return drawMode_; }

  // One dot of `width` pixels (a round dot above 1) at (x, y); it becomes the current position.
  void PSet(int x, int y, COLORREF color, int width);
  // A solid line from the current position to (x, y), round-ended above width 1.
  void LineTo(int x, int y, COLORREF color, int width);
  POINT CurrentPosition() const { return current_; }
  // Copies a rectangle of `source` to the same place on the surface (plain source copy).
  void CopyRectFrom(const base::PictureObject& source, int x, int y, int width, int height);
  // Clears everything drawn; the background stays; the current position returns to (0, 0).
  void Cls();

  // The surface's content as a DC (background plus drawing): for reading pixels. Null when the
  // surface cannot be made.
  HDC ContentDc();

  // Changes the background without touching what is shown: the drawing stays as it is, and only
  // a later clear brings the new background up.
  void SetPictureKeepDrawing(base::Picture picture);

  // --- Recording a change for undo -------------------------------------------------------------
  // Starts recording what drawing calls overwrite; false when there is no surface to record on.
  // A change open, or closed and not taken, is dropped first (what it drew stays).
  bool BeginChange();
  bool ChangeOpen() const { return surface_.ChangeOpen(); }
  // Draws into the content inside the open change, in the box's drawing mode (inside `areas`, or
  // what it draws outside stays behind), and shows the rectangles of `areas` at once. Without an
  // open change it is a plain drawing call over them.
  void DrawAndShow(const std::vector<RECT>& areas, const std::function<void(HDC)>& draw);
  // For an outline that follows the pointer and leaves the content alone: the rectangles of
  // `takeBack` show the content again (the previous outline goes), then `draw`, unless empty,
  // draws straight onto the window in the box's drawing mode. Whatever shows the content again
  // over it (a repaint) takes the outline away. False, drawing nothing, without a drawing copy.
  // `drawn` is where `draw` draws.
  bool DrawOverShownContent(const std::vector<RECT>& takeBack, const std::vector<RECT>& drawn,
                            const std::function<void(HDC)>& draw);
  // Closes the change at once, reading no pixel: what it overwrote is sorted out by
  // TakeEndedChange, when there is time. Drawing calls after it belong to no change until the
  // next BeginChange.
  void CloseChange() { surface_.CloseChange(); }
  bool ChangeEnded() const { return surface_.ChangeEnded(); }
  // What the closed change overwrote (empty when nothing changed or nothing was closed).
  imaging::TileChange TakeEndedChange();
  // Closes the change and takes it at once.
  imaging::TileChange EndChange();
  // Ends the change and puts everything it drew back as it was.
  void CancelChange();
  // Exchanges a change taken by TakeEndedChange or EndChange with the surface and shows the
  // result; false when it does not fit the surface (another size) or there is no surface.
  bool SwapChange(imaging::TileChange& change);
  // The recorder's copy of the content lags behind it (after an undo, a new background): idle
  // time brings it up to date, so that the next change reads no pixel while it draws.
  bool CopyStale() const { return surfaceLive_ && surface_.CopyStale(); }
  void RefreshCopy();
  // Gives back the memory the history's copy of the drawing holds (a frame's worth), for a box
  // that is not drawn on for a while; the next change makes it again.
  void FreeDrawingCopy() { surface_.FreeCopy(); }
  size_t DrawingCopyBytes() const { return surface_.CopyBytes(); }

  // --- The whole state, for steps that replace the background ---------------------------------
  struct State {
    base::Picture picture;
    int width = 0;
    int height = 0;
    imaging::FrozenImage drawing;  // empty: the content is the picture itself
    size_t Bytes() const;
  };
  // A copy of the state; the box goes on as it was.
  State SaveState();
  // The state with the surface's own pixels, handed over without a copy: for a box whose
  // presentation ends. It shows its picture alone afterwards, until a drawing call or the idle
  // time makes a new surface.
  State TakeState();
  void RestoreState(State state);
  // Background plus drawing as pixels (the box's size).
  imaging::PixelImage ContentImage();
  // The same into `image`, in the memory it has when that is enough (a fresh full-screen block
  // costs more in page faults than the copy itself).
  void ContentImageInto(imaging::PixelImage& image);
  // The window's own DC (the class keeps one for the window's life), for a box that is drawn
  // straight onto the screen and keeps nothing, such as a live view.
  HDC OwnDc() const { return windowDc_; }
  int Width() const;
  int Height() const;
  void Move(int x, int y, int width, int height);

  // --- The view --------------------------------------------------------------------------------
  bool Zoomed() const { return view_.Zoomed(); }
  double Zoom() const { return view_.Zoom(); }
  const ZoomView& View() const { return view_; }
  // `notches` of the wheel about the box point `anchor`, shown at once; false when the zoom stayed.
  bool ZoomBy(int notches, POINT anchor);
  // While zoomed, the view follows the pointer at box point `pointer`, shown at once; false when
  // the part shown stayed.
  bool FollowPointer(POINT pointer);
  // x1, shown at once (if the box is on the screen).
  void ResetZoom();
  // The content pixel shown at a box pixel, and the first box pixel that shows a content pixel;
  // the same point at x1.
  POINT ToContent(POINT box) const;
  POINT ToBox(POINT content) const;
  // `content` (of the box's size, as ContentImage gives it) as the view shows it on the screen.
  imaging::PixelImage ShownImage(const imaging::PixelImage& content) const;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnDestroyed() override;

 private:
  // The picture and the size, with no drawing.
  State StateWithoutDrawing() const;
  // Visible children and their places in our client area, looked up again only when a child says
  // it moved (kMsgChildLayoutChanged): a stroke segment must not walk the window list.
  struct ChildPlace {
    HWND hwnd;
    RECT rect;
  };
  std::vector<ChildPlace> childPlaces_;
  bool childPlacesStale_ = true;

  void EnsureSurface();
  // The DC a drawing call draws into over `area` (the surface, or the window when there is none),
  // with the area recorded if a change is open; Finish brings it to the screen.
  HDC StartDrawing(const RECT& area);
  void FinishDrawing(HDC dc, const RECT& area);
  void PaintFromPicture(HDC dc, const RECT& area);
  void PaintContent(HDC dc, const RECT& area);
  void InvalidateChildrenOver(const RECT* area);
  void RebuildChildPlaces();
  void Present(RECT area);
  // The box pixels of `boxArea` painted into `target` from the view; `drawOver` draws over the
  // content first (in content pixels) without the content keeping it.
  void PaintView(HDC target, const RECT& boxArea, const std::function<void(HDC)>& drawOver = nullptr);
  // What the view stretches to show the content pixels `need`: the drawing copy itself, or the
  // staging copy with the picture's parts (and `drawOver`) over it.
  HDC ViewSource(const RECT& need, const std::function<void(HDC)>& drawOver);
  void ShowWholeView();
  HPEN PenFor(COLORREF color, int width);
  HDC PrepareSurfaceDc();
  void UsePen(HPEN pen);
  void ReleaseSurfacePen();
  HBRUSH BrushFor(COLORREF color);
  void MouseEvent(UINT msg, WPARAM wParam, LPARAM lParam);

  Events events_;
  base::Picture picture_;
  bool autoSize_ = false;
  COLORREF backColor_ = ::GetSysColor(COLOR_BTNFACE);
  int drawMode_ = R2_COPYPEN;
  POINT current_{0, 0};

  HDC windowDc_ = nullptr;  // the class's own DC, valid for the life of the window
  DrawingSurface surface_;
  bool surfaceLive_ = false;  // the surface holds the content (else the picture alone does)
  bool surfaceFailed_ = false;  // could not be made: draw on the window until the next reset

  HPEN surfacePen_ = nullptr;  // selected in surfaceDc_, not owned here
  int surfaceRop_ = 0;
  base::unique_hpen pen_;
  COLORREF penColor_ = 0;
  int penWidth_ = -1;
  base::unique_hbrush brush_;
  COLORREF brushColor_ = 0;
  bool hasBrush_ = false;
  int buttonsDown_ = 0;

  ZoomView view_;
  // While zoomed: the content and the picture's parts composed, where they overlap, before the
  // stretch. Made on the first need, given back at x1.
  DrawingSurface staging_;
};

}  // namespace forms
