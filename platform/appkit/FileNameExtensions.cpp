#include "appkit/FileNameExtensions.h"

#include <QFileInfo>

namespace ui {

QString FileNameExtensions::replacing(const QString& name, const QStringList& replaceable,
                                      const QString& extension) {
  if (extension.isEmpty() || hasOneOf(name, {extension})) return name;
  const qsizetype dot = name.lastIndexOf(u'.');
  // A leading dot names a hidden file; it is no extension.
  const bool known = dot > 0 && replaceable.contains(name.mid(dot + 1), Qt::CaseInsensitive);
  return (known ? name.left(dot) : name) + u'.' + extension;
}

bool FileNameExtensions::hasOneOf(const QString& path, const QStringList& extensions) {
  const QString suffix = QFileInfo(path).suffix();
  return !suffix.isEmpty() && extensions.contains(suffix, Qt::CaseInsensitive);
}

}  // namespace ui
