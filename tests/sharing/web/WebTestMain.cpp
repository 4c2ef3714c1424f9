// The main of the web dialog's tests. The web engine draws through X, so
// the tests start their own Xvfb on a free display and stop it at the end;
// as root the engine's sandbox cannot start, so it runs without
// (--no-sandbox), and without the GPU process, which has no GPU here.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>

namespace {

pid_t xvfb = 0;
// Xvfb writes the number and the line end apart: the pipe stays open.
int displayPipe = -1;

// Xvfb picks a free display and writes its number to the pipe.
bool startXvfb() {
  int fds[2];
  if (pipe(fds) != 0) return false;
  xvfb = fork();
  if (xvfb == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlives a test killed on time-out
    close(fds[0]);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
           "tcp", "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  displayPipe = fds[0];
  char number[16] = {};
  ssize_t n = 0;
  while (n < ssize_t(sizeof number) - 1 && read(displayPipe, number + n, 1) == 1 &&
         number[n] != '\n')
    ++n;
  if (n <= 0) return false;
  number[strcspn(number, "\n")] = 0;
  qputenv("DISPLAY", QByteArray(":") + number);
  return true;
}

void stopXvfb() {
  if (xvfb <= 0) return;
  kill(xvfb, SIGTERM);
  waitpid(xvfb, nullptr, 0);
  close(displayPipe);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // A listing (as when ctest discovers the tests) needs no display: the
  // flag is taken out of argv by now, so ask Google Test for it.
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  QTemporaryDir config(QDir::tempPath() + "/tessaly-config-XXXXXX");
  qputenv("TESSALY_CONFIG_HOME", config.path().toLocal8Bit());
  if (!startXvfb()) {
    fprintf(stderr, "could not start Xvfb\n");
    return 1;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu --disable-dev-shm-usage");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  int result = 1;
  {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Tessaly");
    QCoreApplication::setApplicationName("Tessaly");
    result = RUN_ALL_TESTS();
  }
  stopXvfb();
  return result;
}
