#include "overlay/ss.h"

#include "capture/screen_capture.h"
#include "overlay/pen_geometry.h"
#include "settings/app_settings.h"

namespace {
constexpr wchar_t kOverlayClass[] = L"ScrivaneOverlay";
constexpr int kIdPicture1 = 100;
constexpr int kIdPicture2 = 101;
constexpr int kIdPicture3 = 102;
constexpr int kIdFirstButton = 200;
constexpr UINT kMsgClaimKeyboard = WM_APP + 1;
constexpr UINT_PTR kClaimTimer = 1;
}  // namespace

ss& ss::Instance() {
  // Created on first use and kept for the life of the process.
  static ss* instance = new ss();
  return *instance;
}

ss::ss() : forms::Window(L"ss") {}

long ss::FormCount(const std::wstring& frmName) { return forms::Window::CountOpenForms(frmName); }

HWND ss::CreateHiddenButton(const wchar_t* caption, int id) {
  return ::CreateWindowExW(0, L"BUTTON", caption, WS_CHILD | BS_PUSHBUTTON | WS_TABSTOP, 0, 0, 120, 30, Hwnd(),
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
}

void ss::Load() {
  if (IsCreated()) return;
  RegisterWindowClass(kOverlayClass, 0, ::GetSysColorBrush(COLOR_BTNFACE));
  const int cx = ::GetSystemMetrics(SM_CXSCREEN);
  const int cy = ::GetSystemMetrics(SM_CYSCREEN);
  // No frame, no caption bar, and a tool window so that it gets no taskbar button.
  if (!CreateWindowObject(WS_EX_TOOLWINDOW, kOverlayClass, L"Capture and Print Example",
                          WS_POPUP | WS_CLIPCHILDREN, 0, 0, cx, cy, nullptr, nullptr)) {
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
  Picture1.SetDrawMode(R2_MASKPEN);
  Picture2.Create(Hwnd(), kIdPicture2, 0, 0, 16, 16, false);
  Picture3.Create(Hwnd(), kIdPicture3, 0, 0, 16, 16, false);
  CreateTextControls();

  auto& events = Picture1.On();
  events.mouseDown = [this](int b, int s, float x, float y) { Picture1_MouseDown(b, s, x, y); };
  events.mouseMove = [this](int b, int s, float x, float y) { Picture1_MouseMove(b, s, x, y); };
  events.mouseUp = [this](int b, int s, float x, float y) { Picture1_MouseUp(b, s, x, y); };
  events.keyPress = [this](short& key) { Picture1_KeyPress(key); };

  CommonDialog1 = forms::CommonDialog{};
  CommonDialog1.owner = Hwnd();
  Form_Load();
}

void ss::Form_Load() {
  Picture1.SetAutoSize(true);
  Picture2.SetAutoSize(true);
  SetCursorImage(overlay::CursorKind::Highlighter);
  penMode = 0;
}

void ss::OnDestroyed() {
  // The window took its controls and both pictures with it.
  Picture1.SetPicture(nullptr);
  Picture2.SetPicture(nullptr);
  Picture3.SetPicture(nullptr);
  cmdScreen = cmdForm = cmdClient = cmdActive = cmdPrint = cmdClear = nullptr;
  ForgetTextControls();
}

void ss::Unload() {
  // Whatever ends the presentation, its drawing is kept first.
  history_.PresentationEnding();
  Destroy();
}

void ss::cmdScreen_Click() {
  Load();
  // Into Picture1 and Picture2, as one undo step (see DrawingHistory::TakeGrab).
  history_.TakeGrab(capture::GrabDesktop());
}

void ss::ShowOverlay() {
  Load();
  if (!IsCreated()) return;
  ::ShowWindow(Hwnd(), SW_SHOWMAXIMIZED);
  ::SetForegroundWindow(Hwnd());
  ::SetFocus(Picture1.Hwnd());
  ::UpdateWindow(Hwnd());
  ClaimKeyboardSoon();
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

void ss::ClaimKeyboard() {
  if (!IsVisible()) return;
  HWND front = ::GetForegroundWindow();
  DWORD frontPid = 0;
  if (front) ::GetWindowThreadProcessId(front, &frontPid);
  // A visible window of ours (a dialog, the magnifier) keeps the keys; the hidden main window
  // cannot use them.
  if (front && frontPid == ::GetCurrentProcessId() && ::IsWindowVisible(front)) return;
  ::SetForegroundWindow(Hwnd());
  if (Picture1.Hwnd() && ::GetFocus() != txtEdit.Hwnd()) ::SetFocus(Picture1.Hwnd());
}

HCURSOR ss::CursorFor(overlay::CursorKind kind) const {
  if (mainForm_) {
    if (HCURSOR c = mainForm_->CursorImage(kind)) return c;
  }
  return overlay::CursorFromResources(kind);
}

void ss::SetCursorImage(overlay::CursorKind kind) {
  cursorKind_ = kind;
  cursor_ = CursorFor(kind);
  // Take effect at once when the pointer is over us.
  POINT pt;
  if (IsVisible() && ::GetCursorPos(&pt)) {
    HWND under = ::WindowFromPoint(pt);
    if (under == Hwnd() || ::IsChild(Hwnd(), under)) ::SetCursor(cursor_);
  }
}

void ss::TogglePen() {
  if (penMode) {
    penMode = 0;
    Picture1.SetDrawMode(R2_MASKPEN);
    SetCursorImage(overlay::CursorKind::Highlighter);
  } else {
    penMode = -1;
    Picture1.SetDrawMode(R2_COPYPEN);
    SetCursorImage(overlay::CursorKind::Pen);
  }
}

void ss::ToggleEraser() {
  if (eraserOn) {
    eraserOn = 0;
    SetCursorImage(overlay::CursorKind::Highlighter);
  } else {
    eraserOn = -1;
    switch (AppSettings.erasersize) {
      case 8: SetCursorImage(overlay::CursorKind::Eraser8); break;
      case 16: SetCursorImage(overlay::CursorKind::Eraser16); break;
      case 24: SetCursorImage(overlay::CursorKind::Eraser24); break;
      default: SetCursorImage(overlay::CursorKind::Eraser32); break;
    }
  }
}

void ss::EraseAt(float X, float Y) {
  const overlay::SquareI sq =
      overlay::EraserSquare(AppSettings.erasersize, static_cast<int>(X), static_cast<int>(Y));
  const base::Picture& clean = Picture2.GetPicture();
  if (clean) Picture1.CopyRectFrom(*clean, sq.left, sq.top, sq.side, sq.side);
}

void ss::Picture1_MouseDown(int Button, int /*Shift*/, float X, float Y) {
  if (Button != forms::kLeftButton) {
    if (mainForm_) mainForm_->menupopup();
    // The menu made the hidden main window foreground; without this the next keys of the
    // presentation would go nowhere until the presenter clicked the surface again.
    if (IsCreated()) ClaimKeyboardSoon();
    return;
  }
  if (eraserOn) {
    history_.BeginChange();  // one eraser drag, press to release, is one undo step
    EraseAt(X, Y);
    return;
  }
  if (textMode) return;
  history_.BeginChange();  // one stroke, press to release, is one undo step
  const overlay::PointI p = overlay::PenPoint(penMode != 0, static_cast<int>(X), static_cast<int>(Y));
  Picture1.PSet(p.x, p.y, static_cast<COLORREF>(AppSettings.color), AppSettings.brushwidth);
}

void ss::Picture1_MouseMove(int Button, int /*Shift*/, float X, float Y) {
  if (Button != forms::kLeftButton) return;
  // A drag that came in with the button already down is a step of its own too.
  if (!history_.ChangeOpen() && (eraserOn || !textMode)) history_.BeginChange();
  if (eraserOn) {
    EraseAt(X, Y);
    return;
  }
  if (textMode) return;
  const overlay::PointI p = overlay::PenPoint(penMode != 0, static_cast<int>(X), static_cast<int>(Y));
  Picture1.LineTo(p.x, p.y, static_cast<COLORREF>(AppSettings.color), AppSettings.brushwidth);
}

void ss::Picture1_MouseUp(int Button, int /*Shift*/, float X, float Y) {
  if (Button == forms::kLeftButton) history_.EndChange();
  if (textMode) PlaceTextEditor(static_cast<int>(X), static_cast<int>(Y));
}

LRESULT ss::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && cursor_) {
        ::SetCursor(cursor_);
        return TRUE;
      }
      break;
    case WM_GETMINMAXINFO: {
      // Maximized means the whole primary screen, not the work area.
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMaxPosition = {0, 0};
      info->ptMaxSize = {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
      info->ptMaxTrackSize = info->ptMaxSize;
      return 0;
    }
    case WM_SETFOCUS:
      if (Picture1.Hwnd()) ::SetFocus(Picture1.Hwnd());
      return 0;
    case kMsgClaimKeyboard:
      ClaimKeyboard();
      return 0;
    case WM_TIMER:
      if (wParam == kClaimTimer) {
        if (--claimTicks_ <= 0) ::KillTimer(Hwnd(), kClaimTimer);
        ClaimKeyboard();
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
