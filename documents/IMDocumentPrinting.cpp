// Printing of IMDocument: the canvas drawn by the model onto the printer's
// page, scaled to fit it whole, after the print panel when asked for.
#include <QPainter>
#include <QPrinter>
#include <memory>

#include "appkit/ModalServices.h"
#include "documents/IMDocument.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"

namespace {

constexpr unsigned kPanelOptions = ui::PrintPanelShowsCopies | ui::PrintPanelShowsPageRange |
                                   ui::PrintPanelShowsPaperSize | ui::PrintPanelShowsOrientation |
                                   ui::PrintPanelShowsScaling;

}  // namespace

void IMDocument::printDocument(QObject*) { printShowingPrintPanel(true); }

bool IMDocument::printOnPrinter(QPrinter& printer) {
  ComposedImage* image = composedImage();
  const QRectF canvas = image ? image->rect() : QRectF();
  if (canvas.isEmpty()) return false;
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  // Fit both ways, margins 0: the canvas is as large as the page allows.
  const QRectF page = printer.pageLayout().fullRectPixels(printer.resolution());
  const double scale = std::min(page.width() / canvas.width(), page.height() / canvas.height());
  painter.translate((page.width() - canvas.width() * scale) / 2,
                    (page.height() - canvas.height() * scale) / 2);
  painter.scale(scale, scale);
  std::unique_ptr<gfx::GraphicsContext> context =
      gfx::GraphicsContext::forPainter(&painter, canvas.size());
  {
    gfx::CurrentContextScope scope(context.get());
    viewDrawingRect(canvas, true, false);
  }
  context.reset();
  return painter.end();
}

void IMDocument::printShowingPrintPanel(bool flag) {
  auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
  printer->setFullPage(true);
  printer->setPageMargins(QMarginsF(0, 0, 0, 0));
  printer->setDocName(displayName());
  QWidget* window = appropriateWindowForDocModalOperations();
  if (!flag) {
    printOnPrinter(*printer);
    return;
  }
  if (window) {
    ui::ModalServices::shared().beginPrintPanelSheet(*printer, kPanelOptions, window,
                                                     [this, printer](long response) {
                                                       if (response == ui::ModalResponseOK)
                                                         printOnPrinter(*printer);
                                                     });
    return;
  }
  if (ui::ModalServices::shared().runPrintPanel(*printer, kPanelOptions, nullptr) ==
      ui::ModalResponseOK)
    printOnPrinter(*printer);
}
