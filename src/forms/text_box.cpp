#include "forms/text_box.h"

#include <commctrl.h>

#include "base/error.h"
#include "forms/fonts.h"
#include "forms/key_state.h"

namespace forms {

namespace {
constexpr UINT_PTR kSubclassId = 1;
}  // namespace

TextBox::~TextBox() { Destroy(); }

bool TextBox::Create(HWND parent, int id, int x, int y, int width, int height, bool multiLine, bool visible) {
  if (hwnd_) return true;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | ES_LEFT | (visible ? WS_VISIBLE : 0);
  if (multiLine) {
    style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
  } else {
    style |= ES_AUTOHSCROLL;
  }
  hwnd_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", style, x, y, width, height, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) return false;
  ::SetWindowSubclass(hwnd_, &TextBox::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  if (font_) ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  return true;
}

void TextBox::Destroy() {
  // Usually the container has already taken the box with it (WM_NCDESTROY below cleared hwnd_).
  if (hwnd_ && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

LRESULT CALLBACK TextBox::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                       DWORD_PTR refData) {
  return base::CallFromWindowSystem([&] {
    reinterpret_cast<TextBox*>(refData)->OnMessage(hwnd, msg, wParam);
    return ::DefSubclassProc(hwnd, msg, wParam, lParam);
  });
}

void TextBox::OnMessage(HWND hwnd, UINT msg, WPARAM wParam) {
  switch (msg) {
    case WM_KEYDOWN:
      detail::RaiseKeyEvent(events_.keyDown, wParam);
      break;
    case WM_KEYUP:
      detail::RaiseKeyEvent(events_.keyUp, wParam);
      // The handler may have hidden or moved the box; the edit control still gets its key-up.
      break;
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(hwnd, &TextBox::SubclassProc, kSubclassId);
      hwnd_ = nullptr;
      break;
    default:
      break;
  }
}

void TextBox::SetFont(const std::wstring& name, double points, bool bold, bool italic) {
  fontName_ = name;
  fontPoints_ = points;
  fontBold_ = bold;
  fontItalic_ = italic;
  RebuildFont();
}

int TextBox::Dpi() const { return dpi_ > 0 ? dpi_ : base::DpiForWindow(hwnd_); }

void TextBox::SetDpi(int dpi) {
  dpi_ = dpi;
  if (!fontName_.empty()) RebuildFont();
}

void TextBox::RebuildFont() {
  base::unique_hfont font = CreatePointFont(fontName_, fontPoints_, fontBold_ ? FW_BOLD : FW_NORMAL, fontItalic_, Dpi());
  if (hwnd_) ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
  // The old font goes only after the control has let go of it.
  font_ = std::move(font);
}

std::wstring TextBox::Text() const {
  if (!hwnd_) return {};
  int length = ::GetWindowTextLengthW(hwnd_);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int got = ::GetWindowTextW(hwnd_, text.data(), length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return text;
}

void TextBox::SetText(const std::wstring& text) {
  if (hwnd_) ::SetWindowTextW(hwnd_, text.c_str());
}

RECT TextBox::PlaceInParent() const {
  RECT rc{};
  if (!hwnd_) return rc;
  ::GetWindowRect(hwnd_, &rc);
  HWND parent = ::GetParent(hwnd_);
  if (parent) ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

void TextBox::Move(int left, int top) {
  if (hwnd_) ::SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TextBox::SetSize(int width, int height) {
  if (hwnd_) ::SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int TextBox::Left() const { return PlaceInParent().left; }
int TextBox::Top() const { return PlaceInParent().top; }

void TextBox::SetVisible(bool visible) {
  if (hwnd_) ::ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

void TextBox::BringToFront() {
  if (hwnd_) ::SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TextBox::SetFocus() {
  if (hwnd_) ::SetFocus(hwnd_);
}

}  // namespace forms
