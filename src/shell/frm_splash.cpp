#include "shell/frm_splash.h"

#include "base/dpi.h"
#include "base/window_place.h"
#include "forms/fonts.h"
#include "magnifier/mag_win.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "settings/persistence.h"
#include "shell/form1.h"
#include "shell/message_window.h"
#include "shell/start_up.h"

namespace {
constexpr int kArtWidth = 400;
constexpr int kArtHeight = 300;
}  // namespace

void frmSplash::ShowModeless() {
  if (!IsCreated()) {
    RegisterWindowClass(kClassName, 0, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)),
                        ::LoadCursorW(nullptr, IDC_ARROW));
    // A fixed dialog frame with no caption text and no control box: no title bar shows.
    const DWORD style = WS_POPUP | WS_DLGFRAME;
    const DWORD exStyle = WS_EX_DLGMODALFRAME;
    // Everything below is laid out for 96 dpi and scaled to the screen's: the artwork, the notices'
    // boxes and their fonts grow together, so nothing is cut off at 150 or 200 %.
    const int dpi = base::ScreenDpi();
    const RECT place = base::CentredWindowRect(base::PixelsFromTwips(kClientWidthTwips, dpi),
                                               base::PixelsFromTwips(kClientHeightTwips, dpi), style, exStyle, dpi);
    if (!CreateWindowObject(exStyle, kClassName, L"", style, place.left, place.top, place.right - place.left,
                            place.bottom - place.top, nullptr, nullptr)) {
      return;
    }

    artwork_.Reset(static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_SPLASH),
                                                     IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    noticeFont_ = forms::CreatePointFont(L"Verdana", 8.25, FW_NORMAL, false, dpi);
    smallNoticeFont_ = forms::CreatePointFont(L"Verdana", 6.75, FW_NORMAL, false, dpi);
    const DWORD labelStyle = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
    auto scaled = [dpi](int at96) { return base::ScaleForDpi(at96, dpi); };
    Label1 = ::CreateWindowExW(0, L"STATIC", L"Scrivane 1.0 - Copyright (C) 2026 Scrivane developers", labelStyle,
                               scaled(10), scaled(250), scaled(370), scaled(16), Hwnd(), reinterpret_cast<HMENU>(1),
                               ::GetModuleHandleW(nullptr), nullptr);
    Label2 = ::CreateWindowExW(0, L"STATIC", L"This program is protected by copyright law. All rights reserved.",
                               labelStyle, scaled(10), scaled(270), scaled(370), scaled(14), Hwnd(),
                               reinterpret_cast<HMENU>(2), ::GetModuleHandleW(nullptr), nullptr);
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
  settings::LoadSettings(app_.AppSettings);
  app_.magnifier.zoomFactor = 3;
}

void frmSplash::Timer1_Timer() {
  // Off before anything else: should a step below fail and its error box run a message loop, the
  // timer must not run the hand-off a second time.
  ::KillTimer(Hwnd(), kTimer1);
  ::ShowWindow(Hwnd(), SW_HIDE);
  // Any value but 1 lets the help window come.
  if (app_.AppSettings.showstartup != 1) app_.helpWindow.ShowStartupForm();
  app_.StoreSettings();
  // The main form hides itself in its load; hidden once more here.
  form1& main = app_.mainForm;
  main.Load();
  if (main.Hwnd()) ::ShowWindow(main.Hwnd(), SW_HIDE);
  Unload();
}

void frmSplash::Paint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(Hwnd(), &ps);
  if (artwork_) {
    base::unique_hdc mem(::CreateCompatibleDC(dc));
    base::SelectGuard keep(mem.Get(), artwork_.Get());
    const int dpi = base::DpiForWindow(Hwnd());
    const int width = base::ScaleForDpi(kArtWidth, dpi);
    const int height = base::ScaleForDpi(kArtHeight, dpi);
    if (width == kArtWidth && height == kArtHeight) {
      ::BitBlt(dc, 0, 0, kArtWidth, kArtHeight, mem.Get(), 0, 0, SRCCOPY);
    } else {
      ::SetStretchBltMode(dc, HALFTONE);
      ::SetBrushOrgEx(dc, 0, 0, nullptr);
      ::StretchBlt(dc, 0, 0, width, height, mem.Get(), 0, 0, kArtWidth, kArtHeight, SRCCOPY);
    }
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
        Timer1_Timer();
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
