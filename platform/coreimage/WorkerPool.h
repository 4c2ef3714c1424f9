// The one pool of worker threads the render engine spreads tiles over
// (a QThreadPool sized to the machine). Work started from inside a worker
// runs in place, so nested renders never wait on themselves.
#pragma once

#include <functional>

class QThreadPool;

namespace ci {

class WorkerPool {
 public:
  static QThreadPool* shared();
  // Runs body(0) … body(count-1), in parallel when worthwhile; returns when all are done.
  static void parallelFor(int count, const std::function<void(int)>& body);
  static bool isWorkerThread();
};

}  // namespace ci
