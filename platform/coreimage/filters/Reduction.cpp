// Reductions: the average, maximum or minimum of a region of an image as
// one pixel, and the averages of its rows (one pixel wide) or of its
// columns (one pixel high). The outputs start at the region's origin;
// pixels of the region outside the image count as transparent.
#include <cmath>

#include "coreimage/FilterRegistry.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"

namespace ci::filters {

namespace {

enum Reduce { Average = 0, Maximum = 1, Minimum = 2 };

IRect regionOf(const KernelRow& row) {
  const auto& e = row.values[0];
  return IRect{int(e[0]), int(e[1]), int(e[2]), int(e[3])};
}

void areaRow(const KernelRow& row) {
  const IRect region = regionOf(row);
  const int mode = int(row.values[1][0]);
  std::vector<float> line(size_t(region.w) * 4);
  double result[4];
  for (double& r : result) r = mode == Maximum ? -HUGE_VAL : mode == Minimum ? HUGE_VAL : 0;
  for (int y = region.y; y < region.top(); ++y) {
    row.samplers[0]->readPixels(region.x, y, region.w, line.data());
    for (int i = 0; i < region.w * 4; i += 4)
      for (int c = 0; c < 4; ++c) {
        const double v = line[size_t(i + c)];
        result[c] = mode == Maximum   ? std::max(result[c], v)
                    : mode == Minimum ? std::min(result[c], v)
                                      : result[c] + v;
      }
  }
  const double n = mode == Average ? double(region.area()) : 1.0;
  for (int i = 0; i < row.count; ++i)
    for (int c = 0; c < 4; ++c) row.out[i * 4 + c] = float(result[c] / n);
}

void rowAverageRow(const KernelRow& row) {
  const IRect region = regionOf(row);
  std::vector<float> line(size_t(region.w) * 4);
  row.samplers[0]->readPixels(region.x, row.y, region.w, line.data());
  double sum[4] = {0, 0, 0, 0};
  for (int i = 0; i < region.w * 4; i += 4)
    for (int c = 0; c < 4; ++c) sum[c] += line[size_t(i + c)];
  for (int i = 0; i < row.count; ++i)
    for (int c = 0; c < 4; ++c) row.out[i * 4 + c] = float(sum[c] / region.w);
}

void columnAverageRow(const KernelRow& row) {
  const IRect region = regionOf(row);
  const size_t n = size_t(row.count) * 4;
  std::vector<double> sum(n, 0.0);
  std::vector<float> line(n);
  for (int y = region.y; y < region.top(); ++y) {
    row.samplers[0]->readPixels(row.x, y, row.count, line.data());
    for (size_t i = 0; i < n; ++i) sum[i] += line[i];
  }
  for (size_t i = 0; i < n; ++i) row.out[i] = float(sum[i] / region.h);
}

enum class Shape { Pixel, Column, Row };

// `shape` is the output's: one pixel, a column of row averages or a row of
// column averages.
FilterRecipe reduce(const QString& kernelName, Shape shape, Reduce mode) {
  return [kernelName, shape, mode](const BuiltInFilter& f) {
    const Image image = f.imageValue(kCIInputImageKey);
    const KernelPtr kernel = builtInKernel(kernelName);
    const IRect region = IRect::covering(f.vectorValue(kCIInputExtentKey).CGRectValue());
    if (image.isNull() || !kernel) return Image();
    if (region.isEmpty() || isInfinite(region.toRectF())) return Image::emptyImage();
    const QRectF output(region.x, region.y, shape == Shape::Row ? region.w : 1,
                        shape == Shape::Column ? region.h : 1);
    const QRectF whole = region.toRectF();
    auto roi = [shape, whole](int, const QRectF& r) {
      if (shape == Shape::Column) return QRectF(whole.x(), r.y(), whole.width(), r.height());
      if (shape == Shape::Row) return QRectF(r.x(), whole.y(), r.width(), whole.height());
      return whole;
    };
    QVariantList arguments{QVariant::fromValue(Sampler(image)),
                           QVariant::fromValue(Vector{double(region.x), double(region.y),
                                                      double(region.w), double(region.h)})};
    if (shape == Shape::Pixel) arguments << double(mode);
    return kernel->applyWithExtent(output, roi, arguments);
  };
}

}  // namespace

void registerReductionFilters(FilterRegistry& registry) {
  Kernel::registerRoutine("areaReduce", areaRow);
  Kernel::registerRoutine("rowAverage", rowAverageRow);
  Kernel::registerRoutine("columnAverage", columnAverageRow);
  const QStringList reduction =
      categories({kCICategoryReduction, kCICategoryVideo, kCICategoryHighDynamicRange});
  const QList<FilterInput> inputs{
      imageInput(kCIInputImageKey, "The image to use as an input image."),
      vectorInput(kCIInputExtentKey, kCIAttributeTypeRectangle, Vector{0, 0, 640, 80},
                  "The region to reduce: x, y, width and height.")};
  registerDefinitions(
      registry, {
                    {"CIAreaAverage", reduction, "The average colour of a region, as one pixel.",
                     inputs, reduce("areaReduce", Shape::Pixel, Average)},
                    {"CIAreaMaximum", reduction,
                     "The largest value of each component over a region, as one pixel.", inputs,
                     reduce("areaReduce", Shape::Pixel, Maximum)},
                    {"CIAreaMinimum", reduction,
                     "The smallest value of each component over a region, as one pixel.", inputs,
                     reduce("areaReduce", Shape::Pixel, Minimum)},
                    {"CIRowAverage", reduction,
                     "The average colour of each row of a region, as a column one pixel wide.",
                     inputs, reduce("rowAverage", Shape::Column, Average)},
                    {"CIColumnAverage", reduction,
                     "The average colour of each column of a region, as a row one pixel high.",
                     inputs, reduce("columnAverage", Shape::Row, Average)},
                });
}

}  // namespace ci::filters
