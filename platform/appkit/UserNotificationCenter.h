// Notifications shown by the desktop's notification server
// (org.freedesktop.Notifications over the session bus, QtDBus). Calls never
// wait on the bus: without one the centre logs and returns, and the server's
// answers and the user's clicks (ActionInvoked) arrive through the event loop.
#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QObject>

#include "appkit/UserNotification.h"

namespace ui {

class UserNotificationCenter;

class UserNotificationCenterDelegate {
 public:
  virtual ~UserNotificationCenterDelegate() = default;
  // Asked while the program is the active one, when the platform would not
  // show the notification unless told to.
  virtual bool shouldPresentNotification(UserNotificationCenter&, const UserNotification&) {
    return false;
  }
  virtual void didDeliverNotification(UserNotificationCenter&, const UserNotification&) {}
  // The user clicked the notification.
  virtual void didActivateNotification(UserNotificationCenter&, const UserNotification&) {}
};

class UserNotificationCenter : public QObject {
  Q_OBJECT
 public:
  // Over the session bus.
  static UserNotificationCenter& defaultUserNotificationCenter();
  // Over any bus, for tests and other sessions.
  explicit UserNotificationCenter(QDBusConnection bus, QObject* parent = nullptr);
  ~UserNotificationCenter() override;

  UserNotificationCenterDelegate* delegate() const { return delegate_; }
  void setDelegate(UserNotificationCenterDelegate* delegate) { delegate_ = delegate; }

  // Hands the notification to the server now. It is shown unless the
  // program is active and the delegate does not ask for it.
  void deliverNotification(UserNotification notification);
  QList<UserNotification> deliveredNotifications() const { return delivered_; }
  void removeDeliveredNotification(const UserNotification& notification);
  void removeAllDeliveredNotifications();

 private slots:
  void actionInvoked(uint id, const QString& actionKey);
  void notificationClosed(uint id, uint reason);

 private:
  void notified(const UserNotification& notification, uint id);
  void closeOnServer(uint id);

  QDBusConnection bus_;
  UserNotificationCenterDelegate* delegate_ = nullptr;
  QList<UserNotification> delivered_;
  QHash<uint, QString> identifiers_;  // the server's ids to ours
  quint64 next_ = 0;
};

}  // namespace ui
