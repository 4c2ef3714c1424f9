#include <gtest/gtest.h>
#include <signal.h>

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "TestSupport.h"
#include "documents/IMDocument.h"
#include "foundation/UserDefaults.h"
#include "model/ComposedImage.h"

// The program run as a process: closing and quitting with unsaved changes,
// SIGTERM, and a file on the command line that does not open. Dialogs are
// answered through the program's scripted-session hook, or are real ones
// the program must not wait on.

namespace {

QString folderOf(const QString& name) {
  const QString folder = tst::tempPath(name);
  QDir().mkpath(folder);
  QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return folder;
}

void writeDocument(const QString& path) {
  IMDocument document;
  ASSERT_TRUE(document.initWithType(IMNativeDocumentType, nullptr));
  document.composedImage()->setSize(QSizeF(40, 30));
  bool failed = true;
  document.saveToURL(QUrl::fromLocalFile(path), IMNativeDocumentType, ui::SaveAsOperation,
                     [&](const fnd::Error* error) { failed = error; });
  ASSERT_FALSE(failed);
  document.close();
}

QByteArray digestOf(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

QString readLog(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool holdsOpen(qint64 pid, const QString& path) {
  const QString target = QFileInfo(path).canonicalFilePath();
  for (const QFileInfo& fd :
       QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryInfoList(QDir::Files | QDir::System))
    if (fd.symLinkTarget() == target) return true;
  return false;
}

// One user's world for runs of the program: documents, settings and state.
struct World {
  World() {
    const QString base = folderOf("lifecycle-" + QString::number(++count));
    documents = base + "/documents";
    QDir().mkpath(documents);
    state = base + "/state";
    config = base + "/config";
    log = base + "/session.log";
    QDir().mkpath(config);
    // Far enough on that the rating question is due at every termination.
    auto defaults = fnd::UserDefaults::withFile(config + "/Tessaly.conf");
    defaults->setInteger(20, "IMLaunchsNumber");
    defaults->setBool(true, "IMHasShownFirstLaunchHelp" + helpVersion());
    defaults->synchronize();
  }
  static QString helpVersion() {
    const QStringList parts = QStringLiteral(TESSALY_VERSION).split('.');
    return parts.value(0) + "." + parts.value(1, "0");
  }
  QString autosaveFolder() const { return state + "/Tessaly/Autosave Information"; }
  QStringList autosaved() const {
    return QDir(autosaveFolder()).entryList({"*.zova"}, QDir::Files);
  }
  // Starts the program; an empty `answers` still scripts the dialogs (none
  // expected), a null one leaves them real.
  void start(QProcess& program, const QStringList& arguments, const QString& actions,
             const QString& answers) const {
    QFile::remove(log);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", folderOf("lifecycle-runtime"));
    environment.insert("TESSALY_CONFIG_HOME", config);
    environment.insert("XDG_STATE_HOME", state);
    environment.insert("TESSALY_TEST_LOG", log);
    if (!actions.isEmpty()) environment.insert("TESSALY_TEST_ACTIONS", actions);
    if (!answers.isNull()) environment.insert("TESSALY_TEST_ANSWERS", answers);
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(TESSALY_PROGRAM, arguments);
    ASSERT_TRUE(program.waitForStarted());
  }
  bool logged(QProcess& program, const QString& text, int timeoutMs = 30000) const {
    return tst::spinUntil(
               [&] { return readLog(log).contains(text) || program.state() != QProcess::Running; },
               timeoutMs) &&
           readLog(log).contains(text);
  }
  // SIGTERM; how long the program took to end, -1 when it did not in 10 s.
  static qint64 terminate(QProcess& program) {
    QElapsedTimer clock;
    clock.start();
    ::kill(pid_t(program.processId()), SIGTERM);
    if (!program.waitForFinished(10000)) {
      program.kill();
      program.waitForFinished();
      return -1;
    }
    return clock.elapsed();
  }
  // Generous: under the sanitizers on a busy machine the exit alone can
  // take many seconds; a program that waits on a dialog never ends.
  static bool endsByItself(QProcess& program) {
    if (program.waitForFinished(60000)) return true;
    program.kill();
    program.waitForFinished();
    return false;
  }

  QString documents, state, config, log;
  static inline int count = 0;
};

}  // namespace

// Closing the window of an edited document that has a file asks; Cancel
// keeps the window (the program runs on, the store open), Don't Save
// closes it, the last window, and the program ends with the file as it was.
TEST(TessalyProgramLifecycleTest, ClosingAnEditedTitledDocumentAsks) {
  World world;
  const QString path = world.documents + "/kept.zova";
  writeDocument(path);
  const QByteArray before = digestOf(path);
  const QString question = "Do you want to save the changes made to the document “kept.zova”?";

  QProcess cancelled;
  world.start(cancelled, {path}, "addNewLayer:|performClose:", "Cancel");
  ASSERT_TRUE(world.logged(cancelled, "action performClose: sent"))
      << readLog(world.log).toStdString();
  EXPECT_TRUE(readLog(world.log).contains(question)) << readLog(world.log).toStdString();
  EXPECT_EQ(cancelled.state(), QProcess::Running) << "Cancel closed the window";
  EXPECT_TRUE(holdsOpen(cancelled.processId(), path));
  EXPECT_GE(World::terminate(cancelled), 0);

  QProcess dontSave;
  world.start(dontSave, {path}, "addNewLayer:|performClose:", "Don't Save|Remind me later");
  ASSERT_TRUE(World::endsByItself(dontSave)) << readLog(world.log).toStdString();
  const QString log = readLog(world.log);
  EXPECT_TRUE(log.contains(question)) << log.toStdString();
  EXPECT_FALSE(log.contains("unexpected")) << log.toStdString();
  EXPECT_EQ(dontSave.exitCode(), 0);
  EXPECT_EQ(digestOf(path), before);
  EXPECT_TRUE(world.autosaved().isEmpty()) << world.autosaved().join(' ').toStdString();
}

// SIGTERM asks nothing, not even the rating question that is due: the
// edited document goes to the autosave folder, the user's file stays as it
// was, and the program ends within five seconds. The next start opens the
// document again, edited, at its own file; closing it then asks.
TEST(TessalyProgramLifecycleTest, SigtermKeepsEditedDocumentsForTheNextStart) {
  World world;
  const QString path = world.documents + "/edited.zova";
  writeDocument(path);
  const QByteArray before = digestOf(path);

  QProcess killed;
  // Real dialogs: any question would hold the program.
  world.start(killed, {path}, "addNewLayer:", QString());
  ASSERT_TRUE(world.logged(killed, "action addNewLayer: sent")) << readLog(world.log).toStdString();
  const qint64 took = World::terminate(killed);
  EXPECT_GE(took, 0) << "SIGTERM did not end the program";
  EXPECT_LT(took, 5000);
  EXPECT_EQ(killed.exitCode(), 0);
  EXPECT_FALSE(readLog(world.log).contains("alert")) << readLog(world.log).toStdString();
  EXPECT_EQ(digestOf(path), before);
  auto defaults = fnd::UserDefaults::withFile(world.config + "/Tessaly.conf");
  EXPECT_FALSE(defaults->hasKey("IMGiveARatingQuestionDate")) << "the rating question was asked";
  const QStringList kept = world.autosaved();
  ASSERT_EQ(kept.size(), 1);
  const QString copy = world.autosaveFolder() + "/" + kept[0];
  QFile recordFile(copy + ".autosave.json");
  ASSERT_TRUE(recordFile.open(QIODevice::ReadOnly));
  const QJsonObject record = QJsonDocument::fromJson(recordFile.readAll()).object();
  EXPECT_EQ(record.value("file").toString(), QUrl::fromLocalFile(path).toString());
  tst::saveArtifact(copy, "window-program-autosaved-on-sigterm.zova");

  // No file named: the kept document opens, on its autosaved copy.
  QProcess again;
  world.start(again, {}, "", "");
  ASSERT_TRUE(tst::spinUntil(
      [&] { return again.state() != QProcess::Running || holdsOpen(again.processId(), copy); },
      30000));
  ASSERT_EQ(again.state(), QProcess::Running) << readLog(world.log).toStdString();
  EXPECT_GE(World::terminate(again), 0);
  EXPECT_EQ(world.autosaved(), kept) << "the changes were not kept again";

  // Given back edited and titled: closing it asks about the user's file.
  QProcess closing;
  world.start(closing, {}, "performClose:", "Don't Save|Remind me later");
  ASSERT_TRUE(World::endsByItself(closing)) << readLog(world.log).toStdString();
  EXPECT_TRUE(readLog(world.log).contains("the document “edited.zova”?"))
      << readLog(world.log).toStdString();
  EXPECT_TRUE(world.autosaved().isEmpty());
  EXPECT_EQ(digestOf(path), before);
}

// A file named on the command line that does not open: its error alert
// shows from the running program. SIGTERM ends the program under the real
// alert; OK to the alert ends it too, as there is no window left.
TEST(TessalyProgramLifecycleTest, AFailedOpenFromTheCommandLineEndsTheProgram) {
  World world;
  const QString broken = world.documents + "/broken.zova";
  QFile file(broken);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("SQLite format 3\0 but nothing else", 33);
  file.close();

  QProcess underAlert;
  world.start(underAlert, {broken}, "", QString());
  ASSERT_TRUE(world.logged(underAlert, "alert")) << "no error was shown";
  EXPECT_TRUE(readLog(world.log).contains("broken.zova")) << readLog(world.log).toStdString();
  const qint64 took = World::terminate(underAlert);
  EXPECT_GE(took, 0) << "SIGTERM did not end the program under the alert";
  EXPECT_LT(took, 5000);

  QProcess answered;
  world.start(answered, {broken}, "", "OK|Remind me later");
  EXPECT_TRUE(World::endsByItself(answered)) << "OK left a program without windows";
  EXPECT_EQ(answered.exitCode(), 0);
  EXPECT_TRUE(readLog(world.log).contains("broken.zova")) << readLog(world.log).toStdString();
}
