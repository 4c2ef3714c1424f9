// A menu of the ways this desktop offers to share some items (images),
// shown under the button that opened it. The services come from those
// registered for the whole program and those the caller adds; a picker
// with no service shows nothing.
#pragma once

#include <QList>
#include <QPointer>
#include <QRect>
#include <QString>
#include <functional>

#include "graphics/Image.h"

class QMenu;
class QWidget;

namespace ui {

struct SharingService {
  QString identifier;
  QString title;
  std::function<void(const QList<gfx::ImagePtr>& items)> perform;
};

class SharingServicePicker {
 public:
  explicit SharingServicePicker(QList<gfx::ImagePtr> items);
  ~SharingServicePicker();

  // Services every picker offers (a sharing library installs its own);
  // registering an identifier again replaces the service.
  static void registerService(const SharingService& service);
  static void unregisterService(const QString& identifier);
  static QList<SharingService> registeredServices();

  void addService(const SharingService& service) { services_.append(service); }
  QList<SharingService> services() const;
  QList<gfx::ImagePtr> items() const { return items_; }

  // Pops the menu up next to `rect` of `view` (its whole rectangle when
  // `rect` is empty), below it for edge 1 (the bottom), above otherwise.
  void showRelativeToRect(const QRect& rect, QWidget* view, int preferredEdge);
  QMenu* menu() const { return menu_; }
  // What choosing the service at `index` of the menu does.
  bool performServiceAtIndex(int index);

 private:
  QList<gfx::ImagePtr> items_;
  QList<SharingService> services_;
  QPointer<QMenu> menu_;
};

}  // namespace ui
