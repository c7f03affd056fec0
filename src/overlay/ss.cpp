#include "overlay/ss.h"

#include "base/window_place.h"
#include "capture/screen_capture.h"
#include "base/dpi.h"
#include "overlay/pen_geometry.h"
#include "overlay/tool_cursors.h"
#include "settings/app_settings.h"

namespace {
constexpr wchar_t kOverlayClass[] = L"ScrivaneOverlay";
constexpr int kIdPicture1 = 100;
constexpr int kIdPicture2 = 101;
constexpr int kIdPicture3 = 102;
constexpr int kIdFirstButton = 200;
constexpr UINT kMsgClaimKeyboard = WM_APP + 1;
// Asked for by the history (AskForIdleTime) when a presentation has ended: the keeper may start on
// its picture. Its handler does the rest of the idle-time work too (DrawingHistory::DoIdleWork).
constexpr UINT kMsgHistoryIdle = WM_APP + 2;
// Posted when the overlay lost the keyboard: it takes it back only from the notification area's
// window.
constexpr UINT kMsgKeyboardLost = WM_APP + 3;
constexpr UINT_PTR kClaimTimer = 1;
// The history's idle-time work (see DrawingHistory::DoIdleWork). WM_TIMER comes only when no
// other message waits: the pauses between strokes. After a presentation, on the hidden window, at
// a quicker pace until what it kept is packed.
constexpr UINT_PTR kHistoryTimer = 2;
constexpr UINT kHistoryTimerMillis = 50;
constexpr UINT kHistoryTimerHiddenMillis = 10;
}  // namespace

ss::ss(settings::AppSettingsRecord& settings) : forms::Window(L"ss"), AppSettings(settings) {}

long ss::FormCount(const std::wstring& frmName) { return forms::Window::CountOpenForms(frmName); }

