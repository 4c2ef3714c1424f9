// The service's login dialog: a successful callback carries the access
// token and its lifetime, which go to the login delegate (the session).
#pragma once

#include <memory>

#include "sharing/FBDialog.h"
#include "sharing/FBLoginDialogDelegate.h"

class FBLoginDialog : public FBDialog {
 public:
  // The dialog holds its login delegate until it has reported the outcome.
  FBLoginDialog(const QString& url, const QVariantMap& loginParams,
                std::shared_ptr<FBLoginDialogDelegate> delegate);

  FBLoginDialogDelegate* loginDelegate() const { return loginDelegate_.get(); }

  void dialogDidSucceed(const QUrl& url) override;
  void dialogDidCancel(const QUrl& url) override;
  void webViewResourceDidFailLoading(const fnd::Error& error) override;
  void dialogWillDisappear() override;

  // The expiry a login reply's "expires_in" gives: null without one, far
  // ahead for 0, else that many seconds after `now`.
  static QDateTime expirationDateForLifetime(const std::optional<QString>& lifetime,
                                             const QDateTime& now);

 private:
  std::shared_ptr<FBLoginDialogDelegate> loginDelegate_;
};
