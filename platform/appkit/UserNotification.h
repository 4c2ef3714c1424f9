// A notification the program shows the user outside its windows: title,
// subtitle, informative text, when it was meant for and delivered, and
// values of the program's own. A value; the centre fills in the delivery.
#pragma once

#include <QDateTime>
#include <QString>
#include <QVariantMap>

namespace ui {

struct UserNotification {
  QString identifier;  // the centre gives one when empty
  QString title;
  QString subtitle;
  QString informativeText;
  QDateTime deliveryDate;
  QVariantMap userInfo;

  // Filled in by the centre.
  QDateTime actualDeliveryDate;
  bool isPresented = false;
};

}  // namespace ui
