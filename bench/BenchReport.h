// The two line kinds every benchmark prints, read by people and scripts:
//   figure NAME VALUE UNIT   an absolute measurement
//   ratio NAME VALUE         ours divided by the peer's or the floor's (below 1.0 is faster)
// Every program runs its benchmarks twice (BenchMain.cpp): first cold, as the
// program runs them, each large buffer fresh memory the kernel still has to
// map and zero; then warm, with the allocator keeping what is freed, so
// buffers are reused. Lines of the warm pass carry the suffix "_warm".
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace bench {

inline bool& warmPass() {
  static bool warm = false;
  return warm;
}

// `name` as printed in the current pass.
inline std::string passName(const std::string& name) { return warmPass() ? name + "_warm" : name; }

inline void figure(const std::string& name, double value, const std::string& unit) {
  std::printf("figure %s %.6g %s\n", passName(name).c_str(), value, unit.c_str());
  std::fflush(stdout);
}

inline void ratio(const std::string& name, double value) {
  std::printf("ratio %s %.4f\n", passName(name).c_str(), value);
  std::fflush(stdout);
}

// Reports that print once the pass's benchmarks have all run.
inline std::vector<std::function<void()>>& passReports() {
  static std::vector<std::function<void()>> reports;
  return reports;
}

inline bool atPassEnd(std::function<void()> report) {
  passReports().push_back(std::move(report));
  return true;
}

// Work that must end while the application still runs (documents whose
// queues wait on the main loop, widgets), done after the last pass.
inline std::vector<std::function<void()>>& programEndWork() {
  static std::vector<std::function<void()>> work;
  return work;
}

inline void atProgramEnd(std::function<void()> work) {
  programEndWork().push_back(std::move(work));
}

// What makes a run of ours start as cold as the program's first: the pools of
// recycled memory some programs register here (ColdPools.h) give back what
// they keep. Peer comparisons call it before each run of ours in the cold
// pass, since the peer keeps no such pool between runs there.
inline std::vector<std::function<void()>>& coldStartWork() {
  static std::vector<std::function<void()>> work;
  return work;
}

inline void startColdInColdPass() {
  if (!warmPass())
    for (const auto& work : coldStartWork()) work();
}

// The thread count of floors for work spread over the worker pool.
inline int allCores() { return int(std::max(1u, std::thread::hardware_concurrency())); }

// Google Benchmark runs each case several times while it settles on an
// iteration count; this keeps, per name, the mean time of the longest run.
class Timings {
 public:
  void record(const std::string& name, double milliseconds, benchmark::IterationCount iterations) {
    auto& entry = entries_[name];
    if (iterations >= entry.second) entry = {milliseconds, iterations};
  }
  void set(const std::string& name, double milliseconds) { entries_[name] = {milliseconds, 1}; }
  // A memcpy floor and the threads that copied it.
  void setFloor(const std::string& name, double milliseconds, int threads) {
    set(name, milliseconds);
    floorThreads_[name] = threads;
  }
  // Milliseconds per iteration, or 0 when `name` never ran.
  double get(const std::string& name) const {
    auto found = entries_.find(name);
    return found == entries_.end() ? 0 : found->second.first;
  }
  bool has(const std::string& name) const { return entries_.count(name) > 0; }
  void printFigures() const {
    for (const auto& [name, entry] : entries_) figure(name, entry.first, "ms");
  }
  // `name`'s time, its floor's and their ratio, when both ran.
  void printAgainstFloor(const std::string& name, const std::string& floorName) const {
    if (!has(name)) return;
    figure(name, get(name), "ms");
    if (!has(floorName)) return;
    figure(name + "_memcpy_floor", get(floorName), "ms");
    auto threads = floorThreads_.find(floorName);
    figure(name + "_memcpy_floor_threads", threads == floorThreads_.end() ? 1 : threads->second,
           "threads");
    if (get(floorName) > 0) ratio(name + "_vs_memcpy", get(name) / get(floorName));
  }
  void clear() {
    entries_.clear();
    floorThreads_.clear();
  }

 private:
  std::map<std::string, std::pair<double, benchmark::IterationCount>> entries_;
  std::map<std::string, int> floorThreads_;
};

inline double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// Runs the timed loop around `body` and records its mean time under `name`.
// In the warm pass one untimed run first leaves the allocator holding the
// memory the body asks for.
template <typename Body>
void timed(benchmark::State& state, Timings& timings, const std::string& name, Body body) {
  if (warmPass()) body();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) body();
  if (state.iterations() > 0)
    timings.record(name, millisecondsSince(start) / double(state.iterations()), state.iterations());
}

// The memory bandwidth floor: the best of three copies of `bytes` (read
// once, written once) between buffers already in use.
inline double memcpyMilliseconds(size_t bytes) {
  std::vector<char> from(bytes, 1), to(bytes, 0);
  double best = 1e300;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    best = std::min(best, millisecondsSince(start));
  }
  return best;
}

// The floor of work spread over `threads` threads: the best of three copies
// of `bytes`, split in as many bands copied at once, between buffers already
// in use (one thread: memcpyMilliseconds).
inline double memcpyMilliseconds(size_t bytes, int threads) {
  if (threads <= 1) return memcpyMilliseconds(bytes);
  std::vector<char> from(bytes, 1), to(bytes, 0);
  const size_t band = (bytes + size_t(threads) - 1) / size_t(threads);
  double best = 1e300;
  for (int i = 0; i < 3; ++i) {
    std::vector<std::thread> copies;
    const auto start = std::chrono::steady_clock::now();
    for (size_t begin = 0; begin < bytes; begin += band)
      copies.emplace_back([&, begin] {
        std::memcpy(to.data() + begin, from.data() + begin, std::min(band, bytes - begin));
      });
    for (std::thread& copy : copies) copy.join();
    benchmark::DoNotOptimize(to.data());
    best = std::min(best, millisecondsSince(start));
  }
  return best;
}

// Peak memory between resetPeakMemory() and peakMemoryBytes(), from the
// kernel's high-water mark of this process's resident set.
inline void resetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }
inline double statusBytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == field) {
      double kilobytes = 0;
      status >> kilobytes;
      return kilobytes * 1024;
    }
    status.ignore(1 << 12, '\n');
  }
  return 0;
}
inline double residentBytes() { return statusBytes("VmRSS:"); }
inline double peakMemoryBytes() { return statusBytes("VmHWM:"); }

}  // namespace bench
