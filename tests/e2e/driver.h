// Drives the real scrivane.exe from a test program running under the same Wine: starts it, finds
// its windows by class and title, reads what they show and what it stored in the registry,
// dismisses its message boxes and cleans up after it. Real input comes from testing_support.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"

namespace e2e {

// The folder of this test program: the build's bin folder, where scrivane.exe lies too.
std::wstring BinDir();

// Polls `done` every `pollMs`, dispatching this thread's messages meanwhile.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs, int pollMs = 20);

// What a window is found by. An empty class or title matches any.
struct WindowQuery {
  std::wstring className;
  std::optional<std::wstring> title;
  bool visibleOnly = true;
};

// The program's windows, and the system's popup menus and dialogs it shows.
inline const WindowQuery kMainForm{L"ScrivaneMainForm", L"Scrivane", false};
inline const WindowQuery kSplash{L"ScrivaneSplash", std::nullopt, true};
inline const WindowQuery kHelp{L"ScrivaneHelp", std::nullopt, true};
inline const WindowQuery kOverlay{L"ScrivaneOverlay", std::nullopt, true};
inline const WindowQuery kMagnifier{L"", L"Magnifier", true};
inline const WindowQuery kMenu{L"#32768", std::nullopt, true};
inline const WindowQuery kDialog{L"#32770", std::nullopt, true};

// The splash lasts three seconds; a start-up that has not handed off after this is broken.
constexpr int kHandOffTimeoutMs = 15000;

class App {
 public:
  App() = default;
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Starts scrivane.exe from the bin folder; or the program `exe`, a name in the bin folder or a
  // full path (an installed copy, an installer), in its own folder, with `arguments` after its
  // quoted name. `tickAtStart` is GetTickCount64 just before CreateProcessW.
  bool Start(const std::wstring& exe = {}, const std::wstring& arguments = {});
  bool Running() const;
  DWORD Pid() const { return pid_; }
  HANDLE Process() const { return process_; }
  ULONGLONG TickAtStart() const { return tickAtStart_; }
  // Waits for the process to end; its exit code, or nullopt on timeout.
  std::optional<DWORD> WaitForExit(int timeoutMs);
  // Asks the main form to close (which takes the icon with it), waits, and kills the process if it
  // has not ended by then. The handle is released either way.
  void Stop(int timeoutMs = 3000);
  void Kill();

  // Top-level windows of the process, in Z order.
  std::vector<HWND> Windows(bool visibleOnly) const;
  HWND Find(const WindowQuery& q) const;
  HWND WaitFor(const WindowQuery& q, int timeoutMs) const;
  // The message box (#32770) of the process, visible, or null.
  HWND MessageBox() const;
  // User plus kernel time of the process so far, in seconds.
  double CpuSeconds() const;

