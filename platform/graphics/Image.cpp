#include "graphics/Image.h"

#include <QFile>
#include <cmath>

#include "graphics/BitmapImageRep.h"
#include "graphics/DrawingHandlerImageRep.h"
#include "graphics/GraphicsContext.h"
#include "graphics/PDFImageRep.h"

namespace gfx {

Image::Image(QSizeF size) : size_(size) {}

Image::~Image() {
  if (focus_ && GraphicsContext::current() == focus_.get()) GraphicsContext::popCurrent();
}

ImagePtr Image::make(QSizeF size) { return std::make_shared<Image>(size); }

ImagePtr Image::imageWithCGImage(CGImagePtr image, QSizeF size) {
  auto rep = BitmapImageRep::make(std::move(image));
  if (!rep) return nullptr;
  if (!size.isEmpty()) rep->setSize(size);
  auto result = make(rep->size());
  result->addRepresentation(rep);
  return result;
}

ImagePtr Image::imageWithData(const QByteArray& data, fnd::Error* error) {
  QList<ImageRepPtr> reps;
  if (data.startsWith("%PDF")) {
    if (auto pdf = PDFImageRep::imageRepWithData(data, error)) reps.append(pdf);
  } else {
    for (const BitmapImageRepPtr& rep : BitmapImageRep::imageRepsWithData(data, error))
      reps.append(rep);
  }
  if (reps.isEmpty()) return nullptr;
  auto image = make(reps.first()->size());
  image->addRepresentations(reps);
  return image;
}

ImagePtr Image::imageWithContentsOfFile(const QString& path, fnd::Error* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    fnd::fail(error, fnd::Error(fnd::CocoaErrorDomain, fnd::FileReadNoSuchFileError,
                                {{fnd::LocalizedDescriptionKey, file.errorString()},
                                 {fnd::FilePathErrorKey, path}}));
    return nullptr;
  }
  return imageWithData(file.readAll(), error);
}

ImagePtr Image::imageWithSize(QSizeF size, bool flipped,
                              std::function<bool(const QRectF&)> drawingHandler) {
  auto image = make(size);
  image->addRepresentation(
      std::make_shared<DrawingHandlerImageRep>(size, flipped, std::move(drawingHandler)));
  return image;
}

QSizeF Image::size() const {
  if (!size_.isEmpty() || reps_.isEmpty()) return size_;
  return reps_.first()->size();
}

void Image::setSize(QSizeF size) {
  QSizeF old = this->size();
  for (const ImageRepPtr& rep : reps_)
    if (rep->size() == old) rep->setSize(size);
  size_ = size;
}

bool Image::isValid() const {
  if (size().isEmpty()) return false;
  return !reps_.isEmpty() || focus_;
}

void Image::addRepresentation(ImageRepPtr rep) {
  if (rep && !reps_.contains(rep)) reps_.append(std::move(rep));
}

void Image::addRepresentations(const QList<ImageRepPtr>& reps) {
  for (const ImageRepPtr& rep : reps) addRepresentation(rep);
}

void Image::removeRepresentation(const ImageRepPtr& rep) { reps_.removeAll(rep); }

ImageRepPtr Image::bestRepresentationForRect(const QRectF* rect, GraphicsContext* context) const {
  if (reps_.isEmpty()) return nullptr;
  QSizeF points = rect ? rect->size() : size();
  QSizeF scale = context ? context->deviceScale() : QSizeF(1, 1);
  double neededWide = points.width() * scale.width() - 1e-6;
  double neededHigh = points.height() * scale.height() - 1e-6;
  ImageRepPtr smallestEnough, largest, independent;
  for (const ImageRepPtr& rep : reps_) {
    if (!rep->isBitmapLike()) {
      if (!independent) independent = rep;
      continue;
    }
    qint64 area = qint64(rep->pixelsWide()) * rep->pixelsHigh();
    if (rep->pixelsWide() >= neededWide && rep->pixelsHigh() >= neededHigh &&
        (!smallestEnough ||
         area < qint64(smallestEnough->pixelsWide()) * smallestEnough->pixelsHigh()))
      smallestEnough = rep;
    if (!largest || area > qint64(largest->pixelsWide()) * largest->pixelsHigh()) largest = rep;
  }
  if (smallestEnough) return smallestEnough;
  if (independent) return independent;
  return largest;
}

