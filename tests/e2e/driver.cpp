#include "e2e/driver.h"

#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>

#include "support/side_thread.h"
#include "support/test_support.h"
#include "support/xwatch_client.h"

namespace e2e {

std::wstring BinDir() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  return dir.substr(0, dir.find_last_of(L"\\/"));
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs, int pollMs) {
  const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
  for (;;) {
    if (done()) return true;
    if (::GetTickCount64() >= end) return false;
    testing_support::Pump(pollMs);
  }
}

App::~App() { Kill(); }

bool App::Start(const std::wstring& program, const std::wstring& arguments) {
  Kill();
  const std::wstring exe = program.empty()                                   ? BinDir() + L"\\scrivane.exe"
                           : program.find_first_of(L"\\/") == std::wstring::npos ? BinDir() + L"\\" + program
                                                                                : program;
  const std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/"));
  std::wstring commandLine = L"\"" + exe + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  tickAtStart_ = ::GetTickCount64();
  if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                        &pi)) {
    return false;
  }
  process_ = pi.hProcess;
  thread_ = pi.hThread;
  pid_ = pi.dwProcessId;
  return true;
}

bool App::Running() const { return process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

std::optional<DWORD> App::WaitForExit(int timeoutMs) {
  if (!process_) return std::nullopt;
  bool ended = WaitUntil([this] { return ::WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }, timeoutMs);
  if (!ended) return std::nullopt;
  DWORD code = 0;
  ::GetExitCodeProcess(process_, &code);
  return code;
}

void App::Stop(int timeoutMs) {
  if (!process_) return;
  if (Running()) {
    // The main form closes with its icon and hotkeys; open help or magnifier windows go too.
    for (HWND w : Windows(false)) {
      std::wstring cls = ClassOf(w);
      if (cls.rfind(L"Scrivane", 0) == 0 || TextOf(w) == L"Magnifier") ::PostMessageW(w, WM_CLOSE, 0, 0);
    }
    if (!WaitForExit(timeoutMs)) ::TerminateProcess(process_, 1);
  }
  Kill();
}

void App::Kill() {
  if (process_) {
    if (Running()) {
      ::TerminateProcess(process_, 1);
      ::WaitForSingleObject(process_, 5000);
    }
    ::CloseHandle(process_);
  }
  if (thread_) ::CloseHandle(thread_);
  process_ = thread_ = nullptr;
  pid_ = 0;
}

namespace {
struct EnumState {
  DWORD pid;
  bool visibleOnly;
  std::vector<HWND>* out;
};
BOOL CALLBACK CollectProcessWindows(HWND hwnd, LPARAM lParam) {
  auto* s = reinterpret_cast<EnumState*>(lParam);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid == s->pid && (!s->visibleOnly || ::IsWindowVisible(hwnd))) s->out->push_back(hwnd);
  return TRUE;
}
BOOL CALLBACK CollectAll(HWND hwnd, LPARAM lParam) {
  reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
  return TRUE;
}
}  // namespace

std::vector<HWND> App::Windows(bool visibleOnly) const {
  std::vector<HWND> out;
  if (!pid_) return out;
  EnumState s{pid_, visibleOnly, &out};
  ::EnumWindows(&CollectProcessWindows, reinterpret_cast<LPARAM>(&s));
  return out;
}

HWND App::Find(const WindowQuery& q) const {
  for (HWND w : Windows(q.visibleOnly)) {
    if (!q.className.empty() && ClassOf(w) != q.className) continue;
    if (q.title && TextOf(w) != *q.title) continue;
    return w;
  }
  return nullptr;
}

HWND App::WaitFor(const WindowQuery& q, int timeoutMs) const {
  HWND found = nullptr;
  WaitUntil([&] { return (found = Find(q)) != nullptr; }, timeoutMs);
  return found;
}

HWND App::MessageBox() const { return Find({L"#32770", std::nullopt, true}); }

