#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "TestSupport.h"
#include "foundation/OperationQueue.h"

using fnd::Operation;
using fnd::OperationQueue;

namespace {

// Operations that each hold until the test hands out a permit, so the test
// decides when a slot frees up; `peak` records the most ever running at once.
struct Gate {
  std::mutex mutex;
  std::condition_variable changed;
  int running = 0, peak = 0, finished = 0, permits = 0;

  void run() {
    std::unique_lock lock(mutex);
    peak = std::max(peak, ++running);
    changed.notify_all();
    changed.wait_for(lock, std::chrono::seconds(5), [&] { return permits > 0; });
    --permits;
    --running;
    ++finished;
    changed.notify_all();
  }
  // Waits (with a generous safety limit) until `condition` holds.
  bool until(const std::function<bool()>& condition) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(5), condition);
  }
  void release() {
    std::lock_guard lock(mutex);
    ++permits;
    changed.notify_all();
  }
};

}  // namespace

TEST(OperationQueue, NeverRunsMoreThanTheLimit) {
  for (int width : {1, 2, 3}) {
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(width);
    EXPECT_EQ(queue.maxConcurrentOperationCount(), width);
    Gate gate;
    const int total = 4 * width;
    for (int i = 0; i < total; ++i) queue.addOperationWithBlock([&] { gate.run(); });
    // Free one slot at a time; each time the queue must fill the slots again,
    // and an operation it started beyond the limit would raise the peak.
    for (int done = 0; done < total; ++done) {
      ASSERT_TRUE(gate.until([&] { return gate.running >= std::min(width, total - done); }));
      gate.release();
      ASSERT_TRUE(gate.until([&] { return gate.finished == done + 1; }));
    }
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(gate.peak, width) << "width " << width;
    EXPECT_EQ(queue.operationCount(), 0);
  }
}

TEST(OperationQueue, CurrentQueueNamesTheRunningQueue) {
  OperationQueue queue;
  std::atomic<OperationQueue*> inside{nullptr};
  std::atomic<QThread*> thread{nullptr};
  queue.addOperationWithBlock([&] {
    inside = OperationQueue::currentQueue();
    thread = QThread::currentThread();
  });
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(inside.load(), &queue);
  EXPECT_NE(thread.load(), QThread::currentThread());

  EXPECT_EQ(OperationQueue::currentQueue(), OperationQueue::mainQueue());
  OperationQueue* onMainQueue = nullptr;
  OperationQueue::mainQueue()->addOperationWithBlock(
      [&] { onMainQueue = OperationQueue::currentQueue(); });
  OperationQueue::mainQueue()->waitUntilAllOperationsAreFinished();
  EXPECT_EQ(onMainQueue, OperationQueue::mainQueue());

  OperationQueue* plainThread = &queue;
  std::thread([&] { plainThread = OperationQueue::currentQueue(); }).join();
  EXPECT_EQ(plainThread, nullptr);
}

TEST(OperationQueue, CancelledOperationsNeverRunTheirBlock) {
  OperationQueue queue;
  queue.setSuspended(true);
  std::atomic<int> ran{0}, completed{0};
  QList<std::shared_ptr<Operation>> added;
  for (int i = 0; i < 3; ++i) {
    auto op = Operation::blockOperation([&] { ++ran; });
    op->setCompletionBlock([&] { ++completed; });
    queue.addOperation(op);
    added << op;
  }
  EXPECT_EQ(queue.operationCount(), 3);
  EXPECT_EQ(queue.operations(), added);
  queue.cancelAllOperations();
  EXPECT_EQ(queue.operationCount(), 0);
  queue.setSuspended(false);
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(ran, 0);
  EXPECT_EQ(completed, 3);
  for (const auto& op : added) {
    EXPECT_TRUE(op->isCancelled());
    EXPECT_TRUE(op->isFinished());
    EXPECT_FALSE(op->isExecuting());
  }

  // Cancelling one waiting operation skips just that one.
  queue.setMaxConcurrentOperationCount(1);
  queue.setSuspended(true);
  QStringList order;
  std::mutex orderMutex;
  auto record = [&](QString what) {
    return [&, what] {
      std::lock_guard lock(orderMutex);
      order << what;
    };
  };
  auto first = Operation::blockOperation(record("first"));
  auto second = Operation::blockOperation(record("second"));
  auto third = Operation::blockOperation(record("third"));
  for (const auto& op : {first, second, third}) queue.addOperation(op);
  second->cancel();
  queue.setSuspended(false);
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(order, QStringList({"first", "third"}));
  EXPECT_TRUE(second->isFinished());
}

