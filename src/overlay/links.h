// What the drawing modes hand to the rest of the program without knowing it: their keys, wheel
// and right button go to the program's one table of commands (shell/commands.h) through a
// dispatcher, and their cursors come from whoever carries them.
#pragma once

#include <windows.h>

#include <functional>

#include "base/command_id.h"

namespace overlay {

enum class CursorKind { Highlighter, Pen, Eraser8, Eraser16, Eraser24, Eraser32 };

// Where the overlay gets the cursor image of a tool (the main form carries them); null lets it
// draw its own.
using CursorSource = std::function<HCURSOR(CursorKind kind)>;

// The program's commands, by id (base/command_id.h).
using base::CommandId;

// Runs the program's commands (shell/commands.h). A drawing mode's window hands it every typed
// character and every notch of the wheel, once; its right button runs CommandId::Menu.
class CommandDispatcher {
 public:
  virtual ~CommandDispatcher() = default;
  // A character typed in a drawing mode, or handed on by the magnifier: its command runs on the
  // mode in front, then the settings are saved. False when the command ended through its error
  // path (a cancelled dialog, a window that is not on the screen): it ends there, silently, and
  // nothing is saved.
  virtual bool RunKey(short keyAscii) = 0;
  // One notch of the wheel over a drawing mode: `direction` 1 up (away from the user), -1 down.
  // What the command raises goes to the caller.
  virtual void RunWheel(int direction) = 0;
  // Runs a command. What it raises goes to the caller.
  virtual void Run(CommandId id) = 0;
};

}  // namespace overlay
