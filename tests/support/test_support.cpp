#include "support/test_support.h"

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>
#include <fstream>

#include "base/dib.h"
#include "base/handles.h"

namespace testing_support {

ScreenImage CaptureDc(HDC dc, int left, int top, int width, int height) {
  ScreenImage img;
  img.width = width;
  img.height = height;
  img.left = left;
  img.top = top;
  const BITMAPINFO bi = base::TopDownDib32(width, height);
  void* bits = nullptr;
  HBITMAP dib = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC mem = ::CreateCompatibleDC(dc);
  HGDIOBJ old = ::SelectObject(mem, dib);
  ::BitBlt(mem, 0, 0, width, height, dc, left, top, SRCCOPY);
  ::GdiFlush();
  img.pixels.resize(static_cast<size_t>(width) * height);
  const auto* src = static_cast<const uint32_t*>(bits);
  for (size_t i = 0; i < img.pixels.size(); ++i) img.pixels[i] = src[i] & 0x00FFFFFF;
  ::SelectObject(mem, old);
  ::DeleteDC(mem);
  ::DeleteObject(dib);
  return img;
}

ScreenImage DrawIconOver(HICON icon, uint32_t background, int canvas, int drawSize) {
  const BITMAPINFO bi = base::TopDownDib32(canvas, canvas);
  void* bits = nullptr;
  HDC dc = ::CreateCompatibleDC(nullptr);
  HBITMAP dib = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ScreenImage img;
  if (dib && bits) {
    HGDIOBJ old = ::SelectObject(dc, dib);
    auto* p = static_cast<uint32_t*>(bits);
    std::fill(p, p + canvas * canvas, background);
    ::DrawIconEx(dc, 0, 0, icon, drawSize, drawSize, 0, nullptr, DI_NORMAL);
    ::GdiFlush();
    img = CaptureDc(dc, 0, 0, canvas, canvas);
    ::SelectObject(dc, old);
  }
  if (dib) ::DeleteObject(dib);
  ::DeleteDC(dc);
  return img;
}

ScreenImage CaptureScreenRect(int left, int top, int width, int height) {
  HDC screen = ::GetDC(nullptr);
  ScreenImage img = CaptureDc(screen, left, top, width, height);
  ::ReleaseDC(nullptr, screen);
  return img;
}

ScreenImage CaptureScreen() {
  return CaptureScreenRect(0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
}

bool SaveImageBmp(const ScreenImage& image, const std::wstring& path) {
  const int rowBytes = (image.width * 3 + 3) & ~3;
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  ih.biSize = sizeof ih;
  ih.biWidth = image.width;
  ih.biHeight = image.height;
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  ih.biSizeImage = static_cast<DWORD>(rowBytes) * image.height;
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + ih.biSizeImage;
  std::ofstream out(path.c_str(), std::ios::binary);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
  out.write(reinterpret_cast<const char*>(&ih), sizeof ih);
  std::vector<unsigned char> row(rowBytes, 0);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      uint32_t p = image.pixels[static_cast<size_t>(y) * image.width + x];
      row[x * 3 + 0] = static_cast<unsigned char>(p & 0xFF);
      row[x * 3 + 1] = static_cast<unsigned char>((p >> 8) & 0xFF);
      row[x * 3 + 2] = static_cast<unsigned char>((p >> 16) & 0xFF);
    }
    out.write(reinterpret_cast<const char*>(row.data()), rowBytes);
  }
  return static_cast<bool>(out);
}

std::wstring ScreenshotDir() {
  wchar_t exe[MAX_PATH];
  ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring dir(exe);
  dir = dir.substr(0, dir.find_last_of(L"\\/"));  // <build>/bin
  dir = dir.substr(0, dir.find_last_of(L"\\/"));  // <build>
  dir += L"\\screenshots";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

void Pump(int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
  } while (std::chrono::steady_clock::now() < end);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return done();
    Pump(10);
  }
  return true;
}

bool PumpUntilInputHandled(int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (HIWORD(::GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE)) == 0) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
  }
}

