// The Windows side of the screen watcher (tools/xwatch): a native X client that runs beside Wine
// on the test screen and records full-screen window maps and every drawing, timestamped on the
// clock of QueryPerformanceCounter. A test or the benchmark starts a record before it presses a
// key and stops it when it has seen what it waits for.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// 100-ns ticks of QueryPerformanceCounter: the watcher's unit.
unsigned long long QpcTicks();

struct XWatchRecord {
  struct Damage {
    unsigned long long t;
    int x, y, w, h;
  };
  struct Look {
    unsigned long long t;
    double black, face, same;
  };
  std::string text;  // the whole record, for a failure message
  unsigned long long start = 0;
  std::vector<unsigned long long> maps;  // full-screen maps
  std::vector<unsigned long long> unmaps;
  std::vector<Damage> damages;
  std::vector<Look> looks;
  // When each probe (by its index in the list given to StartWithProbes) first showed its colour.
  struct ProbeSeen {
    unsigned long long t;
    int index;
  };
  std::vector<ProbeSeen> probes;
  // From the watcher's summary.
  unsigned long long firstMap = 0;
  unsigned long long painted = 0;  // the drawing that completed the picture after the first map
  int fills = 0;                   // looks that found nine tenths of the screen black or button face
  int fullDamages = 0;             // drawings of nine tenths of the screen after the first map
};

// What the watcher has seen so far in the running record.
struct XWatchProgress {
  unsigned long long firstMap = 0;
  unsigned long long painted = 0;
  int damages = 0;
  unsigned long long lastDamage = 0;
  int fills = 0;
};

// A point of the screen whose colour (0x00RRGGBB, give or take `tolerance` in every byte) a record
// waits for.
struct XProbe {
  int x = 0, y = 0;
  uint32_t rgb = 0;
  int tolerance = 0;
};

// The pointer image that the X server shows.
struct XCursorImage {
  int width = 0, height = 0, xHot = 0, yHot = 0;
};

class XWatch {
 public:
  // The watcher of this test environment: <SCRIVANE_TEST_STATE>/xwatch, where start-screen.sh
  // starts it. Empty when there is none.
  static std::wstring ControlDir();
  explicit XWatch(std::wstring controlDir = ControlDir()) : dir_(std::move(controlDir)) {}

  // True when the watcher said it is listening.
  bool Ready() const;
  // How long a command may take before the watcher counts as gone: a native process beside Wine,
  // Xvfb and the test, which on a loaded two-core machine may wait seconds for the processor and
  // has to read and compare the whole screen. Only a watcher that hangs takes this long.
  static constexpr int kAnswerTimeoutMs = 60000;
  // Begins a new record; `fills` are the two colours (0x00RRGGBB) that count as a fill. Returns the
  // watcher's start time, or 0 when it did not answer.
  unsigned long long Start(const std::string& label, uint32_t fillA = 0x000000, uint32_t fillB = 0xF0F0F0,
                           int timeoutMs = kAnswerTimeoutMs);
  // Begins a new record that also notes when each of `probes` first shows its colour (looked at
  // after every drawing over it); 0 when the watcher did not answer.
  unsigned long long StartWithProbes(const std::string& label, const std::vector<XProbe>& probes,
                                     int timeoutMs = kAnswerTimeoutMs);
  std::optional<XWatchProgress> Peek(const std::string& label, int timeoutMs = kAnswerTimeoutMs);
  std::optional<XWatchRecord> Stop(const std::string& label, int timeoutMs = kAnswerTimeoutMs);
  std::optional<XCursorImage> Cursor(const std::string& label, int timeoutMs = kAnswerTimeoutMs);
  // Presses or releases a key in the X server itself (XTest), named by its X keysym ("Control_L",
  // "Shift_L", "Tab"); true once the server has it.
  bool Key(const std::string& keysym, bool down, int timeoutMs = kAnswerTimeoutMs);
  static std::optional<XWatchRecord> Parse(const std::string& text);
  // The watcher's last answer when a command timed out, for a failure message.
  const std::string& LastAck() const { return lastAck_; }

 private:
  bool Command(const std::string& command, const std::string& wantAckPrefix, std::string* ack, int timeoutMs);
  std::wstring dir_;
  std::string lastAck_;
};

}  // namespace testing_support
