// Whether a host, an address or the internet can be reached: 0 (not
// reachable) or 1, read afresh at every query, with a notification on
// change once the notifier is started.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "net/ReachabilityTarget.h"

struct sockaddr_in;

inline const QString kReachabilityChangedNotification =
    QStringLiteral("kNetworkReachabilityChangedNotification");

enum NetworkStatus { NotReachable = 0, ReachableViaNetwork = 1 };

class Reachability {
 public:
  static std::unique_ptr<Reachability> reachabilityWithHostName(const QString& hostName);
  static std::unique_ptr<Reachability> reachabilityWithAddress(const sockaddr_in& hostAddress);
  static std::unique_ptr<Reachability> reachabilityForInternetConnection();
  static std::unique_ptr<Reachability> reachabilityForLocalWiFi();
  // Stops the notifier.
  ~Reachability();

  bool startNotifier();
  void stopNotifier();
  int currentReachabilityStatus() const;
  bool connectionRequired() const;
  // Each logs the flags on one line of the system log first.
  static int networkStatusForFlags(uint32_t flags);
  static int localWiFiStatusForFlags(uint32_t flags);
  // "Reachability Flag Status: R -------d networkStatusForFlags\n" and so on.
  static QString flagStatusLine(uint32_t flags, const char* comment);

  bool localWiFiRef() const { return localWiFiRef_; }

 private:
  explicit Reachability(std::unique_ptr<net::ReachabilityTarget> target)
      : reachabilityRef_(std::move(target)) {}

  std::unique_ptr<net::ReachabilityTarget> reachabilityRef_;
  bool localWiFiRef_ = false;
};