bool WaitUntilReadyForInput(HWND hwnd, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (!::IsWindow(hwnd)) return false;
    if (::IsWindowVisible(hwnd) && ::IsWindowEnabled(hwnd)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      DWORD_PTR result = 0;
      if (left.count() > 0 && ::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL,
                                                    static_cast<UINT>(left.count()), &result)) {
        return true;
      }
    }
    if (std::chrono::steady_clock::now() >= end) return false;
    ::Sleep(10);
  }
}

namespace {
LONG Absolute(int v, int extent) { return static_cast<LONG>((static_cast<long long>(v) * 65535 + (extent - 1) / 2) / (extent - 1)); }

void SendMouse(DWORD flags, int x, int y) {
  // Across the whole desktop, so that a monitor left of or above the primary one is reached too.
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dx = Absolute(x - ::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_CXVIRTUALSCREEN));
  in.mi.dy = Absolute(y - ::GetSystemMetrics(SM_YVIRTUALSCREEN), ::GetSystemMetrics(SM_CYVIRTUALSCREEN));
  in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
  ::SendInput(1, &in, sizeof in);
}

}  // namespace

void MouseMoveTo(int x, int y) { SendMouse(MOUSEEVENTF_MOVE, x, y); }

void MouseWheel(int delta) {
  // Where the pointer is, without moving it (as a button press: see below).
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.mouseData = static_cast<DWORD>(delta);
  in.mi.dwFlags = MOUSEEVENTF_WHEEL;
  ::SendInput(1, &in, sizeof in);
}

namespace {
DWORD ButtonFlag(int button, bool down) {
  switch (button) {
    case 1: return down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    case 2: return down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
    case 4: return down ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_MIDDLEUP;
    default: return 0;
  }
}
}  // namespace

void MouseButton(int button, bool down) {
  const DWORD flag = ButtonFlag(button, down);
  if (!flag) return;
  // Where the pointer is, without moving it: a position read back with GetCursorPos can be stale
  // under Wine (it asks the X server, which may not have taken the last move yet) and would send
  // the pointer back there.
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flag;
  ::SendInput(1, &in, sizeof in);
}

void MouseButtonAt(int button, bool down, POINT p) {
  const DWORD flag = ButtonFlag(button, down);
  if (flag) SendMouse(flag | MOUSEEVENTF_MOVE, p.x, p.y);
}

void Drag(int x0, int y0, int x1, int y1, int steps, int button, int pumpMs) {
  MouseMoveTo(x0, y0);
  Pump(pumpMs);
  MouseButton(button, true);
  Pump(pumpMs);
  for (int i = 1; i <= steps; ++i) {
    MouseMoveTo(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps);
    Pump(pumpMs);
  }
  MouseButton(button, false);
  Pump(pumpMs);
}

namespace {
void KeyEvent(WORD vk, bool up, DWORD time) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  in.ki.time = time;
  ::SendInput(1, &in, sizeof in);
}
}  // namespace

void KeyDown(WORD vk) { KeyEvent(vk, false, 0); }

void KeyUp(WORD vk) { KeyEvent(vk, true, 0); }

void TapKey(WORD vk) {
  KeyDown(vk);
  KeyUp(vk);
}

void TypeChord(std::initializer_list<WORD> vks) { TypeChordAt(vks, 0); }

void TypeChordAt(std::initializer_list<WORD> vks, DWORD time) {
  for (WORD vk : vks) KeyEvent(vk, false, time);
  for (auto it = std::rbegin(vks); it != std::rend(vks); ++it) KeyEvent(*it, true, time);
}

