#include "model/IMFoundationExtra.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <cmath>

void performBlock(std::shared_ptr<const void> receiver, std::function<void()> block, double delay) {
  if (!block) return;
  const int msec = delay > 0 ? int(std::min(std::ceil(delay * 1000.0), 2147483647.0)) : 0;
  // A single-shot timer without a context object fires in the calling
  // thread; the lambda holds the receiver until then.
  QTimer::singleShot(
      msec, Qt::PreciseTimer,
      [receiver = std::move(receiver), block = std::move(block)]() { fireBlockAfterDelay(block); });
}

void performBlock(std::function<void()> block, double delay) {
  performBlock(nullptr, std::move(block), delay);
}

void performBlockOnNextLoop(std::shared_ptr<const void> receiver, std::function<void()> block) {
  performBlock(std::move(receiver), std::move(block), 0);
}

void performBlockOnNextLoop(std::function<void()> block) {
  performBlock(nullptr, std::move(block), 0);
}

void fireBlockAfterDelay(const std::function<void()>& block) {
  if (block) block();
}

namespace {

template <class T>
ComparisonResult order(T a, T b) {
  if (a < b) return ComparisonResult::OrderedAscending;
  if (b < a) return ComparisonResult::OrderedDescending;
  return ComparisonResult::OrderedSame;
}

}  // namespace

ComparisonResult compare(const QVariant& number, const QVariant& other) {
  if (isIntegralNumberValue(number) && isIntegralNumberValue(other)) {
    // Long double holds every 64-bit integer, signed or not, exactly.
    auto exact = [](const QVariant& v) {
      return v.typeId() == QMetaType::ULongLong || v.typeId() == QMetaType::ULong
                 ? (long double)v.toULongLong()
                 : (long double)v.toLongLong();
    };
    return order(exact(number), exact(other));
  }
  return order(number.toDouble(), other.toDouble());
}

ComparisonResult compareDesc(const QVariant& number, const QVariant& other) {
  switch (compare(number, other)) {
    case ComparisonResult::OrderedAscending:
      return ComparisonResult::OrderedDescending;
    case ComparisonResult::OrderedDescending:
      return ComparisonResult::OrderedAscending;
    default:
      return ComparisonResult::OrderedSame;
  }
}

QVariantList indicesArray(const fnd::IndexSet& indexes) {
  QVariantList result;
  result.reserve(indexes.count());
  indexes.forEach([&](int index) { result.append(index); });
  return result;
}

bool ISEmptyString(const QString& string) { return string.isEmpty(); }
