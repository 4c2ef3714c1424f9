#include "CanvasTestDocument.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/Settings.h"

namespace {

// Smooth colours (about one level per pixel, no wrapping), so a canvas drawn at a
// quarter of the size and the flattening averaged over 4 × 4 pixels agree.
gfx::ImagePtr gradient(int w, int h, int seed, int alpha) {
  QImage pixels(w, h, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const QColor straight(seed * 40 + x * 9 / 10, seed * 30 + y, 128 + seed * 20 + (x + y) / 4,
                            alpha);
      pixels.setPixel(x, y, qPremultiply(straight.rgba()));
    }
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

QImage toQImage(const gfx::ImagePtr& image) {
  auto context =
      gfx::GraphicsContext::bitmapContext(CanvasTestDocument::kWidth, CanvasTestDocument::kHeight);
  {
    gfx::CurrentContextScope scope(context.get());
    image->drawAtPoint(QPointF(0, 0), {}, gfx::CompositingOperation::Copy, 1.0);
  }
  return context->bitmap()->copy();
}

}  // namespace

CanvasTestDocument::CanvasTestDocument() {
  coordinator =
      std::make_unique<cd::PersistentStoreCoordinator>(IMManagedObject::managedObjectModel());
  fnd::Error error;
  EXPECT_TRUE(coordinator->addPersistentStoreWithType(cd::InMemoryStoreType, {}, {}, {}, &error));
  queue = std::make_unique<fnd::OperationQueue>();
  context = std::make_unique<IMAManagedObjectContext>();
  context->setPersistentStoreCoordinator(coordinator.get());
  context->setLoadingAndSavingOperationQueue(queue.get());
  composedImage = context->insertNewObject<ComposedImage>("ComposedImage");
  composedImage->setSize(QSizeF(kWidth, kHeight));
  // Bottom to top: an opaque layer leaving a strip of bare canvas on the
  // right, a multiplying layer inside it, and a half-transparent layer
  // reaching into the strip. Edges fall on multiples of 4 points.
  struct Spec {
    QRect rect;
    int operation, alpha;
    double opacity;
  };
  const Spec specs[] = {{{72, 72, 120, 64}, 2, 200, 0.7},
                        {{32, 40, 96, 80}, 14, 255, 0.8},
                        {{0, 0, 160, 160}, 2, 255, 1.0}};
  for (int i = 0; i < 3; ++i) {
    Layer* layer = Layer::createLayerWithComposedImage(composedImage, context.get(), true);
    layer->image()->setNsImage(
        gradient(specs[i].rect.width(), specs[i].rect.height(), i, specs[i].alpha));
    layer->setOrigin(QPointF(specs[i].rect.x(), specs[i].rect.y()));
    layer->setCompositingOperation(specs[i].operation);
    layer->setAlpha(specs[i].opacity);
  }
}

CanvasTestDocument::~CanvasTestDocument() {
  tst::spinUntil([&] {
    return queue->operationCount() == 0 && Image::pendingCacheWrites() == 0 &&
           fnd::OperationQueue::mainQueue()->operationCount() == 0;
  });
  context->setLoadingAndSavingOperationQueue(nullptr);
  context.reset();
}

void CanvasTestDocument::viewDrawingRect(const QRectF& rect, bool forceCleanDrawing,
                                         bool disableInterpolation) {
  composedImage->compositeImageInRect(rect, forceCleanDrawing, disableInterpolation);
}

QRectF CanvasTestDocument::contentOriginalRectForView() { return composedImage->rect(); }

QImage CanvasTestDocument::flattened() {
  return toQImage(composedImage->finalImageKeepAlpha(true));
}

QImage CanvasTestDocument::flattenedOverGrid() {
  auto canvas = gfx::GraphicsContext::bitmapContext(kWidth, kHeight);
  {
    gfx::CurrentContextScope scope(canvas.get());
    const QRectF rect(0, 0, kWidth, kHeight);
    canvas->fillRect(rect, Qt::white, gfx::CompositingOperation::Copy);
    IMImagesUtilities::drawBackGridWithSpacing(Settings::drawingGridSize(),
                                               Settings::drawingGridColor(), rect, QPointF(0, 0));
    composedImage->finalImageKeepAlpha(true)->drawAtPoint(
        QPointF(0, 0), {}, gfx::CompositingOperation::SourceOver, 1.0);
  }
  return canvas->bitmap()->copy();
}
