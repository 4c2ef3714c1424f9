// Geometry: affine transform, crop, the two ways of extending an image to
// infinity before transforming it (clamping its edges, tiling it), Lanczos
// scaling, perspective and straightening.
#include <QPolygonF>
#include <QRectF>
#include <cmath>
#include <numbers>
#include <vector>

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

  // Along each axis, the span of the period the asked pixels fold onto, or
  // the whole period when they cover a seam.
  QRectF regionOfInterest(int, const QRectF& rect) const override {
    if (!(rect.width() < period_.w && rect.height() < period_.h)) return period_.toRectF();
    const IRect r = IRect::covering(rect);
    auto fold = [](int from, int count, int origin, int size, int& start, int& length) {
      start = origin + ((from - origin) % size + size) % size, length = count;
      if (count >= size || start + count > origin + size) start = origin, length = size;
    };
    IRect read = period_;
    fold(r.x, r.w, period_.x, period_.w, read.x, read.w);
    fold(r.y, r.h, period_.y, period_.h, read.y, read.h);
    return read.toRectF();
  }

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
          const float* p = source + size_t(wrap(x, period_.x, period_.w) - in.rect().x) * 4;
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

// ---- Lanczos scaling: a windowed sinc of three lobes, widened by the
// reduction when scaling down so every source pixel contributes. Two
// passes, across then down, each one-dimensional.

double lanczos3Exact(double t) {
  if (t < 1e-9) return 1;
  if (t >= 3) return 0;
  const double pt = std::numbers::pi * t;
  return 3 * std::sin(pt) * std::sin(pt / 3) / (pt * pt);
}

// The window read from a table 1/4096 pixel fine, interpolated: every
// output pixel needs a dozen or more weights, and two sines for each would
// dominate the scaling.
double lanczos3(double t) {
  constexpr int kSteps = 4096;
  static const std::vector<float> table = [] {
    std::vector<float> values(3 * kSteps + 2);
    for (size_t i = 0; i < values.size(); ++i) values[i] = float(lanczos3Exact(double(i) / kSteps));
    return values;
  }();
  const double at = std::fabs(t) * kSteps;
  if (at >= 3 * kSteps) return 0;
  const size_t i = size_t(at);
  const double f = at - double(i);
  return table[i] + (table[i + 1] - table[i]) * f;
}

// The taps of output position `u` (a pixel centre, in output units) at
// scale `s`: the first source pixel and normalised weights.
int lanczosTaps(double u, double s, std::vector<float>& weights) {
  const double centre = u / s;  // in source units
  const double stretch = std::max(1.0, 1 / s);
  const double support = 3 * stretch;
  const int first = int(std::floor(centre - support));
  const int last = int(std::ceil(centre + support));
  weights.resize(size_t(last - first + 1));
  double sum = 0;
  for (int j = first; j <= last; ++j) {
    const double w = lanczos3((j + 0.5 - centre) / stretch);
    weights[size_t(j - first)] = float(w);
    sum += w;
  }
  for (float& w : weights) w = float(w / sum);
  return first;
}

void lanczosAcrossRow(const KernelRow& row) {
  const double s = row.values[0][0];
  const int support = int(std::ceil(3 * std::max(1.0, 1 / s))) + 1;
  const int from = int(std::floor((row.x + 0.5) / s)) - support;
  const int to = int(std::ceil((row.x + row.count - 0.5) / s)) + support;
  std::vector<float> in(size_t(to - from + 1) * 4), weights;
  row.samplers[0]->readPixels(from, row.y, to - from + 1, in.data());
  for (int i = 0; i < row.count; ++i) {
    const int first = lanczosTaps(row.x + i + 0.5, s, weights);
    float sum[4] = {0, 0, 0, 0};
    for (size_t k = 0; k < weights.size(); ++k) {
      const float* p = in.data() + size_t(first - from + int(k)) * 4;
      for (int c = 0; c < 4; ++c) sum[c] += weights[k] * p[c];
    }
    for (int c = 0; c < 4; ++c) row.out[i * 4 + c] = sum[c];
  }
}

// Every pixel of an output row has the same vertical taps: whole rows
// weighted and added.
void lanczosDownRow(const KernelRow& row) {
  const double s = row.values[0][0];
  std::vector<float> weights, line(size_t(row.count) * 4);
  const int first = lanczosTaps(row.y + 0.5, s, weights);
  std::fill(row.out, row.out + row.count * 4, 0.0f);
  for (size_t k = 0; k < weights.size(); ++k) {
    row.samplers[0]->readPixels(row.x, first + int(k), row.count, line.data());
    const float w = weights[k];
    for (int i = 0; i < row.count * 4; ++i) row.out[i] += w * line[size_t(i)];
  }
}

