#include "appkit/UserNotificationCenter.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QLoggingCategory>

namespace ui {

namespace {

Q_LOGGING_CATEGORY(lcNotifications, "tessaly.notifications")

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
// The action servers invoke when the notification itself is clicked.
const QString DefaultAction = QStringLiteral("default");

QString bodyOf(const UserNotification& notification) {
  if (notification.subtitle.isEmpty()) return notification.informativeText;
  if (notification.informativeText.isEmpty()) return notification.subtitle;
  return notification.subtitle + u'\n' + notification.informativeText;
}

}  // namespace

UserNotificationCenter& UserNotificationCenter::defaultUserNotificationCenter() {
  static auto* center = new UserNotificationCenter(QDBusConnection::sessionBus());
  return *center;
}

UserNotificationCenter::UserNotificationCenter(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
  if (!bus_.isConnected()) return;
  bus_.connect(QString(), Path, Interface, QStringLiteral("ActionInvoked"), this,
               SLOT(actionInvoked(uint, QString)));
  bus_.connect(QString(), Path, Interface, QStringLiteral("NotificationClosed"), this,
               SLOT(notificationClosed(uint, uint)));
}

UserNotificationCenter::~UserNotificationCenter() = default;

void UserNotificationCenter::deliverNotification(UserNotification notification) {
  if (!bus_.isConnected()) {
    qCInfo(lcNotifications, "no session bus; notification \"%s\" not shown",
           qPrintable(notification.title));
    return;
  }
  if (notification.identifier.isEmpty())
    notification.identifier = QStringLiteral("tessaly-%1").arg(++next_);
  const bool active = QGuiApplication::applicationState() == Qt::ApplicationActive;
  notification.isPresented =
      !active || (delegate_ && delegate_->shouldPresentNotification(*this, notification));
  notification.actualDeliveryDate = QDateTime::currentDateTimeUtc();
  if (!notification.isPresented) {
    delivered_.append(notification);
    if (delegate_) delegate_->didDeliverNotification(*this, notification);
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, "Notify");
  call << QCoreApplication::applicationName() << uint(0) << QStringLiteral("tessaly")
       << notification.title << bodyOf(notification)
       << QStringList{DefaultAction, QStringLiteral("Show")}
       << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("tessaly")}} << int(-1);
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, notification](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            QDBusPendingReply<uint> reply = *finished;
            if (reply.isError()) {
              qCInfo(lcNotifications, "notification \"%s\" not shown: %s",
                     qPrintable(notification.title), qPrintable(reply.error().message()));
              return;
            }
            notified(notification, reply.value());
          });
}

void UserNotificationCenter::notified(const UserNotification& notification, uint id) {
  identifiers_.insert(id, notification.identifier);
  delivered_.append(notification);
  if (delegate_) delegate_->didDeliverNotification(*this, notification);
}

void UserNotificationCenter::actionInvoked(uint id, const QString& actionKey) {
  const QString identifier = identifiers_.value(id);
  if (identifier.isEmpty() || !delegate_) return;
  Q_UNUSED(actionKey)  // the body and the "Show" button both bring the program forward
  for (const UserNotification& notification : delivered_)
    if (notification.identifier == identifier) {
      delegate_->didActivateNotification(*this, notification);
      return;
    }
}

void UserNotificationCenter::notificationClosed(uint id, uint) {
  const QString identifier = identifiers_.take(id);
  // The server dropped it: it no longer counts as shown.
  for (UserNotification& notification : delivered_)
    if (notification.identifier == identifier) notification.isPresented = false;
}

void UserNotificationCenter::closeOnServer(uint id) {
  if (!bus_.isConnected()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, "CloseNotification");
  call << id;
  bus_.asyncCall(call);
}

void UserNotificationCenter::removeDeliveredNotification(const UserNotification& notification) {
  for (auto it = identifiers_.begin(); it != identifiers_.end();)
    if (it.value() == notification.identifier) {
      closeOnServer(it.key());
      it = identifiers_.erase(it);
    } else {
      ++it;
    }
  delivered_.removeIf(
      [&](const UserNotification& n) { return n.identifier == notification.identifier; });
}

void UserNotificationCenter::removeAllDeliveredNotifications() {
  for (uint id : identifiers_.keys()) closeOnServer(id);
  identifiers_.clear();
  delivered_.clear();
}

}  // namespace ui
