// The session's operations the posting does not use: generic REST and graph
// requests, the other web dialogs, the login return through a custom URL
// and logout.
#include <QLoggingCategory>

#include "net/HTTPCookieStorage.h"
#include "sharing/FBDialog.h"
#include "sharing/FBLoginDialog.h"
#include "sharing/FBPercentEscapes.h"
#include "sharing/FBRequest.h"
#include "sharing/Facebook.h"

Q_LOGGING_CATEGORY(lcFacebook, "tessaly.sharing")

FBRequest* Facebook::requestWithParams(QVariantMap& params, FBRequestDelegate* delegate) {
  const QString method = params.value(QStringLiteral("method")).toString();
  if (!params.contains(QStringLiteral("method"))) {
    qCInfo(lcFacebook, "API Method must be specified");
    return nullptr;
  }
  params.remove(QStringLiteral("method"));
  return requestWithMethodName(method, params, QStringLiteral("GET"), delegate);
}

FBRequest* Facebook::requestWithGraphPath(const QString& graphPath, FBRequestDelegate* delegate) {
  QVariantMap params;
  return requestWithGraphPath(graphPath, params, delegate);
}

FBRequest* Facebook::requestWithGraphPath(const QString& graphPath, QVariantMap& params,
                                          FBRequestDelegate* delegate) {
  return requestWithGraphPath(graphPath, params, QStringLiteral("GET"), delegate);
}

FBRequest* Facebook::requestWithGraphPath(const QString& graphPath, QVariantMap& params,
                                          const QString& httpMethod, FBRequestDelegate* delegate) {
  return openUrl(endpoints_.graphBaseURL + graphPath, params, httpMethod, delegate);
}

void Facebook::dialog(const QString& action, FBDialogDelegate* delegate) {
  QVariantMap params;
  dialog(action, params, delegate);
}

void Facebook::dialog(const QString& action, QVariantMap& params, FBDialogDelegate* delegate) {
  const QString url = endpoints_.dialogBaseURL + action;
  params.insert(QStringLiteral("display"), QStringLiteral("touch"));
  params.insert(QStringLiteral("sdk"), QStringLiteral("2"));
  params.insert(QStringLiteral("redirect_uri"), QStringLiteral("fbconnect://success"));
  if (action == QLatin1String("oauth")) {
    params.insert(QStringLiteral("type"), QStringLiteral("user_agent"));
    fbDialog_ = std::make_shared<FBLoginDialog>(url, params, shared_from_this());
  } else {
    params.insert(QStringLiteral("app_id"), appId_);
    if (isSessionValid()) {
      if (const auto token = percentDecodedUTF8(accessToken_))
        params.insert(QStringLiteral("access_token"), *token);
    }
    fbDialog_ = std::make_shared<FBDialog>(url, params, delegate);
  }
  fbDialog_->show();
}

bool Facebook::handleOpenURL(const QUrl& url) {
  const QString prefix = QStringLiteral("fb%1://authorize").arg(appId_);
  if (!url.toString(QUrl::FullyEncoded).startsWith(prefix)) return false;
  const QString query =
      url.hasFragment() ? url.fragment(QUrl::FullyEncoded) : url.query(QUrl::FullyEncoded);
  const QVariantMap params = parseURLParams(query);
  if (params.contains(QStringLiteral("access_token"))) {
    const qint64 lifetime = integerValue(params.value(QStringLiteral("expires_in")).toString());
    const QDateTime expiry = lifetime != 0 ? now().addSecs(lifetime) : distantFuture();
    fbDialogLogin(params.value(QStringLiteral("access_token")).toString(), expiry);
    return true;
  }
  const QString error = params.value(QStringLiteral("error")).toString();
  if (error == QLatin1String("service_disabled_use_browser")) {
    authorize(false, true);
  } else if (error == QLatin1String("service_disabled")) {
    authorize(false, false);
  } else {
    const bool hasError = params.contains(QStringLiteral("error"));
    fbDialogNotLogin(!params.contains(QStringLiteral("error_code")) &&
                     (!hasError || error == QLatin1String("access_denied")));
  }
  return true;
}

QVariantMap Facebook::parseURLParams(const QString& query) {
  QVariantMap params;
  for (const QString& pair : query.split(u'&')) {
    const QStringList kv = pair.split(u'=');
    if (kv.size() < 2) continue;
    if (const auto value = percentDecodedUTF8(kv[1])) params.insert(kv[0], *value);
  }
  return params;
}

void Facebook::logout(FBSessionDelegate* delegate) {
  sessionDelegate_ = delegate;
  QVariantMap params;
  requestWithMethodName(QStringLiteral("auth.expireSession"), params, QStringLiteral("GET"),
                        nullptr);
  accessToken_ = QString();
  expirationDate_ = QDateTime();
  auto* cookies = net::HTTPCookieStorage::sharedHTTPCookieStorage();
  for (const QNetworkCookie& cookie : cookies->cookiesForURL(QUrl(endpoints_.loginURL)))
    cookies->deleteCookie(cookie);
  if (sessionDelegateResponds(FBSessionDelegate::FbDidLogout)) sessionDelegate_->fbDidLogout();
}

void Facebook::requestDidFailWithError(FBRequest*, const fnd::Error&) {
  qCInfo(lcFacebook, "Failed to expire the session");
}
