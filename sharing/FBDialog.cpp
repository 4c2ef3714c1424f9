#include "sharing/FBDialog.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QStringDecoder>
#include <QWidget>

#include "sharing/FBPercentEscapes.h"
#include "sharing/FacebookDialogWindow.h"

Q_DECLARE_LOGGING_CATEGORY(lcFacebook)

namespace {

FBDialogInterface::Loader& interfaceLoader() {
  static FBDialogInterface::Loader loader = FacebookDialogWindow::load;
  return loader;
}

}  // namespace

FBDialog::FBDialog() = default;

FBDialog::FBDialog(const QString& url, const QVariantMap& params, FBDialogDelegate* delegate)
    : delegate_(delegate), params_(params), serverURL_(url) {}

FBDialog::~FBDialog() {
  if (interface_) interface_->clearResourceLoadDelegate();
}

void FBDialog::setInterfaceLoader(FBDialogInterface::Loader loader) {
  interfaceLoader() =
      loader ? std::move(loader) : FBDialogInterface::Loader(FacebookDialogWindow::load);
}

QString FBDialog::title() const { return interface_ ? interface_->title() : QString(); }

void FBDialog::setTitle(const QString& title) {
  if (interface_) interface_->setTitle(title);
}

bool FBDialog::delegateResponds(FBDialogDelegate::Callback callback) const {
  return delegate_ && delegate_->respondsTo(callback);
}

void FBDialog::show() {
  sheetParent_ = QApplication::activeWindow();
  interface_ = interfaceLoader()(this);
  if (!interface_) return;
  load();
  setTitle(QStringLiteral("Connect to Facebook"));
  interface_->startSpinner();
  dialogWillAppear();
  QWidget* window = interface_->window();
  if (sheetParent_) {
    window->setParent(sheetParent_, window->windowFlags());
    window->setWindowModality(Qt::WindowModal);
  } else {
    window->setWindowModality(Qt::ApplicationModal);
  }
  window->show();
  window->raise();
  window->activateWindow();
}

void FBDialog::load() { loadURL(serverURL_, params_); }

void FBDialog::loadURL(const QString& url, const QVariantMap& params) {
  loadingURL_ = generateURL(url, params);
  if (interface_) interface_->loadRequest(loadingURL_);
}

QUrl FBDialog::generateURL(const QString& baseURL, const QVariantMap& params) {
  if (params.isEmpty()) return QUrl(baseURL);
  QStringList pairs;
  for (auto it = params.begin(); it != params.end(); ++it)
    pairs << it.key() + u'=' + QString::fromLatin1(QUrl::toPercentEncoding(it.value().toString()));
  return QUrl(baseURL + u'?' + pairs.join(u'&'));
}

std::optional<QString> FBDialog::getStringFromUrl(const QString& url, const QString& needle) {
  const qsizetype start = url.indexOf(needle);
  if (start < 0) return std::nullopt;
  const qsizetype from = start + needle.size();
  const qsizetype end = url.indexOf(u'&', from);
  return percentDecodedUTF8(url.mid(from, end < 0 ? -1 : end - from));
}

void FBDialog::dialogDidSucceed(const QUrl& url) {
  if (delegateResponds(FBDialogDelegate::DialogCompleteWithUrl))
    delegate_->dialogCompleteWithUrl(url);
  dismissWithSuccess(true, true);
}

void FBDialog::dialogDidCancel(const QUrl& url) {
  if (delegateResponds(FBDialogDelegate::DialogDidNotCompleteWithUrl))
    delegate_->dialogDidNotCompleteWithUrl(url);
  dismissWithSuccess(false, true);
}

void FBDialog::dismissWithSuccess(bool success, bool animated) {
  const auto callback =
      success ? FBDialogDelegate::DialogDidComplete : FBDialogDelegate::DialogDidNotComplete;
  if (delegateResponds(callback)) {
    if (success)
      delegate_->dialogDidComplete(this);
    else
      delegate_->dialogDidNotComplete(this);
  }
  dismiss(animated);
}

void FBDialog::dismissWithError(const fnd::Error& error, bool animated) {
  if (delegateResponds(FBDialogDelegate::DialogDidFailWithError))
    delegate_->dialogDidFailWithError(this, error);
  dismiss(animated);
}

void FBDialog::dismiss(bool) {
  finished_ = true;
  dialogWillDisappear();
  loadingURL_ = QUrl();
  postDismissCleanup();
}

// The sheet, its web view and the page's renderer go now: a dismissed
// dialog never shows again, and the session may keep it for a long time.
void FBDialog::postDismissCleanup() {
  if (!interface_) return;
  interface_->stopSpinner();
  interface_->clearResourceLoadDelegate();
  QWidget* window = interface_->window();
  window->hide();
  window->deleteLater();
  interface_.release();  // the window owns the interface's parts
}

void FBDialog::cancel() {
  didCancel_ = true;
  dismissWithSuccess(false, true);
}

void FBDialog::webViewWillSendRequest(const QUrl& url) {
  if (url.scheme() == QLatin1String("fbconnect") ||
      url.toString().startsWith(QLatin1String("fbconnect:")))
    qCInfo(lcFacebook, "fbconnect detected");
}

void FBDialog::webViewResourceDidFinishLoading(const QByteArray& pageData) {
  if (interface_) interface_->stopSpinner();
  if (didCancel_) {
    didCancel_ = false;
    return;
  }
  if (finished_) return;  // one outcome per dialog: later pages are not read
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = decoder.decode(pageData);
  if (decoder.hasError()) text.clear();
  examineCallbackPage(text);
  if (interface_) setTitle(interface_->documentTitle());
}

void FBDialog::examineCallbackPage(const QString& text) {
  static const QString scriptTag = QStringLiteral("<script type=\"text/javascript\">");
  static const QString scheme = QStringLiteral("fbconnect:");
  if (!text.startsWith(scriptTag)) return;
  const qsizetype f = text.indexOf(QLatin1String("fbconnect"));
  const qsizetype quote = f < 0 ? -1 : text.indexOf(u'"', f);
  if (quote < 0) return;  // no address in a string: not a callback
  QString urlText = text.mid(f, quote - f);
  urlText.replace(QLatin1String("\\/"), QLatin1String("/"));
  urlText.replace(QLatin1String("\\u0025"), QLatin1String("%"));
  // Too short to say whether it cancels: not a callback either.
  if (!urlText.startsWith(scheme) || urlText.size() < scheme.size() + 8) return;
  const QUrl url(urlText);
  if (urlText.mid(scheme.size(), 8) != QLatin1String("//cancel")) {
    dialogDidSucceed(url);
    return;
  }
  const auto code = getStringFromUrl(urlText, QStringLiteral("error_code="));
  if (!code) {
    dialogDidCancel(url);
    return;
  }
  const QString message =
      getStringFromUrl(urlText, QStringLiteral("error_msg=")).value_or(QString(""));
  dismissWithError(fnd::Error(QStringLiteral("facebookErrDomain"), intValue(*code),
                              {{QStringLiteral("error_msg"), message}}),
                   true);
}

void FBDialog::webViewResourceDidFailLoading(const fnd::Error& error) {
  if (finished_) return;
  if (error.domain() == WebKitErrorDomain &&
      error.code() == WebKitErrorFrameLoadInterruptedByPolicyChange)
    return;
  dismissWithError(error, true);
}
