#include "net/URLError.h"

namespace net {

namespace {

QString describe(URLErrorCode code) {
  switch (code) {
    case URLErrorCancelled:
      return QStringLiteral("cancelled");
    case URLErrorBadURL:
      return QStringLiteral("bad URL");
    case URLErrorTimedOut:
      return QStringLiteral("The request timed out.");
    case URLErrorUnsupportedURL:
      return QStringLiteral("unsupported URL");
    case URLErrorCannotFindHost:
      return QStringLiteral("A server with the specified hostname could not be found.");
    case URLErrorCannotConnectToHost:
      return QStringLiteral("Could not connect to the server.");
    case URLErrorNetworkConnectionLost:
      return QStringLiteral("The network connection was lost.");
    case URLErrorNotConnectedToInternet:
      return QStringLiteral("The Internet connection appears to be offline.");
    case URLErrorSecureConnectionFailed:
      return QStringLiteral(
          "An SSL error has occurred and a secure connection to the server "
          "cannot be made.");
    case URLErrorUnknown:
      break;
  }
  return QStringLiteral("unknown error");
}

}  // namespace

fnd::Error urlError(URLErrorCode code, const QUrl& url) {
  return fnd::Error(URLErrorDomain, code,
                    {{fnd::LocalizedDescriptionKey, describe(code)},
                     {QStringLiteral("NSErrorFailingURLStringKey"), url.toString()}});
}

fnd::Error urlErrorForReply(QNetworkReply::NetworkError error, const QUrl& url) {
  switch (error) {
    case QNetworkReply::ConnectionRefusedError:
      return urlError(URLErrorCannotConnectToHost, url);
    case QNetworkReply::RemoteHostClosedError:
      return urlError(URLErrorNetworkConnectionLost, url);
    case QNetworkReply::HostNotFoundError:
      return urlError(URLErrorCannotFindHost, url);
    case QNetworkReply::TimeoutError:
      return urlError(URLErrorTimedOut, url);
    case QNetworkReply::OperationCanceledError:
      return urlError(URLErrorCancelled, url);
    case QNetworkReply::SslHandshakeFailedError:
      return urlError(URLErrorSecureConnectionFailed, url);
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
      return urlError(URLErrorNotConnectedToInternet, url);
    case QNetworkReply::ProtocolUnknownError:
      return urlError(URLErrorUnsupportedURL, url);
    case QNetworkReply::ProtocolInvalidOperationError:
      return urlError(URLErrorBadURL, url);
    default:
      return urlError(URLErrorUnknown, url);
  }
}

}  // namespace net
