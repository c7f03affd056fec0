#include "forms/picture_box.h"

#include <windowsx.h>

#include <algorithm>

#include "forms/key_state.h"

namespace forms {

namespace {
constexpr wchar_t kClassName[] = L"ScrivanePictureBox";

int ButtonsHeld(WPARAM wParam) {
  int buttons = 0;
  if (wParam & MK_LBUTTON) buttons |= kLeftButton;
  if (wParam & MK_RBUTTON) buttons |= kRightButton;
  if (wParam & MK_MBUTTON) buttons |= kMiddleButton;
  return buttons;
}
}  // namespace

PictureBox::~PictureBox() { Destroy(); }

bool PictureBox::Create(HWND parent, int id, int x, int y, int width, int height, bool visible) {
  // CS_OWNDC: one DC for the life of the window, so a stroke segment costs no GetDC round trip.
  RegisterWindowClass(kClassName, CS_OWNDC);
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | (visible ? WS_VISIBLE : 0);
  if (!CreateWindowObject(0, kClassName, L"", style, x, y, width, height, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)))) {
    return false;
  }
  windowDc_ = ::GetDC(Hwnd());
  return true;
}

void PictureBox::OnDestroyed() {
  childPlaces_.clear();
  childPlacesStale_ = true;
  windowDc_ = nullptr;
  ReleaseSurfacePen();
  surfaceRop_ = 0;
  surface_.Free();
  surfaceLive_ = false;
  surfaceFailed_ = false;
  pen_.Reset();
  penWidth_ = -1;
  brush_.Reset();
  hasBrush_ = false;
  buttonsDown_ = 0;
  view_.Reset();
  staging_.Free();
}

int PictureBox::Width() const {
  RECT rc{};
  if (Hwnd()) ::GetClientRect(Hwnd(), &rc);
  return rc.right;
}

int PictureBox::Height() const {
  RECT rc{};
  if (Hwnd()) ::GetClientRect(Hwnd(), &rc);
  return rc.bottom;
}

