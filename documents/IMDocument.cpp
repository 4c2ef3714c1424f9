// The core of IMDocument: the mandatory objects of a new document, the
// document's own context and root object, native stores with their search
// metadata, the corruption error, closing, and the document-level commands.
#include "documents/IMDocument.h"

#include <QTimer>
#include <cmath>

#include "appkit/ModalServices.h"
#include "appkit/Window.h"
#include "appkit/WindowController.h"
#include "coredata/PersistentStore.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "documents/FileSizeEstimator.h"
#include "documents/IMFacebookPosting.h"
#include "documents/IMImageFormatsSettings.h"
#include "foundation/Localized.h"
#include "foundation/NotificationCenter.h"
#include "foundation/OperationQueue.h"
#include "foundation/UndoManager.h"
#include "model/ComposedImage.h"
#include "model/IMAManagedObjectContext.h"
#include "model/IMManagedObject.h"
#include "model/Layer.h"
#include "model/Settings.h"

namespace {

const QString kLayerNamesKey = QStringLiteral("kMDItemLayerNames");
const QString kPixelWidthKey = QStringLiteral("kMDItemPixelWidth");
const QString kPixelHeightKey = QStringLiteral("kMDItemPixelHeight");
const QString kHasAlphaKey = QStringLiteral("kMDItemHasAlphaChannel");
constexpr int kValidationMultipleErrorsError = 1560;

IMDocument::WindowControllerFactory& windowControllerFactory() {
  static IMDocument::WindowControllerFactory factory;
  return factory;
}

}  // namespace

void IMDocument::setWindowControllerFactory(WindowControllerFactory factory) {
  windowControllerFactory() = std::move(factory);
}

IMDocument::IMDocument() {
  addAction(QStringLiteral("exportToFacebook:"), [this](QObject* s) { exportToFacebook(s); });
}

IMDocument::~IMDocument() {
  delete savePanelView_;
  estimator_.reset();
  cd::ManagedObjectContext* context = managedObjectContext();
  fnd::NotificationCenter::defaultCenter().postNotificationName(
      IMAWillThrowAwayManagedObjectsForMOC, context);
  if (IMAManagedObjectContext* custom = IMAManagedObjectContext::fromContext(context)) {
    // The queues go before the context does; their work is finished first.
    if (operationQueue_) operationQueue_->waitUntilAllOperationsAreFinished();
    custom->setLoadingAndSavingOperationQueue(nullptr);
  }
}

cd::ManagedObjectModelPtr IMDocument::managedObjectModel() const {
  return IMManagedObject::managedObjectModel();
}

fnd::Error IMDocument::ima_corruptedFileErrorAtUrl(const QUrl& url) {
  return fnd::Error(
      IMErrorDomain, 0,
      {{fnd::LocalizedDescriptionKey,
        fnd::localized("The image file %1 is missing some required informations.")
            .arg(url.toString())},
       {fnd::LocalizedRecoverySuggestionKey,
        fnd::localized(
            "Please check with Time Machine if you have a readable version in your backup.")}});
}

bool IMDocument::initWithType(const QString& typeName, fnd::Error* error) {
  if (!ui::PersistentDocument::initWithType(typeName, error)) return false;
  createMandatoryManagedObjects();
  cd::ManagedObjectContext* context = managedObjectContext();
  context->processPendingChanges();
  if (context->undoManager()) context->undoManager()->removeAllActions();
  updateChangeCount(ui::ChangeCleared);
  return true;
}

void IMDocument::createMandatoryManagedObjects() {
  if (!needsToReloadComposedImage()) return;
  configureCustomManagedObjectContextWithCurrentManagedObjectContext(managedObjectContext());
  IMAManagedObjectContext* context = customManagedObjectContext();
  composedImage_ = ComposedImage::createComposedImageWithALayerForManagedObjectContext(context);
  composedImageContext_ = context;
  context->setLoadingAndSavingOperationQueue(operationQueue());
}

