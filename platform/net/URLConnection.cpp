#include "net/URLConnection.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <cmath>

#include "net/NetworkAccess.h"
#include "net/URLError.h"

namespace net {

namespace {

// Qt reports an HTTP error status as a reply error (400 even as a protocol
// error); once a status arrived, only a broken transfer is a failure.
bool isErrorStatus(QNetworkReply::NetworkError error) {
  return error >= QNetworkReply::ContentAccessDenied && error != QNetworkReply::ProtocolFailure;
}

QNetworkRequest networkRequest(const URLRequest& request) {
  QNetworkRequest result(request.url());
  for (const auto& [field, value] : request.allHTTPHeaderFields())
    result.setRawHeader(field, value);
  if (request.cachePolicy() == URLRequestCachePolicy::ReloadIgnoringLocalCacheData) {
    result.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    result.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
  }
  return result;
}

}  // namespace

URLConnection::URLConnection(const URLRequest& request, URLConnectionDelegate* delegate,
                             bool startImmediately)
    : request_(request), delegate_(delegate) {
  idleTimer_.setSingleShot(true);
  connect(&idleTimer_, &QTimer::timeout, this, &URLConnection::idleTimedOut);
  if (startImmediately) start();
}

URLConnection::~URLConnection() { cancel(); }

void URLConnection::start() {
  if (started_) return;
  started_ = true;
  const QUrl url = request_.url();
  const QString scheme = url.scheme().toLower();
  if (!url.isValid() || url.host().isEmpty() || (scheme != "http" && scheme != "https")) {
    const URLErrorCode code =
        url.isValid() && !url.host().isEmpty() ? URLErrorUnsupportedURL : URLErrorBadURL;
    QMetaObject::invokeMethod(
        this, [this, code, url] { fail(urlError(code, url)); }, Qt::QueuedConnection);
    return;
  }
  reply_ = NetworkAccess::manager()->sendCustomRequest(networkRequest(request_),
                                                       request_.HTTPMethod(), request_.HTTPBody());
  connect(reply_, &QNetworkReply::readyRead, this, &URLConnection::readBody);
  connect(reply_, &QNetworkReply::finished, this, &URLConnection::finish);
  const auto moved = [this] {
    if (!ended_) idleTimer_.start();
  };
  connect(reply_, &QNetworkReply::uploadProgress, this, moved);
  connect(reply_, &QNetworkReply::downloadProgress, this, moved);
  idleTimer_.setInterval(std::max(1, int(std::lround(request_.timeoutInterval() * 1000))));
  idleTimer_.start();
}

void URLConnection::cancel() {
  ended_ = true;
  idleTimer_.stop();
  detachReply();
}

void URLConnection::detachReply() {
  if (!reply_) return;
  QNetworkReply* reply = reply_;
  reply_ = nullptr;
  reply->disconnect(this);
  reply->abort();
  reply->deleteLater();
}

void URLConnection::deliverResponse() {
  if (responseDelivered_ || !reply_) return;
  const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (!status.isValid()) return;
  responseDelivered_ = true;
  const HTTPURLResponse response(
      reply_->url(), status.toInt(),
      reply_->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString(),
      reply_->rawHeaderPairs());
  delegate_->connectionDidReceiveResponse(this, response);
}

void URLConnection::readBody() {
  if (ended_) return;
  idleTimer_.start();
  QPointer<URLConnection> self(this);
  deliverResponse();
  if (!self || ended_ || !reply_) return;
  const QByteArray data = reply_->readAll();
  if (!data.isEmpty()) delegate_->connectionDidReceiveData(this, data);
}

void URLConnection::finish() {
  if (ended_ || !reply_) return;
  const QNetworkReply::NetworkError error = reply_->error();
  const bool answered = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
  if (error != QNetworkReply::NoError && !(answered && isErrorStatus(error))) {
    fail(urlErrorForReply(error, request_.url()));
    return;
  }
  QPointer<URLConnection> self(this);
  readBody();
  if (!self || ended_) return;
  ended_ = true;
  idleTimer_.stop();
  detachReply();
  delegate_->connectionDidFinishLoading(this);
}

void URLConnection::idleTimedOut() {
  if (!ended_) fail(urlError(URLErrorTimedOut, request_.url()));
}

void URLConnection::fail(const fnd::Error& error) {
  ended_ = true;
  idleTimer_.stop();
  detachReply();
  delegate_->connectionDidFailWithError(this, error);
}

}  // namespace net
