#include "shell/frm_splash.h"

#include <cmath>

#include "forms/fonts.h"
#include "magnifier/mag_win.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "settings/persistence.h"
#include "shell/form1.h"
#include "shell/message_window.h"
#include "shell/uncaught_error.h"

namespace {
constexpr int kArtWidth = 400;
constexpr int kArtHeight = 300;
}  // namespace

frmSplash& frmSplash::Instance() {
  static frmSplash instance;
  return instance;
}

void frmSplash::ShowModeless() {
  if (!IsCreated()) {
    RegisterWindowClass(kClassName, 0, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)),
                        ::LoadCursorW(nullptr, IDC_ARROW));
    // A fixed dialog frame with no caption text and no control box: no title bar shows.
    const DWORD style = WS_POPUP | WS_DLGFRAME;
    const DWORD exStyle = WS_EX_DLGMODALFRAME;
    RECT rc{0, 0, static_cast<LONG>(std::lround(kClientWidthTwips / forms::TwipsPerPixelX())),
            static_cast<LONG>(std::lround(kClientHeightTwips / forms::TwipsPerPixelY()))};
    ::AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    if (!CreateWindowObject(exStyle, kClassName, L"", style, x, y, width, height, nullptr, nullptr)) return;

    artwork_.Reset(static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_SPLASH),
                                                     IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    noticeFont_ = forms::CreatePointFont(L"Verdana", 8.25);
    smallNoticeFont_ = forms::CreatePointFont(L"Verdana", 6.75);
    const DWORD labelStyle = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
    Label1 = ::CreateWindowExW(0, L"STATIC", L"Scrivane 1.0 - Copyright (C) 2026 Scrivane developers", labelStyle,
                               10, 250, 370, 16, Hwnd(), reinterpret_cast<HMENU>(1), ::GetModuleHandleW(nullptr),
                               nullptr);
    Label2 = ::CreateWindowExW(0, L"STATIC", L"This program is protected by copyright law. All rights reserved.",
                               labelStyle, 10, 270, 370, 14, Hwnd(), reinterpret_cast<HMENU>(2),
                               ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(Label1, WM_SETFONT, reinterpret_cast<WPARAM>(noticeFont_.Get()), FALSE);
    ::SendMessageW(Label2, WM_SETFONT, reinterpret_cast<WPARAM>(smallNoticeFont_.Get()), FALSE);

    Form_Load();
    // Enabled from the load on; the tick handler switches it off.
    ::SetTimer(Hwnd(), kTimer1, kTimer1Interval, nullptr);
  }
  ::ShowWindow(Hwnd(), SW_SHOW);
  ::UpdateWindow(Hwnd());
}

void frmSplash::Form_Load() {
  settings::LoadSettings();
  zoomFactor = 3;
}

void frmSplash::Timer1_Timer() {
  // Off before anything else: should a step below fail and its error box run a message loop, the
  // timer must not run the hand-off a second time.
  ::KillTimer(Hwnd(), kTimer1);
  // 1.
  ::ShowWindow(Hwnd(), SW_HIDE);
  // 2. Any value but 1 lets the help window come.
  if (AppSettings.showstartup != 1) messageWindow::Instance().ShowStartupForm();
  // 3.
  settings::SaveSettings();
  // 4. The main form hides itself in its load; hidden once more here.
  form1& main = form1::Instance();
  main.Load();
  if (main.Hwnd()) ::ShowWindow(main.Hwnd(), SW_HIDE);
  // 5.
  Unload();
}

void frmSplash::Paint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(Hwnd(), &ps);
  if (artwork_) {
    forms::UniqueMemoryDc mem(::CreateCompatibleDC(dc));
    forms::SelectGuard keep(mem.Get(), artwork_.Get());
    ::BitBlt(dc, 0, 0, kArtWidth, kArtHeight, mem.Get(), 0, 0, SRCCOPY);
  }
  ::EndPaint(Hwnd(), &ps);
}

LRESULT frmSplash::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      if (artwork_) return 1;  // the artwork covers the whole client area
      break;
    case WM_CTLCOLORSTATIC: {
      // The notice sits on the artwork: white text, no background of its own.
      HDC dc = reinterpret_cast<HDC>(wParam);
      ::SetTextColor(dc, RGB(255, 255, 255));
      ::SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    }
    case WM_TIMER:
      if (wParam == kTimer1) {
        shell::RunGuarded([this] { Timer1_Timer(); });
        return 0;
      }
      break;
    case WM_NCDESTROY:
      artwork_.Reset();
      noticeFont_.Reset();
      smallNoticeFont_.Reset();
      Label1 = Label2 = nullptr;
      break;
    default:
      break;
  }
  return DefaultProc(msg, wParam, lParam);
}
