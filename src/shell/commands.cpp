#include "shell/commands.h"

#include "magnifier/mag_win.h"
#include "overlay/live_drawing.h"
#include "overlay/ss.h"
#include "settings/app_settings.h"
#include "settings/persistence.h"
#include "shell/myhotkey.h"
#include "shell/start_up.h"
#include "shell/tray_menu.h"

namespace shell {

namespace {

// The width items, by the digit keys 1 to 4.
constexpr CommandId kWidths[] = {CommandId::Width5, CommandId::Width10, CommandId::Width15, CommandId::Width20};

// A drawing command that is one call on the mode in front.
template <void (overlay::DrawingTarget::*Tool)()>
void OnTarget(Application&, overlay::DrawingTarget& target, const Command&) {
  (target.*Tool)();
}

// A colour item or colour key: the pen colour, and the mark of the menu's colour group with it.
void FixedColour(Application& app, const Command& self) {
  app.AppSettings.color = self.value;
  app.AppSettings.menucolor = self.value;
  app.StoreSettings();
}

void Width(Application& app, const Command& self) {
  app.AppSettings.brushwidth = static_cast<int16_t>(self.value);
  app.StoreSettings();
}

// The keys 1 to 4 (`value`): with the eraser on an eraser of 8, 16, 24 or 32 pixels and nothing
// else; with it off the width item of 5, 10, 15 or 20, its mark and its save included.
void SizeKey(Application& app, overlay::DrawingTarget& target, const Command& self) {
  if (target.EraserOn()) {
    target.SetEraserSize(static_cast<int16_t>(8 * self.value));
    return;
  }
  Width(app, *FindCommand(kWidths[self.value - 1]));
}

// The magnifier would sit on top of a dialog (colours, Options): it is out of sight while the dialog is up
// and comes back however the dialog ends, chosen, cancelled or failed.
class MagnifierHiddenMeanwhile {
 public:
  explicit MagnifierHiddenMeanwhile(magWin& magnifier) : magnifier_(magnifier) {
    if (magnifier_.IsLoaded()) {
      magnifier_.SetVisible(false);
      magHidden_ = true;
    }
  }
  ~MagnifierHiddenMeanwhile() {
    if (magHidden_) magnifier_.SetVisible(true);
  }
  MagnifierHiddenMeanwhile(const MagnifierHiddenMeanwhile&) = delete;
  MagnifierHiddenMeanwhile& operator=(const MagnifierHiddenMeanwhile&) = delete;

