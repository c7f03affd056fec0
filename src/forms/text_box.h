// A text box: the system EDIT control, subclassed so that its key-down and key-up events reach
// our handlers with key codes, the way a form's text box reports them. Its font is made for the
// dpi of the monitor it is on, or the dpi it is given.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "base/handles.h"

namespace forms {

class TextBox {
 public:
  struct Events {
    std::function<void(short& keyCode, int shift)> keyDown;
    std::function<void(short& keyCode, int shift)> keyUp;
  };

  TextBox() = default;
  TextBox(const TextBox&) = delete;
  TextBox& operator=(const TextBox&) = delete;
  ~TextBox();

  // A multi-line box takes Enter as a new line (and wraps at its width).
  bool Create(HWND parent, int id, int x, int y, int width, int height, bool multiLine, bool visible);
  void Destroy();
  HWND Hwnd() const { return hwnd_; }
  Events& On() { return events_; }

  void SetFont(const std::wstring& name, double points, bool bold, bool italic);
  HFONT Font() const { return font_.Get(); }
  // The font at `dpi`, as WM_DPICHANGED gives it; 0 goes back to the dpi of the window's monitor.
  void SetDpi(int dpi);
  int Dpi() const;

  std::wstring Text() const;
  void SetText(const std::wstring& text);

  // Position in the container's client pixels; the size stays.
  void Move(int left, int top);
  void SetSize(int width, int height);
  int Left() const;
  int Top() const;
  void SetVisible(bool visible);
  bool Visible() const { return hwnd_ && ::IsWindowVisible(hwnd_); }
  // Above its sibling controls, so nothing under it paints over what is typed.
  void BringToFront();
  void SetFocus();

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR refData);
  void OnMessage(HWND hwnd, UINT msg, WPARAM wParam);
  RECT PlaceInParent() const;

  HWND hwnd_ = nullptr;
  void RebuildFont();

  Events events_;
  base::unique_hfont font_;
  std::wstring fontName_;
  double fontPoints_ = 0;
  bool fontBold_ = false;
  bool fontItalic_ = false;
  int dpi_ = 0;  // 0: the window's own
};

}  // namespace forms
