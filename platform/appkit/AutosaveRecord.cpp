#include "appkit/AutosaveRecord.h"

#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>

#include "appkit/RestorableState.h"

namespace ui {

namespace {

const QString kRecordSuffix = QStringLiteral(".autosave.json");

QString recordPathOf(const QUrl& contentsURL) { return contentsURL.toLocalFile() + kRecordSuffix; }

QString executableOf(qint64 pid) {
  return QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
}

// A copy is kept while its process runs the same program: a pid reused by
// anything else does not hold a copy back.
bool keptByARunningProcess(qint64 pid) {
  if (pid <= 0 || pid == ::getpid()) return false;
  if (::kill(pid_t(pid), 0) != 0 && errno != EPERM) return false;
  const QString own = executableOf(::getpid());
  const QString theirs = executableOf(pid);
  return theirs.isEmpty() || own.isEmpty() || theirs == own;
}

}  // namespace

QString AutosaveRecord::folder() {
  const QString path = RestorableState::stateFolder() + QStringLiteral("/Autosave Information");
  QDir().mkpath(path);
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return path;
}

bool AutosaveRecord::write() const {
  const QJsonObject object{{QStringLiteral("contents"), contentsURL.toString()},
                           {QStringLiteral("contentsType"), contentsType},
                           {QStringLiteral("file"), fileURL.toString()},
                           {QStringLiteral("fileType"), fileType},
                           {QStringLiteral("displayName"), displayName},
                           {QStringLiteral("pid"), pid}};
  QSaveFile file(recordPathOf(contentsURL));
  const QByteArray data = QJsonDocument(object).toJson();
  return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
}

void AutosaveRecord::remove(const QUrl& contentsURL) {
  if (contentsURL.isEmpty()) return;
  QFile::remove(contentsURL.toLocalFile());
  QFile::remove(recordPathOf(contentsURL));
}

void AutosaveRecord::removeRecord(const QUrl& contentsURL) {
  if (!contentsURL.isEmpty()) QFile::remove(recordPathOf(contentsURL));
}

bool AutosaveRecord::read(const QString& recordPath, AutosaveRecord* record) {
  QFile file(recordPath);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
  record->contentsURL = QUrl(object.value(QStringLiteral("contents")).toString());
  record->contentsType = object.value(QStringLiteral("contentsType")).toString();
  record->fileURL = QUrl(object.value(QStringLiteral("file")).toString());
  record->fileType = object.value(QStringLiteral("fileType")).toString();
  record->displayName = object.value(QStringLiteral("displayName")).toString();
  record->pid = object.value(QStringLiteral("pid")).toInteger();
  // Only a copy of this folder, named after its record, is ever taken.
  return record->contentsURL.isLocalFile() && recordPathOf(record->contentsURL) == recordPath &&
         !record->contentsType.isEmpty();
}

QList<AutosaveRecord> AutosaveRecord::leftBehind() {
  QDir dir(folder());
  QList<AutosaveRecord> records;
  for (const QFileInfo& info :
       dir.entryInfoList({QStringLiteral("*") + kRecordSuffix}, QDir::Files, QDir::Time)) {
    AutosaveRecord record;
    if (!read(info.absoluteFilePath(), &record)) continue;
    if (!QFileInfo(record.contentsURL.toLocalFile()).isFile()) {
      QFile::remove(info.absoluteFilePath());
      continue;
    }
    if (!keptByARunningProcess(record.pid)) records.append(record);
  }
  std::reverse(records.begin(), records.end());
  return records;
}

}  // namespace ui
