#include "window/IMCloseKeys.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

void IMCloseKeys::installIn(QWidget* window) {
  QList<QKeySequence> keys{QKeySequence(Qt::Key_Escape), QKeySequence(QStringLiteral("Ctrl+W"))};
  // The platform's Close key may be another one; one shortcut per key, or
  // Qt finds two for the same key and runs neither.
  for (const QKeySequence& platform : QKeySequence::keyBindings(QKeySequence::Close))
    if (!keys.contains(platform)) keys.append(platform);
  auto* shortcut = new QShortcut(window);
  shortcut->setKeys(keys);
  shortcut->setContext(Qt::WindowShortcut);
  QObject::connect(shortcut, &QShortcut::activated, window, &QWidget::close);
}
