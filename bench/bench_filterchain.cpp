// A 4000 × 3000 layer with a chain of three filters (Gaussian blur 10, a
// colour controls step of brightness and contrast, the shadow) re-rendered
// after a parameter change (the blur radius), for the whole canvas and for
// a 512 × 512 dirty rectangle, to 8-bit pixels as the canvas shows them;
// and both drawn again with no change between, from the kept result.
// Each time is printed beside memcpy of the same number of output bytes in
// the same run (the memory bandwidth floor: on every core for the whole
// canvas, which renders in tiles over the worker pool, on one for the
// dirty rectangle; `memcpy_*_threads` states it), and the dirty rectangle's time
// beside its share of the whole canvas's time.
#include <benchmark/benchmark.h>

#include <QImage>
#include <chrono>
#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "BenchReport.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "coreimage/Context.h"
#include "foundation/OperationQueue.h"
#include "graphics/CGImage.h"
#include "model/ComposedImage.h"
#include "model/Filter.h"
#include "model/FilterParameter.h"
#include "model/IMAManagedObjectContext.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000, kDirty = 512;

// The document: one noisy opaque layer and its three filters.
struct Document {
  Document() {
    coordinator =
        std::make_unique<cd::PersistentStoreCoordinator>(IMManagedObject::managedObjectModel());
    coordinator->addPersistentStoreWithType(cd::InMemoryStoreType, {}, {}, {});
    context.setPersistentStoreCoordinator(coordinator.get());
    context.setLoadingAndSavingOperationQueue(&queue);
    Filter::loadFilters();
    composed = ComposedImage::createComposedImageWithALayerForManagedObjectContext(&context);
    composed->setSize(QSizeF(kWidth, kHeight));
    layer = composed->layersArray().first();
    layer->image()->setNsImage(gfx::Image::imageWithCGImage(gfx::CGImage::make(noise())));
    blur = add("CIGaussianBlur");
    radius = parameter(blur, "inputRadius");
    radius->setFloatValue(10);
    colorControls = add("CIColorMatrix");
    // Brightness +0.05 and contrast 1.1 about mid-grey, as a colour matrix.
    const double contrast = 1.1, bias = 0.05 + 0.5 * (1 - contrast);
    setOther(colorControls, "inputRVector", ci::Vector{contrast, 0, 0, 0});
    setOther(colorControls, "inputGVector", ci::Vector{0, contrast, 0, 0});
    setOther(colorControls, "inputBVector", ci::Vector{0, 0, contrast, 0});
    setOther(colorControls, "inputBiasVector", ci::Vector{bias, bias, bias, 0});
    add("ShadowImageUnit");
  }
  ~Document() {
    queue.waitUntilAllOperationsAreFinished();
    context.setLoadingAndSavingOperationQueue(nullptr);
  }

  static QImage noise() {
    std::mt19937 random(1);
    QImage pixels(kWidth, kHeight, QImage::Format_RGBA8888_Premultiplied);
    for (int y = 0; y < kHeight; ++y) {
      auto* row = reinterpret_cast<quint32*>(pixels.scanLine(y));
      for (int x = 0; x < kWidth; ++x) row[x] = random() | 0xff000000u;
    }
    return pixels;
  }
  // Filters are applied from the last to the first: blur, colour, shadow.
  Filter* add(const QString& name) {
    Filter* filter = Filter::createFilterWithName(name, &context);
    if (!filter) std::abort();
    layer->addFiltersArray({filter}, 0);
    return filter;
  }
  static FilterParameter* parameter(Filter* filter, const QString& name) {
    for (FilterParameter* p : filter->filterParametersArray())
      if (p->name() == name) return p;
    std::abort();
  }
  static void setOther(Filter* filter, const QString& name, const ci::Vector& value) {
    FilterParameter* p = parameter(filter, name);
    p->setOtherValue(QVariant::fromValue(value));
    p->updatedCIFilterParameter();
  }

  std::unique_ptr<cd::PersistentStoreCoordinator> coordinator;
  fnd::OperationQueue queue;
  IMAManagedObjectContext context;
  ComposedImage* composed = nullptr;
  Layer* layer = nullptr;
  Filter* blur = nullptr;
  Filter* colorControls = nullptr;
  FilterParameter* radius = nullptr;
};

