// Modal services for tests: every dialog takes the next queued answer, which
// must be for a dialog of its kind, and is recorded with what it showed. No
// window ever opens. A dialog nobody scripted goes to the unexpected-dialog
// handler (by default a fatal message naming it) and is cancelled, so a test
// fails instead of waiting. While it lives the object is the shared services.
#pragma once

#include <QList>
#include <QQueue>

#include "appkit/ModalServices.h"

namespace ui {

class ScriptedModalServices : public ModalServices {
 public:
  enum class Dialog { Alert, OpenPanel, SavePanel, PrintPanel, ColorPanel, FontPanel };

  // One dialog as it was shown.
  struct Shown {
    explicit Shown(Dialog shownDialog) : dialog(shownDialog) {}
    Dialog dialog;
    bool sheet = false;
    bool floating = false;
    QWidget* window = nullptr;
    QFont font;             // for font panels
    QColor color;           // for colour panels
    AlertRequest alert;     // for alerts
    SavePanelRequest save;  // for save panels
    OpenPanelRequest open;  // for open panels
    unsigned printOptions = 0;
  };

  // Installs itself as the shared services.
  ScriptedModalServices();
  // Puts back the services that were shared before.
  ~ScriptedModalServices() override;

  // Answers, in the order the dialogs come.
  void answerAlert(long response);
  // Presses the button with this title; unexpected when the alert has none.
  void answerAlertWithButton(const QString& title);
  // `beforeOK` sees the accessory view as the user left it.
  void answerOpenPanel(const QList<QUrl>& urls,
                       std::function<void(QWidget* accessory)> beforeOK = {});
  void answerSavePanel(const QUrl& url, std::function<void(QWidget* accessory)> beforeOK = {});
  // `beforeOK` plays the user's choices into the printer.
  void answerPrintPanel(long response, std::function<void(QPrinter&)> beforeOK = {});
  void answerColorPanel(std::optional<QColor> color);
  void answerFontPanel(std::optional<QFont> font);
  // The next dialog, which must be of this kind, is cancelled.
  void cancel(Dialog dialog);
  // The user picks in a floating panel; false when none is in front.
  bool chooseFont(const QFont& font);
  bool chooseColor(const QColor& color);

  // Sheets normally complete before their begin call returns; when later,
  // the handler runs from the event loop, as a real sheet's would.
  void setSheetsCompleteLater(bool later) { sheetsCompleteLater_ = later; }

  // Replaces the fatal default, e.g. with a test framework's failure.
  void setUnexpectedDialogHandler(std::function<void(const QString& description)> handler);

  const QList<Shown>& shown() const { return shown_; }
  int pendingAnswers() const { return int(answers_.size()); }

  long runAlert(const AlertRequest& request, QWidget* parent) override;
  FilePanelResult runOpenPanel(const OpenPanelRequest& request, QWidget* parent) override;
  FilePanelResult runSavePanel(const SavePanelRequest& request, QWidget* parent) override;
  long runPrintPanel(QPrinter& printer, unsigned options, QWidget* parent) override;
  std::optional<QColor> runColorPanel(const ColorPanelRequest& request, QWidget* parent) override;
  std::optional<QFont> runFontPanel(const QFont& font, QWidget* parent) override;

  void beginAlertSheet(const AlertRequest& request, QWidget* window,
                       ResponseHandler completion) override;
  void beginOpenPanelSheet(const OpenPanelRequest& request, QWidget* window,
                           FilePanelHandler completion) override;
  void beginSavePanelSheet(const SavePanelRequest& request, QWidget* window,
                           FilePanelHandler completion) override;
  void beginPrintPanelSheet(QPrinter& printer, unsigned options, QWidget* window,
                            ResponseHandler completion) override;
  // Floating panels take no answer: they are recorded (with `floating`) and
  // keep their handler for chooseFont and chooseColor.
  void orderFrontFontPanel(const QFont& font, FontHandler changed) override;
  void orderFrontColorPanel(const ColorPanelRequest& request) override;

  static QString dialogName(Dialog dialog);

 private:
  struct Answer {
    explicit Answer(Dialog answered, long answer = ModalResponseCancel)
        : dialog(answered), response(answer) {}
    Dialog dialog;
    long response;
    QString buttonTitle;
    QList<QUrl> urls;
    std::optional<QColor> color;
    std::optional<QFont> font;
    std::function<void(QWidget*)> panelAction;
    std::function<void(QPrinter&)> printAction;
  };

  // The next answer when it is for `dialog`; otherwise reports the dialog as
  // unexpected and returns a cancelling answer.
  Answer take(Dialog dialog, const QString& description);
  void record(Shown shown, bool sheet, QWidget* window);
  long alertResponse(const AlertRequest& request);
  FilePanelResult panelResult(Dialog dialog, const FilePanelRequest& request,
                              const QString& description);
  void complete(std::function<void()> completion);

  ModalServices* previous_ = nullptr;
  QQueue<Answer> answers_;
  QList<Shown> shown_;
  bool sheetsCompleteLater_ = false;
  std::function<void(const QString&)> unexpected_;
  FontHandler fontPanel_;
  std::function<void(const QColor&)> colorPanel_;
};

}  // namespace ui
