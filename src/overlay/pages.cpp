#include "overlay/pages.h"

#include <memory>

#include "base/handles.h"

namespace overlay {

base::Picture BlankPage(PageKind kind, int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  base::WindowDc screen(nullptr);
  base::unique_hbitmap bitmap(base::CreatePictureBitmap(width, height));
  base::unique_hdc dc(::CreateCompatibleDC(screen.Get()));
  if (!bitmap || !dc) return nullptr;
  {
    base::SelectGuard selected(dc.Get(), bitmap.Get());
    const RECT all{0, 0, width, height};
    base::unique_hbrush paper(::CreateSolidBrush(PageColour(kind)));
    if (!paper || !::FillRect(dc.Get(), &all, paper.Get())) return nullptr;
  }
  return std::make_shared<base::PictureObject>(bitmap.Release(), nullptr);
}

}  // namespace overlay
