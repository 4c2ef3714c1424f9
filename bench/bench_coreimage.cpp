// The render engine beside libvips, in this process, on the same 4000 × 3000
// RGBA pixels, each side rendering its result to 8-bit pixels in memory:
// Gaussian blur of sigma 10 (both kernels cut at 3 sigma, 61 taps), a 10°
// bilinear rotation into the rotated bounding box, source-over of two
// premultiplied images (the upper one translucent), float pixels to 8-bit, and 1,000 dabs of 100
// pixels over the image (ours stamped into an accumulator that is then rendered, vips composited in
// one go). Runs alternate, ours then vips, best of five, at one thread and at all cores (where
// vips's figure is its best of one and all threads: more threads make some of its pipelines
// slower). Also the accumulator's stamping rate, as the painting tools stamp, beside memcpy of the
// bytes the dabs cover, alone and with each dab's square drawn again to 8-bit as the canvas does.
#include <benchmark/benchmark.h>
#include <vips/vips.h>  // before Qt, whose keyword macros clash with GLib's headers

#include <QImage>
#include <QTransform>
#include <chrono>
#include <cstring>
#include <random>

#include "BenchReport.h"
#include "ColdPools.h"
#include "VipsComparison.h"
#include "coreimage/Context.h"
#include "coreimage/Filter.h"
#include "coreimage/ImageAccumulator.h"
#include "coreimage/PixelBuffer.h"
#include "coreimage/WorkerPool.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;
constexpr int kRuns = 5;
constexpr int kDabs = 1000, kDabSize = 100;

bench::Timings& timings() {
  static bench::Timings shared;
  return shared;
}

// Random premultiplied pixels, opaque or of random coverage.
QImage noise(unsigned seed, bool opaque) {
  std::mt19937 random(seed);
  QImage pixels(kWidth, kHeight, QImage::Format_RGBA8888_Premultiplied);
  for (int y = 0; y < kHeight; ++y) {
    uchar* p = pixels.scanLine(y);
    for (int x = 0; x < kWidth; ++x, p += 4) {
      const quint32 bits = random();
      p[3] = opaque ? 255 : uchar(bits >> 24);
      for (int c = 0; c < 3; ++c) p[c] = uchar(((bits >> (8 * c)) & 255) * p[3] / 255);
    }
  }
  return pixels;
}

// vips reading `pixels` where they are, as sRGB with premultiplied alpha
// (vips_composite is told so, the other operations do not care).
VipsImage* vipsImage(const void* pixels, int width, int height, VipsBandFormat format) {
  const size_t bytes = size_t(width) * height * 4 * vips_format_sizeof(format);
  VipsImage* image = vips_image_new_from_memory(pixels, bytes, width, height, 4, format);
  VipsImage* srgb = nullptr;
  if (!image || vips_copy(image, &srgb, "interpretation", VIPS_INTERPRETATION_sRGB, nullptr))
    qFatal("bench_coreimage: %s", vips_error_buffer());
  g_object_unref(image);
  return srgb;
}

// One input, held by both sides over the same bytes.
struct Source {
  QImage pixels;
  ci::Image ours;
  VipsImage* vips = nullptr;
  explicit Source(QImage image) : pixels(std::move(image)) {
    ours = ci::Image::imageWithCGImage(gfx::CGImage::make(pixels));
    vips = vipsImage(pixels.constBits(), pixels.width(), pixels.height(), VIPS_FORMAT_UCHAR);
  }
};

const Source& source(int which) {
  // Two opaque images, and one of random coverage to composite over them.
  static const Source sources[3] = {Source(noise(1, true)), Source(noise(2, true)),
                                    Source(noise(3, false))};
  return sources[which];
}

// Ours: the recipe rendered to a new 8-bit image, as the program does.
void renderOurs(const ci::Image& recipe) {
  static const ci::Context context;
  gfx::CGImagePtr pixels = context.createCGImage(recipe, recipe.extent(), ci::kCIFormatRGBA8);
  if (!pixels) qFatal("bench_coreimage: render failed");
  benchmark::DoNotOptimize(pixels);
}

