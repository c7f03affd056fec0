// The program's vocabulary: every command a key, a wheel notch, a menu item or a hotkey can ask
// for, by id. Every part of the program names commands this way; which of them runs what, and
// where each is reached from, is the command table's business (shell/commands.h).
#pragma once

namespace base {

enum class CommandId {
  None,
  // Keys of the drawing modes (presentation mode, live drawing), typed on their windows or into
  // the magnifier.
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
  // The tray menu itself: the right button on the icon or on a drawing mode.
  Menu,
  // Live drawing: its tray item, its hotkey, and Space while inking (pointing).
  LiveDrawing,
  LiveDrawingHotkey,
  Pointing,
};

}  // namespace base