double App::CpuSeconds() const { return testing_support::CpuSeconds(process_); }

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[256] = {};
  ::GetClassNameW(hwnd, name, 256);
  return name;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t text[1024] = {};
  DWORD_PTR copied = 0;
  ::SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &copied);
  return text;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> out;
  for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) out.push_back(c);
  return out;
}

HWND ChildWithText(HWND parent, const std::wstring& text) {
  for (HWND c : Children(parent)) {
    if (TextOf(c) == text) return c;
  }
  return nullptr;
}

RECT ClientOnScreen(HWND hwnd) {
  RECT rc{};
  ::GetClientRect(hwnd, &rc);
  ::MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

RECT WindowRectOf(HWND hwnd) {
  RECT rc{};
  ::GetWindowRect(hwnd, &rc);
  return rc;
}

std::wstring MessageBoxText(HWND box) {
  HWND text = ::GetDlgItem(box, 0xFFFF);
  return text ? TextOf(text) : std::wstring();
}

void DismissMessageBox(HWND box) {
  HWND ok = ::GetDlgItem(box, IDOK);
  if (ok) {
    ::PostMessageW(ok, BM_CLICK, 0, 0);
  } else {
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
}

void ClickCentre(HWND hwnd) {
  RECT rc = WindowRectOf(hwnd);
  const int x = (rc.left + rc.right) / 2;
  const int y = (rc.top + rc.bottom) / 2;
  testing_support::MouseMoveTo(x, y);
  testing_support::Pump(30);
  testing_support::MouseButton(1, true);
  testing_support::Pump(30);
  testing_support::MouseButton(1, false);
  testing_support::Pump(30);
}

void MovePointer(POINT p) {
  testing_support::MouseMoveTo(p.x, p.y);
  WaitUntil(
      [&] {
        POINT now{};
        ::GetCursorPos(&now);
        return now.x == p.x && now.y == p.y;
      },
      2000);
}

POINT BesideArrow(POINT from, POINT to, double back, int side) {
  const double length = std::hypot(to.x - from.x, to.y - from.y);
  const double ux = (to.x - from.x) / length, uy = (to.y - from.y) / length;
  return {static_cast<LONG>(std::lround(to.x - back * ux - side * uy)),
          static_cast<LONG>(std::lround(to.y - back * uy + side * ux))};
}

void ReleaseOnceShown(POINT last, const std::function<bool()>& endShows) {
  WaitUntil(
      [&] {
        if (endShows()) return true;
        testing_support::MouseMoveTo(last.x, last.y);
        return false;
      },
      5000, 50);
  testing_support::MouseButtonAt(1, false, last);
}

bool DragWithKeys(HWND window, const std::vector<WORD>& keys, POINT press, const std::vector<POINT>& path,
                  const std::function<bool()>& dotShows, const std::function<bool()>& endShows) {
  using namespace testing_support;
  auto held = [&](bool down) {
    for (WORD k : keys)
      if ((::GetAsyncKeyState(k) < 0) != down) return false;
    return true;
  };
  for (int attempt = 0;; ++attempt) {
    if (attempt == 5) return false;
    MovePointer(press);
    for (int i = 0; i < 2; ++i) {
      if (!WaitUntilReadyForInput(window, 2000)) return false;
    }
    if (!WaitUntil([&] { return held(false); }, 2000)) return false;
    for (WORD k : keys) KeyDown(k);
    if (!WaitUntil([&] { return held(true); }, 2000) || !WaitUntilReadyForInput(window, 2000) || !held(true)) {
      std::printf("[ note     ] the keys for the press at %ld,%ld went up at once; once more\n", press.x, press.y);
      for (WORD k : keys) KeyUp(k);
      continue;
    }
    MouseButton(1, true);
    if (!WaitUntilReadyForInput(window, 2000)) return false;
    if (!WaitUntil(dotShows, 1000)) break;  // a shape has begun
    std::printf("[ note     ] the press at %ld,%ld came without the keys; once more\n", press.x, press.y);
    MouseButton(1, false);
    for (WORD k : keys) KeyUp(k);
    if (!WaitUntil([&] { return held(false); }, 2000)) return false;
    TypeChord({VK_CONTROL, 'Z'});
    if (!WaitUntil([&] { return !dotShows(); }, 5000)) return false;
  }
  for (const POINT& p : path) {
    MovePointer(p);
    Pump(10);
  }
  if (endShows) {
    ReleaseOnceShown(path.empty() ? press : path.back(), endShows);
  } else {
    MouseButton(1, false);
  }
  for (WORD k : keys) KeyUp(k);
  return true;
}

bool BringToFront(HWND w, int timeoutMs) {
  return WaitUntil(
      [&] {
        if (::GetForegroundWindow() == w) return true;
        ::SetForegroundWindow(w);
        return false;
      },
      timeoutMs, 50);
}

testing_support::ScreenImage SettledScreen(int timeoutMs) {
  testing_support::ScreenImage last = testing_support::CaptureScreen();
  WaitUntil(
      [&] {
        testing_support::ScreenImage now = testing_support::CaptureScreen();
        const bool same = testing_support::CountDifferences(last, now) == 0;
        last = std::move(now);
        return same;
      },
      timeoutMs, 50);
  return last;
}

bool ClickWhenReady(HWND hwnd, int timeoutMs) {
  const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
  auto left = [&] { return static_cast<int>(std::max<LONGLONG>(0, static_cast<LONGLONG>(end - ::GetTickCount64()))); };
  // Where the window is now: a window just shown can still be placed by the window manager.
  auto centreNow = [&] {
    const RECT rc = WindowRectOf(hwnd);
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  };
  HWND top = ::GetAncestor(hwnd, GA_ROOT);
  // A window by its class, and whether it is the button's own window or which other one.
  auto name = [&](HWND w) {
    std::wstring out = L"\"" + ClassOf(w) + L"\"";
    if (w && w == top) return out + L" (its own)";
    wchar_t title[128] = {};
    if (w && ::InternalGetWindowText(w, title, 128) > 0) out += L" \"" + std::wstring(title) + L"\"";
    return out;
  };
  auto giveUp = [&](const char* why) {
    const POINT centre = centreNow();
    std::printf("[ note     ] no click on %ls: %s (its window %s, %s); %ls at its centre, %ls in front\n",
                name(hwnd).c_str(), why, ::IsWindowVisible(top) ? "shown" : "hidden",
                ::IsWindowEnabled(top) ? "enabled" : "disabled", name(::WindowFromPoint(centre)).c_str(),
                name(::GetForegroundWindow()).c_str());
    return false;
  };
  if (!top || !testing_support::WaitUntilReadyForInput(top, left())) return giveUp("its window does not answer");
  if (!WaitUntil([&] { return ::IsWindowVisible(hwnd) && ::IsWindowEnabled(hwnd); }, left())) {
    return giveUp("not visible and enabled");
  }
  if (!BringToFront(top, left())) return giveUp("its window does not come to the front");
  POINT centre = centreNow();
  testing_support::MouseMoveTo(centre.x, centre.y);
  if (!WaitUntil(
          [&] {
            const POINT now = centreNow();
            if (now.x != centre.x || now.y != centre.y) {
              centre = now;
              testing_support::MouseMoveTo(centre.x, centre.y);
              return false;
            }
            POINT at{};
            ::GetCursorPos(&at);
            return at.x == centre.x && at.y == centre.y && ::WindowFromPoint(centre) == hwnd;
          },
          left())) {
    return giveUp("the pointer is not over it");
  }
  testing_support::MouseButton(1, true);
  testing_support::MouseButton(1, false);
  return true;
}

// How long a click may take to show its effect before it counts as lost.
constexpr int kClickEffectMs = 3000;

bool ClickUntil(HWND hwnd, const std::function<bool()>& done, int timeoutMs) {
  const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
  auto left = [&] { return static_cast<int>(std::max<LONGLONG>(0, static_cast<LONGLONG>(end - ::GetTickCount64()))); };
  for (int attempt = 0; attempt < 3 && left() > 0; ++attempt) {
    if (attempt > 0) {
      // Under Wine a window of ours can be told, late, that it lost the keyboard to the notification
      // area's window (when a message box or balloon went): the button then lets its capture go between
      // the press and the release, and the click does not happen.
      std::printf("[ note     ] the click on \"%ls\" did nothing in %d ms, with \"%ls\" in front; once more\n",
                  ClassOf(hwnd).c_str(), kClickEffectMs, ClassOf(::GetForegroundWindow()).c_str());
    }
    if (!ClickWhenReady(hwnd, left())) return done();
    if (WaitUntil(done, std::min(left(), kClickEffectMs))) return true;
    if (!::IsWindow(hwnd)) break;
  }
  return done();
}

std::optional<std::string> ReadRegString(HKEY root, const char* subkey, const char* value) {
  char data[1024] = {};
  DWORD size = sizeof data;
  if (::RegGetValueA(root, subkey, value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return std::nullopt;
  return std::string(data);
}

bool WriteRegString(HKEY root, const char* subkey, const char* value, const std::string& data) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(root, subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LONG rc = ::RegSetValueExA(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                             static_cast<DWORD>(data.size() + 1));
  ::RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const char* subkey) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

void DeleteScrivaneKeys() {
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
  ::RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
}

bool FreshSettings(std::initializer_list<std::pair<const char*, const char*>> values, bool helpWindow) {
  DeleteScrivaneKeys();
  bool written = WriteRegString(HKEY_LOCAL_MACHINE, kSettingsKey, "showstartup", helpWindow ? "0" : "1");
  // The balloon of the first kept drawing would cover the screen that tests compare.
  written = WriteRegString(HKEY_LOCAL_MACHINE, kSettingsKey, "keepnotice", "1") && written;
  for (const auto& [name, text] : values) written = WriteRegString(HKEY_LOCAL_MACHINE, kSettingsKey, name, text) && written;
  return written;
}

bool StartUntilHandOff(App& app) {
  // The main form comes in the middle of the hand-off, which ends with the splash window destroyed.
  // Under Wine its end moves the keyboard: the window manager gives it to the notification area's
  // window, and Wine's word of that to our thread can come after a presentation already began and
  // take the keyboard from the overlay for a moment, losing a key pressed then.
  const WindowQuery anySplash{kSplash.className, std::nullopt, false};
  return app.Start() && app.WaitFor(kMainForm, kHandOffTimeoutMs) != nullptr &&
         WaitUntil([&] { return app.Find(anySplash) == nullptr; }, kHandOffTimeoutMs);
}

namespace {
// Ctrl+Shift+<letter>, with Ctrl and Shift held in the X server too when the screen watcher is
// there: Wine takes the modifiers as the X server has them whenever its keyboard focus moves (a
// window of ours that just went), and the X server knows nothing of keys sent with SendInput, so
// the letter could come without them. The letter goes through SendInput only: pressed on both
// sides, it would reach the program twice.
void TypeCtrlShift(WORD letter) {
  testing_support::XWatch watch;
  std::vector<const char*> held;
  if (watch.Ready()) {
    for (const char* key : {"Control_L", "Shift_L"}) {
      if (!watch.Key(key, true)) break;
      held.push_back(key);
    }
  }
  testing_support::TypeChord({VK_CONTROL, VK_SHIFT, letter});
  for (auto k = held.rbegin(); k != held.rend(); ++k) watch.Key(*k, false);
}
}  // namespace

HWND EnterPresentation(const App& app, int timeoutMs) {
  // What was in front when the keys went, for the message if the overlay does not come.
  const HWND front = ::GetForegroundWindow();
  const std::wstring frontAtKeys = ClassOf(front);
  const bool frontMoved = FrontLostWhile(front, [] { TypeCtrlShift('Z'); });
  HWND overlay = app.WaitFor(kOverlay, timeoutMs);
  if (!overlay && frontMoved) {
    // The keys went while Wine moved the keyboard (see StartUntilHandOff), and were lost with it.
    std::printf("[ note     ] no overlay after Ctrl+Shift+Z, and \"%ls\" lost the front while the keys went; once more\n",
                frontAtKeys.c_str());
    TypeCtrlShift('Z');
    overlay = app.WaitFor(kOverlay, timeoutMs);
  }
  if (!overlay) {
    std::printf("[ note     ] no overlay %d ms after Ctrl+Shift+Z, pressed with \"%ls\" in front\n", timeoutMs,
                frontAtKeys.c_str());
    return nullptr;
  }
  // The overlay takes the keyboard back from the notification area's window if it has to.
  if (!WaitUntil([&] { return ::GetForegroundWindow() == overlay; }, timeoutMs)) {
    std::printf("[ note     ] the overlay came but \"%ls\" stayed in front\n", ClassOf(::GetForegroundWindow()).c_str());
    return nullptr;
  }
  if (!testing_support::WaitUntilReadyForInput(overlay, timeoutMs)) {
    std::printf("[ note     ] the overlay is in front but did not answer within %d ms\n", timeoutMs);
    return nullptr;
  }
  return overlay;
}

bool FrontLostWhile(HWND w, const std::function<void()>& act) {
  std::atomic<bool> watching{true}, lost{false};
  {
    testing_support::SideThread watch([&] {
      while (watching) {
        if (::GetForegroundWindow() != w) lost = true;
        ::Sleep(0);
      }
    });
    act();
    testing_support::WaitUntilReadyForInput(w, 5000);
    watching = false;
  }
  return lost;
}

bool LeavePresentation(const App& app, int timeoutMs) {
  const HWND overlay = app.Find(kOverlay);
  const std::wstring frontAtKey = ClassOf(::GetForegroundWindow());
  auto gone = [&] { return app.Find(kOverlay) == nullptr; };
  const bool frontLost = FrontLostWhile(overlay, [] { testing_support::TapKey(VK_ESCAPE); });
  if (WaitUntil(gone, timeoutMs)) return true;
  if (frontLost) {
    std::printf("[ note     ] the overlay stayed after Esc and lost the front while the key went; once more\n");
    testing_support::TapKey(VK_ESCAPE);
    if (WaitUntil(gone, timeoutMs)) return true;
  }
  std::printf("[ note     ] the overlay stayed %d ms after Esc, pressed with \"%ls\" in front\n", timeoutMs,
              frontAtKey.c_str());
  return false;
}

POINT HighlighterTip(POINT pointer) { return {pointer.x - 9, pointer.y + 11}; }

namespace {
// One try of StrokeThrough: false when a part of the stroke did not show.
// The highlighter's ink over `under`: the pen AND the pixel, OR on the black page.
uint32_t Ink(uint32_t penRgb, uint32_t under, bool onBlack) { return onBlack ? (penRgb | under) : (penRgb & under); }

bool TryStroke(const std::vector<POINT>& path, const testing_support::ScreenImage& before, uint32_t penRgb,
               ULONGLONG end, bool onBlack) {
  for (size_t i = 0; i < path.size(); ++i) {
    const POINT p = path[i];
    testing_support::MouseMoveTo(p.x, p.y);
    if (i == 0) testing_support::MouseButton(1, true);
    const POINT tip = HighlighterTip(p);
    const uint32_t under = before.At(tip.x, tip.y);
    const uint32_t ink = Ink(penRgb, under, onBlack);
    if (ink == under) continue;
    // A move may be lost to one the X server reports: the pointer moves again, a pixel aside and
    // back, a few times.
    bool shown = false;
    for (int nudge = 0; nudge < 3 && !shown; ++nudge) {
      const ULONGLONG now = ::GetTickCount64();
      if (now >= end) return false;
      const int wait = static_cast<int>(std::min<ULONGLONG>(end - now, 1500));
      shown = testing_support::ScreenPixelOnceItIs(tip.x, tip.y, ink, wait) == ink;
      if (!shown) {
        testing_support::MouseMoveTo(p.x + 1, p.y);
        testing_support::MouseMoveTo(p.x, p.y);
      }
    }
    if (!shown) return false;
  }
  testing_support::MouseButton(1, false);
  return true;
}
}  // namespace

bool StrokeThrough(const std::vector<POINT>& path, const testing_support::ScreenImage& before, uint32_t penRgb,
                   int timeoutMs, bool onBlack) {
  if (path.empty()) return false;
  const POINT last = HighlighterTip(path.back());
  const uint32_t underLast = before.At(last.x, last.y);
  if (Ink(penRgb, underLast, onBlack) == underLast) return false;  // its end would not show
  const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
  // Sent all at once, the moves and the release can reach the overlay out of their order under
  // Wine: each waits until the one before it shows. And the X server reports the pointer's moves
  // too, without the button SendInput pressed: a move may be lost, or, now and then, the button
  // with it for the rest of the stroke. Then the stroke is let go, taken back with Ctrl+Z, and made
  // again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (TryStroke(path, before, penRgb, end, onBlack)) return true;
    testing_support::MouseButton(1, false);
    testing_support::TypeChord({VK_CONTROL, 'Z'});
    const ULONGLONG now = ::GetTickCount64();
    if (now >= end || testing_support::ScreenDifferencesOnceNone(before, static_cast<int>(end - now)) != 0) return false;
  }
  return false;
}

uint32_t PresentationSalt(int n) { return static_cast<uint32_t>(((n * 37) & 0x7F) << 8 | ((n * 53) & 0x7F)); }

bool GivePresentation(const App& app, int strokes, uint32_t penRgb, std::vector<uint64_t>* states,
                      std::string& failure) {
  const testing_support::ScreenImage desktop = testing_support::CaptureScreen();
  if (!EnterPresentation(app)) {
    failure = "the overlay did not come";
    return false;
  }
  // The overlay shows the grab: the screen as it was.
  if (testing_support::ScreenDifferencesOnceNone(desktop, 10000) != 0) {
    failure = "the overlay did not show the desktop as it was";
    return false;
  }
  if (states) states->push_back(testing_support::Fingerprint(desktop));
  testing_support::ScreenImage shown = desktop;
  for (int k = 0; k < strokes; ++k) {
    // From the right across every bar, ending in the white bar at the left, each lower than the
    // one before: no stroke ends on another's ink.
    const std::vector<POINT> path{{1800, 80 + 44 * k}, {900, 300 + 20 * k}, {100, 60 + 44 * k}};
    if (!StrokeThrough(path, shown, penRgb)) {
      const HWND under = ::WindowFromPoint(path.front());
      const std::wstring what = ClassOf(under) + L" under the press, " + ClassOf(::GetForegroundWindow()) + L" in front";
      failure = "stroke " + std::to_string(k + 1) + " did not show (screen in presentation-failure.bmp; " +
                std::string(what.begin(), what.end()) + ")";
      testing_support::SaveImageBmp(testing_support::CaptureScreen(),
                                    testing_support::ScreenshotDir() + L"\\presentation-failure.bmp");
      return false;
    }
    shown = testing_support::CaptureScreen();
    if (states) states->push_back(testing_support::Fingerprint(shown));
  }
  if (!LeavePresentation(app)) {
    failure = "the overlay did not go at Esc";
    return false;
  }
  return true;
}

namespace {
int UnixPidOfApp(const App& app) {
  static int unixPid = 0;
  static DWORD forPid = 0;
  if (forPid != app.Pid()) {
    unixPid = testing_support::UnixPidOf(L"scrivane.exe");
    forPid = unixPid ? app.Pid() : 0;
  }
  return unixPid;
}
}  // namespace

size_t PrivateBytes(const App& app) {
  const int unixPid = UnixPidOfApp(app);
  testing_support::UnixMemory memory;
  return unixPid && testing_support::ReadUnixMemory(unixPid, memory) ? memory.Private() : 0;
}

std::string WherePrivateBytesAre(const App& app) {
  const int unixPid = UnixPidOfApp(app);
  return unixPid ? testing_support::LargeAnonymousRegions(unixPid, 4u << 20) : "no process";
}

int CountTrayIcons() {
  // Wine gives every icon a window of its own: its X11 driver puts them into a stand-alone tray
  // window when no X system tray is there; its explorer (a virtual desktop) into Shell_TrayWnd.
  struct Tray {
    const wchar_t* tray;
    const wchar_t* icon;
  };
  static constexpr Tray kTrays[] = {{L"__winex11_standalone_tray", L"__winex11_tray_icon"},
                                    {L"Shell_TrayWnd", L"__wine_tray_icon"}};
  std::vector<HWND> top;
  ::EnumWindows(&CollectAll, reinterpret_cast<LPARAM>(&top));
  int count = 0;
  bool trayFound = false;
  for (HWND w : top) {
    const std::wstring cls = ClassOf(w);
    for (const Tray& t : kTrays) {
      if (cls != t.tray) continue;
      trayFound = true;
      std::vector<HWND> children;
      ::EnumChildWindows(w, &CollectAll, reinterpret_cast<LPARAM>(&children));
      for (HWND c : children) {
        if (ClassOf(c) == t.icon) ++count;
      }
    }
  }
  return trayFound ? count : -1;
}

HWND FirstTrayIconWindow() {
  HWND tray = ::FindWindowW(L"__winex11_standalone_tray", nullptr);
  return tray ? ::FindWindowExW(tray, nullptr, L"__winex11_tray_icon", nullptr) : nullptr;
}

testing_support::ScreenImage WithoutTrayWindow(testing_support::ScreenImage image) {
  HWND tray = ::FindWindowW(L"__winex11_standalone_tray", nullptr);
  if (!tray || !::IsWindowVisible(tray)) return image;
  const RECT rc = WindowRectOf(tray);
  // A few pixels more on each side: the window manager's frame and its shadow.
  constexpr int kFrame = 8;
  for (int y = std::max<int>(0, rc.top - kFrame); y < std::min<int>(image.height, rc.bottom + kFrame); ++y) {
    for (int x = std::max<int>(0, rc.left - kFrame); x < std::min<int>(image.width, rc.right + kFrame); ++x) {
      image.pixels[static_cast<size_t>(y) * image.width + x] = 0;
    }
  }
  return image;
}

HWND OpenTrayMenu(const App& app) {
  HWND main = app.Find(kMainForm);
  if (!main) return nullptr;
  ::PostMessageW(main, 0x0205, 0, 0x0204);
  return app.WaitFor(kMenu, 15000);
}

void ClickMenuItem(HWND menu, bool last) {
  const RECT rc = WindowRectOf(menu);
  const POINT at{rc.left + 30, last ? rc.bottom - 8 : rc.top + 8};
  testing_support::MouseMoveTo(at.x, at.y);
  // The click goes where the menu's thread has seen the pointer arrive: the pointer there, and
  // every input sent before handled by that thread.
  WaitUntil([&] {
    POINT now{};
    return ::GetCursorPos(&now) && now.x == at.x && now.y == at.y;
  }, 5000);
  testing_support::WaitUntilReadyForInput(menu);
  testing_support::MouseButton(1, true);
  testing_support::WaitUntilReadyForInput(menu);
  testing_support::MouseButton(1, false);
}

bool ChooseFromTrayMenu(const App& app, bool last) {
  HWND menu = OpenTrayMenu(app);
  if (!menu || !testing_support::WaitUntilReadyForInput(menu)) return false;
  ClickMenuItem(menu, last);
  return WaitUntil([&] { return app.Find(kMenu) == nullptr; }, 5000);
}

bool ChooseFromTrayMenuBottom(const App& app, int fromBottom, int itemCount) {
  // Soon after the program starts, the window manager may still hand the focus to the
  // notification area's window, which closes a menu that has just opened: the menu is opened
  // again until it stays open, in its loop, with the pointer over the item, before the click.
  for (int attempt = 0; attempt < 3; ++attempt) {
    HWND menu = OpenTrayMenu(app);
    if (!menu) return false;
    const RECT client = ClientOnScreen(menu);
    const double itemHeight = static_cast<double>(client.bottom - client.top) / itemCount;
    const POINT at{client.left + 30, static_cast<LONG>(client.bottom - (fromBottom + 0.5) * itemHeight)};
    testing_support::MouseMoveTo(at.x, at.y);
    const bool ready = WaitUntil(
                           [&] {
                             POINT now{};
                             return ::GetCursorPos(&now) && now.x == at.x && now.y == at.y;
                           },
                           15000) &&
                       testing_support::WaitUntilReadyForInput(menu) && ::IsWindowVisible(menu);
    if (!ready) {
      ::PostMessageW(app.Find(kMainForm), WM_CANCELMODE, 0, 0);
      WaitUntil([&] { return app.Find(kMenu) == nullptr; }, 15000);
      continue;
    }
    testing_support::MouseButton(1, true);
    testing_support::MouseButton(1, false);
    return WaitUntil([&] { return app.Find(kMenu) == nullptr; }, 15000);
  }
  return false;
}

StandIn::StandIn(WORD key) : key_(key) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &StandIn::Proc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = L"ScrivaneTestStandIn";
  ::RegisterClassW(&wc);  // fails harmlessly for the second stand-in of a process
  hwnd_ = ::CreateWindowExW(0, wc.lpszClassName, L"Stand-in", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 200, 500, 300,
                            nullptr, nullptr, wc.hInstance, this);
}

StandIn::~StandIn() { ::DestroyWindow(hwnd_); }

LRESULT CALLBACK StandIn::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  }
  auto* self = reinterpret_cast<StandIn*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && msg == WM_KEYDOWN && wParam == self->key_ && ::GetKeyState(VK_CONTROL) < 0 &&
      ::GetKeyState(VK_SHIFT) < 0) {
    ++self->presses_;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND FindBalloon(const std::wstring& text, int timeoutMs) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND w = ::FindWindowExW(nullptr, nullptr, L"tooltips_class32", nullptr); w;
             w = ::FindWindowExW(nullptr, w, L"tooltips_class32", nullptr)) {
          if (::IsWindowVisible(w) && TextOf(w) == text) {
            found = w;
            return true;
          }
        }
        return false;
      },
      timeoutMs, 50);
  return found;
}

