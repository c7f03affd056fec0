// The program's commands, in one table. Every key of the drawing modes (typed on their windows or
// into the magnifier), each direction of the wheel, every item of the tray menu (which a drawing
// mode's right button opens too) and every hotkey is one entry: an id, what it does, and where it
// is reached from. The windows, the menu and the hotkeys only hand their input over;
// CommandDispatcher looks it up once and runs it.
//
// Two kinds of commands. A command of the program (a menu item, a colour, a hotkey) runs on the
// application. A drawing command (undo, the pen, the eraser, zoom, ...) runs on the drawing mode in
// front (overlay/drawing_target.h), which the dispatcher picks once; a mode that does not offer
// the command is left alone, and the command does nothing.
//
// A new command is one entry in CommandTable() (commands.cpp) and the function it names.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <span>

#include <vector>

#include "overlay/drawing_target.h"
#include "overlay/links.h"

namespace shell {

class Application;

using overlay::CommandId;

// Where a command's item sits in the tray menu. Items appear in the order of the table.
enum class MenuPlace {
  None,
  Top,        // the menu itself
  Colours,    // the "Colours" submenu
  LineStyle,  // the "Line Style" submenu
  // The first item of the menu, there only while another program holds the presentation hotkey.
  FirstWithoutHotkey,
};

// What decides an item's check mark; marks are set from the settings when the menu opens and
// after every command.
enum class Mark {
  None,
  FixedColour,   // checked when the menu's colour (AppSettings.menucolor) is `value`
  OtherColour,   // checked when the menu's colour is none of the fixed colours ("Palette")
  Width,         // checked when the pen width is `value`
  KeepDrawings,  // checked while drawings are kept
  LiveDrawing,   // checked while live drawing is on
};

struct Command {
  CommandId id;
  // What it does: a command of the program runs on the application (`run`), a drawing command on
  // the mode in front (`draw`); an entry has one of the two. `self` is this entry: the commands
  // that share a function read their `value`.
  void (*run)(Application& app, const Command& self) = nullptr;
  void (*draw)(Application& app, overlay::DrawingTarget& target, const Command& self) = nullptr;
  // The colour, width or number that `run` reads (0x00BBGGRR for a colour).
  int32_t value = 0;
  // The characters that run it in presentation mode (and typed into the magnifier); 0 for none.
  std::array<short, 2> keys{};
  // Its item in the tray menu.
  const wchar_t* caption = nullptr;
  MenuPlace place = MenuPlace::None;
  Mark mark = Mark::None;
  // The hotkey (by its slot, myhotkey.h) that runs it; -1 for none.
  int hotkey = -1;
  // The direction of a wheel notch on the overlay that runs it: 1 up, -1 down, 0 none.
  int wheel = 0;
};

// Every command, menu items in menu order.
std::span<const Command> CommandTable();

// The entry of a command; null for CommandId::None.
const Command* FindCommand(CommandId id);
// The entry that a character typed in a drawing mode runs; null when none does.
const Command* CommandForKey(short keyAscii);
// The entry that a wheel notch (`direction` 1 up, -1 down) runs in a drawing mode; null for none.
const Command* CommandForWheel(int direction);
// The command of a tray menu item id, and the item id of a command (unique, whether or not the
// command has an item).
constexpr UINT kFirstMenuItem = 1000;
constexpr UINT MenuItemOf(CommandId id) { return kFirstMenuItem + static_cast<UINT>(id); }
CommandId CommandForMenuItem(UINT item);
// The command of a hotkey slot.
CommandId CommandForHotkey(int slot);

// Runs the commands of the table for one application. The drawing modes hand it their keys, their
// wheel and their right button; the tray menu its chosen item; the main window its hotkeys.
class CommandDispatcher : public overlay::CommandDispatcher {
 public:
  explicit CommandDispatcher(Application& app) : app_(app) {}
  CommandDispatcher(const CommandDispatcher&) = delete;
  CommandDispatcher& operator=(const CommandDispatcher&) = delete;

  // The drawing modes, each asked in turn whether it is in front: the one added last first.
  void AddTarget(overlay::DrawingTarget* target);
  void RemoveTarget(overlay::DrawingTarget* target);
  // The first mode that is on and in front; null for none.
  overlay::DrawingTarget* TargetInFront() const;

  bool RunKey(short keyAscii) override;
  void RunWheel(int direction) override;
  // Runs the command; what it raises goes to the caller. The tray menu's marks follow the
  // settings afterwards, however it ended.
  void Run(CommandId id) override { Run(FindCommand(id)); }
  void RunMenuItem(UINT item) { Run(CommandForMenuItem(item)); }
  void RunHotkey(int slot) { Run(CommandForHotkey(slot)); }

 private:
  void Run(const Command* command);

  Application& app_;
  std::vector<overlay::DrawingTarget*> targets_;
};

}  // namespace shell
