// Printing and PDF output of a drawing. The drawing is a rectangle of the
// caller's coordinates (points, y up) drawn through a handler on a gfx
// drawing context. A print operation lays it out on the print info's paper
// (fit, automatic or clipped pagination) and prints it through QPrinter,
// after the print panel when asked, to a printer or, for a saved job, to a
// PDF file; a PDF operation writes one page of exactly the rectangle's size
// through QPdfWriter into bytes, without a panel. Always on the main thread.
#pragma once

#include <QByteArray>
#include <QRectF>
#include <functional>
#include <memory>

#include "appkit/PrintInfo.h"

class QPrinter;
class QWidget;

namespace gfx {
class GraphicsContext;
}

namespace ui {

class PrintOperation {
 public:
  // Draws `rect` (the part needed now) in the drawing's own coordinates.
  using DrawingHandler = std::function<void(gfx::GraphicsContext& context, const QRectF& rect)>;

  static std::unique_ptr<PrintOperation> printOperation(const QRectF& bounds, DrawingHandler draw,
                                                        PrintInfoPtr printInfo);
  // The PDF goes into `data` when the operation runs; `data` must outlive it.
  static std::unique_ptr<PrintOperation> PDFOperation(const QRectF& insideRect, DrawingHandler draw,
                                                      QByteArray* data, PrintInfoPtr printInfo);
  ~PrintOperation();

  PrintInfoPtr printInfo() const { return info_; }
  bool showsPrintPanel() const { return showsPanel_; }
  void setShowsPrintPanel(bool shows) { showsPanel_ = shows; }
  // Printing never leaves the main thread; kept for callers that say so.
  void setCanSpawnSeparateThread(bool) {}
  // PrintPanelOption bits added to the panel's own controls.
  unsigned printPanelOptions() const { return panelOptions_; }
  void setPrintPanelOptions(unsigned options) { panelOptions_ = options; }
  // How many pages the last run produced.
  int pageCount() const { return pages_; }

  // False when the panel was cancelled or nothing could be printed.
  bool runOperation(QWidget* parent = nullptr);
  // The panel as a sheet on `window`; `done` (may be empty) gets the result.
  // The operation must outlive the sheet.
  void runOperationModalForWindow(QWidget* window, std::function<void(bool success)> done);

  // The scale and the pages a drawing of `size` takes on `printable` (the
  // paper less its margins), by the pagination modes and scaling factor of
  // `info`: fit shrinks to one page along its axis, automatic tiles pages,
  // clip keeps the first. Exposed for tests.
  struct Layout {
    double scale = 1;
    int columns = 1, rows = 1;
    QPointF offset;  // of the drawing on the first page, from the top left
  };
  static Layout layoutFor(QSizeF size, QSizeF printable, const PrintInfo& info);

 private:
  PrintOperation(const QRectF& bounds, DrawingHandler draw, PrintInfoPtr info, QByteArray* data);
  void configurePrinter(QPrinter& printer) const;
  bool printWith(QPrinter& printer);
  bool writePDF();

  QRectF bounds_;
  DrawingHandler draw_;
  PrintInfoPtr info_;
  QByteArray* data_ = nullptr;
  bool showsPanel_ = true;
  unsigned panelOptions_ = 0;
  int pages_ = 0;
  std::unique_ptr<QPrinter> printer_;
};

}  // namespace ui
