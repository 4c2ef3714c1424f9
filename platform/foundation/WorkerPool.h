// The one pool of worker threads the program spreads parallel work over (a
// QThreadPool sized to the machine): the render engine's tiles, compositing
// bands, image strips. Work started from inside a worker runs in place, so
// nested parallel loops never wait on themselves.
#pragma once

#include <functional>

class QThreadPool;

namespace fnd {

class WorkerPool {
 public:
  static QThreadPool* shared();
  // Runs body(0) … body(count-1), in parallel when worthwhile; returns when all are done.
  static void parallelFor(int count, const std::function<void(int)>& body);
  // Splits [0, count) into contiguous bands of at least `grain` items, a
  // few per thread, and runs body(begin, end) for each. Inside a worker (a
  // tile already running in parallel with others) it runs as one band.
  static void parallelBands(int count, int grain, const std::function<void(int, int)>& body);
  // Runs `task` on a worker thread, as a worker (its own parallel loops run
  // in place), and returns at once: work a later call will want ready.
  static void start(std::function<void()> task);
  static int threadCount();
  static bool isWorkerThread();
};

}  // namespace fnd