void IMDocument::configureCustomManagedObjectContextWithCurrentManagedObjectContext(
    cd::ManagedObjectContext* context) {
  if (IMAManagedObjectContext::fromContext(context)) return;
  auto custom =
      std::make_unique<IMAManagedObjectContext>(cd::ManagedObjectContext::MainQueueConcurrencyType);
  if (context) custom->setPersistentStoreCoordinator(context->persistentStoreCoordinator());
  setManagedObjectContext(std::move(custom));
}

IMAManagedObjectContext* IMDocument::customManagedObjectContext() {
  return IMAManagedObjectContext::fromContext(managedObjectContext());
}

bool IMDocument::needsToReloadComposedImage() {
  return !composedImage_ || composedImageContext_ != managedObjectContext();
}

ComposedImage* IMDocument::composedImage() {
  if (!needsToReloadComposedImage()) return composedImage_;
  configureCustomManagedObjectContextWithCurrentManagedObjectContext(managedObjectContext());
  IMAManagedObjectContext* context = customManagedObjectContext();
  // A root fetched again after a revert starts with fresh settings; the
  // first one gets its settings from the window controller.
  const bool reloaded =
      rootWasReloaded_ || (composedImageContext_ && composedImageContext_ != context);
  rootWasReloaded_ = false;
  std::shared_ptr<Settings> settings = reloaded ? std::make_shared<Settings>() : nullptr;
  // The queue is in place before the fetch, whose layers start decoding.
  context->setLoadingAndSavingOperationQueue(operationQueue());
  fnd::Error error;
  composedImage_ = ComposedImage::composedImageForManagedObjectContext(context, &error);
  composedImageContext_ = context;
  if (composedImage_) composedImage_->setSettings(settings);
  if (!composedImage_) showCorruptionError(error.isNull() ? nullptr : &error);
  return composedImage_;
}

void IMDocument::setComposedImage(ComposedImage* composedImage) {
  composedImage_ = composedImage;
  composedImageContext_ = composedImage ? managedObjectContext() : nullptr;
}

fnd::OperationQueue* IMDocument::operationQueue() {
  if (!operationQueue_) operationQueue_ = std::make_unique<fnd::OperationQueue>();
  return operationQueue_.get();
}

fnd::OperationQueue* IMDocument::fileSizePreviewQueue() {
  if (!fileSizePreviewQueue_) {
    fileSizePreviewQueue_ = std::make_unique<fnd::OperationQueue>();
    fileSizePreviewQueue_->setMaxConcurrentOperationCount(1);
    estimator_ = std::make_unique<FileSizeEstimator>(fileSizePreviewQueue_.get());
  }
  return fileSizePreviewQueue_.get();
}

bool IMDocument::isEmpty() {
  ComposedImage* image = composedImage();
  return !image || image->isEmpty();
}

bool IMDocument::configurePersistentStoreCoordinatorForURL(const QUrl& url, const QString& fileType,
                                                           const QString& configuration,
                                                           const QVariantMap& storeOptions,
                                                           fnd::Error* error) {
  if (fileType != IMNativeDocumentType) return configureForImageFile(url, fileType, error);
  QVariantMap options = storeOptions;
  options[cd::MigratePersistentStoresAutomaticallyOption] = true;
  options[cd::InferMappingModelAutomaticallyOption] = true;
  options[cd::SQLitePragmasOption] = QVariantMap{{"journal_mode", "DELETE"}};
  if (!ui::PersistentDocument::configurePersistentStoreCoordinatorForURL(
          url, fileType, configuration, options, error))
    return false;
  cd::PersistentStoreCoordinator* coordinator = persistentStoreCoordinator();
  const QVariantMap metadata =
      coordinator->metadataForPersistentStore(coordinator->persistentStoreForURL(url));
  configureCustomManagedObjectContextWithCurrentManagedObjectContext(managedObjectContext());
  // Search metadata is optional: a store without it still opens, and gets it
  // with its next save.
  for (const QString& key : {kPixelWidthKey, kPixelHeightKey, kLayerNamesKey, kHasAlphaKey})
    if (!metadata.contains(key)) {
      setMetadataForStoreAtURL(url);
      break;
    }
  return true;
}

