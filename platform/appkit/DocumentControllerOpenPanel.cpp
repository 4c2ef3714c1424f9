// DocumentController: where the Open panel starts. In the folder the user
// last opened a file from, kept in the user defaults across runs.
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "appkit/DocumentController.h"
#include "foundation/UserDefaults.h"

namespace ui {

namespace {
const QString kOpenPanelDirectory = QStringLiteral("OpenPanelDirectory");
}

QUrl DocumentController::openPanelDirectoryURL() const {
  const QString last = fnd::UserDefaults::standardUserDefaults().stringForKey(kOpenPanelDirectory);
  if (!last.isEmpty() && QFileInfo(last).isDir()) return QUrl::fromLocalFile(last);
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (!pictures.isEmpty() && QFileInfo(pictures).isDir()) return QUrl::fromLocalFile(pictures);
  return QUrl::fromLocalFile(QDir::homePath());
}

void DocumentController::noteOpenPanelDirectory(const QUrl& chosen) {
  if (!chosen.isLocalFile()) return;
  fnd::UserDefaults::standardUserDefaults().setObject(
      QFileInfo(chosen.toLocalFile()).absolutePath(), kOpenPanelDirectory);
}

}  // namespace ui
