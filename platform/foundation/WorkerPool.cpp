#include "foundation/WorkerPool.h"

#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
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

int WorkerPool::threadCount() { return shared()->maxThreadCount(); }

void WorkerPool::parallelBands(int count, int grain, const std::function<void(int, int)>& body) {
  if (count <= 0) return;
  // Two bands per thread even out threads slowed by other work on the machine.
  const int most = insideWorker ? 1 : 2 * threadCount();
  const int bands = std::clamp(count / std::max(1, grain), 1, most);
  if (bands == 1) {
    body(0, count);
    return;
  }
  parallelFor(bands, [&](int band) {
    body(int((long long)count * band / bands), int((long long)count * (band + 1) / bands));
  });
}

void WorkerPool::start(std::function<void()> task) {
  shared()->start([task = std::move(task)] {
    insideWorker = true;
    task();
    insideWorker = false;
  });
}

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
