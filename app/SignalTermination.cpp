#include "SignalTermination.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

#include "appkit/Application.h"

namespace {

int pair[2] = {-1, -1};

void handler(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(pair[0], &byte, 1);
}

}  // namespace

SignalTermination::SignalTermination(QObject* parent) : QObject(parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return;
  notifier_ = new QSocketNotifier(pair[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &SignalTermination::signalArrived);
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

SignalTermination::~SignalTermination() {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) std::signal(signal, SIG_DFL);
  ::close(pair[0]);
  ::close(pair[1]);
}

void SignalTermination::signalArrived() {
  char byte;
  [[maybe_unused]] const ssize_t read = ::read(pair[1], &byte, 1);
  ui::Application::sharedApplication()->terminateWithoutAsking(
      ui::Application::TerminationReason::Signal);
}
