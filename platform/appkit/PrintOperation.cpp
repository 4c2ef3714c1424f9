#include "appkit/PrintOperation.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <cmath>

#include "appkit/ModalServices.h"
#include "graphics/GraphicsContext.h"

namespace ui {

namespace {

int pagesAlong(double length, double page) {
  return std::max(1, int(std::ceil(length / page - 1e-9)));
}

// Pages carry the document's pixels as they are: images go into the PDF
// stream compressed without loss, never as JPEG.
void keepImagesLossless(QPainter& painter) {
  painter.setRenderHint(QPainter::LosslessImageRendering);
}

// Draws through `draw` with a context over `bounds`, current while it runs.
void drawOn(QPainter& painter, const QRectF& bounds, const QRectF& part,
            const PrintOperation::DrawingHandler& draw) {
  keepImagesLossless(painter);
  std::unique_ptr<gfx::GraphicsContext> context =
      gfx::GraphicsContext::forPainter(&painter, bounds.size());
  if (!context) return;
  context->translateCTM(-bounds.x(), -bounds.y());
  gfx::GraphicsContext::pushCurrent(context.get());
  draw(*context, part);
  gfx::GraphicsContext::popCurrent();
}

}  // namespace

PrintOperation::PrintOperation(const QRectF& bounds, DrawingHandler draw, PrintInfoPtr info,
                               QByteArray* data)
    : bounds_(bounds),
      draw_(std::move(draw)),
      info_(info ? std::move(info) : PrintInfo::make()),
      data_(data) {}

PrintOperation::~PrintOperation() = default;

std::unique_ptr<PrintOperation> PrintOperation::printOperation(const QRectF& bounds,
                                                               DrawingHandler draw,
                                                               PrintInfoPtr printInfo) {
  return std::unique_ptr<PrintOperation>(
      new PrintOperation(bounds, std::move(draw), std::move(printInfo), nullptr));
}

std::unique_ptr<PrintOperation> PrintOperation::PDFOperation(const QRectF& insideRect,
                                                             DrawingHandler draw, QByteArray* data,
                                                             PrintInfoPtr printInfo) {
  auto operation = std::unique_ptr<PrintOperation>(
      new PrintOperation(insideRect, std::move(draw), std::move(printInfo), data));
  operation->showsPanel_ = false;
  return operation;
}

PrintOperation::Layout PrintOperation::layoutFor(QSizeF size, QSizeF printable,
                                                 const PrintInfo& info) {
  Layout layout;
  if (size.isEmpty() || printable.isEmpty()) return layout;
  layout.scale = info.scalingFactor();
  if (info.horizontalPagination() == PrintInfo::FitPagination)
    layout.scale = std::min(layout.scale, printable.width() / size.width());
  if (info.verticalPagination() == PrintInfo::FitPagination)
    layout.scale = std::min(layout.scale, printable.height() / size.height());
  const QSizeF drawn = size * layout.scale;
  if (info.horizontalPagination() == PrintInfo::AutoPagination)
    layout.columns = pagesAlong(drawn.width(), printable.width());
  if (info.verticalPagination() == PrintInfo::AutoPagination)
    layout.rows = pagesAlong(drawn.height(), printable.height());
  if (layout.columns == 1 && info.isHorizontallyCentered() && drawn.width() < printable.width())
    layout.offset.setX((printable.width() - drawn.width()) / 2);
  if (layout.rows == 1 && info.isVerticallyCentered() && drawn.height() < printable.height())
    layout.offset.setY((printable.height() - drawn.height()) / 2);
  return layout;
}

void PrintOperation::configurePrinter(QPrinter& printer) const {
  if (info_->jobDisposition() == PrintInfo::SaveJob) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(info_->jobSavingURL().toLocalFile());
  }
  printer.setCreator(QStringLiteral("Tessaly"));
  const QPageSize paper(info_->paperSize(), QPageSize::Point, QString(), QPageSize::FuzzyMatch);
  const QMarginsF margins(info_->leftMargin(), info_->topMargin(), info_->rightMargin(),
                          info_->bottomMargin());
  printer.setFullPage(false);
  printer.setPageLayout(QPageLayout(paper,
                                    info_->orientation() == PrintInfo::LandscapeOrientation
                                        ? QPageLayout::Landscape
                                        : QPageLayout::Portrait,
                                    margins, QPageLayout::Point));
}

bool PrintOperation::printWith(QPrinter& printer) {
  pages_ = 0;
  if (bounds_.isEmpty() || !draw_) return false;
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  // The printer's options (orientation, paper) as the panel left them.
  const QSizeF printable = printer.pageLayout().paintRect(QPageLayout::Point).size();
  const Layout layout = layoutFor(bounds_.size(), printable, *info_);
  const double pointScale = printer.resolution() / 72.0;
  for (int row = 0; row < layout.rows; ++row)
    for (int column = 0; column < layout.columns; ++column) {
      if (pages_ > 0 && !printer.newPage()) return false;
      painter.save();
      painter.scale(pointScale, pointScale);
      painter.setClipRect(QRectF(QPointF(), printable));
      const QPointF origin(layout.offset.x() - column * printable.width(),
                           layout.offset.y() - row * printable.height());
      painter.translate(origin);
      painter.scale(layout.scale, layout.scale);
      // The part of the drawing on this page, y up from the drawing's bottom.
      const QRectF page(-origin / layout.scale, printable / layout.scale);
      const QRectF part(bounds_.x() + page.x(), bounds_.bottom() - page.bottom(), page.width(),
                        page.height());
      drawOn(painter, bounds_, part.intersected(bounds_), draw_);
      painter.restore();
      ++pages_;
    }
  return painter.end();
}

bool PrintOperation::writePDF() {
  pages_ = 0;
  if (bounds_.isEmpty() || !draw_ || !data_) return false;
  data_->clear();
  QBuffer buffer(data_);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setCreator(QStringLiteral("Tessaly"));
    writer.setPageLayout(
        QPageLayout(QPageSize(bounds_.size(), QPageSize::Point, QString(), QPageSize::ExactMatch),
                    QPageLayout::Portrait, QMarginsF(), QPageLayout::Point));
    std::unique_ptr<gfx::GraphicsContext> context = gfx::GraphicsContext::forPDF(&writer);
    if (!context) return false;
    keepImagesLossless(*context->painter());
    context->translateCTM(-bounds_.x(), -bounds_.y());
    gfx::GraphicsContext::pushCurrent(context.get());
    draw_(*context, bounds_);
    gfx::GraphicsContext::popCurrent();
  }
  pages_ = 1;
  return !data_->isEmpty();
}

bool PrintOperation::runOperation(QWidget* parent) {
  if (data_) return writePDF();
  printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  configurePrinter(*printer_);
  if (showsPanel_ &&
      ModalServices::shared().runPrintPanel(*printer_, panelOptions_, parent) != ModalResponseOK)
    return false;
  return printWith(*printer_);
}

void PrintOperation::runOperationModalForWindow(QWidget* window, std::function<void(bool)> done) {
  if (data_ || !showsPanel_) {
    const bool ok = runOperation(window);
    if (done) done(ok);
    return;
  }
  printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  configurePrinter(*printer_);
  ModalServices::shared().beginPrintPanelSheet(
      *printer_, panelOptions_, window, [this, done = std::move(done)](long response) {
        const bool ok = response == ModalResponseOK && printWith(*printer_);
        if (done) done(ok);
      });
}

}  // namespace ui
