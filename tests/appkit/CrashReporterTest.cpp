#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <csignal>

#include "TestSupport.h"
#include "TextDocument.h"
#include "appkit/CrashReporter.h"

namespace {

class Delegate : public ui::CrashReporterDelegate {
 public:
  QString applicationLogForCrashManager() override { return "last action: paste:"; }
};

}  // namespace

// A process killed by a fatal signal leaves a report naming the program and
// the signal, and still dies of that signal.
TEST(CrashReporter, FatalSignalWritesAReportAndStillEndsTheProcess) {
  qputenv("XDG_STATE_HOME", tst::tempPath("crash-state").toLocal8Bit());
  ui::CrashReporter& reporter = ui::CrashReporter::sharedCrashReporter();
  Delegate delegate;
  reporter.configureWithIdentifier("5e0a7c913d2b46f8a0c1e97d3b6f2a48", "Brenwick", &delegate);
  EXPECT_TRUE(reporter.pendingReports().isEmpty());

  for (int signal : {SIGSEGV, SIGABRT}) {
    reporter.startManager();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::raise(signal);
      _exit(0);
    }
    reporter.stopManager();
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), signal);
  }

  // Both children had this process's name and second: one file, the last.
  const QStringList reports = reporter.pendingReports();
  ASSERT_FALSE(reports.isEmpty());
  const QString report = QString::fromUtf8(apptest::readFile(reports.last()));
  EXPECT_TRUE(report.contains("Identifier: 5e0a7c913d2b46f8a0c1e97d3b6f2a48"))
      << report.toStdString();
  EXPECT_TRUE(report.contains("last action: paste:"));
  EXPECT_TRUE(report.contains(QStringLiteral("Signal: %1").arg(SIGABRT)));
  EXPECT_TRUE(report.contains("Backtrace:\n"));
  EXPECT_EQ(QFile(reports.last()).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
}
