// Ours beside libvips in the same process: the best of several runs of each,
// alternating, at one thread and then at all cores. Include after
// <vips/vips.h>, which must come before Qt's headers.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>

#include "BenchReport.h"
#include "foundation/WorkerPool.h"

namespace bench {

// The two settings every comparison runs at, as they end the rows' names.
inline const char* const kVipsThreadCounts[] = {"1thread", "allcores"};

inline double millisecondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return millisecondsSince(start);
}

// Work started inside a worker of the shared pool runs in place
// (WorkerPool.h), so this runs all of `work` on one thread.
inline void onOneThread(const std::function<void()>& work) {
  fnd::WorkerPool::parallelFor(2, [&](int i) {
    if (i == 0) work();
  });
}

// Calls `report` with "1thread" and then "allcores" and the best times in
// milliseconds of ours and of vips (0 when `vips` is empty: a row of ours
// alone); the warm pass first runs each once untimed.
inline void compareWithVips(
    int runs, const std::function<void()>& ours, const std::function<void()>& vips,
    const std::function<void(const std::string& threads, double ours, double vips)>& report) {
  static const int allCores = vips_concurrency_get();
  for (const std::string threads : kVipsThreadCounts) {
    const bool single = threads == "1thread";
    vips_concurrency_set(single ? 1 : allCores);
    const std::function<void()> oursHere = [&] { single ? onOneThread(ours) : ours(); };
    if (warmPass()) {
      oursHere();
      if (vips) vips();
    }
    double bestOurs = 1e300, bestVips = vips ? 1e300 : 0;
    for (int run = 0; run < runs; ++run) {
      bestOurs = std::min(bestOurs, millisecondsOf(oursHere));
      if (vips) bestVips = std::min(bestVips, millisecondsOf(vips));
    }
    report(threads, bestOurs, bestVips);
  }
  vips_concurrency_set(allCores);
}

}  // namespace bench
