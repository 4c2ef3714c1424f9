#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QWidget>

#include "TestSupport.h"
#include "appkit/UserNotificationCenter.h"

namespace {

// A notification server as desktops run one: it records every Notify call
// and answers with increasing ids.
class NotificationServer : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct Call {
    QString appName, icon, summary, body;
    QStringList actions;
    QVariantMap hints;
    uint id;
  };
  QList<Call> calls;
  QList<uint> closed;

 public slots:
  uint Notify(const QString& appName, uint, const QString& icon, const QString& summary,
              const QString& body, const QStringList& actions, const QVariantMap& hints, int) {
    calls.append({appName, icon, summary, body, actions, hints, uint(41 + calls.size())});
    return calls.last().id;
  }
  void CloseNotification(uint id) { closed.append(id); }
  QStringList GetCapabilities() { return {"body", "actions"}; }
};

// A session bus of the test's own: a dbus-daemon with a configuration that
// starts no services, so no desktop program answers in our server's place.
class PrivateSessionBus {
 public:
  bool start() {
    const QString config = tst::tempPath("session-bus.conf");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(
        "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
        " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
        "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
        "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
        "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
    file.close();
    daemon_.start("dbus-daemon", {"--config-file=" + config, "--nofork", "--print-address"});
    if (!daemon_.waitForStarted() || !daemon_.waitForReadyRead(10000)) return false;
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    return !address_.isEmpty();
  }
  ~PrivateSessionBus() {
    for (const QString& name : names_) QDBusConnection::disconnectFromBus(name);
    if (daemon_.state() != QProcess::NotRunning) {
      daemon_.kill();
      daemon_.waitForFinished();
    }
  }
  QDBusConnection connect(const QString& name) {
    names_ << name;
    return QDBusConnection::connectToBus(address_, name);
  }

 private:
  QProcess daemon_;
  QString address_;
  QStringList names_;
};

class Delegate : public ui::UserNotificationCenterDelegate {
 public:
  bool shouldPresentNotification(ui::UserNotificationCenter&,
                                 const ui::UserNotification&) override {
    ++asked;
    return presents;
  }
  void didDeliverNotification(ui::UserNotificationCenter&, const ui::UserNotification& n) override {
    delivered << n.title;
  }
  void didActivateNotification(ui::UserNotificationCenter&,
                               const ui::UserNotification& n) override {
    activated << n.title;
  }
  QStringList delivered, activated;
  bool presents = true;
  int asked = 0;
};

void emitActionInvoked(QDBusConnection& bus, uint id) {
  QDBusMessage signal = QDBusMessage::createSignal(
      "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
  signal << id << QString("default");
  bus.send(signal);
}

ui::UserNotification nonNativeFiles() {
  ui::UserNotification notification;
  notification.title = "Non native files editing";
  notification.subtitle = "photo.png";
  notification.informativeText = "Your changes will be saved merged.";
  notification.deliveryDate = QDateTime::currentDateTimeUtc();
  return notification;
}

TEST(UserNotificationCenter, DeliversToTheServerAndReportsClicks) {
  if (!tst::haveTool("dbus-daemon")) GTEST_SKIP() << "dbus-daemon is needed";
  PrivateSessionBus bus;
  ASSERT_TRUE(bus.start());
  QDBusConnection serverBus = bus.connect("notification-server");
  ASSERT_TRUE(serverBus.isConnected());
  NotificationServer server;
  ASSERT_TRUE(serverBus.registerObject("/org/freedesktop/Notifications", &server,
                                       QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(serverBus.registerService("org.freedesktop.Notifications"));

  ui::UserNotificationCenter center(bus.connect("notification-client"));
  Delegate delegate;
  center.setDelegate(&delegate);
  center.deliverNotification(nonNativeFiles());
  ASSERT_TRUE(tst::spinUntil([&] { return !delegate.delivered.isEmpty(); }));

  ASSERT_EQ(server.calls.size(), 1);
  EXPECT_EQ(server.calls[0].summary, "Non native files editing");
  EXPECT_EQ(server.calls[0].body, "photo.png\nYour changes will be saved merged.");
  EXPECT_TRUE(server.calls[0].actions.contains("default"));
  EXPECT_EQ(server.calls[0].hints.value("desktop-entry"), "tessaly");
  const QList<ui::UserNotification> delivered = center.deliveredNotifications();
  ASSERT_EQ(delivered.size(), 1);
  EXPECT_TRUE(delivered[0].isPresented);
  EXPECT_TRUE(delivered[0].actualDeliveryDate.isValid());

  // A click on another program's notification, then on ours.
  emitActionInvoked(serverBus, 7);
  emitActionInvoked(serverBus, server.calls[0].id);
  ASSERT_TRUE(tst::spinUntil([&] { return !delegate.activated.isEmpty(); }));
  EXPECT_EQ(delegate.activated, QStringList{"Non native files editing"});

  center.removeAllDeliveredNotifications();
  ASSERT_TRUE(tst::spinUntil([&] { return !server.closed.isEmpty(); }));
  EXPECT_EQ(server.closed, QList<uint>{server.calls[0].id});
  EXPECT_TRUE(center.deliveredNotifications().isEmpty());

  // While the program is the active one the delegate decides: declined,
  // the notification is delivered without being shown, and the server
  // hears nothing of it (the next one shown is its second call).
  QWidget front;
  front.show();
  front.activateWindow();
  ASSERT_TRUE(tst::spinUntil(
      [] { return QGuiApplication::applicationState() == Qt::ApplicationActive; }, 3000));
  delegate.presents = false;
  delegate.asked = 0;
  delegate.delivered.clear();
  center.deliverNotification(nonNativeFiles());
  EXPECT_EQ(delegate.asked, 1);
  EXPECT_EQ(delegate.delivered, QStringList{"Non native files editing"});
  ASSERT_EQ(center.deliveredNotifications().size(), 1);
  EXPECT_FALSE(center.deliveredNotifications()[0].isPresented);
  delegate.presents = true;
  center.deliverNotification(nonNativeFiles());
  ASSERT_TRUE(tst::spinUntil([&] { return server.calls.size() >= 2; }));
  EXPECT_EQ(server.calls.size(), 2);
  EXPECT_EQ(delegate.asked, 2);
}

TEST(UserNotificationCenter, WithoutAServerOrABusNothingIsDeliveredAndNothingWaits) {
  if (!tst::haveTool("dbus-daemon")) GTEST_SKIP() << "dbus-daemon is needed";
  PrivateSessionBus bus;
  ASSERT_TRUE(bus.start());
  Delegate delegate;
  // A bus where nobody serves notifications: the call fails later, quietly.
  QDBusConnection client = bus.connect("lonely-client");
  ui::UserNotificationCenter lonely(client);
  lonely.setDelegate(&delegate);
  lonely.deliverNotification(nonNativeFiles());
  // Replies come in order on one connection: once this answer is back, the
  // Notify call's error is too, and one turn of the event loop handles it.
  EXPECT_FALSE(client.interface()->isServiceRegistered("org.freedesktop.Notifications").value());
  tst::spinOnce();
  EXPECT_TRUE(lonely.deliveredNotifications().isEmpty());
  EXPECT_TRUE(delegate.delivered.isEmpty());

  // No bus at all.
  ui::UserNotificationCenter unconnected(
      QDBusConnection::connectToBus(QString("unix:path=/nonexistent/bus"), "no-bus"));
  unconnected.setDelegate(&delegate);
  unconnected.deliverNotification(nonNativeFiles());
  EXPECT_TRUE(unconnected.deliveredNotifications().isEmpty());
  EXPECT_TRUE(delegate.delivered.isEmpty());
  QDBusConnection::disconnectFromBus("no-bus");
}

}  // namespace

#include "UserNotificationCenterTest.moc"
