#pragma once

#include <QByteArray>
#include <QSizeF>
#include <QString>
#include <QUrl>
#include <memory>

#include "coredata/ManagedObjectModel.h"
#include "graphics/Image.h"

class ComposedImage;

namespace cd {
class ManagedObjectContext;
class PersistentStoreCoordinator;
}  // namespace cd

namespace quicklook {

// The preview generator's document: a store opened read-only, its root and
// the flattened image of its layers at the size asked for. Nothing is ever
// written, migrated or shown; one document serves one request.
class IMDocument {
 public:
  ~IMDocument();
  IMDocument(const IMDocument&) = delete;
  IMDocument& operator=(const IMDocument&) = delete;

  // Null when the file does not open as a store of the current model.
  static std::unique_ptr<IMDocument> generateDocumentForQuickLookWithURL(const QUrl& url,
                                                                         const QString& type);

  static cd::ManagedObjectModelPtr managedObjectModel();
  static QString persistentStoreTypeForFileType(const QString& fileType);

  // A null context is ignored.
  void setManagedObjectContext(std::unique_ptr<cd::ManagedObjectContext> context);
  cd::ManagedObjectContext* managedObjectContext() const { return context_.get(); }

  // The root, fetched when needed; null when the store has none, or one
  // whose canvas is not a size a preview may allocate.
  ComposedImage* composedImage();
  void setComposedImage(ComposedImage* composedImage) { composedImage_ = composedImage; }
  bool needsToReloadComposedImage() const;
  bool isEmpty();

  // The layers with alpha, composited straight at `size` (whole pixels,
  // rounded): the canvas is never drawn at full size first, and layers not
  // decoded yet are decoded reduced for it, so a later call for a larger
  // size would draw them coarser. Null when there is no root or `size` has
  // no whole pixel.
  gfx::ImagePtr finalImageResizedTo(const QSizeF& size);
  // The same as TIFF; empty when there is no image.
  QByteArray finalImageTiffDataResizedTo(const QSizeF& size);

  void close();

 private:
  IMDocument() = default;
  bool readFromURL(const QUrl& url, const QString& type);
  // Decodes the layers' stored pixels at once, each no denser than drawing
  // the canvas at `scale` shows it.
  void decodeLayersForScale(double scale);

  std::unique_ptr<cd::PersistentStoreCoordinator> coordinator_;
  std::unique_ptr<cd::ManagedObjectContext> context_;
  ComposedImage* composedImage_ = nullptr;
};

}  // namespace quicklook
