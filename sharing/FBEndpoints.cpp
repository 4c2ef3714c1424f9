#include "sharing/FBEndpoints.h"

#include <optional>

namespace {
std::optional<FBEndpoints>& configured() {
  static std::optional<FBEndpoints> endpoints;
  return endpoints;
}
}  // namespace

FBEndpoints FBEndpoints::standard() {
  return {QStringLiteral("https://m.facebook.com/dialog/"),
          QStringLiteral("https://api.facebook.com/method/"),
          QStringLiteral("https://graph.facebook.com/"),
          QStringLiteral("http://login.facebook.com")};
}

FBEndpoints FBEndpoints::underServer(const QString& base) {
  const QString root = base.endsWith(u'/') ? base : base + u'/';
  return {root + QStringLiteral("dialog/"), root + QStringLiteral("method/"), root, root};
}

FBEndpoints FBEndpoints::current() {
  if (configured()) return *configured();
  const QString server = qEnvironmentVariable("TESSALY_FACEBOOK_SERVER");
  return server.isEmpty() ? standard() : underServer(server);
}

void FBEndpoints::setCurrent(const FBEndpoints& endpoints) { configured() = endpoints; }

void FBEndpoints::resetCurrent() { configured().reset(); }
