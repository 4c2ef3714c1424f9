// Printing draws the canvas on the page the user set up, fitted whole.
#include <gtest/gtest.h>

#include <QPrinter>
#include <QRegularExpression>

#include "DocumentsTestSupport.h"
#include "TestSupport.h"
#include "appkit/ScriptedModalServices.h"
#include "documents/IMDocument.h"
#include "foundation/UndoManager.h"
#include "graphics/CompositingOperation.h"
#include "imageio/TypeIdentifiers.h"
#include "model/ComposedImage.h"
#include "model/Layer.h"

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

namespace {

QImage exportedPNG(IMDocument& document, bool keepAlpha, const QString& name) {
  const QString path = tst::tempPath(name);
  fnd::Error error;
  EXPECT_TRUE(
      document.savetoBitmapFileType(io::TypePNG, QUrl::fromLocalFile(path), keepAlpha, &error))
      << error.localizedDescription().toStdString();
  bool hasAlpha = false;
  return doctest::decodedByPIL(path, &hasAlpha);
}

// The page of `pdf` shows `expected` within 1/255, from images stored
// without loss.
void expectPageShows(const QString& pdf, const QImage& expected, bool transparent) {
  EXPECT_LE(doctest::largestDifference(expected, doctest::rasterisedPDF(pdf, transparent)), 1);
  QString images;
  ASSERT_EQ(tst::runTool("pdfimages", {"-list", pdf}, &images), 0);
  EXPECT_FALSE(images.contains(" jpeg ")) << images.toStdString();
}

// Prints `document` into a PDF file whose paper is exactly the canvas.
QString printedOnCanvasSizedPaper(IMDocument& document, const QString& name) {
  const QString path = tst::tempPath(name);
  ui::ScriptedModalServices dialogs;
  dialogs.answerPrintPanel(ui::ModalResponseOK, [&](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QSizeF(64, 48), QPageSize::Point, {}, QPageSize::ExactMatch));
    printer.setPageOrientation(QPageLayout::Portrait);
  });
  document.printShowingPrintPanel(true);
  return path;
}

}  // namespace

// The PDF and the printed page show the pixels of the PNG export: the page
// engines composite source-over only, so a multiply layer must not reach
// them as such, and layer pixels must not be stored lossily.
TEST(Print, PDFAndPrintedPageShowThePixelsOfThePNGExport) {
  for (const char* tool : {"pdftocairo", "pdfimages"})
    if (!tst::haveTool(tool)) GTEST_SKIP() << tool << " is not installed";
  for (bool multiply : {false, true}) {
    SCOPED_TRACE(multiply ? "multiply" : "source-over");
    IMDocument document;
    ASSERT_TRUE(document.initWithType(IMNativeDocumentType, nullptr));
    doctest::fillWithThreeLayers(document.composedImage(), document.managedObjectContext());
    // The half-transparent blue square multiplies the red band below it.
    if (multiply)
      document.composedImage()->layersArray()[1]->setCompositingOperation(
          int(gfx::CompositingOperation::Multiply));
    const QString kind = multiply ? "multiply" : "source-over";
    for (bool keepAlpha : {true, false}) {
      SCOPED_TRACE(keepAlpha ? "alpha kept" : "alpha dropped");
      const QString name =
          QStringLiteral("pdf-pixels-%1-%2").arg(kind, keepAlpha ? "kept" : "dropped");
      const QString pdf = tst::tempPath(name + ".pdf");
      ASSERT_TRUE(
          document.savetoBitmapFileType(io::TypePDF, QUrl::fromLocalFile(pdf), keepAlpha, nullptr));
      tst::saveArtifact(pdf, "documents-" + name + ".pdf");
      expectPageShows(pdf, exportedPNG(document, keepAlpha, name + ".png"), true);
    }
    // Paper is white: the printed page matches the export without alpha.
    const QString printed = printedOnCanvasSizedPaper(document, "printed-" + kind + ".pdf");
    tst::saveArtifact(printed, "documents-printed-" + kind + ".pdf");
    expectPageShows(printed, exportedPNG(document, false, "printed-" + kind + ".png"), false);
  }
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