 private:
  magWin& magnifier_;
  bool magHidden_ = false;
};

// c: the colour dialog, from the pen colour; Cancel raises, and the colour stays.
void ColourDialog(Application& app, overlay::DrawingTarget& target, const Command&) {
  MagnifierHiddenMeanwhile hidden(app.magnifier);
  target.ChooseColour();
}

// The menu's Palette: the key handler's c, then, unless that ended in its error path (Cancel),
// the mark moves to "Palette" whatever colour was chosen.
void Palette(Application& app, const Command&) {
  if (!app.commands.RunKey('c')) return;
  app.AppSettings.menucolor = settings::kMenuColorPalette;
  app.StoreSettings();
}

// m: the magnifier, and the keys back to the drawing surface; a hidden overlay cannot take them,
// and the command ends in an error.
void MagnifierKey(Application& app, overlay::DrawingTarget& target, const Command&) {
  app.magnifier.ShowWindowModeless();
  target.FocusSurface();
}

void ToggleMagnifier(Application& app, const Command&) {
  magWin& magnifier = app.magnifier;
  if (magnifier.IsShowing()) {
    magnifier.UnloadWindow();
  } else {
    magnifier.ShowWindowModeless();
  }
}

// Options, from the menu of a drawing mode or of the icon: the dialog belongs to the mode's
// window, which it then stays above (the main window is never shown, and a window it owns would
// open beneath the mode).
void Options(Application& app, const Command&) {
  MagnifierHiddenMeanwhile hidden(app.magnifier);
  const overlay::DrawingTarget* mode = app.commands.TargetInFront();
  const HWND owner = mode ? mode->DialogOwner() : nullptr;
  app.mainForm.Options_Click(owner ? owner : app.mainForm.Hwnd());
}

void KeepDrawings(Application& app, const Command&) {
  settings::AppSettingsRecord& s = app.AppSettings;
  s.keepdrawings = s.keepdrawings != settings::kFalse ? settings::kFalse : settings::kTrue;
  app.StoreSettings();
}

using Keys = std::array<short, 2>;
constexpr Keys Key(short c) { return {c, 0}; }
// A letter typed in either case.
constexpr Keys Letter(char lower) { return {lower, static_cast<short>(lower - 'a' + 'A')}; }

// The table. Menu items come in menu order; the keys' characters match at most one entry.
constexpr Command kCommands[] = {
    // --- The tray menu (its colours and widths are keys of presentation mode too) -----------
    {.id = CommandId::StartPresentation,
     .run = [](Application& a, const Command&) { a.mainForm.StartPresentation_Click(); },
     .caption = L"Start Presentation Mode",
     .place = MenuPlace::FirstWithoutHotkey},
    {.id = CommandId::Red, .run = FixedColour, .value = kColorRed, .keys = Letter('r'), .caption = L"Red",
     .place = MenuPlace::Colours, .mark = Mark::FixedColour},
    {.id = CommandId::Yellow, .run = FixedColour, .value = kColorYellow, .keys = Letter('y'), .caption = L"Yellow",
     .place = MenuPlace::Colours, .mark = Mark::FixedColour},
    {.id = CommandId::Blue, .run = FixedColour, .value = kColorBlue, .keys = Letter('b'), .caption = L"Blue",
     .place = MenuPlace::Colours, .mark = Mark::FixedColour},
    {.id = CommandId::Green, .run = FixedColour, .value = kColorGreen, .keys = Letter('g'), .caption = L"Green",
     .place = MenuPlace::Colours, .mark = Mark::FixedColour},
    {.id = CommandId::Palette, .run = Palette, .caption = L"Palette", .place = MenuPlace::Colours,
     .mark = Mark::OtherColour},
    {.id = CommandId::Width1, .run = Width, .value = 1, .caption = L"1", .place = MenuPlace::LineStyle,
     .mark = Mark::Width},
    {.id = CommandId::Width5, .run = Width, .value = 5, .caption = L"5", .place = MenuPlace::LineStyle,
     .mark = Mark::Width},
    {.id = CommandId::Width10, .run = Width, .value = 10, .caption = L"10", .place = MenuPlace::LineStyle,
     .mark = Mark::Width},
    {.id = CommandId::Width15, .run = Width, .value = 15, .caption = L"15", .place = MenuPlace::LineStyle,
     .mark = Mark::Width},
    {.id = CommandId::Width20, .run = Width, .value = 20, .caption = L"20", .place = MenuPlace::LineStyle,
     .mark = Mark::Width},
    // Starts live drawing, or ends it when it is on.
    {.id = CommandId::LiveDrawing,
     .run = [](Application& a, const Command&) { a.mainForm.LiveDrawing_Click(); },
     .caption = L"Live Drawing",
     .place = MenuPlace::Top,
     .mark = Mark::LiveDrawing},
    // Shown modeless; when it is already showing it stays open (unlike the hotkey).
    {.id = CommandId::Magnifier,
     .run = [](Application& a, const Command&) { a.magnifier.ShowWindowModeless(); },
     .caption = L"Magnifier",
     .place = MenuPlace::Top},
    {.id = CommandId::QuickHelp,
     .run = [](Application& a, const Command&) { a.helpWindow.ShowQuickHelp(); },
     .caption = L"Quick Help",
     .place = MenuPlace::Top},
    {.id = CommandId::Documentation,
     .run = [](Application& a, const Command&) { a.mainForm.dochelp_Click(); },
     .caption = L"Documentation",
     .place = MenuPlace::Top},
    {.id = CommandId::KeepDrawings, .run = KeepDrawings, .caption = L"Keep Drawings", .place = MenuPlace::Top,
     .mark = Mark::KeepDrawings},
    {.id = CommandId::RecentDrawings,
     .run = [](Application& a, const Command&) { a.mainForm.RecentDrawings_Click(); },
     .caption = L"Recent Drawings",
     .place = MenuPlace::Top},
    {.id = CommandId::Options,
     .run = Options,
     .caption = L"Options...",
     .place = MenuPlace::Top},
    {.id = CommandId::Exit,
     .run = [](Application& a, const Command&) { a.mainForm.Rest1_Click(); },
     .caption = L"Exit",
     .place = MenuPlace::Top},

    // --- Keys of the drawing modes, run on the mode in front ----------------------------------
    {.id = CommandId::SaveScreen, .draw = OnTarget<&overlay::DrawingTarget::SaveScreenToFile>,
     .keys = Key(19)},  // Ctrl+S
    {.id = CommandId::OpenImage, .draw = OnTarget<&overlay::DrawingTarget::LoadPictureFromFile>,
     .keys = Key(12)},  // Ctrl+L
    {.id = CommandId::Leave, .draw = OnTarget<&overlay::DrawingTarget::Leave>, .keys = Key(27)},
    {.id = CommandId::ClearDrawing, .draw = OnTarget<&overlay::DrawingTarget::ClearDrawing>,
     .keys = Key(5)},  // Ctrl+E
    {.id = CommandId::TogglePen, .draw = OnTarget<&overlay::DrawingTarget::TogglePen>, .keys = Letter('p')},
    {.id = CommandId::ColourDialog, .draw = ColourDialog, .keys = Letter('c')},
    {.id = CommandId::ToggleEraser, .draw = OnTarget<&overlay::DrawingTarget::ToggleEraser>, .keys = Letter('e')},
    {.id = CommandId::Size1, .draw = SizeKey, .value = 1, .keys = Key('1')},
    {.id = CommandId::Size2, .draw = SizeKey, .value = 2, .keys = Key('2')},
    {.id = CommandId::Size3, .draw = SizeKey, .value = 3, .keys = Key('3')},
    {.id = CommandId::Size4, .draw = SizeKey, .value = 4, .keys = Key('4')},
    // Lower case only: M is no command.
    {.id = CommandId::MagnifierKey, .draw = MagnifierKey, .keys = Key('m')},
    {.id = CommandId::ArmText, .draw = OnTarget<&overlay::DrawingTarget::ArmTextPlacement>, .keys = Letter('t')},
    {.id = CommandId::Undo, .draw = OnTarget<&overlay::DrawingTarget::Undo>, .keys = Key(26)},
    {.id = CommandId::Redo, .draw = OnTarget<&overlay::DrawingTarget::Redo>, .keys = Key(25)},
    {.id = CommandId::CopyPicture, .draw = OnTarget<&overlay::DrawingTarget::CopyPicture>,
     .keys = Key(3)},  // Ctrl+C
    // The digit zero: the view back to x1 at once.
    {.id = CommandId::ActualSize, .draw = OnTarget<&overlay::DrawingTarget::ActualSize>, .keys = Key('0')},
    // w and k: the white and the black page, and back to the desktop.
    {.id = CommandId::WhitePage,
     .draw = [](Application&, overlay::DrawingTarget& t, const Command&) { t.TurnToPage(overlay::PageKind::White); },
     .keys = Letter('w')},
    {.id = CommandId::BlackPage,
     .draw = [](Application&, overlay::DrawingTarget& t, const Command&) { t.TurnToPage(overlay::PageKind::Black); },
     .keys = Letter('k')},
    // Space: live drawing from inking to pointing.
    {.id = CommandId::Pointing, .draw = OnTarget<&overlay::DrawingTarget::StartPointing>, .keys = Key(' ')},

    // --- The wheel over a drawing mode: zoom about the pointer, a notch at a time -------------
    {.id = CommandId::ZoomIn,
     .draw = [](Application&, overlay::DrawingTarget& t, const Command&) { t.ZoomBy(1); },
     .wheel = 1},
    {.id = CommandId::ZoomOut,
     .draw = [](Application&, overlay::DrawingTarget& t, const Command&) { t.ZoomBy(-1); },
     .wheel = -1},

    // --- Hotkeys, and the menu itself -------------------------------------------------------
    {.id = CommandId::PresentationMode,
     .run = [](Application& a, const Command&) { a.mainForm.SysTrayMouseEventHandler(); },
     .hotkey = myhotkey::hotkeyPresentation},
    {.id = CommandId::ToggleMagnifier, .run = ToggleMagnifier, .hotkey = myhotkey::hotkeyMagnifier},
    {.id = CommandId::LiveDrawingHotkey,
     .run = [](Application& a, const Command&) { a.mainForm.LiveDrawingHotkey(); },
     .hotkey = myhotkey::hotkeyLiveDrawing},
    // The right button on the notification-area icon or on the overlay.
    {.id = CommandId::Menu, .run = [](Application& a, const Command&) { a.mainForm.menupopup(); }},
};

}  // namespace

std::span<const Command> CommandTable() { return kCommands; }

const Command* FindCommand(CommandId id) {
  for (const Command& c : kCommands) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

const Command* CommandForKey(short keyAscii) {
  if (keyAscii == 0) return nullptr;
  for (const Command& c : kCommands) {
    if (c.keys[0] == keyAscii || c.keys[1] == keyAscii) return &c;
  }
  return nullptr;
}

const Command* CommandForWheel(int direction) {
  if (direction == 0) return nullptr;
  for (const Command& c : kCommands) {
    if (c.wheel == direction) return &c;
  }
  return nullptr;
}

CommandId CommandForMenuItem(UINT item) {
  for (const Command& c : kCommands) {
    if (c.caption && MenuItemOf(c.id) == item) return c.id;
  }
  return CommandId::None;
}

CommandId CommandForHotkey(int slot) {
  for (const Command& c : kCommands) {
    if (c.hotkey >= 0 && c.hotkey == slot) return c.id;
  }
  return CommandId::None;
}

void CommandDispatcher::AddTarget(overlay::DrawingTarget* target) { targets_.insert(targets_.begin(), target); }

void CommandDispatcher::RemoveTarget(overlay::DrawingTarget* target) { std::erase(targets_, target); }

overlay::DrawingTarget* CommandDispatcher::TargetInFront() const {
  for (overlay::DrawingTarget* target : targets_) {
    if (target->InFront()) return target;
  }
  return nullptr;
}

bool CommandDispatcher::RunKey(short keyAscii) {
  try {
    Run(CommandForKey(keyAscii));
    // Every key, a command's or not, ends with the settings saved.
    app_.StoreSettings();
    return true;
  } catch (...) {
    // The error path: the command ends here, silently, and the settings are not saved.
    return false;
  }
}

void CommandDispatcher::RunWheel(int direction) { Run(CommandForWheel(direction)); }

void CommandDispatcher::Run(const Command* command) {
  if (!command) return;
  // The marks show the settings as the command left them, also when it ended in an error.
  struct MarksAfter {
    Application& app;
    ~MarksAfter() { SetMenuMarks(app.mainForm.RCPopup, app.AppSettings, app.live.IsOn()); }
  } marks{app_};
  if (command->run) {
    command->run(app_, *command);
    return;
  }
  // A drawing command goes to the mode in front, picked once here; a mode that does not offer it
  // is left alone.
  overlay::DrawingTarget* target = TargetInFront();
  if (command->draw && target && target->Offers(command->id)) command->draw(app_, *target, *command);
}

}  // namespace shell
