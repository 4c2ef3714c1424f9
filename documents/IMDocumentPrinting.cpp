// Printing and PDF of IMDocument: the canvas drawn by the model through a
// print operation with the document's print info, fitted to the paper
// without margins for printing, or as one page of the canvas's size.
#include <QtGlobal>
#include <memory>

#include "appkit/ModalServices.h"
#include "appkit/PrintOperation.h"
#include "documents/IMDocument.h"
#include "foundation/Localized.h"
#include "foundation/UndoManager.h"
#include "graphics/CompositingOperation.h"
#include "graphics/GraphicsContext.h"
#include "graphics/Image.h"
#include "imageio/TypeIdentifiers.h"
#include "model/ComposedImage.h"
#include "model/CompositionSnapshot.h"

ui::PrintInfoPtr IMDocument::printInfo() {
  if (!printInfo_) printInfo_ = ui::PrintInfo::make();
  return printInfo_;
}

void IMDocument::setPrintInfo(ui::PrintInfoPtr printInfo) {
  ui::PrintInfoPtr previous = this->printInfo();
  undoManager()->registerUndoWithTarget(this, [this, previous] { setPrintInfo(previous); });
  printInfo_ = std::move(printInfo);
  undoManager()->setActionName(fnd::localized("print settings"));
}

void IMDocument::printDocument(QObject*) { printShowingPrintPanel(true); }

ui::PrintOperation::DrawingHandler IMDocument::canvasDrawing(bool keepsAlpha) {
  // The canvas as it is when the operation starts, whenever the pages draw.
  return ExportSnapshot::pageDrawing(CompositionSnapshot::make(composedImage()), keepsAlpha);
}

void IMDocument::printShowingPrintPanel(bool flag) {
  ComposedImage* image = composedImage();
  const QRectF rect = image ? image->rect() : QRectF();
  // The canvas fills the paper: the print info itself is changed, as the
  // user's later print settings start from it.
  ui::PrintInfoPtr info = printInfo();
  info->setHorizontalPagination(ui::PrintInfo::FitPagination);
  info->setVerticalPagination(ui::PrintInfo::FitPagination);
  info->setTopMargin(0);
  info->setBottomMargin(0);
  info->setLeftMargin(0);
  info->setRightMargin(0);
  printOperation_ = ui::PrintOperation::printOperation(rect, canvasDrawing(false), info);
  printOperation_->setShowsPrintPanel(flag);
  printOperation_->setCanSpawnSeparateThread(false);
  printOperation_->setPrintPanelOptions(
      printOperation_->printPanelOptions() | ui::PrintPanelShowsPaperSize |
      ui::PrintPanelShowsOrientation | ui::PrintPanelShowsScaling);
  if (QWidget* window = appropriateWindowForDocModalOperations())
    printOperation_->runOperationModalForWindow(window, {});
  else
    printOperation_->runOperation();
}

QByteArray IMDocument::PDFRepresentationOfFinalImage(bool keepsAlpha) {
  QByteArray data;
  ExportSnapshot::Ptr snapshot = ExportSnapshot::make(composedImage(), io::TypePDF, keepsAlpha,
                                                      savedMetaAndOptions(), printInfo());
  return snapshot && snapshot->encode(&data) ? data : QByteArray();
}

QByteArray IMDocument::PDFRepresentationOfFinalImage() {
  return PDFRepresentationOfFinalImage(savedFileKeepsAlpha());
}