void TypeText(const std::wstring& text) {
  for (wchar_t c : text) {
    INPUT in[2]{};
    in[0].type = INPUT_KEYBOARD;
    in[0].ki.wScan = c;
    in[0].ki.dwFlags = KEYEVENTF_UNICODE;
    in[1] = in[0];
    in[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    ::SendInput(2, in, sizeof(INPUT));
  }
}

double CpuSeconds(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!process || !::GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
  auto seconds = [](const FILETIME& f) {
    ULARGE_INTEGER v;
    v.LowPart = f.dwLowDateTime;
    v.HighPart = f.dwHighDateTime;
    return static_cast<double>(v.QuadPart) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

int FreeGdiSlots() {
  std::vector<HBRUSH> brushes;
  brushes.reserve(70000);
  for (;;) {
    HBRUSH b = ::CreateSolidBrush(RGB(1, 2, 3));
    if (!b) break;
    brushes.push_back(b);
    if (brushes.size() > 200000) break;
  }
  for (HBRUSH b : brushes) ::DeleteObject(b);
  return static_cast<int>(brushes.size());
}

size_t WorkingSetBytes() {
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &pmc, sizeof pmc);
  return pmc.WorkingSetSize;
}

namespace {
// A file of Linux's /proc through Z:. The files say they are empty: read until the end comes.
std::string ReadProcFile(int unixPid, const wchar_t* name) {
  const std::wstring path = L"Z:\\proc\\" + std::to_wstring(unixPid) + L"\\" + name;
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  ::CloseHandle(f);
  return text;
}

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }
}  // namespace

int UnixPidOf(const std::wstring& exeName) {
  // Wine runs a program as a Linux process whose command line is the program's Linux path, in the
  // environment of its prefix; other prefixes (other test screens) run programs of the same name.
  wchar_t prefix[1024] = {};
  if (!::GetEnvironmentVariableW(L"WINEPREFIX", prefix, 1024)) return 0;
  const std::string wantEnv = "WINEPREFIX=" + Narrow(prefix);
  std::string wantExe = Narrow(exeName);
  for (char& c : wantExe) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  WIN32_FIND_DATAW found{};
  HANDLE h = ::FindFirstFileW(L"Z:\\proc\\*", &found);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int result = 0;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !std::iswdigit(found.cFileName[0])) continue;
    const int pid = std::stoi(found.cFileName);
    // The program's path as it was started: a Linux path or a Windows one.
    std::string cmd = ReadProcFile(pid, L"cmdline");
    cmd = cmd.substr(0, cmd.find('\0'));
    cmd = cmd.substr(cmd.find_last_of("/\\") == std::string::npos ? 0 : cmd.find_last_of("/\\") + 1);
    for (char& c : cmd) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (cmd != wantExe) continue;
    const std::string env = ReadProcFile(pid, L"environ");
    size_t at = 0;
    for (size_t end; (end = env.find('\0', at)) != std::string::npos; at = end + 1) {
      if (env.compare(at, end - at, wantEnv) == 0) {
        result = pid;
        break;
      }
    }
  } while (!result && ::FindNextFileW(h, &found));
  ::FindClose(h);
  return result;
}

bool ReadUnixMemory(int unixPid, UnixMemory& out) {
  const std::string status = ReadProcFile(unixPid, L"status");
  auto kb = [&](const char* field, size_t& value) {
    const size_t at = status.find(std::string("\n") + field + ":");
    if (at == std::string::npos) return false;
    value = std::strtoull(status.c_str() + at + std::strlen(field) + 2, nullptr, 10) * 1024;
    return true;
  };
  out = UnixMemory{};
  kb("VmSwap", out.vmSwap);
  return kb("RssAnon", out.rssAnon) && kb("VmRSS", out.vmRss);
}

std::string LargeAnonymousRegions(int unixPid, size_t minBytes) {
  const std::string smaps = ReadProcFile(unixPid, L"smaps");
  std::string large;
  size_t smallKb = 0;
  unsigned long long start = 0, end = 0;
  size_t lineStart = 0;
  for (size_t lineEnd; (lineEnd = smaps.find('\n', lineStart)) != std::string::npos; lineStart = lineEnd + 1) {
    const std::string line = smaps.substr(lineStart, lineEnd - lineStart);
    unsigned long long a = 0, b = 0;
    if (std::sscanf(line.c_str(), "%llx-%llx ", &a, &b) == 2 && line.find('-') < line.find(' ')) {
      start = a;
      end = b;
      continue;
    }
    size_t kb = 0;
    if (std::sscanf(line.c_str(), "Anonymous: %zu kB", &kb) != 1 || kb == 0) continue;
    if (kb * 1024 < minBytes) {
      smallKb += kb;
      continue;
    }
    char region[96];
    std::snprintf(region, sizeof region, "%s%zu KB of %llu KB at %llx", large.empty() ? "" : ", ", kb,
                  (end - start) / 1024, start);
    large += region;
  }
  return (large.empty() ? std::string("no large region") : large) + "; " + std::to_string(smallKb) +
         " KB in smaller ones";
}

