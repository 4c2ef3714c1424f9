#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <thread>

#include "TestSupport.h"
#include "foundation/Deferred.h"
#include "foundation/OperationQueue.h"
#include "foundation/Timer.h"

using fnd::OperationQueue;
using fnd::Timer;

TEST(Deferred, NextLoopRunsLaterOnTheMainThread) {
  bool ran = false;
  fnd::performOnNextLoop([&] { ran = true; });
  EXPECT_FALSE(ran);
  ASSERT_TRUE(tst::spinUntil([&] { return ran; }));

  QThread* mainThread = QThread::currentThread();
  std::atomic<QThread*> ranOn{nullptr};
  std::thread([&] { fnd::performOnNextLoop([&] { ranOn = QThread::currentThread(); }); }).join();
  ASSERT_TRUE(tst::spinUntil([&] { return ranOn != nullptr; }));
  EXPECT_EQ(ranOn.load(), mainThread);
}

TEST(Deferred, DelayIsALowerBoundAndTheQueueIsHonoured) {
  for (double seconds : {0.0, 0.02, 0.06}) {
    QElapsedTimer clock;
    clock.start();
    qint64 elapsed = -1;
    fnd::performAfterDelay(seconds, [&] { elapsed = clock.elapsed(); });
    EXPECT_EQ(elapsed, -1) << "never runs inside the call";
    ASSERT_TRUE(tst::spinUntil([&] { return elapsed >= 0; }));
    EXPECT_GE(elapsed, qint64(seconds * 1000)) << seconds;
  }

  OperationQueue workers;
  std::atomic<OperationQueue*> ranOn{nullptr};
  fnd::performAfterDelay(
      0.01, [&] { ranOn = OperationQueue::currentQueue(); }, &workers);
  ASSERT_TRUE(tst::spinUntil([&] { return ranOn != nullptr; }));
  EXPECT_EQ(ranOn.load(), &workers);

  // Asked from a worker, counted and run on the main loop.
  QThread* mainThread = QThread::currentThread();
  std::atomic<QThread*> mainRanOn{nullptr};
  workers.addOperationWithBlock(
      [&] { fnd::performAfterDelay(0.01, [&] { mainRanOn = QThread::currentThread(); }); });
  ASSERT_TRUE(tst::spinUntil([&] { return mainRanOn != nullptr; }));
  EXPECT_EQ(mainRanOn.load(), mainThread);
}

TEST(Timer, RepeatsUntilInvalidatedFromItsOwnBlock) {
  int fired = 0;
  std::weak_ptr<Timer> weak;
  {
    // The caller drops its reference; the loop keeps the timer going.
    auto timer = Timer::scheduledTimer(0.005, true, [&](Timer& t) {
      if (++fired == 3) t.invalidate();
    });
    weak = timer;
  }
  ASSERT_TRUE(tst::spinUntil([&] { return fired == 3; }));
  // Give it every chance to fire again: wait for a later one-shot timer.
  bool later = false;
  Timer::scheduledTimer(0.05, false, [&](Timer&) { later = true; });
  ASSERT_TRUE(tst::spinUntil([&] { return later; }));
  EXPECT_EQ(fired, 3);
  EXPECT_TRUE(weak.expired()) << "an invalidated timer is released by the loop";
}

TEST(Timer, OneShotFireAndInvalidate) {
  struct Case {
    bool repeats;
    bool validAfterManualFire;
  };
  for (const Case& c : {Case{false, false}, Case{true, true}}) {
    int fired = 0;
    auto timer = Timer::scheduledTimer(60, c.repeats, [&](Timer&) { ++fired; });
    EXPECT_TRUE(timer->isValid());
    timer->fire();
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(timer->isValid(), c.validAfterManualFire) << c.repeats;
    timer->invalidate();
    timer->fire();
    EXPECT_EQ(fired, 1) << "an invalid timer does not fire";
  }

  int fired = 0;
  auto once = Timer::scheduledTimer(0.001, false, [&](Timer&) { ++fired; });
  ASSERT_TRUE(tst::spinUntil([&] { return !once->isValid(); }));
  EXPECT_EQ(fired, 1);

  int cancelled = 0;
  auto never = Timer::scheduledTimer(0.001, false, [&](Timer&) { ++cancelled; });
  never->invalidate();
  bool later = false;
  Timer::scheduledTimer(0.02, false, [&](Timer&) { later = true; });
  ASSERT_TRUE(tst::spinUntil([&] { return later; }));
  EXPECT_EQ(cancelled, 0);
}
