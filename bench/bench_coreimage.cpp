// The render engine on a 4000 × 3000 RGBA image, each case rendered to 8-bit
// pixels as the program displays and saves them: Gaussian blur (radius 10),
// a 10° rotation, source-over of two images, a float recipe rendered to
// 8-bit, and an accumulator stamping 1,000 dabs of 100 pixels.
// bench/compare-coreimage runs the same work through vips for the ratios.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QTransform>
#include <chrono>
#include <map>
#include <random>

#include "BenchReport.h"
#include "coreimage/Context.h"
#include "coreimage/Filter.h"
#include "coreimage/ImageAccumulator.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

QImage noise(unsigned seed) {
  std::mt19937 random(seed);
  QImage pixels(kWidth, kHeight, QImage::Format_RGBA8888_Premultiplied);
  for (int y = 0; y < kHeight; ++y) {
    quint32* row = reinterpret_cast<quint32*>(pixels.scanLine(y));
    for (int x = 0; x < kWidth; ++x) row[x] = random() | 0xff000000u;  // opaque
  }
  return pixels;
}

struct Figures : bench::Timings {
  ~Figures() {
    printFigures();
    if (const double dabs = get("coreimage_accumulator_1000_dabs"); dabs > 0)
      bench::figure("coreimage_accumulator_dabs_per_second", 1000.0 / (dabs / 1000.0), "dabs/s");
  }
};

Figures& figures() {
  static Figures all;
  return all;
}

template <typename Body>
void timed(benchmark::State& state, const std::string& name, Body body) {
  bench::timed(state, figures(), name, body);
}

const ci::Image& source(int which) {
  static const ci::Image images[2] = {ci::Image::imageWithCGImage(gfx::CGImage::make(noise(1))),
                                      ci::Image::imageWithCGImage(gfx::CGImage::make(noise(2)))};
  return images[which];
}

void renderTo8Bit(benchmark::State& state, const ci::Image& recipe, const std::string& name) {
  ci::Context context;
  const QRectF extent = recipe.extent();
  timed(state, "coreimage_" + name, [&] {
    gfx::CGImagePtr pixels = context.createCGImage(recipe, extent, ci::kCIFormatRGBA8);
    benchmark::DoNotOptimize(pixels);
  });
}

void GaussianBlur10(benchmark::State& state) {
  // Cropped back to the source, as vips keeps the size.
  const ci::Image blurred = source(0)
                                .imageByApplyingFilter("CIGaussianBlur", {{"inputRadius", 10}})
                                .imageByCroppingToRect(source(0).extent());
  renderTo8Bit(state, blurred, "gaussblur_sigma10");
}

void Rotate10(benchmark::State& state) {
  QTransform rotation;
  rotation.rotate(10);
  renderTo8Bit(state, source(0).imageByApplyingTransform(rotation), "rotate10");
}

void SourceOver(benchmark::State& state) {
  renderTo8Bit(state, source(0).imageByCompositingOverImage(source(1)), "composite_over");
}

void FloatTo8Bit(benchmark::State& state) {
  static const ci::Image floats = [] {
    ci::PixelBuffer buffer = ci::Context().renderToBuffer(source(0), source(0).extent());
    return ci::Image::imageWithBuffer(buffer);
  }();
  renderTo8Bit(state, floats, "float_to_8bit");
}

void AccumulatorDabs(benchmark::State& state) {
  // A soft round dab of 100 pixels: a radial gradient from opaque red to clear.
  auto gradient = ci::Filter::filterWithName(
      "CIRadialGradient", {{"inputCenter", QVariant::fromValue(ci::Vector{50, 50})},
                           {"inputRadius0", 10},
                           {"inputRadius1", 50},
                           {"inputColor0", QVariant::fromValue(ci::Color(1, 0, 0, 1))},
                           {"inputColor1", QVariant::fromValue(ci::Color(1, 0, 0, 0))}});
  const ci::Image dab = ci::Image::imageWithCGImage(
      ci::Context().createCGImage(gradient->outputImage(), QRectF(0, 0, 100, 100)));
  std::mt19937 random(3);
  std::vector<QPoint> positions;
  for (int i = 0; i < 1000; ++i)
    positions.emplace_back(int(random() % (kWidth - 100)), int(random() % (kHeight - 100)));
  timed(state, "coreimage_accumulator_1000_dabs", [&] {
    ci::ImageAccumulator accumulator(QRectF(0, 0, kWidth, kHeight), ci::kCIFormatRGBAf);
    for (const QPoint& p : positions) {
      const ci::Image placed =
          dab.imageByApplyingTransform(QTransform::fromTranslate(p.x(), p.y()));
      accumulator.setImage(placed.imageByCompositingOverImage(accumulator.image()),
                           QRectF(p.x(), p.y(), 100, 100));
    }
    benchmark::DoNotOptimize(accumulator.image());
  });
  state.counters["dabs_per_second"] =
      benchmark::Counter(double(state.iterations()) * 1000, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(GaussianBlur10)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(Rotate10)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(SourceOver)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(FloatTo8Bit)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(AccumulatorDabs)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