// vips: the pipeline `make` builds from nothing, evaluated into new memory.
template <typename Make>
void renderVips(Make make) {
  VipsImage* out = nullptr;
  if (make(&out)) qFatal("bench_coreimage: %s", vips_error_buffer());
  size_t bytes = 0;
  void* pixels = vips_image_write_to_memory(out, &bytes);
  if (!pixels) qFatal("bench_coreimage: %s", vips_error_buffer());
  benchmark::DoNotOptimize(pixels);
  g_free(pixels);
  g_object_unref(out);
}

// Alternates ours and vips, keeping the best of kRuns each, at one thread
// and then at all cores.
void compare(const std::string& name, const std::function<void()>& ours,
             const std::function<void()>& vips) {
  bench::compareWithVips(
      kRuns, ours, vips,
      [&](const std::string& threads, double bestOurs, double bestVips, int vipsThreads) {
        timings().set(name + "_" + threads, bestOurs);
        timings().set(name + "_vips_" + threads, bestVips);
        timings().set(name + "_vips_" + threads + "_threads", vipsThreads);
      });
}

// Each comparison is one benchmark run once; the timing is compare()'s own.
void comparison(benchmark::State& state, const std::string& name, const std::function<void()>& ours,
                const std::function<void()>& vips) {
  for (auto _ : state) compare(name, ours, vips);
}

void GaussianBlur10(benchmark::State& state) {
  // Cropped back to the source, as vips keeps the size.
  const ci::Image blurred = source(0)
                                .ours.imageByApplyingFilter("CIGaussianBlur", {{"inputRadius", 10}})
                                .imageByCroppingToRect(source(0).ours.extent());
  // Coefficients below 1% of the centre's are left out: 61 taps, as ours.
  // vips convolves 8-bit images in fixed point by default (its float path
  // is ten times slower), so the peer is its fastest way to the same result.
  comparison(
      state, "coreimage_gaussblur_sigma10", [&] { renderOurs(blurred); },
      [] {
        renderVips([](VipsImage** out) {
          return vips_gaussblur(source(0).vips, out, 10.0, "min_ampl", 0.01, nullptr);
        });
      });
}

void Rotate10(benchmark::State& state) {
  QTransform rotation;
  rotation.rotate(10);
  const ci::Image rotated = source(0).ours.imageByApplyingTransform(rotation);
  VipsInterpolate* bilinear = vips_interpolate_new("bilinear");
  comparison(
      state, "coreimage_rotate10", [&] { renderOurs(rotated); },
      [&] {
        renderVips([&](VipsImage** out) {
          return vips_rotate(source(0).vips, out, 10.0, "interpolate", bilinear, nullptr);
        });
      });
  g_object_unref(bilinear);
}

void SourceOver(benchmark::State& state) {
  const ci::Image over = source(2).ours.imageByCompositingOverImage(source(1).ours);
  comparison(
      state, "coreimage_composite_over", [&] { renderOurs(over); },
      [&] {
        renderVips([&](VipsImage** out) {
          return vips_composite2(source(1).vips, source(2).vips, out, VIPS_BLEND_MODE_OVER,
                                 "premultiplied", TRUE, nullptr);
        });
      });
}

void FloatTo8Bit(benchmark::State& state) {
  // The same float pixels on both sides: ours in the engine's buffer, vips's
  // a contiguous copy of it.
  const ci::PixelBuffer buffer =
      ci::Context().renderToBuffer(source(0).ours, source(0).ours.extent());
  const ci::Image floats = ci::Image::imageWithBuffer(buffer);
  std::vector<float> copy(size_t(kWidth) * kHeight * 4);
  for (int y = 0; y < kHeight; ++y)
    std::copy_n(buffer.row(buffer.rect().y + y), size_t(kWidth) * 4,
                copy.data() + size_t(y) * kWidth * 4);
  VipsImage* vipsFloats = vipsImage(copy.data(), kWidth, kHeight, VIPS_FORMAT_FLOAT);
  comparison(
      state, "coreimage_float_to_8bit", [&] { renderOurs(floats); },
      [&] {
        renderVips([&](VipsImage** out) {
          return vips_linear1(vipsFloats, out, 255.0, 0.0, "uchar", TRUE, nullptr);
        });
      });
  g_object_unref(vipsFloats);
}

