#include "model/PDFImageCoding.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"
#include "graphics/PDFImageRep.h"
#include "imageio/ImageLimits.h"

namespace {
const QString PDFDataKey = QStringLiteral("TSPDFData");
const QString SizeKey = QStringLiteral("TSSize");

// Drawn at a pixel a point, so the image limits apply to points.
bool isUsableSize(const QSizeF& size) {
  if (!std::isfinite(size.width()) || !std::isfinite(size.height())) return false;
  // Clamped first so the conversion to whole pixels cannot overflow.
  auto pixels = [](double side) { return int64_t(std::ceil(std::clamp(side, 0.0, 1e15))); };
  return io::ImageLimits().check(pixels(size.width()), pixels(size.height()), QString(), nullptr);
}

}  // namespace

std::shared_ptr<PDFImageCoding> PDFImageCoding::codingForImage(const gfx::ImagePtr& image) {
  if (!image) return nullptr;
  auto pdf = image->firstRepresentationOfClass<gfx::PDFImageRep>();
  if (!pdf) return nullptr;
  return std::make_shared<PDFImageCoding>(pdf->PDFRepresentation(), image->size());
}

void PDFImageCoding::encodeWithCoder(fnd::KeyedArchiver& coder) const {
  coder.encodeData(pdfData_, PDFDataKey);
  coder.encodeSize(size_, SizeKey);
}

std::shared_ptr<PDFImageCoding> PDFImageCoding::decode(fnd::KeyedUnarchiver& coder) {
  const QByteArray data = coder.decodeDataForKey(PDFDataKey);
  const QSizeF size = coder.decodeSizeForKey(SizeKey);
  if (coder.failed()) return nullptr;
  if (data.isEmpty()) {
    coder.setFailed(QStringLiteral("archived image holds no PDF data"));
    return nullptr;
  }
  return std::make_shared<PDFImageCoding>(data, size);
}

void PDFImageCoding::registerClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    fnd::KeyedUnarchiver::registerClass(
        QStringLiteral("NSImage"),
        [](fnd::KeyedUnarchiver& coder) -> fnd::CodingPtr { return decode(coder); });
  });
}

gfx::ImagePtr PDFImageCoding::makeImage(fnd::Error* error) const {
  auto rep = gfx::PDFImageRep::imageRepWithData(pdfData_, error);
  if (!rep) return nullptr;
  const QSizeF pageSize = rep->size();
  auto image = gfx::Image::make(pageSize);
  image->addRepresentation(rep);
  // A size that is not a plain positive size within the image limits
  // (absent, corrupt) keeps the page's.
  if (isUsableSize(size_)) image->setSize(size_);
  return image;
}
