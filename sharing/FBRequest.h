// One call to the social network's API: parameters in the query string, sent
// as GET or as POST with a multipart body, the reply read as JSON and
// reported to the delegate as a result or an error.
#pragma once

#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <memory>

#include "net/URLConnection.h"
#include "sharing/FBRequestDelegate.h"

inline const QString FBErrorDomain = QStringLiteral("facebookErrDomain");

class FBRequest : public net::URLConnectionDelegate {
 public:
  static constexpr int defaultErrorCode = 10000;
  static constexpr double defaultTimeoutInterval = 180;
  // Bounds of one call: a longer reply, or a call that lasts longer in all
  // (however the bytes trickle in), ends with the service's error.
  static constexpr qsizetype maximumResponseLength = 4 * 1024 * 1024;
  static constexpr double defaultMaximumDuration = 300;

  // Made with those values and not started. Parameter values are strings,
  // or QByteArray for a file.
  static std::unique_ptr<FBRequest> getRequestWithParams(const QVariantMap& params,
                                                         const QString& httpMethod,
                                                         FBRequestDelegate* delegate,
                                                         const QString& url);
  // Cancels a load in progress; the delegate is told nothing.
  ~FBRequest() override;

  FBRequestDelegate* delegate() const { return delegate_; }
  void setDelegate(FBRequestDelegate* delegate) { delegate_ = delegate; }
  QString url() const { return url_; }
  void setUrl(const QString& url) { url_ = url; }
  QString httpMethod() const { return httpMethod_; }
  void setHttpMethod(const QString& method) { httpMethod_ = method; }
  QVariantMap& params() { return params_; }
  void setParams(const QVariantMap& params) { params_ = params; }
  net::URLConnection* connection() const { return connection_.get(); }
  // The reply bytes so far; null when not loading.
  QByteArray responseText() const { return responseText_; }
  bool loading() const { return connection_ != nullptr; }
  // Seconds without a byte moving before the load fails.
  double timeoutInterval() const { return timeoutInterval_; }
  void setTimeoutInterval(double seconds) { timeoutInterval_ = seconds; }
  // Seconds from connect to the end of the reply.
  double maximumDuration() const { return maximumDuration_; }
  void setMaximumDuration(double seconds) { maximumDuration_ = seconds; }

  void connect();

  // The boundary between the parts of a POST body.
  static QString multipartBoundary();
  static QString serializeURL(const QString& url, const QVariantMap& params,
                              const QString& httpMethod = QStringLiteral("GET"));
  QByteArray generatePostBody() const;
  static void utfAppendBody(QByteArray& body, const QString& string);
  // The result, or invalid with `error` set when the reply is an error; an
  // invalid result without an error means the reply was not JSON.
  QVariant parseJsonResponse(const QByteArray& data, fnd::Error* error) const;
  static fnd::Error formError(int code, const QVariantMap& userInfo);
  void failWithError(const fnd::Error& error);
  void handleResponseData(const QByteArray& data);

  void connectionDidReceiveResponse(net::URLConnection*, const net::HTTPURLResponse&) override;
  void connectionDidReceiveData(net::URLConnection*, const QByteArray& data) override;
  void connectionDidFinishLoading(net::URLConnection*) override;
  void connectionDidFailWithError(net::URLConnection*, const fnd::Error& error) override;

 private:
  FBRequest() = default;
  bool responds(FBRequestDelegate::Callback callback) const;
  void endLoading();
  // Stops the load, lets go of the bytes read and reports the error.
  void abandon(const QString& message);

  FBRequestDelegate* delegate_ = nullptr;
  QString url_;
  QString httpMethod_;
  QVariantMap params_;
  std::unique_ptr<net::URLConnection> connection_;
  QByteArray responseText_;
  double timeoutInterval_ = defaultTimeoutInterval;
  double maximumDuration_ = defaultMaximumDuration;
  std::unique_ptr<QTimer> deadline_;
  int statusCode_ = 0;
  QString statusText_;
};
