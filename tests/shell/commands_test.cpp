// The keys of presentation mode and the tray menu's commands, with real keys on the real overlay,
// the real colour dialog, and the settings checked in the registry and in the menu's marks.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "magnifier/mag_win.h"
#include "overlay/keeping.h"
#include "overlay/live_drawing.h"
#include "overlay/ss.h"
#include "settings/app_settings.h"
#include "settings/persistence.h"
#include "shell/form1.h"
#include "shell/commands.h"
#include "shell/mod1.h"
#include "shell/myhotkey.h"
#include "shell/start_up.h"
#include "shell/tray_menu.h"
#include "support/dialog_user.h"
#include "support/side_thread.h"
#include "support/test_app.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

const char kKey[] = "Software\\Scrivane";

std::optional<std::string> Stored(const char* value) {
  char data[512];
  DWORD size = sizeof data;
  if (::RegGetValueA(HKEY_LOCAL_MACHINE, kKey, value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::string(data);
}

void ForgetStoredSettings() {
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
  ::RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
}

// Answers the colour dialog as soon as it shows, from a second thread while the first waits in
// the modal loop: OK with the given colour, or cancel.
class ColourDialogAnswer {
 public:
  explicit ColourDialogAnswer(std::optional<COLORREF> choose)
      : user_(L"#32770", true, 10000, [this, choose](HWND dialog) {
          // Answered once it has finished setting itself up, or its set-up would overwrite the answer.
          WaitUntilReadyForInput(dialog);
          magnifierVisibleDuring_ = App().magnifier.IsLoaded() && ::IsWindowVisible(App().magnifier.Hwnd());
          if (choose) {
            ::SetDlgItemInt(dialog, 706, GetRValue(*choose), FALSE);
            ::SetDlgItemInt(dialog, 707, GetGValue(*choose), FALSE);
            ::SetDlgItemInt(dialog, 708, GetBValue(*choose), FALSE);
            ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
          } else {
            ::PostMessageW(dialog, WM_CLOSE, 0, 0);
          }
        }) {}
  void Join() { user_.Join(); }
  bool Appeared() const { return user_.Window() != nullptr; }
  bool MagnifierVisibleDuring() const { return magnifierVisibleDuring_; }

 private:
  std::atomic<bool> magnifierVisibleDuring_{false};
  AnswerWhenShown user_;
};

class CommandsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { App().magnifier.zoomFactor = 3; }
  static void TearDownTestSuite() {
    if (App().mainForm.IsLoaded()) App().mainForm.Unload();
  }
  void SetUp() override {
    ForgetStoredSettings();
    App().AppSettings = settings::AppSettingsRecord{};
    App().AppSettings.color = 255;
    App().AppSettings.brushwidth = 10;
    App().AppSettings.erasersize = 8;
    if (!App().mainForm.IsLoaded()) {
      App().mainForm.Load();
      // The first icon maps Wine's notification-area window, which the window manager then
      // focuses: let that settle before the tests type.
      Pump(500);
    }
  }
  void TearDown() override {
    ss& o = App().overlay;
    if (o.IsLoaded()) {
      short esc = 27;
      o.Picture1_KeyPress(esc);
    }
    if (App().magnifier.IsLoaded()) App().magnifier.UnloadWindow();
    Pump(100);
    ForgetStoredSettings();
  }
  void Enter() {
    App().mainForm.SysTrayMouseEventHandler();
    // The keys of presentation mode need the surface focused in the foreground window.
    PumpUntil([] {
      return ::GetFocus() == App().overlay.Picture1.Hwnd() && ::GetForegroundWindow() == App().overlay.Hwnd();
    });
    ASSERT_EQ(App().overlay.Picture1.Hwnd(), ::GetFocus()) << "fg " << ::GetForegroundWindow() << " active " << ::GetActiveWindow() << " overlay " << App().overlay.Hwnd() << " main " << App().mainForm.Hwnd();
  }
  // Types and returns once the keys have been handled, the command's settings save included.
  void Type(const std::wstring& text) {
    TypeText(text);
    PumpUntilInputHandled();
  }
  bool Checked(UINT item) { return App().mainForm.RCPopup.IsChecked(item); }
  UINT CheckedColour() {
    for (UINT id : shell::kColourGroup)
      if (Checked(id)) return id;
    return 0;
  }
  UINT CheckedWidth() {
    for (UINT id : shell::kWidthGroup)
      if (Checked(id)) return id;
    return 0;
  }
};

TEST_F(CommandsTest, ColourKeysInEitherCaseStoreTheColourAndMoveTheMark) {
  Enter();
  struct Row {
    wchar_t key;
    int32_t color;
    UINT item;
  } rows[] = {{L'b', 0xFF0000, shell::kItemBlue},   {L'R', 0x0000FF, shell::kItemRed},
              {L'y', 0x00FFFF, shell::kItemYellow}, {L'G', 0x00FF00, shell::kItemGreen},
              {L'B', 0xFF0000, shell::kItemBlue},   {L'r', 0x0000FF, shell::kItemRed},
              {L'Y', 0x00FFFF, shell::kItemYellow}, {L'g', 0x00FF00, shell::kItemGreen}};
  for (const Row& row : rows) {
    Type(std::wstring(1, row.key));
    EXPECT_EQ(row.color, App().AppSettings.color) << static_cast<char>(row.key);
    EXPECT_EQ(row.item, CheckedColour()) << static_cast<char>(row.key);
    EXPECT_EQ(std::to_string(row.color), Stored("color").value_or("missing")) << static_cast<char>(row.key);
  }
  // What the pen draws next is in the new colour.
  App().overlay.TogglePen();
  App().overlay.Picture1.PSet(700, 700, static_cast<COLORREF>(App().AppSettings.color), 1);
  EXPECT_TRUE(PumpUntil([] { return CaptureScreenRect(700, 700, 1, 1).At(700, 700) == 0x00FF00u; }, 2000));
}

TEST_F(CommandsTest, DigitsSetPenWidthsWithTheEraserOffAndOnlyEraserSizesWithItOn) {
  Enter();
  App().mainForm.One_Click();
  ASSERT_EQ(1, App().AppSettings.brushwidth);
  const wchar_t* keys = L"1234";
  const int16_t widths[] = {5, 10, 15, 20};
  const UINT items[] = {shell::kItemFive, shell::kItemTen, shell::kItemFifteen, shell::kItemTwenty};
  for (int i = 0; i < 4; ++i) {
    Type(std::wstring(1, keys[i]));
    EXPECT_EQ(widths[i], App().AppSettings.brushwidth);
    EXPECT_EQ(items[i], CheckedWidth());
    EXPECT_EQ(std::to_string(widths[i]), Stored("brushwidth").value_or("missing"));
  }
  Type(L"e");
  ASSERT_TRUE(App().overlay.EraserOn());
  const int16_t sizes[] = {8, 16, 24, 32};
  const overlay::CursorKind cursors[] = {overlay::CursorKind::Eraser8, overlay::CursorKind::Eraser16,
                                         overlay::CursorKind::Eraser24, overlay::CursorKind::Eraser32};
  for (int i = 3; i >= 0; --i) {
    Type(std::wstring(1, keys[i]));
    EXPECT_EQ(sizes[i], App().AppSettings.erasersize);
    EXPECT_EQ(cursors[i], App().overlay.CurrentCursor());
    EXPECT_EQ(20, App().AppSettings.brushwidth) << "the pen width stays";
    EXPECT_EQ(shell::kItemTwenty, CheckedWidth()) << "the width menu stays";
    EXPECT_EQ(std::to_string(sizes[i]), Stored("erasersize").value_or("missing"));
  }
}

TEST_F(CommandsTest, KeysOutsideTheTableOnlySaveTheSettings) {
  Enter();
  ss& o = App().overlay;
  // Ctrl+S, Ctrl+L, Ctrl+Z arrive as control characters: the letters alone are no command; M is
  // not m; the digits beyond 4 are no size.
  for (const wchar_t* key : {L"M", L"x", L"s", L"l", L"S", L"L", L"z", L"Z", L"5", L"0"}) {
    ForgetStoredSettings();
    const int32_t color = App().AppSettings.color;
    Type(key);
    EXPECT_TRUE(o.IsVisible());
    EXPECT_EQ(0, o.FormCount(L"magWin")) << "M is not m";
    EXPECT_FALSE(o.PenMode());
    EXPECT_FALSE(o.EraserOn());
    EXPECT_EQ(color, App().AppSettings.color);
    EXPECT_EQ("255", Stored("color").value_or("missing")) << "the save after the key";
    EXPECT_EQ("10", Stored("brushwidth").value_or("missing"));
  }
}

TEST_F(CommandsTest, ColourDialogStoresTheChoiceButLeavesTheMenuMarks) {
  Enter();
  App().mainForm.red_Click();
  ASSERT_EQ(shell::kItemRed, CheckedColour());
  {
    ColourDialogAnswer answer(RGB(10, 20, 30));
    Type(L"c");
    answer.Join();
    ASSERT_TRUE(answer.Appeared());
  }
  EXPECT_EQ(static_cast<int32_t>(RGB(10, 20, 30)), App().AppSettings.color);
  EXPECT_EQ(std::to_string(RGB(10, 20, 30)), Stored("color").value_or("missing"));
  EXPECT_EQ(shell::kItemRed, CheckedColour()) << "the key leaves the marks as they were";
  EXPECT_FALSE(App().overlay.checkpalette);

  // Cancel: nothing changes and nothing is saved; the command ended through the error path.
  ForgetStoredSettings();
  {
    ColourDialogAnswer answer(std::nullopt);
    Type(L"C");
    answer.Join();
    ASSERT_TRUE(answer.Appeared());
  }
  EXPECT_EQ(static_cast<int32_t>(RGB(10, 20, 30)), App().AppSettings.color);
  EXPECT_FALSE(Stored("color").has_value());
  EXPECT_TRUE(App().overlay.checkpalette);
}

TEST_F(CommandsTest, TheMagnifierHidesWhileTheColourDialogIsUpAndComesBackEitherWay) {
  Enter();
  Type(L"m");
  ASSERT_TRUE(App().magnifier.IsShowing());
  EXPECT_TRUE(App().overlay.IsVisible());
  // Which of the two has the keys now is the window manager's call under Wine; keys typed into
  // the magnifier go to the overlay's handler all the same, so the c below works either way.
  for (bool ok : {true, false}) {
    ColourDialogAnswer answer(ok ? std::optional<COLORREF>(RGB(1, 2, 3)) : std::nullopt);
    Type(L"c");
    answer.Join();
    ASSERT_TRUE(answer.Appeared());
    EXPECT_FALSE(answer.MagnifierVisibleDuring()) << (ok ? "OK" : "Cancel");
    EXPECT_TRUE(App().magnifier.IsShowing()) << (ok ? "OK" : "Cancel");
  }
}

TEST_F(CommandsTest, TheMenusPaletteMovesTheMarkOnlyWhenNotCancelled) {
  form1& f = App().mainForm;
  f.green_Click();
  {
    ColourDialogAnswer answer(std::nullopt);
    f.mypalette_Click();
    answer.Join();
    ASSERT_TRUE(answer.Appeared());
  }
  EXPECT_EQ(shell::kItemGreen, CheckedColour());
  EXPECT_FALSE(App().overlay.IsVisible()) << "the overlay is loaded hidden, not shown";
  {
    ColourDialogAnswer answer(RGB(255, 0, 0));  // the same as Red: still marked as Palette
    f.mypalette_Click();
    answer.Join();
  }
  EXPECT_EQ(shell::kItemMypalette, CheckedColour());
  EXPECT_EQ(0x0000FF, App().AppSettings.color);
  EXPECT_EQ("255", Stored("color").value_or("missing"));
}

TEST_F(CommandsTest, AfterTheMenuOnTheSurfaceTheKeysStillReachTheOverlay) {
  Enter();
  Pump(800);  // past the overlay's first half second, when it claims the keys anyway
  // The right button opens the tray menu; Esc closes it without a choice.
  AnswerWhenShown closer(L"#32768", false, 5000, [](HWND menu) {
    // Esc once the menu's loop runs and takes keys.
    WaitUntilReadyForInput(menu);
    TapKey(VK_ESCAPE);
  });
  MouseMoveTo(900, 500);
  Pump(50);
  MouseButton(2, true);
  Pump(50);
  MouseButton(2, false);
  closer.Join();
  // The menu is gone and the overlay has taken the keyboard back.
  EXPECT_TRUE(PumpUntil([] {
    return ::FindWindowW(L"#32768", nullptr) == nullptr || !::IsWindowVisible(::FindWindowW(L"#32768", nullptr));
  }));
  EXPECT_TRUE(PumpUntil([] {
    return ::GetForegroundWindow() == App().overlay.Hwnd() && ::GetFocus() == App().overlay.Picture1.Hwnd();
  }));
  ASSERT_TRUE(App().overlay.IsVisible());
  Type(L"p");
  EXPECT_TRUE(App().overlay.PenMode());
}

TEST_F(CommandsTest, EscWithTheEraserOnLeavesAndTheNextEntryStartsWithItOff) {
  Enter();
  Type(L"e");
  ASSERT_TRUE(App().overlay.EraserOn());
  TapKey(VK_ESCAPE);
  PumpUntilInputHandled();
  EXPECT_FALSE(App().overlay.IsLoaded());
  Enter();
  EXPECT_FALSE(App().overlay.EraserOn());
  EXPECT_EQ(overlay::CursorKind::Highlighter, App().overlay.CurrentCursor());
}

TEST_F(CommandsTest, TurningTheEraserOffShowsTheHighlighterCursorButThePenStaysUntilP) {
  Enter();
  ss& o = App().overlay;
  Type(L"p");
  ASSERT_TRUE(o.PenMode());
  ASSERT_EQ(overlay::CursorKind::Pen, o.CurrentCursor());
  Type(L"e");
  Type(L"e");
  EXPECT_EQ(overlay::CursorKind::Highlighter, o.CurrentCursor());
  EXPECT_TRUE(o.PenMode());
  EXPECT_EQ(R2_COPYPEN, o.Picture1.DrawMode());
  Type(L"e");
  TypeChord({VK_CONTROL, 'E'});
  PumpUntilInputHandled();
  EXPECT_FALSE(o.EraserOn());
  EXPECT_EQ(overlay::CursorKind::Highlighter, o.CurrentCursor());
  EXPECT_EQ(R2_COPYPEN, o.Picture1.DrawMode());
  Type(L"P");
  EXPECT_FALSE(o.PenMode());
  EXPECT_EQ(R2_MASKPEN, o.Picture1.DrawMode());
}

TEST_F(CommandsTest, CtrlEClearsTheDrawingAndKeepsTheBackground) {
  PatternWindow pattern;
  Enter();
  ScreenImage clean = CaptureScreen();
  Drag(300, 300, 900, 400, 10);
  ASSERT_GT(CountDifferences(clean, CaptureScreen()), 100);
  TypeChord({VK_CONTROL, 'E'});
  PumpUntilInputHandled();
  EXPECT_TRUE(PumpUntil([&] { return CountDifferences(clean, CaptureScreen()) == 0; }, 3000));
  EXPECT_EQ(0, App().overlay.Picture1.CurrentPosition().x);
  EXPECT_EQ(0, App().overlay.Picture1.CurrentPosition().y);
}

TEST_F(CommandsTest, MTypedIntoTheMagnifierWhileTheOverlayIsHiddenEndsWithoutSaving) {
  magWin& mag = App().magnifier;
  mag.ShowWindowModeless();
  ASSERT_FALSE(App().overlay.IsVisible());
  ::SetForegroundWindow(mag.Hwnd());
  ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == mag.Hwnd(); }));
  ForgetStoredSettings();
  Type(L"m");
  EXPECT_TRUE(mag.IsShowing());
  EXPECT_TRUE(App().overlay.checkpalette) << "giving the focus to the hidden overlay failed";
  EXPECT_FALSE(Stored("color").has_value()) << "no save after the error path";
  // Any other key typed there is an overlay command and saves.
  Type(L"x");
  EXPECT_FALSE(App().overlay.checkpalette);
  EXPECT_EQ("255", Stored("color").value_or("missing"));
}