TEST(OperationQueue, WaitingCoversEveryOperationAndItsCompletion) {
  std::atomic<int> sum{0};
  auto op = Operation::blockOperation([&] { sum += 1000; });
  {
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(2);
    for (int i = 1; i <= 100; ++i) queue.addOperationWithBlock([&sum, i] { sum += i; });
    queue.addOperation(op);
    op->waitUntilFinished();
    EXPECT_TRUE(op->isFinished());
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(sum, 5050 + 1000);
    for (int i = 0; i < 50; ++i) queue.addOperationWithBlock([&sum] { sum += 1; });
  }  // the destructor lets the last fifty finish
  EXPECT_EQ(sum, 5050 + 1000 + 50);

  // An operation joins one queue only and runs once.
  OperationQueue queue;
  queue.addOperation(op);
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(sum, 5050 + 1000 + 50);
}

TEST(OperationQueue, OperationCountIsObservedOnTheMainThread) {
  OperationQueue queue;
  QList<QPair<int, int>> changes;
  bool offMain = false;
  QThread* mainThread = QThread::currentThread();
  queue.addObserver("operationCount", fnd::ObservingOld | fnd::ObservingNew,
                    [&](fnd::Observable*, const QString&, const fnd::KeyValueChange& change) {
                      offMain |= QThread::currentThread() != mainThread;
                      changes.append({change.oldValue.toInt(), change.newValue.toInt()});
                    });
  queue.setSuspended(true);
  for (int i = 0; i < 3; ++i) queue.addOperationWithBlock([] {});
  ASSERT_TRUE(tst::spinUntil([&] { return !changes.isEmpty() && changes.last().second == 3; }));
  queue.setSuspended(false);
  ASSERT_TRUE(tst::spinUntil([&] { return changes.last().second == 0; }));
  EXPECT_FALSE(offMain);
  int expectedOld = 0;
  for (const auto& change : changes) {
    EXPECT_EQ(change.first, expectedOld) << "each change starts where the last one ended";
    EXPECT_NE(change.first, change.second);
    expectedOld = change.second;
  }
}

TEST(OperationQueue, DispatchHandsResultsBackToTheMainLoop) {
  OperationQueue workers;
  QThread* mainThread = QThread::currentThread();
  QThread* deliveredOn = nullptr;
  int result = 0;
  workers.addOperationWithBlock([&] {
    int computed = 6 * 7;
    fnd::dispatchToQueue(OperationQueue::mainQueue(), [&, computed] {
      deliveredOn = QThread::currentThread();
      result = computed;
    });
  });
  ASSERT_TRUE(tst::spinUntil([&] { return result == 42; }));
  EXPECT_EQ(deliveredOn, mainThread);

  // The main queue is serial and runs in the order blocks were added.
  QList<int> order;
  for (int i = 0; i < 5; ++i) fnd::dispatchToQueue(nullptr, [&order, i] { order << i; });
  OperationQueue::mainQueue()->waitUntilAllOperationsAreFinished();
  EXPECT_EQ(order, QList<int>({0, 1, 2, 3, 4}));
  EXPECT_EQ(OperationQueue::mainQueue()->maxConcurrentOperationCount(), 1);
}
