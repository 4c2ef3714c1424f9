// One of the service's web dialogs in a sheet: loads the dialog's address
// with its parameters, watches every page the web view finishes for the
// service's callback (scheme "fbconnect") and turns it into success,
// cancellation or an error for its delegate.
#pragma once

#include <QByteArray>
#include <QPointer>
#include <QUrl>
#include <QVariantMap>
#include <memory>
#include <optional>

#include "foundation/Error.h"
#include "sharing/FBDialogDelegate.h"
#include "sharing/FBDialogInterface.h"

inline const QString WebKitErrorDomain = QStringLiteral("WebKitErrorDomain");
// A navigation the web view refused, as it refuses "fbconnect:" addresses.
constexpr int WebKitErrorFrameLoadInterruptedByPolicyChange = 102;

class FBDialog : public std::enable_shared_from_this<FBDialog> {
 public:
  FBDialog();
  FBDialog(const QString& url, const QVariantMap& params, FBDialogDelegate* delegate);
  virtual ~FBDialog();

  // Not owned; the delegate clears it before it goes.
  FBDialogDelegate* delegate() const { return delegate_; }
  void setDelegate(FBDialogDelegate* delegate) { delegate_ = delegate; }
  QVariantMap& params() { return params_; }
  void setParams(const QVariantMap& params) { params_ = params; }
  QString serverURL() const { return serverURL_; }
  // What is loading; empty when the dialog is not showing.
  QUrl loadingURL() const { return loadingURL_; }
  bool didCancel() const { return didCancel_; }
  FBDialogInterface* interface() const { return interface_.get(); }
  QString title() const;
  void setTitle(const QString& title);

  // The interface every dialog loads; the web engine's unless set.
  static void setInterfaceLoader(FBDialogInterface::Loader loader);

  void show();
  void load();
  void loadURL(const QString& url, const QVariantMap& params);
  static QUrl generateURL(const QString& baseURL, const QVariantMap& params);
  // The value after `needle` up to the next "&", percent-decoded; nullopt
  // when the needle is absent or the value does not decode.
  static std::optional<QString> getStringFromUrl(const QString& url, const QString& needle);

  virtual void dialogDidSucceed(const QUrl& url);
  virtual void dialogDidCancel(const QUrl& url);
  void dismissWithSuccess(bool success, bool animated);
  void dismissWithError(const fnd::Error& error, bool animated);
  void dismiss(bool animated);
  void postDismissCleanup();
  void cancel();
  virtual void dialogWillAppear() {}
  virtual void dialogWillDisappear() {}

  // The web view's resource-load operations.
  void webViewWillSendRequest(const QUrl& url);
  // `pageData` is the main frame's page as received so far.
  void webViewResourceDidFinishLoading(const QByteArray& pageData);
  virtual void webViewResourceDidFailLoading(const fnd::Error& error);

 protected:
  bool delegateResponds(FBDialogDelegate::Callback callback) const;
  // Whether the outcome was already given: a dialog reports one outcome.
  bool finished() const { return finished_; }

 private:
  void examineCallbackPage(const QString& text);

  FBDialogDelegate* delegate_ = nullptr;
  QVariantMap params_;
  QString serverURL_;
  QUrl loadingURL_;
  std::unique_ptr<FBDialogInterface> interface_;
  QPointer<QWidget> sheetParent_;
  bool didCancel_ = false;
  bool finished_ = false;
};
