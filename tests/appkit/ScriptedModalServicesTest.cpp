#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPrinter>

#include "TestSupport.h"
#include "appkit/ScriptedModalServices.h"
#include "foundation/Error.h"

namespace {

using Dialog = ui::ScriptedModalServices::Dialog;

ui::AlertRequest threeButtons() {
  ui::AlertRequest request;
  request.messageText = "You like Tessaly?";
  request.buttons = {"I want to give a rating", "Don't ask again", "Remind me later"};
  return request;
}

TEST(ScriptedModalServices, AnswersEachDialogInOrderAndRecordsWhatItShowed) {
  ui::ScriptedModalServices scripted;
  ASSERT_EQ(&ui::ModalServices::shared(), &scripted);
  scripted.answerAlert(ui::AlertSecondButtonReturn);
  scripted.answerAlertWithButton("Remind me later");
  QLineEdit accessory;
  scripted.answerSavePanel(QUrl::fromLocalFile("/tmp/out.png"),
                           [](QWidget* view) { static_cast<QLineEdit*>(view)->setText("92"); });
  scripted.cancel(Dialog::OpenPanel);
  scripted.answerColorPanel(QColor(10, 20, 30, 40));
  scripted.answerPrintPanel(ui::ModalResponseOK, [](QPrinter& p) { p.setCopyCount(3); });

  ui::ModalServices& modal = ui::ModalServices::shared();
  EXPECT_EQ(modal.runAlert(threeButtons(), nullptr), ui::AlertSecondButtonReturn);
  EXPECT_EQ(modal.runAlert(threeButtons(), nullptr), ui::AlertThirdButtonReturn);
  ui::SavePanelRequest save;
  save.allowedFileTypes = {"public.png"};
  save.accessoryView = &accessory;
  ui::FilePanelResult saved = modal.runSavePanel(save, nullptr);
  EXPECT_EQ(saved.response, ui::ModalResponseOK);
  EXPECT_EQ(saved.url(), QUrl::fromLocalFile("/tmp/out.png"));
  EXPECT_EQ(accessory.text(), "92");
  EXPECT_EQ(modal.runOpenPanel({}, nullptr).response, ui::ModalResponseCancel);
  QColor live;
  ui::ColorPanelRequest colour;
  colour.colorChanged = [&](const QColor& c) { live = c; };
  EXPECT_EQ(modal.runColorPanel(colour, nullptr), QColor(10, 20, 30, 40));
  EXPECT_EQ(live, QColor(10, 20, 30, 40));
  QPrinter printer;
  EXPECT_EQ(modal.runPrintPanel(printer, ui::PrintPanelShowsScaling, nullptr), ui::ModalResponseOK);
  EXPECT_EQ(printer.copyCount(), 3);

  EXPECT_EQ(scripted.pendingAnswers(), 0);
  ASSERT_EQ(scripted.shown().size(), 6);
  EXPECT_EQ(scripted.shown()[0].alert.buttons.size(), 3);
  EXPECT_EQ(scripted.shown()[2].save.allowedFileTypes, QStringList{"public.png"});
  EXPECT_EQ(scripted.shown()[5].printOptions, unsigned(ui::PrintPanelShowsScaling));
}

TEST(ScriptedModalServices, UnexpectedDialogsAreReportedAndCancelledWithoutWaiting) {
  ui::ScriptedModalServices scripted;
  QStringList reports;
  scripted.setUnexpectedDialogHandler([&](const QString& d) { reports << d; });
  ui::ModalServices& modal = ui::ModalServices::shared();

  // Nothing scripted, a button the alert lacks, a different dialog scripted.
  EXPECT_EQ(modal.runAlert(threeButtons(), nullptr), ui::ModalResponseCancel);
  scripted.answerAlertWithButton("Save");
  EXPECT_EQ(modal.runAlert(threeButtons(), nullptr), ui::ModalResponseCancel);
  scripted.answerOpenPanel({QUrl::fromLocalFile("/tmp/a.png")});
  EXPECT_EQ(modal.runSavePanel({}, nullptr).response, ui::ModalResponseCancel);
  EXPECT_EQ(modal.runFontPanel(QFont(), nullptr), std::nullopt);

  ASSERT_EQ(reports.size(), 4);
  EXPECT_TRUE(reports[0].contains("You like Tessaly?")) << reports[0].toStdString();
  EXPECT_TRUE(reports[1].contains("\"Save\"")) << reports[1].toStdString();
  EXPECT_TRUE(reports[2].contains("save panel") && reports[2].contains("open panel"))
      << reports[2].toStdString();
  // The open panel answer stays queued for the open panel.
  EXPECT_EQ(scripted.pendingAnswers(), 1);
}

TEST(ScriptedModalServices, SheetsCompleteAtOnceOrFromTheEventLoop) {
  ui::ScriptedModalServices scripted;
  ui::ModalServices& modal = ui::ModalServices::shared();
  QWidget window;
  long response = -1;
  scripted.answerAlertWithButton("OK");
  modal.beginAlertSheet(ui::AlertRequest::fromError(fnd::Error::withDescription("d", 1, "broke")),
                        &window, [&](long r) { response = r; });
  EXPECT_EQ(response, ui::AlertFirstButtonReturn);
  EXPECT_TRUE(scripted.shown().last().sheet);
  EXPECT_EQ(scripted.shown().last().window, &window);
  EXPECT_EQ(scripted.shown().last().alert.messageText, "broke");

  scripted.setSheetsCompleteLater(true);
  QUrl chosen;
  scripted.answerSavePanel(QUrl::fromLocalFile("/tmp/b.zova"));
  modal.beginSavePanelSheet({}, &window, [&](const ui::FilePanelResult& r) { chosen = r.url(); });
  EXPECT_TRUE(chosen.isEmpty());
  EXPECT_TRUE(tst::spinUntil([&] { return !chosen.isEmpty(); }));
  EXPECT_EQ(chosen, QUrl::fromLocalFile("/tmp/b.zova"));
}

TEST(ScriptedModalServices, LeavingRestoresTheServicesSharedBefore) {
  ui::ModalServices* dialogs = &ui::ModalServices::shared();
  {
    ui::ScriptedModalServices outer;
    {
      ui::ScriptedModalServices inner;
      EXPECT_EQ(&ui::ModalServices::shared(), &inner);
    }
    EXPECT_EQ(&ui::ModalServices::shared(), &outer);
  }
  EXPECT_EQ(&ui::ModalServices::shared(), dialogs);
}

}  // namespace

namespace {

TEST(ScriptedModalServices, FloatingPanelsTakeNoAnswerAndPassChoicesOn) {
  ui::ScriptedModalServices scripted;
  EXPECT_FALSE(scripted.chooseFont(QFont("DejaVu Serif")));
  QStringList families;
  ui::ModalServices::shared().orderFrontFontPanel(QFont("DejaVu Sans"),
                                                  [&](const QFont& f) { families << f.family(); });
  EXPECT_TRUE(scripted.chooseFont(QFont("DejaVu Serif")));
  EXPECT_EQ(families, QStringList{"DejaVu Serif"});
  ASSERT_EQ(scripted.shown().size(), 1);
  EXPECT_TRUE(scripted.shown()[0].floating);
  EXPECT_EQ(scripted.shown()[0].font.family(), "DejaVu Sans");
  EXPECT_EQ(scripted.pendingAnswers(), 0);
}

}  // namespace
