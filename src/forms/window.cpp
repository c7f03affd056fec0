#include "forms/window.h"

#include <algorithm>
#include <cwctype>

#include "base/error.h"

namespace forms {

namespace {
// The mark of a named form's window while the form counts as open. The windows themselves are the
// collection of open forms: nothing apart from them can go stale when one goes.
constexpr wchar_t kOpenFormProp[] = L"Scrivane.OpenForm";

std::wstring Lower(std::wstring s) {
  std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return s;
}
}  // namespace

Window::~Window() { Destroy(); }




void Window::RegisterWindowClass(const wchar_t* className, UINT style, HBRUSH background, HCURSOR cursor,
                                 HICON icon, HICON smallIcon) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (::GetClassInfoExW(instance, className, &existing)) return;
  const WNDCLASSEXW wc{.cbSize = sizeof(WNDCLASSEXW),
                       .style = style,
                       .lpfnWndProc = &Window::ThunkProc,
                       .cbClsExtra = 0,
                       .cbWndExtra = 0,
                       .hInstance = instance,
                       .hIcon = icon,
                       .hCursor = cursor,
                       .hbrBackground = background,
                       .lpszMenuName = nullptr,
                       .lpszClassName = className,
                       .hIconSm = smallIcon};
  ::RegisterClassExW(&wc);
}

bool Window::CreateWindowObject(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style,
                                int x, int y, int width, int height, HWND parent, HMENU menuOrId) {
  if (hwnd_) return true;
  ::CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, menuOrId,
                    ::GetModuleHandleW(nullptr), this);
  return hwnd_ != nullptr;
}

void Window::Destroy() {
  if (hwnd_) ::DestroyWindow(hwnd_);
}

long Window::CountOpenForms(const std::wstring& name) {
  struct Count {
    std::wstring wanted;
    long found = 0;
  } count{Lower(name)};
  // Forms are top-level windows of the user-interface thread, the one that asks.
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND hwnd, LPARAM lParam) -> BOOL {
        auto& c = *reinterpret_cast<Count*>(lParam);
        const auto* form = static_cast<const Window*>(::GetPropW(hwnd, kOpenFormProp));
        if (form && Lower(form->formName_) == c.wanted) ++c.found;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count.found;
}

void Window::SetListedAsOpen(bool open) {
  if (formName_.empty() || !hwnd_) return;
  if (open) {
    ::SetPropW(hwnd_, kOpenFormProp, this);
  } else {
    ::RemovePropW(hwnd_, kOpenFormProp);
  }
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return DefaultProc(msg, wParam, lParam); }

LRESULT Window::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK Window::ThunkProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return base::CallFromWindowSystem([&] { return Dispatch(hwnd, msg, wParam, lParam); });
}

LRESULT Window::Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* self = nullptr;
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    self = static_cast<Window*>(cs->lpCreateParams);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
    self->SetListedAsOpen(true);
  } else {
    self = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  if (self->endRequestMessage_ != 0 && msg == self->endRequestMessage_ && self->endRequest_) {
    // A copy of the handler: it may destroy this window and its object's state with it.
    const std::function<void()> handler = self->endRequest_;
    handler();
    return 0;
  }
  if (msg == WM_NCDESTROY) {
    LRESULT result = self->HandleMessage(msg, wParam, lParam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->SetListedAsOpen(false);
    self->hwnd_ = nullptr;
    self->OnDestroyed();
    return result;
  }
  return self->HandleMessage(msg, wParam, lParam);
}

HWND ModalWindowOfThisThread() {
  HWND found = nullptr;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND hwnd, LPARAM lParam) -> BOOL {
        wchar_t cls[16] = {};
        ::GetClassNameW(hwnd, cls, 16);
        if (::IsWindowVisible(hwnd) && (::lstrcmpW(cls, L"#32770") == 0 || ::lstrcmpW(cls, L"#32768") == 0)) {
          *reinterpret_cast<HWND*>(lParam) = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

bool IsNotificationAreaWindow(HWND hwnd) {
  wchar_t cls[64] = {};
  ::GetClassNameW(hwnd, cls, 64);
  return ::lstrcmpW(cls, L"Shell_TrayWnd") == 0 || ::lstrcmpW(cls, L"__winex11_standalone_tray") == 0;
}

void DoEvents() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

}  // namespace forms
