// The layer's filter chain (order, skipping, kept results, resets), its
// thumbnails on the cancellable queue, and filters travelling through the
// pasteboard into another document.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QUrl>
#include <functional>

#include "ModelImageTestHelpers.h"
#include "ModelTestSupport.h"
#include "TestSupport.h"
#include "appkit/core/Pasteboard.h"
#include "coreimage/Context.h"
#include "coreimage/Filter.h"
#include "coreimage/PixelBuffer.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/PropertyList.h"
#include "model/ComposedImage.h"
#include "model/Filter.h"
#include "model/FilterParameter.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace {

const QRectF kCropRect(0, 0, 4, 4);

FilterParameter* parameterNamed(Filter* filter, const QString& name) {
  for (FilterParameter* parameter : filter->filterParametersArray())
    if (parameter->name() == name) return parameter;
  return nullptr;
}

// The largest component difference between two recipes over `region`.
float largestDifference(const ci::Image& a, const ci::Image& b, const QRectF& region) {
  const ci::PixelBuffer x = ci::Context().renderToBuffer(a, region);
  const ci::PixelBuffer y = ci::Context().renderToBuffer(b, region);
  float worst = 0;
  for (int row = x.rect().y; row < x.rect().top(); ++row)
    for (int col = x.rect().x; col < x.rect().right(); ++col)
      for (int c = 0; c < 4; ++c)
        worst = std::max(worst, std::abs(x.pixel(col, row)[c] - y.pixel(col, row)[c]));
  return worst;
}

QByteArray archiveOfFilters(const QList<Filter*>& filters) {
  QVariantList root;
  for (Filter* filter : filters) root.append(QVariant::fromValue(filter->archivable()));
  return fnd::KeyedArchiver::archivedDataWithRootObject(root);
}

int countOf(cd::ManagedObjectContext* context, const QString& entity) {
  int count = 0;
  for (cd::ManagedObject* object : context->registeredObjects())
    if (object->entity()->name() == entity && !object->isDeleted()) ++count;
  return count;
}

QImage flattened(ComposedImage* composed) {
  const gfx::ImagePtr flat = composed->finalImageKeepAlpha(true);
  if (!flat) return {};
  QRectF rect(QPointF(0, 0), flat->size());
  return flat->CGImageForProposedRect(&rect, nullptr)->toFormat(QImage::Format_ARGB32);
}

class LayerFiltersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Filter::loadFilters();
    composed =
        ComposedImage::createComposedImageWithALayerForManagedObjectContext(document.context.get());
    composed->setSize(QSizeF(16, 16));
    layer = composed->layersArray().first();
    layer->image()->setNsImage(solidImage(8, 8, Qt::red));
    drainImageWork(document);
  }
  void TearDown() override { drainImageWork(document); }

  Filter* add(const QString& name, bool enabled = true) {
    Filter* filter = Filter::createFilterWithName(name, document.context.get());
    EXPECT_NE(filter, nullptr) << name.toStdString();
    if (!filter) return nullptr;
    filter->setEnabled(enabled);
    layer->addFiltersArray({filter}, unsigned(layer->filtersArray().size()));
    return filter;
  }

  ModelDocument document;
  ComposedImage* composed = nullptr;
  Layer* layer = nullptr;
};

TEST_F(LayerFiltersTest, ContainsAtLeastOneActiveFilter) {
  Filter* on = add("CIGaussianBlur", true);
  Filter* off = add("CIGaussianBlur", false);
  const struct {
    QList<Filter*> filters;
    bool expected;
  } rows[] = {{{}, false}, {{off}, false}, {{off, on}, true}, {{on, off}, true}};
  for (const auto& row : rows)
    EXPECT_EQ(im_countainsAtLeatOneActiveFilter(row.filters), row.expected) << row.filters.size();
}