// A soft round dab of 100 pixels: a radial gradient from opaque red to clear.
const QImage& dabPixels() {
  static const QImage pixels = [] {
    auto gradient = ci::Filter::filterWithName(
        "CIRadialGradient", {{"inputCenter", QVariant::fromValue(ci::Vector{50, 50})},
                             {"inputRadius0", 10},
                             {"inputRadius1", 50},
                             {"inputColor0", QVariant::fromValue(ci::Color(1, 0, 0, 1))},
                             {"inputColor1", QVariant::fromValue(ci::Color(1, 0, 0, 0))}});
    return ci::Context()
        .createCGImage(gradient->outputImage(), QRectF(0, 0, kDabSize, kDabSize),
                       ci::kCIFormatRGBA8)
        ->qImage();
  }();
  return pixels;
}

const std::vector<QPoint>& dabPositions() {
  static const std::vector<QPoint> positions = [] {
    std::mt19937 random(3);
    std::vector<QPoint> all;
    for (int i = 0; i < kDabs; ++i)
      all.emplace_back(int(random() % (kWidth - kDabSize)), int(random() % (kHeight - kDabSize)));
    return all;
  }();
  return positions;
}

// Each dab composited over what the accumulator holds, only its own square re-rendered.
void stamp(ci::ImageAccumulator& accumulator, const ci::Image& dab) {
  for (const QPoint& p : dabPositions()) {
    const ci::Image placed = dab.imageByApplyingTransform(QTransform::fromTranslate(p.x(), p.y()));
    accumulator.setImage(placed.imageByCompositingOverImage(accumulator.image()),
                         QRectF(p.x(), p.y(), kDabSize, kDabSize));
  }
}

const ci::Image& dabImage() {
  static const ci::Image dab = ci::Image::imageWithCGImage(gfx::CGImage::make(dabPixels()));
  return dab;
}

void ThousandDabs(benchmark::State& state) {
  const QRectF extent(0, 0, kWidth, kHeight);
  // One image per dab (over the same pixels): vips's threads contend on an image used 1000 times.
  std::vector<VipsImage*> layers{source(0).vips};
  std::vector<int> modes, xs, ys;
  for (const QPoint& p : dabPositions()) {
    layers.push_back(vipsImage(dabPixels().constBits(), kDabSize, kDabSize, VIPS_FORMAT_UCHAR));
    modes.push_back(VIPS_BLEND_MODE_OVER);
    xs.push_back(p.x());
    ys.push_back(p.y());
  }
  comparison(
      state, "coreimage_1000_dabs_over_image",
      [&] {
        ci::ImageAccumulator accumulator(extent, ci::kCIFormatRGBAf);
        accumulator.setImage(source(0).ours);
        stamp(accumulator, dabImage());
        renderOurs(accumulator.image());
      },
      [&] {
        renderVips([&](VipsImage** out) {
          VipsArrayInt* x = vips_array_int_new(xs.data(), int(xs.size()));
          VipsArrayInt* y = vips_array_int_new(ys.data(), int(ys.size()));
          const int failed = vips_composite(layers.data(), out, int(layers.size()), modes.data(),
                                            "x", x, "y", y, "premultiplied", TRUE, nullptr);
          vips_area_unref(VIPS_AREA(x));
          vips_area_unref(VIPS_AREA(y));
          return failed;
        });
      });
  for (size_t i = 1; i < layers.size(); ++i) g_object_unref(layers[i]);
}

// Stamping alone, into a transparent accumulator, as a brush stroke does.
void AccumulatorDabs(benchmark::State& state) {
  const QRectF extent(0, 0, kWidth, kHeight);
  bench::timed(state, timings(), "coreimage_accumulator_1000_dabs", [&] {
    ci::ImageAccumulator accumulator(extent, ci::kCIFormatRGBAf);
    stamp(accumulator, dabImage());
    benchmark::DoNotOptimize(accumulator.image());
  });
  // Each dab reads and writes its square of float pixels once.
  timings().set("dabs_floor", bench::memcpyMilliseconds(size_t(kDabs) * kDabSize * kDabSize * 16));
}

