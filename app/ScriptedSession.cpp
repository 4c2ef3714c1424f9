#include "ScriptedSession.h"

#include <QTimer>

#include "appkit/Application.h"
#include "appkit/QtModalServices.h"

namespace {

QStringList listFromEnvironment(const char* name) {
  const QString value = qEnvironmentVariable(name);
  return value.isEmpty() ? QStringList() : value.split(u'|');
}

QString describe(const ui::AlertRequest& request) {
  return QStringLiteral("alert \"%1\" [%2]")
      .arg(request.messageText,
           (request.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : request.buttons)
               .join(QStringLiteral(", ")));
}

}  // namespace

// Scripted answers that also write each alert, and its answer, to the log.
class ScriptedSession::LoggingServices : public ui::ScriptedModalServices {
 public:
  explicit LoggingServices(ScriptedSession* session) : session_(session) {
    setSheetsCompleteLater(true);
    setUnexpectedDialogHandler(
        [session](const QString& what) { session->log(QStringLiteral("unexpected ") + what); });
  }
  long runAlert(const ui::AlertRequest& request, QWidget* parent) override {
    session_->log(describe(request));
    const long answer = ScriptedModalServices::runAlert(request, parent);
    session_->log(QStringLiteral("answered %1").arg(answer));
    return answer;
  }
  void beginAlertSheet(const ui::AlertRequest& request, QWidget* window,
                       ResponseHandler completion) override {
    session_->log(describe(request) + QStringLiteral(" as a sheet"));
    ScriptedModalServices::beginAlertSheet(request, window, std::move(completion));
  }

 private:
  ScriptedSession* session_;
};

// The real dialogs, each alert written to the log before it shows.
class ScriptedSession::LoggingDialogs : public ui::QtModalServices {
 public:
  explicit LoggingDialogs(ScriptedSession* session) : session_(session) {
    previous_ = ui::ModalServices::setShared(this);
  }
  ~LoggingDialogs() override { ui::ModalServices::setShared(previous_); }
  long runAlert(const ui::AlertRequest& request, QWidget* parent) override {
    session_->log(describe(request));
    return QtModalServices::runAlert(request, parent);
  }
  void beginAlertSheet(const ui::AlertRequest& request, QWidget* window,
                       ResponseHandler completion) override {
    session_->log(describe(request) + QStringLiteral(" as a sheet"));
    QtModalServices::beginAlertSheet(request, window, std::move(completion));
  }

 private:
  ScriptedSession* session_;
  ui::ModalServices* previous_ = nullptr;
};

ScriptedSession::ScriptedSession() : actions_(listFromEnvironment("TESSALY_TEST_ACTIONS")) {
  const QString logPath = qEnvironmentVariable("TESSALY_TEST_LOG");
  if (!logPath.isEmpty()) {
    log_.setFileName(logPath);
    if (!log_.open(QIODevice::Append | QIODevice::Text))
      qWarning("Cannot write %s", qPrintable(logPath));
  }
  if (!qEnvironmentVariableIsSet("TESSALY_TEST_ANSWERS")) {
    if (log_.isOpen()) dialogs_ = std::make_unique<LoggingDialogs>(this);
    return;
  }
  services_ = std::make_unique<LoggingServices>(this);
  for (const QString& title : listFromEnvironment("TESSALY_TEST_ANSWERS"))
    services_->answerAlertWithButton(title);
}

ScriptedSession::~ScriptedSession() = default;

void ScriptedSession::log(const QString& line) {
  if (!log_.isOpen()) return;
  log_.write(line.toUtf8() + '\n');
  log_.flush();
}

void ScriptedSession::start() {
  if (!actions_.isEmpty()) QTimer::singleShot(0, this, &ScriptedSession::sendNextAction);
}

// The log line comes a pass later, once the action's undo group has closed
// and the document counts the change.
void ScriptedSession::sendNextAction() {
  const QString action = actions_.takeFirst();
  const bool sent = ui::Application::sharedApplication()->sendAction(action);
  QTimer::singleShot(0, this, [this, action, sent] {
    log(QStringLiteral("action %1 %2").arg(action, sent ? "sent" : "not handled"));
    if (!actions_.isEmpty()) sendNextAction();
  });
}
