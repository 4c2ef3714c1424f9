// The waiting sheet: a message and a busy indicator over a document window
// while an operation it cannot be used during runs.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

class IMWaitingWindow : public QDialog {
  Q_OBJECT
 public:
  explicit IMWaitingWindow(QWidget* window);

  QLabel* waitingWindowText() const { return text_; }
  QProgressBar* fileLoadingIndicator() const { return indicator_; }
  bool isIndicatorAnimating() const;
  void startAnimation();
  void stopAnimation();

 protected:
  // The operation ends the sheet, not the user's Escape.
  void reject() override {}

 private:
  QLabel* text_;
  QProgressBar* indicator_;
};
