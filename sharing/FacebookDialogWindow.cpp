#include "sharing/FacebookDialogWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "foundation/Localized.h"
#include "sharing/FBDialog.h"
#include "sharing/WebCookieBridge.h"
#include "sharing/WebLoadError.h"

namespace {

// Reports every navigation the page starts; the service's "fbconnect:"
// addresses are no place to go, so they are refused, as the web view
// refuses any scheme it does not know.
class DialogPage : public QWebEnginePage {
 public:
  DialogPage(QWebEngineProfile* profile, FacebookDialogWindow* window)
      : QWebEnginePage(profile, window), window_(window) {}

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
    if (FBDialog* owner = window_->owner()) owner->webViewWillSendRequest(url);
    const QString scheme = url.scheme();
    if (!isMainFrame) return true;
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
           scheme == QLatin1String("about") || scheme == QLatin1String("data");
  }

 private:
  FacebookDialogWindow* window_;
};

class Interface : public FBDialogInterface {
 public:
  explicit Interface(FacebookDialogWindow* window) : window_(window) {}
  QWidget* window() override { return window_; }
  void loadRequest(const QUrl& url) override {
    if (window_) window_->webView()->load(url);
  }
  QString documentTitle() override { return window_ ? window_->webView()->title() : QString(); }
  QString title() const override { return window_ ? window_->titleLabel()->text() : QString(); }
  void setTitle(const QString& title) override {
    if (window_) window_->titleLabel()->setText(title);
  }
  void startSpinner() override {
    if (window_) window_->spinner()->setRange(0, 0);
  }
  void stopSpinner() override {
    if (window_) window_->spinner()->setRange(0, 1);
  }
  void clearResourceLoadDelegate() override {
    if (window_) window_->clearOwner();
  }

 private:
  QPointer<FacebookDialogWindow> window_;
};

}  // namespace

std::unique_ptr<FBDialogInterface> FacebookDialogWindow::load(FBDialog* owner) {
  return std::make_unique<Interface>(new FacebookDialogWindow(owner));
}

FacebookDialogWindow::FacebookDialogWindow(FBDialog* owner)
    : owner_(owner),
      webView_(new QWebEngineView(this)),
      spinner_(new QProgressBar(this)),
      titleLabel_(new QLabel(this)),
      cancelButton_(new QPushButton(fnd::localized("Cancel"), this)) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  QWebEngineProfile* profile = WebCookieBridge::sharedProfile();
  webView_->setPage(new DialogPage(profile, this));
  spinner_->setTextVisible(false);
  spinner_->setMaximumWidth(80);
  auto* header = new QHBoxLayout;
  header->addWidget(titleLabel_, 1);
  header->addWidget(spinner_);
  header->addWidget(cancelButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(header);
  layout->addWidget(webView_, 1);
  resize(520, 440);
  connect(cancelButton_, &QPushButton::clicked, this, [this] {
    if (owner_) owner_->cancel();
  });
  connect(webView_->page(), &QWebEnginePage::loadingChanged, this,
          [this](const QWebEngineLoadingInfo& info) {
            if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus || !owner_) return;
            owner_->webViewResourceDidFailLoading(webLoadError(info));
          });
  connect(webView_, &QWebEngineView::loadFinished, this, &FacebookDialogWindow::loadFinished);
}

// Escape or closing the window is the Cancel button.
void FacebookDialogWindow::reject() {
  if (owner_) owner_->cancel();
}

// A load that ends unsuccessfully still finished its page: a callback
// page's own script sends the page to the refused "fbconnect:" address,
// which the engine counts as the page's load failing.
void FacebookDialogWindow::loadFinished(bool) {
  if (!owner_) return;
  QPointer<FacebookDialogWindow> self(this);
  webView_->page()->runJavaScript(
      QStringLiteral("(function(){var h=document.head,b=document.body;"
                     "if(h&&h.children.length==1&&h.children[0].tagName=='SCRIPT'&&"
                     "(!b||b.innerHTML.trim()=='')&&!document.doctype)"
                     "return h.innerHTML;return document.documentElement.outerHTML;})()"),
      [self](const QVariant& page) {
        if (self && self->owner_)
          self->owner_->webViewResourceDidFinishLoading(page.toString().toUtf8());
      });
}
