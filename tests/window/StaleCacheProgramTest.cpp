#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "TestSupport.h"

namespace {

QString privateFolder(const QString& name) {
  const QString folder = tst::tempPath(name);
  QDir().mkpath(folder);
  QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return folder;
}

void writeFile(const QString& path) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("version");
}

}  // namespace

// At its start the program removes the image cache folders of its earlier
// runs that were killed; the folder of a program still running (here this
// test, by its process id) and a link named like a cache folder stay, and
// the folder the link points to keeps its files.
TEST(StaleCacheProgramTest, TheProgramRemovesCacheFoldersOfKilledRunsAtStart) {
  const QString runtime = privateFolder("stale-runtime");
  const QString outside = privateFolder("stale-outside");
  writeFile(outside + "/picture");
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  const QString stale = runtime + QStringLiteral("/tessaly-%1-Ab12Cd").arg(child);
  ASSERT_TRUE(QDir().mkpath(stale + "/Tessaly"));
  writeFile(stale + "/Tessaly/2026341212423456");
  writeFile(stale + "/.owner");
  const QString living = runtime + QStringLiteral("/tessaly-%1-Ef34Gh").arg(getpid());
  ASSERT_TRUE(QDir().mkpath(living + "/Tessaly"));
  const QString link = runtime + QStringLiteral("/tessaly-%1-Ij56Kl").arg(child);
  ASSERT_TRUE(QFile::link(outside, link));

  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("XDG_RUNTIME_DIR", runtime);
  environment.insert("TMPDIR", privateFolder("stale-tmp"));
  environment.insert("TESSALY_CONFIG_HOME", privateFolder("stale-config"));
  environment.insert("XDG_STATE_HOME", privateFolder("stale-state"));
  program.setProcessEnvironment(environment);
  program.setProcessChannelMode(QProcess::ForwardedChannels);
  program.start(TESSALY_PROGRAM, {});
  ASSERT_TRUE(program.waitForStarted());
  EXPECT_TRUE(tst::spinUntil(
      [&] { return program.state() != QProcess::Running || !QFileInfo::exists(stale); }, 30000));
  EXPECT_EQ(program.state(), QProcess::Running);
  EXPECT_FALSE(QFileInfo::exists(stale));
  EXPECT_TRUE(QFileInfo(living).isDir());
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  EXPECT_TRUE(QFile::exists(outside + "/picture"));
  ::kill(pid_t(program.processId()), SIGTERM);
  if (!program.waitForFinished(30000)) {
    program.kill();
    program.waitForFinished();
  }
}