QRectF scaled(const QRectF& r, double sx, double sy) {
  return isInfinite(r) ? r : QRectF(r.x() * sx, r.y() * sy, r.width() * sx, r.height() * sy);
}

Image lanczosScale(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const double scale = f.numberValue(kCIInputScaleKey);
  const double sx = scale * f.numberValue("inputAspectRatio"), sy = scale;
  const KernelPtr across = builtInKernel("lanczosAcross");
  const KernelPtr down = builtInKernel("lanczosDown");
  if (image.isNull() || !across || !down) return image;
  if (!(sx > 1e-4 && sy > 1e-4)) return Image::emptyImage();
  if (sx == 1 && sy == 1) return image;
  auto roi = [](double s, bool horizontal) {
    const double reach = 3 * std::max(1.0, 1 / s) + 2;
    return [s, reach, horizontal](int, const QRectF& r) {
      return horizontal ? QRectF(r.x() / s - reach, r.y(), r.width() / s + 2 * reach, r.height())
                        : QRectF(r.x(), r.y() / s - reach, r.width(), r.height() / s + 2 * reach);
    };
  };
  const Image wide = across->applyWithExtent(scaled(image.extent(), sx, 1), roi(sx, true),
                                             {QVariant::fromValue(Sampler(image)), sx});
  return down->applyWithExtent(scaled(image.extent(), sx, sy), roi(sy, false),
                               {QVariant::fromValue(Sampler(wide)), sy});
}

// ---- Perspective: the projective map taking the input's extent onto the
// four corners. Each output pixel reads the input where the inverse map
// sends its centre.

// The homography taking the unit square's corners (0,0) (1,0) (1,1) (0,1)
// to p0…p3 (Heckbert's closed form).
QTransform squareToQuad(const QPointF p[4]) {
  const double dx1 = p[1].x() - p[2].x(), dx2 = p[3].x() - p[2].x();
  const double dy1 = p[1].y() - p[2].y(), dy2 = p[3].y() - p[2].y();
  const double sx = p[0].x() - p[1].x() + p[2].x() - p[3].x();
  const double sy = p[0].y() - p[1].y() + p[2].y() - p[3].y();
  const double det = dx1 * dy2 - dx2 * dy1;
  double g = 0, h = 0;
  if (std::fabs(det) > 1e-12) {
    g = (sx * dy2 - dx2 * sy) / det;
    h = (dx1 * sy - sx * dy1) / det;
  }
  // QTransform maps (x, y) to ((m11 x + m21 y + m31) / w, …), w = m13 x + m23 y + m33.
  return QTransform(p[1].x() - p[0].x() + g * p[1].x(), p[1].y() - p[0].y() + g * p[1].y(), g,
                    p[3].x() - p[0].x() + h * p[3].x(), p[3].y() - p[0].y() + h * p[3].y(), h,
                    p[0].x(), p[0].y(), 1);
}

void perspectiveRow(const KernelRow& row) {
  const auto& a = row.values;  // the inverse map's rows: (m11 m12 m13) (m21 m22 m23) (m31 m32 m33)
  const double y = row.y + 0.5;
  for (int i = 0; i < row.count; ++i) {
    const double x = row.x + i + 0.5;
    const double w = a[0][2] * x + a[1][2] * y + a[2][2];
    float* out = row.out + i * 4;
    if (!(w > 1e-12)) {
      out[0] = out[1] = out[2] = out[3] = 0;
      continue;
    }
    const double u = (a[0][0] * x + a[1][0] * y + a[2][0]) / w;
    const double v = (a[0][1] * x + a[1][1] * y + a[2][1]) / w;
    row.samplers[0]->sample(u, v, out);
  }
}

