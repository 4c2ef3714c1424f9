// Blurs: Gaussian (the radius is the standard deviation), disc, box,
// median, motion, zoom and noise reduction. Each declares how far it reads
// around the region asked for, and works on premultiplied colour, so
// transparent pixels carry no colour into their neighbours.
#include <QDebug>
#include <cmath>
#include <numbers>

#include "coreimage/DiscBlurNode.h"
#include "coreimage/FilterRegistry.h"
#include "coreimage/GaussianBlurNode.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"
#include "coreimage/filters/PixelMath.h"

namespace ci::filters {

namespace {

// Below this a blur changes no pixel by a visible amount.
constexpr double kSmallestRadius = 0.01;
// Above this each tile would pull in hundreds of megabytes of margin; larger
// requests blur by this much (with a log line) rather than exhaust memory.
constexpr double kLargestRadius = 250;

double limitedRadius(const BuiltInFilter& f, double radius) {
  if (radius <= kLargestRadius) return radius;
  qWarning("ci: %s radius %g limited to %g", qPrintable(f.name()), radius, kLargestRadius);
  return kLargestRadius;
}

QRectF grown(const QRectF& rect, double dx, double dy) {
  return isInfinite(rect) ? rect : rect.adjusted(-dx, -dy, dx, dy);
}

Image gaussianBlur(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const double sigma = limitedRadius(f, f.numberValue(kCIInputRadiusKey));
  if (image.isNull() || !(sigma >= kSmallestRadius)) return image;
  return Image(std::make_shared<GaussianBlurNode>(image, sigma));
}

Image discBlur(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const double radius = limitedRadius(f, f.numberValue(kCIInputRadiusKey));
  if (image.isNull() || !(radius >= 1.0)) return image;
  return Image(std::make_shared<DiscBlurNode>(image, radius));
}

// ---- Box blur: a square mean of side 2·radius + 1, the outermost row and
// column weighted by the radius's fraction, as two one-dimensional passes.

struct BoxTaps {
  int whole;    // taps of weight 1 either side of the centre
  float edge;   // weight of the tap just beyond them
  float scale;  // one over the sum of the weights
  int reach() const { return whole + (edge > 0 ? 1 : 0); }
  explicit BoxTaps(float radius)
      : whole(int(std::floor(radius))),
        edge(radius - float(whole)),
        scale(1.0f / (2 * radius + 1)) {}
};

// A running sum along the row: each step adds the pixel entering the window
// and drops the one leaving it.
void boxHorizontalRow(const KernelRow& row) {
  const BoxTaps taps(row.values[0][0]);
  const int reach = taps.reach();
  std::vector<float> in(size_t(row.count + 2 * reach) * 4);
  row.samplers[0]->readPixels(row.x - reach, row.y, row.count + 2 * reach, in.data());
  const float* centre = in.data() + size_t(reach) * 4;
  double sum[4] = {0, 0, 0, 0};
  for (int k = -taps.whole; k <= taps.whole; ++k)
    for (int c = 0; c < 4; ++c) sum[c] += centre[k * 4 + c];
  for (int i = 0; i < row.count; ++i) {
    const float* p = centre + i * 4;
    for (int c = 0; c < 4; ++c) {
      float v = float(sum[c]);
      if (taps.edge > 0) v += taps.edge * (p[(-reach) * 4 + c] + p[reach * 4 + c]);
      row.out[i * 4 + c] = v * taps.scale;
      if (i + 1 < row.count)
        sum[c] += double(p[(taps.whole + 1) * 4 + c]) - double(p[-taps.whole * 4 + c]);
    }
  }
}

// Whole rows added together: the inner loop runs along the row, so it
// vectorises.
void boxVerticalRow(const KernelRow& row) {
  const BoxTaps taps(row.values[0][0]);
  const int n = row.count * 4;
  std::vector<float> acc(size_t(n), 0.0f), line(static_cast<size_t>(n));
  const int reach = taps.reach();
  for (int k = -reach; k <= reach; ++k) {
    const float w = std::abs(k) <= taps.whole ? 1.0f : taps.edge;
    row.samplers[0]->readPixels(row.x, row.y + k, row.count, line.data());
    for (int i = 0; i < n; ++i) acc[size_t(i)] += w * line[size_t(i)];
  }
  for (int i = 0; i < n; ++i) row.out[i] = acc[size_t(i)] * taps.scale;
}

Image boxBlur(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const double radius = limitedRadius(f, f.numberValue(kCIInputRadiusKey));
  const KernelPtr horizontal = builtInKernel("boxBlurHorizontal");
  const KernelPtr vertical = builtInKernel("boxBlurVertical");
  if (image.isNull() || !(radius >= kSmallestRadius) || !horizontal || !vertical) return image;
  const double reach = BoxTaps(float(radius)).reach();
  const Image across = horizontal->applyWithExtent(
      grown(image.extent(), reach, 0),
      [reach](int, const QRectF& r) { return r.adjusted(-reach, 0, reach, 0); },
      {QVariant::fromValue(Sampler(image)), radius});
  return vertical->applyWithExtent(
      grown(across.extent(), 0, reach),
      [reach](int, const QRectF& r) { return r.adjusted(0, -reach, 0, reach); },
      {QVariant::fromValue(Sampler(across)), radius});
}

// ---- Median of the 3 × 3 neighbourhood, component by component.

inline void sortPair(float& a, float& b) {
  const float lo = std::min(a, b), hi = std::max(a, b);
  a = lo, b = hi;
}

// Paeth's nine-element median network.
float median9(float* p) {
  sortPair(p[1], p[2]), sortPair(p[4], p[5]), sortPair(p[7], p[8]);
  sortPair(p[0], p[1]), sortPair(p[3], p[4]), sortPair(p[6], p[7]);
  sortPair(p[1], p[2]), sortPair(p[4], p[5]), sortPair(p[7], p[8]);
  sortPair(p[0], p[3]), sortPair(p[5], p[8]), sortPair(p[4], p[7]);
  sortPair(p[3], p[6]), sortPair(p[1], p[4]), sortPair(p[2], p[5]);
  sortPair(p[4], p[7]), sortPair(p[4], p[2]), sortPair(p[6], p[4]);
  sortPair(p[4], p[2]);
  return p[4];
}

// The three input rows around an output row, one pixel wider each side.
struct Neighbourhood {
  std::vector<float> rows[3];
  Neighbourhood(const KernelRow& row) {
    for (int k = 0; k < 3; ++k) {
      rows[k].resize(size_t(row.count + 2) * 4);
      row.samplers[0]->readPixels(row.x - 1, row.y + 1 - k, row.count + 2, rows[k].data());
    }
  }
  // Component c of the pixel at (i + dx, y + dy), dx and dy in −1…1.
  float at(int i, int dx, int dy, int c) const {
    return rows[1 - dy][size_t(i + 1 + dx) * 4 + size_t(c)];
  }
};

void medianRow(const KernelRow& row) {
  const Neighbourhood n(row);
  for (int i = 0; i < row.count; ++i)
    for (int c = 0; c < 4; ++c) {
      float v[9];
      for (int k = 0; k < 9; ++k) v[k] = n.at(i, k % 3 - 1, k / 3 - 1, c);
      row.out[i * 4 + c] = median9(v);
    }
}

// ---- Noise reduction: neighbours whose luminance is within the noise
// level of the pixel's are averaged with it (noise is smoothed); where a
// neighbour differs by more (an edge), the pixel is also sharpened by its
// difference from the 3 × 3 mean.
void noiseReductionRow(const KernelRow& row) {
  const Neighbourhood n(row);
  const float level = row.values[0][0], sharpness = row.values[1][0];
  for (int i = 0; i < row.count; ++i) {
    const float centre[4] = {n.at(i, 0, 0, 0), n.at(i, 0, 0, 1), n.at(i, 0, 0, 2),
                             n.at(i, 0, 0, 3)};
    const float l = luminance(centre);
    float smooth[4] = {0, 0, 0, 0}, mean[4] = {0, 0, 0, 0};
    int count = 0;
    bool edge = false;
    for (int k = 0; k < 9; ++k) {
      const int dx = k % 3 - 1, dy = k / 3 - 1;
      const float p[4] = {n.at(i, dx, dy, 0), n.at(i, dx, dy, 1), n.at(i, dx, dy, 2),
                          n.at(i, dx, dy, 3)};
      const bool near = (dx == 0 && dy == 0) || std::fabs(luminance(p) - l) < level;
      for (int c = 0; c < 4; ++c) mean[c] += p[c] / 9;
      if (near) {
        for (int c = 0; c < 4; ++c) smooth[c] += p[c];
        ++count;
      } else {
        edge = true;
      }
    }
    for (int c = 0; c < 4; ++c) {
      float v = smooth[c] / float(count);
      if (edge) v += sharpness * (centre[c] - mean[c]);
      row.out[i * 4 + c] = v;
    }
  }
}

FilterRecipe neighbourhood(const QString& kernelName, QStringList valueKeys) {
  return [kernelName, valueKeys](const BuiltInFilter& f) {
    const Image image = f.imageValue(kCIInputImageKey);
    const KernelPtr kernel = builtInKernel(kernelName);
    if (image.isNull() || !kernel) return image;
    QVariantList arguments{QVariant::fromValue(Sampler(image))};
    for (const QString& key : valueKeys) arguments << f.numberValue(key);
    return kernel->applyWithExtent(
        image.extent(), [](int, const QRectF& r) { return r.adjusted(-1, -1, 1, 1); }, arguments);
  };
}

// ---- Motion blur: the mean of samples a pixel apart along a line of
// length 2·radius through the pixel. Every pixel of a row shares the
// samples' offsets, so each sample is a bilinear blend of two shifted rows.
void addShiftedRow(const SamplerView& view, const KernelRow& row, double dx, double dy,
                   float weight, float* acc, std::vector<float>& scratch) {
  const double fx = std::floor(dx), fy = std::floor(dy);
  const float tx = float(dx - fx), ty = float(dy - fy);
  const int ix = int(fx), iy = int(fy);
  const size_t n = size_t(row.count + 1) * 4;
  scratch.resize(2 * n);
  view.readPixels(row.x + ix, row.y + iy, row.count + 1, scratch.data());
  view.readPixels(row.x + ix, row.y + iy + 1, row.count + 1, scratch.data() + n);
  const float w00 = weight * (1 - tx) * (1 - ty), w10 = weight * tx * (1 - ty);
  const float w01 = weight * (1 - tx) * ty, w11 = weight * tx * ty;
  const float* low = scratch.data();
  const float* high = scratch.data() + n;
  for (int i = 0; i < row.count * 4; ++i)
    acc[i] += w00 * low[i] + w10 * low[i + 4] + w01 * high[i] + w11 * high[i + 4];
}

void motionBlurRow(const KernelRow& row) {
  const double ux = row.values[0][0], uy = row.values[0][1];
  const int half = int(row.values[1][0]);
  const float weight = 1.0f / float(2 * half + 1);
  std::vector<float> acc(size_t(row.count) * 4, 0.0f), scratch;
  for (int k = -half; k <= half; ++k)
    addShiftedRow(*row.samplers[0], row, ux * k, uy * k, weight, acc.data(), scratch);
  std::copy(acc.begin(), acc.end(), row.out);
}

Image motionBlur(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const double radius = limitedRadius(f, f.numberValue(kCIInputRadiusKey));
  const double angle = f.numberValue(kCIInputAngleKey);
  const KernelPtr kernel = builtInKernel("motionBlur");
  if (image.isNull() || !(radius >= 0.5) || !kernel) return image;
  // Samples one pixel apart, the outermost exactly at the radius.
  const int half = int(std::ceil(radius));
  const double step = radius / half;
  const double ux = std::cos(angle) * step, uy = std::sin(angle) * step;
  const double rx = std::ceil(std::fabs(ux) * half) + 1, ry = std::ceil(std::fabs(uy) * half) + 1;
  return kernel->applyWithExtent(
      grown(image.extent(), rx, ry),
      [rx, ry](int, const QRectF& r) { return r.adjusted(-rx, -ry, rx, ry); },
      {QVariant::fromValue(Sampler(image)), QVariant::fromValue(Vector{ux, uy}), double(half)});
}

// ---- Zoom blur: the mean along the line from the pixel towards the
// centre, as long as amount % of the pixel's distance from it (as though
// the picture were scaled about the centre while exposed).
// The rendered rows indexed directly: transparent outside them, bilinear
// between pixel centres or the nearest pixel.
class RenderedRows {
 public:
  explicit RenderedRows(const SamplerView& view) {
    const PixelBuffer* pixels = view.pixels();
    if (!pixels || pixels->isNull()) return;
    r_ = pixels->rect();
    base_ = pixels->pixel(r_.x, r_.y);
    stride_ = pixels->stride();
  }
  const float* at(int x, int y) const {
    if (x < r_.x || y < r_.y || x >= r_.right() || y >= r_.top()) return kClear;
    return base_ + size_t(y - r_.y) * stride_ + size_t(x - r_.x) * 4;
  }
  void nearest(float x, float y, float* out) const {
    const float* p = at(int(std::floor(x)), int(std::floor(y)));
    for (int c = 0; c < 4; ++c) out[c] = p[c];
  }
  void bilinear(float x, float y, float* out) const {
    const float fx = x - 0.5f, fy = y - 0.5f;
    const float bx = std::floor(fx), by = std::floor(fy);
    const int ix = int(bx), iy = int(by);
    const float tx = fx - bx, ty = fy - by;
    const float *p00 = at(ix, iy), *p10 = at(ix + 1, iy);
    const float *p01 = at(ix, iy + 1), *p11 = at(ix + 1, iy + 1);
    for (int c = 0; c < 4; ++c) {
      const float bottom = p00[c] + (p10[c] - p00[c]) * tx;
      const float top = p01[c] + (p11[c] - p01[c]) * tx;
      out[c] = bottom + (top - bottom) * ty;
    }
  }

