// A network-reachability target: whether a host or an address can be
// reached now, as reachability flags, and a callback when that changes.
// Backed by QNetworkInformation (NetworkManager or GLib's network monitor);
// where neither can tell, by the interfaces that are up and their
// addresses.
#pragma once

#include <QByteArray>
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>

struct sockaddr_in;

namespace net {

enum ReachabilityFlags : uint32_t {
  ReachabilityFlagsTransientConnection = 1 << 0,
  ReachabilityFlagsReachable = 1 << 1,
  ReachabilityFlagsConnectionRequired = 1 << 2,
  ReachabilityFlagsConnectionOnTraffic = 1 << 3,
  ReachabilityFlagsInterventionRequired = 1 << 4,
  ReachabilityFlagsConnectionOnDemand = 1 << 5,
  ReachabilityFlagsIsLocalAddress = 1 << 16,
  ReachabilityFlagsIsDirect = 1 << 17,
};

class ReachabilityTarget : public QObject {
 public:
  using Callback = std::function<void(uint32_t flags)>;

  // Null for an empty name.
  static std::unique_ptr<ReachabilityTarget> createWithName(const QByteArray& hostName);
  // Null for an address that is not IPv4.
  static std::unique_ptr<ReachabilityTarget> createWithAddress(const sockaddr_in& address);

  // False when nothing can tell (never here: the interfaces always can).
  bool getFlags(uint32_t* flags) const;
  bool setCallback(Callback callback);
  // Starts and stops calls to the callback from the event loop.
  bool scheduleWithRunLoop();
  bool unscheduleFromRunLoop();

 private:
  enum class Kind { Internet, LinkLocal, Loopback, Host };
  explicit ReachabilityTarget(Kind kind) : kind_(kind) {}
  uint32_t flagsFromInterfaces() const;

  Kind kind_;
  Callback callback_;
  QMetaObject::Connection changes_;
};

}  // namespace net
