// What the overlay hands to the rest of the program without knowing it: its keys and its right
// button go to the program's one table of commands (shell/commands.h) through a dispatcher, and
// its cursors come from whoever carries them.
#pragma once

#include <windows.h>

#include <functional>

namespace overlay {

enum class CursorKind { Highlighter, Pen, Eraser8, Eraser16, Eraser24, Eraser32 };

// Where the overlay gets the cursor image of a tool (the main form carries them); null lets it
// draw its own.
using CursorSource = std::function<HCURSOR(CursorKind kind)>;

// The program's commands, by id. Their table says what each does and where it is reached from.
enum class CommandId {
  None,
  // Keys of presentation mode, typed on the overlay or into the magnifier.
  SaveScreen,
  OpenImage,
  Leave,
  ClearDrawing,
  TogglePen,
  ColourDialog,
  ToggleEraser,
  Size1,
  Size2,
  Size3,
  Size4,
  MagnifierKey,
  ArmText,
  Undo,
  Redo,
  CopyPicture,
  ActualSize,
  WhitePage,
  BlackPage,
  // The wheel in presentation mode.
  ZoomIn,
  ZoomOut,
  // Keys and items of the tray menu.
  Red,
  Yellow,
  Blue,
  Green,
  // Items of the tray menu.
  Palette,
  Width1,
  Width5,
  Width10,
  Width15,
  Width20,
  Magnifier,
  QuickHelp,
  Documentation,
  KeepDrawings,
  RecentDrawings,
  Options,
  Exit,
  StartPresentation,
  // Hotkeys.
  PresentationMode,
  ToggleMagnifier,
  // The tray menu itself: the right button on the icon or on the overlay.
  Menu,
  // Live drawing: its tray item, its hotkey, and Space while inking (pointing).
  LiveDrawing,
  LiveDrawingHotkey,
  Pointing,
};

// Runs the program's commands. The overlay's key handler looks a typed character up and runs its
// command; a wheel notch runs the wheel's command for its direction; the right button runs
// CommandId::Menu.
class CommandDispatcher {
 public:
  virtual ~CommandDispatcher() = default;
  // The command of a character typed in presentation mode; CommandId::None when there is none.
  virtual CommandId CommandForKey(short keyAscii) const = 0;
  // The command of one wheel notch in presentation mode: `direction` 1 up (away from the user),
  // -1 down; CommandId::None when there is none.
  virtual CommandId CommandForWheel(int direction) const = 0;
  // Runs a command. What it raises goes to the caller: the key handler's error path.
  virtual void Run(CommandId id) = 0;
};

}  // namespace overlay