// Filters [blur, generator, crop]: the crop (last) runs first, the blur
// (index 0) last; a disabled or unready filter is left out, and a generator
// replaces whatever the chain made before it.
TEST_F(LayerFiltersTest, ChainRunsEnabledReadyFiltersFromLastToFirst) {
  Filter* blur = add("CIGaussianBlur");
  Filter* generator = add("CIConstantColorGenerator");
  Filter* crop = add("CICrop");
  ASSERT_TRUE(blur && generator && crop);
  parameterNamed(blur, "inputRadius")->setFloatValue(2);
  FilterParameter* rectangle = parameterNamed(crop, "inputRectangle");
  ASSERT_NE(rectangle, nullptr);
  rectangle->setOtherValue(QVariant::fromValue(ci::Vector{0, 0, 4, 4}));
  rectangle->updatedCIFilterParameter();

  const ci::Image source = layer->ciImage();
  auto blurred = [](const ci::Image& image) {
    return image.imageByApplyingFilter("CIGaussianBlur", {{"inputRadius", 2}});
  };
  const ci::Image constant = generator->ciFilter()->outputImage();
  const struct {
    const char* name;
    bool blurOn, generatorOn, cropOn, cropReady;
    ci::Image expected;
  } rows[] = {
      {"crop then blur, generator disabled", true, false, true, true,
       blurred(source.imageByCroppingToRect(kCropRect))},
      {"unready crop skipped", true, false, true, false, blurred(source)},
      {"generator replaces the cropped image", true, true, true, true, blurred(constant)},
      {"crop alone", false, false, true, true, source.imageByCroppingToRect(kCropRect)},
      {"nothing enabled", false, false, false, true, ci::Image()},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    blur->setEnabled(row.blurOn);
    generator->setEnabled(row.generatorOn);
    rectangle->setAreNotificationsDisabled(!row.cropReady);
    crop->setEnabled(row.cropOn);
    layer->filtersChanged();
    const ci::Image result = layer->filteredCIImage();
    ASSERT_EQ(result.isNull(), row.expected.isNull());
    if (result.isNull()) continue;
    EXPECT_EQ(result.extent(), row.expected.extent());
    EXPECT_LE(largestDifference(result, row.expected, QRectF(-4, -4, 16, 16)), 1.0f / 255);
  }
}

// Noise of every coverage, so a filter that mishandles alpha shows.
QImage noiseWithCoverage(int width, int height) {
  QImage pixels(width, height, QImage::Format_RGBA8888_Premultiplied);
  quint32 state = 12345;
  for (int y = 0; y < height; ++y) {
    uchar* p = pixels.scanLine(y);
    for (int x = 0; x < width; ++x, p += 4) {
      state = state * 1664525u + 1013904223u;
      p[3] = uchar(state >> 24);
      for (int c = 0; c < 3; ++c) p[c] = uchar(((state >> (8 * c)) & 255) * p[3] / 255);
    }
  }
  return pixels;
}

// `rect` of a recipe as the canvas draws it: 8-bit, top row first.
QImage drawn(const ci::Image& image, const QRectF& rect, int tileSize = 512) {
  const ci::Context context({{ci::kTessalyContextTileSize, tileSize}});
  const gfx::CGImagePtr pixels = context.createCGImage(image, rect);
  return pixels ? pixels->toFormat(QImage::Format_ARGB32_Premultiplied) : QImage();
}

// A blur, a colour matrix and a shadow over a layer of noise: the filtered
// layer drawn whole, a dirty rectangle of it at an odd offset drawn from a
// fresh run of the chain, then the whole again from what that part kept,
// all match the same recipe built by hand and drawn in small tiles.
TEST_F(LayerFiltersTest, FilteredLayerDrawsTheSameWholeInPartsAndAgain) {
  composed->setSize(QSizeF(300, 200));
  layer->image()->setNsImage(
      gfx::Image::imageWithCGImage(gfx::CGImage::make(noiseWithCoverage(300, 200))));
  drainImageWork(document);
  Filter* blur = add("CIGaussianBlur");
  Filter* matrix = add("CIColorMatrix");
  ASSERT_TRUE(add("ShadowImageUnit") && blur && matrix);
  parameterNamed(blur, "inputRadius")->setFloatValue(3);
  const ci::Vector red{1.1, 0, 0, 0}, bias{0.05, 0.02, -0.03, 0};
  for (const auto& [name, value] : {std::pair{"inputRVector", red}, {"inputBiasVector", bias}}) {
    FilterParameter* parameter = parameterNamed(matrix, name);
    parameter->setOtherValue(QVariant::fromValue(value));
    parameter->updatedCIFilterParameter();
  }
  // Pushing a vector value into the filter does not run the chain again.
  layer->filtersChanged();
  ci::FilterPtr shadow = ci::Filter::filterWithName("ShadowImageUnit");
  shadow->setValue(QVariant::fromValue(layer->ciImage()), ci::kCIInputImageKey);
  const ci::Image byHand =
      shadow->outputImage()
          .imageByApplyingFilter("CIColorMatrix", {{"inputRVector", QVariant::fromValue(red)},
                                                   {"inputBiasVector", QVariant::fromValue(bias)}})
          .imageByApplyingFilter("CIGaussianBlur", {{"inputRadius", 3}});

  const QRectF extent = layer->filteredCIImage().extent();
  ASSERT_EQ(extent, byHand.extent());
  const QImage whole = drawn(layer->filteredCIImage(), extent);
  EXPECT_LE(mht::largestDifference(whole, drawn(byHand, extent, 37)), 1);

  const QRectF dirty(extent.x() + 37, extent.y() + 53, 171, 97);
  layer->filtersChanged();
  const QImage part = drawn(layer->filteredCIImage(), dirty);
  const QImage sameAreaOfWhole = whole.copy(
      int(dirty.x() - extent.x()), int(extent.y() + extent.height() - dirty.y() - dirty.height()),
      int(dirty.width()), int(dirty.height()));
  EXPECT_EQ(mht::largestDifference(part, sameAreaOfWhole), 0);
  const QImage again = drawn(layer->filteredCIImage(), extent);
  EXPECT_EQ(mht::largestDifference(again, whole), 0);
}

