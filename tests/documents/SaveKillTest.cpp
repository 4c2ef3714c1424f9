// Saves killed at any moment, and saves that run out of room, as a real
// process sees them: a helper program saves a layered document in a loop
// (in place and by Save As onto the same file) and is killed with SIGKILL
// at random moments, at random writes of SQLite, at the sync and at the
// removal of SQLite's rollback journal, and around the rename of a Save As.
// After each kill the program's own opening code must find the document of
// one generation whole, never a mix, and the next save must leave nothing
// beside it. TESSALY_KILL_ROUNDS sets the number of kills (the default is a
// short run; 120 is the full one).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <cstring>
#include <vector>

#include "TestSupport.h"

extern char** environ;

namespace {

// How long a helper may take to reach a point of its save loop. Generous:
// on a busy machine its syncs wait behind every other process's writes, and
// a save that takes a few seconds alone has taken over a minute.
constexpr int kSlowSave = 90000;

const QString kHelper = QStringLiteral(TESSALY_SAVE_LOOP);

QByteArray fileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The helper as a child process of its own, with `extra` in its
// environment and `limit` (when not 0) as the largest file it may write.
pid_t startHelper(const QStringList& arguments, const QStringList& extra, rlim_t limit = 0,
                  const QString& output = QString()) {
  std::vector<QByteArray> strings;
  for (char** entry = environ; *entry; ++entry) strings.emplace_back(*entry);
  for (const QString& entry : extra) strings.push_back(entry.toLocal8Bit());
  strings.emplace_back("QT_QPA_PLATFORM=offscreen");
  std::vector<char*> environment;
  for (QByteArray& entry : strings) environment.push_back(entry.data());
  environment.push_back(nullptr);
  std::vector<QByteArray> words{kHelper.toLocal8Bit()};
  for (const QString& argument : arguments) words.push_back(argument.toLocal8Bit());
  std::vector<char*> argv;
  for (QByteArray& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const QByteArray log = output.toLocal8Bit();
  const pid_t child = fork();
  if (child == 0) {
    if (!log.isEmpty()) {
      const int fd = ::open(log.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(fd, 1);
      dup2(fd, 2);
    }
    if (limit) {
      // A write past the limit then fails with EFBIG, as on a full disk,
      // instead of ending the process.
      signal(SIGXFSZ, SIG_IGN);
      const rlimit size{limit, limit};
      setrlimit(RLIMIT_FSIZE, &size);
    }
    execve(argv[0], argv.data(), environment.data());
    _exit(127);
  }
  return child;
}

struct Ending {
  bool stopped = false, exited = false;
  int status = 0;
};

// Waits until the child stops itself, ends, or `deadlineMs` passes.
Ending waitForHelper(pid_t child, int deadlineMs) {
  Ending ending;
  QElapsedTimer clock;
  clock.start();
  tst::spinUntil(
      [&] {
        int status = 0;
        if (waitpid(child, &status, WNOHANG | WUNTRACED) == child) {
          ending.stopped = WIFSTOPPED(status);
          ending.exited = !ending.stopped;
          ending.status = status;
          return true;
        }
        return clock.elapsed() >= deadlineMs;
      },
      deadlineMs + 60000);
  return ending;
}

void killHelper(pid_t child, const Ending& ending) {
  if (ending.exited) return;
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
}

int readState(const QString& state) { return fileBytes(state).toInt(); }

struct Check {
  int exitCode = -1;
  int generation = -1;
  QString output;
};

// The program's opening code on the file, then one more save.
Check checkAndSave(const QString& document, const QString& state) {
  Check check;
  check.exitCode = tst::runTool(kHelper, {"check", document, state}, &check.output);
  const qsizetype at = check.output.indexOf("generation ");
  if (at >= 0) check.generation = check.output.mid(at + 11).section('\n', 0, 0).toInt();
  return check;
}

struct KillPoint {
  QString event;  // empty: a moment chosen by the clock
  int after;
};

KillPoint pointForRound(int round, QRandomGenerator& random) {
  switch (round % 6) {
    case 0:
      return {"journal-sync", 1 + int(random.bounded(4))};
    case 1:
      return {"journal-unlink", 1 + int(random.bounded(4))};
    case 2:
      return {"write", 1 + int(random.bounded(400))};
    case 3:
      return {"rename", 1 + int(random.bounded(3))};
    case 4:
      return {"renamed", 1 + int(random.bounded(3))};
    default:
      return {QString(), 40 + int(random.bounded(600))};
  }
}

// Kills the save loop `rounds` times and checks the document after each kill.
void killSavesAndCheck(int rounds) {
  const QString folder = tst::tempPath("kill-documents");
  QDir().mkpath(folder);
  const QString document = folder + "/layers.zova";
  const QString state = tst::tempPath("kill-state");
  const QString log = tst::tempPath("kill-helper.log");
  QFile::remove(document);
  QRandomGenerator random(qEnvironmentVariableIntValue("TESSALY_KILL_SEED") + 20261209);
  // The helpers' image caches go here, so the kills' litter can be seen.
  const QString runtime = tst::tempPath("kill-runtime");
  QDir().mkpath(runtime);
  QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
  qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
  QMap<QString, int> stops;

  for (int round = 0; round < rounds; ++round) {
    const KillPoint point = pointForRound(round, random);
    SCOPED_TRACE(QStringLiteral("round %1, %2 %3")
                     .arg(round)
                     .arg(point.event.isEmpty() ? "after ms" : point.event)
                     .arg(point.after)
                     .toStdString());
    const QStringList environment =
        point.event.isEmpty() ? QStringList()
                              : QStringList{"TESSALY_STOP_AT=" + point.event,
                                            "TESSALY_STOP_AFTER=" + QString::number(point.after)};
    const pid_t helper = startHelper({"loop", document, state}, environment, 0, log);
    ASSERT_GT(helper, 0);
    const Ending ending = waitForHelper(helper, point.event.isEmpty() ? point.after : kSlowSave);
    killHelper(helper, ending);
    ASSERT_FALSE(ending.exited) << "the save loop ended by itself:\n"
                                << fileBytes(log).toStdString();
    if (ending.stopped) ++stops[point.event];
    if (!QFileInfo::exists(document)) continue;  // killed before its first save

    const int saved = readState(state);
    const Check check = checkAndSave(document, state);
    ASSERT_EQ(check.exitCode, 0) << check.output.toStdString();
    EXPECT_TRUE(check.generation == saved || check.generation == saved + 1)
        << "found generation " << check.generation << ", last finished save " << saved;
    EXPECT_FALSE(check.output.contains("left beside")) << check.output.toStdString();
    if (tst::haveTool("sqlite3")) {
      QString integrity;
      tst::runTool("sqlite3", {document, "PRAGMA integrity_check"}, &integrity);
      EXPECT_EQ(integrity.trimmed(), "ok");
    }
  }
  qputenv("XDG_RUNTIME_DIR", oldRuntime);
  // Every start removed the caches of the helpers killed before it, and the
  // last one, which ended normally, its own.
  EXPECT_EQ(QDir(runtime).entryList({"tessaly-*"}, QDir::Dirs | QDir::NoDotAndDotDot),
            QStringList());
  // Each exact point was met (a point past the end of one save is met in
  // the next, so only a count never reached would miss).
  if (rounds >= 6) {
    for (const char* event : {"journal-sync", "journal-unlink", "write", "rename", "renamed"})
      EXPECT_GT(stops.value(event), 0) << event;
  }
}

}  // namespace

TEST(SaveKill, AKilledSaveLeavesTheOldOrTheNewDocumentAndNoLitter) {
  killSavesAndCheck(qEnvironmentVariableIsSet("TESSALY_KILL_ROUNDS")
                        ? qEnvironmentVariableIntValue("TESSALY_KILL_ROUNDS")
                        : 12);
}

// Layers of megabytes, which give each new store large pages. The helpers,
// the checking one too, take the setting from this process's environment.
TEST(SaveKill, AKilledSaveOfLargeLayersLeavesTheOldOrTheNewDocument) {
  qputenv("TESSALY_LARGE_LAYERS", "1");
  killSavesAndCheck(6);
  qunsetenv("TESSALY_LARGE_LAYERS");
}

// A save into a file system without room (the helper may not write files
// beyond a little more than the document): in place, by Save As onto the
// document and to a new file, every one fails; the document closes, the
// old file holds what it held, and no other file is left.
TEST(SaveKill, ASaveIntoAFullFileSystemLeavesTheOldFileAndTheDocumentClosable) {
  const QString folder = tst::tempPath("full-documents");
  QDir().mkpath(folder);
  const QString document = folder + "/layers.zova";
  const QString state = tst::tempPath("full-state");
  const pid_t first =
      startHelper({"loop", document, state}, {"TESSALY_STOP_AT=renamed", "TESSALY_STOP_AFTER=2"});
  killHelper(first, waitForHelper(first, kSlowSave));
  ASSERT_EQ(checkAndSave(document, state).exitCode, 0);
  const QByteArray before = fileBytes(document);
  ASSERT_FALSE(before.isEmpty());

  const QString log = tst::tempPath("full-helper.log");
  const pid_t helper = startHelper({"full", document}, {}, rlim_t(before.size()) + 65536, log);
  const Ending ending = waitForHelper(helper, 3 * kSlowSave);
  killHelper(helper, ending);
  ASSERT_TRUE(ending.exited) << "the helper did not end";
  EXPECT_TRUE(WIFEXITED(ending.status) && WEXITSTATUS(ending.status) == 0)
      << fileBytes(log).toStdString();
  EXPECT_TRUE(fileBytes(log).contains("closed after 0 saves")) << fileBytes(log).toStdString();
  // The same rows in a file of the same size. Pages that were free may
  // hold other bytes: SQLite does not keep the old contents of free pages
  // a failed save used, as nothing reads them.
  EXPECT_EQ(fileBytes(document).size(), before.size());
  if (tst::haveTool("sqlite3")) {
    const QString copy = tst::tempPath("full-before.zova");
    QFile kept(copy);
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write(before);
    kept.close();
    QString now, then, integrity;
    tst::runTool("sqlite3", {document, ".dump"}, &now);
    tst::runTool("sqlite3", {copy, ".dump"}, &then);
    tst::runTool("sqlite3", {document, "PRAGMA integrity_check"}, &integrity);
    EXPECT_EQ(now, then);
    EXPECT_EQ(integrity.trimmed(), "ok");
  }
  EXPECT_EQ(
      QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
      QStringList{"layers.zova"});
}