// Stamping as the canvas sees it: after each dab, its square of the
// accumulator is drawn again into an 8-bit canvas, and nothing else.
void AccumulatorDabsRedrawn(benchmark::State& state) {
  const QRectF extent(0, 0, kWidth, kHeight);
  const ci::Context context;
  QImage canvas(kWidth, kHeight, QImage::Format_RGBA8888_Premultiplied);
  canvas.fill(0);
  bench::timed(state, timings(), "coreimage_accumulator_1000_dabs_redrawn", [&] {
    ci::ImageAccumulator accumulator(extent, ci::kCIFormatRGBAf);
    for (const QPoint& p : dabPositions()) {
      const QRectF square(p.x(), p.y(), kDabSize, kDabSize);
      const ci::Image placed =
          dabImage().imageByApplyingTransform(QTransform::fromTranslate(p.x(), p.y()));
      accumulator.setImage(placed.imageByCompositingOverImage(accumulator.image()), square);
      // The canvas's rows run top first: the square's top row is row H − y − size.
      uchar* corner = canvas.scanLine(kHeight - p.y() - kDabSize) + size_t(p.x()) * 4;
      context.render(accumulator.image(), corner, canvas.bytesPerLine(), square,
                     ci::kCIFormatRGBA8);
    }
    benchmark::DoNotOptimize(canvas.constBits());
  });
  // Each dab reads and writes its float square once and writes its 8-bit square.
  timings().set("dabs_redrawn_floor",
                bench::memcpyMilliseconds(size_t(kDabs) * kDabSize * kDabSize * (16 + 4)));
}

const bool reported = bench::atPassEnd([] {
  bench::Timings& t = timings();
  for (const char* name :
       {"coreimage_gaussblur_sigma10", "coreimage_rotate10", "coreimage_composite_over",
        "coreimage_float_to_8bit", "coreimage_1000_dabs_over_image"}) {
    for (const char* threads : bench::kVipsThreadCounts) {
      const std::string ours = std::string(name) + "_" + threads;
      const std::string vips = std::string(name) + "_vips_" + threads;
      if (!t.has(ours)) continue;
      bench::figure(ours, t.get(ours), "ms");
      bench::figure(vips, t.get(vips), "ms");
      bench::figure(vips + "_threads", t.get(vips + "_threads"), "threads");
      bench::ratio(std::string(name) + "_vs_vips_" + threads, t.get(ours) / t.get(vips));
    }
  }
  t.printAgainstFloor("coreimage_accumulator_1000_dabs", "dabs_floor");
  if (const double dabs = t.get("coreimage_accumulator_1000_dabs"); dabs > 0)
    bench::figure("coreimage_accumulator_dabs_per_second", kDabs / (dabs / 1000.0), "dabs/s");
  t.printAgainstFloor("coreimage_accumulator_1000_dabs_redrawn", "dabs_redrawn_floor");
  if (const double dabs = t.get("coreimage_accumulator_1000_dabs_redrawn"); dabs > 0)
    bench::figure("coreimage_accumulator_redrawn_dabs_per_second", kDabs / (dabs / 1000.0),
                  "dabs/s");
  t.printAgainstFloor("coreimage_accumulator_2000_brush_dabs", "brush_dabs_floor");
  if (const double dabs = t.get("coreimage_accumulator_2000_brush_dabs"); dabs > 0)
    bench::figure("coreimage_accumulator_brush_dabs_per_second", 2000 / (dabs / 1000.0), "dabs/s");
  t.clear();
});

const bool vipsStarted = [] {
  if (VIPS_INIT("bench_coreimage")) qFatal("bench_coreimage: vips did not start");
  vips_cache_set_max(0);  // every run computes afresh
  return true;
}();

}  // namespace

