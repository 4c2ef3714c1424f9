// Small additions to the foundation types: deferred blocks, descending
// number order, index sets applied to arrays, and the empty-string test.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <memory>

#include "foundation/ComparisonResult.h"
#include "foundation/IndexSet.h"
#include "foundation/NumberValue.h"

// ---- Object (IMFoundationExtra) ----

// Runs `block` once, `delay` seconds from now, on the event loop of the
// calling thread (which must run one). `receiver` is kept alive until then;
// pass null when nothing needs keeping.
void performBlock(std::shared_ptr<const void> receiver, std::function<void()> block, double delay);
void performBlock(std::function<void()> block, double delay);
// The same with no delay: on the next turn of the calling thread's loop.
void performBlockOnNextLoop(std::shared_ptr<const void> receiver, std::function<void()> block);
void performBlockOnNextLoop(std::function<void()> block);
void fireBlockAfterDelay(const std::function<void()>& block);

// ---- Number (IMFoundationExtra) ----

// Whether the value is a number (booleans included), as opposed to text,
// data or an object.
using fnd::isIntegralNumberValue;
using fnd::isNumberValue;

using fnd::ComparisonResult;

// The numbers' natural order (integers exactly, else as doubles).
ComparisonResult compare(const QVariant& number, const QVariant& other);
// The reverse, for sorting from largest to smallest.
ComparisonResult compareDesc(const QVariant& number, const QVariant& other);

// ---- IndexSet (IMFoundationExtra) ----

// The elements at the set's indexes, ascending; indexes past the end of
// `array` are skipped.
template <class T>
QList<T> objectsFromArray(const fnd::IndexSet& indexes, const QList<T>& array) {
  QList<T> result;
  result.reserve(indexes.count());
  indexes.forEach([&](int index) {
    if (index < array.size()) result.append(array.at(index));
  });
  return result;
}
// The indexes as integer numbers, ascending.
QVariantList indicesArray(const fnd::IndexSet& indexes);

// YES for a null or empty string; a space is not empty.
bool ISEmptyString(const QString& string);
