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

using settings::SaveSettings;

void RunCommand(Application& app, CommandId id) {
  if (const Command* command = FindCommand(id)) command->run(app, *command);
}

// Live drawing is inking: the keys of presentation mode act on its ink, and the ones that belong to
// the frozen picture (loading a picture, the magnifier key, text) do nothing.
bool Inking(const Application& app) { return app.live.CurrentState() == overlay::LiveDrawing::State::Inking; }

// A key that does the same to live drawing's ink while it is inking as to the frozen picture.
template <void (overlay::LiveDrawing::*Live)(), void (ss::*Frozen)()>
void OnEither(Application& app, const Command&) {
  if (Inking(app)) {
    (app.live.*Live)();
  } else {
    (app.overlay.*Frozen)();
  }
}

// A colour item or colour key: the pen colour, and the mark of the menu's colour group with it.
void FixedColour(Application& app, const Command& self) {
  app.AppSettings.color = self.value;
  app.AppSettings.menucolor = self.value;
  SaveSettings(app.AppSettings);
}

void Width(Application& app, const Command& self) {
  app.AppSettings.brushwidth = static_cast<int16_t>(self.value);
  SaveSettings(app.AppSettings);
}

// The keys 1 to 4 (`value`): with the eraser on an eraser of 8, 16, 24 or 32 pixels and nothing
// else; with it off the width item of 5, 10, 15 or 20, its mark and its save included.
void SizeKey(Application& app, const Command& self) {
  const auto size = static_cast<int16_t>(8 * self.value);
  if (Inking(app) && app.live.EraserOn()) {
    app.live.SetEraserSize(size);
    return;
  }
  ss& overlay = app.overlay;
  if (!Inking(app) && overlay.EraserOn()) {
    overlay.SetEraserSize(size);
    return;
  }
  constexpr CommandId kWidths[] = {CommandId::Width5, CommandId::Width10, CommandId::Width15, CommandId::Width20};
  RunCommand(app, kWidths[self.value - 1]);
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
void ColourDialog(Application& app, const Command&) {
  MagnifierHiddenMeanwhile hidden(app.magnifier);
  if (Inking(app)) {
    app.live.ChooseColour();
  } else {
    app.overlay.ChooseColour();
  }
}

// The menu's Palette: the overlay's own colour key, then, unless that ended in its error path
// (Cancel), the mark moves to "Palette" whatever colour was chosen.
void Palette(Application& app, const Command&) {
  if (Inking(app)) {
    // Over live drawing the dialog belongs to its window, which lies above everything else.
    try {
      MagnifierHiddenMeanwhile hidden(app.magnifier);
      app.live.ChooseColour();
    } catch (...) {
      return;  // cancelled: the colour and the marks stay
    }
    app.AppSettings.menucolor = settings::kMenuColorPalette;
    SaveSettings(app.AppSettings);
    return;
  }
  ss& overlay = app.overlay;
  short keyAscii = 'c';
  overlay.Picture1_KeyPress(keyAscii);
  if (overlay.checkpalette) return;
  app.AppSettings.menucolor = settings::kMenuColorPalette;
  SaveSettings(app.AppSettings);
}

// m: the magnifier, and the keys back to the drawing surface; a hidden overlay cannot take them,
// and the command ends in an error.
void MagnifierKey(Application& app, const Command&) {
  if (Inking(app)) return;
  app.magnifier.ShowWindowModeless();
  app.overlay.FocusSurface();
}

void ToggleMagnifier(Application& app, const Command&) {
  magWin& magnifier = app.magnifier;
  if (magnifier.IsShowing()) {
    magnifier.UnloadWindow();
  } else {
    magnifier.ShowWindowModeless();
  }
}

// A wheel notch (`value` 1 in, -1 out).
void ZoomNotch(Application& app, const Command& self) { app.overlay.ZoomBy(self.value); }

// A page's key (`value` the page).
void TurnPage(Application& app, const Command& self) {
  app.overlay.TurnToPage(static_cast<overlay::PageKind>(self.value));
}

void KeepDrawings(Application& app, const Command&) {
  settings::AppSettingsRecord& s = app.AppSettings;
  s.keepdrawings = s.keepdrawings != settings::kFalse ? settings::kFalse : settings::kTrue;
  SaveSettings(s);
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
     .run =
         [](Application& a, const Command&) {
           MagnifierHiddenMeanwhile hidden(a.magnifier);
           a.mainForm.Options_Click();
         },
     .caption = L"Options...",
     .place = MenuPlace::Top},
    {.id = CommandId::Exit,
     .run = [](Application& a, const Command&) { a.mainForm.Rest1_Click(); },
     .caption = L"Exit",
     .place = MenuPlace::Top},

    // --- Keys of presentation mode --------------------------------------------------------
    {.id = CommandId::SaveScreen,
     .run = OnEither<&overlay::LiveDrawing::SaveScreenToFile, &ss::SaveScreenToFile>,
     .keys = Key(19)},  // Ctrl+S
    {.id = CommandId::OpenImage,
     .run =
         [](Application& a, const Command&) {
           if (!Inking(a)) a.overlay.LoadPictureFromFile();
         },
     .keys = Key(12)},  // Ctrl+L
    {.id = CommandId::Leave, .run = OnEither<&overlay::LiveDrawing::Leave, &ss::Leave>, .keys = Key(27)},
    {.id = CommandId::ClearDrawing,
     .run = OnEither<&overlay::LiveDrawing::ClearDrawing, &ss::ClearDrawing>,
     .keys = Key(5)},  // Ctrl+E
    {.id = CommandId::TogglePen,
     .run =
         [](Application& a, const Command&) {
           if (Inking(a)) {
             a.live.TogglePen();
             return;
           }
           a.overlay.Load();
           a.overlay.TogglePen();
         },
     .keys = Letter('p')},
    {.id = CommandId::ColourDialog, .run = ColourDialog, .keys = Letter('c')},
    {.id = CommandId::ToggleEraser,
     .run =
         [](Application& a, const Command&) {
           if (Inking(a)) {
             a.live.ToggleEraser();
             return;
           }
           a.overlay.Load();
           a.overlay.ToggleEraser();
         },
     .keys = Letter('e')},
    {.id = CommandId::Size1, .run = SizeKey, .value = 1, .keys = Key('1')},
    {.id = CommandId::Size2, .run = SizeKey, .value = 2, .keys = Key('2')},
    {.id = CommandId::Size3, .run = SizeKey, .value = 3, .keys = Key('3')},
    {.id = CommandId::Size4, .run = SizeKey, .value = 4, .keys = Key('4')},
    // Lower case only: M is no command.
    {.id = CommandId::MagnifierKey, .run = MagnifierKey, .keys = Key('m')},
    {.id = CommandId::ArmText,
     .run =
         [](Application& a, const Command&) {
           if (Inking(a)) return;
           a.overlay.Load();
           a.overlay.ArmTextPlacement();
         },
     .keys = Letter('t')},
    {.id = CommandId::Undo, .run = OnEither<&overlay::LiveDrawing::Undo, &ss::Undo>, .keys = Key(26)},
    {.id = CommandId::Redo, .run = OnEither<&overlay::LiveDrawing::Redo, &ss::Redo>, .keys = Key(25)},
    {.id = CommandId::CopyPicture,
     .run = OnEither<&overlay::LiveDrawing::CopyPicture, &ss::CopyPicture>,
     .keys = Key(3)},  // Ctrl+C
    // The digit zero: the view back to x1 at once.
    {.id = CommandId::ActualSize,
     .run = [](Application& a, const Command&) { a.overlay.ActualSize(); },
     .keys = Key('0')},
    // w and k: the white and the black page, and back to the desktop.
    {.id = CommandId::WhitePage, .run = TurnPage, .value = static_cast<int32_t>(overlay::PageKind::White),
     .keys = Letter('w')},
    {.id = CommandId::BlackPage, .run = TurnPage, .value = static_cast<int32_t>(overlay::PageKind::Black),
     .keys = Letter('k')},
    // Space: live drawing from inking to pointing (nothing in presentation mode).
    {.id = CommandId::Pointing,
     .run =
         [](Application& a, const Command&) {
           if (Inking(a)) a.live.SetPointing(true);
         },
     .keys = Key(' ')},

    // --- The wheel in presentation mode: zoom about the pointer, a notch at a time ---------
    {.id = CommandId::ZoomIn, .run = ZoomNotch, .value = 1, .wheel = 1},
    {.id = CommandId::ZoomOut, .run = ZoomNotch, .value = -1, .wheel = -1},

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

CommandId CommandForKey(short keyAscii) {
  if (keyAscii == 0) return CommandId::None;
  for (const Command& c : kCommands) {
    if (c.keys[0] == keyAscii || c.keys[1] == keyAscii) return c.id;
  }
  return CommandId::None;
}

CommandId CommandForWheel(int direction) {
  if (direction == 0) return CommandId::None;
  for (const Command& c : kCommands) {
    if (c.wheel == direction) return c.id;
  }
  return CommandId::None;
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

void CommandDispatcher::Run(CommandId id) {
  const Command* command = FindCommand(id);
  if (!command) return;
  // The marks show the settings as the command left them, also when it ended in an error.
  struct MarksAfter {
    Application& app;
    ~MarksAfter() { SetMenuMarks(app.mainForm.RCPopup, app.AppSettings, app.live.IsOn()); }
  } marks{app_};
  command->run(app_, *command);
}

}  // namespace shell
