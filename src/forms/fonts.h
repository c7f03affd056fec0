// Fonts given by face and size in points, as form properties give them, made for the screen.
#pragma once

#include <windows.h>

#include <string>

#include "forms/handles.h"

namespace forms {

// Pixel height of a font of `points` points on the screen (negative: a character height).
int FontHeightForPoints(double points);

// A font of `face`, `points` points high on the screen.
UniqueFont CreatePointFont(const std::wstring& face, double points, int weight = FW_NORMAL, bool italic = false);

}  // namespace forms
