#include "sharing/WebCookieBridge.h"

#include <QCoreApplication>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include "net/HTTPCookieStorage.h"

namespace {

// Guards against echoing a cookie back to the side it came from.
bool copying = false;

void copyToEngine(QWebEngineCookieStore* engine, const QNetworkCookie& cookie, bool added) {
  if (copying) return;
  copying = true;
  if (added)
    engine->setCookie(cookie);
  else
    engine->deleteCookie(cookie);
  copying = false;
}

void copyToApplication(const QNetworkCookie& cookie, bool added) {
  if (copying) return;
  copying = true;
  auto* store = net::HTTPCookieStorage::sharedHTTPCookieStorage();
  if (added)
    store->setCookie(cookie);
  else
    store->deleteCookie(cookie);
  copying = false;
}

}  // namespace

QWebEngineProfile* WebCookieBridge::sharedProfile() {
  static QWebEngineProfile* profile = [] {
    auto* shared = new QWebEngineProfile(QCoreApplication::instance());
    QWebEngineCookieStore* engine = shared->cookieStore();
    auto* store = net::HTTPCookieStorage::sharedHTTPCookieStorage();
    for (const QNetworkCookie& cookie : store->cookies()) engine->setCookie(cookie);
    store->setObserver([engine](const QNetworkCookie& cookie, bool added) {
      copyToEngine(engine, cookie, added);
    });
    QObject::connect(engine, &QWebEngineCookieStore::cookieAdded, shared,
                     [](const QNetworkCookie& cookie) { copyToApplication(cookie, true); });
    QObject::connect(engine, &QWebEngineCookieStore::cookieRemoved, shared,
                     [](const QNetworkCookie& cookie) { copyToApplication(cookie, false); });
    engine->loadAllCookies();
    return shared;
  }();
  return profile;
}