// Types Ctrl+`key` and answers the dialogs of the command with `steps`; what they showed, once the
// command has returned. Each step's dialog came, and no other.
std::vector<Seen> CtrlKeyAnswered(WORD key, std::vector<Step> steps) {
  DialogUser user(std::move(steps));
  TypeChord({VK_CONTROL, key});
  PumpUntilInputHandled(30000);
  user.Join();
  EXPECT_FALSE(user.timedOut) << "a dialog did not open";
  EXPECT_FALSE(user.unexpectedDialog);
  return user.seen;
}

TEST_F(CommandsTest, CtrlSAndCtrlLTypedIntoTheMagnifierAfterEscOpenTheRealDialogs) {
  // A presentation with the magnifier open ends with Esc: the overlay window is gone, the
  // magnifier stays, and its keys still reach the overlay's commands.
  Enter();
  Type(L"m");
  magWin& mag = App().magnifier;
  ASSERT_TRUE(mag.IsShowing());
  short esc = 27;
  App().overlay.Picture1_KeyPress(esc);
  ASSERT_FALSE(App().overlay.IsVisible());
  ::SetForegroundWindow(mag.Hwnd());
  ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == mag.Hwnd(); }));

  const std::wstring name = TempDir(L"mag-keys") + L"\\from-the-magnifier.bmp";
  ::DeleteFileW(name.c_str());
  const std::vector<Seen> saving = CtrlKeyAnswered('S', {{Act::EnterFileName, name}, {Act::Ok, L""}});
  ASSERT_EQ(2u, saving.size()) << "Save As and the message that it saved";
  EXPECT_TRUE(saving[0].ownerAlive);
  EXPECT_EQ(L"Image successfully saved at \r\n" + name, saving[1].text);
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(name.c_str()));
  EXPECT_FALSE(App().overlay.checkpalette);
  EXPECT_EQ("255", Stored("color").value_or("missing")) << "the command ended normally and saved";
  EXPECT_FALSE(App().overlay.IsVisible()) << "no presentation was started";

  ForgetStoredSettings();
  App().overlay.Unload();
  ::SetForegroundWindow(mag.Hwnd());
  ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == mag.Hwnd(); }));
  const std::vector<Seen> opening = CtrlKeyAnswered('L', {{Act::EnterFileName, name}});
  ASSERT_EQ(1u, opening.size()) << "the Open dialog";
  EXPECT_TRUE(opening[0].ownerAlive);
  EXPECT_FALSE(App().overlay.checkpalette);
  EXPECT_EQ("255", Stored("color").value_or("missing"));
  ASSERT_NE(nullptr, App().overlay.Picture1.GetPicture());
  EXPECT_EQ(::GetSystemMetrics(SM_CXSCREEN), App().overlay.Picture1.GetPicture()->WidthPixels());
  ::DeleteFileW(name.c_str());
}

