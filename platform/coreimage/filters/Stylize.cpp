// Stylize: blends with a mask, pixellate and the convolution family here;
// light, edges and cells in StylizeLight.cpp, StylizeEdges.cpp, StylizeCells.cpp.
#include <cmath>

#include "coreimage/FilterRegistry.h"
#include "coreimage/Vectorize.h"
#include "coreimage/WorkerPool.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"

namespace ci::filters {

namespace {

// The mask's component `Channel` (1 green, 3 alpha) picks the image.
template <int Channel>
void blendWithMaskRow(const KernelRow& row) {
  const float* image = row.samples[0];
  const float* background = row.samples[1];
  const float* mask = row.samples[2];
  for (int i = 0; i < row.count * 4; i += 4) {
    const float m = std::clamp(mask[i + Channel], 0.0f, 1.0f);
    for (int c = 0; c < 4; ++c)
      row.out[i + c] = background[i + c] + (image[i + c] - background[i + c]) * m;
  }
}

// Square cells of `scale` pixels with a corner on `center`; each takes the
// mean of the input pixels whose centres fall inside it.
class PixellateNode : public ImageNode {
 public:
  PixellateNode(Image input, QPointF center, double scale)
      : ImageNode(input.extent()), input_(std::move(input)), center_(center), scale_(scale) {}

  // Cell k spans the pixels from edge(k) up to, not including, edge(k + 1).
  int edge(double origin, long long k) const { return int(std::ceil(origin + k * scale_ - 0.5)); }
  long long cellOf(double origin, int pixel) const {
    return (long long)std::floor((pixel + 0.5 - origin) / scale_);
  }

  QRectF regionOfInterest(int, const QRectF& rect) const override {
    const IRect r = IRect::covering(rect);
    const int x0 = edge(center_.x(), cellOf(center_.x(), r.x));
    const int x1 = edge(center_.x(), cellOf(center_.x(), r.right() - 1) + 1);
    const int y0 = edge(center_.y(), cellOf(center_.y(), r.y));
    const int y1 = edge(center_.y(), cellOf(center_.y(), r.top() - 1) + 1);
    return QRectF(x0, y0, x1 - x0, y1 - y0);
  }

  std::vector<const ImageNode*> inputs() const override { return nodesOf({&input_}); }

  void render(PixelBuffer& out) const override {
    const PixelBuffer in = renderInput(0, input_, out.rect());
    const IRect& r = out.rect();
    for (long long cy = cellOf(center_.y(), r.y); cy <= cellOf(center_.y(), r.top() - 1); ++cy) {
      const int y0 = edge(center_.y(), cy), y1 = edge(center_.y(), cy + 1);
      for (long long cx = cellOf(center_.x(), r.x); cx <= cellOf(center_.x(), r.right() - 1);
           ++cx) {
        const int x0 = edge(center_.x(), cx), x1 = edge(center_.x(), cx + 1);
        double sum[4] = {0, 0, 0, 0};
        for (int y = y0; y < y1; ++y)
          for (int x = x0; x < x1; ++x)
            for (int c = 0; c < 4; ++c) sum[c] += in.pixel(x, y)[c];
        const double n = double(x1 - x0) * (y1 - y0);
        const float mean[4] = {float(sum[0] / n), float(sum[1] / n), float(sum[2] / n),
                               float(sum[3] / n)};
        const IRect cell = r.intersected({x0, y0, x1 - x0, y1 - y0});
        for (int y = cell.y; y < cell.top(); ++y)
          for (int x = cell.x; x < cell.right(); ++x) std::copy(mean, mean + 4, out.pixel(x, y));
      }
    }
  }

 private:
  Image input_;
  QPointF center_;
  double scale_;
};

// A weighted sum over a width × height window (weights listed top row first,
// left to right) plus a bias added to every component.
class ConvolutionNode : public ImageNode {
 public:
  ConvolutionNode(Image input, int width, int height, std::vector<float> weights, float bias)
      : ImageNode(inset(input.extent(), -(width / 2), -(height / 2))),
        input_(std::move(input)),
        width_(width),
        height_(height),
        weights_(std::move(weights)),
        bias_(bias) {}

  QRectF regionOfInterest(int, const QRectF& rect) const override {
    return rect.adjusted(-(width_ / 2), -(height_ / 2), width_ / 2, height_ / 2);
  }

  std::vector<const ImageNode*> inputs() const override { return nodesOf({&input_}); }

  void render(PixelBuffer& out) const override {
    const PixelBuffer in = renderInput(0, input_, out.rect());
    const IRect& r = out.rect();
    const size_t n = size_t(r.w) * 4;
    WorkerPool::parallelBands(r.h, bandRows(r.w, 16384), [&](int begin, int end) {
      for (int y = r.y + begin; y < r.y + end; ++y) {
        float* row = out.row(y);
        std::fill(row, row + n, bias_);
        for (int j = 0; j < height_; ++j) {
          const int dy = height_ / 2 - j;
          for (int i = 0; i < width_; ++i)
            accumulate(in.pixel(r.x + i - width_ / 2, y + dy), weights_[size_t(j * width_ + i)],
                       row, n);
        }
      }
    });
  }

 private:
  CI_VECTORIZE static void accumulate(const float* source, float weight, float* out, size_t n) {
    if (weight == 0.0f) return;
    for (size_t i = 0; i < n; ++i) out[i] += weight * source[i];
  }

