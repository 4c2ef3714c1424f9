#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QWidget>

#include "TestSupport.h"
#include "appkit/PrintOperation.h"
#include "appkit/ScriptedModalServices.h"
#include "graphics/GraphicsContext.h"

namespace {

const QColor Red(255, 0, 0), Blue(0, 0, 255), Green(0, 255, 0);

// 1600 by 800 points: red left half, blue right half, a green square of 100
// in the bottom-left corner (y grows upwards), offset by `origin`.
ui::PrintOperation::DrawingHandler drawing(QPointF origin, QList<QRectF>* asked = nullptr) {
  return [origin, asked](gfx::GraphicsContext& context, const QRectF& rect) {
    if (asked) asked->append(rect);
    context.fillRect(QRectF(origin, QSizeF(800, 800)), Red);
    context.fillRect(QRectF(origin + QPointF(800, 0), QSizeF(800, 800)), Blue);
    context.fillRect(QRectF(origin, QSizeF(100, 100)), Green);
  };
}

QString pdfinfo(const QString& path) {
  QString report;
  EXPECT_EQ(tst::runTool("pdfinfo", {path}, &report), 0) << report.toStdString();
  return report;
}

// The first page at `dpi`, rendered by poppler's own tool.
QImage renderPage(const QString& pdf, int dpi) {
  const QString prefix = tst::tempPath(QFileInfo(pdf).baseName());
  QString output;
  EXPECT_EQ(tst::runTool("pdftoppm",
                         {"-r", QString::number(dpi), "-png", "-singlefile", pdf, prefix}, &output),
            0)
      << output.toStdString();
  return QImage(prefix + ".png").convertToFormat(QImage::Format_RGB32);
}

void expectColour(const QImage& page, QPointF at, const QColor& expected) {
  const QColor got = page.pixelColor(at.toPoint());
  EXPECT_NEAR(got.red(), expected.red(), 8) << at.x() << "," << at.y();
  EXPECT_NEAR(got.green(), expected.green(), 8) << at.x() << "," << at.y();
  EXPECT_NEAR(got.blue(), expected.blue(), 8) << at.x() << "," << at.y();
}

bool needTools() { return tst::haveTool("pdfinfo") && tst::haveTool("pdftoppm"); }

TEST(PrintOperation, PrintsADrawingFittedOnOnePageOfAPDFFile) {
  if (!needTools()) GTEST_SKIP() << "pdfinfo and pdftoppm are needed";
  ui::ScriptedModalServices scripted;
  scripted.answerPrintPanel(ui::ModalResponseOK);
  auto info = ui::PrintInfo::make();
  info->setPaperName("A4");
  for (auto set : {&ui::PrintInfo::setTopMargin, &ui::PrintInfo::setBottomMargin,
                   &ui::PrintInfo::setLeftMargin, &ui::PrintInfo::setRightMargin})
    ((*info).*set)(0);
  info->setHorizontalPagination(ui::PrintInfo::FitPagination);
  info->setVerticalPagination(ui::PrintInfo::FitPagination);
  const QString path = tst::tempPath("printed-drawing.pdf");
  info->setJobDisposition(ui::PrintInfo::SaveJob);
  info->setJobSavingURL(QUrl::fromLocalFile(path));

  auto operation =
      ui::PrintOperation::printOperation(QRectF(0, 0, 1600, 800), drawing(QPointF(0, 0)), info);
  const unsigned options =
      ui::PrintPanelShowsPaperSize | ui::PrintPanelShowsOrientation | ui::PrintPanelShowsScaling;
  operation->setPrintPanelOptions(options);
  ASSERT_TRUE(operation->runOperation());
  EXPECT_EQ(operation->pageCount(), 1);
  ASSERT_EQ(scripted.shown().size(), 1);
  EXPECT_EQ(scripted.shown()[0].printOptions, options);
  tst::saveArtifact(path, "appkit-print-1600x800-fitted-a4.pdf");

  const QString report = pdfinfo(path);
  EXPECT_TRUE(report.contains(QRegularExpression("Pages:\\s+1\\n"))) << report.toStdString();
  EXPECT_TRUE(report.contains(
      QRegularExpression("Page size:\\s+595(\\.\\d+)? x 84[12](\\.\\d+)? pts \\(A4\\)")))
      << report.toStdString();
  // At 36 dpi the page is 297.6 by 420.9 pixels; the drawing, scaled to the
  // page's width, is 148.8 high and centred: it starts 136 pixels down.
  const QImage page = renderPage(path, 36);
  ASSERT_EQ(page.size(), QSize(298, 421));
  expectColour(page, {3, 140}, Red);
  expectColour(page, {145, 210}, Red);
  expectColour(page, {152, 210}, Blue);
  expectColour(page, {294, 280}, Blue);
  expectColour(page, {3, 282}, Green);  // the bottom-left corner
  expectColour(page, {22, 282}, Red);
  expectColour(page, {150, 130}, Qt::white);
  expectColour(page, {150, 290}, Qt::white);
}

TEST(PrintOperation, PDFDataHasOnePageTheSizeOfTheRectangle) {
  if (!needTools()) GTEST_SKIP() << "pdfinfo and pdftoppm are needed";
  QByteArray data;
  QList<QRectF> asked;
  const QRectF rect(100, 50, 1600, 800);
  auto operation =
      ui::PrintOperation::PDFOperation(rect, drawing(rect.topLeft(), &asked), &data, nullptr);
  EXPECT_FALSE(operation->showsPrintPanel());
  ASSERT_TRUE(operation->runOperation());
  EXPECT_EQ(asked, QList<QRectF>{rect});
  const QString path = tst::tempPath("pdf-data.pdf");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(data);
  file.close();

  const QString report = pdfinfo(path);
  EXPECT_TRUE(report.contains(QRegularExpression("Pages:\\s+1\\n"))) << report.toStdString();
  EXPECT_TRUE(report.contains("1600 x 800 pts")) << report.toStdString();
  const QImage page = renderPage(path, 9);  // 200 by 100 pixels
  ASSERT_EQ(page.size(), QSize(200, 100));
  expectColour(page, {2, 97}, Green);
  expectColour(page, {2, 2}, Red);
  expectColour(page, {197, 97}, Blue);
  tst::saveArtifact(path, "appkit-pdf-1600x800-page-the-drawings-size.pdf");
}

TEST(PrintOperation, CancellingThePanelPrintsNothing) {
  ui::ScriptedModalServices scripted;
  scripted.cancel(ui::ScriptedModalServices::Dialog::PrintPanel);
  auto info = ui::PrintInfo::make();
  const QString path = tst::tempPath("cancelled.pdf");
  info->setJobDisposition(ui::PrintInfo::SaveJob);
  info->setJobSavingURL(QUrl::fromLocalFile(path));
  bool drawn = false;
  auto operation = ui::PrintOperation::printOperation(
      QRectF(0, 0, 10, 10), [&](gfx::GraphicsContext&, const QRectF&) { drawn = true; }, info);
  QWidget window;
  bool result = true;
  operation->runOperationModalForWindow(&window, [&](bool ok) { result = ok; });
  EXPECT_FALSE(result);
  EXPECT_FALSE(drawn);
  EXPECT_FALSE(QFile::exists(path));
  ASSERT_EQ(scripted.shown().size(), 1);
  EXPECT_TRUE(scripted.shown()[0].sheet);
}

TEST(PrintOperation, PaginationModesDecideScaleAndPages) {
  using P = ui::PrintInfo;
  struct Case {
    const char* name;
    QSizeF size;
    P::PaginationMode horizontal, vertical;
    double scaling;
    bool centred;
    double scale;
    int columns, rows;
    QPointF offset;
  };
  const QSizeF printable(500, 700);
  const Case cases[] = {
      {"fit wide drawing",
       {1600, 800},
       P::FitPagination,
       P::FitPagination,
       1,
       true,
       500.0 / 1600,
       1,
       1,
       {0, 225}},
      {"fit never enlarges",
       {100, 50},
       P::FitPagination,
       P::FitPagination,
       1,
       true,
       1,
       1,
       1,
       {200, 325}},
      {"automatic tiles",
       {1600, 800},
       P::AutoPagination,
       P::AutoPagination,
       1,
       true,
       1,
       4,
       2,
       {0, 0}},
      {"scaled then tiled",
       {1600, 800},
       P::AutoPagination,
       P::AutoPagination,
       0.25,
       true,
       0.25,
       1,
       1,
       {50, 250}},
      {"clip keeps one page",
       {1600, 800},
       P::ClipPagination,
       P::ClipPagination,
       1,
       true,
       1,
       1,
       1,
       {0, 0}},
      {"fit width only",
       {1000, 2000},
       P::FitPagination,
       P::AutoPagination,
       1,
       false,
       0.5,
       1,
       2,
       {0, 0}},
      {"not centred", {100, 50}, P::FitPagination, P::FitPagination, 1, false, 1, 1, 1, {0, 0}},
  };
  for (const Case& c : cases) {
    P info;
    info.setHorizontalPagination(c.horizontal);
    info.setVerticalPagination(c.vertical);
    info.setScalingFactor(c.scaling);
    info.setHorizontallyCentered(c.centred);
    info.setVerticallyCentered(c.centred);
    const auto layout = ui::PrintOperation::layoutFor(c.size, printable, info);
    EXPECT_DOUBLE_EQ(layout.scale, c.scale) << c.name;
    EXPECT_EQ(layout.columns, c.columns) << c.name;
    EXPECT_EQ(layout.rows, c.rows) << c.name;
    EXPECT_NEAR(layout.offset.x(), c.offset.x(), 1e-9) << c.name;
    EXPECT_NEAR(layout.offset.y(), c.offset.y(), 1e-9) << c.name;
  }
}

}  // namespace
