#include "sharing/Reachability.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <QLoggingCategory>

#include "foundation/NotificationCenter.h"

Q_DECLARE_LOGGING_CATEGORY(lcFacebook)

using namespace net;

namespace {
sockaddr_in ipv4Address(uint32_t hostOrder) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(hostOrder);
  return address;
}
}  // namespace

std::unique_ptr<Reachability> Reachability::reachabilityWithHostName(const QString& hostName) {
  auto target = ReachabilityTarget::createWithName(hostName.toUtf8());
  return target ? std::unique_ptr<Reachability>(new Reachability(std::move(target))) : nullptr;
}

std::unique_ptr<Reachability> Reachability::reachabilityWithAddress(
    const sockaddr_in& hostAddress) {
  auto target = ReachabilityTarget::createWithAddress(hostAddress);
  return target ? std::unique_ptr<Reachability>(new Reachability(std::move(target))) : nullptr;
}

std::unique_ptr<Reachability> Reachability::reachabilityForInternetConnection() {
  return reachabilityWithAddress(ipv4Address(INADDR_ANY));
}

std::unique_ptr<Reachability> Reachability::reachabilityForLocalWiFi() {
  auto reachability = reachabilityWithAddress(ipv4Address(0xa9fe0000u));  // 169.254.0.0
  if (reachability) reachability->localWiFiRef_ = true;
  return reachability;
}

Reachability::~Reachability() { stopNotifier(); }

bool Reachability::startNotifier() {
  if (!reachabilityRef_->setCallback([this](uint32_t) {
        fnd::NotificationCenter::defaultCenter().postNotificationName(
            kReachabilityChangedNotification, this);
      }))
    return false;
  return reachabilityRef_->scheduleWithRunLoop();
}

void Reachability::stopNotifier() {
  if (reachabilityRef_) reachabilityRef_->unscheduleFromRunLoop();
}

QString Reachability::flagStatusLine(uint32_t flags, const char* comment) {
  const auto letter = [flags](uint32_t flag, char c) { return (flags & flag) ? c : '-'; };
  return QString::asprintf("Reachability Flag Status: %c %c%c%c%c%c%c%c %s\n",
                           letter(ReachabilityFlagsReachable, 'R'),
                           letter(ReachabilityFlagsTransientConnection, 't'),
                           letter(ReachabilityFlagsConnectionRequired, 'c'),
                           letter(ReachabilityFlagsConnectionOnTraffic, 'C'),
                           letter(ReachabilityFlagsInterventionRequired, 'i'),
                           letter(ReachabilityFlagsConnectionOnDemand, 'D'),
                           letter(ReachabilityFlagsIsLocalAddress, 'l'),
                           letter(ReachabilityFlagsIsDirect, 'd'), comment);
}

int Reachability::networkStatusForFlags(uint32_t flags) {
  qCInfo(lcFacebook).noquote() << flagStatusLine(flags, "networkStatusForFlags");
  if (!(flags & ReachabilityFlagsReachable)) return NotReachable;
  if (!(flags & ReachabilityFlagsConnectionRequired)) return ReachableViaNetwork;
  const bool automatic =
      flags & (ReachabilityFlagsConnectionOnTraffic | ReachabilityFlagsConnectionOnDemand);
  return automatic && !(flags & ReachabilityFlagsInterventionRequired) ? ReachableViaNetwork
                                                                       : NotReachable;
}

int Reachability::localWiFiStatusForFlags(uint32_t flags) {
  qCInfo(lcFacebook).noquote() << flagStatusLine(flags, "localWiFiStatusForFlags");
  const uint32_t both = ReachabilityFlagsReachable | ReachabilityFlagsIsDirect;
  return (flags & both) == both ? ReachableViaNetwork : NotReachable;
}

int Reachability::currentReachabilityStatus() const {
  uint32_t flags = 0;
  if (!reachabilityRef_->getFlags(&flags)) return NotReachable;
  return localWiFiRef_ ? localWiFiStatusForFlags(flags) : networkStatusForFlags(flags);
}

bool Reachability::connectionRequired() const {
  uint32_t flags = 0;
  return reachabilityRef_->getFlags(&flags) && (flags & ReachabilityFlagsConnectionRequired);
}
