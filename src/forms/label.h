// A label: a child window that shows a caption (one or more lines) in a font and a text colour,
// optionally sizing itself to its caption and optionally with a transparent background. Its font
// is made for the dpi of the monitor its container is on (or the dpi it is given, when its window
// moves to another monitor), not the system's.
//
// A transparent label gets its background from its container through WM_PRINTCLIENT, so over a
// PictureBox it shows whatever the surface holds beneath it (background and strokes), after any
// repaint. Labels are kept in a LabelArray, indexed the way a control array is.
//
// A label can be out of sight: shown or not as ever, but its window hidden, because its container
// paints it itself (a magnified view). It then tells the container whenever it changes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "forms/fonts.h"
#include "base/handles.h"
#include "forms/window.h"

namespace forms {

class Label : public Window {
 public:
  struct Events {
    // A left-button press and release on the label.
    std::function<void()> click;
    // Asked on every hit test; false lets the mouse through to the container beneath, so a
    // label does not get in the way of whatever the container does with the mouse.
    std::function<bool()> takesMouse;
  };

  Label() = default;
  ~Label() override;

  bool Create(HWND parent, int id, bool visible);
  // A new label in the same container as `model`, with all its properties, hidden.
  bool CreateLike(const Label& model, int id);
  Events& On() { return events_; }

  void SetCaption(std::wstring caption);
  const std::wstring& Caption() const { return caption_; }

  void SetFontName(std::wstring name);
  void SetFontSize(double points);
  void SetFontBold(bool bold);
  void SetFontItalic(bool italic);
  const std::wstring& FontName() const { return fontName_; }
  double FontSize() const { return fontPoints_; }
  bool FontBold() const { return fontBold_; }
  bool FontItalic() const { return fontItalic_; }
  HFONT Font() const { return font_.Get(); }
  // The font (and an auto-sized label with it) at `dpi`, as WM_DPICHANGED gives it; 0 goes back
  // to the dpi of the monitor the window is on.
  void SetDpi(int dpi);
  int Dpi() const;

  void SetForeColor(COLORREF color);
  COLORREF ForeColor() const { return foreColor_; }
  void SetTransparent(bool on);
  bool Transparent() const { return transparent_; }
  void SetAutoSize(bool on);
  bool AutoSize() const { return autoSize_; }

  // Position in the container's client pixels.
  void Move(int left, int top);
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetVisible(bool visible);
  // Shown, as SetVisible left it, whether or not it is out of sight.
  bool Shown() const { return Hwnd() && shown_; }
  // Out of sight: the window hidden whatever SetVisible says. Labels made like one that is out of
  // sight are out of sight too.
  void SetOutOfSight(bool out);
  bool OutOfSight() const { return outOfSight_; }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnDestroyed() override;

 private:
  void RebuildFont();
  template <typename T>
  void ChangeFont(T& property, T value) {
    property = std::move(value);
    RebuildFont();
  }
  template <typename T>
  void ChangeLook(T& property, T value) {
    property = value;
    if (Hwnd()) ::InvalidateRect(Hwnd(), nullptr, FALSE);
    TellContainerIfOutOfSight();
  }
  void Resize();
  void Paint(HDC target, const RECT& client);
  RECT PlaceInParent() const;
  // Out of sight, nothing repaints the label but its container: it hears of every change.
  void TellContainerIfOutOfSight();

  Events events_;
  std::wstring caption_;
  std::wstring fontName_ = L"MS Sans Serif";
  double fontPoints_ = 8.25;
  bool fontBold_ = false;
  bool fontItalic_ = false;
  base::unique_hfont font_;
  COLORREF foreColor_ = ::GetSysColor(COLOR_BTNTEXT);
  COLORREF backColor_ = ::GetSysColor(COLOR_BTNFACE);
  bool transparent_ = false;
  bool autoSize_ = false;
  bool pressed_ = false;
  bool shown_ = false;
  bool outOfSight_ = false;
  int dpi_ = 0;  // 0: the window's own
  int width_ = 0;
  int height_ = 0;
};

// Labels by a 16-bit index, with gaps allowed, as a control array holds them.
class LabelArray {
 public:
  // The element at `index`, or null when there is none.
  Label* Item(int16_t index) const;
  Label* operator[](int16_t index) const { return Item(index); }
  // Makes a new, not yet created, element at `index`; an element already there is replaced.
  Label& Add(int16_t index);
  void Remove(int16_t index);
  // Highest index in use; -1 when empty.
  int UBound() const;
  size_t Count() const { return items_.size(); }
  void Clear() { items_.clear(); }
  template <typename F>
  void ForEach(F&& f) const {
    for (const auto& [index, label] : items_) f(index, *label);
  }

 private:
  std::map<int16_t, std::unique_ptr<Label>> items_;
};

}  // namespace forms
