#include "net/HTTPCookieStorage.h"

#include "net/NetworkAccess.h"

namespace net {

HTTPCookieStorage* HTTPCookieStorage::sharedHTTPCookieStorage() {
  return static_cast<HTTPCookieStorage*>(NetworkAccess::manager()->cookieJar());
}

bool HTTPCookieStorage::setCookie(const QNetworkCookie& cookie) {
  if (cookie.domain().isEmpty()) return false;
  if (insertCookie(cookie)) return true;
  return updateCookie(cookie);
}

bool HTTPCookieStorage::deleteCookie(const QNetworkCookie& cookie) {
  return QNetworkCookieJar::deleteCookie(cookie);
}

}  // namespace net