// --- Live drawing -----------------------------------------------------------------------------------

class LiveCommandsTest : public CommandsTest {
 protected:
  void TearDown() override {
    App().live.End();
    CommandsTest::TearDown();
  }
  // Live drawing from its tray item, once it has the keyboard.
  void StartLive() {
    App().mainForm.RunMenuCommand(shell::kItemLiveDrawing);
    overlay::LiveDrawing& live = App().live;
    ASSERT_TRUE(live.IsOn());
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == live.Hwnd() && ::GetFocus() == live.Hwnd(); }));
  }
};

// The frozen overlay and live drawing, each in front: the same keys typed on the mode's own window
// take the same way to the same commands, and do the same to the settings, the marks and the
// mode's tools.
enum class Mode { Frozen, Live };

class EitherModeTest : public LiveCommandsTest, public ::testing::WithParamInterface<Mode> {
 protected:
  bool Frozen() const { return GetParam() == Mode::Frozen; }
  void Start() {
    if (Frozen()) {
      Enter();
    } else {
      StartLive();
    }
  }
  overlay::DrawingTarget& Target() {
    if (Frozen()) return App().overlay;
    return App().live;
  }
  bool PenMode() const { return Frozen() ? App().overlay.PenMode() : App().live.PenMode(); }
  overlay::CursorKind Cursor() const { return Frozen() ? App().overlay.CurrentCursor() : App().live.CurrentCursor(); }
};

