// The network's reachability: the status each set of flags gives, the log
// line every query writes, and the real probe without a network.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>

#include "sharing/Reachability.h"

using namespace net;

namespace {

QStringList logged;
void capture(QtMsgType, const QMessageLogContext&, const QString& message) { logged << message; }

TEST(Reachability, FlagsGiveTheStatusAndOneLogLineEach) {
  constexpr uint32_t R = ReachabilityFlagsReachable, c = ReachabilityFlagsConnectionRequired,
                     C = ReachabilityFlagsConnectionOnTraffic,
                     i = ReachabilityFlagsInterventionRequired,
                     D = ReachabilityFlagsConnectionOnDemand, d = ReachabilityFlagsIsDirect;
  struct Case {
    uint32_t flags;
    int network, localWiFi;
  };
  for (const Case& k : QList<Case>{{R, 1, 0},
                                   {R | c, 0, 0},
                                   {R | c | D, 1, 0},
                                   {R | c | D | i, 0, 0},
                                   {R | c | C, 1, 0},
                                   {c | C, 0, 0},
                                   {R | d, 1, 1},
                                   {d, 0, 0}}) {
    EXPECT_EQ(Reachability::networkStatusForFlags(k.flags), k.network) << k.flags;
    EXPECT_EQ(Reachability::localWiFiStatusForFlags(k.flags), k.localWiFi) << k.flags;
  }
  logged.clear();
  const QtMessageHandler previous = qInstallMessageHandler(capture);
  Reachability::networkStatusForFlags(R | d);
  Reachability::localWiFiStatusForFlags(0xffffffff);
  qInstallMessageHandler(previous);
  EXPECT_EQ(logged.join("|").toStdString(),
            "Reachability Flag Status: R ------d networkStatusForFlags\n|"
            "Reachability Flag Status: R tcCiDld localWiFiStatusForFlags\n");
}

// Run in a network namespace of its own (only a loopback that is down),
// where nothing can be reached.
TEST(Reachability, NoNetworkReadsAsNotReachable) {
  if (qEnvironmentVariableIsSet("TESSALY_IN_EMPTY_NETNS")) {
    auto internet = Reachability::reachabilityForInternetConnection();
    ASSERT_NE(internet, nullptr);
    EXPECT_EQ(internet->currentReachabilityStatus(), NotReachable);
    EXPECT_EQ(Reachability::reachabilityForLocalWiFi()->currentReachabilityStatus(), NotReachable);
    return;
  }
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("TESSALY_IN_EMPTY_NETNS", "1");
  child.setProcessEnvironment(env);
  child.start("unshare", {"-n", QCoreApplication::applicationFilePath(),
                          "--gtest_filter=Reachability.NoNetworkReadsAsNotReachable"});
  ASSERT_TRUE(child.waitForFinished(30000));
  if (child.exitCode() != 0 && child.readAllStandardError().contains("unshare failed"))
    GTEST_SKIP() << "no network namespaces here (needs root)";
  EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().constData();
}

}  // namespace
