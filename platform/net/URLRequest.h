// A URL request: the address, method, header fields, body, cache policy and
// the idle time-out a connection honours. A plain value; a URLConnection
// turns it into a QNetworkRequest.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QUrl>

namespace net {

enum class URLRequestCachePolicy {
  UseProtocolCachePolicy = 0,
  ReloadIgnoringLocalCacheData = 1,
};

class URLRequest {
 public:
  // timeoutInterval in seconds: the longest a transfer may go without a byte
  // moving in either direction.
  explicit URLRequest(
      QUrl url = {},
      URLRequestCachePolicy cachePolicy = URLRequestCachePolicy::UseProtocolCachePolicy,
      double timeoutInterval = 60);

  QUrl url() const { return url_; }
  void setURL(const QUrl& url) { url_ = url; }
  URLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
  void setCachePolicy(URLRequestCachePolicy policy) { cachePolicy_ = policy; }
  double timeoutInterval() const { return timeoutInterval_; }
  void setTimeoutInterval(double seconds) { timeoutInterval_ = seconds; }
  QByteArray HTTPMethod() const { return method_; }
  void setHTTPMethod(const QByteArray& method) { method_ = method; }
  QByteArray HTTPBody() const { return body_; }
  void setHTTPBody(const QByteArray& body) { body_ = body; }

  // Field names compare without regard to case; setting a field again
  // replaces its value.
  void setValue(const QByteArray& value, const QByteArray& field);
  QByteArray valueForHTTPHeaderField(const QByteArray& field) const;
  QList<QPair<QByteArray, QByteArray>> allHTTPHeaderFields() const { return headers_; }

 private:
  QUrl url_;
  URLRequestCachePolicy cachePolicy_;
  double timeoutInterval_;
  QByteArray method_ = "GET";
  QByteArray body_;
  QList<QPair<QByteArray, QByteArray>> headers_;
};

}  // namespace net
