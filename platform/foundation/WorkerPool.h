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
  static bool isWorkerThread();
};

}  // namespace fnd
