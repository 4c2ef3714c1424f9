#include <gtest/gtest.h>

#include <QThread>

#include "QuickLookTestStores.h"
#include "TestSupport.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "foundation/OperationQueue.h"
#include "model/ComposedImage.h"
#include "model/IMAManagedObjectContext.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/ImageDelegate.h"
#include "model/ImagesCacheFolder.h"
#include "model/Layer.h"
#include "model/ModelVariant.h"
#include "model/TextLayer.h"

namespace {

// Counts the decodes of one image and where they happened.
struct DecodeCounter : ImageDelegate {
  int decodes = 0;
  QThread* thread = nullptr;
  void imageDidLoadNSImage(Image*) override {
    ++decodes;
    thread = QThread::currentThread();
  }
  void imageDidUpdateNSImage(Image*) override {}
};

// A store opened read-only the way a document opens it, with a loading queue.
struct OpenedStore {
  explicit OpenedStore(const QString& path) {
    coordinator =
        std::make_unique<cd::PersistentStoreCoordinator>(IMManagedObject::managedObjectModel());
    EXPECT_TRUE(
        coordinator->addPersistentStoreWithType(cd::SQLiteStoreType, {}, QUrl::fromLocalFile(path),
                                                {{cd::ReadOnlyPersistentStoreOption, true}}));
    context.setPersistentStoreCoordinator(coordinator.get());
    context.setLoadingAndSavingOperationQueue(&queue);
  }
  ~OpenedStore() {
    queue.waitUntilAllOperationsAreFinished();
    tst::spinUntil([] { return Image::pendingCacheWrites() == 0; });
    context.setLoadingAndSavingOperationQueue(nullptr);
  }
  std::unique_ptr<cd::PersistentStoreCoordinator> coordinator;
  fnd::OperationQueue queue;
  IMAManagedObjectContext context;
};

int versionFiles() { return int(filesIn(Image::imagesCacheDirectoryPath()).size()); }

}  // namespace

// The preview generator's model decodes each layer's stored pixels once,
// on the calling thread, before the call that asks for them returns, and
// writes no version file; the program's writes one per decoded layer.
TEST(ModelVariantTest, PreviewGeneratorDecodesOnceOnTheCallingThreadAndWritesNothing) {
  const QString path = tst::tempPath("variants.zova");
  writeStore(path, QSizeF(64, 48),
             {{QRect(0, 0, 32, 48), Qt::red},
              {QRect(16, 8, 32, 32), Qt::green, 0.5},
              {QRect(0, 0, 64, 24), Qt::blue}});
  for (const auto variant : {ModelVariant::PreviewGenerator, ModelVariant::Application}) {
    const bool preview = variant == ModelVariant::PreviewGenerator;
    SCOPED_TRACE(preview ? "preview generator" : "application");
    ModelVariant::setCurrent(variant);
    const int filesBefore = versionFiles();
    OpenedStore store(path);
    ComposedImage* root = ComposedImage::composedImageForManagedObjectContext(&store.context);
    ASSERT_NE(root, nullptr);
    store.queue.waitUntilAllOperationsAreFinished();
    tst::spinOnce();
    std::vector<DecodeCounter> counters(root->layersArray().size());
    for (qsizetype i = 0; i < root->layersArray().size(); ++i)
      root->layersArray()[i]->image()->setDelegate(&counters[i]);

    // The block of a decode asked for "asynchronously" has run on return.
    bool answered = false;
    if (preview)
      root->layersArray()[0]->image()->nsImageWithCompletionBlock(
          [&](gfx::ImagePtr image) { answered = image != nullptr; }, true);
    EXPECT_EQ(answered, preview);
    for (int pass = 0; pass < 2; ++pass) ASSERT_TRUE(root->finalImageKeepAlpha(true));
    for (const DecodeCounter& counter : counters) {
      if (!preview) continue;  // the program may have decoded in the background already
      EXPECT_EQ(counter.decodes, 1);
      EXPECT_EQ(counter.thread, QThread::currentThread());
    }
    for (Layer* layer : root->layersArray()) layer->image()->setDelegate(layer);
    store.queue.waitUntilAllOperationsAreFinished();
    tst::spinUntil([] { return Image::pendingCacheWrites() == 0; });
    // Neither writes a version file: decoded pixels are served from the stored bytes.
    EXPECT_EQ(versionFiles() - filesBefore, 0);
    EXPECT_EQ(store.queue.operationCount(), 0);
  }
}

// A text layer fetched by the preview generator has its image at once,
// before anything draws it, and asks for no thumbnail.
TEST(ModelVariantTest, TextLayerHasItsImageWhenFetched) {
  const QString path = tst::tempPath("text.zova");
  writeStore(path, QSizeF(200, 60), {{QRect(4, 4, 120, 40), Qt::black, 1, "Tg"}});
  ModelVariant::setCurrent(ModelVariant::PreviewGenerator);
  OpenedStore store(path);
  ComposedImage* root = ComposedImage::composedImageForManagedObjectContext(&store.context);
  ASSERT_NE(root, nullptr);
  auto* text = dynamic_cast<TextLayer*>(root->layersArray().value(0));
  ASSERT_NE(text, nullptr);
  const ci::Image image = text->ciImage();
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.extent().size(), text->imageSizeForceNoFilters(true));
  EXPECT_GT(image.extent().width(), 20);
  tst::spinOnce();
  EXPECT_EQ(text->imagePreview(), nullptr);
}
