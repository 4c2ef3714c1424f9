// Maps entity class names to the C++ subclasses of ManagedObject that
// represent them, so inserted and fetched objects are of their entity's
// class. Entities without a registered class use ManagedObject itself.
#pragma once

#include <QString>
#include <functional>

namespace cd {

class ManagedObject;

class EntityClassRegistry {
 public:
  using Factory = std::function<ManagedObject*()>;

  // Later registrations replace earlier ones. Thread-safe.
  static void registerClass(const QString& className, Factory factory);
  template <class T>
  static void registerClass(const QString& className) {
    registerClass(className, [] { return static_cast<ManagedObject*>(new T); });
  }
  static bool isRegistered(const QString& className);
  // A new object of the class, or a plain ManagedObject.
  static ManagedObject* create(const QString& className);
};

}  // namespace cd
