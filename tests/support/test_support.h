// What the GUI and end-to-end tests share: reading the screen, real input through SendInput,
// waiting while messages flow, counting GDI handles and memory, a window with a known pattern to
// grab and a slide to present over.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// A copy of screen pixels, 0x00RRGGBB per pixel, top-down.
struct ScreenImage {
  int width = 0, height = 0;
  int left = 0, top = 0;  // where on the screen its first pixel was
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y - top) * width + (x - left)]; }
};

ScreenImage CaptureScreen();
ScreenImage CaptureScreenRect(int left, int top, int width, int height);
// Reads any DC (a memory DC or a window's) the same way.
ScreenImage CaptureDc(HDC dc, int left, int top, int width, int height);
// An icon or cursor drawn with DrawIconEx at drawSize x drawSize over a canvas x canvas square of
// `background` (0x00RRGGBB), read back.
ScreenImage DrawIconOver(HICON icon, uint32_t background, int canvas, int drawSize);
// Writes a 24-bit BMP for a person to look at.
bool SaveImageBmp(const ScreenImage& image, const std::wstring& path);
// The folder where tests leave screenshots: <build>/screenshots.
std::wstring ScreenshotDir();

// 0x00RRGGBB from a COLORREF (0x00BBGGRR).
constexpr uint32_t Rgb(COLORREF c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// Dispatches messages of this thread for at least `ms` milliseconds.
void Pump(int ms);
// Dispatches messages until `done` is true or `timeoutMs` passes; returns the last `done`.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Dispatches messages until the input sent so far has been handled by this thread: SendInput puts
// keys and mouse events for this thread's windows into its queue before it returns, so once no
// input and no message posted while handling it is left, every handler has run (a modal dialog a
// key opened included: the wait returns after it closed). False after `timeoutMs`.
bool PumpUntilInputHandled(int timeoutMs = 5000);
// True once `hwnd` is visible and enabled and the thread that owns it answers a message: a dialog
// has then finished WM_INITDIALOG and waits in its modal loop. For windows of another thread or
// process; false when `timeoutMs` passes first.
bool WaitUntilReadyForInput(HWND hwnd, int timeoutMs = 5000);

// Real input.
void MouseMoveTo(int x, int y);
void MouseButton(int button, bool down);  // 1 left, 2 right, 4 middle
// The wheel turned where the pointer is: WHEEL_DELTA (120) a notch, up (away from the user) positive.
void MouseWheel(int delta);
// The same with the pointer going to `p` in the same event: a pointer position that a program moved
// meanwhile does not move the click. (Under Wine a program handles the X server's word of a move
// this test made, and handled late, on a busy machine, it puts the pointer back there.)
void MouseButtonAt(int button, bool down, POINT p);
void Drag(int x0, int y0, int x1, int y1, int steps, int button = 1, int pumpMs = 5);
void KeyDown(WORD vk);
void KeyUp(WORD vk);
void TapKey(WORD vk);
void TypeChord(std::initializer_list<WORD> vks);  // press all in order, release in reverse
// The same, every event stamped `time` (GetTickCount's clock): the message time the program reads
// is then when the keys were pressed by this stamp, however busy the machine.
void TypeChordAt(std::initializer_list<WORD> vks, DWORD time);
void TypeText(const std::wstring& text);  // unicode characters

// User plus kernel time of a process so far, in seconds; -1 when it cannot be read.
double CpuSeconds(HANDLE process);

// Free GDI handle slots: create solid brushes until creation fails, then delete them.
// (GetGuiResources is a stub under Wine.)
int FreeGdiSlots();
size_t WorkingSetBytes();

// Memory of another process of this Wine prefix as Linux counts it (/proc/<pid>/status, read
// through Wine's Z: drive): inside Wine only the working set can be had, which says nothing of
// memory that has been given back or never touched.
struct UnixMemory {
  size_t rssAnon = 0;  // anonymous memory resident: what the process allocated and holds
  size_t vmSwap = 0;   // anonymous memory swapped out
  size_t vmRss = 0;    // everything resident, mapped files included
  // What stands for Windows' private bytes: anonymous memory, resident or swapped out.
  size_t Private() const { return rssAnon + vmSwap; }
};
// The Linux process id of the running Wine process of this prefix whose program is `exeName`
// ("scrivane.exe"); 0 when there is none.
int UnixPidOf(const std::wstring& exeName);
// The figures of Linux process `unixPid`; false when it has gone.
bool ReadUnixMemory(int unixPid, UnixMemory& out);
// Where that memory is, for a message when it is more than it should be: the anonymous regions of
// the process holding at least `minBytes` each ("8100 KB of 8192 KB at 7f0000000000", ...), and
// what the smaller ones hold together.
std::string LargeAnonymousRegions(int unixPid, size_t minBytes);

// Registers the window class `className` with `proc` (again is harmless) and shows a borderless
// tool window of it titled `title` over `area`, painted and brought to the front. `userData` is in
// its GWLP_USERDATA before the first paint.
HWND ShowPopupWindow(const wchar_t* className, const wchar_t* title, WNDPROC proc, const RECT& area,
                     LONG_PTR userData = 0);
// The primary screen, at (0, 0).
RECT PrimaryScreenRect();

// A topmost borderless window over the whole screen painting a fixed pattern: colour bars,
// white, black and mid-grey blocks, and fine detail. PatternColor gives the pixel it paints.
class PatternWindow {
 public:
  PatternWindow();
  // Over `area` of the screen (any monitor), its pattern's colours turned by `salt` (XOR), so
  // that windows on different monitors paint different pictures.
  PatternWindow(const RECT& area, uint32_t salt);
  ~PatternWindow();
  HWND Hwnd() const { return hwnd_; }
  static uint32_t PatternColor(int x, int y);
  // Paints again with another salt, and waits until the screen shows it.
  void Repaint(uint32_t salt);
  // The screen shows the pattern turned by `salt` where the window is.
  bool Showing(uint32_t salt) const;

 private:
  HWND hwnd_ = nullptr;
};

// The middle of the primary screen, where the splash shows, is the default PatternWindow's
// pattern: the splash has gone from the screen, not only on Wine's side.
bool CentreShowsThePattern();

// A slide to present over, as a person would: a white window over the primary screen with the
// title "Quarterly results" at (160, titleTop), the rest painted by `body` in the body font
// (Tahoma, 40 pixels, black, on a transparent background).
class SlideWindow {
 public:
  SlideWindow(int titleTop, std::function<void(HDC)> body);
  ~SlideWindow();
  SlideWindow(const SlideWindow&) = delete;
  SlideWindow& operator=(const SlideWindow&) = delete;
  HWND Hwnd() const { return hwnd_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void Paint(HDC dc, const RECT& client) const;

  int titleTop_;
  std::function<void(HDC)> body_;
  HWND hwnd_ = nullptr;
};

// The monitors of the desktop, the primary first.
std::vector<RECT> MonitorRects();

// A 64-bit hash of the pixels, for comparing many screens without keeping them.
uint64_t Fingerprint(const ScreenImage& image);

// Counts pixels that differ between two images of the same size.
long CountDifferences(const ScreenImage& a, const ScreenImage& b);

// The wheel's zoom of presentation mode, as a presenter sees it: after `notches` notches up the
// zoom is 1.25^notches (at most 8), and with the pointer at `pointer` (relative to the picture,
// which is `width` x `height`) the screen shows the part of the picture that starts at
// pointer * (1 - 1/zoom) (measured at the pixel's centre, rounded, kept inside the picture) and
// is ceil(width / zoom) x ceil(height / zoom) pixels, stretched over the whole picture's place.
double ZoomAfter(int notches);
RECT ZoomedPart(POINT pointer, int notches, int width, int height);
// `image`'s part `part` (in the image's own pixels) stretched over an image of the same size and
// place, each pixel the nearest (StretchBlt in COLORONCOLOR).
ScreenImage Stretched(const ScreenImage& image, const RECT& part);
// The picture pixel that the same stretch of a width x height picture shows at `shown` (relative
// to the picture's place), found by stretching a picture whose every pixel holds its own place.
POINT PixelShownAt(POINT shown, const RECT& part, int width, int height);

// Waiting for the screen to show something, for checks written as
// EXPECT_EQ(expected, ScreenPixelOnceItIs(x, y, expected)): the pixel as soon as it is
// `expected`, or as it is when `timeoutMs` has passed.
uint32_t ScreenPixelOnceItIs(int x, int y, uint32_t expected, int timeoutMs = 3000);
// The pixels of the screen that differ from `expected` (at its place), once there are none or
// when `timeoutMs` has passed.
long ScreenDifferencesOnceNone(const ScreenImage& expected, int timeoutMs = 3000);

// How many pixels of `colour` lie in a row through `at` (or a column, `upright`), `at` included;
// 0 when `at` is not of that colour. The width of a line drawn across that row or column.
int RunThrough(const ScreenImage& image, POINT at, bool upright, uint32_t colour);

// The picture on the clipboard as CF_DIB, read as any program reads it; empty when there is none.
ScreenImage ClipboardPicture();

// Files.
// A folder of this test process in the temporary folder: scrivane-<name>-<process id>.
std::wstring TempDir(const std::wstring& name);
std::vector<uint8_t> ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
// The names of the files (not folders) directly in `dir` that match `pattern`, sorted.
std::vector<std::wstring> FileNames(const std::wstring& dir, const std::wstring& pattern = L"*");
// How many files (not folders) are directly in `dir`.
int FilesIn(const std::wstring& dir);

// The destination rectangles of the stretch records of an enhanced metafile.
std::vector<RECT> StretchesIn(HENHMETAFILE emf);

// The top-level windows, in Z order, for which `match` is true; the first of them, or null.
std::vector<HWND> TopLevelWindows(const std::function<bool(HWND)>& match);
HWND FindTopLevelWindow(const std::function<bool(HWND)>& match);
bool OfThisProcess(HWND hwnd);
// The first visible top-level window of the class `className` ("#32770" a dialog, "#32768" a
// popup menu) that is not in `ignore`; with `thisProcessOnly`, only this process's windows.
HWND FindVisibleWindow(const wchar_t* className, bool thisProcessOnly, const std::vector<HWND>& ignore = {});
// The same window once there is one, for a thread that dispatches no messages (a test's second
// thread, while the first is in a modal loop): looked for every 20 ms; null after `timeoutMs`.
HWND WaitForVisibleWindow(const wchar_t* className, bool thisProcessOnly, int timeoutMs,
                          const std::vector<HWND>& ignore = {});

}  // namespace testing_support
