// The key command table of presentation mode: which command a typed character runs. Characters,
// not key codes: Ctrl+S arrives as 19, Esc as 27, and letters as their lower- or upper-case form.
#pragma once

#include "overlay/links.h"

namespace overlay {

enum class KeyCommand {
  None,
  SaveScreen,    // 19, Ctrl+S
  OpenImage,     // 12, Ctrl+L
  Leave,         // 27, Esc
  ClearDrawing,  // 5, Ctrl+E
  TogglePen,     // p P
  Palette,       // c C
  ToggleEraser,  // e E
  Size1,         // 1
  Size2,         // 2
  Size3,         // 3
  Size4,         // 4
  Magnifier,     // m (lower case only)
  Blue,          // b B
  Red,           // r R
  Yellow,        // y Y
  Green,         // g G
  ArmText,       // t T
  Undo,          // 26, Ctrl+Z
  Redo,          // 25, Ctrl+Y
  CopyPicture,   // 3, Ctrl+C
};

// The first row of the table that matches the character; None when no row does.
KeyCommand MatchKey(short keyAscii);

// The eraser size that the keys 1 to 4 select with the eraser on, and the pen width that their
// tray commands set with it off.
short EraserSizeForKey(KeyCommand command);
short PenWidthForKey(KeyCommand command);

// The eraser's cursor for an eraser size: 8, 16 and 24 their own, any other size 32.
CursorKind EraserCursorFor(short size);

// Runs the tray menu's command that a size key (with the eraser off) or a colour key stands for,
// on the main form; nothing for any other command, or without the main form.
void RunMainFormCommand(MainFormLink* main, KeyCommand command);

}  // namespace overlay
