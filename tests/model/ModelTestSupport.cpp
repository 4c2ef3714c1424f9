#include "ModelTestSupport.h"

#include <gtest/gtest.h>

#include <QImage>

#include "TestSupport.h"
#include "graphics/GraphicsContext.h"
#include "model/IMImagesUtilities.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"

ModelDocument::ModelDocument() : ModelDocument(QString()) {}

ModelDocument::ModelDocument(const QString& path) {
  coordinator =
      std::make_unique<cd::PersistentStoreCoordinator>(IMManagedObject::managedObjectModel());
  fnd::Error error;
  const bool added =
      path.isEmpty()
          ? coordinator->addPersistentStoreWithType(cd::InMemoryStoreType, {}, {}, {}, &error)
          : coordinator->addPersistentStoreWithType(cd::SQLiteStoreType, {},
                                                    QUrl::fromLocalFile(path), {}, &error);
  EXPECT_TRUE(added) << error.localizedDescription().toStdString();
  queue = std::make_unique<fnd::OperationQueue>();
  context = std::make_unique<IMAManagedObjectContext>();
  context->setPersistentStoreCoordinator(coordinator.get());
  context->setLoadingAndSavingOperationQueue(queue.get());
}

ModelDocument::~ModelDocument() {
  drainImageWork(*this);
  context->setLoadingAndSavingOperationQueue(nullptr);
  context.reset();
}

gfx::ImagePtr solidImage(int w, int h, const QColor& color) {
  return ima_imageWithPixelSize(QSizeF(w, h), [&](const QRectF& rect) {
    gfx::GraphicsContext::current()->fillRect(rect, color, gfx::CompositingOperation::Copy);
    return true;
  });
}

QColor pixelAt(const gfx::ImagePtr& image, int x, int y) {
  auto context =
      gfx::GraphicsContext::bitmapContext(int(image->size().width()), int(image->size().height()));
  {
    gfx::CurrentContextScope scope(context.get());
    image->drawAtPoint(QPointF(0, 0), {}, gfx::CompositingOperation::Copy, 1.0);
  }
  return context->pixelColor(x, y);
}

bool sameColor(const QColor& a, const QColor& b, int tolerance) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

void drainImageWork(ModelDocument& document) {
  tst::spinUntil([&] {
    return document.queue->operationCount() == 0 && Image::pendingCacheWrites() == 0 &&
           fnd::OperationQueue::mainQueue()->operationCount() == 0;
  });
  tst::spinOnce();
}

VersionsSpillToFiles::VersionsSpillToFiles() : kept_(Image::setVersionsInMemoryBudget(0)) {}

VersionsSpillToFiles::~VersionsSpillToFiles() { Image::setVersionsInMemoryBudget(kept_); }
