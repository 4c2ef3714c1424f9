// The client's session with the social network for one application id: it
// opens the web login dialog, keeps the access token the dialog hands back,
// and starts API requests carrying the common parameters and, while the
// session is valid, the token. Nothing is stored between sessions.
#pragma once

#include <QDateTime>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

#include "sharing/FBDialogDelegate.h"
#include "sharing/FBEndpoints.h"
#include "sharing/FBLoginDialogDelegate.h"
#include "sharing/FBRequestDelegate.h"
#include "sharing/FBSessionDelegate.h"

class FBDialog;
class FBRequest;

class Facebook : public FBLoginDialogDelegate,
                 public FBRequestDelegate,
                 public std::enable_shared_from_this<Facebook> {
 public:
  using Clock = std::function<QDateTime()>;

  // A session without a token, on the current endpoints.
  static std::shared_ptr<Facebook> initWithAppId(const QString& appId);
  ~Facebook() override;

  QString accessToken() const { return accessToken_; }
  void setAccessToken(const QString& token) { accessToken_ = token; }
  QDateTime expirationDate() const { return expirationDate_; }
  void setExpirationDate(const QDateTime& date) { expirationDate_ = date; }
  // Not owned; the delegate clears it before it goes.
  FBSessionDelegate* sessionDelegate() const { return sessionDelegate_; }
  void setSessionDelegate(FBSessionDelegate* delegate) { sessionDelegate_ = delegate; }
  QString appId() const { return appId_; }
  const FBEndpoints& endpoints() const { return endpoints_; }
  void setEndpoints(const FBEndpoints& endpoints) { endpoints_ = endpoints; }
  // The request started last, the login dialog and the other dialog shown last.
  FBRequest* request() const { return request_.get(); }
  FBDialog* loginDialog() const { return loginDialog_.get(); }
  FBDialog* fbDialog() const { return fbDialog_.get(); }
  // "Now" for the token's validity; the system clock unless set.
  void setClock(Clock clock) { clock_ = std::move(clock); }

  // ---- Logging in ----
  void authorize(const std::optional<QStringList>& permissions, FBSessionDelegate* delegate);
  // Both flags are ignored: this desktop has no app or browser to hand the
  // login to, so it always opens the login dialog.
  void authorize(bool withFBAppAuth, bool safariAuth);
  bool isSessionValid() const;

  // ---- Requests ----
  FBRequest* requestWithMethodName(const QString& methodName, QVariantMap& params,
                                   const QString& httpMethod, FBRequestDelegate* delegate);
  // Adds "format", "sdk", "sdk_version" and, while valid, "access_token"
  // to `params` in place, then starts the request; it replaces the last one.
  FBRequest* openUrl(const QString& url, QVariantMap& params, const QString& httpMethod,
                     FBRequestDelegate* delegate);
  // Takes "method" out of the parameters; null without one.
  FBRequest* requestWithParams(QVariantMap& params, FBRequestDelegate* delegate);
  FBRequest* requestWithGraphPath(const QString& graphPath, FBRequestDelegate* delegate);
  FBRequest* requestWithGraphPath(const QString& graphPath, QVariantMap& params,
                                  FBRequestDelegate* delegate);
  FBRequest* requestWithGraphPath(const QString& graphPath, QVariantMap& params,
                                  const QString& httpMethod, FBRequestDelegate* delegate);

  // ---- Other dialogs, custom-URL login return, logout ----
  void dialog(const QString& action, FBDialogDelegate* delegate);
  void dialog(const QString& action, QVariantMap& params, FBDialogDelegate* delegate);
  bool handleOpenURL(const QUrl& url);
  // Pieces without "=" or whose value does not decode are left out.
  static QVariantMap parseURLParams(const QString& query);
  void logout(FBSessionDelegate* delegate);

  // FBLoginDialogDelegate
  void fbDialogLogin(const QString& token, const QDateTime& expirationDate) override;
  void fbDialogNotLogin(bool cancelled) override;

  // FBRequestDelegate: only failures of the session's own requests.
  bool respondsTo(FBRequestDelegate::Callback callback) const override {
    return callback == RequestDidFailWithError;
  }
  void requestDidFailWithError(FBRequest*, const fnd::Error&) override;

  // A date far ahead that arithmetic on it stays safe with.
  static QDateTime distantFuture();

 private:
  explicit Facebook(const QString& appId);
  QDateTime now() const;
  bool sessionDelegateResponds(FBSessionDelegate::Callback callback) const;

  QString accessToken_;
  QDateTime expirationDate_;
  FBSessionDelegate* sessionDelegate_ = nullptr;
  QString appId_;
  std::optional<QStringList> permissions_;
  std::unique_ptr<FBRequest> request_;
  std::shared_ptr<FBDialog> loginDialog_;
  std::shared_ptr<FBDialog> fbDialog_;
  FBEndpoints endpoints_;
  Clock clock_;
};
