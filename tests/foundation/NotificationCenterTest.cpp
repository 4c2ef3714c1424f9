#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "foundation/NotificationCenter.h"
#include "foundation/OperationQueue.h"

using fnd::Notification;
using fnd::NotificationCenter;
using fnd::OperationQueue;

TEST(NotificationCenter, FiltersByNameAndSender) {
  NotificationCenter center;
  int senderA = 0, senderB = 0;
  struct Registration {
    QString name;
    const void* object;
    int expected;  // of the posts below
  };
  const QList<Registration> registrations = {
      {"Changed", nullptr, 3}, {"Changed", &senderA, 2}, {"Changed", &senderB, 1},
      {"", nullptr, 5},        {"", &senderA, 3},        {"Other", nullptr, 1},
  };
  QList<int> received(registrations.size(), 0);
  for (int i = 0; i < registrations.size(); ++i) {
    center.addObserverForName(registrations[i].name, registrations[i].object, nullptr,
                              [&received, i](const Notification&) { ++received[i]; });
  }
  center.postNotificationName("Changed", &senderA);
  center.postNotificationName("Changed", &senderA);
  center.postNotificationName("Changed", &senderB);
  center.postNotificationName("Other", &senderA);
  center.postNotificationName("Unheard");
  for (int i = 0; i < registrations.size(); ++i) {
    EXPECT_EQ(received[i], registrations[i].expected)
        << "registration " << i << " " << registrations[i].name.toStdString();
  }
}

TEST(NotificationCenter, CarriesUserInfoAndSender) {
  NotificationCenter center;
  int sender = 0;
  Notification seen;
  center.addObserverForName("Saved", nullptr, nullptr, [&](const Notification& n) { seen = n; });
  center.postNotificationName("Saved", &sender, {{"path", "/tmp/a.zova"}, {"count", 3}});
  EXPECT_EQ(seen.name, "Saved");
  EXPECT_EQ(seen.object, &sender);
  EXPECT_EQ(seen.userInfo.value("path").toString(), "/tmp/a.zova");
  EXPECT_EQ(seen.userInfo.value("count").toInt(), 3);
}

TEST(NotificationCenter, RemovalByTokenAndByObserver) {
  NotificationCenter center;
  int owner = 0, other = 0;
  int byToken = 0, ownerChanged = 0, ownerAny = 0, otherAny = 0;
  auto token = center.addObserverForName("Changed", nullptr, nullptr,
                                         [&](const Notification&) { ++byToken; });
  center.addObserver(&owner, "Changed", nullptr, [&](const Notification&) { ++ownerChanged; });
  center.addObserver(&owner, "", nullptr, [&](const Notification&) { ++ownerAny; });
  center.addObserver(&other, "Changed", nullptr, [&](const Notification&) { ++otherAny; });
  EXPECT_EQ(center.observerCount(), 4);

  center.removeObserver(token);
  center.removeObserver(&owner, "Changed");  // leaves owner's catch-all registration
  center.postNotificationName("Changed");
  EXPECT_EQ(byToken, 0);
  EXPECT_EQ(ownerChanged, 0);
  EXPECT_EQ(ownerAny, 1);
  EXPECT_EQ(otherAny, 1);

  center.removeObserver(&owner);
  center.postNotificationName("Changed");
  EXPECT_EQ(ownerAny, 1);
  EXPECT_EQ(otherAny, 2);
  EXPECT_EQ(center.observerCount(), 1);
}

TEST(NotificationCenter, ObserversRemovedDuringDeliveryAreNotCalled) {
  NotificationCenter center;
  QStringList calls;
  NotificationCenter::ObserverToken self = 0, later = 0;
  self = center.addObserverForName("Tick", nullptr, nullptr, [&](const Notification&) {
    calls << "self";
    center.removeObserver(self);
  });
  center.addObserverForName("Tick", nullptr, nullptr, [&](const Notification&) {
    calls << "remover";
    center.removeObserver(later);
    // Registered mid-delivery: hears the next post, not this one.
    center.addObserverForName("Tick", nullptr, nullptr,
                              [&](const Notification&) { calls << "added"; });
  });
  later = center.addObserverForName("Tick", nullptr, nullptr,
                                    [&](const Notification&) { calls << "later"; });
  center.postNotificationName("Tick");
  EXPECT_EQ(calls, QStringList({"self", "remover"}));
  calls.clear();
  center.postNotificationName("Tick");
  EXPECT_EQ(calls, QStringList({"remover", "added"}));
}

TEST(NotificationCenter, QueueObserversRunOnTheirQueueLater) {
  NotificationCenter center;
  OperationQueue workers;
  workers.setName("workers");
  std::atomic<int> onWorkers{0};
  std::atomic<QThread*> workerThread{nullptr};
  std::atomic<OperationQueue*> workerQueue{nullptr};
  int onMain = 0;
  QThread* mainThread = QThread::currentThread();
  QThread* mainSeenOn = nullptr;
  center.addObserverForName("Done", nullptr, &workers, [&](const Notification&) {
    workerThread = QThread::currentThread();
    workerQueue = OperationQueue::currentQueue();
    ++onWorkers;
  });
  center.addObserverForName("Done", nullptr, OperationQueue::mainQueue(), [&](const Notification&) {
    mainSeenOn = QThread::currentThread();
    ++onMain;
  });

  // Posted from a worker thread; the main-queue observer waits for the loop.
  std::thread poster([&] { center.postNotificationName("Done"); });
  poster.join();
  EXPECT_EQ(onMain, 0);
  ASSERT_TRUE(tst::spinUntil([&] { return onMain == 1 && onWorkers == 1; }));
  EXPECT_EQ(mainSeenOn, mainThread);
  EXPECT_NE(workerThread.load(), mainThread);
  EXPECT_EQ(workerQueue.load(), &workers);

  // A queued delivery not yet run is dropped once its observer is removed.
  auto token = center.addObserverForName("Late", nullptr, OperationQueue::mainQueue(),
                                         [&](const Notification&) { ++onMain; });
  center.postNotificationName("Late");
  center.removeObserver(token);
  OperationQueue::mainQueue()->waitUntilAllOperationsAreFinished();
  EXPECT_EQ(onMain, 1);
}

TEST(NotificationCenter, ConcurrentPostersAndChurnLoseNothing) {
  NotificationCenter center;
  std::atomic<int> heard{0};
  center.addObserverForName("Work", nullptr, nullptr, [&](const Notification&) { ++heard; });
  constexpr int posters = 4, posts = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < posters; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < posts; ++i) center.postNotificationName("Work");
    });
  }
  // Registrations come and go while the posts are delivered.
  std::thread churn([&] {
    for (int i = 0; i < 500; ++i) {
      auto token = center.addObserverForName("Work", nullptr, nullptr, [](const Notification&) {});
      center.removeObserver(token);
    }
  });
  for (auto& thread : threads) thread.join();
  churn.join();
  EXPECT_EQ(heard, posters * posts);
  EXPECT_EQ(center.observerCount(), 1);
}
