#include "net/HTTPCookieStorage.h"

#include "net/NetworkAccess.h"

namespace net {

HTTPCookieStorage* HTTPCookieStorage::sharedHTTPCookieStorage() {
  return static_cast<HTTPCookieStorage*>(NetworkAccess::manager()->cookieJar());
}

bool HTTPCookieStorage::setCookie(const QNetworkCookie& cookie) {
  if (cookie.domain().isEmpty()) return false;
  const bool stored = insertCookie(cookie) || updateCookie(cookie);
  if (stored) tell(cookie, true);
  return stored;
}

bool HTTPCookieStorage::deleteCookie(const QNetworkCookie& cookie) {
  const bool deleted = QNetworkCookieJar::deleteCookie(cookie);
  if (deleted) tell(cookie, false);
  return deleted;
}

// The cookies a reply set, as the jar normalised them (domain filled in).
bool HTTPCookieStorage::setCookiesFromUrl(const QList<QNetworkCookie>& cookies, const QUrl& url) {
  const bool any = QNetworkCookieJar::setCookiesFromUrl(cookies, url);
  if (any && observer_)
    for (const QNetworkCookie& cookie : cookiesForUrl(url)) tell(cookie, true);
  return any;
}

}  // namespace net
