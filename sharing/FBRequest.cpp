#include "sharing/FBRequest.h"

namespace {
const QByteArray kUserAgent = "FacebookConnect";
}

std::unique_ptr<FBRequest> FBRequest::getRequestWithParams(const QVariantMap& params,
                                                           const QString& httpMethod,
                                                           FBRequestDelegate* delegate,
                                                           const QString& url) {
  std::unique_ptr<FBRequest> request(new FBRequest);
  request->delegate_ = delegate;
  request->url_ = url;
  request->httpMethod_ = httpMethod;
  request->params_ = params;
  return request;
}

FBRequest::~FBRequest() {
  if (connection_) connection_->cancel();
  if (deadline_) {
    deadline_->stop();
    deadline_.release()->deleteLater();
  }
}

bool FBRequest::responds(FBRequestDelegate::Callback callback) const {
  return delegate_ && delegate_->respondsTo(callback);
}

void FBRequest::connect() {
  if (responds(FBRequestDelegate::RequestLoading)) delegate_->requestLoading(this);
  // The query carries the text parameters for every method, POST included.
  const QString url = serializeURL(url_, params_, httpMethod_);
  net::URLRequest request(QUrl(url), net::URLRequestCachePolicy::ReloadIgnoringLocalCacheData,
                          timeoutInterval_);
  request.setValue(kUserAgent, "User-Agent");
  request.setHTTPMethod(httpMethod_.toUtf8());
  if (httpMethod_ == QLatin1String("POST")) {
    request.setValue("multipart/form-data; boundary=" + multipartBoundary().toUtf8(),
                     "Content-Type");
    request.setHTTPBody(generatePostBody());
  }
  statusCode_ = 0;
  statusText_.clear();
  if (connection_) {  // a request started again drops its earlier load
    connection_->cancel();
    connection_.release()->deleteLater();
  }
  connection_ = std::make_unique<net::URLConnection>(request, this);
  deadline_ = std::make_unique<QTimer>();
  deadline_->setSingleShot(true);
  QObject::connect(deadline_.get(), &QTimer::timeout,
                   [this] { abandon(QStringLiteral("The service took too long to answer")); });
  deadline_->start(std::max(1, int(maximumDuration_ * 1000)));
}

void FBRequest::abandon(const QString& message) {
  if (connection_) connection_->cancel();
  endLoading();
  failWithError(formError(defaultErrorCode, {{QStringLiteral("error_msg"), message}}));
}

void FBRequest::connectionDidReceiveResponse(net::URLConnection*,
                                             const net::HTTPURLResponse& response) {
  responseText_ = QByteArray("");
  statusCode_ = response.statusCode();
  statusText_ = response.statusText();
  if (responds(FBRequestDelegate::RequestDidReceiveResponse))
    delegate_->requestDidReceiveResponse(this, response);
}

void FBRequest::connectionDidReceiveData(net::URLConnection*, const QByteArray& data) {
  if (responseText_.size() + data.size() > maximumResponseLength) {
    abandon(QStringLiteral("The service's reply is too large"));
    return;
  }
  responseText_ += data;
}

// The state is cleared before the delegate hears of the end, so a delegate
// may release the request from its callback.
void FBRequest::connectionDidFinishLoading(net::URLConnection*) {
  const QByteArray data = responseText_.isNull() ? QByteArray("") : responseText_;
  endLoading();
  handleResponseData(data);
}

void FBRequest::connectionDidFailWithError(net::URLConnection*, const fnd::Error& error) {
  endLoading();
  failWithError(error);
}

void FBRequest::endLoading() {
  responseText_ = QByteArray();
  if (deadline_) {  // the timer may be the caller
    deadline_->stop();
    deadline_.release()->deleteLater();
  }
  // The connection is the caller: it goes once its callback has returned.
  if (connection_) connection_.release()->deleteLater();
}

void FBRequest::failWithError(const fnd::Error& error) {
  if (responds(FBRequestDelegate::RequestDidFailWithError))
    delegate_->requestDidFailWithError(this, error);
}

void FBRequest::handleResponseData(const QByteArray& data) {
  if (responds(FBRequestDelegate::RequestDidLoadRawResponse))
    delegate_->requestDidLoadRawResponse(this, data);
  if (!responds(FBRequestDelegate::RequestDidLoad) &&
      !responds(FBRequestDelegate::RequestDidFailWithError))
    return;
  fnd::Error error;
  const QVariant result = parseJsonResponse(data, &error);
  // An error status is an error whatever its body says; a JSON object in
  // the body still travels with it.
  if (statusCode_ >= 400 && error.isNull()) {
    QVariantMap userInfo = result.typeId() == QMetaType::QVariantMap
                               ? result.toMap()
                               : QVariantMap{{QStringLiteral("error_msg"), statusText_}};
    userInfo.insert(fnd::LocalizedDescriptionKey, statusText_);
    error = formError(defaultErrorCode, userInfo);
  }
  // A reply that is not JSON is no answer of the service's.
  if (error.isNull() && !result.isValid())
    error =
        formError(defaultErrorCode,
                  {{QStringLiteral("error_msg"), QStringLiteral("The reply could not be read")}});
  if (!error.isNull()) {
    failWithError(error);
  } else if (responds(FBRequestDelegate::RequestDidLoad)) {
    delegate_->requestDidLoad(this, result);
  }
}
