#include "graphics/PDFImageRep.h"

#include <poppler-qt6.h>

#include <cmath>
#include <mutex>

#include "graphics/GraphicsContext.h"

namespace gfx {
namespace {

// A page rendered larger than this per side is drawn scaled up instead; the
// cap keeps a zoomed-in view from asking poppler for gigabytes.
constexpr int MaxRenderSide = 12000;

}  // namespace

struct PDFImageRep::SharedDocument {
  std::unique_ptr<Poppler::Document> document;
  std::mutex mutex;
};

PDFImageRep::PDFImageRep(QByteArray data, std::shared_ptr<SharedDocument> document)
    : data_(std::move(data)), document_(std::move(document)) {
  setSize(bounds().size());
}

PDFImageRep::~PDFImageRep() = default;

std::shared_ptr<PDFImageRep> PDFImageRep::imageRepWithData(const QByteArray& pdf,
                                                           fnd::Error* error) {
  std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(pdf);
  if (!document || document->isLocked() || document->numPages() < 1) {
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
              document && document->isLocked()
                  ? QStringLiteral("The PDF document is protected by a password.")
                  : QStringLiteral("The data is not a readable PDF document."));
    return nullptr;
  }
  document->setRenderHint(Poppler::Document::Antialiasing, true);
  document->setRenderHint(Poppler::Document::TextAntialiasing, true);
  auto shared = std::make_shared<SharedDocument>();
  shared->document = std::move(document);
  return std::shared_ptr<PDFImageRep>(new PDFImageRep(pdf, std::move(shared)));
}

int PDFImageRep::pageCount() const {
  std::lock_guard lock(document_->mutex);
  return document_->document->numPages();
}

void PDFImageRep::setCurrentPage(int page) {
  if (page < 0 || page >= pageCount()) return;
  currentPage_ = page;
  setSize(bounds().size());
}

QRectF PDFImageRep::bounds() const {
  std::lock_guard lock(document_->mutex);
  std::unique_ptr<Poppler::Page> page(document_->document->page(currentPage_));
  return page ? QRectF(QPointF(0, 0), page->pageSizeF()) : QRectF();
}

CGImagePtr PDFImageRep::renderPage(int pixelsWide, int pixelsHigh) const {
  QSizeF points = bounds().size();
  if (points.isEmpty() || pixelsWide <= 0 || pixelsHigh <= 0) return nullptr;
  std::lock_guard lock(document_->mutex);
  std::unique_ptr<Poppler::Page> page(document_->document->page(currentPage_));
  if (!page) return nullptr;
  QImage image =
      page->renderToImage(72.0 * pixelsWide / points.width(), 72.0 * pixelsHigh / points.height(),
                          0, 0, pixelsWide, pixelsHigh);
  return image.isNull() ? nullptr : CGImage::make(std::move(image));
}

bool PDFImageRep::draw(GraphicsContext& context, const QRectF& destination, const QRectF& source,
                       CompositingOperation op, double fraction) const {
  QSizeF points = bounds().size();
  if (points.isEmpty() || destination.isEmpty()) return false;
  QRectF part = source.isEmpty() ? QRectF(QPointF(0, 0), points) : source;
  // Render the whole page at the density the destination shows it at, then
  // let drawImage pick the part; poppler's own clipping rounds to pixels.
  QSizeF deviceScale = context.deviceScale();
  double sx = destination.width() / part.width() * deviceScale.width();
  double sy = destination.height() / part.height() * deviceScale.height();
  int wide = std::clamp(int(std::ceil(points.width() * sx)), 1, MaxRenderSide);
  int high = std::clamp(int(std::ceil(points.height() * sy)), 1, MaxRenderSide);
  CGImagePtr page = renderPage(wide, high);
  if (!page) return false;
  double px = wide / points.width(), py = high / points.height();
  QRectF pixels(part.x() * px, (points.height() - part.y() - part.height()) * py, part.width() * px,
                part.height() * py);
  context.drawImage(page, destination, pixels, op, fraction);
  return true;
}

ImageRepPtr PDFImageRep::copy() const {
  auto rep = std::shared_ptr<PDFImageRep>(new PDFImageRep(data_, document_));
  rep->currentPage_ = currentPage_;
  rep->setSize(size());
  return rep;
}

}  // namespace gfx
