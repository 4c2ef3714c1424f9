#include "QuickLookTestStores.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "coredata/PersistentStoreCoordinator.h"
#include "foundation/OperationQueue.h"
#include "graphics/AttributedString.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/IMAManagedObjectContext.h"
#include "model/IMImagesUtilities.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/ModelVariant.h"
#include "model/TextLayer.h"

namespace {

// A context over a new store at `path`, as the program's documents have.
struct StoreWriter {
  explicit StoreWriter(const QString& path) {
    QFile::remove(path);
    ModelVariant::setCurrent(ModelVariant::Application);
    coordinator =
        std::make_unique<cd::PersistentStoreCoordinator>(IMManagedObject::managedObjectModel());
    fnd::Error error;
    EXPECT_TRUE(coordinator->addPersistentStoreWithType(cd::SQLiteStoreType, {},
                                                        QUrl::fromLocalFile(path), {}, &error))
        << error.localizedDescription().toStdString();
    context.setPersistentStoreCoordinator(coordinator.get());
    context.setLoadingAndSavingOperationQueue(&queue);
  }
  ~StoreWriter() {
    fnd::Error error;
    EXPECT_TRUE(context.save(&error)) << error.localizedDescription().toStdString();
    queue.waitUntilAllOperationsAreFinished();
    context.setLoadingAndSavingOperationQueue(nullptr);
  }
  std::unique_ptr<cd::PersistentStoreCoordinator> coordinator;
  fnd::OperationQueue queue;
  IMAManagedObjectContext context;
};

gfx::ImagePtr filledImage(const QSize& size, const QColor& color) {
  return ima_imageWithPixelSize(QSizeF(size), [&](const QRectF& rect) {
    gfx::GraphicsContext::current()->fillRect(rect, color, gfx::CompositingOperation::Copy);
    return true;
  });
}

void addLayer(ComposedImage* root, IMAManagedObjectContext& context, const StoreLayer& spec) {
  if (spec.text.isEmpty()) {
    Layer* layer = Layer::createLayerWithComposedImage(root, &context, true);
    layer->image()->setNsImage(spec.pixels.isNull()
                                   ? filledImage(spec.rect.size(), spec.color)
                                   : gfx::Image::imageWithCGImage(gfx::CGImage::make(spec.pixels)));
    layer->setOrigin(spec.rect.topLeft());
    layer->setAlpha(spec.alpha);
    if (spec.rotation != 0) layer->setRotationAngle(spec.rotation);
    if (spec.zoom != 1) layer->setZoom(spec.zoom);
    if (spec.operation != 2) layer->setCompositingOperation(spec.operation);
    return;
  }
  TextLayer* layer = TextLayer::createLayerWithComposedImage(root, &context, false);
  gfx::Font font(QStringLiteral("DejaVu Sans"), spec.rect.height());
  layer->setAttributedString(
      gfx::AttributedString(spec.text, {{gfx::FontAttributeName, gfx::fontValue(font)},
                                        {gfx::ForegroundColorAttributeName, spec.color}}));
  layer->setOrigin(spec.rect.topLeft());
  layer->setAlpha(spec.alpha);
}

}  // namespace

void writeStore(const QString& path, const QSizeF& canvas, const QList<StoreLayer>& layers) {
  StoreWriter writer(path);
  auto* root = writer.context.insertNewObject<ComposedImage>("ComposedImage");
  root->setSize(canvas);
  // Each is appended, so the first stays on top (index 0).
  for (const StoreLayer& layer : layers) addLayer(root, writer.context, layer);
}

void writeRootlessStore(const QString& path) {
  StoreWriter writer(path);
  Layer* layer = Layer::createLayerWithComposedImage(nullptr, &writer.context, false);
  layer->image()->setNsImage(filledImage(QSize(8, 8), Qt::red));
}

QStringList filesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}
