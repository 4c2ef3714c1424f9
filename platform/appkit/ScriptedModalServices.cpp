#include "appkit/ScriptedModalServices.h"

#include <QCoreApplication>
#include <QTimer>
#include <QtGlobal>

namespace ui {

namespace {

QStringList buttonTitles(const AlertRequest& request) {
  return request.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : request.buttons;
}

QString describe(const AlertRequest& request) {
  return QStringLiteral("alert \"%1\" (\"%2\") with buttons [%3]")
      .arg(request.messageText, request.informativeText, buttonTitles(request).join(", "));
}

QString describe(const FilePanelRequest& request, const QString& kind) {
  return QStringLiteral("%1 \"%2\" in %3")
      .arg(kind, request.title, request.directoryURL.toString());
}

template <typename Field>
ScriptedModalServices::Shown shownWith(ScriptedModalServices::Dialog dialog,
                                       Field ScriptedModalServices::Shown::*field,
                                       const Field& value) {
  ScriptedModalServices::Shown shown(dialog);
  shown.*field = value;
  return shown;
}

}  // namespace

ScriptedModalServices::ScriptedModalServices() : previous_(ModalServices::setShared(this)) {
  unexpected_ = [](const QString& description) {
    qFatal("Unexpected dialog: %s", qPrintable(description));
  };
}

ScriptedModalServices::~ScriptedModalServices() {
  if (&ModalServices::shared() == this) ModalServices::setShared(previous_);
}

QString ScriptedModalServices::dialogName(Dialog dialog) {
  switch (dialog) {
    case Dialog::Alert:
      return QStringLiteral("alert");
    case Dialog::OpenPanel:
      return QStringLiteral("open panel");
    case Dialog::SavePanel:
      return QStringLiteral("save panel");
    case Dialog::PrintPanel:
      return QStringLiteral("print panel");
    case Dialog::ColorPanel:
      return QStringLiteral("colour panel");
    case Dialog::FontPanel:
      return QStringLiteral("font panel");
  }
  return {};
}

void ScriptedModalServices::answerAlert(long response) {
  answers_.enqueue(Answer(Dialog::Alert, response));
}

void ScriptedModalServices::answerAlertWithButton(const QString& title) {
  Answer answer(Dialog::Alert);
  answer.buttonTitle = title;
  answers_.enqueue(answer);
}

void ScriptedModalServices::answerOpenPanel(const QList<QUrl>& urls,
                                            std::function<void(QWidget*)> beforeOK) {
  Answer answer(Dialog::OpenPanel, ModalResponseOK);
  answer.urls = urls;
  answer.panelAction = std::move(beforeOK);
  answers_.enqueue(answer);
}

void ScriptedModalServices::answerSavePanel(const QUrl& url,
                                            std::function<void(QWidget*)> beforeOK) {
  Answer answer(Dialog::SavePanel, ModalResponseOK);
  answer.urls = {url};
  answer.panelAction = std::move(beforeOK);
  answers_.enqueue(answer);
}

void ScriptedModalServices::answerPrintPanel(long response,
                                             std::function<void(QPrinter&)> beforeOK) {
  Answer answer(Dialog::PrintPanel, response);
  answer.printAction = std::move(beforeOK);
  answers_.enqueue(answer);
}

void ScriptedModalServices::answerColorPanel(std::optional<QColor> color) {
  Answer answer(Dialog::ColorPanel);
  answer.color = color;
  answers_.enqueue(answer);
}

void ScriptedModalServices::answerFontPanel(std::optional<QFont> font) {
  Answer answer(Dialog::FontPanel);
  answer.font = font;
  answers_.enqueue(answer);
}

void ScriptedModalServices::cancel(Dialog dialog) { answers_.enqueue(Answer(dialog)); }

void ScriptedModalServices::setUnexpectedDialogHandler(
    std::function<void(const QString&)> handler) {
  unexpected_ = std::move(handler);
}

ScriptedModalServices::Answer ScriptedModalServices::take(Dialog dialog,
                                                          const QString& description) {
  if (!answers_.isEmpty() && answers_.head().dialog == dialog) return answers_.dequeue();
  QString expected = answers_.isEmpty() ? QStringLiteral("nothing")
                                        : QStringLiteral("a ") + dialogName(answers_.head().dialog);
  unexpected_(QStringLiteral("%1 while %2 was scripted").arg(description, expected));
  return Answer(dialog);
}

void ScriptedModalServices::record(Shown shown, bool sheet, QWidget* window) {
  shown.sheet = sheet;
  shown.window = window;
  shown_.append(std::move(shown));
}

long ScriptedModalServices::alertResponse(const AlertRequest& request) {
  Answer answer = take(Dialog::Alert, describe(request));
  if (answer.buttonTitle.isEmpty()) return answer.response;
  qsizetype index = buttonTitles(request).indexOf(answer.buttonTitle);
  if (index >= 0) return AlertFirstButtonReturn + long(index);
  unexpected_(QStringLiteral("%1 has no button \"%2\"").arg(describe(request), answer.buttonTitle));
  return ModalResponseCancel;
}

FilePanelResult ScriptedModalServices::panelResult(Dialog dialog, const FilePanelRequest& request,
                                                   const QString& description) {
  Answer answer = take(dialog, description);
  if (answer.response != ModalResponseOK) return {};
  if (answer.panelAction) answer.panelAction(request.accessoryView);
  return {.response = ModalResponseOK, .urls = answer.urls};
}

void ScriptedModalServices::complete(std::function<void()> completion) {
  if (sheetsCompleteLater_)
    QTimer::singleShot(0, QCoreApplication::instance(), std::move(completion));
  else
    completion();
}

long ScriptedModalServices::runAlert(const AlertRequest& request, QWidget* parent) {
  record(shownWith(Dialog::Alert, &Shown::alert, request), false, parent);
  return alertResponse(request);
}

FilePanelResult ScriptedModalServices::runOpenPanel(const OpenPanelRequest& request,
                                                    QWidget* parent) {
  record(shownWith(Dialog::OpenPanel, &Shown::open, request), false, parent);
  return panelResult(Dialog::OpenPanel, request, describe(request, dialogName(Dialog::OpenPanel)));
}

FilePanelResult ScriptedModalServices::runSavePanel(const SavePanelRequest& request,
                                                    QWidget* parent) {
  record(shownWith(Dialog::SavePanel, &Shown::save, request), false, parent);
  return panelResult(Dialog::SavePanel, request, describe(request, dialogName(Dialog::SavePanel)));
}

long ScriptedModalServices::runPrintPanel(QPrinter& printer, unsigned options, QWidget* parent) {
  Shown shown(Dialog::PrintPanel);
  shown.printOptions = options;
  record(shown, false, parent);
  Answer answer = take(Dialog::PrintPanel, dialogName(Dialog::PrintPanel));
  if (answer.response == ModalResponseOK && answer.printAction) answer.printAction(printer);
  return answer.response;
}

std::optional<QColor> ScriptedModalServices::runColorPanel(const ColorPanelRequest& request,
                                                           QWidget* parent) {
  record(Shown(Dialog::ColorPanel), false, parent);
  Answer answer = take(Dialog::ColorPanel, dialogName(Dialog::ColorPanel));
  if (answer.color && request.colorChanged) request.colorChanged(*answer.color);
  return answer.color;
}

std::optional<QFont> ScriptedModalServices::runFontPanel(const QFont&, QWidget* parent) {
  record(Shown(Dialog::FontPanel), false, parent);
  return take(Dialog::FontPanel, dialogName(Dialog::FontPanel)).font;
}

void ScriptedModalServices::beginAlertSheet(const AlertRequest& request, QWidget* window,
                                            ResponseHandler completion) {
  record(shownWith(Dialog::Alert, &Shown::alert, request), true, window);
  long response = alertResponse(request);
  complete([completion = std::move(completion), response] { completion(response); });
}

void ScriptedModalServices::beginOpenPanelSheet(const OpenPanelRequest& request, QWidget* window,
                                                FilePanelHandler completion) {
  record(shownWith(Dialog::OpenPanel, &Shown::open, request), true, window);
  FilePanelResult result =
      panelResult(Dialog::OpenPanel, request, describe(request, dialogName(Dialog::OpenPanel)));
  complete([completion = std::move(completion), result] { completion(result); });
}

void ScriptedModalServices::beginSavePanelSheet(const SavePanelRequest& request, QWidget* window,
                                                FilePanelHandler completion) {
  record(shownWith(Dialog::SavePanel, &Shown::save, request), true, window);
  FilePanelResult result =
      panelResult(Dialog::SavePanel, request, describe(request, dialogName(Dialog::SavePanel)));
  complete([completion = std::move(completion), result] { completion(result); });
}

void ScriptedModalServices::beginPrintPanelSheet(QPrinter& printer, unsigned options,
                                                 QWidget* window, ResponseHandler completion) {
  long response = runPrintPanel(printer, options, window);
  shown_.last().sheet = true;
  complete([completion = std::move(completion), response] { completion(response); });
}

void ScriptedModalServices::orderFrontFontPanel(const QFont& font, FontHandler changed) {
  Shown shown(Dialog::FontPanel);
  shown.floating = true;
  shown.font = font;
  shown_.append(shown);
  fontPanel_ = std::move(changed);
}

void ScriptedModalServices::orderFrontColorPanel(const ColorPanelRequest& request) {
  Shown shown(Dialog::ColorPanel);
  shown.floating = true;
  shown.color = request.color;
  shown_.append(shown);
  colorPanel_ = request.colorChanged;
}

bool ScriptedModalServices::chooseFont(const QFont& font) {
  if (!fontPanel_) return false;
  fontPanel_(font);
  return true;
}

bool ScriptedModalServices::chooseColor(const QColor& color) {
  if (!colorPanel_) return false;
  colorPanel_(color);
  return true;
}

}  // namespace ui
