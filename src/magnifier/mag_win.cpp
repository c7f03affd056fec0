#include "magnifier/mag_win.h"

#include <string>

#include "base/dpi.h"
#include "base/handles.h"
#include "base/window_place.h"
#include "magnifier/mag_geometry.h"
#include "resources/resource_ids.h"

namespace {

constexpr wchar_t kMagnifierClass[] = L"ScrivaneMagnifier";
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Interval = 300;
constexpr int kPicture1Id = 100;

// The window's own icon; until the program carries it, the program icon, else the system's.
// LoadIcon and LR_SHARED images belong to the system: they are never destroyed.
HICON LoadFormIcon(int cx, int cy) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  for (int id : {IDI_MAGNIFIER, IDI_SCRIVANE}) {
    if (HANDLE icon = ::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, cx, cy, LR_SHARED)) {
      return static_cast<HICON>(icon);
    }
  }
  return ::LoadIconW(nullptr, IDI_APPLICATION);
}

}  // namespace

// --- The window -----------------------------------------------------------------------------

magWin::magWin() : forms::Window(L"magWin") {}

void magWin::Load() {
  if (IsCreated()) return;
  RegisterWindowClass(kMagnifierClass, 0, ::GetSysColorBrush(COLOR_BTNFACE), ::LoadCursorW(nullptr, IDC_ARROW),
                      LoadFormIcon(::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON)),
                      LoadFormIcon(::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON)));
  // A sizable frame with a caption and the close box, without minimize and maximize buttons.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
  if (!CreateWindowObject(0, kMagnifierClass, L"Magnifier", style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, nullptr, nullptr)) {
    return;
  }
  dpi_ = base::DpiForWindow(Hwnd());
  RECT rc{};
  ::GetWindowRect(Hwnd(), &rc);
  const int left = base::PixelsFromTwips(kPicture1LeftTwips, dpi_);
  Picture1.Create(Hwnd(), kPicture1Id, left, 0, rc.right - rc.left, rc.bottom - rc.top, true);
  Picture1.On().mouseDown = [this](int b, int s, float x, float y) { Picture1_MouseDown(b, s, x, y); };
  // A click gives the view the focus; what is typed there is the window's too.
  Picture1.On().keyPress = [this](short& key) { Form_KeyPress(key); };

  mnuPop = std::make_unique<forms::PopupMenu>();
  for (UINT n = 1; n <= 5; ++n) mnuPop->AddItem(L"x&" + std::to_wstring(n), mnuScx1 + n - 1);
  mnuPop->AddSeparator();
  mnuPop->AddItem(L"Always on &Top", mnuOnTop);
  mnuPop->AddSeparator();
  mnuPop->AddItem(L"&Close", mnuExit);
  mnuPop->SetChecked(mnuOnTop, true);
  mnuPop->SetDefault(mnuExit);

  ::SetTimer(Hwnd(), kTimer1, kTimer1Interval, nullptr);
  Form_Load();
}

