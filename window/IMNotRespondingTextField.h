#pragma once

#include <QLineEdit>

// A text field that neither copies nor pastes, by key or by its context
// menu: for values that must be typed, not brought in from elsewhere.
class IMNotRespondingTextField : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  void copy() {}
  void paste() {}

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
};
