#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>

#include "bench.h"
#include "shell/start_up.h"

namespace bench {

namespace {
shell::Application* theApp = nullptr;
}  // namespace

shell::Application& App() { return *theApp; }

static std::map<std::string, BenchFn>& Benchmarks() {
  static std::map<std::string, BenchFn> all;
  return all;
}

void Register(const std::string& name, BenchFn fn) { Benchmarks()[name] = std::move(fn); }

double MedianMicros(const std::function<void()>& fn, int reps, int warmup) {
  for (int i = 0; i < warmup; ++i) fn();
  std::vector<double> times;
  times.reserve(reps);
  for (int i = 0; i < reps; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    fn();
    auto t1 = std::chrono::steady_clock::now();
    times.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void PumpMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

}  // namespace bench

int main(int argc, char** argv) {
  shell::Application app;
  bench::theApp = &app;
  const char* only = argc > 1 ? argv[1] : nullptr;
  std::printf("%-48s %12s %12s %8s  %s\n", "benchmark (median)", "ours us", "plain us", "ratio", "plain operation");
  for (auto& [name, fn] : bench::Benchmarks()) {
    if (only && std::strstr(name.c_str(), only) == nullptr) continue;
    for (const auto& r : fn()) {
      double ratio = r.plainMicros > 0 ? r.oursMicros / r.plainMicros : 0;
      std::printf("%-48s %12.1f %12.1f %8.2f  %s\n", r.name.c_str(), r.oursMicros, r.plainMicros, ratio,
                  r.plainName.c_str());
      if (!r.note.empty()) std::printf("    %s\n", r.note.c_str());
      std::fflush(stdout);
    }
  }
  return 0;
}
