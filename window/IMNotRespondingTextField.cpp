#include "window/IMNotRespondingTextField.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

void IMNotRespondingTextField::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Paste)) {
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void IMNotRespondingTextField::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = createStandardContextMenu();
  for (QAction* action : menu->actions()) {
    const QString name = action->objectName();
    if (name == QLatin1String("edit-copy") || name == QLatin1String("edit-paste"))
      action->setVisible(false);
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}
