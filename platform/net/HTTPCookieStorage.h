// The application's one cookie store: every connection reads and writes the
// same cookies, so a login made by one request is seen by the next. Backed
// by a QNetworkCookieJar installed on the shared network access manager.
#pragma once

#include <QList>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QUrl>

namespace net {

class HTTPCookieStorage : public QNetworkCookieJar {
 public:
  // Made with the shared network access manager, on the main thread, and
  // kept until the application ends.
  static HTTPCookieStorage* sharedHTTPCookieStorage();

  QList<QNetworkCookie> cookies() const { return allCookies(); }
  QList<QNetworkCookie> cookiesForURL(const QUrl& url) const { return cookiesForUrl(url); }
  // A cookie without a domain is refused: the store could not say where it
  // applies.
  bool setCookie(const QNetworkCookie& cookie);
  bool deleteCookie(const QNetworkCookie& cookie) override;
};

}  // namespace net