  Image input_;
  int width_, height_;
  std::vector<float> weights_;
  float bias_;
};

FilterRecipe blendWithMask(const QString& kernelName) {
  return [kernelName](const BuiltInFilter& f) {
    const Image image = f.imageValue(kCIInputImageKey);
    const Image mask = f.imageValue(kCIInputMaskImageKey);
    Image background = f.imageValue(kCIInputBackgroundImageKey);
    if (image.isNull() || mask.isNull()) return Image();
    if (background.isNull()) background = Image::emptyImage();
    const KernelPtr kernel = builtInKernel(kernelName);
    if (!kernel) return Image();
    const QRectF extent = unite(image.extent(), background.extent());
    return kernel->applyWithExtent(
        extent,
        {QVariant::fromValue(image), QVariant::fromValue(background), QVariant::fromValue(mask)});
  };
}

Image pixellate(const BuiltInFilter& f) {
  // Each tile reads whole cells, so the cell size bounds a tile's input.
  constexpr double kLargestScale = 1000;
  const Image image = f.imageValue(kCIInputImageKey);
  const double scale = std::min(f.numberValue(kCIInputScaleKey), kLargestScale);
  if (image.isNull() || !(scale >= 1.0)) return image;
  return Image(std::make_shared<PixellateNode>(
      image, f.vectorValue(kCIInputCenterKey).CGPointValue(), scale));
}

FilterRecipe convolution(int width, int height) {
  return [width, height](const BuiltInFilter& f) {
    const Image image = f.imageValue(kCIInputImageKey);
    const Vector w = f.vectorValue(kCIInputWeightsKey);
    if (image.isNull() || w.count() != size_t(width * height)) return Image();
    std::vector<float> weights;
    for (size_t i = 0; i < w.count(); ++i) weights.push_back(float(w.valueAtIndex(i)));
    return Image(std::make_shared<ConvolutionNode>(image, width, height, std::move(weights),
                                                   float(f.numberValue(kCIInputBiasKey))));
  };
}

// The identity: one at the centre of the window.
Vector centreWeight(int count) {
  std::vector<double> w(size_t(count), 0.0);
  w[size_t(count / 2)] = 1.0;
  return Vector(w.data(), w.size());
}

FilterDefinition convolutionDefinition(const QString& name, int width, int height,
                                       const QStringList& cats) {
  FilterInput weights = vectorInput(kCIInputWeightsKey, QString(), centreWeight(width * height),
                                    QStringLiteral("The weights, top row first, left to right."));
  weights.identity = weights.defaultValue;
  FilterInput bias = numberInput(kCIInputBiasKey, kCIAttributeTypeScalar, 0, -1, -1, 1,
                                 QStringLiteral("A value added to every component."));
  bias.identity = 0.0;
  return {name,
          cats,
          QStringLiteral("Convolves an image with a %1 × %2 weight matrix.").arg(width).arg(height),
          {imageInput(kCIInputImageKey, QStringLiteral("The image to use as an input image.")),
           weights, bias},
          convolution(width, height)};
}

}  // namespace

void registerStylizeFilters(FilterRegistry& registry) {
  Kernel::registerRoutine(QStringLiteral("blendWithMask"), blendWithMaskRow<1>);
  Kernel::registerRoutine(QStringLiteral("blendWithAlphaMask"), blendWithMaskRow<3>);
  registerStylizeLightFilters(registry);
  registerStylizeEdgeFilters(registry);
  registerStylizeCellFilters(registry);
  const QStringList stylize =
      categories({kCICategoryStylize, kCICategoryVideo, kCICategoryHighDynamicRange});
  FilterInput center = vectorInput(kCIInputCenterKey, kCIAttributeTypePosition, Vector{150, 150},
                                   "The x and y position of a corner of the cells.");
  FilterInput scale = numberInput(kCIInputScaleKey, kCIAttributeTypeDistance, 8, 1, 1, 100,
                                  "The size of the cells.");
  scale.identity = 1.0;  // cells one pixel wide hold one pixel centre each
  registerDefinitions(
      registry,
      {
          {"CIBlendWithMask",
           stylize,
           "Uses the mask's green component to blend the input image over the background.",
           {imageInput(kCIInputImageKey, "The image to use where the mask is on."),
            imageInput(kCIInputBackgroundImageKey, "The image to use where the mask is off."),
            imageInput(kCIInputMaskImageKey, "A mask whose green component selects the image.")},
           blendWithMask(QStringLiteral("blendWithMask"))},
          {"CIBlendWithAlphaMask",
           stylize,
           "Uses the mask's alpha to blend the input image over the background.",
           {imageInput(kCIInputImageKey, "The image to use where the mask is opaque."),
            imageInput(kCIInputBackgroundImageKey, "The image to use where the mask is clear."),
            imageInput(kCIInputMaskImageKey, "A mask whose alpha selects the image.")},
           blendWithMask(QStringLiteral("blendWithAlphaMask"))},
          {"CIPixellate",
           stylize,
           "Makes an image blocky by averaging it over square cells.",
           {imageInput(kCIInputImageKey, "The image to use as an input image."), center, scale},
           pixellate},
          convolutionDefinition("CIConvolution3X3", 3, 3, stylize),
          convolutionDefinition("CIConvolution5X5", 5, 5, stylize),
          convolutionDefinition("CIConvolution7X7", 7, 7, stylize),
          convolutionDefinition("CIConvolution9Horizontal", 9, 1, stylize),
          convolutionDefinition("CIConvolution9Vertical", 1, 9, stylize),
      });
}

}  // namespace ci::filters
