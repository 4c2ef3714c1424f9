// The application's one QNetworkAccessManager, made on first use on the main
// thread with the shared cookie store; connections are made on that thread.
#pragma once

#include <QNetworkAccessManager>

namespace net {

class NetworkAccess {
 public:
  static QNetworkAccessManager* manager();
};

}  // namespace net