TEST_P(EitherModeTest, TheSameKeysSetTheSettingsTheMarksAndTheTools) {
  Start();
  ASSERT_EQ(&Target(), App().commands.TargetInFront());
  Type(L"g");
  EXPECT_EQ("65280", Stored("color"));
  EXPECT_EQ(shell::kItemGreen, CheckedColour());
  Type(L"3");
  EXPECT_EQ("15", Stored("brushwidth"));
  EXPECT_EQ(shell::kItemFifteen, CheckedWidth());
  Type(L"e2");
  EXPECT_TRUE(Target().EraserOn());
  EXPECT_EQ("16", Stored("erasersize"));
  EXPECT_EQ(overlay::CursorKind::Eraser16, Cursor());
  EXPECT_EQ(shell::kItemFifteen, CheckedWidth()) << "with the eraser on, the width stays";
  Type(L"ep");
  EXPECT_FALSE(Target().EraserOn());
  EXPECT_TRUE(PenMode());
  EXPECT_EQ(overlay::CursorKind::Pen, Cursor());

  // c: the colour dialog over the mode; the marks stay.
  {
    ColourDialogAnswer answer(RGB(10, 20, 30));
    Type(L"c");
    answer.Join();
    ASSERT_TRUE(answer.Appeared());
  }
  EXPECT_EQ(std::to_string(RGB(10, 20, 30)), Stored("color"));
  EXPECT_EQ(shell::kItemGreen, CheckedColour());
  // The tray's Palette while the mode is on: the same dialog, and then the mark moves.
  {
    ColourDialogAnswer answer(RGB(40, 50, 60));
    App().mainForm.RunMenuCommand(shell::kItemMypalette);
    answer.Join();
    ASSERT_TRUE(answer.Appeared());
  }
  EXPECT_EQ(std::to_string(RGB(40, 50, 60)), Stored("color"));
  EXPECT_EQ(shell::kItemMypalette, CheckedColour());
  EXPECT_EQ(Frozen(), App().overlay.IsLoaded()) << "the frozen overlay is needed only in its own mode";
}

INSTANTIATE_TEST_SUITE_P(FrozenAndLive, EitherModeTest, ::testing::Values(Mode::Frozen, Mode::Live));

TEST_F(LiveCommandsTest, TheKeysOfTheFrozenPictureDoNothingAndTheTrayItemEndsIt) {
  StartLive();
  overlay::LiveDrawing& live = App().live;
  // The keys of the frozen picture do nothing here: text, the magnifier.
  Type(L"tm");
  EXPECT_FALSE(App().overlay.IsLoaded());
  EXPECT_FALSE(App().magnifier.IsLoaded());
  EXPECT_EQ(overlay::LiveDrawing::State::Inking, live.CurrentState());
  // Space: pointing.
  Type(L" ");
  EXPECT_EQ(overlay::LiveDrawing::State::Pointing, live.CurrentState());

  // The tray item again ends live drawing.
  App().mainForm.RunMenuCommand(shell::kItemLiveDrawing);
  EXPECT_FALSE(live.IsOn());
}

TEST_F(LiveCommandsTest, LiveDrawingAndPresentationModeExcludeEachOther) {
  overlay::LiveDrawing& live = App().live;
  StartLive();
  // Ctrl+Shift+Z (and the menu's stand-in for it) while live drawing is on: nothing.
  App().mainForm.SysTrayMouseEventHandler();
  EXPECT_FALSE(App().overlay.IsVisible());
  EXPECT_EQ(overlay::LiveDrawing::State::Inking, live.CurrentState());
  live.End();

  Enter();
  // Ctrl+Shift+X and the tray item while presenting: nothing.
  App().mainForm.LiveDrawingHotkey();
  App().mainForm.RunMenuCommand(shell::kItemLiveDrawing);
  EXPECT_FALSE(live.IsOn());
  EXPECT_TRUE(App().overlay.IsVisible());
}