 private:
  static constexpr float kClear[4] = {0, 0, 0, 0};
  IRect r_;
  const float* base_ = kClear;
  size_t stride_ = 0;
};

// Samples 1.5 pixels apart along the line, at most kZoomTaps of them; on
// longer lines, where the samples lie far apart and so many are averaged
// that blending between pixels no longer shows, the nearest pixel is read.
constexpr int kZoomTaps = 24;
constexpr float kNearestBeyond = 2.5f;

void zoomBlurRow(const KernelRow& row) {
  const RenderedRows rows(*row.samplers[0]);
  const float cx = row.values[0][0], cy = row.values[0][1];
  const float shrink = row.values[1][0];
  const float y = float(row.y) + 0.5f;
  for (int i = 0; i < row.count; ++i) {
    const float x = float(row.x + i) + 0.5f;
    const float length = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) * shrink;
    const int taps = std::clamp(int(std::ceil(length / 1.5f)) + 1, 1, kZoomTaps);
    const float step = taps == 1 ? 0.0f : shrink / float(taps - 1);
    const bool nearest = taps > 1 && length / float(taps - 1) > kNearestBeyond;
    float sum[4] = {0, 0, 0, 0}, p[4];
    for (int k = 0; k < taps; ++k) {
      const float s = 1.0f - step * float(k);
      if (nearest)
        rows.nearest(cx + (x - cx) * s, cy + (y - cy) * s, p);
      else
        rows.bilinear(cx + (x - cx) * s, cy + (y - cy) * s, p);
      for (int c = 0; c < 4; ++c) sum[c] += p[c];
    }
    for (int c = 0; c < 4; ++c) row.out[i * 4 + c] = sum[c] / float(taps);
  }
}

Image zoomBlur(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  const double shrink = std::clamp(f.numberValue("inputAmount") / 100, 0.0, 1.0);
  const QPointF c = f.vectorValue(kCIInputCenterKey).CGPointValue();
  const KernelPtr kernel = builtInKernel("zoomBlur");
  if (image.isNull() || shrink <= 0 || !kernel) return image;
  // Everything read lies between the region and its copy scaled about the centre.
  auto roi = [c, shrink](int, const QRectF& r) {
    const QTransform toward = QTransform::fromTranslate(c.x(), c.y())
                                  .scale(1 - shrink, 1 - shrink)
                                  .translate(-c.x(), -c.y());
    return r.united(toward.mapRect(r)).adjusted(-1, -1, 1, 1);
  };
  return kernel->applyWithExtent(image.extent(), roi,
                                 {QVariant::fromValue(Sampler(image)),
                                  QVariant::fromValue(Vector::vectorWithCGPoint(c)), shrink});
}

FilterInput radiusInput(const QString& type, double defaultValue, double minimum,
                        double sliderMinimum, double sliderMaximum, double identity,
                        const QString& description) {
  FilterInput in = numberInput(kCIInputRadiusKey, type, defaultValue, minimum, sliderMinimum,
                               sliderMaximum, description);
  in.identity = identity;
  return in;
}

}  // namespace

