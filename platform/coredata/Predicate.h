// Which objects a fetch returns: any C++ callable over the object, or a
// comparison of one key with a constant, combined with && and ||.
#pragma once

#include <QString>
#include <QVariant>
#include <functional>

namespace cd {

class ManagedObject;

class Predicate {
 public:
  using Test = std::function<bool(const ManagedObject*)>;
  enum class Comparison { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual, Contains };

  // The empty predicate accepts every object.
  Predicate() = default;
  Predicate(Test test) : test_(std::move(test)) {}  // NOLINT: a callable is a predicate
  static Predicate compare(const QString& key, Comparison comparison, const QVariant& value);
  static Predicate equal(const QString& key, const QVariant& value) {
    return compare(key, Comparison::Equal, value);
  }

  bool isEmpty() const { return !test_; }
  bool evaluate(const ManagedObject* object) const { return !test_ || test_(object); }

  friend Predicate operator&&(const Predicate& a, const Predicate& b);
  friend Predicate operator||(const Predicate& a, const Predicate& b);
  friend Predicate operator!(const Predicate& a);

 private:
  Test test_;
};

}  // namespace cd
