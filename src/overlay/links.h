// The narrow interfaces through which the overlay reaches the main form and the magnifier, and
// through which they reach the overlay, without including each other's windows.
#pragma once

#include <windows.h>

namespace overlay {

enum class CursorKind { Highlighter, Pen, Eraser8, Eraser16, Eraser24, Eraser32 };

// What the overlay calls on the main form: the tray menu, its colour and width commands and the
// six cursor images it carries.
class MainFormLink {
 public:
  virtual ~MainFormLink() = default;
  virtual void menupopup() = 0;
  virtual void red_Click() = 0;
  virtual void yellow_Click() = 0;
  virtual void blue_Click() = 0;
  virtual void green_Click() = 0;
  virtual void five_Click() = 0;
  virtual void ten_Click() = 0;
  virtual void fifteen_Click() = 0;
  virtual void twenty_Click() = 0;
  virtual HCURSOR CursorImage(CursorKind kind) = 0;
};

// What the overlay does with the magnifier: show it, and hide and re-show it around the colour
// dialog.
class MagnifierLink {
 public:
  virtual ~MagnifierLink() = default;
  virtual void ShowMagnifier() = 0;
  virtual void SetMagnifierVisible(bool visible) = 0;
};

}  // namespace overlay