TEST_F(LayerFiltersTest, TogglingEnabledReRunsTheChainAndPostsLayerChange) {
  Filter* crop = add("CICrop");
  FilterParameter* rectangle = parameterNamed(crop, "inputRectangle");
  rectangle->setOtherValue(QVariant::fromValue(ci::Vector{0, 0, 4, 4}));
  rectangle->updatedCIFilterParameter();
  layer->filtersChanged();
  ASSERT_EQ(layer->filteredCIImage().extent(), kCropRect);

  int posts = 0;
  auto& center = fnd::NotificationCenter::defaultCenter();
  auto token = center.addObserverForName(IMSelectedLayerDidChange, layer, nullptr,
                                         [&](const fnd::Notification&) { ++posts; });
  crop->setEnabled(false);  // the last enabled filter
  EXPECT_TRUE(layer->filteredCIImage().isNull());
  EXPECT_GE(posts, 1);
  posts = 0;
  crop->setEnabled(true);
  EXPECT_EQ(layer->filteredCIImage().extent(), kCropRect);
  EXPECT_GE(posts, 1);
  center.removeObserver(token);
}

TEST_F(LayerFiltersTest, LayerWithoutPixelsHasNoFilteredImage) {
  Layer* empty = Layer::createLayerWithComposedImage(composed, document.context.get(), true);
  Filter* blur = Filter::createFilterWithName("CIGaussianBlur", document.context.get());
  empty->addFiltersArray({blur}, 0);
  EXPECT_TRUE(empty->filteredCIImage().isNull());
}