bool Image::drawInRect(const QRectF& destination, const QRectF& source, CompositingOperation op,
                       double fraction) const {
  GraphicsContext* context = GraphicsContext::current();
  QSizeF imageSize = size();
  if (!context || imageSize.isEmpty()) return false;
  ImageRepPtr rep = bestRepresentationForRect(&destination, context);
  if (!rep) return false;
  QRectF repSource;
  if (!source.isEmpty()) {
    // The image's points → the representation's points.
    double sx = rep->size().width() / imageSize.width();
    double sy = rep->size().height() / imageSize.height();
    repSource = QRectF(source.x() * sx, source.y() * sy, source.width() * sx, source.height() * sy);
  }
  return rep->draw(*context, destination, repSource, op, fraction);
}

bool Image::drawAtPoint(const QPointF& point, const QRectF& source, CompositingOperation op,
                        double fraction) const {
  QSizeF drawn = source.isEmpty() ? size() : source.size();
  return drawInRect(QRectF(point, drawn), source, op, fraction);
}

CGImagePtr Image::CGImageForProposedRect(QRectF* proposedRect, GraphicsContext* context) const {
  ImageRepPtr rep = bestRepresentationForRect(proposedRect, context);
  if (!rep) return nullptr;
  return rep->CGImageForProposedRect(proposedRect, context);
}

bool Image::lockFocus() {
  QSizeF points = size();
  if (focus_ || points.isEmpty()) return false;
  int wide = int(std::ceil(points.width() - 1e-6)), high = int(std::ceil(points.height() - 1e-6));
  std::unique_ptr<GraphicsContext> context = GraphicsContext::bitmapContext(wide, high);
  if (!context) return false;
  context->scaleCTM(wide / points.width(), high / points.height());
  QRectF whole(QPointF(0, 0), points);
  if (ImageRepPtr rep = bestRepresentationForRect(&whole, context.get()))
    rep->draw(*context, whole, {}, CompositingOperation::Copy, 1.0);
  focus_ = std::move(context);
  GraphicsContext::pushCurrent(focus_.get());
  return true;
}

void Image::unlockFocus() {
  if (!focus_) return;
  // Unbalanced drawing code may have left another context on top; only our
  // own entry is removed.
  if (GraphicsContext::current() == focus_.get()) GraphicsContext::popCurrent();
  auto rep = BitmapImageRep::make(focus_->makeImage());
  focus_.reset();
  if (!rep) return;
  rep->setSize(size());
  reps_ = {rep};
}

ImagePtr Image::copy() const {
  auto image = make(size_);
  for (const ImageRepPtr& rep : reps_) image->addRepresentation(rep->copy());
  if (focus_) image->addRepresentation(BitmapImageRep::make(focus_->makeImage()));
  return image;
}

void Image::recache() {
  for (const ImageRepPtr& rep : reps_)
    if (auto handler = std::dynamic_pointer_cast<DrawingHandlerImageRep>(rep)) handler->recache();
}

QByteArray Image::TIFFRepresentation() const {
  return TIFFRepresentationUsingCompression(int(TIFFCompression::None), 0);
}

QByteArray Image::TIFFRepresentationUsingCompression(int compression, float factor) const {
  QList<BitmapImageRepPtr> bitmaps;
  for (const ImageRepPtr& rep : reps_)
    if (auto bitmap = std::dynamic_pointer_cast<BitmapImageRep>(rep)) bitmaps.append(bitmap);
  if (bitmaps.isEmpty()) {
    auto rendered = BitmapImageRep::make(CGImageForProposedRect(nullptr, nullptr));
    if (!rendered) return {};
    rendered->setSize(size());
    bitmaps.append(rendered);
  }
  return BitmapImageRep::TIFFRepresentationOfImageRepsInArray(bitmaps, TIFFCompression(compression),
                                                              factor);
}

}  // namespace gfx
