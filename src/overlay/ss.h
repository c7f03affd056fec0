// The overlay of presentation mode: a borderless window over the whole screen that shows a still
// picture of the desktop, on which the presenter draws, types labels and gives key commands.
// One instance for the life of the program (its application object holds it); its window is made
// once and kept, hidden, between presentations.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "capture/fit_page.h"
#include "forms/common_dialog.h"
#include "forms/label.h"
#include "forms/picture_box.h"
#include "imaging/picture_file.h"
#include "forms/text_box.h"
#include "forms/window.h"
#include "overlay/clipboard.h"
#include "overlay/drawing_history.h"
#include "overlay/drawing_target.h"
#include "overlay/history_canvas.h"
#include "overlay/links.h"
#include "overlay/pages.h"
#include "overlay/pen_geometry.h"
#include "overlay/shapes.h"
#include "overlay/tool_cursors.h"
#include "settings/app_settings.h"

class ss : public forms::Window, public overlay::DrawingTarget, private overlay::HistoryCanvas {
 public:
  // `settings` is the program's settings record, read at every stroke and key and changed by the
  // key commands; it outlives the overlay.
  explicit ss(settings::AppSettingsRecord& settings);

  // --- Wiring, at start-up -------------------------------------------------------------------
  // Where the keys, the wheel and the right button go: the program's commands. Without one, keys
  // and the right button do nothing.
  void SetCommandDispatcher(overlay::CommandDispatcher* commands) { commands_ = commands; }
  // Where the tool cursors come from (the main form carries them); without one, or when it has
  // none, the overlay draws its own.
  void SetCursorSource(overlay::CursorSource source) { cursorSource_ = std::move(source); }
  // How a save writes its file and where the print command gets its printer: WriteFile and the
  // default printer unless told otherwise.
  void SetFileWriter(imaging::WriteFileFn write) { writeFile_ = write; }
  void SetPrinterFactory(capture::PrinterFactory factory) { printerFactory_ = std::move(factory); }

  // --- Presentation mode -------------------------------------------------------------------
  // Grabs the whole desktop into Picture1 and Picture2; creates the window first if needed.
  void cmdScreen_Click();
  // Shows the window modeless, maximized, with the focus on Picture1. `frontBefore` is the window
  // that was in front when the presenter asked for presentation mode.
  void ShowOverlay(HWND frontBefore = nullptr);
  // Loads the form without showing it, if it is not loaded (runs the load step).
  void Load();
  // Makes the window, hidden and unloaded, ahead of the first presentation, so that no entry has
  // to wait for it.
  void PrepareWindow();
  // Ends the presentation: the window goes (hidden, kept for the next one) with everything on it,
  // the labels and both pictures; the instance stays.
  void Unload();
  // Unloads and destroys the window too (the program is ending).
  void UnloadForGood();
  bool IsLoaded() const { return loaded_; }
  // Open windows of the process whose form name equals frmName, ignoring case.
  long FormCount(const std::wstring& frmName);

  // --- Undo, redo and keeping the drawing (overlay/drawing_history.h) -------------------------
  overlay::DrawingHistory& History() { return history_; }

  // --- Key commands ------------------------------------------------------------------------
  // Every character typed on the surface (or handed on by the magnifier): the program's commands
  // run it (on the mode in front, which is this overlay unless live drawing is), then the
  // settings are saved; an error ends the command silently, unsaved, with checkpalette set.
  void Picture1_KeyPress(short& KeyAscii);
  // True when the last key command ended through its error path.
  int16_t checkpalette = 0;

  // --- As a drawing mode (overlay/drawing_target.h): what the commands do to the overlay ------
  // It takes the commands whenever no other mode is in front, shown or not: keys handed on by the
  // magnifier after a presentation still reach it.
  bool InFront() const override { return true; }
  bool Offers(overlay::CommandId id) const override;
  HWND DialogOwner() const override { return IsVisible() ? Hwnd() : nullptr; }
  // Esc: the shape being dragged goes, or else the presentation ends with the eraser and text
  // placement off.
  void Leave() override;
  // Ctrl+E: the strokes go, the eraser goes off, the highlighter's cursor shows.
  void ClearDrawing() override;
  // 1 to 4 with the eraser on: its size and cursor.
  void SetEraserSize(int16_t size) override;
  // c: the colour dialog, starting from the pen colour; the choice becomes the pen colour. Cancel
  // raises base::kErrCancel and the colour stays.
  void ChooseColour() override;
  // The keys back to the drawing surface; raises base::kErrInvalidCall when the overlay is not
  // on the screen.
  void FocusSurface() override;
  // Ctrl+Z, Ctrl+Y, Ctrl+C: only while the presentation shows.
  void Undo() override;
  void Redo() override;
  void CopyPicture() override;