TEST_F(LiveCommandsTest, KeepDrawingsAppliesAndExitEndsLiveDrawingKeepsItsPictureAndFreesItsHotkey) {
  const std::wstring folder = TempDir(L"live-exit");
  for (const std::wstring& n : FileNames(folder)) ::DeleteFileW((folder + L"\\" + n).c_str());
  // As the program's keeper: it keeps while the Keep Drawings switch is on.
  overlay::DrawingKeeper keeper(folder, nullptr);
  keeper.SetWanted([] { return App().AppSettings.keepdrawings != settings::kFalse; });
  overlay::LiveDrawing& live = App().live;
  live.SetKeeper(&keeper);
  auto drawAStroke = [&] {
    live.MouseDown(1, 0, 300, 300);
    live.MouseMove(1, 600, 320);
    live.MouseUp(1, 600, 320);
  };

  // Keep Drawings off: live drawing with ink ends and nothing is written.
  App().AppSettings.keepdrawings = settings::kFalse;
  StartLive();
  drawAStroke();
  live.End();
  keeper.WaitUntilIdle();
  EXPECT_EQ(0, FilesIn(folder)) << "Keep Drawings is off";

  App().AppSettings.keepdrawings = settings::kTrue;
  StartLive();
  drawAStroke();
  App().mainForm.Rest1_Click();
  EXPECT_FALSE(live.IsOn());
  keeper.WaitUntilIdle();
  live.SetKeeper(nullptr);
  EXPECT_EQ(1, FilesIn(folder)) << "the drawing was kept";
  EXPECT_FALSE(App().AnyFormLoaded()) << "nothing of live drawing keeps the program running";
  HWND probe = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  EXPECT_TRUE(::RegisterHotKey(probe, 9, MOD_CONTROL | MOD_SHIFT, 'X')) << "Ctrl+Shift+X is free again";
  ::UnregisterHotKey(probe, 9);
  ::DestroyWindow(probe);
}

TEST_F(CommandsTest, ExitRemovesTheIconAndTheHotkeysButLeavesTheMagnifierOpen) {
  form1& f = App().mainForm;
  HWND main = f.Hwnd();
  App().magnifier.ShowWindowModeless();
  Pump(300);
  Enter();
  f.Rest1_Click();
  Pump(100);
  EXPECT_FALSE(f.IsLoaded());
  EXPECT_FALSE(App().overlay.IsLoaded());
  EXPECT_FALSE(App().Tray.trayHooked);
  EXPECT_TRUE(App().magnifier.IsShowing());
  // Both key combinations are free again.
  HWND probe = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  EXPECT_TRUE(::RegisterHotKey(probe, 7, MOD_CONTROL | MOD_SHIFT, 'Z'));
  EXPECT_TRUE(::RegisterHotKey(probe, 8, MOD_CONTROL | MOD_SHIFT, 'M'));
  ::UnregisterHotKey(probe, 7);
  ::UnregisterHotKey(probe, 8);
  ::DestroyWindow(probe);
  EXPECT_FALSE(::IsWindow(main));
  EXPECT_TRUE(App().AnyFormLoaded()) << "the magnifier keeps the program alive";
  App().magnifier.UnloadWindow();
  EXPECT_FALSE(App().AnyFormLoaded());
}

// The table itself: one entry per command, every character, menu item and hotkey reaching at
// most one command, and every entry that sits in the menu having a caption to show there.
TEST(CommandTable, EveryCharacterItemAndHotkeyReachesOneCommand) {
  const auto table = shell::CommandTable();
  for (int id = static_cast<int>(overlay::CommandId::None) + 1; id <= static_cast<int>(overlay::CommandId::Menu); ++id) {
    int entries = 0;
    for (const shell::Command& c : table) entries += static_cast<int>(c.id) == id;
    EXPECT_EQ(1, entries) << "command " << id;
  }
  for (int ch = 1; ch < 256; ++ch) {
    int matches = 0;
    for (const shell::Command& c : table) matches += c.keys[0] == ch || c.keys[1] == ch;
    EXPECT_LE(matches, 1) << "character " << ch;
  }
  for (const shell::Command& c : table) {
    EXPECT_NE(c.run == nullptr, c.draw == nullptr) << "command " << static_cast<int>(c.id) << " does one thing";
    EXPECT_EQ(c.caption != nullptr, c.place != shell::MenuPlace::None) << static_cast<int>(c.id);
    if (c.caption) {
      EXPECT_EQ(c.id, shell::CommandForMenuItem(shell::MenuItemOf(c.id)));
    }
  }
  EXPECT_EQ(overlay::CommandId::PresentationMode, shell::CommandForHotkey(myhotkey::hotkeyPresentation));
  EXPECT_EQ(overlay::CommandId::ToggleMagnifier, shell::CommandForHotkey(myhotkey::hotkeyMagnifier));
  EXPECT_EQ(overlay::CommandId::None, shell::CommandForHotkey(7));
  EXPECT_EQ(overlay::CommandId::None, shell::CommandForMenuItem(0));
  EXPECT_EQ(nullptr, shell::CommandForKey(0));
  // The wheel: one command each way, the digit zero the way back.
  EXPECT_EQ(overlay::CommandId::ZoomIn, shell::CommandForWheel(1)->id);
  EXPECT_EQ(overlay::CommandId::ZoomOut, shell::CommandForWheel(-1)->id);
  EXPECT_EQ(nullptr, shell::CommandForWheel(0));
  EXPECT_EQ(overlay::CommandId::ActualSize, shell::CommandForKey('0')->id);
}

// A drawing mode of the test's own, put in front of the program's: every call is written down.
class RecordingMode : public overlay::DrawingTarget {
 public:
  bool offers = true;
  bool eraser = false;
  std::vector<std::string> calls;

  bool InFront() const override { return true; }
  bool Offers(overlay::CommandId) const override { return offers; }
  HWND DialogOwner() const override { return nullptr; }
  void Leave() override { calls.push_back("Leave"); }
  void Undo() override { calls.push_back("Undo"); }
  void Redo() override { calls.push_back("Redo"); }
  void ClearDrawing() override { calls.push_back("ClearDrawing"); }
  void TogglePen() override { calls.push_back("TogglePen"); }
  void ToggleEraser() override { calls.push_back("ToggleEraser"); }
  bool EraserOn() const override { return eraser; }
  void SetEraserSize(int16_t size) override { calls.push_back("SetEraserSize " + std::to_string(size)); }
  void ChooseColour() override { calls.push_back("ChooseColour"); }
  void SaveScreenToFile() override { calls.push_back("SaveScreenToFile"); }
  void CopyPicture() override { calls.push_back("CopyPicture"); }
  void LoadPictureFromFile() override { calls.push_back("LoadPictureFromFile"); }
  void ArmTextPlacement() override { calls.push_back("ArmTextPlacement"); }
  void FocusSurface() override { calls.push_back("FocusSurface"); }
  void ZoomBy(int notches) override { calls.push_back("ZoomBy " + std::to_string(notches)); }
  void ActualSize() override { calls.push_back("ActualSize"); }
  void TurnToPage(overlay::PageKind page) override {
    calls.push_back("TurnToPage " + std::to_string(static_cast<int>(page)));
  }
  void StartPointing() override { calls.push_back("StartPointing"); }
};

