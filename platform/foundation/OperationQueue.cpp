#include "foundation/OperationQueue.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QThreadPool>
#include <QtDebug>
#include <mutex>
#include <set>

#include "foundation/MainThread.h"

namespace fnd {

namespace {

thread_local OperationQueue* runningQueue = nullptr;

// Posts `call` to the main thread's event loop.
void postToMainLoop(std::function<void()> call) {
  auto* app = QCoreApplication::instance();
  if (!app) {
    qWarning("fnd::OperationQueue: no application object, so no main loop to run on");
    return;
  }
  QMetaObject::invokeMethod(app, std::move(call), Qt::QueuedConnection);
}

// The worker queues alive, for the application's end. Queues are made and
// destroyed on any thread, so the set has its own lock.
std::mutex& workerQueuesMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

std::set<OperationQueue*>& workerQueues() {
  static auto* queues = new std::set<OperationQueue*>;
  return *queues;
}

void registerWorkerQueue(OperationQueue* queue) {
  static std::once_flag postRoutine;
  std::call_once(postRoutine, [] { qAddPostRoutine(&OperationQueue::finishAllWorkerQueues); });
  std::lock_guard lock(workerQueuesMutex());
  workerQueues().insert(queue);
}

void unregisterWorkerQueue(OperationQueue* queue) {
  std::lock_guard lock(workerQueuesMutex());
  workerQueues().erase(queue);
}

}  // namespace

// Main-loop calls posted by a queue hold this rather than the queue, so a
// call arriving after the queue is gone finds a null pointer.
struct OperationQueue::Life {
  std::mutex mutex;
  OperationQueue* queue = nullptr;
};

OperationQueue::OperationQueue() : isMain_(false), life_(std::make_shared<Life>()) {
  pool_ = std::make_unique<QThreadPool>();
  pool_->setMaxThreadCount(effectiveWidth());
  life_->queue = this;
  registerWorkerQueue(this);
}

OperationQueue::OperationQueue(MainTag) : isMain_(true), life_(std::make_shared<Life>()) {
  name_ = QStringLiteral("main");
  life_->queue = this;
}

OperationQueue::~OperationQueue() {
  if (pool_) unregisterWorkerQueue(this);
  std::vector<std::shared_ptr<Operation>> dropped;
  {
    std::unique_lock lock(mutex_);
    if (suspended_) {
      dropped.assign(waiting_.begin(), waiting_.end());
      waiting_.clear();
    }
  }
  for (const auto& operation : dropped) {
    operation->cancel();
    operation->finish();
  }
  {
    std::unique_lock lock(mutex_);
    drained_.wait(lock, [this] { return waiting_.empty() && executing_ == 0; });
  }
  // Workers may still be returning from runOperation; they touch this queue.
  if (pool_) pool_->waitForDone();
  std::lock_guard lock(life_->mutex);
  life_->queue = nullptr;
}

OperationQueue::OperationQueue(ImmediateTag)
    : isMain_(false), isImmediate_(true), life_(std::make_shared<Life>()) {
  name_ = QStringLiteral("immediate");
  life_->queue = this;
}

OperationQueue* OperationQueue::immediateQueue() {
  static auto* queue = new OperationQueue(ImmediateTag{});
  return queue;
}

void OperationQueue::runImmediately(const std::shared_ptr<Operation>& operation) {
  OperationQueue* outer = runningQueue;
  runningQueue = this;
  operation->runAndFinish();
  runningQueue = outer;
}

void OperationQueue::finishAllWorkerQueues() {
  std::set<OperationQueue*> queues;
  {
    std::lock_guard lock(workerQueuesMutex());
    queues = workerQueues();
  }
  for (OperationQueue* queue : queues) {
    {
      // A queue destroyed since the copy is no longer in the set.
      std::lock_guard lock(workerQueuesMutex());
      if (!workerQueues().count(queue)) continue;
    }
    queue->cancelAllOperations();
    queue->pool_->waitForDone(5000);
  }
}

OperationQueue* OperationQueue::mainQueue() {
  static auto* queue = new OperationQueue(MainTag{});
  return queue;
}

OperationQueue* OperationQueue::currentQueue() {
  if (runningQueue) return runningQueue;
  return isMainThread() ? mainQueue() : nullptr;
}

void OperationQueue::setName(const QString& name) {
  std::lock_guard lock(mutex_);
  name_ = name;
}

QString OperationQueue::name() const {
  std::lock_guard lock(mutex_);
  return name_;
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
  if (isMain_ || isImmediate_) return;
  int width;
  {
    std::lock_guard lock(mutex_);
    maxConcurrent_ = count <= 0 ? -1 : count;
    width = effectiveWidth();
  }
  pool_->setMaxThreadCount(width);
  schedule();
}

int OperationQueue::maxConcurrentOperationCount() const {
  if (isMain_) return 1;
  std::lock_guard lock(mutex_);
  return maxConcurrent_;
}

// Callers hold mutex_ (or are the constructor).
int OperationQueue::effectiveWidth() const {
  if (isMain_) return 1;
  int width = maxConcurrent_ > 0 ? maxConcurrent_ : QThread::idealThreadCount();
  return std::max(width, 1);
}

void OperationQueue::addOperation(std::shared_ptr<Operation> operation) {
  if (!operation) return;
  {
    std::lock_guard lock(operation->mutex_);
    if (operation->enqueued_ || operation->phase_ != Operation::Phase::Ready) {
      qWarning("fnd::OperationQueue::addOperation: the operation was already queued or run");
      return;
    }
    operation->enqueued_ = true;
  }
  if (isImmediate_) {
    runImmediately(operation);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    waiting_.push_back(std::move(operation));
  }
  countChanged();
  schedule();
}

void OperationQueue::addOperationWithBlock(std::function<void()> block) {
  addOperation(Operation::blockOperation(std::move(block)));
}

int OperationQueue::operationCount() const {
  std::lock_guard lock(mutex_);
  return int(waiting_.size()) + int(running_.size());
}

QList<std::shared_ptr<Operation>> OperationQueue::operations() const {
  std::lock_guard lock(mutex_);
  QList<std::shared_ptr<Operation>> all = running_;
  for (const auto& operation : waiting_) all.append(operation);
  return all;
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
  if (isImmediate_) return;  // nothing ever waits in it
  if (runningQueue == this) {
    qWarning("fnd::OperationQueue: an operation cannot wait for its own queue to drain");
    return;
  }
  auto drained = [this] { return waiting_.empty() && executing_ == 0; };
  if (isMain_ && isMainThread()) {
    // The main queue's operations need this very loop to run.
    for (;;) {
      {
        std::lock_guard lock(mutex_);
        if (drained()) return;
      }
      // Every step of a main-queue operation arrives as an event, so
      // blocking until the next one never misses the end.
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
  }
  std::unique_lock lock(mutex_);
  drained_.wait(lock, drained);
}

void OperationQueue::cancelAllOperations() {
  std::vector<std::shared_ptr<Operation>> dropped;
  {
    std::lock_guard lock(mutex_);
    for (const auto& operation : running_) operation->cancel();
    dropped.assign(waiting_.begin(), waiting_.end());
    waiting_.clear();
  }
  for (const auto& operation : dropped) {
    operation->cancel();
    operation->finish();
  }
  drained_.notify_all();
  countChanged();
}

void OperationQueue::setSuspended(bool suspended) {
  {
    std::lock_guard lock(mutex_);
    suspended_ = suspended;
  }
  if (!suspended) schedule();
}

bool OperationQueue::isSuspended() const {
  std::lock_guard lock(mutex_);
  return suspended_;
}

void OperationQueue::schedule() {
  std::vector<std::shared_ptr<Operation>> ready;
  std::vector<std::shared_ptr<Operation>> cancelled;
  {
    std::lock_guard lock(mutex_);
    const int width = effectiveWidth();
    while (!suspended_ && !waiting_.empty() && executing_ < width) {
      auto operation = std::move(waiting_.front());
      waiting_.pop_front();
      if (operation->isCancelled()) {
        cancelled.push_back(std::move(operation));
        continue;
      }
      ++executing_;
      running_.append(operation);
      ready.push_back(std::move(operation));
    }
  }
  for (const auto& operation : cancelled) operation->finish();
  if (!cancelled.empty()) {
    drained_.notify_all();
    countChanged();
  }
  for (const auto& operation : ready) launch(operation);
}

void OperationQueue::launch(const std::shared_ptr<Operation>& operation) {
  if (isMain_) {
    postToMainLoop([this, operation] { runOperation(operation); });
    return;
  }
  pool_->start([this, operation] { runOperation(operation); });
}

void OperationQueue::runOperation(const std::shared_ptr<Operation>& operation) {
  OperationQueue* outer = runningQueue;
  runningQueue = this;
  operation->runAndFinish();
  runningQueue = outer;
  {
    std::lock_guard lock(mutex_);
    running_.removeOne(operation);
    --executing_;
  }
  countChanged();
  schedule();
  drained_.notify_all();
}

void OperationQueue::countChanged() {
  {
    std::lock_guard lock(mutex_);
    if (publishPending_) return;
    publishPending_ = true;
  }
  postToMainLoop([life = life_] {
    std::lock_guard lock(life->mutex);
    if (life->queue) life->queue->publishCount();
  });
}

void OperationQueue::publishCount() {
  int now;
  {
    std::lock_guard lock(mutex_);
    publishPending_ = false;
    now = int(waiting_.size()) + int(running_.size());
  }
  if (now == publishedCount_) return;
  willChangeValueForKey(QStringLiteral("operationCount"));
  publishedCount_ = now;
  didChangeValueForKey(QStringLiteral("operationCount"));
}

QVariant OperationQueue::valueForKey(const QString& key) const {
  if (key == QLatin1String("operationCount")) return publishedCount_;
  if (key == QLatin1String("name")) return name();
  if (key == QLatin1String("maxConcurrentOperationCount")) return maxConcurrentOperationCount();
  if (key == QLatin1String("suspended")) return isSuspended();
  return Observable::valueForKey(key);
}

void dispatchToQueue(OperationQueue* queue, std::function<void()> block) {
  if (!queue) queue = OperationQueue::mainQueue();
  queue->addOperationWithBlock(std::move(block));
}

}  // namespace fnd
