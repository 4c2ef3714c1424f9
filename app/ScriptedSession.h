#pragma once

#include <QFile>
#include <QObject>
#include <QStringList>
#include <memory>

#include "appkit/ScriptedModalServices.h"

// The program driven from outside, for the tests that run it as a process
// without a display to click on. From the environment:
//   TESSALY_TEST_ANSWERS  button titles, separated by "|", pressed in turn
//                         in the alerts shown; every dialog then goes
//                         through scripted answers and none is on screen
//   TESSALY_TEST_ACTIONS  actions ("addNewLayer:|performClose:") sent in
//                         turn along the responder chain once started
//   TESSALY_TEST_LOG      a file given one line per alert and action; the
//                         alerts stay real ones when no answers are given
// Without them the program runs as it always does.
class ScriptedSession : public QObject {
 public:
  ScriptedSession();
  ~ScriptedSession() override;

  // Sends the actions, one per pass of the event loop.
  void start();

 private:
  class LoggingServices;
  class LoggingDialogs;

  void log(const QString& line);
  void sendNextAction();

  std::unique_ptr<LoggingServices> services_;
  std::unique_ptr<LoggingDialogs> dialogs_;
  QStringList actions_;
  QFile log_;
};