 private:
  HANDLE process_ = nullptr;
  HANDLE thread_ = nullptr;
  DWORD pid_ = 0;
  ULONGLONG tickAtStart_ = 0;
};

std::wstring ClassOf(HWND hwnd);
// The window's text, read with WM_GETTEXT (works across processes for any window).
std::wstring TextOf(HWND hwnd);
std::vector<HWND> Children(HWND parent);
HWND ChildWithText(HWND parent, const std::wstring& text);
// The client rectangle in screen coordinates.
RECT ClientOnScreen(HWND hwnd);
RECT WindowRectOf(HWND hwnd);

// Message boxes: the text is the static control 0xFFFF; OK dismisses.
std::wstring MessageBoxText(HWND box);
void DismissMessageBox(HWND box);

// Brings `w` to the front, again if something else takes it back, until it is there.
bool BringToFront(HWND w, int timeoutMs = 5000);
// The screen once it has stopped changing: two captures in a row the same.
testing_support::ScreenImage SettledScreen(int timeoutMs = 5000);

// A real left click in the middle of a window (SendInput).
void ClickCentre(HWND hwnd);
// The same click once it can land: the window and its top-level window visible and enabled, the
// top-level window in front and its thread answering, and the pointer over the window (nothing
// covering it). False, without a click, when that is not so within `timeoutMs`.
bool ClickWhenReady(HWND hwnd, int timeoutMs = 10000);
// That click, made again (at most twice) while `done` does not become true soon after it; true once
// `done` is. For clicks whose effect can be seen and that do no harm when they come twice.
bool ClickUntil(HWND hwnd, const std::function<bool()>& done, int timeoutMs = 15000);

// Moves the pointer to `p` and waits until the system has it there.
void MovePointer(POINT p);

// The end of a drag with the left button held: the move to `last` is made again until `endShows`
// (a program busy showing its frames may handle the X server's late word of an earlier move after
// it, and that one takes the place of the last in its queue), then the button goes up there.
void ReleaseOnceShown(POINT last, const std::function<bool()>& endShows);

// A drag with `keys` held from `press` through `path`, on `window` of the program, as a presenter
// makes a shape. Under Wine a program takes Shift and Ctrl as the X server has them when the
// pointer moves over it, and the X server knows nothing of keys pressed with SendInput. So the
// pointer goes to the press first, the window handles that move (a message round trip after it),
// and only then do the keys go down: nothing moves between them and the press. On a busy machine
// the X server's word can still come in before the press: the press then starts a freehand
// stroke, whose first dot shows at once where a shape's press draws nothing (`dotShows` looks for
// it). That dot is let go, taken back with Ctrl+Z, and the press made again. False when the
// program never had the keys at the press. With `endShows`, the release comes once the last move
// shows (ReleaseOnceShown).
bool DragWithKeys(HWND window, const std::vector<WORD>& keys, POINT press, const std::vector<POINT>& path,
                  const std::function<bool()>& dotShows, const std::function<bool()>& endShows = nullptr);

// The pixel `back` pixels back from an arrow's tip `to` along its line from `from`, and `side`
// pixels to one side of that line: where its head is, for a check of the head's pixels.
POINT BesideArrow(POINT from, POINT to, double back, int side);

// The program's key below HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER.
inline constexpr char kSettingsKey[] = "Software\\Scrivane";

// Registry, through the ANSI functions as the program uses them.
std::optional<std::string> ReadRegString(HKEY root, const char* subkey, const char* value);
bool WriteRegString(HKEY root, const char* subkey, const char* value, const std::string& data);
bool KeyExists(HKEY root, const char* subkey);
// A clean slate: HKLM and HKCU Software\Scrivane gone.
void DeleteScrivaneKeys();
// The clean slate with the help window turned off at start (on with `helpWindow`), the notice
// of the first kept drawing given already, and the stored settings given as value name and text
// (which may override both); false when one could not be written.
bool FreshSettings(std::initializer_list<std::pair<const char*, const char*>> values = {}, bool helpWindow = false);

// Starts scrivane.exe and waits for the end of the hand-off: its main form there and the splash
// window gone; false when either fails.
bool StartUntilHandOff(App& app);

// --- Presenting, as a presenter does it ------------------------------------------------------
// Ctrl+Shift+Z; the overlay once it is shown, in front and answering messages (null if it does
// not come).
HWND EnterPresentation(const App& app, int timeoutMs = 10000);
// Esc; true once the overlay has gone.
bool LeavePresentation(const App& app, int timeoutMs = 10000);
// Runs `act` (a key, say) while a second thread looks at the window in front as often as it can,
// until `w` has answered after it: true when another window, or none, was in front meanwhile, even
// for a moment. Under Wine a window of ours loses the front for about a millisecond when Wine tells
// its thread late that the notification area's window took the keyboard (after a window of ours
// that had it went): a key pressed then is lost.
bool FrontLostWhile(HWND w, const std::function<void()>& act);
// Where the highlighter draws for the pointer at `pointer`: the tip of its cursor, at 96 dpi 9
// pixels left of the pointer and 11 below. (Another process's cursor cannot be read here.)
POINT HighlighterTip(POINT pointer);
// A drag of the left button through `path` with real input, with the highlighter in `penRgb`
// (0xRRGGBB) over the screen `before`: each press and move goes once the one before it shows (the
// pen's colour AND the pixel under it, at the tool's place; OR on the black page, `onBlack`), where
// it shows at all. A stroke that stops short is taken back with Ctrl+Z and made again: whatever
// happens, it is one step. False when the end of the stroke would not show, or the stroke does not
// come within `timeoutMs`.
bool StrokeThrough(const std::vector<POINT>& path, const testing_support::ScreenImage& before, uint32_t penRgb,
                   int timeoutMs = 30000, bool onBlack = false);
// A turn of the pattern for presentation number `n` (PatternWindow::Repaint), so that every
// presentation's desktop is a picture of its own; never in the red part, which the red pen keeps.
uint32_t PresentationSalt(int n);
// One presentation over the desktop of a PatternWindow (turned or not, its white bar lighter than
// the pen): Ctrl+Shift+Z, `strokes` (up to 10) highlighter strokes in the colour `penRgb`
// (0xRRGGBB), each ending in the white bar, then Esc. With `states`, the
// fingerprints of the screen after the entry and after every stroke are added to it. False, with
// the reason in `failure`, when a step did not come.
bool GivePresentation(const App& app, int strokes, uint32_t penRgb, std::vector<uint64_t>* states,
                      std::string& failure);
// The private bytes of the running program (see testing_support::UnixMemory); 0 when not known.
size_t PrivateBytes(const App& app);
// Where they are: its large anonymous regions (4 MB and more) one by one, the rest together.
std::string WherePrivateBytesAre(const App& app);

// Opens the tray menu the way the shell does (a right-button press on the icon) and waits for it.
HWND OpenTrayMenu(const App& app);
// Clicks the first or the last item of an open popup menu, a few pixels inside its frame. A click
// reaches the menu whatever window the window manager thinks has the keyboard.
void ClickMenuItem(HWND menu, bool last);
// Opens the tray menu and clicks its last item (Exit) or its first, then waits for it to close.
bool ChooseFromTrayMenu(const App& app, bool last);
// Opens the tray menu, which has `itemCount` items of one height (text items, no separators), and
// clicks the one `fromBottom` places above its last, then waits for it to close. A click reaches
// the menu whatever window has the keyboard.
bool ChooseFromTrayMenuBottom(const App& app, int fromBottom, int itemCount);
// The tray menu's items (as the program starts, every hotkey its own), and where the items near
// its end are, counted from "Exit" (0).
constexpr int kTrayMenuItems = 10;
constexpr int kOptionsFromBottom = 1;
constexpr int kRecentDrawingsFromBottom = 2;
constexpr int kKeepDrawingsFromBottom = 3;

// A window of the test, shown, standing in for the program the presenter works in: it counts the
// presses of `key` together with Ctrl and Shift that it is given (the keys a hotkey of ours takes
// from every other program while it is registered).
class StandIn {
 public:
  explicit StandIn(WORD key);
  ~StandIn();
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;
  HWND Hwnd() const { return hwnd_; }
  int Presses() const { return presses_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  WORD key_;
  int presses_ = 0;
  HWND hwnd_ = nullptr;
};

// The balloon of Wine's tray (a tooltip window of explorer's) whose text is `text`; null when
// none shows within `timeoutMs`.
HWND FindBalloon(const std::wstring& text, int timeoutMs = 15000);

// Where the program keeps its drawings: %LOCALAPPDATA%\Scrivane\Drawings.
std::wstring DrawingsFolder();
// The PNG files in `folder`, sorted by name; and all of them removed.
std::vector<std::wstring> PngsIn(const std::wstring& folder);
void EmptyFolder(const std::wstring& folder);

// The Unix side: a Wine path as a Unix path, and a shell command run there, waited for (false
// when it could not start or did not end within 20 s).
std::string UnixPath(const std::wstring& path);
bool RunUnix(const std::string& command);

// The notification area as Wine's explorer shows it: icons in its stand-alone tray window.
// The number of icons there, or -1 when no such window exists.
int CountTrayIcons();
// The window of the first icon in Wine's stand-alone tray, for a real click on it; null if none.
HWND FirstTrayIconWindow();
// The screen image with Wine's stand-alone tray window blacked out. Wine, not the program, draws
// that window, adds the icon to it and activates it in its own time (on a busy machine seconds
// after the icon was announced), so a comparison of what the program shows of the desktop leaves
// it out.
testing_support::ScreenImage WithoutTrayWindow(testing_support::ScreenImage image);

}  // namespace e2e
