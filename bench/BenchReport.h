// The two line kinds every benchmark prints, read by people and scripts:
//   figure NAME VALUE UNIT   an absolute measurement
//   ratio NAME VALUE         ours divided by the peer's (below 1.0 is faster)
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>

namespace bench {

inline void figure(const std::string& name, double value, const std::string& unit) {
  std::printf("figure %s %.6g %s\n", name.c_str(), value, unit.c_str());
  std::fflush(stdout);
}

inline void ratio(const std::string& name, double value) {
  std::printf("ratio %s %.4f\n", name.c_str(), value);
  std::fflush(stdout);
}

// Google Benchmark runs each case several times while it settles on an
// iteration count; this keeps, per name, the mean time of the longest run.
class Timings {
 public:
  void record(const std::string& name, double milliseconds, benchmark::IterationCount iterations) {
    auto& entry = entries_[name];
    if (iterations >= entry.second) entry = {milliseconds, iterations};
  }
  // Milliseconds per iteration, or 0 when `name` never ran.
  double get(const std::string& name) const {
    auto found = entries_.find(name);
    return found == entries_.end() ? 0 : found->second.first;
  }
  void printFigures() const {
    for (const auto& [name, entry] : entries_) figure(name, entry.first, "ms");
  }

 private:
  std::map<std::string, std::pair<double, benchmark::IterationCount>> entries_;
};

// Runs the timed loop around `body` and records its mean time under `name`.
template <typename Body>
void timed(benchmark::State& state, Timings& timings, const std::string& name, Body body) {
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) body();
  const std::chrono::duration<double, std::milli> elapsed =
      std::chrono::steady_clock::now() - start;
  if (state.iterations() > 0)
    timings.record(name, elapsed.count() / double(state.iterations()), state.iterations());
}

}  // namespace bench
