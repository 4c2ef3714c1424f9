#include "appkit/Workspace.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace ui {

Workspace& Workspace::sharedWorkspace() {
  static Workspace workspace;
  return workspace;
}

bool Workspace::openURL(const QUrl& url) { return url.isValid() && QDesktopServices::openUrl(url); }

bool Workspace::openFile(const QString& path) {
  if (!QFileInfo::exists(path)) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

}  // namespace ui
