#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into the application's termination
// sequence on the event loop, so a session ending or `kill` saves nothing
// half-way and still removes the process's image cache. Nobody is asked
// anything: edited documents are autosaved for the next start and the
// program ends even with a dialog on screen. The handler only writes a byte
// to a socket pair; everything else runs on the main thread.
class SignalTermination : public QObject {
  Q_OBJECT

 public:
  explicit SignalTermination(QObject* parent = nullptr);
  ~SignalTermination() override;

 private:
  void signalArrived();

  QSocketNotifier* notifier_ = nullptr;
};
