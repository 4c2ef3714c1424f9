// The document of the drawing and document benchmarks: ten 4000 × 3000
// layers (mixed compositing operations, opacity 0.5 to 1, two rotated) in a
// SQLite store, with its loading and saving queue.
#pragma once

#include <QImage>
#include <memory>

#include "ModelBenchmarkLayers.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "foundation/OperationQueue.h"
#include "graphics/Image.h"
#include "model/ComposedImage.h"
#include "model/IMAManagedObjectContext.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace {

constexpr int kWidth = bench::kModelWidth;
constexpr int kHeight = bench::kModelHeight;
constexpr int kLayers = bench::kModelLayers;
constexpr size_t kLayerBytes = size_t(kWidth) * kHeight * 4;

struct Document {
  std::unique_ptr<cd::PersistentStoreCoordinator> coordinator;
  std::unique_ptr<fnd::OperationQueue> queue;
  std::unique_ptr<IMAManagedObjectContext> context;
  explicit Document(const QString& path) {
    coordinator =
        std::make_unique<cd::PersistentStoreCoordinator>(IMManagedObject::managedObjectModel());
    fnd::Error error;
    if (!coordinator->addPersistentStoreWithType(cd::SQLiteStoreType, {}, QUrl::fromLocalFile(path),
                                                 {}, &error))
      qFatal("ten-layer document: cannot open %s: %s", qPrintable(path),
             qPrintable(error.localizedDescription()));
    queue = std::make_unique<fnd::OperationQueue>();
    context = std::make_unique<IMAManagedObjectContext>();
    context->setPersistentStoreCoordinator(coordinator.get());
    context->setLoadingAndSavingOperationQueue(queue.get());
  }
  ~Document() {
    finishWork();
    context.reset();
  }
  // The main queue first: a layer's version write starts there once its undo
  // step closes, and only then joins the loading queue.
  void finishWork() {
    fnd::OperationQueue::mainQueue()->waitUntilAllOperationsAreFinished();
    queue->waitUntilAllOperationsAreFinished();
    fnd::OperationQueue::mainQueue()->waitUntilAllOperationsAreFinished();
  }
  // A failed save or fetch ends the run: the figures after it would mean nothing.
  ComposedImage* composedImage() {
    fnd::Error error;
    ComposedImage* found =
        ComposedImage::composedImageForManagedObjectContext(context.get(), &error);
    if (!found)
      qFatal("ten-layer document: no composed image: %s", qPrintable(error.localizedDescription()));
    return found;
  }
  void save() {
    fnd::Error error;
    if (!context->save(&error))
      qFatal("ten-layer document: save failed: %s", qPrintable(error.localizedDescription()));
  }
};

gfx::ImagePtr layerPixels(int seed) { return bench::modelLayerPixels(seed); }

// The floor of drawing `pixels` pixels of a view of the document, the same
// for the model's drawing and the canvas's: each layer's part of the view
// read once and the view written once. A whole view is drawn in bands over
// the worker pool, so its floor copies on every core; a small dirty
// rectangle is drawn on one thread, and so is its floor.
inline size_t viewDrawingFloorBytes(size_t pixels) { return pixels * 4 * (kLayers + 1); }
inline void setViewDrawingFloor(bench::Timings& timings, const std::string& name, size_t pixels,
                                int threads) {
  timings.setFloor(name, bench::memcpyMilliseconds(viewDrawingFloorBytes(pixels), threads),
                   threads);
}

// The document over its layers; unless `waitForCacheWrites` is false, the
// background writes of the layers' versions to the cache have finished.
std::unique_ptr<Document> buildDocument(const QString& path, bool waitForCacheWrites = true) {
  QFile::remove(path);
  auto document = std::make_unique<Document>(path);
  const int operations[kLayers] = {2, 14, 15, 16, 2, 17, 18, 2, 23, 2};
  auto* composedImage = document->context->insertNewObject<ComposedImage>("ComposedImage");
  composedImage->setSize(QSizeF(kWidth, kHeight));
  for (int i = 0; i < kLayers; ++i) {
    Layer* layer =
        Layer::createLayerWithComposedImage(composedImage, document->context.get(), true);
    layer->image()->setNsImage(layerPixels(i));
    layer->setCompositingOperation(operations[i]);
    layer->setAlpha(0.5 + 0.05 * i);
    if (i == 3) layer->setRotationAngle(15);
    if (i == 7) layer->setRotationAngle(30);
  }
  if (waitForCacheWrites) document->finishWork();
  return document;
}

}  // namespace
