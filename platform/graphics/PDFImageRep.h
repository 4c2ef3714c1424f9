// A representation holding a PDF document; it draws its current page at
// whatever resolution the destination needs. Backed by poppler-qt6.
#pragma once

#include <QByteArray>
#include <memory>

#include "foundation/Error.h"
#include "graphics/ImageRep.h"

namespace gfx {

class PDFImageRep : public ImageRep {
 public:
  // Null (with `error` filled) for data that is not a readable PDF or has
  // no pages.
  static std::shared_ptr<PDFImageRep> imageRepWithData(const QByteArray& pdf,
                                                       fnd::Error* error = nullptr);
  ~PDFImageRep() override;

  QByteArray PDFRepresentation() const { return data_; }
  int pageCount() const;
  int currentPage() const { return currentPage_; }
  // Out-of-range pages are ignored. Changes size() to the new page's.
  void setCurrentPage(int page);
  // The current page's box in points, origin at zero.
  QRectF bounds() const;

  bool draw(GraphicsContext& context, const QRectF& destination, const QRectF& source,
            CompositingOperation op, double fraction) const override;
  ImageRepPtr copy() const override;

  // The current page rendered at `pixelsWide` × `pixelsHigh`, white where the
  // page is blank (pages are opaque paper). Null when rendering fails.
  CGImagePtr renderPage(int pixelsWide, int pixelsHigh) const;

 private:
  // The parsed document, shared by copies; poppler documents are not safe
  // to use from two threads at once, so every use takes the lock.
  struct SharedDocument;
  PDFImageRep(QByteArray data, std::shared_ptr<SharedDocument> document);
  QByteArray data_;
  std::shared_ptr<SharedDocument> document_;
  int currentPage_ = 0;
};

using PDFImageRepPtr = std::shared_ptr<PDFImageRep>;

}  // namespace gfx