// Every drawing command of the table, by its key or its wheel notch, goes to the mode in front and
// to nothing else: the overlay and live drawing stay as they were. A mode that offers none of them
// gets none, and the keys do nothing but save the settings.
TEST_F(CommandsTest, EveryDrawingCommandReachesTheModeInFrontAndNothingElse) {
  using overlay::CommandId;
  const std::map<CommandId, std::string> expected = {
      {CommandId::SaveScreen, "SaveScreenToFile"},     {CommandId::OpenImage, "LoadPictureFromFile"},
      {CommandId::Leave, "Leave"},                     {CommandId::ClearDrawing, "ClearDrawing"},
      {CommandId::TogglePen, "TogglePen"},             {CommandId::ColourDialog, "ChooseColour"},
      {CommandId::ToggleEraser, "ToggleEraser"},       {CommandId::Size1, "SetEraserSize 8"},
      {CommandId::Size2, "SetEraserSize 16"},          {CommandId::Size3, "SetEraserSize 24"},
      {CommandId::Size4, "SetEraserSize 32"},          {CommandId::MagnifierKey, "FocusSurface"},
      {CommandId::ArmText, "ArmTextPlacement"},        {CommandId::Undo, "Undo"},
      {CommandId::Redo, "Redo"},                       {CommandId::CopyPicture, "CopyPicture"},
      {CommandId::ActualSize, "ActualSize"},           {CommandId::WhitePage, "TurnToPage 1"},
      {CommandId::BlackPage, "TurnToPage 2"},          {CommandId::Pointing, "StartPointing"},
      {CommandId::ZoomIn, "ZoomBy 1"},                 {CommandId::ZoomOut, "ZoomBy -1"},
  };
  RecordingMode mode;
  mode.eraser = true;  // the digits then size the eraser, which only the mode knows
  App().commands.AddTarget(&mode);
  auto runAsTheUserDoes = [](const shell::Command& c) {
    if (c.keys[0]) return App().commands.RunKey(c.keys[0]);
    App().commands.RunWheel(c.wheel);
    return true;
  };
  int drawing = 0;
  for (const shell::Command& c : shell::CommandTable()) {
    if (!c.draw) continue;
    ++drawing;
    const auto wanted = expected.find(c.id);
    ASSERT_NE(expected.end(), wanted) << "command " << static_cast<int>(c.id) << " has no expectation here";
    mode.calls.clear();
    EXPECT_TRUE(runAsTheUserDoes(c));
    EXPECT_EQ(std::vector<std::string>{wanted->second}, mode.calls) << "command " << static_cast<int>(c.id);
    if (App().magnifier.IsLoaded()) App().magnifier.UnloadWindow();  // m shows it, as it should
  }
  EXPECT_EQ(expected.size(), static_cast<size_t>(drawing));
  EXPECT_FALSE(App().overlay.IsLoaded()) << "the overlay was left alone";
  EXPECT_FALSE(App().live.IsOn());

  mode.offers = false;
  mode.calls.clear();
  ForgetStoredSettings();
  for (const shell::Command& c : shell::CommandTable()) {
    if (c.draw) runAsTheUserDoes(c);
  }
  EXPECT_TRUE(mode.calls.empty());
  EXPECT_FALSE(App().overlay.IsLoaded()) << "a command the mode in front does not offer goes nowhere else";
  EXPECT_FALSE(App().magnifier.IsLoaded());
  EXPECT_EQ("255", Stored("color").value_or("missing")) << "the save after every key";
  App().commands.RemoveTarget(&mode);
}

// The right button on the frozen screen opens the tray menu with the marks the settings give
// (a colour from the dialog key leaves them); the item chosen there runs as from the icon.
TEST_F(CommandsTest, TheMenuOnTheOverlayShowsTheMarksOfTheSettingsAndRunsTheChosenItem) {
  Enter();
  Type(L"r");
  Type(L"3");
  {
    ColourDialogAnswer answer(RGB(10, 20, 30));
    Type(L"c");
    answer.Join();
    ASSERT_TRUE(answer.Appeared());
  }
  ASSERT_EQ(static_cast<int32_t>(RGB(10, 20, 30)), App().AppSettings.color);
  // Past the time the overlay takes the keys back from any window of ours that has them.
  ASSERT_TRUE(PumpUntil([] { return !App().overlay.ClaimsKeyboard(); }));
  std::vector<UINT> checkedWhileOpen;
  AnswerWhenShown chooser(L"#32768", false, 5000, [&](HWND menu) {
    WaitUntilReadyForInput(menu);
    for (UINT id : shell::kColourGroup)
      if (App().mainForm.RCPopup.IsChecked(id)) checkedWhileOpen.push_back(id);
    for (UINT id : shell::kWidthGroup)
      if (App().mainForm.RCPopup.IsChecked(id)) checkedWhileOpen.push_back(id);
    // Colours, its submenu, down from Red to Green.
    for (WORD key : {VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}) TapKey(key);
  });
  MouseMoveTo(900, 500);
  Pump(50);
  MouseButton(2, true);
  Pump(50);
  MouseButton(2, false);
  chooser.Join();
  ASSERT_NE(nullptr, chooser.Window()) << "no menu";
  EXPECT_TRUE(PumpUntil([] { return App().AppSettings.color == shell::kColorGreen; }));
  EXPECT_EQ((std::vector<UINT>{shell::kItemRed, shell::kItemFifteen}), checkedWhileOpen);
  EXPECT_EQ(shell::kItemGreen, CheckedColour());
  EXPECT_EQ("65280", Stored("color").value_or("missing"));
  EXPECT_TRUE(App().overlay.IsVisible()) << "the presentation goes on";
}

