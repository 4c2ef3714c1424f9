#include "appkit/CrashReporter.h"

#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <csignal>
#include <cstring>

#include "appkit/RestorableState.h"

namespace ui {

namespace {

// Everything the handler needs, prepared before any crash: a handler may
// only make async-signal-safe calls, so no allocation and no Qt.
constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr int kSignalCount = sizeof(kSignals) / sizeof(kSignals[0]);
struct sigaction previous[kSignalCount];
char reportPath[4096];
char reportHeader[8192];
size_t reportHeaderLength = 0;
char alternateStack[64 * 1024];

void writeAll(int fd, const char* text, size_t length) {
  while (length > 0) {
    ssize_t n = ::write(fd, text, length);
    if (n <= 0) return;
    text += n;
    length -= size_t(n);
  }
}

void writeNumber(int fd, long value) {
  char digits[24];
  int i = sizeof(digits);
  bool negative = value < 0;
  unsigned long v = negative ? 0UL - (unsigned long)value : (unsigned long)value;
  do {
    digits[--i] = char('0' + v % 10);
    v /= 10;
  } while (v && i > 1);
  if (negative) digits[--i] = '-';
  writeAll(fd, digits + i, sizeof(digits) - size_t(i));
}

void handleFatalSignal(int signal) {
  int fd = ::open(reportPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd >= 0) {
    writeAll(fd, reportHeader, reportHeaderLength);
    static const char kSignal[] = "Signal: ";
    writeAll(fd, kSignal, sizeof(kSignal) - 1);
    writeNumber(fd, signal);
    static const char kBacktrace[] = "\nBacktrace:\n";
    writeAll(fd, kBacktrace, sizeof(kBacktrace) - 1);
    void* frames[64];
    backtrace_symbols_fd(frames, backtrace(frames, 64), fd);
    ::close(fd);
  }
  // The default action ends the process with the same signal.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

CrashReporter& CrashReporter::sharedCrashReporter() {
  static CrashReporter reporter;
  return reporter;
}

void CrashReporter::configureWithIdentifier(const QString& identifier, const QString& companyName,
                                            CrashReporterDelegate* delegate) {
  identifier_ = identifier;
  companyName_ = companyName;
  delegate_ = delegate;
}

QString CrashReporter::reportsFolder() const {
  const QString folder = RestorableState::stateFolder() + QStringLiteral("/Crash Reports");
  QDir().mkpath(folder);
  return folder;
}

QStringList CrashReporter::pendingReports() const {
  QDir folder(reportsFolder());
  QStringList reports;
  for (const QString& name :
       folder.entryList({QStringLiteral("*.crash")}, QDir::Files, QDir::Time | QDir::Reversed))
    reports.append(folder.filePath(name));
  return reports;
}

void CrashReporter::startManager() {
  if (started_) return;
  const QDateTime now = QDateTime::currentDateTimeUtc();
  const QByteArray path = QFile::encodeName(
      QStringLiteral("%1/%2-%3-%4.crash")
          .arg(reportsFolder(),
               QCoreApplication::applicationName().isEmpty() ? QStringLiteral("tessaly")
                                                             : QCoreApplication::applicationName(),
               now.toString(QStringLiteral("yyyyMMdd-HHmmss")))
          .arg(QCoreApplication::applicationPid()));
  qstrncpy(reportPath, path.constData(), sizeof(reportPath));
  QString header =
      QStringLiteral("Identifier: %1\nCompany: %2\nProcess: %3 [%4]\nVersion: %5\nStarted: %6\n")
          .arg(identifier_, companyName_, QCoreApplication::applicationName())
          .arg(QCoreApplication::applicationPid())
          .arg(QCoreApplication::applicationVersion(), now.toString(Qt::ISODate));
  if (delegate_) {
    const QString log = delegate_->applicationLogForCrashManager();
    if (!log.isEmpty()) header += QStringLiteral("Log:\n%1\n").arg(log);
  }
  const QByteArray text = header.toUtf8().left(sizeof(reportHeader));
  std::memcpy(reportHeader, text.constData(), size_t(text.size()));
  reportHeaderLength = size_t(text.size());
  // The first backtrace loads the unwinder, which must not happen in the handler.
  void* frames[2];
  backtrace(frames, 2);
  // A stack overflow still leaves room to write the report.
  stack_t stack{};
  stack.ss_sp = alternateStack;
  stack.ss_size = sizeof(alternateStack);
  sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_handler = handleFatalSignal;
  action.sa_flags = SA_ONSTACK | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &action, &previous[i]);
  started_ = true;
}

void CrashReporter::stopManager() {
  if (!started_) return;
  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &previous[i], nullptr);
  started_ = false;
}

}  // namespace ui
