// Operations and operation queues: blocks run on a queue's own pool of
// worker threads (QThreadPool), or on the Qt event loop of the main thread
// for the main queue, never more at once than the queue allows.
#pragma once

#include <QList>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "foundation/Observable.h"

class QThreadPool;

namespace fnd {

class OperationQueue;

class Operation : public std::enable_shared_from_this<Operation> {
 public:
  explicit Operation(std::function<void()> block = {});
  virtual ~Operation();
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

  static std::shared_ptr<Operation> blockOperation(std::function<void()> block);

  // A cancelled operation that has not started never runs its block; one
  // already running can poll isCancelled() and stop early.
  void cancel() { cancelled_ = true; }
  bool isCancelled() const { return cancelled_; }
  bool isExecuting() const;
  bool isFinished() const;

  // Runs on the thread that finished the operation, cancelled or not.
  void setCompletionBlock(std::function<void()> block);

  // Runs the operation on the calling thread when it belongs to no queue.
  void start();
  // Blocks until finished; never call it for a main-queue operation from
  // the main thread.
  void waitUntilFinished();

 protected:
  // The work; the default runs the block.
  virtual void main();

 private:
  friend class OperationQueue;
  enum class Phase { Ready, Executing, Finished };
  bool beginExecuting();
  void runAndFinish();
  void finish();

  std::function<void()> block_;
  std::function<void()> completion_;
  std::atomic<bool> cancelled_{false};
  mutable std::mutex mutex_;
  std::condition_variable finishedCondition_;
  Phase phase_ = Phase::Ready;
  bool enqueued_ = false;
};

// Observable key "operationCount" (int). Its will/did-change pairs are
// always sent on the main thread, from the main loop, so observers must
// register there; the old and new values are the counts last published and
// now, and nothing is sent when they are equal. operationCount() itself is
// exact at any moment, from any thread.
class OperationQueue : public Observable {
 public:
  OperationQueue();
  // Finishes the work it was given: waits for every operation added (those
  // of a suspended queue that have not started are cancelled instead).
  ~OperationQueue() override;
  OperationQueue(const OperationQueue&) = delete;
  OperationQueue& operator=(const OperationQueue&) = delete;

  // Serial, runs on the Qt event loop of the main thread; never destroyed.
  static OperationQueue* mainQueue();
  // Runs each operation on the thread that adds it, before addOperation
  // returns, as the current queue; for code that must never defer work
  // (a previewer answering on its caller's thread). Never destroyed.
  static OperationQueue* immediateQueue();
  // The queue whose operation is running on this thread; mainQueue() on the
  // main thread otherwise; nullptr on any other thread.
  static OperationQueue* currentQueue();

  void setName(const QString& name);
  QString name() const;

  // -1 (the default) means one per core. Ignored for the main queue.
  void setMaxConcurrentOperationCount(int count);
  int maxConcurrentOperationCount() const;

  void addOperation(std::shared_ptr<Operation> operation);
  void addOperationWithBlock(std::function<void()> block);

  int operationCount() const;
  // Waiting and executing operations, in the order they were added.
  QList<std::shared_ptr<Operation>> operations() const;

  // Called from the main thread for the main queue, runs the main loop
  // until the queue drains.
  void waitUntilAllOperationsAreFinished();
  // Waiting operations leave the queue at once without running their block
  // (their completion blocks run on the calling thread); executing ones are
  // only marked cancelled.
  void cancelAllOperations();
  // Cancels what waits in every worker queue still alive and lets what runs
  // finish (a few seconds at most). Runs by itself as the application object
  // goes, before the windowing system does: work still painting a thumbnail
  // then would use a font or platform object already destroyed.
  static void finishAllWorkerQueues();

  void setSuspended(bool suspended);
  bool isSuspended() const;

  QVariant valueForKey(const QString& key) const override;

 private:
  struct MainTag {};
  explicit OperationQueue(MainTag);
  struct ImmediateTag {};
  explicit OperationQueue(ImmediateTag);
  void runImmediately(const std::shared_ptr<Operation>& operation);
  void schedule();
  void launch(const std::shared_ptr<Operation>& operation);
  void runOperation(const std::shared_ptr<Operation>& operation);
  void countChanged();
  void publishCount();
  int effectiveWidth() const;

  const bool isMain_;
  const bool isImmediate_ = false;
  QString name_;
  int maxConcurrent_ = -1;
  bool suspended_ = false;
  int executing_ = 0;
  std::deque<std::shared_ptr<Operation>> waiting_;
  QList<std::shared_ptr<Operation>> running_;
  mutable std::mutex mutex_;
  std::condition_variable drained_;
  std::unique_ptr<QThreadPool> pool_;
  int publishedCount_ = 0;
  bool publishPending_ = false;
  struct Life;
  std::shared_ptr<Life> life_;  // lets posted main-loop calls outlive the queue safely
};

// Hands a block back to a queue, typically the one that asked for work:
// runs on the main loop for mainQueue() (or a null queue), as an operation
// otherwise.
void dispatchToQueue(OperationQueue* queue, std::function<void()> block);

}  // namespace fnd