// Keys typed while the magnifier has the keyboard are the overlay's commands, one by one as on the
// overlay itself.
TEST_F(CommandsTest, KeysTypedIntoTheMagnifierActOnTheOverlay) {
  Enter();
  Type(L"m");
  magWin& mag = App().magnifier;
  ASSERT_TRUE(mag.IsShowing());
  ss& o = App().overlay;
  ::SetForegroundWindow(mag.Hwnd());
  ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == mag.Hwnd(); }));
  Type(L"p");
  EXPECT_TRUE(o.PenMode());
  EXPECT_EQ(overlay::CursorKind::Pen, o.CurrentCursor());
  Type(L"y");
  EXPECT_EQ(shell::kColorYellow, App().AppSettings.color);
  EXPECT_EQ(shell::kItemYellow, CheckedColour());
  Type(L"2");
  EXPECT_EQ(10, App().AppSettings.brushwidth);
  Type(L"e");
  EXPECT_TRUE(o.EraserOn());
  Type(L"2");
  EXPECT_EQ(16, App().AppSettings.erasersize);
  EXPECT_EQ(overlay::CursorKind::Eraser16, o.CurrentCursor());
  EXPECT_EQ(10, App().AppSettings.brushwidth);
  EXPECT_EQ("16", Stored("erasersize").value_or("missing"));
  TapKey(VK_ESCAPE);
  PumpUntilInputHandled();
  EXPECT_FALSE(o.IsVisible()) << "Esc in the magnifier ends the presentation";
  EXPECT_TRUE(mag.IsShowing()) << "and leaves the magnifier";
}

}  // namespace

namespace {

// Top-level windows of this process that are visible.
size_t VisibleWindowsOfThisProcess() {
  return TopLevelWindows([](HWND w) { return OfThisProcess(w) && ::IsWindowVisible(w); }).size();
}

class DocumentationTest : public CommandsTest {
 protected:
  // `command` as the program that opens PDF files, as an installed viewer registers itself.
  static void RegisterPdfViewer(const std::string& command) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\.pdf", 0, nullptr, 0,
                                               KEY_ALL_ACCESS, nullptr, &key, nullptr));
    ::RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("ScrivaneTestPdfViewer"), 22);
    ::RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                                               "Software\\Classes\\ScrivaneTestPdfViewer\\shell\\open\\command", 0,
                                               nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    ::RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                     static_cast<DWORD>(command.size() + 1));
    ::RegCloseKey(key);
  }
  void TearDown() override {
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Classes\\.pdf");
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Classes\\ScrivaneTestPdfViewer");
    CommandsTest::TearDown();
  }
};

TEST_F(DocumentationTest, WithoutAViewerNothingVisibleHappens) {
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Classes\\.pdf");
  const size_t before = VisibleWindowsOfThisProcess();
  App().mainForm.dochelp_Click();
  Pump(1500);
  EXPECT_EQ(before, VisibleWindowsOfThisProcess());
}

TEST_F(DocumentationTest, TheViewerOpensScrivanePdfNextToTheProgram) {
  // A stand-in viewer: the command interpreter writes the file name it was given to a file.
  wchar_t exe[MAX_PATH];
  ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring folder(exe);
  folder = folder.substr(0, folder.find_last_of(L"\\/"));
  const std::wstring out = ScreenshotDir() + L"\\viewer-was-given.txt";
  ::DeleteFileW(out.c_str());
  const std::string outA(out.begin(), out.end());
  const std::string command = "cmd.exe /c echo %1> \"" + outA + "\"";
  ASSERT_NO_FATAL_FAILURE(RegisterPdfViewer(command));

  App().mainForm.dochelp_Click();
  std::string given;
  PumpUntil(
      [&] {
        HANDLE f = ::CreateFileW(out.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr);
        if (f == INVALID_HANDLE_VALUE) return false;
        char buffer[1024] = {};
        DWORD read = 0;
        ::ReadFile(f, buffer, sizeof buffer - 1, &read, nullptr);
        ::CloseHandle(f);
        given.assign(buffer, read);
        return given.find("Scrivane.pdf") != std::string::npos;
      },
      10000);
  const std::string expected(folder.begin(), folder.end());
  EXPECT_NE(std::string::npos, given.find(expected + "\\Scrivane.pdf")) << given;
}

}  // namespace

namespace {

// A window of the test's thread that notes the markers posted to it. Messages posted to a thread
// are handled in order, so once a marker has arrived, whatever was posted before it (a hotkey's
// WM_HOTKEY) has been handled too, even inside a dialog's modal loop.
class QueueMarker {
 public:
  QueueMarker() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (m == WM_APP) {
        reinterpret_cast<QueueMarker*>(::GetWindowLongPtrW(h, GWLP_USERDATA))->seen_ = static_cast<int>(w);
        return 0;
      }
      return ::DefWindowProcW(h, m, w, l);
    };
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ScrivaneTestQueueMarker";
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~QueueMarker() { ::DestroyWindow(hwnd_); }
  // From another thread: posts marker n and waits until the test's thread has handled it.
  bool PostAndWait(int n) {
    ::PostMessageW(hwnd_, WM_APP, static_cast<WPARAM>(n), 0);
    for (int i = 0; i < 500; ++i) {
      if (seen_ == n) return true;
      ::Sleep(10);
    }
    return false;
  }

 private:
  HWND hwnd_ = nullptr;
  std::atomic<int> seen_{0};
};

// While a command of ours waits in a dialog on the test's thread, a second thread presses a
// hotkey, waits until its message has been handled, notes what it finds, and answers the dialog.
class HotkeyDuringDialog {
 public:
  HotkeyDuringDialog(WORD key, std::function<void()> look, WORD answer, const std::wstring& fileName = L"",
                     HWND notThisOne = nullptr)
      : user_(
            L"#32770", true, 10000,
            [=, this](HWND dialog) {
              TypeChord({VK_CONTROL, VK_SHIFT, key});
              handled_ = marker_.PostAndWait(1);
              look();
              if (!fileName.empty()) ::SetWindowTextW(::GetDlgItem(dialog, 0x47c), fileName.c_str());
              ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
            },
            {notThisOne}) {}
  void Join() { user_.Join(); }
  bool Ran() const { return user_.Window() != nullptr && handled_; }
  HWND Dialog() const { return user_.Window(); }

