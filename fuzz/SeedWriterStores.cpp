// Seeds of the store target: documents saved by the model as the program
// saves them, one with a picture layer and a text layer, one with a filter
// on a layer and a hidden layer.
#include <sqlite3.h>

#include <QFile>

#include "SeedWriter.h"
#include "coredata/ManagedObjectContext.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "foundation/OperationQueue.h"
#include "model/ComposedImage.h"
#include "model/Filter.h"
#include "model/IMAManagedObjectContext.h"
#include "model/IMImagesUtilities.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/TextLayer.h"
#include "model/TextLayerAttributedStringCoding.h"

namespace {

// Builds a document with `fill` and saves it to `path`; false on failure.
bool saveDocument(const QString& path,
                  const std::function<void(ComposedImage*, cd::ManagedObjectContext*)>& fill,
                  fnd::Error* error) {
  cd::PersistentStoreCoordinator coordinator(IMManagedObject::managedObjectModel());
  if (!coordinator.addPersistentStoreWithType(cd::SQLiteStoreType, {}, QUrl::fromLocalFile(path),
                                              {}, error))
    return false;
  fnd::OperationQueue queue;
  IMAManagedObjectContext context;
  context.setPersistentStoreCoordinator(&coordinator);
  context.setLoadingAndSavingOperationQueue(&queue);
  auto* composedImage = context.insertNewObject<ComposedImage>("ComposedImage");
  composedImage->setSize(QSizeF(24, 16));
  fill(composedImage, &context);
  const bool saved = context.save(error);
  queue.waitUntilAllOperationsAreFinished();
  context.setLoadingAndSavingOperationQueue(nullptr);
  return saved;
}

// Rewrites the file with 512-byte pages: the same store in a fraction of
// the bytes, so the fuzzer's mutations land on content, not on empty pages.
bool compact(const QString& path) {
  sqlite3* database = nullptr;
  bool done = sqlite3_open(path.toUtf8().constData(), &database) == SQLITE_OK &&
              sqlite3_exec(database, "PRAGMA page_size = 512; VACUUM;", nullptr, nullptr,
                           nullptr) == SQLITE_OK;
  return sqlite3_close(database) == SQLITE_OK && done;
}

gfx::ImagePtr picture(int w, int h) {
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(seedPicture(w, h, QImage::Format_ARGB32)));
}

}  // namespace

void SeedWriter::writeStores() {
  using Fill = std::function<void(ComposedImage*, cd::ManagedObjectContext*)>;
  const QList<std::pair<QString, Fill>> documents = {
      {"picture-and-text",
       [](ComposedImage* composedImage, cd::ManagedObjectContext* context) {
         Layer* layer = Layer::createLayerWithComposedImage(composedImage, context, true);
         layer->image()->setNsImage(picture(8, 6));
         layer->setOrigin(QPointF(3, 2));
         layer->setRotationAngle(15);
         auto* text = static_cast<TextLayer*>(
             Layer::createLayerWithComposedImage(composedImage, context, true, "TextLayer"));
         text->setAttributedString(gfx::AttributedString("Hi", gfx::Font("DejaVu Sans", 8)));
       }},
      {"filter-and-hidden",
       [](ComposedImage* composedImage, cd::ManagedObjectContext* context) {
         Layer* layer = Layer::createLayerWithComposedImage(composedImage, context, true);
         layer->image()->setNsImage(picture(6, 6));
         layer->addFiltersArray({Filter::createFilterWithName("CIGaussianBlur", context)}, 0);
         Layer* hidden = Layer::createLayerWithComposedImage(composedImage, context, true);
         hidden->image()->setNsImage(picture(4, 4));
         hidden->setVisible(false);
         hidden->setAlpha(0.5);
         hidden->setCompositingOperation(14);
       }},
  };
  for (const auto& [name, fill] : documents) {
    const QString path = folder_ + "/" + name + ".zova";
    QFile::remove(path);
    fnd::Error error;
    if (!saveDocument(path, fill, &error))
      return fail("store " + name + ": " + error.localizedDescription());
    if (!compact(path)) return fail("store " + name + ": cannot compact it");
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    write("store", name, bytes);
    // The preview generator reads the same files.
    write("quicklook", name, bytes);
    file.close();
    QFile::remove(path);
  }
}

// Seeds of the migration target: a document of the first model version,
// written with that version's model file, with ordered layers, a text layer
// and a filter whose parameter has a colour.
void SeedWriter::writeOldStores() {
  const QString path = folder_ + "/first-version.zova";
  QFile::remove(path);
  fnd::Error error;
  auto model = cd::ManagedObjectModel::modelFromFile(
      QStringLiteral(TESSALY_SOURCE_DIR "/resources/model/TessalyV1.json"), &error);
  if (!model) return fail("old store: " + error.localizedDescription());
  {
    cd::PersistentStoreCoordinator coordinator(model);
    if (!coordinator.addPersistentStoreWithType(cd::SQLiteStoreType, {}, QUrl::fromLocalFile(path),
                                                {}, &error))
      return fail("old store: " + error.localizedDescription());
    cd::ManagedObjectContext context;
    context.setPersistentStoreCoordinator(&coordinator);
    auto insert = [&](const char* entity, const QVariantMap& values) {
      cd::ManagedObject* object = context.insertNewObjectForEntityForName(entity);
      for (auto value = values.begin(); value != values.end(); ++value)
        object->setValue(value.value(), value.key());
      return object;
    };
    cd::ManagedObject* root = insert("ComposedImage", {{"width", 24}, {"height", 16}});
    cd::ManagedObject* picture =
        insert("Layer", {{"name", "picture"},
                         {"index", 1},
                         {"imageData", ima_produceImageData(::picture(24, 16))}});
    cd::ManagedObject* text = insert(
        "Layer",
        {{"name", "text"},
         {"index", 0},
         {"isText", true},
         {"attributeStringData", archivedDataWithAttributedString(gfx::AttributedString("Hi"))}});
    cd::ManagedObject* filter = insert("Filter", {{"name", "CISepiaTone"}, {"index", 0}});
    insert("FilterParameter", {{"name", "inputColor"}, {"redValue", 1}, {"greenValue", 0.5}})
        ->setValue(QVariant::fromValue(filter), "filter");
    picture->setValue(QVariant::fromValue(cd::ObjectList{filter}), "filters");
    root->setValue(QVariant::fromValue(cd::ObjectList{picture, text}), "layers");
    if (!context.save(&error)) return fail("old store: " + error.localizedDescription());
  }
  if (!compact(path)) return fail("old store: cannot compact it");
  QFile file(path);
  file.open(QIODevice::ReadOnly);
  write("migration", "first-version", file.readAll());
  file.close();
  QFile::remove(path);
}
