#include "appkit/SharingServicePicker.h"

#include <QMenu>
#include <QWidget>

namespace ui {

namespace {

QList<SharingService>& registry() {
  static QList<SharingService> services;
  return services;
}

}  // namespace

SharingServicePicker::SharingServicePicker(QList<gfx::ImagePtr> items) : items_(std::move(items)) {}

SharingServicePicker::~SharingServicePicker() { delete menu_; }

void SharingServicePicker::registerService(const SharingService& service) {
  unregisterService(service.identifier);
  registry().append(service);
}

void SharingServicePicker::unregisterService(const QString& identifier) {
  registry().removeIf([&](const SharingService& s) { return s.identifier == identifier; });
}

QList<SharingService> SharingServicePicker::registeredServices() { return registry(); }

QList<SharingService> SharingServicePicker::services() const {
  return registeredServices() + services_;
}

void SharingServicePicker::showRelativeToRect(const QRect& rect, QWidget* view, int preferredEdge) {
  const QList<SharingService> offered = services();
  if (offered.isEmpty()) return;
  delete menu_;
  menu_ = new QMenu(view);
  for (int i = 0; i < offered.size(); ++i)
    menu_->addAction(offered[i].title, menu_, [this, i] { performServiceAtIndex(i); });
  if (!view) return menu_->popup(QCursor::pos());
  const QRect anchor = rect.isEmpty() ? view->rect() : rect;
  const QPoint below = view->mapToGlobal(anchor.bottomLeft() + QPoint(0, 1));
  const QPoint above = view->mapToGlobal(anchor.topLeft()) - QPoint(0, menu_->sizeHint().height());
  menu_->popup(preferredEdge == 1 ? below : above);
}

bool SharingServicePicker::performServiceAtIndex(int index) {
  const QList<SharingService> offered = services();
  if (index < 0 || index >= offered.size() || !offered[index].perform) return false;
  offered[index].perform(items_);
  return true;
}

}  // namespace ui