bool CentreShowsThePattern() {
  const int left = ::GetSystemMetrics(SM_CXSCREEN) / 2 - 250;
  const int top = ::GetSystemMetrics(SM_CYSCREEN) / 2 - 200;
  const ScreenImage centre = CaptureScreenRect(left, top, 500, 400);
  for (int y = top; y < top + 400; ++y) {
    for (int x = left; x < left + 500; ++x) {
      if (centre.At(x, y) != PatternWindow::PatternColor(x, y)) return false;
    }
  }
  return true;
}

uint32_t PatternWindow::PatternColor(int x, int y) {
  static const uint32_t kBars[8] = {0xFFFFFF, 0x000000, 0x808080, 0xFF0000,
                                    0x00FF00, 0x0000FF, 0xC0C0C0, 0x404040};
  uint32_t c = kBars[(x / 240) % 8];
  // Fine detail in the lower half: a 4-pixel checkerboard that inverts the bar colour.
  if (y >= 540 && ((x / 4 + y / 4) % 2 == 0)) c ^= 0x00FFFFFF;
  // Thin diagonal lines, so that an offset by one pixel shows.
  if ((x + 2 * y) % 97 == 0) c = 0x123456;
  return c;
}

namespace {
LRESULT CALLBACK PatternProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PAINT) {
    const auto salt = static_cast<uint32_t>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    const BITMAPINFO bi = base::TopDownDib32(rc.right, rc.bottom);
    std::vector<uint32_t> px(static_cast<size_t>(rc.right) * rc.bottom);
    for (int y = 0; y < rc.bottom; ++y)
      for (int x = 0; x < rc.right; ++x)
        px[static_cast<size_t>(y) * rc.right + x] = PatternWindow::PatternColor(x, y) ^ salt;
    ::SetDIBitsToDevice(dc, 0, 0, rc.right, rc.bottom, 0, 0, 0, rc.bottom, px.data(), &bi, DIB_RGB_COLORS);
    ::EndPaint(hwnd, &ps);
    return 0;
  }
  if (msg == WM_ERASEBKGND) return 1;
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}
}  // namespace

HWND ShowPopupWindow(const wchar_t* className, const wchar_t* title, WNDPROC proc, const RECT& area,
                     LONG_PTR userData) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = className;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  ::RegisterClassW(&wc);
  HWND hwnd = ::CreateWindowExW(WS_EX_TOOLWINDOW, className, title, WS_POPUP, area.left, area.top,
                                area.right - area.left, area.bottom - area.top, nullptr, nullptr, wc.hInstance, nullptr);
  ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, userData);
  ::ShowWindow(hwnd, SW_SHOW);
  ::UpdateWindow(hwnd);
  ::SetForegroundWindow(hwnd);
  return hwnd;
}

RECT PrimaryScreenRect() { return RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}; }

PatternWindow::PatternWindow() : PatternWindow(PrimaryScreenRect(), 0) {}

PatternWindow::PatternWindow(const RECT& area, uint32_t salt) {
  hwnd_ = ShowPopupWindow(L"ScrivaneTestPattern", L"pattern", PatternProc, area, static_cast<LONG_PTR>(salt));
  // On the screen, not just painted into the window.
  PumpUntil([&] { return Showing(salt); });
  // The window manager focuses a new window in its own time: a focus that reaches Wine only after
  // the test has shown the overlay would activate this window again and raise it over the
  // overlay. A disabled window cannot be activated, so that late focus changes nothing.
  ::EnableWindow(hwnd_, FALSE);
}