  // --- Mouse on the drawing surface ---------------------------------------------------------
  void Picture1_MouseDown(int Button, int Shift, float X, float Y);
  void Picture1_MouseMove(int Button, int Shift, float X, float Y);
  void Picture1_MouseUp(int Button, int Shift, float X, float Y);
  // A shape drag (a press with Shift, Ctrl or Tab held) is following the pointer.
  bool ShapeDragInProgress() const { return shapeDrag_.Following(); }
  // The wheel turned by `Delta` (WHEEL_DELTA a notch, up positive) over the surface at (X, Y):
  // every whole notch runs the wheel's command; a touchpad's smaller turns add up to notches.
  void Picture1_MouseWheel(int Delta, int Shift, float X, float Y);

  // --- The view: the wheel's zoom ------------------------------------------------------------
  // The picture keeps its pixels; the screen shows a part of it magnified (forms/zoom_view.h).
  // Strokes, shapes, the eraser and labels land on the picture pixels under the pointer, at their
  // widths and sizes in picture pixels. A zoom change is no undo step.
  // `notches` up (positive) multiply the zoom by 1.25 each, down to x1 and up to x8, about the
  // pointer; only while the presentation shows.
  void ZoomBy(int notches) override;
  // 0: x1 at once.
  void ActualSize() override;
  bool Zoomed() const { return Picture1.Zoomed(); }

  // --- Pages (overlay/pages.h) ---------------------------------------------------------------
  // w (White) and k (Black): that page, or the desktop when it shows already; one undo step. Only
  // while the presentation shows.
  void TurnToPage(overlay::PageKind key) override;
  overlay::PageKind CurrentPage() const override { return page_; }
  // The page whose picture the surface now holds (a turn, or the history bringing one back): the
  // highlighter follows its paper.
  void SetCurrentPage(overlay::PageKind page) override;

  // --- Text labels ---------------------------------------------------------------------------
  int16_t cKey = 0;
  int16_t cLbl = 0;
  // Arms text placement: the next button release on the surface opens the editor there, and a
  // click on a label opens that label in the editor.
  void ArmTextPlacement() override;
  void lblText_Click(int16_t Index);
  void txtEdit_KeyDown(short& KeyCode, int Shift);
  void txtEdit_KeyUp(short& KeyCode, int Shift);
  // Loads element `Index` of lblText as a copy of the template, hidden, as the commit does for
  // a new label. Throws base::AppError when the window is not there.
  forms::Label& LoadLblText(int16_t Index);
  // The editor and the labels at `dpi` (the overlay's monitor's, as WM_DPICHANGED tells it).
  void SetTextDpi(int dpi);

  // --- Picture commands ----------------------------------------------------------------------
  // Ctrl+S: grab, ask for a name, write a BMP, confirm; the grab becomes Picture1's picture.
  void SaveScreenToFile() override;
  // Ctrl+L: ask for a picture file; it becomes Picture1's and Picture2's picture.
  void LoadPictureFromFile() override;
  // Ctrl+E's drawing part: strokes gone, background kept, drawing position (0, 0).
  void ClearStrokes();
  // The hidden buttons.
  void cmdForm_Click();
  void cmdClient_Click();
  void cmdActive_Click();
  void cmdPrint_Click();
  void cmdClear_Click();

  // --- Tools, as the key commands switch them ------------------------------------------------
  void TogglePen() override;
  void ToggleEraser() override;
  void SetCursorImage(overlay::CursorKind kind);
  overlay::CursorKind CurrentCursor() const { return cursorKind_; }
  HCURSOR CurrentCursorImage() const { return cursor_; }
  bool EraserOn() const override { return eraserOn != 0; }
  // Still taking the keyboard back from windows that took it unasked (see ClaimKeyboardSoon).
  bool ClaimsKeyboard() const { return claimTicks_ > 0; }
  bool PenMode() const { return penMode != 0; }
  bool TextMode() const { return textMode != 0; }
  void SetTextMode(bool on) { textMode = on ? -1 : 0; }

