#include "appkit/RestorableState.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include "appkit/Document.h"
#include "appkit/WindowController.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"
#include "foundation/Localized.h"

namespace ui {

namespace {

int indexOf(WindowController& controller) {
  Document* document = controller.document();
  return document ? int(document->windowControllers().indexOf(&controller)) : -1;
}

}  // namespace

QString RestorableState::stateFolder() {
  QString base = qEnvironmentVariable("XDG_STATE_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base))
    base = QDir::homePath() + QStringLiteral("/.local/state");
  const QString folder = base + QStringLiteral("/Tessaly");
  QDir().mkpath(folder);
  QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return folder;
}

QString RestorableState::pathForDocument(const QUrl& url, int index) {
  const QByteArray key =
      QCryptographicHash::hash(url.toString(QUrl::FullyEncoded).toUtf8(), QCryptographicHash::Sha1)
          .toHex();
  return stateFolder() +
         QStringLiteral("/Saved State/%1-%2.plist").arg(QString::fromLatin1(key)).arg(index);
}

bool RestorableState::write(WindowController& controller, fnd::Error* error) {
  Document* document = controller.document();
  const int index = indexOf(controller);
  if (!document || document->fileURL().isEmpty() || index < 0 || !controller.isWindowLoaded())
    return true;
  fnd::KeyedArchiver coder;
  controller.encodeRestorableStateWithCoder(coder);
  const QByteArray data = coder.encodedData();
  if (coder.failed()) return fnd::fail(error, coder.error());
  const QString path = pathForDocument(document->fileURL(), index);
  QDir().mkpath(QFileInfo(path).path());
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
                     fnd::localized("The window state could not be written to %1: %2.")
                         .arg(path, file.errorString()));
  return true;
}

bool RestorableState::restore(WindowController& controller, fnd::Error* error) {
  Document* document = controller.document();
  const int index = indexOf(controller);
  if (!document || document->fileURL().isEmpty() || index < 0) return false;
  QFile file(pathForDocument(document->fileURL(), index));
  if (!file.open(QIODevice::ReadOnly)) return false;
  fnd::KeyedUnarchiver coder(file.readAll(), error);
  if (coder.failed()) return fnd::fail(error, coder.error());
  controller.restoreStateWithCoder(coder);
  if (coder.failed()) return fnd::fail(error, coder.error());
  return true;
}

}  // namespace ui
