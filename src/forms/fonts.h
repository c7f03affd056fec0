// Fonts given by face and size in points, as form properties give them, made for the screen.
#pragma once

#include <windows.h>

#include <string>

#include "base/dpi.h"
#include "base/handles.h"

namespace forms {

// A font of `face`, `points` points high at `dpi` (the screen's unless a window says otherwise).
base::unique_hfont CreatePointFont(const std::wstring& face, double points, int weight = FW_NORMAL,
                                   bool italic = false, int dpi = base::ScreenDpi());

}  // namespace forms