bool PatternWindow::Showing(uint32_t salt) const {
  RECT rc{};
  ::GetWindowRect(hwnd_, &rc);
  // A few samples away from the corners and the top-left third, where the tray's or a
  // magnifier's windows may stay in front of it.
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  const POINT samples[] = {{w * 3 / 4, h / 3}, {w * 5 / 8, h * 5 / 8}, {w - 50, h / 2 + 7}};
  for (const POINT& p : samples) {
    const ScreenImage px = CaptureScreenRect(rc.left + p.x, rc.top + p.y, 1, 1);
    if (px.pixels.empty() || px.pixels[0] != (PatternColor(p.x, p.y) ^ salt)) return false;
  }
  return true;
}

void PatternWindow::Repaint(uint32_t salt) {
  ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, static_cast<LONG_PTR>(salt));
  ::InvalidateRect(hwnd_, nullptr, FALSE);
  ::UpdateWindow(hwnd_);
  PumpUntil([&] { return Showing(salt); }, 5000);
}

SlideWindow::SlideWindow(int titleTop, std::function<void(HDC)> body) : titleTop_(titleTop), body_(std::move(body)) {
  hwnd_ = ShowPopupWindow(L"ScrivaneTestSlide", L"Slide", &SlideWindow::Proc, PrimaryScreenRect(),
                          reinterpret_cast<LONG_PTR>(this));
}

SlideWindow::~SlideWindow() {
  if (hwnd_) ::DestroyWindow(hwnd_);
}

LRESULT CALLBACK SlideWindow::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const auto* slide = reinterpret_cast<const SlideWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg != WM_PAINT || !slide) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd, &ps);
  RECT rc;
  ::GetClientRect(hwnd, &rc);
  slide->Paint(dc, rc);
  ::EndPaint(hwnd, &ps);
  return 0;
}

void SlideWindow::Paint(HDC dc, const RECT& client) const {
  ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  const base::unique_hfont title(::CreateFontW(72, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, L"Tahoma"));
  const base::unique_hfont body(::CreateFontW(40, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, L"Tahoma"));
  const base::SelectGuard font(dc, title.Get());
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, RGB(20, 40, 90));
  ::TextOutW(dc, 160, titleTop_, L"Quarterly results", 17);
  ::SelectObject(dc, body.Get());
  ::SetTextColor(dc, RGB(0, 0, 0));
  if (body_) body_(dc);
}

std::vector<RECT> MonitorRects() {
  std::vector<RECT> rects;
  ::EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR monitor, HDC, LPRECT, LPARAM out) -> BOOL {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        ::GetMonitorInfoW(monitor, &info);
        auto& all = *reinterpret_cast<std::vector<RECT>*>(out);
        if (info.dwFlags & MONITORINFOF_PRIMARY) {
          all.insert(all.begin(), info.rcMonitor);
        } else {
          all.push_back(info.rcMonitor);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&rects));
  return rects;
}

PatternWindow::~PatternWindow() {
  if (hwnd_) ::DestroyWindow(hwnd_);
  Pump(100);
}

uint64_t Fingerprint(const ScreenImage& image) {
  uint64_t h = 1469598103934665603ull;
  for (uint32_t p : image.pixels) h = (h ^ (p & 0xFFFFFF)) * 1099511628211ull;
  return h;
}

long CountDifferences(const ScreenImage& a, const ScreenImage& b) {
  if (a.width != b.width || a.height != b.height) return -1;
  long n = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) n += a.pixels[i] != b.pixels[i];
  return n;
}

int RunThrough(const ScreenImage& image, POINT at, bool upright, uint32_t colour) {
  auto is = [&](int x, int y) {
    return x >= image.left && y >= image.top && x < image.left + image.width && y < image.top + image.height &&
           image.At(x, y) == colour;
  };
  int run = 0;
  for (int d = 0; is(upright ? at.x : at.x + d, upright ? at.y + d : at.y); ++d) ++run;
  for (int d = 1; run > 0 && is(upright ? at.x : at.x - d, upright ? at.y - d : at.y); ++d) ++run;
  return run;
}