Document& document() {
  static Document shared;
  return shared;
}

bench::Timings& figures() {
  static bench::Timings all;
  return all;
}

// The threads each memcpy floor copied on, by floor name.
std::map<std::string, int>& floorThreads() {
  static std::map<std::string, int> all;
  return all;
}

const bool reported = bench::atPassEnd([] {
  bench::Timings& t = figures();
  t.printFigures();
  for (const char* area : {"full", "dirty512"})
    for (const char* kind : {"filterchain_", "filterchain_redraw_"}) {
      const double ours = t.get(std::string(kind) + area);
      const double floor = t.get(std::string("memcpy_") + area);
      if (ours <= 0 || floor <= 0) continue;
      bench::figure(std::string(kind) + area + "_memcpy_floor_threads",
                    floorThreads()[std::string("memcpy_") + area], "threads");
      bench::ratio(std::string(kind) + area + "_vs_memcpy", ours / floor);
    }
  const double full = t.get("filterchain_full"), dirty = t.get("filterchain_dirty512");
  if (full > 0 && dirty > 0)
    bench::ratio("filterchain_dirty512_vs_area_share",
                 dirty / (full * kDirty * kDirty / (double(kWidth) * kHeight)));
  t.clear();
});

template <typename Body>
void timed(benchmark::State& state, const std::string& name, Body body) {
  bench::timed(state, figures(), name, body);
}

// A parameter change re-runs the chain (through the filter's change hook),
// then the canvas renders the new filtered image over `rect`.
void rerender(benchmark::State& state, const QRectF& rect, const std::string& name) {
  Document& doc = document();
  ci::Context context;
  float radius = 10;
  timed(state, name, [&] {
    radius = radius == 10 ? 10.5f : 10;
    doc.radius->setFloatValue(radius);
    gfx::CGImagePtr pixels =
        context.createCGImage(doc.layer->filteredCIImage(), rect, ci::kCIFormatRGBA8);
    benchmark::DoNotOptimize(pixels);
  });
}

// The canvas drawing a part again with no change in between (scrolling
// back, an overlapping redraw): the chain's result kept from the first draw.
void redraw(benchmark::State& state, const QRectF& rect, const std::string& name) {
  Document& doc = document();
  ci::Context context;
  doc.layer->filtersChanged();
  benchmark::DoNotOptimize(context.createCGImage(doc.layer->filteredCIImage(), rect));
  timed(state, name, [&] {
    gfx::CGImagePtr pixels =
        context.createCGImage(doc.layer->filteredCIImage(), rect, ci::kCIFormatRGBA8);
    benchmark::DoNotOptimize(pixels);
  });
}

void memcpyFloor(benchmark::State& state, size_t bytes, const std::string& name) {
  std::vector<char> from(bytes, 1), to(bytes);
  timed(state, name, [&] {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
  });
}

void FullCanvas(benchmark::State& state) {
  rerender(state, QRectF(0, 0, kWidth, kHeight), "filterchain_full");
}
void DirtyRect512(benchmark::State& state) {
  rerender(state, QRectF(1744, 1244, kDirty, kDirty), "filterchain_dirty512");
}
void RedrawFull(benchmark::State& state) {
  redraw(state, QRectF(0, 0, kWidth, kHeight), "filterchain_redraw_full");
}
void RedrawDirty512(benchmark::State& state) {
  redraw(state, QRectF(1744, 1244, kDirty, kDirty), "filterchain_redraw_dirty512");
}
void MemcpyFull(benchmark::State& state) {
  for (auto _ : state) {
  }
  figures().set("memcpy_full",
                bench::memcpyMilliseconds(size_t(kWidth) * kHeight * 4, bench::allCores()));
  floorThreads()["memcpy_full"] = bench::allCores();
}
void MemcpyDirty512(benchmark::State& state) {
  memcpyFloor(state, size_t(kDirty) * kDirty * 4, "memcpy_dirty512");
  floorThreads()["memcpy_dirty512"] = 1;
}

}  // namespace

BENCHMARK(FullCanvas)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(DirtyRect512)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1);
BENCHMARK(RedrawFull)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.5);
BENCHMARK(RedrawDirty512)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.5);
BENCHMARK(MemcpyFull)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(MemcpyDirty512)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.5);
