#include "net/NetworkAccess.h"

#include <QCoreApplication>

#include "net/HTTPCookieStorage.h"

namespace net {

QNetworkAccessManager* NetworkAccess::manager() {
  static QNetworkAccessManager* shared = [] {
    auto* manager = new QNetworkAccessManager(QCoreApplication::instance());
    manager->setCookieJar(new HTTPCookieStorage);
    return manager;
  }();
  return shared;
}

}  // namespace net
