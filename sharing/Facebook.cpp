#include "sharing/Facebook.h"

#include "sharing/FBLoginDialog.h"
#include "sharing/FBRequest.h"

namespace {
const QString kLoginAction = QStringLiteral("oauth");
const QString kRedirectURL = QStringLiteral("fbconnect://success");
}  // namespace

std::shared_ptr<Facebook> Facebook::initWithAppId(const QString& appId) {
  return std::shared_ptr<Facebook>(new Facebook(appId));
}

Facebook::Facebook(const QString& appId) : appId_(appId), endpoints_(FBEndpoints::current()) {}

Facebook::~Facebook() = default;

QDateTime Facebook::distantFuture() { return QDateTime(QDate(4001, 1, 1), QTime(0, 0), Qt::UTC); }

QDateTime Facebook::now() const { return clock_ ? clock_() : QDateTime::currentDateTimeUtc(); }

bool Facebook::sessionDelegateResponds(FBSessionDelegate::Callback callback) const {
  return sessionDelegate_ && sessionDelegate_->respondsTo(callback);
}

void Facebook::authorize(const std::optional<QStringList>& permissions,
                         FBSessionDelegate* delegate) {
  permissions_ = permissions;
  sessionDelegate_ = delegate;
  authorize(true, true);
}

void Facebook::authorize(bool, bool) {
  QVariantMap params{{QStringLiteral("client_id"), appId_},
                     {QStringLiteral("type"), QStringLiteral("user_agent")},
                     {QStringLiteral("redirect_uri"), kRedirectURL},
                     {QStringLiteral("display"), QStringLiteral("touch")},
                     {QStringLiteral("sdk"), QStringLiteral("2")}};
  if (permissions_) params.insert(QStringLiteral("scope"), permissions_->join(u','));
  loginDialog_ = std::make_shared<FBLoginDialog>(endpoints_.dialogBaseURL + kLoginAction, params,
                                                 shared_from_this());
  loginDialog_->show();
}

bool Facebook::isSessionValid() const {
  return !accessToken_.isNull() && expirationDate_.isValid() && expirationDate_ > now();
}

FBRequest* Facebook::requestWithMethodName(const QString& methodName, QVariantMap& params,
                                           const QString& httpMethod, FBRequestDelegate* delegate) {
  return openUrl(endpoints_.restserverBaseURL + methodName, params, httpMethod, delegate);
}

FBRequest* Facebook::openUrl(const QString& url, QVariantMap& params, const QString& httpMethod,
                             FBRequestDelegate* delegate) {
  params.insert(QStringLiteral("format"), QStringLiteral("json"));
  params.insert(QStringLiteral("sdk"), QStringLiteral("ios"));
  params.insert(QStringLiteral("sdk_version"), QStringLiteral("2"));
  if (isSessionValid()) params.insert(QStringLiteral("access_token"), accessToken_);
  request_ = FBRequest::getRequestWithParams(params, httpMethod, delegate, url);
  request_->connect();
  return request_.get();
}

void Facebook::fbDialogLogin(const QString& token, const QDateTime& expirationDate) {
  accessToken_ = token;
  expirationDate_ = expirationDate;
  if (sessionDelegateResponds(FBSessionDelegate::FbDidLogin)) sessionDelegate_->fbDidLogin();
}

void Facebook::fbDialogNotLogin(bool cancelled) {
  if (sessionDelegateResponds(FBSessionDelegate::FbDidNotLogin))
    sessionDelegate_->fbDidNotLogin(cancelled);
}
