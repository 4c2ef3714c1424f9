#include "foundation/IndexSet.h"

#include <algorithm>
#include <limits>

namespace fnd {

namespace {

// Ranges are (location, length); this is one past the last index.
int endOf(const QPair<int, int>& range) { return range.first + range.second; }

// location + length without overflowing: the set never reaches past INT_MAX.
int clampedEnd(int location, int length) {
  return int(std::min<qint64>(qint64(location) + length, std::numeric_limits<int>::max()));
}

// A run moved by delta, cut to the indexes that stay within 0 ... INT_MAX.
QPair<int, int> shifted(int location, int length, int delta) {
  qint64 start = qint64(location) + delta;
  qint64 end = std::min<qint64>(start + length, std::numeric_limits<int>::max());
  start = std::max<qint64>(start, 0);
  if (end <= start) return {0, 0};
  return {int(start), int(end - start)};
}

}  // namespace

IndexSet::IndexSet(int index) { addIndex(index); }

IndexSet IndexSet::range(int location, int length) {
  IndexSet set;
  set.addIndexesInRange(location, length);
  return set;
}

IndexSet IndexSet::fromList(const QList<int>& indexes) {
  IndexSet set;
  for (int index : indexes) set.addIndex(index);
  return set;
}

void IndexSet::addIndex(int index) { addIndexesInRange(index, 1); }

void IndexSet::addIndexesInRange(int location, int length) {
  if (location < 0) {
    length += location;
    location = 0;
  }
  if (length <= 0) return;
  int start = location;
  int end = clampedEnd(location, length);
  // Merge every run that overlaps or touches [start, end) into one.
  QList<QPair<int, int>> merged;
  merged.reserve(ranges_.size() + 1);
  bool placed = false;
  for (const auto& run : ranges_) {
    if (endOf(run) < start) {
      merged.append(run);
    } else if (run.first > end) {
      if (!placed) merged.append({start, end - start});
      placed = true;
      merged.append(run);
    } else {
      start = std::min(start, run.first);
      end = std::max(end, endOf(run));
    }
  }
  if (!placed) merged.append({start, end - start});
  ranges_ = std::move(merged);
}

void IndexSet::addIndexes(const IndexSet& other) {
  for (const auto& run : other.ranges_) addIndexesInRange(run.first, run.second);
}

void IndexSet::removeIndex(int index) { removeIndexesInRange(index, 1); }

void IndexSet::removeIndexesInRange(int location, int length) {
  if (length <= 0 || ranges_.isEmpty()) return;
  int start = location;
  int end = clampedEnd(location, length);
  QList<QPair<int, int>> kept;
  kept.reserve(ranges_.size() + 1);
  for (const auto& run : ranges_) {
    if (endOf(run) <= start || run.first >= end) {
      kept.append(run);
      continue;
    }
    if (run.first < start) kept.append({run.first, start - run.first});
    if (endOf(run) > end) kept.append({end, endOf(run) - end});
  }
  ranges_ = std::move(kept);
}

void IndexSet::removeIndexes(const IndexSet& other) {
  for (const auto& run : other.ranges_) removeIndexesInRange(run.first, run.second);
}

void IndexSet::removeAllIndexes() { ranges_.clear(); }

bool IndexSet::contains(int index) const {
  auto it =
      std::upper_bound(ranges_.begin(), ranges_.end(), index,
                       [](int value, const QPair<int, int>& run) { return value < run.first; });
  if (it == ranges_.begin()) return false;
  --it;
  return index < endOf(*it);
}

bool IndexSet::containsIndexes(const IndexSet& other) const {
  for (const auto& run : other.ranges_) {
    if (countOfIndexesInRange(run.first, run.second) != run.second) return false;
  }
  return true;
}

bool IndexSet::intersectsIndexesInRange(int location, int length) const {
  return countOfIndexesInRange(location, length) > 0;
}

int IndexSet::count() const {
  int total = 0;
  for (const auto& run : ranges_) total += run.second;
  return total;
}

int IndexSet::countOfIndexesInRange(int location, int length) const {
  int total = 0;
  if (length <= 0) return 0;
  const int end = clampedEnd(location, length);
  for (const auto& run : ranges_) {
    const int overlap = std::min(end, endOf(run)) - std::max(location, run.first);
    if (overlap > 0) total += overlap;
  }
  return total;
}

int IndexSet::firstIndex() const { return ranges_.isEmpty() ? -1 : ranges_.first().first; }

int IndexSet::lastIndex() const { return ranges_.isEmpty() ? -1 : endOf(ranges_.last()) - 1; }

int IndexSet::indexGreaterThanIndex(int index) const {
  for (const auto& run : ranges_) {
    if (endOf(run) - 1 > index) return std::max(run.first, index + 1);
  }
  return -1;
}

int IndexSet::indexLessThanIndex(int index) const {
  for (auto it = ranges_.rbegin(); it != ranges_.rend(); ++it) {
    if (it->first < index) return std::min(endOf(*it) - 1, index - 1);
  }
  return -1;
}

QList<int> IndexSet::toList() const {
  QList<int> list;
  list.reserve(count());
  forEach([&list](int index) { list.append(index); });
  return list;
}

void IndexSet::forEach(const std::function<void(int)>& body) const {
  // Iterate over a copy: the body may edit this set.
  const auto runs = ranges_;
  for (const auto& run : runs) {
    for (int index = run.first; index < endOf(run); ++index) body(index);
  }
}

void IndexSet::shiftIndexesStartingAtIndex(int index, int delta) {
  if (delta == 0 || ranges_.isEmpty()) return;
  if (delta < 0) {
    const int from = int(std::max<qint64>(qint64(index) + delta, 0));
    removeIndexesInRange(from, index - from);
  }
  QList<QPair<int, int>> moved;
  QList<QPair<int, int>> old = std::move(ranges_);
  ranges_.clear();
  for (const auto& run : old) {
    if (endOf(run) <= index) {
      ranges_.append(run);
    } else if (run.first >= index) {
      moved.append(shifted(run.first, run.second, delta));
    } else {
      ranges_.append({run.first, index - run.first});
      moved.append(shifted(index, endOf(run) - index, delta));
    }
  }
  // Re-adding merges runs that now touch and clips those pushed below zero
  // or past INT_MAX.
  for (const auto& run : moved) addIndexesInRange(run.first, run.second);
}

}  // namespace fnd
