// Geometry: affine transform, crop, and the two ways of extending an image
// to infinity before transforming it (clamping its edges, tiling it).
#include <QRectF>

#include "coreimage/FilterRegistry.h"
#include "coreimage/WorkerPool.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"

namespace ci::filters {

namespace {

// Repeats its input's pixels for ever; the whole input is one period.
class TileNode : public ImageNode {
 public:
  explicit TileNode(Image input)
      : ImageNode(InfiniteRect),
        input_(std::move(input)),
        period_(IRect::covering(input_.extent())) {}

  QRectF regionOfInterest(int, const QRectF&) const override { return period_.toRectF(); }

  std::vector<const ImageNode*> inputs() const override { return nodesOf({&input_}); }

  void render(PixelBuffer& out) const override {
    const PixelBuffer in = renderInput(0, input_, out.rect());
    const IRect& r = out.rect();
    auto wrap = [](int v, int origin, int size) {
      return origin + ((v - origin) % size + size) % size;
    };
    WorkerPool::parallelBands(r.h, bandRows(r.w), [&](int begin, int end) {
      for (int y = r.y + begin; y < r.y + end; ++y) {
        const float* source = in.row(wrap(y, period_.y, period_.h));
        float* row = out.row(y);
        for (int x = r.x; x < r.right(); ++x, row += 4) {
          const float* p = source + size_t(wrap(x, period_.x, period_.w) - period_.x) * 4;
          row[0] = p[0], row[1] = p[1], row[2] = p[2], row[3] = p[3];
        }
      }
    });
  }

 private:
  Image input_;
  IRect period_;
};

Image affineTransform(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  return image.imageByApplyingTransform(f.transformValue(kCIInputTransformKey));
}

Image crop(const BuiltInFilter& f) {
  return f.imageValue(kCIInputImageKey)
      .imageByCroppingToRect(f.vectorValue(QStringLiteral("inputRectangle")).CGRectValue());
}

Image affineClamp(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  if (image.isNull() || isInfinite(image.extent())) return image;
  return image.imageByClampingToExtent().imageByApplyingTransform(
      f.transformValue(kCIInputTransformKey));
}

Image affineTile(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  if (image.isNull() || isInfinite(image.extent()) || isEmpty(image.extent())) return image;
  return Image(std::make_shared<TileNode>(image))
      .imageByApplyingTransform(f.transformValue(kCIInputTransformKey));
}

}  // namespace

void registerGeometryFilters(FilterRegistry& registry) {
  const QString image = QStringLiteral("The image to use as an input image.");
  FilterInput rectangle =
      vectorInput(QStringLiteral("inputRectangle"), kCIAttributeTypeRectangle,
                  Vector{0, 0, 300, 300}, QStringLiteral("The rectangle that specifies the crop."));
  registerDefinitions(
      registry,
      {
          {"CIAffineTransform",
           categories(
               {kCICategoryGeometryAdjustment, kCICategoryVideo, kCICategoryHighDynamicRange}),
           "Applies an affine transform to an image.",
           {imageInput(kCIInputImageKey, image),
            transformInput(kCIInputTransformKey, "The transform to apply to the image.")},
           affineTransform},
          {"CICrop",
           categories(
               {kCICategoryGeometryAdjustment, kCICategoryVideo, kCICategoryHighDynamicRange}),
           "Crops an image to a rectangle.",
           {imageInput(kCIInputImageKey, image), rectangle},
           crop},
          {"CIAffineClamp",
           categories({kCICategoryTileEffect, kCICategoryVideo, kCICategoryHighDynamicRange}),
           "Extends the edge pixels of an image to infinity, then applies a transform.",
           {imageInput(kCIInputImageKey, image),
            transformInput(kCIInputTransformKey, "The transform to apply to the clamped image.")},
           affineClamp},
          {"CIAffineTile",
           categories({kCICategoryTileEffect, kCICategoryVideo, kCICategoryHighDynamicRange}),
           "Tiles an image infinitely, then applies a transform to the tiling.",
           {imageInput(kCIInputImageKey, image),
            transformInput(kCIInputTransformKey, "The transform to apply to the tiled image.")},
           affineTile},
      });
}

}  // namespace ci::filters
