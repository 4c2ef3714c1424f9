// Dragging the radius slider of a Gaussian blur on a 4000 × 3000 layer seen
// through a 1920 × 1080 view: each step of the parameters panel's slider
// goes through the row's edit (the parameter, its undo step, the filter
// chain) and the view's visible part is rendered again to 8-bit pixels, as
// the canvas draws it; the chain renders that region only, never the whole
// layer. Printed in milliseconds per step; 33 ms keeps 30 steps a second.
#include <benchmark/benchmark.h>

#include <QSlider>
#include <QThreadPool>
#include <ctime>
#include <random>

#include "BenchReport.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "coreimage/Context.h"
#include "foundation/OperationQueue.h"
#include "foundation/WorkerPool.h"
#include "graphics/CGImage.h"
#include "model/ComposedImage.h"
#include "model/Filter.h"
#include "model/FilterParameter.h"
#include "model/IMAManagedObjectContext.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "window/IMFilterParameterRowView.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;
const QRectF kView(1040, 960, 1920, 1080);

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
    std::mt19937 random(1);
    QImage pixels(kWidth, kHeight, QImage::Format_RGBA8888_Premultiplied);
    for (int y = 0; y < kHeight; ++y) {
      auto* row = reinterpret_cast<quint32*>(pixels.scanLine(y));
      for (int x = 0; x < kWidth; ++x) row[x] = random() | 0xff000000u;
    }
    layer->image()->setNsImage(gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels)));
    Filter* blur = Filter::createFilterWithName("CIGaussianBlur", &context);
    if (!blur) std::abort();
    layer->addFiltersArray({blur}, 0);
    for (FilterParameter* p : blur->filterParametersArray())
      if (p->name() == "inputRadius") radius = p;
    if (!radius) std::abort();
    row = std::make_unique<IMFilterParameterRowView>("FloatParamRow", radius);
    // The layer was there before the slider moved: its version file and
    // drawing levels are made before the first step.
    queue.waitUntilAllOperationsAreFinished();
    fnd::WorkerPool::shared()->waitForDone();
  }
  ~Document() {
    row.reset();
    queue.waitUntilAllOperationsAreFinished();
    context.setLoadingAndSavingOperationQueue(nullptr);
  }

  std::unique_ptr<cd::PersistentStoreCoordinator> coordinator;
  fnd::OperationQueue queue;
  IMAManagedObjectContext context;
  ComposedImage* composed = nullptr;
  Layer* layer = nullptr;
  FilterParameter* radius = nullptr;
  std::unique_ptr<IMFilterParameterRowView> row;
};

bench::Timings& figures() {
  static bench::Timings all;
  return all;
}

double processCpuMilliseconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Beside the step: the memcpy of the view's bytes, and the processor time
// of a step over all threads, which a loaded machine does not inflate.
const bool reported = bench::atPassEnd([] {
  const double step = figures().get("parameter_slider_step");
  if (step <= 0) return;
  bench::figure("parameter_slider_blur_4000x3000_view_1920x1080", step, "ms");
  bench::figure("parameter_slider_blur_4000x3000_view_1920x1080_cpu",
                figures().get("parameter_slider_step_cpu"), "ms");
  const double floor = bench::memcpyMilliseconds(size_t(kView.width() * kView.height() * 4));
  if (floor > 0)
    bench::ratio("parameter_slider_blur_4000x3000_view_1920x1080_vs_memcpy", step / floor);
  figures().clear();
});

void SliderStep(benchmark::State& state) {
  static Document doc;
  ci::Context context;
  QSlider* slider = doc.row->slider();
  int position = slider->value();
  const double cpuStart = processCpuMilliseconds();
  bench::timed(state, figures(), "parameter_slider_step", [&] {
    position = position == 100 ? 101 : 100;
    slider->setValue(position);
    gfx::CGImagePtr pixels =
        context.createCGImage(doc.layer->filteredCIImage(), kView, ci::kCIFormatRGBA8);
    benchmark::DoNotOptimize(pixels);
  });
  // The warm pass's untimed first step is counted too.
  const double steps = double(state.iterations()) + (bench::warmPass() ? 1 : 0);
  if (steps > 0)
    figures().set("parameter_slider_step_cpu", (processCpuMilliseconds() - cpuStart) / steps);
}

}  // namespace

BENCHMARK(SliderStep)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1);
