// The sheet of a web dialog as its interface file lays it out: a window
// holding the web view, a spinner and a title label, and a cancel control
// that sends cancel to the owner. The web view reports to its owner's
// resource-load operations on the main thread.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class FBDialog;
class QWidget;

class FBDialogInterface {
 public:
  // Loads the interface for `owner`; null when it cannot (no web engine).
  using Loader = std::function<std::unique_ptr<FBDialogInterface>(FBDialog* owner)>;

  virtual ~FBDialogInterface() = default;

  virtual QWidget* window() = 0;
  // Loads a plain GET of `url` in the web view's main frame.
  virtual void loadRequest(const QUrl& url) = 0;
  // The page's "document.title".
  virtual QString documentTitle() = 0;
  virtual QString title() const = 0;
  virtual void setTitle(const QString& title) = 0;
  virtual void startSpinner() = 0;
  virtual void stopSpinner() = 0;
  // Stops reporting to the owner.
  virtual void clearResourceLoadDelegate() = 0;
};
