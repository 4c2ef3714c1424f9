#include <gtest/gtest.h>

#include <QDir>

#include "TestSupport.h"
#include "TextDocument.h"
#include "appkit/Application.h"
#include "appkit/PrintOperation.h"
#include "appkit/ScriptedModalServices.h"
#include "graphics/GraphicsContext.h"

namespace {

class DrawingDocument : public apptest::TextDocument {
 public:
  std::unique_ptr<ui::PrintOperation> printOperationWithSettings(const QVariantMap& settings,
                                                                 fnd::Error* error) override {
    if (!printable) return TextDocument::printOperationWithSettings(settings, error);
    auto draw = [](gfx::GraphicsContext& context, const QRectF&) {
      context.fillRect(QRectF(0, 0, 400, 200), Qt::red);
    };
    return ui::PrintOperation::printOperation(QRectF(0, 0, 400, 200), draw, printInfo());
  }
  bool printable = true;
};

}  // namespace

// The Print command runs the document's operation after the print panel,
// here into a PDF file; a document with nothing to print says so.
TEST(Document, PrintCommandRunsTheDocumentsOperation) {
  apptest::TextDocumentController controller;
  controller.setDocumentClass([] { return std::make_unique<DrawingDocument>(); });
  ui::ScriptedModalServices modal;
  fnd::Error error;
  auto* doc =
      static_cast<DrawingDocument*>(controller.openUntitledDocumentAndDisplay(true, &error));
  ASSERT_TRUE(doc);
  const QString pdf = tst::tempPath("printed.pdf");
  doc->printInfo()->setJobDisposition(ui::PrintInfo::SaveJob);
  doc->printInfo()->setJobSavingURL(QUrl::fromLocalFile(pdf));

  modal.answerPrintPanel(ui::ModalResponseOK);
  EXPECT_TRUE(ui::Application::sharedApplication()->sendAction("printDocument:"));
  ASSERT_TRUE(tst::spinUntil([&] { return QFileInfo(pdf).size() > 0; }));
  EXPECT_TRUE(apptest::readFile(pdf).startsWith("%PDF-"));
  tst::saveArtifact(pdf, "appkit-document-print.pdf");
  if (tst::haveTool("pdfinfo")) {
    QString output;
    EXPECT_EQ(tst::runTool("pdfinfo", {pdf}, &output), 0) << output.toStdString();
  }

  doc->printable = false;
  modal.answerAlert(ui::AlertFirstButtonReturn);
  doc->printDocument(nullptr);
  ASSERT_EQ(modal.shown().last().dialog, ui::ScriptedModalServices::Dialog::Alert);
  EXPECT_EQ(modal.shown().last().alert.messageText,
            "The document “Untitled” has nothing to print.");
  EXPECT_EQ(modal.pendingAnswers(), 0);
}