void magWin::Form_Load() {
  // Start-up sets the zoom before any window opens; a window opened without that gets the same
  // start value rather than a division by zero.
  if (zoomFactor < 1 || zoomFactor > 5) zoomFactor = 3;
  // The zoom survives the window, so a new window's check mark shows the zoom it will use.
  for (int32_t n = 1; n <= 5; ++n) mnuPop->SetChecked(mnuScx1 + n - 1, n == zoomFactor);

  const magnifier::Size size = magnifier::InitialWindowSize(
      {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)});
  ::SetWindowPos(Hwnd(), nullptr, 0, 0, size.width, size.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ComputeSourceSize();
  ::SetWindowPos(Hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::SetWindowPos(Hwnd(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void magWin::Form_Resize() {
  if (!Picture1.Hwnd()) return;
  // The view is as big as the whole window, frame and title bar included; what lies past the
  // client area is clipped. The window's size goes to twips and back at the display's real twips
  // per pixel, so the view covers the window at any scaling, not only at 96 dpi.
  RECT rc{};
  ::GetWindowRect(Hwnd(), &rc);
  const int dpi = dpi_;
  const magnifier::Size view = magnifier::ViewSizeForWindow(base::TwipsFromPixels(rc.right - rc.left, dpi),
                                                            base::TwipsFromPixels(rc.bottom - rc.top, dpi), dpi);
  Picture1.Move(base::PixelsFromTwips(kPicture1LeftTwips, dpi), 0, view.width, view.height);
  ComputeSourceSize();
}

void magWin::ComputeSourceSize() {
  const magnifier::Size grab = magnifier::SourceSize({Picture1.Width(), Picture1.Height()}, zoomFactor);
  grabWidth = grab.width;
  grabHeight = grab.height;
}

void magWin::Timer1_Timer() {
  HDC view = Picture1.OwnDc();
  if (!view) return;
  POINT cursor{};
  ::GetCursorPos(&cursor);
  // The screen's DC in screen coordinates, across every monitor; the area stops at the edges of
  // the monitor the pointer is on (which may lie left of or above the primary one).
  base::WindowDc screen(nullptr);
  const RECT rc = base::MonitorRectAt(cursor);
  const magnifier::Point origin = magnifier::SourceOrigin(
      {cursor.x, cursor.y}, {rc.left, rc.top, rc.right, rc.bottom}, {grabWidth, grabHeight});
  ::StretchBlt(view, 0, 0, grabWidth * zoomFactor, grabHeight * zoomFactor, screen.Get(), origin.x, origin.y,
               grabWidth, grabHeight, SRCCOPY);
}

void magWin::Zoom(int32_t n) {
  zoomFactor = n;
  if (mnuPop) {
    for (int32_t i = 1; i <= 5; ++i) mnuPop->SetChecked(mnuScx1 + i - 1, i == n);
  }
  ComputeSourceSize();
}

void magWin::mnuOnTop_Click() {
  if (!mnuPop) return;
  const bool onTop = !mnuPop->IsChecked(mnuOnTop);
  mnuPop->SetChecked(mnuOnTop, onTop);
  ::SetWindowPos(Hwnd(), onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void magWin::mnuExit_Click() { UnloadWindow(); }

void magWin::Picture1_MouseDown(int Button, int /*Shift*/, float /*X*/, float /*Y*/) {
  if (Button != 2 || !mnuPop) return;
  const UINT chosen = mnuPop->Popup(Hwnd(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON);
  // Run the command once the menu and this mouse message are done with: "&Close" destroys the
  // view whose message we are still in.
  if (chosen != 0) ::PostMessageW(Hwnd(), WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
}

void magWin::Form_KeyPress(short& KeyAscii) {
  // The magnifier interprets no key: each one is an overlay command. A copy, so that a handler
  // that replaces the forwarder does not pull it from under its own call.
  std::function<void(short&)> forward = keyForwarder_;
  if (forward) forward(KeyAscii);
}

void magWin::OnMenuCommand(UINT id) {
  switch (id) {
    case mnuScx1: mnuScx1_Click(); break;
    case mnuScx2: mnuScx2_Click(); break;
    case mnuScx3: mnuScx3_Click(); break;
    case mnuScx4: mnuScx4_Click(); break;
    case mnuScx5: mnuScx5_Click(); break;
    case mnuOnTop: mnuOnTop_Click(); break;
    case mnuExit: mnuExit_Click(); break;
    default: break;
  }
}

LRESULT magWin::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_TIMER:
      if (wParam == kTimer1) {
        Timer1_Timer();
        return 0;
      }
      break;
    case WM_SIZE:
      Form_Resize();
      return 0;
    case WM_DPICHANGED: {
      // Dragged onto a monitor of another scaling: the place the system suggests, and the view's
      // offset and size worked out again at the new dpi.
      dpi_ = HIWORD(wParam);
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      ::SetWindowPos(Hwnd(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      Form_Resize();
      return 0;
    }
    case WM_CHAR: {
      short key = static_cast<short>(wParam);
      Form_KeyPress(key);
      return 0;
    }
    case WM_COMMAND:
      if (lParam == 0 && HIWORD(wParam) == 0) {
        OnMenuCommand(LOWORD(wParam));
        return 0;
      }
      break;
    case WM_DESTROY:
      ::KillTimer(Hwnd(), kTimer1);
      break;
    default:
      break;
  }
  return DefaultProc(msg, wParam, lParam);
}

void magWin::OnDestroyed() {
  // The view went with the window; the menu goes now. zoomFactor and the grab size stay.
  mnuPop.reset();
  shownOnce_ = false;
}

void magWin::ShowWindowModeless() {
  Load();
  if (!IsCreated()) return;
  ::ShowWindow(Hwnd(), SW_SHOW);
  if (!shownOnce_) {
    shownOnce_ = true;
    Form_Resize();
  }
}

void magWin::UnloadWindow() { Destroy(); }

void magWin::SetVisible(bool visible) {
  if (!IsCreated()) return;
  // Re-showing does not ask to be activated: the overlay that hid us around its colour dialog
  // keeps the keys. (A window manager that focuses every mapped window may activate us anyway;
  // keys typed here still reach the overlay through the forwarder.)
  ::ShowWindow(Hwnd(), visible ? SW_SHOWNA : SW_HIDE);
}
