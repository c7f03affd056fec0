// Live drawing: ink over the running programs of one monitor, on a topmost layered window whose
// content is a 32-bit premultiplied DIB section handed to UpdateLayeredWindow. Where nothing is
// drawn the programs beneath show through and keep running.
//
// Two states. Inking (on entry): the window has the keyboard, every press on the monitor draws and
// keys are commands; where there is no ink the window shows alpha 1 (invisible) so that the system
// sends it every click. Pointing: the ink stays, the window is WS_EX_TRANSPARENT and
// WS_EX_NOACTIVATE with alpha 0 where there is no ink, and clicks and keys go to the programs
// beneath as if Scrivane were not there. The live-drawing hotkey (or Space) switches from inking to
// pointing, the hotkey switches back; the hotkey twice in a row, Esc while inking, or the tray item
// again end live drawing. The picture of the screen with the ink over it is then kept, like a
// presentation's.
//
// One instance for the life of the program (its application object holds it). Its window is made
// at the first start and kept, hidden and without a pixel of ink, between live drawings (made anew
// for another monitor).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "forms/common_dialog.h"
#include "forms/drawing_surface.h"
#include "forms/window.h"
#include "overlay/clipboard.h"
#include "overlay/drawing_target.h"
#include "imaging/picture_file.h"
#include "overlay/links.h"
#include "overlay/live_frames.h"
#include "overlay/live_ink.h"
#include "overlay/tool_cursors.h"
#include "settings/app_settings.h"

namespace overlay {

class DrawingKeeper;

class LiveDrawing : public forms::Window, public DrawingTarget {
 public:
  static constexpr wchar_t kClassName[] = L"ScrivaneLiveDrawing";
  // `settings` is the program's settings record, read at every stroke and key and changed by the
  // key commands; it outlives live drawing.
  explicit LiveDrawing(settings::AppSettingsRecord& settings);
  // The window goes while this object is whole.
  ~LiveDrawing() override { Destroy(); }

  // --- Wiring, at start-up ------------------------------------------------------------------------
  // Where its keys and its right button go (the program's command table); without it they do
  // nothing. While it is inking it is the drawing mode in front, and the commands call its tools.
  void SetCommandDispatcher(CommandDispatcher* commands) { commands_ = commands; }
  // The tools' cursor images (the main form carries them); without it, its own.
  void SetCursorSource(CursorSource source) { cursorSource_ = std::move(source); }
  // Where the picture of each live drawing goes at its end; none keeps nothing.
  void SetKeeper(DrawingKeeper* keeper) { keeper_ = keeper; }
  // How Ctrl+S writes its file: WriteFile unless told otherwise.
  void SetFileWriter(imaging::WriteFileFn write) { writeFile_ = write; }

  // --- On and off -----------------------------------------------------------------------------------
  enum class State { Off, Inking, Pointing };
  State CurrentState() const { return state_; }
  bool IsOn() const { return state_ != State::Off; }
  // Starts inking over the monitor under the pointer; `focusBefore` gets the keyboard back at the
  // end (a window of ours that is not on screen, or the notification area, counts as none).
  void Start(HWND focusBefore);
  // Ends live drawing: the picture is kept when anything was drawn, the window goes and the window
  // that had the keyboard before gets it back.
  void End();
  // The live-drawing hotkey, sent at `messageTime` (GetMessageTime: when the key was pressed, however
  // long the message waited), with `foreground` in front: starts live drawing, switches between
  // inking and pointing, and ends it when it comes twice within the double-click time.
  void OnHotkey(DWORD messageTime, HWND foreground);
  // The tray item: starts, or ends when on.
  void Toggle(HWND focusBefore);
  // Inking to pointing and back. Back to inking, `foreground` is the window that had the keyboard
  // meanwhile and gets it back later.
  void SetPointing(bool pointing, HWND foreground = nullptr);

  // --- Inking: the mouse (the window's own handlers call these) --------------------------------------
  // Button 1 left, 2 right, 4 middle; `shift` 1 Shift, 2 Ctrl; x and y in the window's pixels.
  void MouseDown(int button, int shift, int x, int y);
  void MouseMove(int buttons, int x, int y);
  void MouseUp(int button, int x, int y);

