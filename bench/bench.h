// The benchmark program: each hot path is measured as a median over many repetitions next to
// the raw Win32 operation it is built on, in the same run, and reported as a ratio.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace shell {
class Application;
}

namespace bench {

// The program's application object, whose windows the benchmarks drive; made by main.
shell::Application& App();

struct Result {
  std::string name;
  double oursMicros = 0;
  double plainMicros = 0;
  std::string plainName;
  std::string note;  // anything else worth printing (rates, targets)
};

using BenchFn = std::function<std::vector<Result>()>;

// Registers a benchmark; the file-scope Registrar below calls it before main.
void Register(const std::string& name, BenchFn fn);

struct Registrar {
  Registrar(const std::string& name, BenchFn fn) { Register(name, std::move(fn)); }
};

// Runs `fn` `reps` times (after `warmup` unmeasured runs) and returns the median in microseconds.
double MedianMicros(const std::function<void()>& fn, int reps, int warmup = 3);

// Dispatches this thread's pending messages.
void PumpMessages();

}  // namespace bench
