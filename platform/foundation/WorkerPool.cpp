#include "foundation/WorkerPool.h"

#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <numeric>
#include <vector>

namespace fnd {

namespace {
thread_local bool insideWorker = false;
}

QThreadPool* WorkerPool::shared() {
  static QThreadPool* pool = [] {
    auto* p = new QThreadPool;
    p->setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
    p->setExpiryTimeout(30000);
    return p;
  }();
  return pool;
}

bool WorkerPool::isWorkerThread() { return insideWorker; }

void WorkerPool::parallelFor(int count, const std::function<void(int)>& body) {
  if (count <= 0) return;
  if (count == 1 || insideWorker) {
    for (int i = 0; i < count; ++i) body(i);
    return;
  }
  std::vector<int> indices(static_cast<size_t>(count), 0);
  std::iota(indices.begin(), indices.end(), 0);
  QtConcurrent::blockingMap(shared(), indices, [&body](int index) {
    const bool wasInside = insideWorker;
    insideWorker = true;
    body(index);
    insideWorker = wasInside;
  });
}

}  // namespace fnd