TEST_F(LayerFiltersTest, ResetFiltersDeletesWhatItRemoves) {
  const struct {
    const char* name;
    QList<bool> enabled;
    bool keepNonVisible;
    QList<bool> remaining;
    int snapshotPosts;
  } rows[] = {
      {"keep disabled", {true, false, true}, true, {false}, 1},
      {"only disabled", {false, false}, true, {false, false}, 0},
      {"remove all", {true, false}, false, {}, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    layer->resetFiltersKeepingNonVisible(false);
    for (bool on : row.enabled) add("CIGaussianBlur", on);
    int posts = 0;
    auto& center = fnd::NotificationCenter::defaultCenter();
    auto token = center.addObserverForName(IMLayerSnapshotEventNotification, layer, nullptr,
                                           [&](const fnd::Notification&) { ++posts; });
    layer->resetFiltersKeepingNonVisible(row.keepNonVisible);
    center.removeObserver(token);
    QList<bool> remaining;
    for (Filter* filter : layer->filtersArray()) remaining.append(filter->enabled());
    EXPECT_EQ(remaining, row.remaining);
    EXPECT_EQ(posts, row.snapshotPosts);
    // No filter outlives its place on the layer.
    document.context->processPendingChanges();
    EXPECT_EQ(countOf(document.context.get(), "Filter"), row.remaining.size());
  }
}

// Two filters, one with an image-valued input, copied from one document and
// pasted between the two filters of another document's layer.
TEST_F(LayerFiltersTest, PasteTwoFiltersWithAnImageIntoAnotherDocument) {
  Filter* blur = add("CIGaussianBlur");
  Filter* over = add("CISourceOverCompositing");
  ASSERT_TRUE(blur && over);
  parameterNamed(blur, "inputRadius")->setFloatValue(3);
  FilterParameter* background = parameterNamed(over, "inputBackgroundImage");
  ASSERT_NE(background, nullptr);
  ASSERT_NE(background->image(), nullptr);
  background->image()->setNsImage(solidImage(8, 8, Qt::green));
  drainImageWork(document);
  const QDateTime sourceToken = background->image()->versionToken();

  ui::Pasteboard& pasteboard = ui::Pasteboard::generalPasteboard();
  pasteboard.clearContents();
  ASSERT_TRUE(pasteboard.setPropertyList(archiveOfFilters({blur, over}), IMFiltersPasteboardType));
  const QByteArray bytes = pasteboard.dataForType(IMFiltersPasteboardType);
  const QString path = tst::tempPath("filters-pasteboard.plist");
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
  tst::saveArtifact(path, "layer-filters-pasteboard.plist");
  if (tst::haveTool("python3")) {
    QString output;
    const QString script =
        "import plistlib,sys\n"
        "a=plistlib.loads(plistlib.load(open(sys.argv[1],'rb')))\n"
        "o=a['$objects']\n"
        "names={x['$classname'] for x in o if isinstance(x,dict) and '$classname' in x}\n"
        "print(a['$archiver'], {'Filter','FilterParameter','Image'} <= names,\n"
        "      'CIGaussianBlur' in o, 'CISourceOverCompositing' in o)\n";
    ASSERT_EQ(tst::runTool("python3", {"-c", script, path}, &output), 0) << output.toStdString();
    EXPECT_EQ(output.trimmed(), "NSKeyedArchiver True True True") << output.toStdString();
  }

  ModelDocument other;
  ComposedImage* otherImage =
      ComposedImage::createComposedImageWithALayerForManagedObjectContext(other.context.get());
  Layer* target = otherImage->layersArray().first();
  target->image()->setNsImage(solidImage(8, 8, Qt::blue));
  Filter* x = Filter::createFilterWithName("CIGaussianBlur", other.context.get());
  Filter* y = Filter::createFilterWithName("CIGaussianBlur", other.context.get());
  target->addFiltersArray({x, y}, 0);

  ASSERT_TRUE(target->addFiltersFromPasteboard(&pasteboard, 1));
  const QList<Filter*> filters = target->filtersArray();
  ASSERT_EQ(filters.size(), 4);
  EXPECT_EQ(filters[0], x);
  EXPECT_EQ(filters[3], y);
  EXPECT_EQ(filters[1]->name(), "CIGaussianBlur");
  EXPECT_EQ(filters[2]->name(), "CISourceOverCompositing");
  EXPECT_FLOAT_EQ(parameterNamed(filters[1], "inputRadius")->floatValue(), 3);
  for (Filter* pasted : {filters[1], filters[2]}) {
    EXPECT_EQ(pasted->managedObjectContext(), other.context.get());
    EXPECT_EQ(pasted->layer(), target);
  }
  // The image input has its own Image: the copied pixels as a fresh version.
  Image* pastedImage = parameterNamed(filters[2], "inputBackgroundImage")->image();
  ASSERT_NE(pastedImage, nullptr);
  EXPECT_NE(pastedImage, background->image());
  EXPECT_EQ(pastedImage->managedObjectContext(), other.context.get());
  ASSERT_TRUE(pastedImage->versionToken().isValid());
  EXPECT_NE(pastedImage->versionToken(), sourceToken);
  ASSERT_NE(pastedImage->localImage(), nullptr);
  EXPECT_TRUE(sameColor(pixelAt(pastedImage->localImage(), 4, 4), Qt::green));
  drainImageWork(other);
  // Served from the pasted bytes until another version replaces it: no file yet.
  EXPECT_FALSE(QFile::exists(Image::pathOfCachedImageWithDate(pastedImage->versionToken())));
  // The source document is untouched.
  EXPECT_EQ(layer->filtersArray().size(), 2);
  EXPECT_EQ(background->image()->versionToken(), sourceToken);
  EXPECT_TRUE(tst::spinUntil([&] { return filters[2]->isReadyForDrawing(); }));
  target->filtersChanged();
  EXPECT_FALSE(target->filteredCIImage().isNull());
}

TEST_F(LayerFiltersTest, PasteboardWithoutFiltersAddsNothing) {
  Filter* blur = add("CIGaussianBlur");
  fnd::Error error;
  const QByteArray layerArchive = fnd::KeyedArchiver::archivedDataWithRootObject(
      QVariantList{QVariant::fromValue(layer->archivable())});
  const struct {
    const char* name;
    std::function<void(ui::Pasteboard&)> fill;
  } rows[] = {
      {"no filters type", [](ui::Pasteboard& p) { p.setData("text", "text/plain"); }},
      {"empty array",
       [](ui::Pasteboard& p) {
         p.setPropertyList(fnd::KeyedArchiver::archivedDataWithRootObject(QVariantList{}),
                           IMFiltersPasteboardType);
       }},
      {"not a property list",
       [](ui::Pasteboard& p) { p.setData("\x00\x01garbage", IMFiltersPasteboardType); }},
      {"truncated archive",
       [&](ui::Pasteboard& p) {
         p.setPropertyList(archiveOfFilters({blur}).left(60), IMFiltersPasteboardType);
       }},
      {"a layer instead of filters",
       [&](ui::Pasteboard& p) { p.setPropertyList(layerArchive, IMFiltersPasteboardType); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ui::Pasteboard pasteboard;
    row.fill(pasteboard);
    const int objects = document.context->registeredObjects().size();
    const int layers = countOf(document.context.get(), "Layer");
    EXPECT_FALSE(layer->addFiltersFromPasteboard(&pasteboard));
    document.context->processPendingChanges();
    EXPECT_EQ(layer->filtersArray(), QList<Filter*>{blur});
    EXPECT_EQ(countOf(document.context.get(), "Layer"), layers);
    EXPECT_LE(document.context->registeredObjects().size(), objects);
  }
}

TEST_F(LayerFiltersTest, TenRequestsMakeOneThumbnail) {
  fnd::OperationQueue previews;
  document.context->setCancellableOperationQueue(&previews);
  composed->setLayerPreviewImagesSize(QSizeF(34, 34));
  int thumbnails = 0;
  gfx::ImagePtr last;
  auto token = layer->addObserver(
      "imagePreview", 0, [&](fnd::Observable*, const QString&, const fnd::KeyValueChange&) {
        if (layer->imagePreview() && layer->imagePreview() != last) ++thumbnails;
        last = layer->imagePreview();
      });
  for (int i = 0; i < 10; ++i) layer->updatePreviewImage();
  ASSERT_TRUE(tst::spinUntil([&] { return thumbnails > 0; }));
  tst::spinUntil([&] {
    return previews.operationCount() == 0 &&
           fnd::OperationQueue::mainQueue()->operationCount() == 0;
  });
  tst::spinOnce();
  EXPECT_EQ(thumbnails, 1);
  // The red layer is framed in the thumbnail's 32 points.
  const gfx::ImagePtr preview = layer->imagePreview();
  EXPECT_EQ(preview->size(), QSizeF(32, 32));
  EXPECT_TRUE(sameColor(pixelAt(preview, 16, 16), Qt::red, 2));
  layer->removeObserver(token);
  document.context->setCancellableOperationQueue(nullptr);
}

TEST_F(LayerFiltersTest, ZeroPreviewSizeNeverMakesThumbnails) {
  // A suspended queue holds the request, so the test sees it arrive and run.
  fnd::OperationQueue previews;
  previews.setSuspended(true);
  document.context->setCancellableOperationQueue(&previews);
  composed->setLayerPreviewImagesSize(QSizeF(0, 34));
  layer->updatePreviewImage();
  ASSERT_TRUE(tst::spinUntil([&] { return previews.operationCount() == 1; }));
  previews.setSuspended(false);
  ASSERT_TRUE(tst::spinUntil([&] { return previews.operationCount() == 0; }));
  drainImageWork(document);
  EXPECT_EQ(layer->imagePreview(), nullptr);
  document.context->setCancellableOperationQueue(nullptr);
}

// Without a cancellable queue (a document without a window, or a context of
// the plain kind) thumbnails are made on the queue that asked.
TEST_F(LayerFiltersTest, ThumbnailsComeWithoutACancellableQueue) {
  cd::ManagedObjectContext plain;
  plain.setPersistentStoreCoordinator(document.coordinator.get());
  const struct {
    const char* name;
    cd::ManagedObjectContext* context;
  } rows[] = {{"document context without a queue", document.context.get()},
              {"plain context", &plain}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ComposedImage* image =
        ComposedImage::createComposedImageWithALayerForManagedObjectContext(row.context);
    image->setLayerPreviewImagesSize(QSizeF(20, 20));
    Layer* blue = image->layersArray().first();
    blue->image()->setNsImage(solidImage(16, 8, Qt::blue));
    blue->updatePreviewImage();
    ASSERT_TRUE(tst::spinUntil([&] { return blue->imagePreview() != nullptr; }));
    EXPECT_EQ(blue->imagePreview()->size(), QSizeF(18, 9));
    EXPECT_TRUE(sameColor(pixelAt(blue->imagePreview(), 9, 4), Qt::blue, 2));
  }
  drainImageWork(document);
}

// A layer with three filters (one disabled, one the shadow) over a plain
// background, saved to a store file and reopened: the same flattened pixels.
TEST(LayerFiltersStoreTest, FilteredLayerReopensWithTheSamePixels) {
  Filter::loadFilters();
  const QString path = tst::tempPath("filtered-layer.zova");
  QFile::remove(path);
  auto open = [&](ModelDocument& document) {
    document.context.reset(new IMAManagedObjectContext);
    document.coordinator.reset(
        new cd::PersistentStoreCoordinator(IMManagedObject::managedObjectModel()));
    fnd::Error error;
    EXPECT_TRUE(document.coordinator->addPersistentStoreWithType(
        cd::SQLiteStoreType, {}, QUrl::fromLocalFile(path), {}, &error))
        << error.localizedDescription().toStdString();
    document.context->setPersistentStoreCoordinator(document.coordinator.get());
    document.context->setLoadingAndSavingOperationQueue(document.queue.get());
  };
  QImage before;
  {
    ModelDocument document;
    open(document);
    auto* composed = document.context->insertNewObject<ComposedImage>("ComposedImage");
    composed->setSize(QSizeF(80, 60));
    Layer* filtered = Layer::createLayerWithComposedImage(composed, document.context.get(), true);
    filtered->image()->setNsImage(solidImage(30, 20, Qt::red));
    filtered->setOrigin(QPointF(20, 20));
    Layer* background = Layer::createLayerWithComposedImage(composed, document.context.get(), true);
    background->image()->setNsImage(solidImage(80, 60, Qt::white));
    QList<Filter*> filters;
    for (const char* name : {"CIGaussianBlur", "ShadowImageUnit", "CIPixellate"})
      filters.append(Filter::createFilterWithName(name, document.context.get()));
    ASSERT_TRUE(filters[0] && filters[1] && filters[2]);
    filters[2]->setEnabled(false);
    filtered->addFiltersArray(filters, 0);
    parameterNamed(filters[0], "inputRadius")->setFloatValue(2);
    ASSERT_FALSE(filtered->filteredCIImage().isNull());
    before = flattened(composed);
    fnd::Error error;
    ASSERT_TRUE(document.context->save(&error)) << error.localizedDescription().toStdString();
    drainImageWork(document);
  }
  tst::saveArtifact(path, "layer-filters-three-filters-store.zova");

  ModelDocument reopened;
  open(reopened);
  ComposedImage* composed =
      ComposedImage::composedImageForManagedObjectContext(reopened.context.get());
  ASSERT_NE(composed, nullptr);
  Layer* filtered = composed->layersArray().first();
  QList<bool> enabled;
  for (Filter* filter : filtered->filtersArray()) enabled.append(filter->enabled());
  EXPECT_EQ(enabled, QList<bool>({true, true, false}));
  for (Layer* layer : composed->layersArray()) layer->image()->nsImage();
  ASSERT_TRUE(tst::spinUntil([&] { return !filtered->filteredCIImage().isNull(); }));
  const QImage after = flattened(composed);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_LE(mht::largestDifference(before, after), 1);
  // The blur and the shadow reach beyond the layer's own pixels.
  EXPECT_NE(filtered->filteredCIImage().extent(), filtered->ciImage().extent());
  const QString png = tst::tempPath("filtered-layer-flattened.png");
  ASSERT_TRUE(after.save(png, "PNG"));
  tst::saveArtifact(png, "layer-filters-three-filters-flattened.png");
  drainImageWork(reopened);
}

}  // namespace
