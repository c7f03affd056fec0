#include "overlay/live_drawing.h"

#include <windowsx.h>
#include <commdlg.h>
#include <dwmapi.h>

#include <cmath>

#include "base/window_place.h"
#include "capture/screen_capture.h"
#include "overlay/clipboard.h"
#include "overlay/keeping.h"
#include "overlay/picture_commands.h"
#include "settings/app_settings.h"

namespace overlay {

namespace {

constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT_PTR kKeyboardTimer = 2;
constexpr UINT kKeyboardTimerMs = 50;
constexpr int kKeyboardTicks = 10;
// Posted when the window lost the keyboard while inking: by the time it is handled, whatever took
// the keyboard (a menu or dialog of ours, a window on another monitor) shows who it was.
constexpr UINT kMsgReclaim = WM_APP + 1;

int ShiftOf(WPARAM wParam) { return ((wParam & MK_SHIFT) ? 1 : 0) | ((wParam & MK_CONTROL) ? 2 : 0); }

int ButtonsOf(WPARAM wParam) {
  return ((wParam & MK_LBUTTON) ? 1 : 0) | ((wParam & MK_RBUTTON) ? 2 : 0) | ((wParam & MK_MBUTTON) ? 4 : 0);
}

}  // namespace

LiveDrawing::LiveDrawing(settings::AppSettingsRecord& settings) : forms::Window(L"LiveDrawing"), AppSettings(settings) {
  ::QueryPerformanceFrequency(&qpcFrequency_);
}

double LiveDrawing::NowMs() const {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(qpcFrequency_.QuadPart);
}

// --- On and off -----------------------------------------------------------------------------------------

bool LiveDrawing::MakeWindow() {
  RECT now{};
  if (IsCreated() && (!::GetWindowRect(Hwnd(), &now) || !::EqualRect(&now, &area_))) Destroy();
  const int cx = area_.right - area_.left, cy = area_.bottom - area_.top;
  if (!IsCreated()) {
    RegisterWindowClass(kClassName);
    // A tool window, so it gets no taskbar button. It shows nothing of its own until its first
    // UpdateLayeredWindow.
    if (!CreateWindowObject(WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, L"Live Drawing", WS_POPUP,
                            area_.left, area_.top, cx, cy, nullptr, nullptr)) {
      return false;
    }
    // Made, not on: it counts as an open form only while live drawing is on.
    SetListedAsOpen(false);
  }
  SetStyles(false);
  if (!layer_.Create(cx, cy) || !ink_.Create(cx, cy)) {
    FreeEverything();
    return false;
  }
  return true;
}

void LiveDrawing::FreeEverything() {
  // A tray program holds no screen's worth of ink between live drawings.
  ink_.Free();
  layer_.Free();
  frames_.Reset();
  if (frameTimer_ && IsCreated()) ::KillTimer(Hwnd(), kFrameTimer);
  frameTimer_ = false;
  drag_ = Drag::None;
}

namespace {
// A window that can take the keyboard back at the end: on screen, and not the notification area
// (which takes it unasked) nor a hidden window of ours (the main form, made foreground by its menu).
bool WorthGivingBack(HWND w, HWND self) {
  return w && w != self && ::IsWindow(w) && ::IsWindowVisible(w) && !forms::IsNotificationAreaWindow(w);
}

// The window the presenter was working in when `front` had the keyboard: `front` itself, or, when
// the notification area or a window of ours had it (the tray icon was clicked, Wine's stand-alone
// tray activated itself), the topmost window of another program that can take the keyboard.
HWND WindowWorkedIn(HWND front, HWND self) {
  if (WorthGivingBack(front, self)) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(front, &pid);
    if (pid != ::GetCurrentProcessId()) return front;
  }
  for (HWND w = ::GetTopWindow(nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    RECT rc{};
    if (pid == ::GetCurrentProcessId() || !WorthGivingBack(w, self) || ::IsIconic(w) || !::IsWindowEnabled(w) ||
        (::GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_NOACTIVATE) || !::GetWindowRect(w, &rc) || ::IsRectEmpty(&rc)) {
      continue;
    }
    return w;
  }
  return nullptr;
}
}  // namespace

void LiveDrawing::Start(HWND focusBefore) {
  if (state_ != State::Off) return;
  area_ = base::MonitorRectUnderPointer();
  penMode_ = eraserOn_ = false;
  drag_ = Drag::None;
  if (!MakeWindow()) {
    ::MessageBoxW(nullptr, L"Live drawing could not start: there is not enough memory for the ink of this screen.",
                  L"Scrivane", MB_OK | MB_ICONERROR);
    return;
  }
  focusBefore_ = WindowWorkedIn(focusBefore, Hwnd());
  state_ = State::Inking;
  SetListedAsOpen(true);
  presents_ = 0;
  SetCursorImage(CursorKind::Highlighter);
  // The content first (alpha 1 everywhere: nothing changes on the screen), then the window.
  PresentAll();
  ::ShowWindow(Hwnd(), SW_SHOWNA);
  KeyboardTo(Hwnd());
}

void LiveDrawing::End() {
  if (state_ == State::Off) return;
  FinishDrag();
  if (keeper_ && ink_.Changed() && keeper_->Wanted()) {
    // The screen with the ink over it, as it shows now, kept like a presentation's picture.
    const base::Picture shot = ScreenWithInk();
    if (shot) {
      KeptPicture kept;
      kept.drawing = imaging::FrozenImage(imaging::PicturePixels(*shot));
      keeper_->Keep(std::move(kept));
    }
  }
  const bool hadKeyboard = ::GetForegroundWindow() == Hwnd();
  state_ = State::Off;
  // The keyboard goes back while we still have it to give: once the window is hidden, the system
  // (or the window manager) hands it to a window of its own choosing.
  if (hadKeyboard && WorthGivingBack(focusBefore_, Hwnd())) {
    KeyboardTo(focusBefore_);
  } else {
    keyboardTicks_ = 0;
  }
  ::ShowWindow(Hwnd(), SW_HIDE);
  SetListedAsOpen(false);
  FreeEverything();
  // A picture copied with Ctrl+C goes onto the clipboard whole once it is made.
  clipboard_.RenderAllWhenReady(Hwnd());
  // The window has gone from the screen: the keeper may start on the picture.
  if (keeper_) keeper_->StartWriting();
}

void LiveDrawing::Toggle(HWND focusBefore) {
  if (IsOn()) {
    End();
  } else {
    Start(focusBefore);
  }
}

void LiveDrawing::OnHotkey(DWORD messageTime, HWND foreground) {
  if (state_ == State::Off) {
    Start(foreground);
    lastHotkey_ = messageTime;
    hotkeyRecent_ = IsOn();
    return;
  }
  // Twice in a row: within the double-click time, by the times the key was pressed at.
  if (hotkeyRecent_ && messageTime - lastHotkey_ <= ::GetDoubleClickTime()) {
    hotkeyRecent_ = false;
    End();
    return;
  }
  lastHotkey_ = messageTime;
  hotkeyRecent_ = true;
  SetPointing(state_ == State::Inking, foreground);
}

void LiveDrawing::SetStyles(bool pointing) {
  constexpr LONG_PTR kPointingStyles = WS_EX_TRANSPARENT | WS_EX_NOACTIVATE;
  LONG_PTR ex = ::GetWindowLongPtrW(Hwnd(), GWL_EXSTYLE);
  ex = pointing ? (ex | kPointingStyles) : (ex & ~kPointingStyles);
  ::SetWindowLongPtrW(Hwnd(), GWL_EXSTYLE, ex);
  ::SetWindowPos(Hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void LiveDrawing::SetPointing(bool pointing, HWND foreground) {
  if (state_ == State::Off || pointing == (state_ == State::Pointing)) return;
  if (pointing) {
    FinishDrag();
    state_ = State::Pointing;
    // Clicks pass through the window (WS_EX_TRANSPARENT) to the programs beneath, and a click
    // does not activate it (WS_EX_NOACTIVATE): under Wine a foreground layered window gets the
    // pointer clipped to it, every click included.
    SetStyles(true);
    PresentAll();
    HWND to = WorthGivingBack(focusBefore_, Hwnd()) ? focusBefore_ : ::GetShellWindow();
    KeyboardTo(to ? to : ::GetDesktopWindow());
  } else {
    // The window the presenter was working in meanwhile gets the keyboard at the end.
    if (HWND worked = WindowWorkedIn(foreground, Hwnd())) focusBefore_ = worked;
    state_ = State::Inking;
    SetStyles(false);
    PresentAll();
    KeyboardTo(Hwnd());
  }
}

void LiveDrawing::KeyboardTo(HWND target) {
  keyboardTarget_ = target;
  keyboardTicks_ = kKeyboardTicks;
  GiveKeyboardNow();
  if (IsCreated() && keyboardTicks_ > 0) ::SetTimer(Hwnd(), kKeyboardTimer, kKeyboardTimerMs, nullptr);
}

bool LiveDrawing::MayTakeKeyboardFrom(HWND front) const {
  if (keyboardTarget_ == Hwnd()) {
    // Inking: back from whatever took it, but not from a dialog or menu of ours, and not when the
    // presenter went to a window on another monitor (which stays fully usable).
    if (state_ != State::Inking || forms::ModalWindowOfThisThread()) return false;
    POINT pt{};
    return ::GetCursorPos(&pt) && ::PtInRect(&area_, pt);
  }
  // Handed to another program: back to it from the windows that take the keyboard without anyone
  // asking (none, the notification area, a hidden window of ours, this one going away).
  if (!front || front == ::GetDesktopWindow() || forms::IsNotificationAreaWindow(front)) return true;
  DWORD pid = 0;
  ::GetWindowThreadProcessId(front, &pid);
  return pid == ::GetCurrentProcessId() && (front == Hwnd() || !::IsWindowVisible(front));
}

void LiveDrawing::GiveKeyboardNow() {
  HWND target = keyboardTarget_;
  HWND front = ::GetForegroundWindow();
  if (!target || !::IsWindow(target) || (front != target && !MayTakeKeyboardFrom(front))) {
    // Someone chose where the keyboard goes: it stays there.
    keyboardTicks_ = 0;
    if (IsCreated()) ::KillTimer(Hwnd(), kKeyboardTimer);
    return;
  }
  if (front != target) ::SetForegroundWindow(target);
  if (target == Hwnd()) ::SetFocus(Hwnd());
}

// --- Frames -------------------------------------------------------------------------------------------------

void LiveDrawing::InkChanged(const PixelRect& area) {
  switch (frames_.Changed(area, NowMs())) {
    case LiveFrames::Next::PresentNow: Present(); break;
    case LiveFrames::Next::Wait:
      // One shot: killed when it fires, so nothing runs while nothing moves.
      frameTimer_ = ::SetTimer(Hwnd(), kFrameTimer, static_cast<UINT>(std::ceil(frames_.WaitMs())), nullptr) != 0;
      if (!frameTimer_) Present();
      break;
    case LiveFrames::Next::Waiting:
    case LiveFrames::Next::Nothing: break;
  }
}

void LiveDrawing::PresentAll() {
  frames_.Changed(ink_.Canvas().Bounds(), NowMs());
  Present();
}

void LiveDrawing::FlushFrames() {
  if (frames_.Pending()) Present();
}

void LiveDrawing::Present() {
  if (frameTimer_) {
    ::KillTimer(Hwnd(), kFrameTimer);
    frameTimer_ = false;
  }
  const PixelRect area = frames_.TakeFrame(NowMs());
  if (area.Empty() || !IsCreated() || !layer_.Ready()) return;
  imaging::CopyForLayer(ink_.Canvas(), layer_.Pixels(), area, FloorAlpha());
  POINT origin{area_.left, area_.top};
  SIZE size{layer_.Width(), layer_.Height()};
  POINT source{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  RECT dirty{area.left, area.top, area.right, area.bottom};
  UPDATELAYEREDWINDOWINFO info{sizeof info, nullptr, &origin, &size, layer_.Dc(), &source, 0, &blend, ULW_ALPHA, &dirty};
  LARGE_INTEGER before, after;
  ::QueryPerformanceCounter(&before);
  ::UpdateLayeredWindowIndirect(Hwnd(), &info);
  ::QueryPerformanceCounter(&after);
  ++presents_;
  if (presentObserver_) presentObserver_(dirty, before.QuadPart, after.QuadPart);
}

base::Picture LiveDrawing::ScreenWithInk() {
  if (!IsOn()) return nullptr;
  FlushFrames();
  // The compositor shows our last update at its next pass; the copy waits for it.
  ::DwmFlush();
  return capture::GrabScreenAsShown(area_);
}

// --- Keys ------------------------------------------------------------------------------------------------

bool LiveDrawing::Offers(CommandId id) const {
  switch (id) {
    // What belongs to the frozen picture: loading one, labels, the magnifier key, zoom and pages.
    case CommandId::OpenImage:
    case CommandId::ArmText:
    case CommandId::MagnifierKey:
    case CommandId::ZoomIn:
    case CommandId::ZoomOut:
    case CommandId::ActualSize:
    case CommandId::WhitePage:
    case CommandId::BlackPage: return false;
    default: return true;
  }
}

void LiveDrawing::Leave() {
  // Esc during a shape drag takes back that shape only; the next Esc ends live drawing.
  if (drag_ == Drag::Shape) {
    InkChanged(ink_.CancelShape());
    drag_ = Drag::ShapeAbandoned;
    return;
  }
  End();
}

void LiveDrawing::ClearDrawing() {
  FinishDrag();
  InkChanged(ink_.ClearAll());
  eraserOn_ = false;
  SetCursorImage(CursorKind::Highlighter);
}

void LiveDrawing::SetEraserSize(int16_t size) {
  AppSettings.erasersize = size;
  SetCursorImage(EraserCursorFor(size));
}

void LiveDrawing::Undo() {
  FinishDrag();
  InkChanged(ink_.Undo());
}

void LiveDrawing::Redo() {
  FinishDrag();
  InkChanged(ink_.Redo());
}

void LiveDrawing::SetCursorImage(CursorKind kind) {
  cursorKind_ = kind;
  cursor_ = ToolCursorImage(cursorSource_, ownCursors_, Hwnd(), kind);
  // Where the tools act follows the size of the image the presenter sees.
  const int size = CursorImageSize(cursor_);
  cursorSize_ = size > 0 ? size : kBaseCursorSize;
  POINT pt;
  if (state_ == State::Inking && ::GetCursorPos(&pt) && ::WindowFromPoint(pt) == Hwnd()) ::SetCursor(cursor_);
}

void LiveDrawing::TogglePen() {
  penMode_ = !penMode_;
  SetCursorImage(penMode_ ? CursorKind::Pen : CursorKind::Highlighter);
}

void LiveDrawing::ToggleEraser() {
  eraserOn_ = !eraserOn_;
  SetCursorImage(eraserOn_ ? EraserCursorFor(AppSettings.erasersize) : CursorKind::Highlighter);
}

void LiveDrawing::ChooseColour() {
  dialog_.owner = Hwnd();
  dialog_.color = static_cast<COLORREF>(AppSettings.color);
  dialog_.flags = CC_RGBINIT | CC_FULLOPEN;
  dialog_.cancelError = true;
  dialog_.ShowColor();
  AppSettings.color = static_cast<int32_t>(dialog_.color);
}

void LiveDrawing::SaveScreenToFile() {
  // Taken before the dialog covers anything: the screen at the key.
  const base::Picture shot = ScreenWithInk();
  SaveScreenPicture(dialog_, Hwnd(), shot, writeFile_);
}

void LiveDrawing::CopyPicture() {
  const base::Picture shot = ScreenWithInk();
  if (shot) clipboard_.Offer(Hwnd(), imaging::PicturePixels(*shot));
}

// --- Mouse --------------------------------------------------------------------------------------------------

PointI LiveDrawing::ToolPoint(int x, int y) const { return PenPoint(penMode_, x, y, cursorSize_); }

InkStyle LiveDrawing::StyleNow() const { return LiveInkStyle(AppSettings.color, penMode_, AppSettings.brushwidth); }

void LiveDrawing::FinishDrag() {
  if (drag_ == Drag::None) return;
  drag_ = Drag::None;
  ink_.EndStep();
  if (::GetCapture() == Hwnd()) ::ReleaseCapture();
}

void LiveDrawing::MouseDown(int button, int shift, int x, int y) {
  if (state_ != State::Inking) return;
  if (button != 1) {
    // The tray menu, as on the frozen picture; its Live Drawing item ends live drawing.
    FinishDrag();
    if (commands_) commands_->Run(CommandId::Menu);
    // The menu made the hidden main window foreground.
    if (state_ == State::Inking) KeyboardTo(Hwnd());
    return;
  }
  FinishDrag();
  ::SetCapture(Hwnd());
  if (eraserOn_) {
    drag_ = Drag::Eraser;
    InkChanged(ink_.EraseSquare(EraserSquare(AppSettings.erasersize, x, y, cursorSize_)));
    return;
  }
  const PointI p = ToolPoint(x, y);
  // Tab has no bit of its own in the message: its state as it stood when the press was posted.
  const ShapeKind shape = ShapeForKeys((shift & 1) != 0, (shift & 2) != 0, ::GetKeyState(VK_TAB) < 0);
  if (shape != ShapeKind::Freehand) {
    ink_.BeginShape(shape, p);
    drag_ = Drag::Shape;
    return;
  }
  drag_ = Drag::Stroke;
  InkChanged(ink_.StrokeDot(p, StyleNow()));
}

void LiveDrawing::MouseMove(int buttons, int x, int y) {
  if (state_ != State::Inking || buttons != 1) return;
  switch (drag_) {
    case Drag::Shape: InkChanged(ink_.FollowShape(ToolPoint(x, y), StyleNow())); return;
    case Drag::ShapeAbandoned: return;
    case Drag::None:
      // A drag that came in with the button already down.
      drag_ = eraserOn_ ? Drag::Eraser : Drag::Stroke;
      [[fallthrough]];
    case Drag::Eraser:
    case Drag::Stroke:
      if (drag_ == Drag::Eraser) {
        InkChanged(ink_.EraseSquare(EraserSquare(AppSettings.erasersize, x, y, cursorSize_)));
      } else {
        InkChanged(ink_.StrokeTo(ToolPoint(x, y), StyleNow()));
      }
      return;
  }
}

void LiveDrawing::MouseUp(int button, int x, int y) {
  if (button != 1) return;
  if (drag_ == Drag::Shape) InkChanged(ink_.FollowShape(ToolPoint(x, y), StyleNow()));
  FinishDrag();
}

// --- Messages -----------------------------------------------------------------------------------------------

LRESULT LiveDrawing::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  // Ctrl+C's picture on the clipboard (clipboard.h).
  if (clipboard_.HandleMessage(Hwnd(), msg, wParam)) return 0;
  switch (msg) {
    case WM_MOUSEACTIVATE: return state_ == State::Pointing ? MA_NOACTIVATE : MA_ACTIVATE;
    case WM_SETCURSOR:
      if (state_ == State::Inking && LOWORD(lParam) == HTCLIENT && cursor_) {
        ::SetCursor(cursor_);
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN: MouseDown(1, ShiftOf(wParam), x, y); return 0;
    case WM_RBUTTONDOWN: MouseDown(2, ShiftOf(wParam), x, y); return 0;
    case WM_MBUTTONDOWN: MouseDown(4, ShiftOf(wParam), x, y); return 0;
    case WM_MOUSEMOVE: MouseMove(ButtonsOf(wParam), x, y); return 0;
    case WM_LBUTTONUP: MouseUp(1, x, y); return 0;
    case WM_CHAR:
      // Keys are commands while inking (while pointing they go to the programs beneath anyway).
      if (state_ == State::Inking && commands_) commands_->RunKey(static_cast<short>(wParam));
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE && state_ == State::Inking) ::PostMessageW(Hwnd(), kMsgReclaim, 0, 0);
      break;
    case kMsgReclaim:
      if (state_ == State::Inking && ::GetForegroundWindow() != Hwnd()) KeyboardTo(Hwnd());
      return 0;
    case WM_TIMER:
      if (wParam == kFrameTimer) {
        Present();
        return 0;
      }
      if (wParam == kKeyboardTimer) {
        if (--keyboardTicks_ <= 0) ::KillTimer(Hwnd(), kKeyboardTimer);
        GiveKeyboardNow();
        return 0;
      }
      break;
    case WM_CAPTURECHANGED:
      // Something else took the pointer mid-drag (a menu, a dialog, the system): the drag ends there.
      if (reinterpret_cast<HWND>(lParam) != Hwnd()) FinishDrag();
      return 0;
    case WM_DPICHANGED:
      // It covers its monitor, whatever the scaling: the suggested rectangle is not taken.
      return 0;
    case WM_DISPLAYCHANGE:
    case WM_CLOSE:
      // A screen of another size, or a request to close: live drawing ends, its picture kept.
      End();
      return 0;
    default: break;
  }
  return DefaultProc(msg, wParam, lParam);
}

void LiveDrawing::OnDestroyed() {
  // Destroyed from outside (the program is ending), or for another monitor.
  state_ = State::Off;
  keyboardTicks_ = 0;
  FreeEverything();
}

}  // namespace overlay
