#include "forms/label.h"

#include <windowsx.h>

namespace forms {

namespace {
constexpr wchar_t kClassName[] = L"ScrivaneLabel";
// The caption is the user's own text: an ampersand is a character, not a mnemonic marker.
constexpr UINT kTextFormat = DT_LEFT | DT_TOP | DT_NOPREFIX | DT_EXPANDTABS;
}  // namespace

Label::~Label() { Destroy(); }

bool Label::Create(HWND parent, int id, bool visible) {
  // No class cursor: the container decides the pointer over its labels.
  RegisterWindowClass(kClassName, 0, nullptr, nullptr);
  // Clip siblings, so a label under the editor or another control never paints over it.
  shown_ = visible;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (visible && !outOfSight_ ? WS_VISIBLE : 0);
  if (!CreateWindowObject(0, kClassName, L"", style, 0, 0, 0, 0, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)))) {
    return false;
  }
  // Made now that the window knows its monitor.
  RebuildFont();
  return true;
}

bool Label::CreateLike(const Label& model, int id) {
  caption_ = model.caption_;
  fontName_ = model.fontName_;
  fontPoints_ = model.fontPoints_;
  fontBold_ = model.fontBold_;
  fontItalic_ = model.fontItalic_;
  foreColor_ = model.foreColor_;
  backColor_ = model.backColor_;
  transparent_ = model.transparent_;
  autoSize_ = model.autoSize_;
  dpi_ = model.dpi_;
  width_ = model.width_;
  height_ = model.height_;
  events_.takesMouse = model.events_.takesMouse;
  outOfSight_ = model.outOfSight_;
  HWND parent = model.Hwnd() ? ::GetParent(model.Hwnd()) : nullptr;
  if (!Create(parent, id, false)) return false;
  if (model.Hwnd()) {
    Move(model.Left(), model.Top());
    if (!autoSize_) ::SetWindowPos(Hwnd(), nullptr, 0, 0, model.Width(), model.Height(),
                                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return true;
}

void Label::OnDestroyed() { pressed_ = false; }

void Label::RebuildFont() {
  font_ = CreatePointFont(fontName_, fontPoints_, fontBold_ ? FW_BOLD : FW_NORMAL, fontItalic_, Dpi());
  Resize();
}

int Label::Dpi() const { return dpi_ > 0 ? dpi_ : base::DpiForWindow(Hwnd()); }

void Label::SetDpi(int dpi) {
  dpi_ = dpi;
  RebuildFont();
}

void Label::Resize() {
  if (!Hwnd()) return;
  if (autoSize_) {
    base::WindowDc dc(Hwnd());
    base::SelectGuard font(dc.Get(), font_ ? static_cast<HGDIOBJ>(font_.Get()) : ::GetStockObject(DEFAULT_GUI_FONT));
    RECT r{0, 0, 0, 0};
    if (caption_.empty()) {
      // No text: as wide as nothing, as high as one line.
      TEXTMETRICW tm{};
      ::GetTextMetricsW(dc.Get(), &tm);
      r.bottom = tm.tmHeight;
    } else {
      ::DrawTextW(dc.Get(), caption_.c_str(), static_cast<int>(caption_.size()), &r, kTextFormat | DT_CALCRECT);
    }
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
    ::SetWindowPos(Hwnd(), nullptr, 0, 0, width_, height_, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::InvalidateRect(Hwnd(), nullptr, FALSE);
  TellContainerIfOutOfSight();
}

void Label::TellContainerIfOutOfSight() {
  if (!outOfSight_ || !Hwnd()) return;
  if (HWND parent = ::GetParent(Hwnd())) ::SendMessageW(parent, kMsgChildLayoutChanged, 0, 0);
}

void Label::SetCaption(std::wstring caption) {
  caption_ = std::move(caption);
  if (Hwnd()) ::SetWindowTextW(Hwnd(), caption_.c_str());
  Resize();
}

// A property of the font: the font is made again (and an auto-sized label fits it).
void Label::SetFontName(std::wstring name) { ChangeFont(fontName_, std::move(name)); }
void Label::SetFontSize(double points) { ChangeFont(fontPoints_, points); }
void Label::SetFontBold(bool bold) { ChangeFont(fontBold_, bold); }
void Label::SetFontItalic(bool italic) { ChangeFont(fontItalic_, italic); }

// A property of the colours: the label paints itself again.
void Label::SetForeColor(COLORREF color) { ChangeLook(foreColor_, color); }
void Label::SetTransparent(bool on) { ChangeLook(transparent_, on); }

void Label::SetAutoSize(bool on) {
  autoSize_ = on;
  Resize();
}

RECT Label::PlaceInParent() const {
  RECT rc{};
  if (!Hwnd()) return rc;
  ::GetWindowRect(Hwnd(), &rc);
  HWND parent = ::GetParent(Hwnd());
  if (parent) ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

void Label::Move(int left, int top) {
  if (Hwnd()) ::SetWindowPos(Hwnd(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Label::Left() const { return PlaceInParent().left; }
int Label::Top() const { return PlaceInParent().top; }

int Label::Width() const {
  RECT rc = PlaceInParent();
  return rc.right - rc.left;
}

int Label::Height() const {
  RECT rc = PlaceInParent();
  return rc.bottom - rc.top;
}

void Label::SetVisible(bool visible) {
  shown_ = visible;
  if (!Hwnd()) return;
  ::ShowWindow(Hwnd(), visible && !outOfSight_ ? SW_SHOWNA : SW_HIDE);
  TellContainerIfOutOfSight();
}

void Label::SetOutOfSight(bool out) {
  outOfSight_ = out;
  if (Hwnd()) ::ShowWindow(Hwnd(), shown_ && !outOfSight_ ? SW_SHOWNA : SW_HIDE);
}

void Label::Paint(HDC target, const RECT& client) {
  const int w = client.right - client.left;
  const int h = client.bottom - client.top;
  if (w <= 0 || h <= 0) return;
  // Composed off-screen, so the background and the text reach the screen in one copy.
  base::unique_hdc memory(::CreateCompatibleDC(target));
  base::unique_hbitmap bitmap(::CreateCompatibleBitmap(target, w, h));
  if (!memory || !bitmap) return;
  base::SelectGuard keepBitmap(memory.Get(), bitmap.Get());
  HDC dc = memory.Get();
  HWND parent = ::GetParent(Hwnd());
  if (transparent_ && parent) {
    // The container paints what lies under us into our bitmap, at our place in its client area.
    RECT place = PlaceInParent();
    POINT oldOrigin{};
    ::SetViewportOrgEx(dc, -place.left, -place.top, &oldOrigin);
    ::SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    ::SetViewportOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
  } else {
    base::unique_hbrush back(::CreateSolidBrush(backColor_));
    RECT all{0, 0, w, h};
    ::FillRect(dc, &all, back.Get());
  }
  if (!caption_.empty()) {
    base::SelectGuard font(dc, font_ ? static_cast<HGDIOBJ>(font_.Get()) : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, foreColor_);
    RECT text{0, 0, w, h};
    ::DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &text, kTextFormat);
  }
  ::BitBlt(target, client.left, client.top, w, h, dc, 0, 0, SRCCOPY);
}

LRESULT Label::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_WINDOWPOSCHANGED:
    case WM_DESTROY:
      // The surface under us repaints us where its drawing changes; it needs to know where we are.
      if (HWND parent = ::GetParent(Hwnd())) ::SendMessageW(parent, kMsgChildLayoutChanged, 0, 0);
      return DefaultProc(msg, wParam, lParam);
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(Hwnd(), &ps);
      RECT client;
      ::GetClientRect(Hwnd(), &client);
      Paint(dc, client);
      ::EndPaint(Hwnd(), &ps);
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT client;
      ::GetClientRect(Hwnd(), &client);
      Paint(reinterpret_cast<HDC>(wParam), client);
      return 0;
    }
    case WM_NCHITTEST:
      if (events_.takesMouse && !events_.takesMouse()) return HTTRANSPARENT;
      return HTCLIENT;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_.Get());
    case WM_LBUTTONDOWN:
      pressed_ = true;
      ::SetCapture(Hwnd());
      return 0;
    case WM_LBUTTONUP: {
      const bool wasPressed = pressed_;
      pressed_ = false;
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      RECT client;
      ::GetClientRect(Hwnd(), &client);
      if (::GetCapture() == Hwnd()) ::ReleaseCapture();
      // A click is a press and a release on the label.
      if (wasPressed && ::PtInRect(&client, pt) && events_.click) events_.click();
      return 0;
    }
    case WM_CAPTURECHANGED:
      pressed_ = false;
      return 0;
    default:
      return DefaultProc(msg, wParam, lParam);
  }
}

Label* LabelArray::Item(int16_t index) const {
  auto it = items_.find(index);
  return it == items_.end() ? nullptr : it->second.get();
}

Label& LabelArray::Add(int16_t index) {
  auto& slot = items_[index];
  slot = std::make_unique<Label>();
  return *slot;
}

void LabelArray::Remove(int16_t index) { items_.erase(index); }

int LabelArray::UBound() const { return items_.empty() ? -1 : items_.rbegin()->first; }

}  // namespace forms
