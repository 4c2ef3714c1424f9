#include "window/IMWaitingWindow.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

IMWaitingWindow::IMWaitingWindow(QWidget* window) : QDialog(window, Qt::Sheet | Qt::Dialog) {
  setObjectName("IMWaitingWindow");
  setWindowModality(Qt::WindowModal);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(20, 16, 20, 16);
  text_ = new QLabel;
  text_->setAlignment(Qt::AlignCenter);
  column->addWidget(text_);
  indicator_ = new QProgressBar;
  indicator_->setTextVisible(false);
  indicator_->setRange(0, 1);
  indicator_->setMinimumWidth(260);
  column->addWidget(indicator_);
}

bool IMWaitingWindow::isIndicatorAnimating() const { return indicator_->maximum() == 0; }

void IMWaitingWindow::startAnimation() { indicator_->setRange(0, 0); }

void IMWaitingWindow::stopAnimation() { indicator_->setRange(0, 1); }
