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
#include "model/ComposedImage.h"
#include "model/Layer.h"

namespace {

bool isSourceOver(qint64 operation) {
  // Values outside the known operations draw source-over.
  return operation == qint64(gfx::CompositingOperation::SourceOver) || operation < 0 ||
         operation > qint64(gfx::CompositingOperation::Luminosity);
}

// PDF pages and printers composite source-over only and cannot read back
// what a page already shows, so a layer drawn with any other operation
// would come out as if drawn source-over.
bool pageCompositesEveryLayer(ComposedImage& image) {
  for (Layer* layer : image.layersArray()) {
    if (!layer->visible()) continue;
    if (!isSourceOver(layer->compositingOperation())) return false;
    if (layer->hasNotEmptyImageAccumulator() &&
        !isSourceOver(qint64(layer->accumulatorCompositingOperation())))
      return false;
  }
  return true;
}

}  // namespace

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
  // A document the page cannot composite is flattened by the model, as the
  // image export flattens it, once for all the pages of the operation.
  auto flattened = std::make_shared<gfx::ImagePtr>();
  return [this, keepsAlpha, flattened](gfx::GraphicsContext& context, const QRectF& rect) {
    gfx::CurrentContextScope scope(&context);
    ComposedImage* image = composedImage();
    if (image && !pageCompositesEveryLayer(*image)) {
      if (!*flattened) *flattened = image->finalImageKeepAlpha(keepsAlpha);
      if (!*flattened) return;
      context.saveGState();
      context.clipToRect(rect);
      (*flattened)->drawAtPoint(image->rect().topLeft());
      context.restoreGState();
      return;
    }
    if (!keepsAlpha) context.fillRect(rect, Qt::white, gfx::CompositingOperation::SourceOver);
    viewDrawingRect(rect, true, false);
  };
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
  ComposedImage* image = composedImage();
  const QRectF rect = image ? image->rect() : QRectF();
  if (rect.isEmpty()) return {};
  QByteArray data;
  auto operation =
      ui::PrintOperation::PDFOperation(rect, canvasDrawing(keepsAlpha), &data, printInfo());
  operation->setShowsPrintPanel(false);
  return operation->runOperation() ? data : QByteArray();
}

QByteArray IMDocument::PDFRepresentationOfFinalImage() {
  return PDFRepresentationOfFinalImage(savedFileKeepsAlpha());
}
