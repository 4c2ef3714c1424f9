// The pasteboard: copying a 3000 by 2000 layer image to the clipboard as the
// layers panel does (the image with its origin item), pasting it back as an
// image, and another program taking it as PNG, beside the memcpy of its
// pixels, the floor of any copy. Copies and pastes in the program share the
// image's pixels, so their floor is far above them. The
// clipboard is the offscreen platform's, in process, as on a desktop where
// Tessaly owns the clipboard until another program asks for it.
#include <benchmark/benchmark.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include "BenchReport.h"
#include "appkit/core/Pasteboard.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "foundation/Error.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "window/IMLayersArrayController.h"
#include "window/IMWindowController.h"

namespace {

bench::Timings timings;
constexpr int Wide = 3000, High = 2000;

// A photograph-like gradient with noise, so PNG has something to compress.
gfx::ImagePtr layerImage() {
  static gfx::ImagePtr image = [] {
    QImage pixels(Wide, High, QImage::Format_ARGB32_Premultiplied);
    quint32 noise = 12345;
    for (int y = 0; y < High; ++y) {
      auto* row = reinterpret_cast<QRgb*>(pixels.scanLine(y));
      for (int x = 0; x < Wide; ++x) {
        noise = noise * 1664525u + 1013904223u;
        row[x] = qRgba((x * 255 / Wide + (noise >> 28)) & 255, (y * 255 / High) & 255,
                       (noise >> 24) & 63, 255);
      }
    }
    return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
  }();
  return image;
}

void copyLayer() {
  ui::Pasteboard& general = ui::Pasteboard::generalPasteboard();
  general.clearContents();
  ui::PasteboardItem origin;
  origin.setStringForType("{{0, 0}, {3000, 2000}}", "com.brenwick.layer.ImageOriginType");
  if (!general.writeObjects({origin, layerImage()})) std::abort();
}

void BM_MemcpyFloor(benchmark::State& state) {
  const double ms = bench::memcpyMilliseconds(size_t(Wide) * High * 4);
  for (auto _ : state) {
  }
  timings.set("memcpy", ms);
}

void BM_Copy(benchmark::State& state) {
  bench::timed(state, timings, "pasteboard_copy_3000x2000", copyLayer);
}

void BM_Paste(benchmark::State& state) {
  copyLayer();
  bench::timed(state, timings, "pasteboard_paste_3000x2000", [&] {
    const auto objects =
        ui::Pasteboard::generalPasteboard().readObjectsForClasses({ui::PasteboardClass::Image});
    if (objects.size() != 1) state.SkipWithError("no image came back");
    benchmark::DoNotOptimize(objects);
  });
}

// What another program pasting the image as PNG waits for, from the copy on.
void BM_OtherProgramPastesPNG(benchmark::State& state) {
  bench::timed(state, timings, "pasteboard_other_program_png_3000x2000", [&] {
    copyLayer();
    const QByteArray png = QGuiApplication::clipboard()->mimeData()->data("image/png");
    if (png.isEmpty()) state.SkipWithError("no PNG offered");
    benchmark::DoNotOptimize(png);
  });
}

// The layers panel's Copy of one 4000 × 3000 layer in a document window, to
// the pasteboard written, beside the memcpy of the layer's pixels.
void BM_CopyLayerFromWindow(benchmark::State& state) {
  IMWindowController::installAsDocumentWindow();
  static IMDocumentController documents;
  fnd::Error error;
  auto* document =
      qobject_cast<IMDocument*>(documents.openUntitledDocumentAndDisplay(true, &error));
  auto* window =
      document ? dynamic_cast<IMWindowController*>(document->windowController()) : nullptr;
  if (!window) return state.SkipWithError("no document window");
  window->composedImage()->setSize({4000, 3000});
  Layer* layer = window->composedImage()->layersArray().first();
  QImage pixels(4000, 3000, QImage::Format_ARGB32_Premultiplied);
  pixels.fill(QColor(40, 90, 200, 255));
  layer->image()->setNsImage(gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels)));
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
  timings.set("memcpy_layer", bench::memcpyMilliseconds(size_t(4000) * 3000 * 4));
  bench::timed(state, timings, "pasteboard_copy_layer_4000x3000",
               [&] { window->layersController()->copyLayers({layer}, nullptr, QRectF()); });
  if (ui::Pasteboard::generalPasteboard()
          .readObjectsForClasses({ui::PasteboardClass::Image})
          .size() != 1)
    state.SkipWithError("the layer did not reach the pasteboard");
  document->close();
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
}

void BM_Report(benchmark::State& state) {
  for (auto _ : state) {
  }
  for (const char* name : {"pasteboard_copy_3000x2000", "pasteboard_paste_3000x2000",
                           "pasteboard_other_program_png_3000x2000"})
    timings.printAgainstFloor(name, "memcpy");
  timings.printAgainstFloor("pasteboard_copy_layer_4000x3000", "memcpy_layer");
}

}  // namespace

BENCHMARK(BM_MemcpyFloor)->Iterations(1);
BENCHMARK(BM_Copy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paste)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OtherProgramPastesPNG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyLayerFromWindow)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Report)->Iterations(1);
