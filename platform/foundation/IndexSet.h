// An ordered set of non-negative indexes, kept as sorted, disjoint ranges so
// that large contiguous selections (rows of a table, layers of a document)
// stay small. A value type; rides in a QVariant.
#pragma once

#include <QList>
#include <QMetaType>
#include <QPair>
#include <functional>

namespace fnd {

class IndexSet {
 public:
  IndexSet() = default;
  explicit IndexSet(int index);

  // Indexes location ..< location + length; empty when length <= 0.
  static IndexSet range(int location, int length);
  static IndexSet fromList(const QList<int>& indexes);

  // Negative indexes are ignored: they can never be members.
  void addIndex(int index);
  void addIndexesInRange(int location, int length);
  void addIndexes(const IndexSet& other);
  void removeIndex(int index);
  void removeIndexesInRange(int location, int length);
  void removeIndexes(const IndexSet& other);
  void removeAllIndexes();

  bool contains(int index) const;
  bool containsIndexes(const IndexSet& other) const;
  bool intersectsIndexesInRange(int location, int length) const;
  int count() const;
  int countOfIndexesInRange(int location, int length) const;
  bool isEmpty() const { return ranges_.isEmpty(); }

  // -1 when there is no such index.
  int firstIndex() const;
  int lastIndex() const;
  int indexGreaterThanIndex(int index) const;
  int indexLessThanIndex(int index) const;

  QList<int> toList() const;
  void forEach(const std::function<void(int)>& body) const;

  // The (location, length) runs, ascending.
  const QList<QPair<int, int>>& ranges() const { return ranges_; }

  // Moves every index >= `index` by `delta`. A negative delta first removes
  // the indexes in [index + delta, index) that the shift would land on, and
  // indexes pushed below zero leave the set. This is how selections follow
  // insertions and removals in an ordered collection.
  void shiftIndexesStartingAtIndex(int index, int delta);

  bool operator==(const IndexSet& other) const { return ranges_ == other.ranges_; }
  bool operator!=(const IndexSet& other) const { return !(*this == other); }

 private:
  QList<QPair<int, int>> ranges_;
};

}  // namespace fnd

Q_DECLARE_METATYPE(fnd::IndexSet)