ScreenImage ClipboardPicture() {
  ScreenImage image;
  if (!::OpenClipboard(nullptr)) return image;
  if (HGLOBAL dib = ::GetClipboardData(CF_DIB)) {
    if (const auto* info = static_cast<const BITMAPINFO*>(::GlobalLock(dib))) {
      HDC screen = ::GetDC(nullptr);
      HBITMAP bitmap = ::CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT,
                                        reinterpret_cast<const uint8_t*>(info) + info->bmiHeader.biSize, info,
                                        DIB_RGB_COLORS);
      const int width = info->bmiHeader.biWidth;
      const int height = std::abs(info->bmiHeader.biHeight);
      ::GlobalUnlock(dib);
      HDC memory = ::CreateCompatibleDC(screen);
      HGDIOBJ old = ::SelectObject(memory, bitmap);
      image = CaptureDc(memory, 0, 0, width, height);
      ::SelectObject(memory, old);
      ::DeleteDC(memory);
      ::DeleteObject(bitmap);
      ::ReleaseDC(nullptr, screen);
    }
  }
  ::CloseClipboard();
  return image;
}

double ZoomAfter(int notches) { return std::min(std::pow(1.25, notches), 8.0); }

RECT ZoomedPart(POINT pointer, int notches, int width, int height) {
  const double zoom = ZoomAfter(notches);
  auto along = [&](LONG at, int side, LONG& start, LONG& end) {
    const int length = std::min(side, static_cast<int>(std::ceil(side / zoom - 1e-9)));
    const double origin = (std::clamp<LONG>(at, 0, side - 1) + 0.5) * (1 - 1 / zoom);
    start = std::clamp(static_cast<int>(std::floor(origin + 0.5)), 0, side - length);
    end = start + length;
  };
  RECT part{};
  along(pointer.x, width, part.left, part.right);
  along(pointer.y, height, part.top, part.bottom);
  return part;
}

ScreenImage Stretched(const ScreenImage& image, const RECT& part) {
  const BITMAPINFO bi = base::TopDownDib32(image.width, image.height);
  HDC screen = ::GetDC(nullptr);
  void* fromBits = nullptr;
  void* toBits = nullptr;
  HBITMAP from = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &fromBits, nullptr, 0);
  HBITMAP to = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &toBits, nullptr, 0);
  HDC fromDc = ::CreateCompatibleDC(screen);
  HDC toDc = ::CreateCompatibleDC(screen);
  ::ReleaseDC(nullptr, screen);
  HGDIOBJ oldFrom = ::SelectObject(fromDc, from);
  HGDIOBJ oldTo = ::SelectObject(toDc, to);
  std::copy(image.pixels.begin(), image.pixels.end(), static_cast<uint32_t*>(fromBits));
  ::SetStretchBltMode(toDc, COLORONCOLOR);
  ::StretchBlt(toDc, 0, 0, image.width, image.height, fromDc, part.left, part.top, part.right - part.left,
               part.bottom - part.top, SRCCOPY);
  ScreenImage out = CaptureDc(toDc, 0, 0, image.width, image.height);
  out.left = image.left;
  out.top = image.top;
  ::SelectObject(fromDc, oldFrom);
  ::SelectObject(toDc, oldTo);
  ::DeleteDC(fromDc);
  ::DeleteDC(toDc);
  ::DeleteObject(from);
  ::DeleteObject(to);
  return out;
}

POINT PixelShownAt(POINT shown, const RECT& part, int width, int height) {
  ScreenImage places;
  places.width = width;
  places.height = height;
  places.pixels.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) places.pixels[static_cast<size_t>(y) * width + x] = static_cast<uint32_t>(x | (y << 12));
  const uint32_t place = Stretched(places, part).At(shown.x, shown.y);
  return {static_cast<LONG>(place & 0xFFF), static_cast<LONG>(place >> 12)};
}

