// Pages: besides the frozen desktop, the presenter can turn to a white page or a black page (w and
// k), each a clean sheet the size of the screen that keeps its drawing and labels for the rest of
// the presentation. The same key again goes back to the desktop; the other key turns to the other
// page. On a page, the clean copy that the eraser and Ctrl+E bring back is the page's colour.
//
// The highlighter puts the pen AND the pixel beneath (R2_MASKPEN), so light paper takes the colour
// and dark writing stays readable. On black the AND leaves black: there it puts the pen OR the
// pixel beneath (R2_MERGEPEN), the mirror of the mask on white, so the colour shows on the dark
// paper and light writing stays readable.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>

#include "base/picture.h"

namespace overlay {

enum class PageKind { Desktop, White, Black };
inline constexpr std::array<PageKind, 3> kPageKinds{PageKind::Desktop, PageKind::White, PageKind::Black};
constexpr size_t PageIndex(PageKind kind) { return static_cast<size_t>(kind); }

// The page that a page's key (White for w, Black for k) turns to from `current`.
constexpr PageKind PageAfterKey(PageKind current, PageKind key) { return current == key ? PageKind::Desktop : key; }

// The paper of a page (the desktop has none: black is as good as any).
constexpr COLORREF PageColour(PageKind kind) { return kind == PageKind::White ? RGB(255, 255, 255) : RGB(0, 0, 0); }

// The highlighter's raster operation on a page.
constexpr int HighlighterRop(PageKind kind) { return kind == PageKind::Black ? R2_MERGEPEN : R2_MASKPEN; }

// A fresh sheet of `kind`'s colour, width x height, as a screen-compatible picture (as a grab is).
// Null when there is no memory for it.
base::Picture BlankPage(PageKind kind, int width, int height);

}  // namespace overlay
