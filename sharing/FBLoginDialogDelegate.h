// The outcome of a login dialog, told to the session that opened it.
#pragma once

#include <QDateTime>
#include <QString>

class FBLoginDialogDelegate {
 public:
  virtual ~FBLoginDialogDelegate() = default;
  // `expirationDate` is null when the service gave the token no lifetime.
  virtual void fbDialogLogin(const QString& token, const QDateTime& expirationDate) = 0;
  virtual void fbDialogNotLogin(bool cancelled) = 0;
};