void registerBlurFilters(FilterRegistry& registry) {
  Kernel::registerRoutine("boxBlurHorizontal", boxHorizontalRow);
  Kernel::registerRoutine("boxBlurVertical", boxVerticalRow);
  Kernel::registerRoutine("median3x3", medianRow);
  Kernel::registerRoutine("noiseReduction", noiseReductionRow);
  Kernel::registerRoutine("motionBlur", motionBlurRow);
  Kernel::registerRoutine("zoomBlur", zoomBlurRow);
  const QStringList blur =
      categories({kCICategoryBlur, kCICategoryVideo, kCICategoryHighDynamicRange});
  const FilterInput image = imageInput(kCIInputImageKey, "The image to use as an input image.");
  FilterInput angle = numberInput(kCIInputAngleKey, kCIAttributeTypeAngle, 0, 0, -std::numbers::pi,
                                  std::numbers::pi, "The direction of the motion, in radians.");
  angle.minimum = QVariant();
  FilterInput noiseLevel = numberInput("inputNoiseLevel", kCIAttributeTypeScalar, 0.02, 0, 0, 0.1,
                                       "Luminance differences below this are noise.");
  noiseLevel.identity = 0.0;
  FilterInput sharpness = numberInput(kCIInputSharpnessKey, kCIAttributeTypeScalar, 0.4, 0, 0, 2,
                                      "How much edges are sharpened.");
  sharpness.identity = 0.0;
  FilterInput amount = numberInput("inputAmount", kCIAttributeTypeDistance, 20, 0, 0, 100,
                                   "How far the zoom reaches, as a percentage of the distance "
                                   "from the centre.");
  amount.maximum = 100.0;
  amount.identity = 0.0;
  registerDefinitions(
      registry,
      {
          {"CIGaussianBlur",
           blur,
           "Spreads source pixels by an amount specified by a Gaussian distribution.",
           {image, radiusInput(kCIAttributeTypeScalar, 10, 0, 0, 100, 0,
                               "The standard deviation of the Gaussian, in pixels.")},
           gaussianBlur},
          {"CIDiscBlur",
           blur,
           "Smooths an image using a disc-shaped convolution kernel.",
           {image, radiusInput(kCIAttributeTypeDistance, 8, 0, 0, 100, 0,
                               "The radius of the disc averaged at each pixel.")},
           discBlur},
          {"CIBoxBlur",
           blur,
           "Smooths an image using a box-shaped convolution kernel.",
           {image, radiusInput(kCIAttributeTypeDistance, 10, 0, 1, 100, 0,
                               "Half the side of the square averaged at each pixel.")},
           boxBlur},
          {"CIMedianFilter",
           blur,
           "Replaces each component by the median of its 3 × 3 neighbourhood, removing "
           "speckles.",
           {image},
           neighbourhood("median3x3", {})},
          {"CIMotionBlur",
           blur,
           "Blurs an image to simulate the effect of a camera moving while capturing it.",
           {image,
            radiusInput(kCIAttributeTypeDistance, 20, 0, 0, 100, 0,
                        "Half the length of the motion, in pixels."),
            angle},
           motionBlur},
          {"CINoiseReduction",
           blur,
           "Smooths small luminance changes as noise and sharpens larger ones as edges.",
           {image, noiseLevel, sharpness},
           neighbourhood("noiseReduction", {"inputNoiseLevel", kCIInputSharpnessKey})},
          {"CIZoomBlur",
           blur,
           "Simulates zooming the camera while capturing the image.",
           {image,
            vectorInput(kCIInputCenterKey, kCIAttributeTypePosition, Vector{150, 150},
                        "The centre of the zoom."),
            amount},
           zoomBlur},
      },
      {{"CIMedianFilter", "Median"}});
}

}  // namespace ci::filters