std::wstring DrawingsFolder() {
  PWSTR local = nullptr;
  ::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local);
  std::wstring folder = std::wstring(local ? local : L"") + L"\\Scrivane\\Drawings";
  ::CoTaskMemFree(local);
  return folder;
}

std::vector<std::wstring> PngsIn(const std::wstring& folder) { return testing_support::FileNames(folder, L"*.png"); }

void EmptyFolder(const std::wstring& folder) {
  for (const std::wstring& n : PngsIn(folder)) ::DeleteFileW((folder + L"\\" + n).c_str());
}

std::string UnixPath(const std::wstring& path) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  if (!toUnix) return {};
  char* unix = toUnix(path.c_str());
  std::string result = unix ? unix : "";
  ::HeapFree(::GetProcessHeap(), 0, unix);
  return result;
}

bool RunUnix(const std::string& command) {
  // Wine hands back no handle to wait on for a Unix program, so the command ends by making a
  // marker file, and that is waited for.
  const std::wstring marker = testing_support::TempDir(L"unix-run") + L"\\done-" + std::to_wstring(::GetTickCount64());
  ::DeleteFileW(marker.c_str());
  const std::string full = command + " ; touch '" + UnixPath(marker) + "'";
  std::wstring line = L"/bin/sh -c \"" + std::wstring(full.begin(), full.end()) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return WaitUntil([&] { return ::GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000);
}

}  // namespace e2e