uint32_t ScreenPixelOnceItIs(int x, int y, uint32_t expected, int timeoutMs) {
  uint32_t seen = 0;
  PumpUntil(
      [&] {
        seen = CaptureScreenRect(x, y, 1, 1).At(x, y);
        return seen == expected;
      },
      timeoutMs);
  return seen;
}

long ScreenDifferencesOnceNone(const ScreenImage& expected, int timeoutMs) {
  long differences = -1;
  PumpUntil(
      [&] {
        differences = CountDifferences(expected, CaptureScreenRect(expected.left, expected.top, expected.width,
                                                                    expected.height));
        return differences == 0;
      },
      timeoutMs);
  return differences;
}

std::wstring TempDir(const std::wstring& name) {
  wchar_t base[MAX_PATH];
  ::GetTempPathW(MAX_PATH, base);
  std::wstring dir = std::wstring(base) + L"scrivane-" + name + L"-" + std::to_wstring(::GetCurrentProcessId());
  ::CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

std::vector<uint8_t> ReadBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::wstring> FileNames(const std::wstring& dir, const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((dir + L"\\" + pattern).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
  } while (::FindNextFileW(h, &fd));
  ::FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

int FilesIn(const std::wstring& dir) { return static_cast<int>(FileNames(dir).size()); }

std::vector<RECT> StretchesIn(HENHMETAFILE emf) {
  std::vector<RECT> found;
  ::EnumEnhMetaFile(
      nullptr, emf,
      [](HDC, HANDLETABLE*, const ENHMETARECORD* rec, int, LPARAM p) -> int {
        if (rec->iType == EMR_STRETCHDIBITS) {
          const auto* r = reinterpret_cast<const EMRSTRETCHDIBITS*>(rec);
          reinterpret_cast<std::vector<RECT>*>(p)->push_back(
              RECT{r->xDest, r->yDest, r->xDest + r->cxDest, r->yDest + r->cyDest});
        }
        return 1;
      },
      &found, nullptr);
  return found;
}

namespace {
struct WindowSearch {
  const std::function<bool(HWND)>& match;
  bool firstOnly;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectMatching(HWND w, LPARAM p) {
  auto* search = reinterpret_cast<WindowSearch*>(p);
  if (!search->match(w)) return TRUE;
  search->found.push_back(w);
  return search->firstOnly ? FALSE : TRUE;
}

std::vector<HWND> SearchTopLevelWindows(const std::function<bool(HWND)>& match, bool firstOnly) {
  WindowSearch search{match, firstOnly, {}};
  ::EnumWindows(&CollectMatching, reinterpret_cast<LPARAM>(&search));
  return search.found;
}
}  // namespace

std::vector<HWND> TopLevelWindows(const std::function<bool(HWND)>& match) {
  return SearchTopLevelWindows(match, false);
}

HWND FindTopLevelWindow(const std::function<bool(HWND)>& match) {
  const std::vector<HWND> found = SearchTopLevelWindows(match, true);
  return found.empty() ? nullptr : found.front();
}

bool OfThisProcess(HWND hwnd) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  return pid == ::GetCurrentProcessId();
}

HWND FindVisibleWindow(const wchar_t* className, bool thisProcessOnly, const std::vector<HWND>& ignore) {
  return FindTopLevelWindow([&](HWND w) {
    wchar_t cls[256] = {};
    ::GetClassNameW(w, cls, 256);
    return (!thisProcessOnly || OfThisProcess(w)) && ::IsWindowVisible(w) && std::wstring(cls) == className &&
           std::find(ignore.begin(), ignore.end(), w) == ignore.end();
  });
}

HWND WaitForVisibleWindow(const wchar_t* className, bool thisProcessOnly, int timeoutMs,
                          const std::vector<HWND>& ignore) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (HWND found = FindVisibleWindow(className, thisProcessOnly, ignore)) return found;
    if (std::chrono::steady_clock::now() >= end) return nullptr;
    ::Sleep(20);
  }
}

}  // namespace testing_support
