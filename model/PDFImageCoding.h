// The archived form of an image drawn from a PDF, as the image data blob
// keeps it under "image": the PDF document itself and the image's size in
// points. The current page travels beside it, as "currentPage".
#pragma once

#include <QByteArray>
#include <QSizeF>

#include "foundation/Coding.h"
#include "graphics/Image.h"

namespace fnd {
class KeyedUnarchiver;
}

class PDFImageCoding : public fnd::Coding {
 public:
  // Null when the image holds no PDF representation.
  static std::shared_ptr<PDFImageCoding> codingForImage(const gfx::ImagePtr& image);
  PDFImageCoding(QByteArray pdfData, QSizeF size) : pdfData_(std::move(pdfData)), size_(size) {}

  QString archiveClassName() const override { return QStringLiteral("NSImage"); }
  void encodeWithCoder(fnd::KeyedArchiver& coder) const override;
  // Null (and the coder failed) for values of the wrong kind.
  static std::shared_ptr<PDFImageCoding> decode(fnd::KeyedUnarchiver& coder);
  // Makes unarchivers read "NSImage" entries as this class; idempotent.
  static void registerClass();

  // A new image holding the PDF at page 0 with the archived size; null (and
  // `error`) when the data is not a readable PDF.
  gfx::ImagePtr makeImage(fnd::Error* error = nullptr) const;

 private:
  QByteArray pdfData_;
  QSizeF size_;
};
