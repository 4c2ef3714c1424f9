#include "appkit/MenuItem.h"

#include "appkit/Application.h"

namespace ui {

namespace {

QList<MenuItem*>& registry() {
  static QList<MenuItem*> items;
  return items;
}

}  // namespace

MenuItem::MenuItem(const QString& title, const QString& action, QObject* parent, long tag)
    : QAction(title, parent), action_(action), tag_(tag) {
  registry().append(this);
  connect(this, &QAction::triggered, this, [this] {
    // A shortcut may fire while the enabled state is stale: ask again.
    Application* app = Application::sharedApplication();
    if (app->validateItem(*this)) app->sendAction(action_, target_, this);
  });
}

MenuItem::~MenuItem() { registry().removeOne(this); }

QList<MenuItem*> MenuItem::allItems() { return registry(); }

}  // namespace ui
