#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>

#include "TestSupport.h"
#include "model/IMFoundationExtra.h"

namespace {

TEST(IMFoundationExtraTest, DelayedBlocksRunOnceLaterAndKeepTheirReceiver) {
  int runs = 0;
  QThread* ranOn = nullptr;
  auto receiver = std::make_shared<int>(42);
  std::weak_ptr<int> watch = receiver;
  QElapsedTimer clock;
  clock.start();
  performBlock(
      receiver,
      [&] {
        ++runs;
        ranOn = QThread::currentThread();
      },
      0.05);
  receiver.reset();
  EXPECT_FALSE(watch.expired()) << "the receiver lives until the block has run";
  EXPECT_EQ(runs, 0) << "never synchronously";
  ASSERT_TRUE(tst::spinUntil([&] { return runs > 0; }, 5000));
  EXPECT_GE(clock.elapsed(), 45);
  EXPECT_EQ(ranOn, QThread::currentThread());
  tst::spinUntil([&] { return watch.expired(); }, 1000);
  EXPECT_TRUE(watch.expired()) << "and is let go afterwards";
  tst::spinOnce();
  EXPECT_EQ(runs, 1);

  std::vector<int> order;
  performBlock([&] { order.push_back(2); }, 0.02);
  performBlockOnNextLoop([&] { order.push_back(1); });
  EXPECT_TRUE(order.empty());
  ASSERT_TRUE(tst::spinUntil([&] { return order.size() == 2; }, 5000));
  EXPECT_EQ(order, (std::vector<int>{1, 2}));

  bool fired = false;
  fireBlockAfterDelay([&] { fired = true; });
  EXPECT_TRUE(fired);
  fireBlockAfterDelay(nullptr);
  performBlock(nullptr, 0);  // nothing to run, nothing to crash
}

TEST(IMFoundationExtraTest, BlocksDeferredFromAWorkerThreadRunThere) {
  QThread worker;
  QObject onWorker;
  onWorker.moveToThread(&worker);
  worker.start();
  std::atomic<QThread*> ranOn{nullptr};
  QMetaObject::invokeMethod(
      &onWorker, [&] { performBlockOnNextLoop([&] { ranOn = QThread::currentThread(); }); });
  EXPECT_TRUE(tst::spinUntil([&] { return ranOn.load() != nullptr; }, 5000));
  EXPECT_EQ(ranOn.load(), &worker);
  worker.quit();
  worker.wait();
}

TEST(IMFoundationExtraTest, DescendingNumberOrder) {
  using R = ComparisonResult;
  struct Case {
    QVariant a, b;
    R ascending;
  };
  const Case cases[] = {
      {3, 5, R::OrderedAscending},
      {5, 3, R::OrderedDescending},
      {4, 4, R::OrderedSame},
      {2.5, 2, R::OrderedDescending},
      {-1, 0.5, R::OrderedAscending},
      {QVariant(qint64(9007199254740993LL)), QVariant(qint64(9007199254740992LL)),
       R::OrderedDescending},
      {QVariant(quint64(18446744073709551615ULL)), QVariant(qint64(-1)), R::OrderedDescending},
      {true, false, R::OrderedDescending},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.a.toString().toStdString() + " vs " + c.b.toString().toStdString());
    EXPECT_EQ(compare(c.a, c.b), c.ascending);
    EXPECT_EQ(compareDesc(c.a, c.b), R(-int(c.ascending)));
  }
  QVariantList numbers{3, 11, 1.5, 7};
  std::sort(numbers.begin(), numbers.end(), [](const QVariant& a, const QVariant& b) {
    return compareDesc(a, b) == ComparisonResult::OrderedAscending;
  });
  EXPECT_EQ(numbers, (QVariantList{11, 7, 3, 1.5}));
}

TEST(IMFoundationExtraTest, IndexSetsPickFromArrays) {
  const QVariantList letters{"a", "b", "c", "d", "e"};
  struct Case {
    QList<int> indexes;
    QVariantList picked;
  };
  const Case cases[] = {
      {{}, {}},
      {{4, 0, 2}, {"a", "c", "e"}},
      {{1, 2, 3}, {"b", "c", "d"}},
      {{3, 5, 99}, {"d"}},  // past the end: skipped, not a crash
  };
  for (const Case& c : cases) {
    const fnd::IndexSet set = fnd::IndexSet::fromList(c.indexes);
    EXPECT_EQ(objectsFromArray(set, letters), c.picked);
  }
  const QList<const char*> typed{"x", "y"};
  EXPECT_EQ(objectsFromArray(fnd::IndexSet(1), typed), QList<const char*>{"y"});
  EXPECT_EQ(indicesArray(fnd::IndexSet::fromList({9, 2, 3, 4})), (QVariantList{2, 3, 4, 9}));
  EXPECT_TRUE(indicesArray(fnd::IndexSet()).isEmpty());
}

TEST(IMFoundationExtraTest, EmptyStrings) {
  EXPECT_TRUE(ISEmptyString(QString()));
  EXPECT_TRUE(ISEmptyString(QStringLiteral("")));
  EXPECT_FALSE(ISEmptyString(QStringLiteral(" ")));
  EXPECT_FALSE(ISEmptyString(QStringLiteral("untitled layer")));
}

}  // namespace
