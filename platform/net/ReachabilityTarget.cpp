#include "net/ReachabilityTarget.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <QNetworkInformation>
#include <QNetworkInterface>

namespace net {

namespace {

QNetworkInformation* information() {
  static QNetworkInformation* loaded = [] {
    QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
    return QNetworkInformation::instance();
  }();
  return loaded;
}

bool isLinkLocal(const QHostAddress& address) {
  return address.isLinkLocal() ||
         address.isInSubnet(QHostAddress(QStringLiteral("169.254.0.0")), 16);
}

}  // namespace

std::unique_ptr<ReachabilityTarget> ReachabilityTarget::createWithName(const QByteArray& hostName) {
  if (hostName.isEmpty()) return nullptr;
  const bool local =
      hostName == "localhost" || QHostAddress(QString::fromUtf8(hostName)).isLoopback();
  return std::unique_ptr<ReachabilityTarget>(
      new ReachabilityTarget(local ? Kind::Loopback : Kind::Host));
}

std::unique_ptr<ReachabilityTarget> ReachabilityTarget::createWithAddress(
    const sockaddr_in& address) {
  if (address.sin_family != AF_INET) return nullptr;
  const quint32 ip = ntohl(address.sin_addr.s_addr);
  Kind kind = Kind::Host;
  if (ip == 0)
    kind = Kind::Internet;
  else if ((ip & 0xffff0000u) == 0xa9fe0000u)
    kind = Kind::LinkLocal;
  else if ((ip >> 24) == 127)
    kind = Kind::Loopback;
  return std::unique_ptr<ReachabilityTarget>(new ReachabilityTarget(kind));
}

// The interfaces that are up and running, loopback aside: any address off
// the link-local range reaches beyond the link; a link-local one only the
// machines on it, directly.
uint32_t ReachabilityTarget::flagsFromInterfaces() const {
  bool routable = false, linkLocal = false;
  for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
    const auto flags = interface.flags();
    if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning) ||
        (flags & QNetworkInterface::IsLoopBack))
      continue;
    for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
      if (isLinkLocal(entry.ip()))
        linkLocal = true;
      else
        routable = true;
    }
  }
  if (kind_ == Kind::LinkLocal)
    return linkLocal || routable ? ReachabilityFlagsReachable | ReachabilityFlagsIsDirect : 0;
  return routable ? uint32_t(ReachabilityFlagsReachable) : 0;
}

bool ReachabilityTarget::getFlags(uint32_t* flags) const {
  if (kind_ == Kind::Loopback) {
    *flags =
        ReachabilityFlagsReachable | ReachabilityFlagsIsLocalAddress | ReachabilityFlagsIsDirect;
    return true;
  }
  const auto reachability =
      information() ? information()->reachability() : QNetworkInformation::Reachability::Unknown;
  switch (reachability) {
    case QNetworkInformation::Reachability::Disconnected:
      *flags = 0;
      return true;
    case QNetworkInformation::Reachability::Local:
      *flags = kind_ == Kind::LinkLocal ? flagsFromInterfaces() : 0;
      return true;
    case QNetworkInformation::Reachability::Site:
    case QNetworkInformation::Reachability::Online:
      *flags = flagsFromInterfaces() | ReachabilityFlagsReachable;
      return true;
    case QNetworkInformation::Reachability::Unknown:
      break;
  }
  *flags = flagsFromInterfaces();
  return true;
}

bool ReachabilityTarget::setCallback(Callback callback) {
  callback_ = std::move(callback);
  return true;
}

bool ReachabilityTarget::scheduleWithRunLoop() {
  if (!information()) return false;
  QObject::disconnect(changes_);
  changes_ = connect(information(), &QNetworkInformation::reachabilityChanged, this, [this] {
    uint32_t flags = 0;
    if (callback_ && getFlags(&flags)) callback_(flags);
  });
  return true;
}

bool ReachabilityTarget::unscheduleFromRunLoop() { return QObject::disconnect(changes_); }

}  // namespace net
