#include "coredata/SQLiteJournal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "coredata/SQLiteDatabase.h"

namespace cd {

namespace {

fnd::Error journalFailure(const QString& storePath, const QString& reason) {
  return fnd::Error(fnd::CocoaErrorDomain, fnd::PersistentStoreOpenError,
                    {{fnd::LocalizedDescriptionKey,
                      QStringLiteral("The unfinished save of %1 could not be undone: %2")
                          .arg(QFileInfo(storePath).fileName(), reason)},
                     {fnd::FilePathErrorKey, storePath}});
}

}  // namespace

bool SQLiteJournal::isDatabaseFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3\0", 16);
}

QString SQLiteJournal::pathFor(const QString& storePath) {
  return storePath + QStringLiteral("-journal");
}

bool SQLiteJournal::exists(const QString& storePath) {
  struct stat info;
  return ::lstat(QFile::encodeName(pathFor(storePath)).constData(), &info) == 0;
}

bool SQLiteJournal::rollBack(const QString& storePath, fnd::Error* error) {
  if (!exists(storePath) || !isDatabaseFile(storePath)) return true;
  // The first read of a connection that may write plays a hot journal back
  // (under SQLite's locks, so a save running elsewhere is never disturbed).
  SQLiteDatabase db;
  fnd::Error failure;
  if (!db.open(storePath, false, false, &failure) ||
      !db.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"), &failure))
    return fnd::fail(error, journalFailure(storePath, failure.localizedDescription()));
  return true;
}

QString SQLiteJournal::rolledBackCopy(const QString& storePath, const QString& folder,
                                      fnd::Error* error) {
  const QString copy = QDir(folder).filePath(QFileInfo(storePath).fileName());
  QFile::remove(copy);
  QFile::remove(pathFor(copy));
  if (!QFile::copy(storePath, copy) ||
      (exists(storePath) && !QFile::copy(pathFor(storePath), pathFor(copy)))) {
    fnd::fail(error, journalFailure(storePath,
                                    QStringLiteral("it could not be copied to %1").arg(folder)));
    return {};
  }
  // Copies keep the user's modes; the private ones must be writable.
  QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
  QFile::setPermissions(pathFor(copy), QFile::ReadOwner | QFile::WriteOwner);
  if (!rollBack(copy, error)) return {};
  return copy;
}

bool SQLiteJournal::clearForReplacement(const QString& storePath, fnd::Error* error) {
  if (!exists(storePath)) return true;
  if (isDatabaseFile(storePath)) rollBack(storePath, nullptr);
  const QString journal = pathFor(storePath);
  if (::unlink(QFile::encodeName(journal).constData()) == 0 || errno == ENOENT) return true;
  return fnd::fail(error,
                   fnd::Error(fnd::CocoaErrorDomain, fnd::FileWriteNoPermissionError,
                              {{fnd::LocalizedDescriptionKey,
                                QStringLiteral("The journal %1 left by an unfinished save "
                                               "could not be removed: %2")
                                    .arg(journal, QString::fromLocal8Bit(std::strerror(errno)))},
                               {fnd::FilePathErrorKey, journal}}));
}

}  // namespace cd
