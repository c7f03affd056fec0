#include "support/xwatch_client.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace testing_support {

unsigned long long QpcTicks() {
  LARGE_INTEGER now, freq;
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&freq);
  // 10 MHz under Wine; elsewhere scale without overflowing.
  if (freq.QuadPart == 10000000) return static_cast<unsigned long long>(now.QuadPart);
  const long long whole = now.QuadPart / freq.QuadPart;
  const long long part = now.QuadPart % freq.QuadPart;
  return static_cast<unsigned long long>(whole * 10000000 + part * 10000000 / freq.QuadPart);
}

namespace {

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::string ReadText(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool WriteCommandFile(const std::wstring& dir, const std::string& command) {
  // Written in place and closed: the watcher reads the command when the file is closed after
  // writing (a rename from Wine's side fails now and then under Wine 8, with error 8).
  const std::string line = command + "\n";
  HANDLE f = ::CreateFileW((dir + L"\\cmd").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = ::WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
                  written == line.size();
  ::CloseHandle(f);
  return ok;
}

void PumpBriefly(DWORD sleepMs) {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  ::Sleep(sleepMs);
}

unsigned long long Field(const std::string& line, const char* name) {
  const std::string key = std::string(" ") + name + "=";
  size_t at = line.find(key);
  if (at == std::string::npos) return 0;
  return std::strtoull(line.c_str() + at + key.size(), nullptr, 10);
}

}  // namespace

std::wstring XWatch::ControlDir() {
  wchar_t state[MAX_PATH] = {};
  if (!::GetEnvironmentVariableW(L"SCRIVANE_TEST_STATE", state, MAX_PATH)) return L"";
  std::wstring dir = state;
  // A Unix path reaches Wine programs as it is; Wine's drive Z: is the Unix root.
  if (!dir.empty() && dir[0] == L'/') {
    for (auto& c : dir) {
      if (c == L'/') c = L'\\';
    }
    dir = L"Z:" + dir;
  }
  return dir + L"\\xwatch";
}

bool XWatch::Ready() const {
  return !dir_.empty() && ::GetFileAttributesW((dir_ + L"\\ready").c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool XWatch::Command(const std::string& command, const std::string& wantAckPrefix, std::string* ack, int timeoutMs) {
  if (!Ready()) return false;
  if (!WriteCommandFile(dir_, command)) { lastAck_ = "write failed " + std::to_string(::GetLastError()); return false; }
  const std::wstring ackPath = dir_ + L"\\ack";
  const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
  // Soon at first (most answers take a millisecond or two), then every 10 ms: each look at the
  // answer is a round trip through the Wine server, which the watcher and the X server need too.
  for (DWORD sleep = 1;; sleep = sleep < 10 ? sleep + 1 : 10) {
    std::string text = ReadText(ackPath);
    if (text.rfind(wantAckPrefix, 0) == 0) {
      if (ack) *ack = text;
      return true;
    }
    if (::GetTickCount64() >= end) {
      lastAck_ = text;
      return false;
    }
    PumpBriefly(sleep);
  }
}

unsigned long long XWatch::Start(const std::string& label, uint32_t fillA, uint32_t fillB, int timeoutMs) {
  char command[256];
  std::snprintf(command, sizeof command, "start %s fill=%06x,%06x", label.c_str(), static_cast<unsigned>(fillA),
                static_cast<unsigned>(fillB));
  std::string ack;
  if (!Command(command, "started " + label + " ", &ack, timeoutMs)) return 0;
  return std::strtoull(ack.c_str() + std::strlen("started ") + label.size() + 1, nullptr, 10);
}

unsigned long long XWatch::StartWithProbes(const std::string& label, const std::vector<XProbe>& probes,
                                           int timeoutMs) {
  std::string list;
  char line[64];
  for (const XProbe& p : probes) {
    std::snprintf(line, sizeof line, "%d %d %06x %d\n", p.x, p.y, static_cast<unsigned>(p.rgb), p.tolerance);
    list += line;
  }
  HANDLE f = ::CreateFileW((dir_ + L"\\probes").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
  if (f == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  const bool ok = ::WriteFile(f, list.data(), static_cast<DWORD>(list.size()), &written, nullptr) &&
                  written == list.size();
  ::CloseHandle(f);
  if (!ok) return 0;
  std::string ack;
  if (!Command("start " + label + " probes", "started " + label + " ", &ack, timeoutMs)) return 0;
  return std::strtoull(ack.c_str() + std::strlen("started ") + label.size() + 1, nullptr, 10);
}

std::optional<XWatchProgress> XWatch::Peek(const std::string& label, int timeoutMs) {
  std::string ack;
  if (!Command("peek " + label, "progress " + label + " ", &ack, timeoutMs)) return std::nullopt;
  XWatchProgress p;
  p.firstMap = Field(ack, "map");
  p.painted = Field(ack, "painted");
  p.damages = static_cast<int>(Field(ack, "damages"));
  p.lastDamage = Field(ack, "last");
  p.fills = static_cast<int>(Field(ack, "fills"));
  return p;
}

std::optional<XCursorImage> XWatch::Cursor(const std::string& label, int timeoutMs) {
  std::string ack;
  if (!Command("cursor " + label, "cursor " + label + " ", &ack, timeoutMs)) return std::nullopt;
  XCursorImage c;
  if (std::sscanf(ack.c_str() + std::strlen("cursor ") + label.size(), " %d %d %d %d", &c.width, &c.height, &c.xHot,
                  &c.yHot) != 4) {
    return std::nullopt;
  }
  return c;
}

bool XWatch::Key(const std::string& keysym, bool down, int timeoutMs) {
  const std::string what = std::string("key ") + (down ? "down " : "up ") + keysym;
  return Command(what, what + "\n", nullptr, timeoutMs);
}

std::optional<XWatchRecord> XWatch::Stop(const std::string& label, int timeoutMs) {
  if (!Command("stop " + label, "stopped " + label + "\n", nullptr, timeoutMs)) return std::nullopt;
  const std::wstring path = dir_ + L"\\record-" + Widen(label) + L".txt";
  std::string text = ReadText(path);
  ::DeleteFileW(path.c_str());
  return Parse(text);
}

std::optional<XWatchRecord> XWatch::Parse(const std::string& text) {
  XWatchRecord r;
  r.text = text;
  std::istringstream in(text);
  std::string line;
  bool summary = false;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "start") {
      words >> r.start;
    } else if (kind == "map") {
      unsigned long long t = 0;
      words >> t;
      r.maps.push_back(t);
    } else if (kind == "unmap") {
      unsigned long long t = 0;
      words >> t;
      r.unmaps.push_back(t);
    } else if (kind == "damage") {
      XWatchRecord::Damage d{};
      words >> d.t >> d.x >> d.y >> d.w >> d.h;
      r.damages.push_back(d);
    } else if (kind == "probe") {
      XWatchRecord::ProbeSeen p{};
      words >> p.t >> p.index;
      r.probes.push_back(p);
    } else if (kind == "look") {
      XWatchRecord::Look l{};
      words >> l.t;
      std::string rest;
      std::getline(words, rest);
      std::sscanf(rest.c_str(), " black=%lf face=%lf same=%lf", &l.black, &l.face, &l.same);
      r.looks.push_back(l);
    } else if (kind == "summary") {
      line = " " + line.substr(line.find(' ') + 1);
      r.firstMap = Field(line, "map");
      r.painted = Field(line, "painted");
      r.fills = static_cast<int>(Field(line, "fills"));
      r.fullDamages = static_cast<int>(Field(line, "full_damages"));
      summary = true;
    }
  }
  if (!summary || r.start == 0) return std::nullopt;
  return r;
}

}  // namespace testing_support