bool IMDocument::setMetadataForStoreAtURL(const QUrl& url) {
  cd::ManagedObjectContext* context = managedObjectContext();
  cd::PersistentStoreCoordinator* coordinator =
      context ? context->persistentStoreCoordinator() : nullptr;
  cd::PersistentStore* store = coordinator ? coordinator->persistentStoreForURL(url) : nullptr;
  if (!store) return false;
  // Without a root there is nothing to describe; the corruption error is
  // shown by whoever asks for the root, not from here.
  ComposedImage* root = needsToReloadComposedImage()
                            ? ComposedImage::composedImageForManagedObjectContext(context)
                            : composedImage_;
  if (!root) return false;
  QVariantMap metadata = coordinator->metadataForPersistentStore(store);
  QStringList names;
  for (Layer* layer : root->layersArray())
    if (!names.contains(layer->name())) names.append(layer->name());
  metadata[kLayerNamesKey] = names;
  metadata[kPixelWidthKey] = qlonglong(std::lround(root->width()));
  metadata[kPixelHeightKey] = qlonglong(std::lround(root->height()));
  metadata[kHasAlphaKey] = true;
  coordinator->setMetadata(metadata, store);
  return true;
}

void IMDocument::showCorruptionError(const fnd::Error* error) {
  if (didShowCorruptionError_) return;
  const fnd::Error shown = error ? *error : ima_corruptedFileErrorAtUrl(fileURL());
  didShowCorruptionError_ = true;
  presentError(shown);
  QTimer::singleShot(1000, this, [this] { close(); });
}

void IMDocument::close() {
  if (operationQueue_) operationQueue_->waitUntilAllOperationsAreFinished();
  ui::PersistentDocument::close();
}

void IMDocument::makeWindowControllers() {
  if (windowControllerFactory()) addWindowController(windowControllerFactory()(this));
}

ui::WindowController* IMDocument::windowController() const { return windowControllers().value(0); }

QWidget* IMDocument::appropriateWindowForDocModalOperations() const {
  for (ui::WindowController* controller : windowControllers())
    if (controller->isWindowLoaded()) return controller->window();
  return nullptr;
}

fnd::Error IMDocument::willPresentError(const fnd::Error& error) {
  if (error.domain() != fnd::CocoaErrorDomain || error.code() != kValidationMultipleErrorsError)
    return ui::PersistentDocument::willPresentError(error);
  const QList<fnd::Error> details = error.detailedErrors();
  QString text = fnd::localized("%1 validation errors have occurred").arg(details.size());
  if (details.size() < 4) {
    text += QStringLiteral(":\n");
    for (const fnd::Error& detail : details) text += detail.localizedDescription() + '\n';
  } else {
    text += fnd::localized(".\nThe first 3 are:\n");
    for (int i = 0; i < 3; ++i) text += details[i].localizedDescription() + '\n';
  }
  QVariantMap userInfo = error.userInfo();
  userInfo[fnd::LocalizedDescriptionKey] = text;
  return fnd::Error(error.domain(), error.code(), userInfo);
}

void IMDocument::moveDocument(QObject* sender) {
  if (fileType() == IMNativeDocumentType) {
    ui::PersistentDocument::moveDocument(sender);
    return;
  }
  ui::AlertRequest alert;
  alert.messageText = fnd::localized("Moving non Tessaly files is not possible.");
  alert.informativeText =
      fnd::localized(
          "Moving a file is only available for native files ('ZOVA').\nPlease use 'Save As…' to "
          "save the document '%1' as a ZOVA file and choose a destination.")
          .arg(displayName());
  alert.buttons = {fnd::localized("Cancel"), fnd::localized("Save As…")};
  const long answer =
      ui::ModalServices::shared().runAlert(alert, appropriateWindowForDocModalOperations());
  if (answer == ui::AlertSecondButtonReturn) saveDocumentAs(sender);
}
