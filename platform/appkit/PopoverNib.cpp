#include "appkit/PopoverNib.h"

#include <QHash>

namespace ui {

namespace {

QHash<QString, PopoverNib::Factory>& factories() {
  static QHash<QString, PopoverNib::Factory> registered;
  return registered;
}

}  // namespace

void PopoverNib::registerNib(const QString& name, Factory factory) {
  factories().insert(name, std::move(factory));
}

bool PopoverNib::exists(const QString& name) { return factories().contains(name); }

Popover* PopoverNib::instantiate(const QString& name, void* owner) {
  auto factory = factories().find(name);
  return factory == factories().end() ? nullptr : (*factory)(owner);
}

}  // namespace ui
