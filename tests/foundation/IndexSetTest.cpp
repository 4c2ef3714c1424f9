#include <gtest/gtest.h>

#include <QVariant>
#include <limits>

#include "foundation/IndexSet.h"

using fnd::IndexSet;

namespace {

using Ranges = QList<QPair<int, int>>;

}  // namespace

TEST(IndexSet, AddingAndRemovingKeepsDisjointSortedRuns) {
  struct Case {
    const char* what;
    std::function<void(IndexSet&)> edit;
    Ranges ranges;
  };
  const QList<Case> cases = {
      {"touching runs merge",
       [](IndexSet& s) { s.addIndexesInRange(0, 3), s.addIndexesInRange(3, 2); },
       {{0, 5}}},
      {"gap stays", [](IndexSet& s) { s.addIndex(1), s.addIndex(3); }, {{1, 1}, {3, 1}}},
      {"filling a gap joins three",
       [](IndexSet& s) { s.addIndex(1), s.addIndex(3), s.addIndex(2); },
       {{1, 3}}},
      {"range spanning several runs",
       [](IndexSet& s) { s.addIndex(2), s.addIndex(6), s.addIndex(10), s.addIndexesInRange(1, 7); },
       {{1, 7}, {10, 1}}},
      {"out of order inserts",
       [](IndexSet& s) { s.addIndex(9), s.addIndex(0), s.addIndex(5); },
       {{0, 1}, {5, 1}, {9, 1}}},
      {"negative indexes ignored",
       [](IndexSet& s) { s.addIndex(-4), s.addIndexesInRange(-2, 4); },
       {{0, 2}}},
      {"empty range adds nothing", [](IndexSet& s) { s.addIndexesInRange(4, 0); }, {}},
      {"remove splits a run",
       [](IndexSet& s) { s.addIndexesInRange(0, 10), s.removeIndex(4); },
       {{0, 4}, {5, 5}}},
      {"remove range across runs",
       [](IndexSet& s) {
         s.addIndexesInRange(0, 4), s.addIndexesInRange(6, 4), s.removeIndexesInRange(2, 6);
       },
       {{0, 2}, {8, 2}}},
      {"remove absent index", [](IndexSet& s) { s.addIndex(3), s.removeIndex(7); }, {{3, 1}}},
      {"remove other set",
       [](IndexSet& s) {
         s.addIndexesInRange(0, 6), s.removeIndexes(IndexSet::fromList({1, 3, 5}));
       },
       {{0, 1}, {2, 1}, {4, 1}}},
  };
  for (const auto& c : cases) {
    IndexSet set;
    c.edit(set);
    EXPECT_EQ(set.ranges(), c.ranges) << c.what;
  }
}

TEST(IndexSet, QueriesAnswerFromTheRuns) {
  IndexSet set = IndexSet::fromList({2, 3, 4, 8, 12, 13});
  EXPECT_EQ(set.count(), 6);
  EXPECT_EQ(set.firstIndex(), 2);
  EXPECT_EQ(set.lastIndex(), 13);
  EXPECT_EQ(set.toList(), QList<int>({2, 3, 4, 8, 12, 13}));
  struct Probe {
    int index;
    bool contains;
    int greater;
    int less;
  };
  for (const Probe& p :
       {Probe{0, false, 2, -1}, Probe{2, true, 3, -1}, Probe{4, true, 8, 3}, Probe{5, false, 8, 4},
        Probe{8, true, 12, 4}, Probe{13, true, -1, 12}, Probe{20, false, -1, 13}}) {
    EXPECT_EQ(set.contains(p.index), p.contains) << p.index;
    EXPECT_EQ(set.indexGreaterThanIndex(p.index), p.greater) << p.index;
    EXPECT_EQ(set.indexLessThanIndex(p.index), p.less) << p.index;
  }
  EXPECT_EQ(set.countOfIndexesInRange(3, 10), 4);
  EXPECT_TRUE(set.containsIndexes(IndexSet::range(2, 3)));
  EXPECT_FALSE(set.containsIndexes(IndexSet::range(2, 4)));

  IndexSet empty;
  EXPECT_TRUE(empty.isEmpty());
  EXPECT_EQ(empty.firstIndex(), -1);
  EXPECT_EQ(empty.lastIndex(), -1);
  EXPECT_EQ(IndexSet(5), IndexSet::range(5, 1));
  EXPECT_NE(IndexSet(5), IndexSet(6));
}

TEST(IndexSet, ShiftingFollowsInsertionsAndRemovals) {
  struct Case {
    QList<int> before;
    int index, delta;
    QList<int> after;
  };
  const QList<Case> cases = {
      {{1, 2, 5, 6}, 4, 3, {1, 2, 8, 9}},   // insertion of three before 5
      {{1, 2, 5, 6}, 2, 1, {1, 3, 6, 7}},   // splits the run at 2
      {{1, 2, 5, 6}, 5, -2, {1, 2, 3, 4}},  // shifted run meets the one before
      {{1, 2, 5, 6}, 6, -2, {1, 2, 4}},     // 5 lies in the removed span [4, 6)
      {{0, 1, 2, 5}, 2, -1, {0, 1, 4}},     // removal of index 1
      {{0, 1, 2, 5}, 1, -3, {2}},           // 0 removed, 1 and 2 fall below zero
      {{3}, 0, 0, {3}},
      {{5, 9}, 6, std::numeric_limits<int>::max(), {5}},          // pushed past the largest index
      {{5, 9}, std::numeric_limits<int>::min() + 1, -2, {3, 7}},  // a negative start moves all
  };
  for (const auto& c : cases) {
    IndexSet set = IndexSet::fromList(c.before);
    set.shiftIndexesStartingAtIndex(c.index, c.delta);
    EXPECT_EQ(set.toList(), c.after) << c.index << " by " << c.delta;
  }
}

TEST(IndexSet, HugeRangesClampInsteadOfOverflowing) {
  const int top = std::numeric_limits<int>::max();
  IndexSet set = IndexSet::range(top - 2, top);
  EXPECT_EQ(set.count(), 2);
  EXPECT_EQ(set.lastIndex(), top - 1);
  EXPECT_EQ(set.countOfIndexesInRange(0, top), 2);
  set.removeIndexesInRange(top - 1, 100);
  EXPECT_EQ(set.toList(), QList<int>({top - 2}));
}

TEST(IndexSet, RidesInAVariant) {
  QVariant boxed = QVariant::fromValue(IndexSet::fromList({1, 4, 5}));
  EXPECT_EQ(boxed.value<IndexSet>().toList(), QList<int>({1, 4, 5}));
}
