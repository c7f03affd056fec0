// A drawing mode as the commands see it. Presentation mode's frozen overlay, live drawing and every
// mode after them that takes the drawing commands implement this one interface; the dispatcher
// picks the mode in front once per command and hands the command to it, so no command asks which
// mode is on and no mode has a key handler of its own.
//
// A mode says which commands it takes (Offers); a command it does not take does nothing while it
// is in front, as a key that runs no command does. The tools that only some modes have come with
// a body that does nothing, for the modes that do not offer them.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/command_id.h"
#include "overlay/pages.h"

namespace overlay {

class DrawingTarget {
 public:
  virtual ~DrawingTarget() = default;

  // On and in front: the commands go to the first mode that says so.
  virtual bool InFront() const = 0;
  // Whether this mode takes the command `id`.
  virtual bool Offers(base::CommandId id) const = 0;
  // The window the mode's dialogs belong to (the menu's Options, say), so that they come up above
  // it; null when it has none on the screen.
  virtual HWND DialogOwner() const = 0;

  // --- What every drawing mode takes ------------------------------------------------------------
  // Esc: a shape being dragged goes, or else the mode ends.
  virtual void Leave() = 0;
  virtual void Undo() = 0;
  virtual void Redo() = 0;
  // Ctrl+E: every stroke goes (one step), the eraser off, the highlighter's cursor.
  virtual void ClearDrawing() = 0;
  // p and e.
  virtual void TogglePen() = 0;
  virtual void ToggleEraser() = 0;
  virtual bool EraserOn() const = 0;
  // 1 to 4 with the eraser on: 8, 16, 24 or 32 pixels.
  virtual void SetEraserSize(int16_t size) = 0;
  // c: the colour dialog, from the pen colour; Cancel raises base::kErrCancel and the colour stays.
  virtual void ChooseColour() = 0;
  // Ctrl+S and Ctrl+C: what shows, to a file the user names or to the clipboard.
  virtual void SaveScreenToFile() = 0;
  virtual void CopyPicture() = 0;

  // --- What only some modes take (Offers says which) -------------------------------------------
  // Ctrl+L: a picture file becomes the background.
  virtual void LoadPictureFromFile() {}
  // t: the next click places a text label.
  virtual void ArmTextPlacement() {}
  // The keys back to the mode's own surface (after the magnifier took them).
  virtual void FocusSurface() {}
  // The wheel's zoom, `notches` at a time, and 0: back to x1.
  virtual void ZoomBy(int /*notches*/) {}
  virtual void ActualSize() {}
  // w and k.
  virtual void TurnToPage(PageKind /*page*/) {}
  // Space: clicks and keys through to the programs beneath.
  virtual void StartPointing() {}
};

}  // namespace overlay
