// Where a fixed-size window with a dialog frame goes: centred on the primary screen, its client
// area of the given size at the given dpi.
#pragma once

#include <windows.h>

namespace base {

// The outer rectangle for a client area of clientWidth x clientHeight pixels with the frame of
// `style` and `exStyle` at `dpi`, centred on the primary screen.
RECT CentredWindowRect(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi);

}  // namespace base
