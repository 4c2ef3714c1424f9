// Popovers by name, as interface descriptions provide them: a factory per
// name makes the popover and its contents for an owner, whose values the
// contents show (the object a detail popover describes, say).
#pragma once

#include <QString>
#include <functional>

class QObject;

namespace ui {

class Popover;

class PopoverNib {
 public:
  using Factory = std::function<Popover*(void* owner)>;
  // A second registration under a name replaces the first.
  static void registerNib(const QString& name, Factory factory);
  static bool exists(const QString& name);
  // A new popover, owned by the caller; null for unknown names.
  static Popover* instantiate(const QString& name, void* owner);
};

}  // namespace ui
