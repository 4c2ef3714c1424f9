// Opening side of IMDocument: reading again with the windows open, the
// coherency test of a native store, the import of an image file into the
// document's last layer, and image files opened as documents of their own
// type.
#include <QFileInfo>

#include "appkit/UserNotificationCenter.h"
#include "appkit/WindowController.h"
#include "coredata/EntityDescription.h"
#include "coredata/ManagedObjectContext.h"
#include "coredata/ManagedObjectModel.h"
#include "coredata/PersistentStore.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "documents/IMDocument.h"
#include "documents/IMRevertingWindow.h"
#include "foundation/Localized.h"
#include "foundation/UndoManager.h"
#include "foundation/UserDefaults.h"
#include "graphics/Image.h"
#include "imageio/ImageSource.h"
#include "imageio/TypeIdentifiers.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace {

const QString kDidDisplayNonZovaNotification =
    QStringLiteral("IMA_DID_DISPLAY_NON_ZOVA_NOTIFICATION");

// Keeps the corrupt-file code callers test for, with the file and the cause.
fnd::Error importFailure(const QUrl& url, const QString& reason) {
  const QString path = url.toLocalFile();
  return fnd::Error(fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
                    {{fnd::LocalizedDescriptionKey,
                      fnd::localized("The image in the file %1 could not be read.").arg(path)},
                     {fnd::LocalizedFailureReasonKey, reason},
                     {fnd::FilePathErrorKey, path}});
}

}  // namespace

bool IMDocument::readFromURL(const QUrl& url, const QString& typeName, fnd::Error* error) {
  // The store's objects are dropped with the read; the root is fetched anew.
  // A read that fails keeps the context, so the root stays as it was.
  ComposedImage* const root = composedImage_;
  cd::ManagedObjectContext* const rootContext = composedImageContext_;
  const bool reloaded = rootWasReloaded_;
  if (composedImage_) rootWasReloaded_ = true;
  composedImage_ = nullptr;
  if (ui::PersistentDocument::readFromURL(url, typeName, error)) return true;
  composedImage_ = root;
  composedImageContext_ = rootContext;
  rootWasReloaded_ = reloaded;
  return false;
}

bool IMDocument::revertToContentsOfURL(const QUrl& url, const QString& typeName,
                                       fnd::Error* error) {
  QList<IMRevertingWindow*> windows;
  for (ui::WindowController* controller : windowControllers())
    if (auto* window = dynamic_cast<IMRevertingWindow*>(controller)) windows.append(window);
  for (IMRevertingWindow* window : windows) window->documentWillRevert();
  const bool reverted = ui::PersistentDocument::revertToContentsOfURL(url, typeName, error);
  for (IMRevertingWindow* window : windows) window->documentDidRevert();
  return reverted;
}

bool IMDocument::testDocumentCoherencyWithContentsOfURL(const QUrl& url, fnd::Error* error) {
  cd::PersistentStoreCoordinator coordinator(IMManagedObject::managedObjectModel());
  const QVariantMap options{{cd::SQLitePragmasOption, QVariantMap{{"journal_mode", "DELETE"}}}};
  cd::PersistentStore* store =
      coordinator.addPersistentStoreWithType(cd::SQLiteStoreType, {}, url, options, error);
  if (!store) return false;
  // The rows are counted without making objects: a fetched root would start
  // decoding every layer for a store that is about to be closed.
  cd::EntityDescription* entity = coordinator.managedObjectModel()->entityNamed("ComposedImage");
  QList<cd::StoreRow> rows;
  if (entity && store->fetchRows(entity, true, &rows, nullptr) && rows.size() == 1) return true;
  fnd::fail(error, ima_corruptedFileErrorAtUrl(url));
  return false;
}

bool IMDocument::addImageAtURL(const QUrl& url, const QString& type, fnd::Error* error) {
  const QString path = url.toLocalFile();
  gfx::ImagePtr image = gfx::Image::imageWithContentsOfFile(path);
  if (!image || image->size().width() <= 0 || image->size().height() <= 0)
    return fnd::fail(error, importFailure(url, fnd::localized("It is damaged, or it holds no image "
                                                              "in a format Tessaly reads.")));
  // Only a file that did decode replaces the metadata of the last one.
  if (type != io::TypePDF) {
    imageMetadata_.clear();
    if (io::ImageSourcePtr source = io::ImageSource::createWithURL(url))
      imageMetadata_ = source->propertiesAtIndex(0);
    savedMetaAndOptions_.reset();
    ima_convertImageTo72dpi(image);
  }
  createMandatoryManagedObjects();
  ComposedImage* root = composedImage();
  Layer* layer = root ? root->layersArray().value(root->layersArray().size() - 1) : nullptr;
  if (!layer)
    return fnd::fail(error,
                     importFailure(url, fnd::localized("The document has no layer to hold it.")));
  layer->image()->setNsImage(image);
  layer->updatePreviousClippingRect();
  layer->setName(QFileInfo(path).completeBaseName());
  root->setSize(image->size());
  cd::ManagedObjectContext* context = managedObjectContext();
  context->processPendingChanges();
  if (context->undoManager()) context->undoManager()->removeAllActions();
  updateChangeCount(ui::ChangeCleared);
  return true;
}

bool IMDocument::configureForImageFile(const QUrl& url, const QString& type, fnd::Error* error) {
  const bool imported = addImageAtURL(url, type, error);
  fnd::UserDefaults& defaults = fnd::UserDefaults::standardUserDefaults();
  // Told once per user, and only about a file that did open.
  if (imported && !defaults.hasKey(kDidDisplayNonZovaNotification)) {
    deliverNonNativeNotification();
    defaults.setBool(true, kDidDisplayNonZovaNotification);
  }
  return imported;
}

void IMDocument::deliverNonNativeNotification() {
  const QString title = fnd::localized("Non native files editing");
  const QString text = fnd::localized(
      "When opening and editing image files that are not in Tessaly native format (ZOVA), your "
      "changes will be saved merged so you will loose Tessaly specific settings. You can change "
      "the default image files opening behaviour in Tessaly preferences.");
  ui::UserNotification notification;
  notification.title = title;
  notification.informativeText = text;
  notification.deliveryDate = QDateTime::currentDateTimeUtc();
  ui::UserNotificationCenter::defaultUserNotificationCenter().deliverNotification(notification);
}