Image perspectiveTransform(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const KernelPtr kernel = builtInKernel("perspectiveTransform");
  const QRectF e = image.extent();
  if (image.isNull() || !kernel || isInfinite(e) || isEmpty(e)) return image;
  // y grows upwards: the bottom-left corner is the extent's origin.
  const QPointF quad[4] = {f.vectorValue("inputBottomLeft").CGPointValue(),
                           f.vectorValue("inputBottomRight").CGPointValue(),
                           f.vectorValue("inputTopRight").CGPointValue(),
                           f.vectorValue("inputTopLeft").CGPointValue()};
  const QTransform forward = QTransform::fromTranslate(-e.x(), -e.y()) *
                             QTransform::fromScale(1 / e.width(), 1 / e.height()) *
                             squareToQuad(quad);
  bool invertible = false;
  const QTransform inverse = forward.inverted(&invertible);
  if (!invertible) return Image::emptyImage();
  QPolygonF corners;
  for (const QPointF& p : quad) corners << p;
  auto roi = [inverse, e](int, const QRectF& r) {
    const QPointF c[4] = {r.bottomLeft(), r.bottomRight(), r.topRight(), r.topLeft()};
    QPolygonF read;
    for (const QPointF& p : c) {
      const double w = inverse.m13() * p.x() + inverse.m23() * p.y() + inverse.m33();
      if (!(w > 1e-12)) return e;  // the region crosses the horizon: anything may be read
      read << inverse.map(p);
    }
    return read.boundingRect().adjusted(-2, -2, 2, 2);
  };
  const Vector rows[3] = {Vector{inverse.m11(), inverse.m12(), inverse.m13()},
                          Vector{inverse.m21(), inverse.m22(), inverse.m23()},
                          Vector{inverse.m31(), inverse.m32(), inverse.m33()}};
  return kernel->applyWithExtent(corners.boundingRect(), roi,
                                 {QVariant::fromValue(Sampler(image)), QVariant::fromValue(rows[0]),
                                  QVariant::fromValue(rows[1]), QVariant::fromValue(rows[2])});
}

// Turned about its centre by the angle, then enlarged just enough that the
// turned picture covers the original extent, which crops it.
Image straighten(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const double angle = f.numberValue(kCIInputAngleKey);
  const QRectF e = image.extent();
  if (image.isNull() || angle == 0 || isInfinite(e) || isEmpty(e)) return image;
  const double c = std::fabs(std::cos(angle)), s = std::fabs(std::sin(angle));
  const double w = e.width(), h = e.height();
  const double scale = std::max((w * c + h * s) / w, (w * s + h * c) / h);
  const QPointF m = e.center();
  const QTransform turn = QTransform::fromTranslate(-m.x(), -m.y()) *
                          QTransform().rotateRadians(angle) * QTransform::fromScale(scale, scale) *
                          QTransform::fromTranslate(m.x(), m.y());
  // Edge pixels extended outwards first, so the corners, which sample at the
  // very edge of the turned picture, are not blended with transparency.
  return image.imageByClampingToExtent().imageByApplyingTransform(turn).imageByCroppingToRect(e);
}

}  // namespace

void registerGeometryFilters(FilterRegistry& registry) {
  Kernel::registerRoutine("lanczosAcross", lanczosAcrossRow);
  Kernel::registerRoutine("lanczosDown", lanczosDownRow);
  Kernel::registerRoutine("perspectiveTransform", perspectiveRow);
  const QString image = QStringLiteral("The image to use as an input image.");
  const QStringList geometry =
      categories({kCICategoryGeometryAdjustment, kCICategoryVideo, kCICategoryHighDynamicRange});
  auto number = [](const QString& key, const QString& type, double defaultValue, double minimum,
                   double sliderMinimum, double sliderMaximum, const QString& description) {
    FilterInput in =
        numberInput(key, type, defaultValue, minimum, sliderMinimum, sliderMaximum, description);
    in.identity = defaultValue;
    return in;
  };
  auto corner = [](const QString& key, double x, double y, const QString& description) {
    return vectorInput(key, kCIAttributeTypePosition, Vector{x, y}, description);
  };
  FilterInput straightenAngle =
      number(kCIInputAngleKey, kCIAttributeTypeAngle, 0, 0, -std::numbers::pi, std::numbers::pi,
             "The angle to turn the image by, in radians.");
  straightenAngle.minimum = QVariant();
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
          {"CILanczosScaleTransform",
           geometry,
           "Scales an image with high-quality (Lanczos) resampling.",
           {imageInput(kCIInputImageKey, image),
            number(kCIInputScaleKey, kCIAttributeTypeScalar, 1, 0, 0.05, 1.5,
                   "The scaling factor."),
            number("inputAspectRatio", kCIAttributeTypeScalar, 1, 0, 0.05, 2,
                   "The additional horizontal scaling factor.")},
           lanczosScale},
          {"CIPerspectiveTransform",
           geometry,
           "Alters the geometry of an image to simulate an observer changing viewing position.",
           {imageInput(kCIInputImageKey, image),
            corner("inputTopLeft", 118, 484, "Where the top-left corner goes."),
            corner("inputTopRight", 646, 507, "Where the top-right corner goes."),
            corner("inputBottomRight", 548, 140, "Where the bottom-right corner goes."),
            corner("inputBottomLeft", 155, 153, "Where the bottom-left corner goes.")},
           perspectiveTransform},
          {"CIStraightenFilter",
           geometry,
           "Rotates an image, then scales and crops it so the rotated image fills the original "
           "extent.",
           {imageInput(kCIInputImageKey, image), straightenAngle},
           straighten},
      },
      {{"CIStraightenFilter", "Straighten"}});
}

}  // namespace ci::filters