HWND ss::CreateHiddenButton(const wchar_t* caption, int id) {
  return ::CreateWindowExW(0, L"BUTTON", caption, WS_CHILD | BS_PUSHBUTTON | WS_TABSTOP, 0, 0, 120, 30, Hwnd(),
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
}

void ss::CreateOverlayWindow(const RECT& area) {
  RegisterWindowClass(kOverlayClass, 0, ::GetSysColorBrush(COLOR_BTNFACE));
  const int cx = area.right - area.left;
  const int cy = area.bottom - area.top;
  // No frame, no caption bar, and a tool window so that it gets no taskbar button.
  if (!CreateWindowObject(WS_EX_TOOLWINDOW, kOverlayClass, L"Capture and Print Example", WS_POPUP | WS_CLIPCHILDREN,
                          area.left, area.top, cx, cy, nullptr, nullptr)) {
    return;
  }
  // The six hidden buttons come first in tab order, so Picture1 is the first control that can
  // take the focus.
  cmdScreen = CreateHiddenButton(L"Capture Entire Screen", kIdFirstButton + 0);
  cmdForm = CreateHiddenButton(L"Capture Entire Form", kIdFirstButton + 1);
  cmdClient = CreateHiddenButton(L"Capture Client Area", kIdFirstButton + 2);
  cmdActive = CreateHiddenButton(L"Capture Active Window", kIdFirstButton + 3);
  cmdPrint = CreateHiddenButton(L"Print Picture", kIdFirstButton + 4);
  cmdClear = CreateHiddenButton(L"Clear Picture", kIdFirstButton + 5);

  Picture1.Create(Hwnd(), kIdPicture1, 0, 0, cx, cy, true);
  Picture2.Create(Hwnd(), kIdPicture2, 0, 0, 16, 16, false);
  Picture3.Create(Hwnd(), kIdPicture3, 0, 0, 16, 16, false);

  auto& events = Picture1.On();
  events.mouseDown = [this](int b, int s, float x, float y) { Picture1_MouseDown(b, s, x, y); };
  events.mouseMove = [this](int b, int s, float x, float y) { Picture1_MouseMove(b, s, x, y); };
  events.mouseUp = [this](int b, int s, float x, float y) { Picture1_MouseUp(b, s, x, y); };
  events.mouseWheel = [this](int d, int s, float x, float y) { Picture1_MouseWheel(d, s, x, y); };
  events.keyPress = [this](short& key) { Picture1_KeyPress(key); };
  events.pictureParts = [this] { return ShownLabelWindows(); };
}

void ss::PrepareWindow() {
  if (IsCreated()) return;
  CreateOverlayWindow(base::MonitorRectUnderPointer());
  // Made, not loaded: it counts as no open form until a presentation loads it.
  if (!loaded_) SetListedAsOpen(false);
}

void ss::Load() {
  if (loaded_) return;
  // The window is made once and kept, hidden, between presentations: making a full-screen window
  // and its controls again at every entry costs more than everything else the entry does. Each
  // load starts it again from the properties it was created with.
  if (!IsCreated()) CreateOverlayWindow(base::MonitorRectUnderPointer());
  if (!IsCreated()) return;
  SetListedAsOpen(true);
  Picture1.SetDrawMode(R2_MASKPEN);
  CreateTextControls();
  CommonDialog1 = forms::CommonDialog{};
  CommonDialog1.owner = Hwnd();
  loaded_ = true;
  Form_Load();
}

void ss::Form_Load() {
  Picture1.SetAutoSize(true);
  Picture2.SetAutoSize(true);
  SetCursorImage(overlay::CursorKind::Highlighter);
  penMode = 0;
}

void ss::ForgetPresentation() {
  // Everything the presentation put on the window goes: the pictures (and their memory), the
  // labels and the editor. The window itself may stay for the next one.
  ::KillTimer(Hwnd(), kClaimTimer);
  ::KillTimer(Hwnd(), kHistoryTimer);
  claimTicks_ = 0;
  // The next presentation starts at x1.
  Picture1.ResetZoom();
  wheelPoint_.reset();
  wheelRest_ = 0;
  // The next presentation starts on the desktop.
  page_ = overlay::PageKind::Desktop;
  Picture1.SetPicture(nullptr);
  Picture2.SetPicture(nullptr);
  Picture3.SetPicture(nullptr);
  ForgetTextControls();
  shapeDrag_.Reset();
}

void ss::OnDestroyed() {
  // The window took its controls with it.
  loaded_ = false;
  ForgetPresentation();
  cmdScreen = cmdForm = cmdClient = cmdActive = cmdPrint = cmdClear = nullptr;
}

void ss::Unload() {
  if (!loaded_) return;
  // Whatever ends the presentation, its drawing is kept first: a stroke under way ends there, as
  // a step of its own.
  history_.PresentationEnding();
  // A button still held lets go of the pointer: the window goes, and what the pointer does next
  // belongs to whatever is under it.
  HWND captured = ::GetCapture();
  if (captured && (captured == Hwnd() || ::IsChild(Hwnd(), captured))) ::ReleaseCapture();
  loaded_ = false;
  ::ShowWindow(Hwnd(), SW_HIDE);
  ForgetPresentation();
  SetListedAsOpen(false);
  history_.PresentationGone();
  // A picture copied with Ctrl+C goes onto the clipboard whole once it is made, and its memory
  // with it: nothing of the presentation stays behind in the tray.
  clipboard_.RenderAllWhenReady(Hwnd());
}

bool ss::AskForIdleTime() { return Hwnd() && ::PostMessageW(Hwnd(), kMsgHistoryIdle, 0, 0) != 0; }

void ss::UnloadForGood() {
  Unload();
  // The message the history posted for its idle time goes with the window: its work is done now.
  history_.DoIdleWork();
  Destroy();
}

RECT ss::PresentationArea() const {
  // A presentation opens on the monitor the pointer is on; while it is open, what it grabs again
  // (a second entry, a save) is the monitor it covers, itself and the drawing included.
  return IsVisible() ? base::MonitorRectOf(Hwnd()) : base::MonitorRectUnderPointer();
}

void ss::cmdScreen_Click() {
  const bool open = IsVisible();
  const RECT area = PresentationArea();
  if (!open) CoverMonitor(area);
  Load();
  // A grab of the open overlay becomes the picture: the picture, not a magnified part of it.
  if (open && Zoomed()) {
    ActualSize();
    ::RedrawWindow(Hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
  // Into Picture1 and Picture2, as one undo step (see DrawingHistory::TakeGrab).
  history_.TakeGrab(capture::GrabScreenRect(area));
  // Memory for a copy of the picture, made ready on the clipboard's worker while the presenter
  // starts drawing (clipboard.h).
  clipboard_.PrepareSpare(static_cast<size_t>(area.right - area.left) * static_cast<size_t>(area.bottom - area.top));
}

void ss::CoverMonitor(const RECT& area) {
  if (!IsCreated()) return;
  RECT now{};
  ::GetWindowRect(Hwnd(), &now);
  if (::EqualRect(&now, &area)) return;
  // Another monitor (or the same one at another size): a window is made for it. Moving the kept
  // one there is not enough: a window manager places a full-screen window anew when it is shown,
  // on a monitor of its own choosing.
  const bool loaded = loaded_;
  UnloadForGood();
  CreateOverlayWindow(area);
  if (loaded) Load();
}

void ss::ShowOverlay(HWND frontBefore) {
  frontBefore_ = frontBefore;
  Load();
  if (!IsCreated()) return;
  // Maximized on the primary monitor. On another one the window is shown where it stands, over the
  // whole monitor: maximizing leaves the choice of monitor to the window manager (openbox takes
  // the first).
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(Hwnd(), MONITOR_DEFAULTTONEAREST), &monitor);
  ::ShowWindow(Hwnd(), (monitor.dwFlags & MONITORINFOF_PRIMARY) ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  // Picture1 paints first, before anything else runs. Wine's X11 driver gives the window a new,
  // black surface when it is shown; the X server's Expose events for the map mark all of it dirty,
  // and the next EndPaint of the thread puts it on the screen. That was the overlay's own paint,
  // which has nothing to draw (Picture1 covers it): a black frame before the picture. The part
  // that Picture1 covers needs no paint of ours, on Windows either.
  RECT covered{};
  ::GetWindowRect(Picture1.Hwnd(), &covered);
  ::MapWindowPoints(HWND_DESKTOP, Hwnd(), reinterpret_cast<POINT*>(&covered), 2);
  ::ValidateRect(Hwnd(), &covered);
  ::UpdateWindow(Hwnd());
  ::SetForegroundWindow(Hwnd());
  ::SetFocus(Picture1.Hwnd());
  ClaimKeyboardSoon();
  // Set once for the presentation: a stroke's release tells no one that it ended.
  ::SetTimer(Hwnd(), kHistoryTimer, kHistoryTimerMillis, nullptr);
}

void ss::ClaimKeyboardSoon() {
  // The main window was made foreground just before we showed, while hidden, or a window was just
  // mapped (the magnifier, the notification area's own window); under Wine the window manager's
  // answer to that can arrive after ours and leave the keys of presentation mode going to another
  // program. For half a second, take them back whenever a window of another process has them.
  if (!IsCreated()) return;
  claimTicks_ = 10;
  ::PostMessageW(Hwnd(), kMsgClaimKeyboard, 0, 0);
  ::SetTimer(Hwnd(), kClaimTimer, 50, nullptr);
}

namespace {
// Windows that take the keyboard without anyone asking for it: our own hidden main window (made
// foreground just before the overlay shows, and by the menu), the notification area's window
// (Wine maps and activates its stand-alone tray when an icon changes), and the window that was
// in front when the presentation began (a window manager that will not let a new window take the
// focus hands it back there).
bool TookTheKeyboardUnasked(HWND front, HWND frontBefore) {
  if (!front || front == frontBefore || forms::IsNotificationAreaWindow(front)) return true;
  DWORD pid = 0;
  ::GetWindowThreadProcessId(front, &pid);
  return pid == ::GetCurrentProcessId() && !::IsWindowVisible(front);
}
}  // namespace

void ss::ClaimKeyboard() {
  if (!IsVisible()) return;
  HWND front = ::GetForegroundWindow();
  if (front == Hwnd()) return;
  if (!TookTheKeyboardUnasked(front, frontBefore_)) {
    // The user (Alt+Tab), or a command of ours (a dialog, the magnifier, the viewer Documentation
    // opened), put that window in front: it keeps the keyboard, and we stop asking for it.
    claimTicks_ = 0;
    ::KillTimer(Hwnd(), kClaimTimer);
    return;
  }
  ::SetForegroundWindow(Hwnd());
  if (Picture1.Hwnd() && ::GetFocus() != txtEdit.Hwnd()) ::SetFocus(Picture1.Hwnd());
}

HCURSOR ss::CursorFor(overlay::CursorKind kind) {
  // Without the main form (the overlay opened on its own), our own set at the system's size.
  return overlay::ToolCursorImage(cursorSource_, ownCursors_, Hwnd(), kind);
}

void ss::SetCursorImage(overlay::CursorKind kind) {
  cursorKind_ = kind;
  cursor_ = CursorFor(kind);
  // Where the tools act follows the size of the image the presenter sees.
  const int size = overlay::CursorImageSize(cursor_);
  cursorSize_ = size > 0 ? size : overlay::kBaseCursorSize;
  // Take effect at once when the pointer is over us.
  POINT pt;
  if (IsVisible() && ::GetCursorPos(&pt)) {
    HWND under = ::WindowFromPoint(pt);
    if (under == Hwnd() || ::IsChild(Hwnd(), under)) ::SetCursor(cursor_);
  }
}

void ss::TogglePen() {
  Load();
  if (penMode) {
    penMode = 0;
    Picture1.SetDrawMode(overlay::HighlighterRop(page_));
    SetCursorImage(overlay::CursorKind::Highlighter);
  } else {
    penMode = -1;
    Picture1.SetDrawMode(R2_COPYPEN);
    SetCursorImage(overlay::CursorKind::Pen);
  }
}

void ss::TurnToPage(overlay::PageKind key) {
  // Not in the middle of a shape's drag: its outline belongs to the page it started on.
  if (!IsVisible() || shapeDrag_.Busy()) return;
  history_.TurnPage(overlay::PageAfterKey(page_, key));
}

void ss::SetCurrentPage(overlay::PageKind page) {
  page_ = page;
  if (!penMode) Picture1.SetDrawMode(overlay::HighlighterRop(page_));
}

void ss::ToggleEraser() {
  Load();
  if (eraserOn) {
    eraserOn = 0;
    SetCursorImage(overlay::CursorKind::Highlighter);
  } else {
    eraserOn = -1;
    SetCursorImage(overlay::EraserCursorFor(AppSettings.erasersize));
  }
}

void ss::EraseAt(float X, float Y) {
  // The square keeps its place beside the picture pixel under the pointer, its side in picture
  // pixels: magnified, it reaches past the cursor's outline, which keeps its size.
  const POINT at = Picture1.ToContent({static_cast<LONG>(X), static_cast<LONG>(Y)});
  const overlay::SquareI sq = overlay::EraserSquare(AppSettings.erasersize, at.x, at.y, cursorSize_);
  const base::Picture& clean = Picture2.GetPicture();
  if (clean) Picture1.CopyRectFrom(*clean, sq.left, sq.top, sq.side, sq.side);
}

overlay::PointI ss::ToolPointAt(float X, float Y) const {
  // The tip of the cursor as it shows on the screen (cursors keep their size), then the picture
  // pixel under it.
  const overlay::PointI tip = overlay::PenPoint(penMode != 0, static_cast<int>(X), static_cast<int>(Y), cursorSize_);
  const POINT at = Picture1.ToContent({tip.x, tip.y});
  return {at.x, at.y};
}

overlay::ShapeStyle ss::ShapeStyleNow() const {
  return {static_cast<COLORREF>(AppSettings.color), AppSettings.brushwidth};
}

void ss::FollowShape(float X, float Y) { shapeDrag_.Follow(Picture1, ToolPointAt(X, Y), ShapeStyleNow()); }

void ss::CancelShapeDrag() {
  shapeDrag_.Abandon(Picture1);
  history_.CancelChange();
  // The pointer is free again; the moves until the release draw nothing.
  if (::GetCapture() == Picture1.Hwnd()) ::ReleaseCapture();
}

void ss::Picture1_MouseDown(int Button, int Shift, float X, float Y) {
  // A hidden overlay draws nothing: a press or move that comes after it has gone belongs to no
  // presentation.
  if (!IsVisible()) return;
  if (Button != forms::kLeftButton) {
    if (commands_) commands_->Run(overlay::CommandId::Menu);
    // The menu made the hidden main window foreground; without this the next keys of the
    // presentation would go nowhere until the presenter clicked the surface again.
    if (IsCreated()) ClaimKeyboardSoon();
    return;
  }
  shapeDrag_.Reset();
  if (eraserOn) {
    history_.BeginChange();  // one eraser drag, press to release, is one undo step
    EraseAt(X, Y);
    return;
  }
  if (textMode) return;
  history_.BeginChange();  // one stroke or shape, press to release, is one undo step
  const overlay::PointI p = ToolPointAt(X, Y);
  // The keys held at this press decide the shape for the whole drag. Tab has no bit in Shift: its
  // state is read as it stood when the press was posted.
  const overlay::ShapeKind shape = overlay::ShapeForKeys((Shift & 1) != 0, (Shift & 2) != 0, ::GetKeyState(VK_TAB) < 0);
  if (shape != overlay::ShapeKind::Freehand) {
    shapeDrag_.Begin(shape, p, history_.ChangeOpen());
    return;
  }
  Picture1.PSet(p.x, p.y, static_cast<COLORREF>(AppSettings.color), AppSettings.brushwidth);
}

void ss::Picture1_MouseMove(int Button, int /*Shift*/, float X, float Y) {
  // Magnified, the view follows the pointer while no button is held, and while no editor waits
  // for its text where it was placed.
  if (Button == 0 && IsVisible() && !txtEdit.Visible()) {
    Picture1.FollowPointer({static_cast<LONG>(X), static_cast<LONG>(Y)});
  }
  if (Button != forms::kLeftButton || !IsVisible()) return;
  if (shapeDrag_.Busy()) {
    FollowShape(X, Y);
    return;
  }
  // A drag that came in with the button already down is a step of its own too.
  if (!history_.ChangeOpen() && (eraserOn || !textMode)) history_.BeginChange();
  if (eraserOn) {
    EraseAt(X, Y);
    return;
  }
  if (textMode) return;
  const overlay::PointI p = ToolPointAt(X, Y);
  Picture1.LineTo(p.x, p.y, static_cast<COLORREF>(AppSettings.color), AppSettings.brushwidth);
}

void ss::Picture1_MouseUp(int Button, int /*Shift*/, float X, float Y) {
  if (!IsVisible()) return;
  if (Button == forms::kLeftButton) {
    if (shapeDrag_.Following()) FollowShape(X, Y);
    shapeDrag_.Finish(Picture1, ShapeStyleNow());
    history_.EndChange();
  }
  if (!textMode) return;
  // Magnified, labels have no window to click: the click on one is found here.
  if (Zoomed()) {
    if (const int16_t label = LabelAt(Picture1.ToContent({static_cast<LONG>(X), static_cast<LONG>(Y)}))) {
      lblText_Click(label);
      return;
    }
  }
  PlaceTextEditor(static_cast<int>(X), static_cast<int>(Y));
}

void ss::Picture1_MouseWheel(int Delta, int /*Shift*/, float X, float Y) {
  if (!IsVisible() || !commands_) return;
  // A turn the other way starts counting afresh.
  if ((Delta > 0) != (wheelRest_ > 0)) wheelRest_ = 0;
  wheelRest_ += Delta;
  const int notches = wheelRest_ / WHEEL_DELTA;
  wheelRest_ -= notches * WHEEL_DELTA;
  for (int i = 0; i < (notches > 0 ? notches : -notches); ++i) {
    wheelPoint_ = POINT{static_cast<LONG>(X), static_cast<LONG>(Y)};
    try {
      commands_->RunWheel(notches > 0 ? 1 : -1);
    } catch (...) {
      // Nothing a wheel command raises leaves the window procedure; the view stays as it is.
    }
  }
  wheelPoint_.reset();
}

void ss::ZoomBy(int notches) {
  if (!IsVisible() || notches == 0) return;
  POINT anchor{};
  if (wheelPoint_) {
    anchor = *wheelPoint_;
  } else {
    ::GetCursorPos(&anchor);
    ::ScreenToClient(Picture1.Hwnd(), &anchor);
  }
  const bool wasZoomed = Zoomed();
  // Labels leave their windows before the first magnified view paints them.
  if (!wasZoomed && notches > 0) {
    lblText.ForEach([](int16_t, forms::Label& label) { label.SetOutOfSight(true); });
  }
  Picture1.ZoomBy(notches, anchor);
  LabelsFollowTheView();
}

void ss::ActualSize() {
  if (!Zoomed()) return;
  Picture1.ResetZoom();
  LabelsFollowTheView();
}

void ss::LabelsFollowTheView() {
  const bool out = Zoomed();
  lblText.ForEach([out](int16_t, forms::Label& label) {
    if (label.OutOfSight() != out) label.SetOutOfSight(out);
  });
}

std::vector<HWND> ss::ShownLabelWindows() const {
  std::vector<HWND> windows;
  lblText.ForEach([&](int16_t index, const forms::Label& label) {
    if (index >= overlay::kFirstUserLabel && label.Shown()) windows.push_back(label.Hwnd());
  });
  return windows;
}

int16_t ss::LabelAt(POINT picturePoint) const {
  int16_t found = 0;
  // The last one painted lies on top.
  lblText.ForEach([&](int16_t index, const forms::Label& label) {
    if (index < overlay::kFirstUserLabel || !label.Shown()) return;
    const RECT place{label.Left(), label.Top(), label.Left() + label.Width(), label.Top() + label.Height()};
    if (::PtInRect(&place, picturePoint)) found = index;
  });
  return found;
}

LRESULT ss::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  // Ctrl+C's picture on the clipboard (clipboard.h).
  if (clipboard_.HandleMessage(Hwnd(), msg, wParam)) return 0;
  switch (msg) {
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && cursor_) {
        ::SetCursor(cursor_);
        return TRUE;
      }
      break;
    case WM_GETMINMAXINFO: {
      // Maximized means the whole monitor the window is on, not its work area. The position is
      // given relative to that monitor.
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      const RECT monitor = base::MonitorRectOf(Hwnd());
      info->ptMaxPosition = {0, 0};
      info->ptMaxSize = {monitor.right - monitor.left, monitor.bottom - monitor.top};
      info->ptMaxTrackSize = info->ptMaxSize;
      return 0;
    }
    case WM_SETFOCUS:
      if (Picture1.Hwnd()) ::SetFocus(Picture1.Hwnd());
      return 0;
    case WM_DPICHANGED:
      // The window keeps covering its monitor exactly (the suggested rectangle is for windows that
      // keep their size in inches); what is typed on it takes the monitor's dpi.
      SetTextDpi(LOWORD(wParam));
      return 0;
    case WM_ACTIVATE:
      // Wine's notification-area window takes the keyboard whenever an icon changes, also in the
      // middle of a presentation, and the keys of presentation mode would then go to it. Who took
      // the keyboard is known once the switch is over.
      if (LOWORD(wParam) == WA_INACTIVE && IsVisible()) ::PostMessageW(Hwnd(), kMsgKeyboardLost, 0, 0);
      break;
    case kMsgClaimKeyboard:
      ClaimKeyboard();
      return 0;
    case kMsgKeyboardLost:
      if (IsVisible() && forms::IsNotificationAreaWindow(::GetForegroundWindow())) ClaimKeyboardSoon();
      return 0;
    case kMsgHistoryIdle:
      if (history_.DoIdleWork() && !IsVisible()) ::SetTimer(Hwnd(), kHistoryTimer, kHistoryTimerHiddenMillis, nullptr);
      return 0;
    case WM_TIMER:
      if (wParam == kClaimTimer) {
        if (--claimTicks_ <= 0) ::KillTimer(Hwnd(), kClaimTimer);
        ClaimKeyboard();
        return 0;
      }
      if (wParam == kHistoryTimer) {
        if (!history_.DoIdleWork() && !IsVisible()) ::KillTimer(Hwnd(), kHistoryTimer);
        return 0;
      }
      break;
    case WM_CLOSE:
      Unload();
      return 0;
    default:
      break;
  }
  return DefaultProc(msg, wParam, lParam);
}
