// Ours beside libvips in the same process: the best of several runs of each,
// alternating, at one thread and then at all cores. Include after
// <vips/vips.h>, which must come before Qt's headers.
#pragma once

#include <omp.h>

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
// (WorkerPool.h), and so do the codecs' own threads (OpenJPEG, OpenEXR);
// the GIF quantiser's OpenMP team is held to this thread too: this runs all
// of `work` on one thread.
inline void onOneThread(const std::function<void()>& work) {
  fnd::WorkerPool::parallelFor(2, [&](int i) {
    if (i != 0) return;
    const int team = omp_get_max_threads();
    omp_set_num_threads(1);
    work();
    omp_set_num_threads(team);
  });
}

// Calls `report` with "1thread" and then "allcores" and the best times in
// milliseconds of ours and of vips (0 when `vips` is empty: a row of ours
// alone). At all cores vips's figure is its best at any thread count tried
// (one or all; more threads make some of its pipelines slower), and
// `vipsThreads` says which. In the cold pass each run of ours starts
// without the memory our pools kept from the run before, as vips keeps none
// between runs; the warm pass first runs each once untimed, both then
// reusing freed memory.
inline void compareWithVips(int runs, const std::function<void()>& ours,
                            const std::function<void()>& vips,
                            const std::function<void(const std::string& threads, double ours,
                                                     double vips, int vipsThreads)>& report) {
  static const int allCores = vips_concurrency_get();
  double bestVipsAnyThreads = 1e300;
  int bestVipsThreads = 1;
  for (const std::string threads : kVipsThreadCounts) {
    const bool single = threads == "1thread";
    const int vipsThreads = single ? 1 : allCores;
    vips_concurrency_set(vipsThreads);
    const std::function<void()> oursHere = [&] { single ? onOneThread(ours) : ours(); };
    if (warmPass()) {
      oursHere();
      if (vips) vips();
    }
    double bestOurs = 1e300, bestVips = vips ? 1e300 : 0;
    for (int run = 0; run < runs; ++run) {
      startColdInColdPass();
      bestOurs = std::min(bestOurs, millisecondsOf(oursHere));
      if (vips) bestVips = std::min(bestVips, millisecondsOf(vips));
    }
    if (vips && bestVips < bestVipsAnyThreads)
      bestVipsAnyThreads = bestVips, bestVipsThreads = vipsThreads;
    if (single || !vips)
      report(threads, bestOurs, bestVips, vipsThreads);
    else
      report(threads, bestOurs, bestVipsAnyThreads, bestVipsThreads);
  }
  vips_concurrency_set(allCores);
}

}  // namespace bench
