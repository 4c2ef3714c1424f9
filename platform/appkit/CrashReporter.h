// Crash reports: once started, a fatal signal (segmentation fault, bus
// error, illegal instruction, arithmetic fault, abort) writes a report file
// with the program's identity and a backtrace into the user's state folder
// ($XDG_STATE_HOME/Tessaly/Crash Reports), then lets the signal end the
// process as it would have. Nothing is sent anywhere.
#pragma once

#include <QString>
#include <QStringList>

namespace ui {

class CrashReporterDelegate {
 public:
  virtual ~CrashReporterDelegate() = default;
  // Text added to each report; asked when the reporter starts, since a
  // crashing process can no longer ask.
  virtual QString applicationLogForCrashManager() { return {}; }
};

class CrashReporter {
 public:
  static CrashReporter& sharedCrashReporter();

  void configureWithIdentifier(const QString& identifier, const QString& companyName,
                               CrashReporterDelegate* delegate);
  // Installs the signal handlers; the report's text is prepared here.
  void startManager();
  // Puts back the handlers that were there before startManager.
  void stopManager();
  bool isStarted() const { return started_; }

  QString reportsFolder() const;
  // Reports written by earlier runs, oldest first.
  QStringList pendingReports() const;

 private:
  CrashReporter() = default;

  QString identifier_;
  QString companyName_;
  CrashReporterDelegate* delegate_ = nullptr;
  bool started_ = false;
};

}  // namespace ui
