// The application's one cookie store: every connection reads and writes the
// same cookies, so a login made by one request is seen by the next. Backed
// by a QNetworkCookieJar installed on the shared network access manager.
#pragma once

#include <QList>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QUrl>
#include <functional>

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
  bool setCookiesFromUrl(const QList<QNetworkCookie>& cookies, const QUrl& url) override;

  // Told of every cookie stored (added true) or deleted, so another cookie
  // store (the web view's) can stay equal to this one.
  using Observer = std::function<void(const QNetworkCookie& cookie, bool added)>;
  void setObserver(Observer observer) { observer_ = std::move(observer); }

 private:
  void tell(const QNetworkCookie& cookie, bool added) const {
    if (observer_) observer_(cookie, added);
  }

  Observer observer_;
};

}  // namespace net
