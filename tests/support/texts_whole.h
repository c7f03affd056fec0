// Checks that a window shows every text of its controls whole, at whatever scaling the test runs.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/test_support.h"

namespace testing_support {

// Every control of `window` shows its text whole: the text, in the control's own font, fits the
// control, and the control lies inside the window's client area. A check box's text starts after
// its box.
inline void ExpectTextsWhole(HWND window, const char* what) {
  RECT client{};
  ::GetClientRect(window, &client);
  for (HWND c = ::GetWindow(window, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    if (!::IsWindowVisible(c)) continue;
    wchar_t text[256] = {};
    const int length = ::GetWindowTextW(c, text, 256);
    if (length == 0) continue;
    RECT box{};
    ::GetWindowRect(c, &box);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    wchar_t cls[32] = {};
    ::GetClassNameW(c, cls, 32);
    const bool checkBox = ::lstrcmpiW(cls, L"Button") == 0 && (::GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX;
    const bool button = ::lstrcmpiW(cls, L"Button") == 0 && !checkBox;
    HDC dc = ::GetDC(c);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(c, WM_GETFONT, 0, 0)));
    RECT need{0, 0, 0, 0};
    ::DrawTextW(dc, text, length, &need, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(dc, old);
    ::ReleaseDC(c, dc);
    const int room = box.right - box.left - (checkBox ? ::GetSystemMetrics(SM_CXMENUCHECK) + 4 : 0) - (button ? 4 : 0);
    EXPECT_LE(need.right, room) << what << ": \"" << testing::PrintToString(std::wstring(text)) << "\" is cut off";
    EXPECT_LE(need.bottom, box.bottom - box.top) << what << ": \"" << testing::PrintToString(std::wstring(text))
                                                 << "\" is cut off at the bottom";
    // The text itself stays inside the window (a label may be wider than its text).
    const int textRight = box.left + need.right + (checkBox ? ::GetSystemMetrics(SM_CXMENUCHECK) + 4 : 0);
    EXPECT_LE(textRight, client.right) << what << ": text beyond the window's edge";
    EXPECT_LE(box.bottom, client.bottom) << what << ": control below the window's edge";
  }
}

// Once `window` is on the screen: painted, and every text of it whole.
inline void ExpectShownWithTextsWhole(HWND window, const char* what) {
  ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(window); })) << what;
  ::UpdateWindow(window);
  ExpectTextsWhole(window, what);
}

}  // namespace testing_support