void PictureBox::Move(int x, int y, int width, int height) {
  if (Hwnd()) ::SetWindowPos(Hwnd(), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void PictureBox::SetAutoSize(bool on) {
  autoSize_ = on;
  if (autoSize_ && picture_ && Hwnd()) {
    ::SetWindowPos(Hwnd(), nullptr, 0, 0, picture_->WidthPixels(), picture_->HeightPixels(),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void PictureBox::SetPicture(base::Picture picture) {
  picture_ = std::move(picture);
  surfaceLive_ = false;
  surfaceFailed_ = false;
  if (!Hwnd()) return;
  if (autoSize_ && picture_) {
    ::SetWindowPos(Hwnd(), nullptr, 0, 0, picture_->WidthPixels(), picture_->HeightPixels(),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::InvalidateRect(Hwnd(), nullptr, FALSE);
  InvalidateChildrenOver(nullptr);
}

void PictureBox::SetPictureKeepDrawing(base::Picture picture) {
  // Whatever shows now is kept in the surface first, so that the new background does not come up.
  if (!surfaceLive_) EnsureSurface();
  // A picture of another size changes the box's size: then it is a new background after all.
  const bool sameSize = picture && picture->WidthPixels() == surface_.Width() &&
                        picture->HeightPixels() == surface_.Height();
  if (!surfaceLive_ || !sameSize) {
    SetPicture(std::move(picture));
    return;
  }
  picture_ = std::move(picture);
}

void PictureBox::EnsureSurface() {
  if (surfaceLive_ || surfaceFailed_ || !Hwnd()) return;
  const int w = std::max(Width(), 1);
  const int h = std::max(Height(), 1);
  if (!surface_.Ready() || w != surface_.Width() || h != surface_.Height()) {
    ReleaseSurfacePen();
    surfaceRop_ = 0;
    if (!surface_.Create(w, h)) {
      // No surface: the window keeps showing the picture, and drawing goes straight onto it.
      surfaceFailed_ = true;
      return;
    }
  }
  RECT all{0, 0, w, h};
  PaintFromPicture(surface_.Dc(), all);
  surface_.ContentReplaced();
  surfaceLive_ = true;
}

void PictureBox::PaintFromPicture(HDC dc, const RECT& area) {
  int pw = 0, ph = 0;
  if (picture_ && picture_->Dc()) {
    pw = picture_->WidthPixels();
    ph = picture_->HeightPixels();
    RECT pic{0, 0, pw, ph};
    RECT part{};
    if (::IntersectRect(&part, &pic, &area)) {
      ::BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, picture_->Dc(), part.left,
               part.top, SRCCOPY);
    }
  }
  // Beyond the picture: the back colour.
  HBRUSH back = BrushFor(backColor_);
  if (area.right > pw) {
    RECT r{std::max<LONG>(area.left, pw), area.top, area.right, area.bottom};
    ::FillRect(dc, &r, back);
  }
  if (area.bottom > ph) {
    RECT r{area.left, std::max<LONG>(area.top, ph), std::min<LONG>(area.right, pw), area.bottom};
    if (r.right > r.left) ::FillRect(dc, &r, back);
  }
}

void PictureBox::Present(RECT area) {
  if (!windowDc_) return;
  RECT all{0, 0, surface_.Width(), surface_.Height()};
  if (!::IntersectRect(&area, &area, &all)) return;
  if (view_.Zoomed()) {
    const base::PixelRect box = view_.BoxAreaShowing({area.left, area.top, area.right, area.bottom});
    if (box.Empty()) return;
    const RECT shown{box.left, box.top, box.right, box.bottom};
    PaintView(windowDc_, shown);
    InvalidateChildrenOver(&shown);
    return;
  }
  ::BitBlt(windowDc_, area.left, area.top, area.right - area.left, area.bottom - area.top, surface_.Dc(), area.left,
           area.top, SRCCOPY);
  InvalidateChildrenOver(&area);
}

HDC PictureBox::PrepareSurfaceDc() {
  // The surface DC is ours alone: its drawing mode and pen stay selected between segments.
  HDC dc = surface_.Dc();
  if (surfaceRop_ != drawMode_) {
    ::SetROP2(dc, drawMode_);
    surfaceRop_ = drawMode_;
  }
  return dc;
}

HDC PictureBox::StartDrawing(const RECT& area) {
  EnsureSurface();
  if (surfaceLive_) {
    surface_.Touch(area);
    return PrepareSurfaceDc();
  }
  // Without a drawing copy the window itself is drawn on, which only works where box and content
  // pixels are the same.
  if (!windowDc_ || view_.Zoomed()) return nullptr;
  ::SetROP2(windowDc_, drawMode_);
  return windowDc_;
}

void PictureBox::FinishDrawing(HDC dc, const RECT& area) {
  if (dc == windowDc_) {
    // Drawn straight onto the window: put its pen back, so that ours can be replaced later.
    ::SelectObject(windowDc_, ::GetStockObject(BLACK_PEN));
    InvalidateChildrenOver(&area);
    return;
  }
  Present(area);
}

void PictureBox::UsePen(HPEN pen) {
  if (surfacePen_ == pen) return;
  ::SelectObject(surface_.Dc(), pen);
  surfacePen_ = pen;
}

void PictureBox::ReleaseSurfacePen() {
  // A pen may not be deleted while a DC holds it.
  if (surface_.Ready() && surfacePen_) ::SelectObject(surface_.Dc(), ::GetStockObject(BLACK_PEN));
  surfacePen_ = nullptr;
}

HPEN PictureBox::PenFor(COLORREF color, int width) {
  if (!pen_ || color != penColor_ || width != penWidth_) {
    if (surfacePen_ == pen_.Get()) ReleaseSurfacePen();
    pen_.Reset(::CreatePen(PS_SOLID, width, color));
    penColor_ = color;
    penWidth_ = width;
  }
  return pen_.Get();
}

HBRUSH PictureBox::BrushFor(COLORREF color) {
  if (!hasBrush_ || color != brushColor_) {
    brush_.Reset(::CreateSolidBrush(color));
    brushColor_ = color;
    hasBrush_ = true;
  }
  return brush_.Get();
}

void PictureBox::PSet(int x, int y, COLORREF color, int width) {
  current_ = {x, y};
  RECT changed;
  int left = x, top = y;
  if (width <= 1) {
    changed = {x, y, x + 1, y + 1};
  } else {
    // A round dot of diameter `width` centred on the point.
    left = x - width / 2;
    top = y - width / 2;
    changed = {left, top, left + width + 1, top + width + 1};
  }
  HDC dc = StartDrawing(changed);
  if (!dc) return;
  const bool onSurface = dc != windowDc_;
  if (width <= 1) {
    HPEN pen = PenFor(color, 1);
    if (onSurface) UsePen(pen); else ::SelectObject(dc, pen);
    ::MoveToEx(dc, x, y, nullptr);
    ::LineTo(dc, x + 1, y);
  } else {
    HPEN none = static_cast<HPEN>(::GetStockObject(NULL_PEN));
    if (onSurface) UsePen(none); else ::SelectObject(dc, none);
    base::SelectGuard brush(dc, BrushFor(color));
    ::Ellipse(dc, left, top, left + width + 1, top + width + 1);
  }
  FinishDrawing(dc, changed);
}

void PictureBox::LineTo(int x, int y, COLORREF color, int width) {
  POINT from = current_;
  current_ = {x, y};
  const int w = std::max(width, 1);
  const int reach = w / 2 + 2;
  RECT changed{std::min<LONG>(from.x, x) - reach, std::min<LONG>(from.y, y) - reach,
               std::max<LONG>(from.x, x) + reach + 1, std::max<LONG>(from.y, y) + reach + 1};
  HDC dc = StartDrawing(changed);
  if (!dc) return;
  // A solid pen wider than one pixel is drawn with round ends and joins.
  HPEN pen = PenFor(color, w);
  if (dc != windowDc_) UsePen(pen); else ::SelectObject(dc, pen);
  ::MoveToEx(dc, from.x, from.y, nullptr);
  ::LineTo(dc, x, y);
  if (w == 1) ::LineTo(dc, x + 1, y);  // GDI leaves out the last pixel; the line ends on the point.
  FinishDrawing(dc, changed);
}

void PictureBox::CopyRectFrom(const base::PictureObject& source, int x, int y, int width, int height) {
  if (width <= 0 || height <= 0) return;
  HDC sourceDc = source.Dc();
  if (!sourceDc) return;
  EnsureSurface();
  // Parts of the rectangle outside the source picture or the surface are not drawn.
  RECT want{x, y, x + width, y + height};
  RECT src{0, 0, source.WidthPixels(), source.HeightPixels()};
  RECT dst{0, 0, surfaceLive_ ? surface_.Width() : Width(), surfaceLive_ ? surface_.Height() : Height()};
  RECT part{};
  if (!::IntersectRect(&part, &want, &src) || !::IntersectRect(&part, &part, &dst)) return;
  HDC dc = StartDrawing(part);
  if (!dc) return;
  ::BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, sourceDc, part.left, part.top,
           SRCCOPY);
  FinishDrawing(dc, part);
}

void PictureBox::Cls() {
  current_ = {0, 0};
  surfaceFailed_ = false;
  if (surfaceLive_ && surface_.ChangeOpen()) {
    // Recorded: the surface goes back to the background here and now, tile by tile.
    RECT all{0, 0, surface_.Width(), surface_.Height()};
    surface_.Touch(all);
    PaintFromPicture(surface_.Dc(), all);
  } else {
    surfaceLive_ = false;
  }
  if (Hwnd()) {
    ::InvalidateRect(Hwnd(), nullptr, FALSE);
    InvalidateChildrenOver(nullptr);
    ::UpdateWindow(Hwnd());
  }
}

HDC PictureBox::ContentDc() {
  EnsureSurface();
  return surfaceLive_ ? surface_.Dc() : nullptr;
}

bool PictureBox::BeginChange() {
  EnsureSurface();
  if (!surfaceLive_) return false;
  return surface_.BeginChange();
}

void PictureBox::DrawAndShow(const std::vector<RECT>& areas, const std::function<void(HDC)>& draw) {
  if (areas.empty()) return;
  if (!surfaceLive_ || !surface_.ChangeOpen()) {
    RECT all = areas.front();
    for (const RECT& r : areas) ::UnionRect(&all, &all, &r);
    HDC dc = StartDrawing(all);
    if (!dc) return;
    draw(dc);
    FinishDrawing(dc, all);
    return;
  }
  for (const RECT& r : areas) surface_.Touch(r);
  draw(PrepareSurfaceDc());
  for (const RECT& r : areas) Present(r);
}

bool PictureBox::DrawOverShownContent(const std::vector<RECT>& takeBack, const std::vector<RECT>& drawn,
                                      const std::function<void(HDC)>& draw) {
  if (!surfaceLive_ || !windowDc_) return false;
  if (view_.Zoomed()) {
    // Magnified, the outline is drawn over a copy of the content it covers, and that is stretched.
    base::PixelRect all{};
    for (const RECT& r : takeBack) all = base::Union(all, {r.left, r.top, r.right, r.bottom});
    if (draw) {
      for (const RECT& r : drawn) all = base::Union(all, {r.left, r.top, r.right, r.bottom});
    }
    const base::PixelRect box = view_.BoxAreaShowing(all);
    if (!box.Empty()) PaintView(windowDc_, RECT{box.left, box.top, box.right, box.bottom}, draw);
    return true;
  }
  for (const RECT& r : takeBack) Present(r);
  if (draw) {
    ::SetROP2(windowDc_, drawMode_);
    draw(windowDc_);
  }
  return true;
}

imaging::TileChange PictureBox::TakeEndedChange() {
  // A surface that no longer shows (a new background came) has nothing worth recording.
  if (!surfaceLive_) return imaging::TileChange{};
  return surface_.TakeEndedChange();
}

imaging::TileChange PictureBox::EndChange() {
  CloseChange();
  return TakeEndedChange();
}

void PictureBox::RefreshCopy() {
  if (surfaceLive_) surface_.RefreshCopy();
}

void PictureBox::CancelChange() {
  if (!surfaceLive_ || !surface_.ChangeOpen()) return;
  surface_.CancelChange();
  Present(RECT{0, 0, surface_.Width(), surface_.Height()});
}

bool PictureBox::SwapChange(imaging::TileChange& change) {
  EnsureSurface();
  if (!surfaceLive_) return false;
  RECT changed = surface_.Swap(change);
  if (::IsRectEmpty(&changed)) return change.Empty();
  Present(changed);
  return true;
}

size_t PictureBox::State::Bytes() const {
  size_t bytes = sizeof(State) + drawing.Bytes();
  // The picture is counted as if only the state held it: a full-screen grab is 8 MB either way.
  if (picture) bytes += static_cast<size_t>(picture->WidthPixels()) * picture->HeightPixels() * 4;
  return bytes;
}

PictureBox::State PictureBox::SaveState() {
  State state = StateWithoutDrawing();
  if (surfaceLive_) state.drawing = imaging::FrozenImage(surface_.Copy());
  return state;
}

PictureBox::State PictureBox::TakeState() {
  State state = StateWithoutDrawing();
  if (surfaceLive_) {
    // The pen leaves the DC that goes with the bitmap; the next surface selects it again.
    ReleaseSurfacePen();
    surfaceRop_ = 0;
    state.drawing = surface_.Release();
    surfaceLive_ = false;
  }
  return state;
}

PictureBox::State PictureBox::StateWithoutDrawing() const { return State{picture_, Width(), Height(), {}}; }

void PictureBox::RestoreState(State state) {
  picture_ = std::move(state.picture);
  surfaceLive_ = false;
  surfaceFailed_ = false;
  if (!Hwnd()) return;
  if (state.width != Width() || state.height != Height()) {
    ::SetWindowPos(Hwnd(), nullptr, 0, 0, state.width, state.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (!state.drawing.Empty()) {
    EnsureSurface();
    if (surfaceLive_ && !surface_.Fill(state.drawing)) surfaceLive_ = false;
  }
  ::InvalidateRect(Hwnd(), nullptr, FALSE);
  InvalidateChildrenOver(nullptr);
}

imaging::PixelImage PictureBox::ContentImage() {
  imaging::PixelImage image;
  ContentImageInto(image);
  return image;
}

void PictureBox::ContentImageInto(imaging::PixelImage& image) {
  EnsureSurface();
  if (surfaceLive_) {
    surface_.CopyInto(image);
    return;
  }
  // No surface: the content is the picture and the back colour, read through a bitmap of our own.
  const int width = std::max(Width(), 1);
  const int height = std::max(Height(), 1);
  DrawingSurface scratch;
  if (!scratch.Create(width, height)) {
    image = imaging::PixelImage{};
    return;
  }
  RECT all{0, 0, width, height};
  PaintFromPicture(scratch.Dc(), all);
  scratch.CopyInto(image);
}

void PictureBox::PaintContent(HDC dc, const RECT& area) {
  if (!surfaceLive_) {
    PaintFromPicture(dc, area);
    return;
  }
  const int sw = surface_.Width();
  const int sh = surface_.Height();
  ::BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, surface_.Dc(), area.left,
           area.top, SRCCOPY);
  // The box may have grown since the surface was made: the rest is background.
  if (area.right > sw) {
    RECT r{std::max<LONG>(area.left, sw), area.top, area.right, area.bottom};
    PaintFromPicture(dc, r);
  }
  if (area.bottom > sh) {
    RECT r{area.left, std::max<LONG>(area.top, sh), area.right, area.bottom};
    PaintFromPicture(dc, r);
  }
}

void PictureBox::RebuildChildPlaces() {
  childPlaces_.clear();
  for (HWND child = ::GetWindow(Hwnd(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!::IsWindowVisible(child)) continue;
    RECT rc;
    ::GetWindowRect(child, &rc);
    ::MapWindowPoints(HWND_DESKTOP, Hwnd(), reinterpret_cast<POINT*>(&rc), 2);
    childPlaces_.push_back({child, rc});
  }
  childPlacesStale_ = false;
}

void PictureBox::InvalidateChildrenOver(const RECT* area) {
  // Our DC clips the children, so what we draw stays under them; a transparent child (a label)
  // shows our content through, and must paint again where that content changed.
  if (childPlacesStale_) RebuildChildPlaces();
  for (const ChildPlace& child : childPlaces_) {
    RECT part = child.rect;
    if (area && !::IntersectRect(&part, &child.rect, area)) continue;
    ::OffsetRect(&part, -child.rect.left, -child.rect.top);
    ::InvalidateRect(child.hwnd, &part, FALSE);
  }
}

void PictureBox::MouseEvent(UINT msg, WPARAM wParam, LPARAM lParam) {
  float x = static_cast<float>(GET_X_LPARAM(lParam));
  float y = static_cast<float>(GET_Y_LPARAM(lParam));
  int shift = detail::ShiftState();
  int button = 0;
  switch (msg) {
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: button = kLeftButton; break;
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: button = kRightButton; break;
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: button = kMiddleButton; break;
    default: break;
  }
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (::GetFocus() != Hwnd()) ::SetFocus(Hwnd());
      if (buttonsDown_ == 0) ::SetCapture(Hwnd());
      buttonsDown_ |= button;
      if (events_.mouseDown) events_.mouseDown(button, shift, x, y);
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      buttonsDown_ &= ~button;
      if (buttonsDown_ == 0 && ::GetCapture() == Hwnd()) ::ReleaseCapture();
      if (events_.mouseUp) events_.mouseUp(button, shift, x, y);
      break;
    case WM_MOUSEMOVE:
      if (events_.mouseMove) events_.mouseMove(ButtonsHeld(wParam), shift, x, y);
      break;
    default:
      break;
  }
}

LRESULT PictureBox::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(Hwnd(), &ps);
      if (view_.Zoomed()) {
        PaintView(dc, ps.rcPaint);
      } else {
        PaintContent(dc, ps.rcPaint);
      }
      ::EndPaint(Hwnd(), &ps);
      return 0;
    }
    case WM_PRINTCLIENT: {
      // A transparent child (a label) asks for what lies under it; the DC's clip box is the
      // area it wants, in our client coordinates.
      HDC dc = reinterpret_cast<HDC>(wParam);
      RECT area{};
      if (::GetClipBox(dc, &area) == ERROR || ::IsRectEmpty(&area)) ::GetClientRect(Hwnd(), &area);
      PaintContent(dc, area);
      return 0;
    }
    case WM_SIZE:
      view_.SetSize(LOWORD(lParam), HIWORD(lParam));
      // A resized surface starts again from its background.
      if (surfaceLive_ && (LOWORD(lParam) != surface_.Width() || HIWORD(lParam) != surface_.Height())) {
        surfaceLive_ = false;
        ::InvalidateRect(Hwnd(), nullptr, FALSE);
      }
      return 0;
    case kMsgChildLayoutChanged:
      childPlacesStale_ = true;
      // A part of the picture out of sight changed: the view shows it.
      if (view_.Zoomed()) ::InvalidateRect(Hwnd(), nullptr, FALSE);
      return 0;
    case WM_MOUSEWHEEL:
      if (events_.mouseWheel) {
        // The wheel's position comes in screen coordinates.
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ScreenToClient(Hwnd(), &p);
        events_.mouseWheel(GET_WHEEL_DELTA_WPARAM(wParam), detail::ShiftState(), static_cast<float>(p.x),
                           static_cast<float>(p.y));
        return 0;
      }
      return DefaultProc(msg, wParam, lParam);
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS | DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_WANTTAB;
    case WM_MOUSEACTIVATE:
      return MA_ACTIVATE;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE:
      MouseEvent(msg, wParam, lParam);
      return 0;
    case WM_CAPTURECHANGED:
      buttonsDown_ = 0;
      return 0;
    case WM_CHAR:
      if (events_.keyPress) {
        short key = static_cast<short>(wParam);
        events_.keyPress(key);
      }
      return 0;
    case WM_KEYDOWN:
      detail::RaiseKeyEvent(events_.keyDown, wParam);
      return 0;
    case WM_KEYUP:
      detail::RaiseKeyEvent(events_.keyUp, wParam);
      return 0;
    default:
      return DefaultProc(msg, wParam, lParam);
  }
}

}  // namespace forms

// --- The view ---------------------------------------------------------------------------------------

namespace forms {

bool PictureBox::ZoomBy(int notches, POINT anchor) {
  // The view knows the box's size from WM_SIZE: no GetClientRect (a server round trip under Wine)
  // on the way to the screen.
  if (!Hwnd()) return false;
  // The view is stretched from the drawing copy: made now, not at the first stroke under the view.
  EnsureSurface();
  if (!view_.ZoomBy(notches, anchor.x, anchor.y)) return false;
  ShowWholeView();
  return true;
}

bool PictureBox::FollowPointer(POINT pointer) {
  if (!view_.Zoomed() || !view_.Follow(pointer.x, pointer.y)) return false;
  ShowWholeView();
  return true;
}

void PictureBox::ResetZoom() {
  if (!view_.Zoomed()) return;
  view_.Reset();
  if (Hwnd() && ::IsWindowVisible(Hwnd())) ShowWholeView();
  staging_.Free();
}

void PictureBox::ShowWholeView() {
  // At once, not through WM_PAINT: a wheel notch or a pan step is one stretch onto the screen.
  if (!windowDc_) return;
  const RECT all{0, 0, Width(), Height()};
  if (view_.Zoomed()) {
    PaintView(windowDc_, all);
  } else {
    PaintContent(windowDc_, all);
    staging_.Free();
  }
  InvalidateChildrenOver(nullptr);
}

POINT PictureBox::ToContent(POINT box) const {
  if (!view_.Zoomed()) return box;
  return {view_.ContentX(box.x), view_.ContentY(box.y)};
}

POINT PictureBox::ToBox(POINT content) const {
  if (!view_.Zoomed()) return content;
  return {view_.BoxX(content.x), view_.BoxY(content.y)};
}

void PictureBox::PaintView(HDC target, const RECT& boxArea, const std::function<void(HDC)>& drawOver) {
  const base::PixelRect shown = view_.ContentShownIn({boxArea.left, boxArea.top, boxArea.right, boxArea.bottom});
  if (shown.Empty()) return;
  HDC source = ViewSource(RECT{shown.left, shown.top, shown.right, shown.bottom}, drawOver);
  if (!source) return;
  // The whole view's stretch, clipped to the area: a part stretched on its own would round its
  // pixels differently from the whole.
  const base::PixelRect s = view_.Source();
  const int saved = ::SaveDC(target);
  ::IntersectClipRect(target, boxArea.left, boxArea.top, boxArea.right, boxArea.bottom);
  // Nearest pixel: every screen pixel is one pixel of the picture, so ink drawn under the view
  // shows exactly where it lands, and a part painted again matches the whole. (HALFTONE smooths,
  // but costs several frames for a full screen under Wine and rounds a part unlike the whole.)
  ::SetStretchBltMode(target, COLORONCOLOR);
  ::StretchBlt(target, 0, 0, view_.Width(), view_.Height(), source, s.left, s.top, s.right - s.left,
               s.bottom - s.top, SRCCOPY);
  ::RestoreDC(target, saved);
}

HDC PictureBox::ViewSource(const RECT& need, const std::function<void(HDC)>& drawOver) {
  std::vector<std::pair<HWND, RECT>> parts;
  if (events_.pictureParts) {
    for (HWND part : events_.pictureParts()) {
      RECT place{};
      ::GetWindowRect(part, &place);
      ::MapWindowPoints(HWND_DESKTOP, Hwnd(), reinterpret_cast<POINT*>(&place), 2);
      RECT overlap{};
      if (::IntersectRect(&overlap, &place, &need)) parts.emplace_back(part, place);
    }
  }
  if (parts.empty() && !drawOver && surfaceLive_) return surface_.Dc();
  if (!staging_.Ready() || staging_.Width() != Width() || staging_.Height() != Height()) {
    if (!staging_.Create(std::max(Width(), 1), std::max(Height(), 1))) {
      // No memory for it: the content alone, without the parts and the outline.
      if (surfaceLive_) return surface_.Dc();
      return picture_ ? picture_->Dc() : nullptr;
    }
  }
  HDC dc = staging_.Dc();
  PaintContent(dc, need);
  for (const auto& [part, place] : parts) {
    // A part paints itself where it lies, the content under it included (as LabelPieces takes it).
    POINT before{};
    ::SetViewportOrgEx(dc, place.left, place.top, &before);
    ::SendMessageW(part, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    ::SetViewportOrgEx(dc, before.x, before.y, nullptr);
  }
  if (drawOver) {
    ::SetROP2(dc, drawMode_);
    drawOver(dc);
  }
  return dc;
}

imaging::PixelImage PictureBox::ShownImage(const imaging::PixelImage& content) const {
  if (!view_.Zoomed() || content.Empty()) return content;
  // The same stretch as the screen's, so the copy is what the presenter sees.
  DrawingSurface from, to;
  if (!from.Create(content.width, content.height) || !to.Create(view_.Width(), view_.Height())) return {};
  const imaging::PixelBuffer bits = from.Pixels();
  std::copy(content.pixels.begin(), content.pixels.end(), bits.pixels);
  const base::PixelRect s = view_.Source();
  ::SetStretchBltMode(to.Dc(), COLORONCOLOR);
  ::StretchBlt(to.Dc(), 0, 0, view_.Width(), view_.Height(), from.Dc(), s.left, s.top, s.right - s.left,
               s.bottom - s.top, SRCCOPY);
  return to.Copy();
}

}  // namespace forms
