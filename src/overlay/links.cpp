#include "overlay/links.h"

#include "resources/resource_ids.h"

namespace overlay {

HCURSOR CursorFromResources(CursorKind kind) {
  int id = IDC_HIGHLIGHTER;
  switch (kind) {
    case CursorKind::Highlighter: id = IDC_HIGHLIGHTER; break;
    case CursorKind::Pen: id = IDC_PEN; break;
    case CursorKind::Eraser8: id = IDC_ERASER8; break;
    case CursorKind::Eraser16: id = IDC_ERASER16; break;
    case CursorKind::Eraser24: id = IDC_ERASER24; break;
    case CursorKind::Eraser32: id = IDC_ERASER32; break;
  }
  HCURSOR c = ::LoadCursorW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
  return c ? c : ::LoadCursorW(nullptr, IDC_CROSS);
}

}  // namespace overlay