  // --- As a drawing mode (overlay/drawing_target.h): its tools, as the commands switch them -----------
  // In front while inking; it takes presentation mode's keys that make sense over live content, and
  // Space for pointing.
  bool InFront() const override { return state_ == State::Inking; }
  bool Offers(CommandId id) const override;
  HWND DialogOwner() const override { return IsOn() ? Hwnd() : nullptr; }
  // Esc: takes back a shape being dragged, else ends live drawing.
  void Leave() override;
  // Ctrl+E: every pixel of ink goes (one step), the eraser off, the highlighter's cursor.
  void ClearDrawing() override;
  void TogglePen() override;
  void ToggleEraser() override;
  void SetEraserSize(int16_t size) override;
  // The colour dialog, from the pen colour; Cancel raises, and the colour stays.
  void ChooseColour() override;
  void Undo() override;
  void Redo() override;
  // Ctrl+S and Ctrl+C: the screen with the ink over it, to a file the user names, or to the
  // clipboard.
  void SaveScreenToFile() override;
  void CopyPicture() override;
  // Space.
  void StartPointing() override { SetPointing(true); }
  bool PenMode() const { return penMode_; }
  bool EraserOn() const override { return eraserOn_; }
  CursorKind CurrentCursor() const { return cursorKind_; }
  // The monitor covered, in screen coordinates.
  RECT Area() const { return area_; }
  const LiveInk& Ink() const { return ink_; }

  // What the screen shows now over the covered monitor, ink included: what Ctrl+S saves, Ctrl+C
  // copies and the keeper keeps. Everything drawn so far goes to the screen first.
  base::Picture ScreenWithInk();

  // --- Frames -------------------------------------------------------------------------------------------
  // Pushes whatever waits for the next frame to the screen now.
  void FlushFrames();
  // Called after each UpdateLayeredWindow with the area and the QueryPerformanceCounter ticks before
  // and after it (the benchmark's window on the cost).
  using PresentObserver = std::function<void(const RECT& area, int64_t before, int64_t after)>;
  void SetPresentObserver(PresentObserver observer) { presentObserver_ = std::move(observer); }
  // Frames shown since live drawing started; whether a timer runs (the frame's wait, or the
  // keyboard's hand-over for half a second after a switch): none does while nothing moves.
  int PresentCount() const { return presents_; }
  bool TimersRunning() const { return frameTimer_ || keyboardTicks_ > 0; }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnDestroyed() override;

 private:
  bool MakeWindow();
  void FreeEverything();
  void SetStyles(bool pointing);
  void InkChanged(const PixelRect& area);
  void Present();
  void PresentAll();
  double NowMs() const;
  uint8_t FloorAlpha() const { return state_ == State::Pointing ? 0 : 1; }
  // Hands the keyboard to `target` (this window while inking; the window that had it before, while
  // pointing and at the end). A window manager may answer late and move it again: for half a
  // second it is given again whenever something took it unasked.
  void KeyboardTo(HWND target);
  void GiveKeyboardNow();
  bool MayTakeKeyboardFrom(HWND front) const;
  // Ends a stroke, shape or eraser drag as the release would.
  void FinishDrag();
  PointI ToolPoint(int x, int y) const;
  InkStyle StyleNow() const;
  void SetCursorImage(CursorKind kind);

  settings::AppSettingsRecord& AppSettings;
  CommandDispatcher* commands_ = nullptr;
  CursorSource cursorSource_;
  DrawingKeeper* keeper_ = nullptr;
  imaging::WriteFileFn writeFile_ = nullptr;
  PresentObserver presentObserver_;

  State state_ = State::Off;
  RECT area_{};
  HWND focusBefore_ = nullptr;
  HWND keyboardTarget_ = nullptr;
  int keyboardTicks_ = 0;
  DWORD lastHotkey_ = 0;
  bool hotkeyRecent_ = false;

  LiveInk ink_;
  forms::DrawingSurface layer_;  // the DIB section UpdateLayeredWindow shows
  LiveFrames frames_;
  bool frameTimer_ = false;
  int presents_ = 0;
  LARGE_INTEGER qpcFrequency_{};

  // Tools: the presentation's, reset at every start.
  bool penMode_ = false;
  bool eraserOn_ = false;
  enum class Drag { None, Stroke, Shape, ShapeAbandoned, Eraser };
  Drag drag_ = Drag::None;
  CursorKind cursorKind_ = CursorKind::Highlighter;
  HCURSOR cursor_ = nullptr;
  int cursorSize_ = kBaseCursorSize;
  ToolCursorSet ownCursors_;
  forms::CommonDialog dialog_;
  ClipboardOffer clipboard_;  // what Ctrl+C put on the clipboard, until it is all there
};

}  // namespace overlay