  // Controls.
  forms::PictureBox Picture1;  // the drawing surface
  forms::PictureBox Picture2;  // hidden clean copy of the background, source of the eraser
  forms::PictureBox Picture3;  // hidden scratch picture of a save
  forms::TextBox txtEdit;      // the editor of a text label, inside Picture1
  forms::LabelArray lblText;   // 0: template in Picture1; 1: in Picture3, unused; 2 up: the labels
  forms::CommonDialog CommonDialog1;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnDestroyed() override;

 private:
  void CreateOverlayWindow(const RECT& area);
  void Form_Load();
  void ForgetPresentation();
  void CoverMonitor(const RECT& area);
  RECT PresentationArea() const;
  void EraseAt(float X, float Y);
  // Labels: out of sight while the view is magnified (Picture1 paints them into it), in sight at x1.
  void LabelsFollowTheView();
  std::vector<HWND> ShownLabelWindows() const;
  // The label under a picture point, for a click that its hidden window cannot take; 0 for none.
  int16_t LabelAt(POINT picturePoint) const;
  std::optional<POINT> wheelPoint_;  // where the last wheel notch turned, for its command
  int wheelRest_ = 0;                // a touchpad's turn that adds up to no notch yet
  overlay::PointI ToolPointAt(float X, float Y) const;
  overlay::ShapeStyle ShapeStyleNow() const;
  void FollowShape(float X, float Y);
  // Esc during a shape drag: the shape goes, presentation mode stays.
  void CancelShapeDrag();
  void ClaimKeyboardSoon();
  void ClaimKeyboard();
  int claimTicks_ = 0;
  HWND frontBefore_ = nullptr;
  HWND CreateHiddenButton(const wchar_t* caption, int id);
  void CreateTextControls();
  void ForgetTextControls();
  void PlaceTextEditor(int X, int Y);
  void CommitText();

  HCURSOR CursorFor(overlay::CursorKind kind);

  // What the history sees of the overlay (overlay/ss_canvas.cpp; AskForIdleTime in ss.cpp).
  bool BeginChange() override;
  bool ChangeOpen() const override;
  void CloseChange() override;
  bool ChangeEnded() const override;
  imaging::TileChange TakeEndedChange() override;
  void CancelChange() override;
  bool SwapChange(imaging::TileChange& change) override;
  void RefreshCopy() override;
  void FreeDrawingCopy() override;
  SurfaceState SaveSurface() override;
  SurfaceState TakeSurface() override;
  void RestoreSurface(SurfaceState state) override;
  void SetBackground(base::Picture picture) override;
  void SetBackgroundKeepDrawing(base::Picture picture) override;
  SIZE SurfaceSize() const override;
  void ContentInto(imaging::PixelImage& image) override;
  base::Picture CleanPicture() const override;
  void SetCleanPicture(base::Picture picture) override;
  std::vector<std::pair<int16_t, overlay::LabelState>> Labels() const override;
  std::optional<overlay::LabelState> FindLabel(int16_t index) const override;
  void SetLabel(int16_t index, const std::optional<overlay::LabelState>& state) override;
  void RemoveLabels() override;
  std::vector<overlay::PicturePiece> LabelPieces() override;
  bool Showing() const override { return IsVisible(); }
  bool AskForIdleTime() override;

  settings::AppSettingsRecord& AppSettings;
  overlay::CommandDispatcher* commands_ = nullptr;
  overlay::CursorSource cursorSource_;
  imaging::WriteFileFn writeFile_ = nullptr;
  capture::PrinterFactory printerFactory_;

  bool loaded_ = false;
  int16_t eraserOn = 0;
  int16_t penMode = 0;
  int16_t textMode = 0;
  overlay::PageKind page_ = overlay::PageKind::Desktop;
  overlay::DrawingHistory history_{*this};
  // Ctrl+C's picture, offered on the clipboard by this window.
  overlay::ClipboardOffer clipboard_;
  overlay::ShapeDrag shapeDrag_;
  overlay::CursorKind cursorKind_ = overlay::CursorKind::Highlighter;
  HCURSOR cursor_ = nullptr;
  int cursorSize_ = overlay::kBaseCursorSize;  // of the image in use: where the tools act scales with it
  overlay::ToolCursorSet ownCursors_;
  HWND cmdScreen = nullptr, cmdForm = nullptr, cmdClient = nullptr, cmdActive = nullptr, cmdPrint = nullptr,
       cmdClear = nullptr;
};
