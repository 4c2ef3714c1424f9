// Errors of URL loading: the platform's domain and the codes connections
// report, with a description for each.
#pragma once

#include <QNetworkReply>

#include "foundation/Error.h"

namespace net {

inline const QString URLErrorDomain = QStringLiteral("NSURLErrorDomain");

enum URLErrorCode {
  URLErrorUnknown = -1,
  URLErrorCancelled = -999,
  URLErrorBadURL = -1000,
  URLErrorTimedOut = -1001,
  URLErrorUnsupportedURL = -1002,
  URLErrorCannotFindHost = -1003,
  URLErrorCannotConnectToHost = -1004,
  URLErrorNetworkConnectionLost = -1005,
  URLErrorNotConnectedToInternet = -1009,
  URLErrorSecureConnectionFailed = -1200,
};

fnd::Error urlError(URLErrorCode code, const QUrl& url);
// The error for a transfer Qt gave up on; transport failures only, since
// replies with error statuses are delivered as data.
fnd::Error urlErrorForReply(QNetworkReply::NetworkError error, const QUrl& url);

}  // namespace net
