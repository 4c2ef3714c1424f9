#include "coreimage/Image.h"

#include "coreimage/BufferNode.h"
#include "coreimage/CGImageNode.h"
#include "coreimage/ClampNode.h"
#include "coreimage/CompositeNode.h"
#include "coreimage/ConstantColorNode.h"
#include "coreimage/CropNode.h"
#include "coreimage/Filter.h"
#include "coreimage/PixelCacheNode.h"
#include "coreimage/TransformNode.h"
#include "graphics/BitmapImageRep.h"

namespace ci {

Image::Image(ImageNodePtr node, Sampling sampling) : node_(std::move(node)), sampling_(sampling) {}

Image Image::imageWithCGImage(const gfx::CGImagePtr& image) {
  if (!image || image->qImage().isNull()) return {};
  return Image(std::make_shared<CGImageNode>(image));
}

Image Image::imageWithBitmapImageRep(const gfx::BitmapImageRep& rep) {
  return imageWithCGImage(rep.cgImage());
}

Image Image::imageWithBitmapData(const QByteArray& data, int bytesPerRow, const QSize& size,
                                 Format format) {
  const qsizetype needed = qsizetype(bytesPerRow) * size.height();
  if (size.isEmpty() || bytesPerRow < size.width() * int(bytesPerPixel(format)) ||
      data.size() < needed)
    return {};
  PixelBuffer buffer(IRect{0, 0, size.width(), size.height()});
  for (int y = 0; y < size.height(); ++y) {
    const char* row = data.constData() + qsizetype(size.height() - 1 - y) * bytesPerRow;
    loadRow(row, format, buffer.row(y), size.width());
  }
  return imageWithBuffer(buffer);
}

Image Image::imageWithBuffer(const PixelBuffer& buffer) {
  if (buffer.isNull()) return {};
  return Image(std::make_shared<BufferNode>(buffer));
}

Image Image::imageWithColor(const Color& color) {
  return Image(std::make_shared<ConstantColorNode>(color));
}

Image Image::emptyImage() {
  return Image(std::make_shared<ConstantColorNode>(Color(0, 0, 0, 0))).imageByCroppingToRect({});
}

QRectF Image::extent() const { return node_ ? node_->extent() : QRectF(); }

Image Image::imageByCroppingToRect(const QRectF& rect) const {
  if (isNull()) return {};
  return Image(std::make_shared<CropNode>(*this, rect), sampling_);
}

Image Image::imageByApplyingTransform(const QTransform& transform) const {
  return imageByApplyingTransform(transform, sampling_);
}

Image Image::imageByApplyingTransform(const QTransform& transform, Sampling sampling) const {
  if (isNull()) return {};
  if (transform.isIdentity()) return *this;
  if (!transform.isInvertible()) return emptyImage();
  return Image(std::make_shared<TransformNode>(*this, transform, sampling), sampling_);
}

Image Image::imageBySamplingNearest() const { return Image(node_, Sampling::Nearest); }

Image Image::imageBySamplingLinear() const { return Image(node_, Sampling::Linear); }

Image Image::imageByCompositingOverImage(const Image& destination) const {
  if (isNull()) return destination;
  if (destination.isNull()) return *this;
  return Image(std::make_shared<CompositeNode>(*this, destination, 2));
}

Image Image::imageByClampingToExtent() const {
  if (isNull()) return {};
  return Image(std::make_shared<ClampNode>(*this), sampling_);
}

Image Image::imageByCachingPixels() const {
  if (isNull() || isInfinite(extent()) || isEmpty(extent())) return *this;
  return Image(std::make_shared<PixelCacheNode>(*this), sampling_);
}

Image Image::imageByApplyingFilter(const QString& filterName, const QVariantMap& parameters) const {
  auto filter = Filter::filterWithName(filterName);
  if (!filter) return {};
  if (filter->inputKeys().contains(QStringLiteral("inputImage")))
    filter->setValue(QVariant::fromValue(*this), QStringLiteral("inputImage"));
  for (auto it = parameters.begin(); it != parameters.end(); ++it)
    filter->setValue(it.value(), it.key());
  return filter->outputImage();
}

}  // namespace ci
