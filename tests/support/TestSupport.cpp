#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUuid>

namespace tst {

bool spinUntil(const std::function<bool()>& condition, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    // Blocks until an event arrives or 10 ms pass, so other threads' posts
    // are picked up without a busy loop.
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
  }
  return true;
}

void spinOnce() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

QString tempDir() {
  static QTemporaryDir dir(QDir::tempPath() + "/tessaly-test-XXXXXX");
  return dir.path();
}

QString tempPath(const QString& fileName) {
  QString folder = tempDir() + "/" + QUuid::createUuid().toString(QUuid::WithoutBraces);
  QDir().mkpath(folder);
  return folder + "/" + fileName;
}

static QString artifactTarget(const QString& descriptiveName) {
  QString folder = qEnvironmentVariable("TESSALY_TEST_ARTIFACTS");
  if (folder.isEmpty()) return {};
  QDir().mkpath(folder);
  return QDir(folder).filePath(descriptiveName);
}

void saveArtifact(const QString& path, const QString& descriptiveName) {
  QString target = artifactTarget(descriptiveName);
  if (target.isEmpty()) return;
  QFile::remove(target);
  QFile::copy(path, target);
}

void saveArtifactData(const QByteArray& bytes, const QString& descriptiveName) {
  QString target = artifactTarget(descriptiveName);
  if (target.isEmpty()) return;
  QFile file(target);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

void saveArtifactImage(const QImage& image, const QString& descriptiveName) {
  const QString target = artifactTarget(descriptiveName);
  if (!target.isEmpty()) image.save(target, "PNG");
}

QString dataPath(const QString& relative) { return QString(TESSALY_TEST_DATA) + "/" + relative; }

int runTool(const QString& program, const QStringList& arguments, QString* output, int timeoutMs) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  if (!process.waitForStarted(timeoutMs)) return -1;
  process.waitForFinished(timeoutMs);
  if (output) *output = QString::fromLocal8Bit(process.readAll());
  if (process.exitStatus() != QProcess::NormalExit) return -1;
  return process.exitCode();
}

bool haveTool(const QString& program) {
  const bool found = !QStandardPaths::findExecutable(program).isEmpty();
  // CI installs every tool the tests check against (scripts/install-deps),
  // so there a missing one is a broken set-up, not a check to skip.
  if (!found && !qEnvironmentVariableIsEmpty("CI"))
    ADD_FAILURE() << program.toStdString()
                  << " is not installed, and CI needs it: add it to scripts/install-deps";
  return found;
}

}  // namespace tst