// The brush's dab as its tool renders it: a radial gradient from the colour
// at the centre to clear at the radius, off the pixel grid, over the square
// around the circle; beside a copy of the same floats (the floor).
void RadialDabRows(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  constexpr int kRenders = 2000;
  const ci::Context context;
  std::vector<ci::Image> dabs;
  for (int i = 0; i < 8; ++i)
    dabs.push_back(ci::Filter::filterWithName(
                       "CIRadialGradient",
                       {{"inputCenter", QVariant::fromValue(ci::Vector{50 + i / 8.0, 50.5})},
                        {"inputRadius0", 0},
                        {"inputRadius1", 50},
                        {"inputColor0", QVariant::fromValue(ci::Color(0.8, 0.1, 0.3, 1))},
                        {"inputColor1", QVariant::fromValue(ci::Color(0, 0, 0, 0))}})
                       ->outputImage());
  ci::PixelBuffer out(ci::IRect{0, 0, kDabSize, kDabSize});
  ci::PixelBuffer copy(ci::IRect{0, 0, kDabSize, kDabSize});
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kRenders; ++i) context.render(dabs[size_t(i) % dabs.size()], out);
    const Clock::time_point rendered = Clock::now();
    for (int i = 0; i < kRenders; ++i)
      std::memcpy(copy.row(0), out.row(0), sizeof(float) * 4 * kDabSize * kDabSize);
    const Clock::time_point copied = Clock::now();
    const double dab = std::chrono::duration<double, std::micro>(rendered - start).count();
    const double floor = std::chrono::duration<double, std::micro>(copied - rendered).count();
    bench::figure("coreimage_radial_dab_100px", dab / kRenders, "us");
    bench::figure("coreimage_radial_dab_100px_floor_copy", floor / kRenders, "us");
    bench::ratio("coreimage_radial_dab_100px_vs_copy", dab / floor);
  }
}

// Stamping as the brush tool stamps: 2,000 dabs 100 pixels across (radial
// ramps from a translucent colour to clear, off the pixel grid, source-over
// onto nothing and cut to their squares), a quarter of the size apart along a
// zigzag over 700 × 400 pixels (a window's view of a large image), 15 to a
// step as a mouse event brings them; beside memcpy of the
// float squares they cover, read and written once.
void BrushDabsStamped(benchmark::State& state) {
  constexpr int kBrushDabs = 2000, kPerStep = 15;
  constexpr double kRadius = kDabSize / 2.0;
  std::vector<ci::Image> dabs;
  std::vector<QRectF> squares;
  QPointF at(300.25, 400.5);
  double direction = 1;
  for (int i = 0; i < kBrushDabs; ++i) {
    auto gradient = ci::Filter::filterWithName(
        "CIRadialGradient", {{"inputCenter", QVariant::fromValue(ci::Vector{at.x(), at.y()})},
                             {"inputRadius0", 0},
                             {"inputRadius1", kRadius},
                             {"inputColor0", QVariant::fromValue(ci::Color(0.6, 0.1, 0.3, 0.75))},
                             {"inputColor1", QVariant::fromValue(ci::Color(0, 0, 0, 0))}});
    const QRectF square(at.x() - kRadius, at.y() - kRadius, 2 * kRadius, 2 * kRadius);
    dabs.push_back(gradient->outputImage()
                       .imageByCompositingOverImage(ci::Image::emptyImage())
                       .imageByCroppingToRect(square));
    squares.push_back(square);
    at.rx() += direction * kRadius / 2;
    if (at.x() > 1000 || at.x() < 300) {
      direction = -direction;
      at.ry() += 30;
      if (at.y() > 800) at.setY(400.5);
    }
  }
  const QRectF extent(0, 0, kWidth, kHeight);
  bench::timed(state, timings(), "coreimage_accumulator_2000_brush_dabs", [&] {
    ci::ImageAccumulator accumulator(extent, ci::kCIFormatRGBAf);
    for (int first = 0; first < kBrushDabs; first += kPerStep) {
      const int last = std::min(kBrushDabs, first + kPerStep);
      const std::vector<ci::Image> step(dabs.begin() + first, dabs.begin() + last);
      QRectF dirty;
      for (int i = first; i < last; ++i) dirty = dirty.united(squares[size_t(i)]);
      accumulator.stampEachOver(step, dirty);
    }
    benchmark::DoNotOptimize(accumulator.image());
  });
  timings().set("brush_dabs_floor",
                bench::memcpyMilliseconds(size_t(kBrushDabs) * kDabSize * kDabSize * 16));
}

BENCHMARK(GaussianBlur10)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Rotate10)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(SourceOver)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FloatTo8Bit)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(ThousandDabs)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(AccumulatorDabs)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1);
BENCHMARK(RadialDabRows)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(AccumulatorDabsRedrawn)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1);
BENCHMARK(BrushDabsStamped)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1);
