// Printing draws the canvas on the page the user set up, fitted whole.
#include <gtest/gtest.h>

#include <QPrinter>
#include <QRegularExpression>

#include "DocumentsTestSupport.h"
#include "TestSupport.h"
#include "appkit/ScriptedModalServices.h"
#include "documents/IMDocument.h"
#include "foundation/UndoManager.h"
#include "model/ComposedImage.h"

TEST(Print, PanelChoicesReachThePrintedPage) {
  if (!tst::haveTool("pdfinfo")) GTEST_SKIP() << "pdfinfo is not installed";
  IMDocument document;
  ASSERT_TRUE(document.initWithType(IMNativeDocumentType, nullptr));
  doctest::fillWithThreeLayers(document.composedImage(), document.managedObjectContext());
  const QString path = tst::tempPath("printed.pdf");
  ui::ScriptedModalServices dialogs;
  // The user prints to a file on A5 in landscape.
  dialogs.answerPrintPanel(ui::ModalResponseOK, [&](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A5));
    printer.setPageOrientation(QPageLayout::Landscape);
  });
  document.printShowingPrintPanel(true);
  ASSERT_EQ(dialogs.shown().size(), 1);
  EXPECT_TRUE(dialogs.shown().first().printOptions & ui::PrintPanelShowsScaling);
  EXPECT_TRUE(dialogs.shown().first().printOptions & ui::PrintPanelShowsPaperSize);
  EXPECT_TRUE(dialogs.shown().first().printOptions & ui::PrintPanelShowsOrientation);
  tst::saveArtifact(path, "documents-printed-a5-landscape.pdf");
  QString output;
  ASSERT_EQ(tst::runTool("pdfinfo", {path}, &output), 0) << output.toStdString();
  EXPECT_TRUE(output.contains(QRegularExpression("Pages:\\s+1\\b"))) << output.toStdString();
  EXPECT_TRUE(output.contains(QRegularExpression("Page size:\\s+595 x 420 pts")))
      << output.toStdString();

  // The PDF of the document itself is one page of the canvas size.
  const QByteArray pdf = document.PDFRepresentationOfFinalImage();
  EXPECT_TRUE(pdf.startsWith("%PDF-"));
}

TEST(Print, PrintSettingsAreUndoable) {
  IMDocument document;
  ASSERT_TRUE(document.initWithType(IMNativeDocumentType, nullptr));
  ui::PrintInfoPtr before = document.printInfo();
  ui::PrintInfoPtr landscape = before->copy();
  landscape->setOrientation(ui::PrintInfo::LandscapeOrientation);
  document.undoManager()->beginUndoGrouping();
  document.setPrintInfo(landscape);
  document.undoManager()->endUndoGrouping();
  EXPECT_EQ(document.printInfo(), landscape);
  EXPECT_EQ(document.undoManager()->undoActionName(), "print settings");
  document.undoManager()->undo();
  EXPECT_EQ(document.printInfo(), before);
}