 private:
  QueueMarker marker_;
  std::atomic<bool> handled_{false};
  AnswerWhenShown user_;
};

bool MagnifierOnScreen() {
  HWND mag = ::FindWindowW(L"ScrivaneMagnifier", nullptr);
  return mag && ::IsWindowVisible(mag);
}

TEST_F(CommandsTest, HotkeysWaitWhileTheColourDialogIsUp) {
  Enter();
  ss& o = App().overlay;
  const base::Picture frozen = o.Picture1.GetPicture();
  std::atomic<bool> magnifierShown{true};
  {
    HotkeyDuringDialog user('M', [&] { magnifierShown = MagnifierOnScreen(); }, IDCANCEL);
    short c = 'c';
    o.Picture1_KeyPress(c);
    user.Join();
    ASSERT_TRUE(user.Ran());
  }
  EXPECT_FALSE(magnifierShown) << "Ctrl+Shift+M opened the magnifier under the colour dialog";
  {
    HotkeyDuringDialog user('Z', [] {}, IDCANCEL);
    short c = 'c';
    o.Picture1_KeyPress(c);
    user.Join();
    ASSERT_TRUE(user.Ran());
  }
  EXPECT_EQ(frozen, o.Picture1.GetPicture()) << "Ctrl+Shift+Z grabbed the screen under the colour dialog";
  EXPECT_EQ(frozen, o.Picture2.GetPicture());
}

TEST_F(CommandsTest, HotkeysWaitWhileSaveAsAndItsConfirmationAreUp) {
  Enter();
  ss& o = App().overlay;
  const base::Picture clean = o.Picture2.GetPicture();
  // Ctrl+Shift+Z with Save As open, then cancel: no new grab, the eraser's clean copy untouched.
  {
    HotkeyDuringDialog user('Z', [] {}, IDCANCEL);
    short ctrlS = 19;
    o.Picture1_KeyPress(ctrlS);
    user.Join();
    ASSERT_TRUE(user.Ran());
  }
  EXPECT_EQ(clean, o.Picture1.GetPicture());
  EXPECT_EQ(clean, o.Picture2.GetPicture());
  // A save that goes through, with Ctrl+Shift+Z pressed while the confirmation is up: the saved
  // grab becomes the background as always, and the clean copy stays the first grab.
  const std::wstring name = TempDir(L"hotkey-dialog") + L"\\saved.bmp";
  ::DeleteFileW(name.c_str());
  std::thread saver;
  {
    HotkeyDuringDialog nameIt('M', [] {}, IDOK, name);
    std::atomic<bool> magnifierShown{true};
    saver = std::thread([&] {
      nameIt.Join();
      // The confirmation comes next.
      HotkeyDuringDialog confirm('Z', [&] { magnifierShown = MagnifierOnScreen(); }, IDOK, L"", nameIt.Dialog());
      confirm.Join();
    });
    short ctrlS = 19;
    o.Picture1_KeyPress(ctrlS);
    saver.join();
    EXPECT_FALSE(magnifierShown);
  }
  EXPECT_EQ(o.Picture3.GetPicture(), o.Picture1.GetPicture());
  EXPECT_EQ(clean, o.Picture2.GetPicture());
  EXPECT_FALSE(MagnifierOnScreen());
}

TEST_F(DocumentationTest, AViewerOpenedDuringTheFirstHalfSecondOfAPresentationStaysInFront) {
  // The stand-in viewer is Wine's Notepad: a window of another program that Documentation raises.
  const std::string command = "notepad.exe \"%1\"";
  ASSERT_NO_FATAL_FAILURE(RegisterPdfViewer(command));

  // Presentation mode, and Documentation at once, while the overlay still watches the keyboard.
  App().mainForm.SysTrayMouseEventHandler();
  App().mainForm.dochelp_Click();
  auto viewerInFront = [] {
    HWND front = ::GetForegroundWindow();
    DWORD pid = 0;
    if (front) ::GetWindowThreadProcessId(front, &pid);
    return front && pid != ::GetCurrentProcessId();
  };
  ASSERT_TRUE(PumpUntil(viewerInFront, 15000)) << "the viewer never came to the front";
  HWND viewer = ::GetForegroundWindow();
  DWORD viewerPid = 0;
  ::GetWindowThreadProcessId(viewer, &viewerPid);
  // It stays there for as long as the overlay would take the keyboard back (half a second) and
  // well beyond.
  int pushedBack = 0;
  for (int i = 0; i < 40; ++i) {
    Pump(50);
    if (!viewerInFront()) ++pushedBack;
  }
  EXPECT_EQ(0, pushedBack) << "the overlay took the keyboard from the viewer";
  if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, viewerPid)) {
    ::TerminateProcess(process, 0);
    ::CloseHandle(process);
  }
}

// A visible top-level window of another process whose title holds `text`.
HWND OtherProcessWindowTitled(const std::wstring& text) {
  return FindTopLevelWindow([&](HWND w) {
    wchar_t title[512] = {};
    ::GetWindowTextW(w, title, 512);
    return !OfThisProcess(w) && ::IsWindowVisible(w) && std::wstring(title).find(text) != std::wstring::npos;
  });
}

TEST_F(CommandsTest, RecentDrawingsMakesTheFolderAndOpensItInExplorer) {
  const std::wstring folder = overlay::DrawingKeeper::DefaultFolder();
  ::RemoveDirectoryW(folder.c_str());
  // Above Options and Exit in the menu.
  HMENU menu = App().mainForm.RCPopup.Handle();
  const int count = ::GetMenuItemCount(menu);
  EXPECT_EQ(shell::kItemRecentDrawings, ::GetMenuItemID(menu, count - 3));
  EXPECT_EQ(shell::kItemRest1, ::GetMenuItemID(menu, count - 1));

  App().mainForm.RunMenuCommand(shell::kItemRecentDrawings);
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  HWND explorer = nullptr;
  EXPECT_TRUE(PumpUntil([&] { return (explorer = OtherProcessWindowTitled(L"Drawings")) != nullptr; }, 15000));
  if (explorer) ::PostMessageW(explorer, WM_CLOSE, 0, 0);
}

}  // namespace
