// The "FacebookDialog" interface: a dialog window holding a web view, a busy
// indicator, a title label and a Cancel button. The web view is QtWebEngine
// on the application's cookie store, so the login's cookies are the ones
// the program's requests send. The engine keeps the page, not the bytes it
// came in: the page reported at each finished load is the engine's document
// of a page whose source is a bare script, as that script.
#pragma once

#include <QDialog>
#include <QPointer>

#include "sharing/FBDialogInterface.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QWebEngineView;

class FacebookDialogWindow : public QDialog {
 public:
  // Null when the web engine cannot start here.
  static std::unique_ptr<FBDialogInterface> load(FBDialog* owner);

  explicit FacebookDialogWindow(FBDialog* owner);

  QWebEngineView* webView() const { return webView_; }
  QLabel* titleLabel() const { return titleLabel_; }
  QProgressBar* spinner() const { return spinner_; }
  QPushButton* cancelButton() const { return cancelButton_; }
  FBDialog* owner() const { return owner_; }
  void clearOwner() { owner_ = nullptr; }

 protected:
  void reject() override;

 private:
  void loadFinished(bool ok);

  FBDialog* owner_;
  QWebEngineView* webView_;
  QProgressBar* spinner_;
  QLabel* titleLabel_;
  QPushButton* cancelButton_;
};
