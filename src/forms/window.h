// The base of every window of ours: one class per window, its state in members, a static
// window-procedure thunk that finds the object, and a HandleMessage switch in the subclass.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace forms {

class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  HWND Hwnd() const { return hwnd_; }
  bool IsCreated() const { return hwnd_ != nullptr; }
  bool IsVisible() const { return hwnd_ && ::IsWindowVisible(hwnd_); }

  // Registers a window class whose procedure is the thunk; repeated calls are harmless.
  static void RegisterWindowClass(const wchar_t* className, UINT style = 0, HBRUSH background = nullptr,
                                  HCURSOR cursor = nullptr, HICON icon = nullptr, HICON smallIcon = nullptr);

  // Creates the window; `this` is attached at WM_NCCREATE, before any other message arrives.
  bool CreateWindowObject(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x,
                          int y, int width, int height, HWND parent, HMENU menuOrId);
  void Destroy();

  // The form's name (not its caption), as FormCount compares it; empty for child controls.
  const std::wstring& FormName() const { return formName_; }

  // Counts the open forms of this process (on its user-interface thread) whose form name equals
  // `name`, ignoring case.
  static long CountOpenForms(const std::wstring& name);

  // The registered message by which the installer asks a running copy to end, broadcast to every
  // top-level window: a window given a handler answers it by calling it, so that a copy whose main
  // window has gone (Exit with the magnifier open) still hears it.
  static constexpr wchar_t kEndRequestMessage[] = L"Scrivane.CloseAll";
  static UINT EndRequestMessage() { return ::RegisterWindowMessageW(kEndRequestMessage); }
  void SetEndRequestHandler(std::function<void()> handler) {
    endRequestMessage_ = EndRequestMessage();
    endRequest_ = std::move(handler);
  }

 protected:
  explicit Window(std::wstring formName) : formName_(std::move(formName)) {}
  // A form whose window is kept, hidden, while the form counts as unloaded leaves the collection
  // of open forms meanwhile, and joins it again when it is loaded again.
  void SetListedAsOpen(bool open);
  virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam);
  // Called from WM_NCDESTROY, after which the handle is gone.
  virtual void OnDestroyed() {}

 private:
  static LRESULT CALLBACK ThunkProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  UINT endRequestMessage_ = 0;
  std::function<void()> endRequest_;

  HWND hwnd_ = nullptr;
  std::wstring formName_;
};

// Sent by a child control to its parent when it moved, changed size, showed, hid or went, so
// that a parent that keeps track of its children's places can look again.
constexpr UINT kMsgChildLayoutChanged = WM_APP + 0x200;

// Runs the message loop until there is nothing left to do; used while waiting.
void DoEvents();

// A dialog, message box or menu of this thread that is on screen, or null: while one is up, a
// command of ours is in the middle of its modal work.
HWND ModalWindowOfThisThread();

// The notification area's window (Windows' taskbar, or the stand-alone tray that Wine maps and
// activates when an icon changes): it takes the keyboard without anyone asking for it.
bool IsNotificationAreaWindow(HWND hwnd);

}  // namespace forms
