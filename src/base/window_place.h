// Where windows go: the monitors of the desktop, and a fixed-size window with a dialog frame
// centred on the primary screen. Monitors may lie left of or above the primary one, at negative
// coordinates.
#pragma once

#include <windows.h>

namespace base {

// The outer rectangle for a client area of clientWidth x clientHeight pixels with the frame of
// `style` and `exStyle` at `dpi`, centred on the primary screen.
RECT CentredWindowRect(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi);

// The whole rectangle of the monitor at a point of the screen (the nearest one when the point is
// on none), in screen coordinates.
RECT MonitorRectAt(POINT point);
// The monitor the pointer is on.
RECT MonitorRectUnderPointer();
// The monitor that has the largest part of the window.
RECT MonitorRectOf(HWND window);

}  // namespace base
