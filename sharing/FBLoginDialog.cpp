#include "sharing/FBLoginDialog.h"

#include <QCoreApplication>

#include "net/URLError.h"
#include "sharing/FBPercentEscapes.h"
#include "sharing/Facebook.h"

FBLoginDialog::FBLoginDialog(const QString& url, const QVariantMap& loginParams,
                             std::shared_ptr<FBLoginDialogDelegate> delegate)
    : FBDialog(url, loginParams, nullptr), loginDelegate_(std::move(delegate)) {}

QDateTime FBLoginDialog::expirationDateForLifetime(const std::optional<QString>& lifetime,
                                                   const QDateTime& now) {
  if (!lifetime) return {};
  const int seconds = intValue(*lifetime);
  return seconds == 0 ? Facebook::distantFuture() : now.addSecs(seconds);
}

void FBLoginDialog::dialogDidSucceed(const QUrl& url) {
  const QString s = url.toString(QUrl::FullyEncoded);
  const auto token = getStringFromUrl(s, QStringLiteral("access_token="));
  const QDateTime expiry = expirationDateForLifetime(
      getStringFromUrl(s, QStringLiteral("expires_in=")), QDateTime::currentDateTimeUtc());
  const bool success = token && !token->isEmpty();
  if (!success) {
    dialogDidCancel(url);
  } else {
    loginDelegate_->fbDialogLogin(*token, expiry);
  }
  if (success) dismissWithSuccess(true, true);
}

void FBLoginDialog::dialogDidCancel(const QUrl&) {
  const auto delegate = loginDelegate_;
  dismissWithSuccess(false, true);
  delegate->fbDialogNotLogin(true);
}

void FBLoginDialog::webViewResourceDidFailLoading(const fnd::Error& error) {
  if (finished()) return;
  if ((error.domain() == net::URLErrorDomain && error.code() == net::URLErrorCancelled) ||
      (error.domain() == WebKitErrorDomain &&
       error.code() == WebKitErrorFrameLoadInterruptedByPolicyChange))
    return;
  const auto delegate = loginDelegate_;
  FBDialog::webViewResourceDidFailLoading(error);
  delegate->fbDialogNotLogin(false);
}

// The dialog and its session keep each other alive until the outcome is
// told; then the dialog lets go, so a finished posting frees both.
void FBLoginDialog::dialogWillDisappear() {
  std::weak_ptr<FBDialog> self = weak_from_this();
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [self] {
        if (auto dialog = std::static_pointer_cast<FBLoginDialog>(self.lock()))
          dialog->loginDelegate_.reset();
      },
      Qt::QueuedConnection);
}
