#pragma once

#include <QWidget>

class QTextBrowser;

// The help window: the program's read-me, shipped as an HTML resource.
// Links leave for the desktop's browser.
class IMHelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit IMHelpWindow(QWidget* parent = nullptr);

  QTextBrowser* readMeView() const { return readMeView_; }
  // The resource the read-me is read from.
  static QString readMePath();
  // Puts the acknowledgments where the desktop's applications can open
  // them (the user's cache folder); the path, or empty when it could not.
  static QString writeAcknowledgments();

 private:
  QTextBrowser* readMeView_;
};
