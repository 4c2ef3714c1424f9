#pragma once

#include <QPointer>
#include <QUrl>
#include <QVariantMap>
#include <QWidget>
#include <functional>
#include <memory>

#include "appkit/PersistentDocument.h"
#include "appkit/PrintOperation.h"
#include "documents/ExportSnapshot.h"

class ComposedImage;
class FacebookController;
class FileSizeEstimator;
class IMAManagedObjectContext;
class Reachability;
struct IMFacebookPosting;

namespace fnd {
class OperationQueue;
}
namespace gfx {
class GraphicsContext;
}
namespace ui {
struct SavePanelRequest;
}  // namespace ui

// The native document type and its file extension.
inline const QString IMNativeDocumentType = QStringLiteral("com.brenwick.tessaly");
inline const QString IMNativeFileExtension = QStringLiteral("zova");
// The domain of the program's own document errors: code 0 a corrupted file,
// code 1 a store that cannot be read and written.
inline const QString IMErrorDomain = QStringLiteral("Tessaly");

// The persistent document of one image: owns the managed object context,
// the root ComposedImage, the document's two operation queues and the
// export panel's state. The core is here; opening and importing are in
// IMDocumentOpening.cpp, saving, export and printing in IMDocumentSaving.cpp,
// the export panel's observable settings in IMDocumentExportPanel.cpp.
class IMDocument : public ui::PersistentDocument {
  Q_OBJECT

 public:
  // Makes the window controller of a document; the window layer installs
  // it (the documents layer cannot name its class).
  using WindowControllerFactory = std::function<std::unique_ptr<ui::WindowController>(IMDocument*)>;
  static void setWindowControllerFactory(WindowControllerFactory factory);

  IMDocument();
  ~IMDocument() override;

  // ---- Core ----
  cd::ManagedObjectModelPtr managedObjectModel() const override;
  // Never over the user's file: this desktop keeps no earlier versions of a
  // file to go back to, and an image opened in its own format would be
  // flattened. Edited documents autosave into the autosave folder, always
  // as layered documents.
  bool autosavesInPlace() const override { return false; }
  QString autosavingFileType() const override { return IMNativeDocumentType; }
  // Domain "Tessaly", code 0, naming the URL's relative string.
  static fnd::Error ima_corruptedFileErrorAtUrl(const QUrl& url);

  bool initWithType(const QString& typeName, fnd::Error* error) override;
  void createMandatoryManagedObjects();
  void configureCustomManagedObjectContextWithCurrentManagedObjectContext(
      cd::ManagedObjectContext* context);
  bool needsToReloadComposedImage();
  // The root object, fetched when the context changed; null (after the
  // corruption error) when the store has none.
  ComposedImage* composedImage();
  void setComposedImage(ComposedImage* composedImage);
  IMAManagedObjectContext* customManagedObjectContext();
  fnd::OperationQueue* operationQueue();
  fnd::OperationQueue* fileSizePreviewQueue();
  bool isEmpty();
  qint64 tabbedSettingsTab() const { return tabbedSettingsTab_; }
  void setTabbedSettingsTab(qint64 tab) { tabbedSettingsTab_ = tab; }

  bool configurePersistentStoreCoordinatorForURL(const QUrl& url, const QString& fileType,
                                                 const QString& configuration,
                                                 const QVariantMap& storeOptions,
                                                 fnd::Error* error) override;
  // Writes the four search-metadata keys into the store attached at `url`;
  // false when none is, or when the store has no root to describe.
  bool setMetadataForStoreAtURL(const QUrl& url);
  // Presents the error (the corrupted-file error for null) once per
  // document, then closes the document a second later.
  void showCorruptionError(const fnd::Error* error);
  bool didShowCorruptionError() const { return didShowCorruptionError_; }

  // Waits for the document's image work before closing.
  void close() override;
  void makeWindowControllers() override;
  ui::WindowController* windowController() const;
  QWidget* appropriateWindowForDocModalOperations() const;
  bool canAsynchronouslyWriteToURL(const QUrl&, const QString&,
                                   ui::SaveOperationType) const override {
    return false;
  }
  // Several validation errors become one error listing the first three.
  fnd::Error willPresentError(const fnd::Error& error) override;
  void moveDocument(QObject* sender) override;

  // ---- Opening and importing ----
  // Reading again (a revert) drops the root; the next one fetched gets
  // fresh settings.
  bool readFromURL(const QUrl& url, const QString& typeName, fnd::Error* error) override;
  // The window controllers let go of the objects before the read and take
  // up the root there is after it, whether the read succeeded or not.
  bool revertToContentsOfURL(const QUrl& url, const QString& typeName, fnd::Error* error) override;
  // Whether the store at `url` opens and holds its root object.
  static bool testDocumentCoherencyWithContentsOfURL(const QUrl& url, fnd::Error* error);
  // Puts the image of the file into the last layer and sizes the canvas to
  // it; the document stays unedited with nothing to undo.
  bool addImageAtURL(const QUrl& url, const QString& type, fnd::Error* error);
  QVariantMap imageMetadata() const { return imageMetadata_; }

  // ---- Saving, export and printing ----
  bool writeToURL(const QUrl& url, const QString& typeName, ui::SaveOperationType op,
                  const QUrl& originalContentsURL, fnd::Error* error) override;
  // Writes the flattened document as a file of `type`.
  bool savetoBitmapFileType(const QString& type, const QUrl& url, bool keepsAlpha,
                            fnd::Error* error = nullptr);
  // The export of the document as it is now, for a file of `type`.
  ExportSnapshot::Ptr exportSnapshot(const QString& type, bool keepsAlpha,
                                     fnd::Error* error = nullptr);
  QVariantMap& savedMetaAndOptions();
  QByteArray PDFRepresentationOfFinalImage();
  // On white when `keepsAlpha` is false.
  QByteArray PDFRepresentationOfFinalImage(bool keepsAlpha);
  void printShowingPrintPanel(bool flag) override;
  ui::PrintInfoPtr printInfo();
  // Undoable, named "print settings".
  void setPrintInfo(ui::PrintInfoPtr printInfo) override;
  void printDocument(QObject* sender) override;
  // Draws the canvas for the print and PDF roads.
  void viewDrawingRect(const QRectF& rect, bool forceCleanDrawing, bool disableInterpolation);

  // ---- Export panel ----
  static QString imageIOLocalizedString(const QString& type);
  QString saveType() const { return saveType_; }
  void setSaveType(const QString& type);
  // {"uti", "localized"} for the nine export types, in the panel's order.
  QVariantList saveTypes() const;
  int saveTab() const;
  double saveQuality();
  void setSaveQuality(double quality);
  int saveCompression();
  void setSaveCompression(int compression);
  bool savedFileKeepsAlpha() const;
  void setSavedFileKeepsAlpha(bool keepsAlpha);
  bool selectedTypeDoesNotSupportAlpha() const;
  // Reading it starts a new estimate; answers the current size text.
  QString fileSizeTriger();
  QString saveFileSize() const { return saveFileSize_; }
  bool isCalculatingFileSize() const { return isCalculatingFileSize_; }
  // The bytes behind saveFileSize; -1 while unknown.
  qint64 estimatedFileSize() const { return estimatedFileSize_; }
  QWidget* savePanelView() const { return savePanelView_; }

  bool prepareSavePanel(ui::SavePanelRequest& panel) override;
  QString fileTypeFromLastRunSavePanel() const override;
  QStringList writableTypesForSaveOperation(ui::SaveOperationType op) const override;

  QVariant valueForKey(const QString& key) const override;
  QSet<QString> keyPathsForValuesAffectingValueForKey(const QString& key) const override;

  // ---- Posting to the social network ----
  // The application's internet reachability, which the post command
  // follows; the application delegate installs it. Without one, or when it
  // answers null, the network counts as unreachable.
  using ReachabilityProvider = std::function<Reachability*()>;
  static void setInternetReachabilityProvider(ReachabilityProvider provider);
  static int internetReachabilityStatus();
  // Writes the flattened image to a file of its own and posts it; the
  // outcome shows in an alert.
  void exportToFacebook(QObject* sender);
  // The last posting's, kept until the next one replaces it.
  FacebookController* facebookController() const;
  // The post command needs an image and a network.
  bool validateUserInterfaceItem(const ui::UserInterfaceItem& item) override;

 private:
  void setSaveFileSize(const QString& text);
  void setCalculatingFileSize(bool calculating);
  void applyEstimate(qint64 bytes);
  bool configureForImageFile(const QUrl& url, const QString& type, fnd::Error* error);
  void deliverNonNativeNotification();
  // Draws the canvas on a page; without alpha, on white, as paper shows it.
  ui::PrintOperation::DrawingHandler canvasDrawing(bool keepsAlpha);
  void postThrowAway();

  ComposedImage* composedImage_ = nullptr;
  cd::ManagedObjectContext* composedImageContext_ = nullptr;
  bool rootWasReloaded_ = false;
  std::unique_ptr<fnd::OperationQueue> operationQueue_;
  std::unique_ptr<fnd::OperationQueue> fileSizePreviewQueue_;
  std::unique_ptr<FileSizeEstimator> estimator_;
  qint64 tabbedSettingsTab_ = 0;
  QVariantMap imageMetadata_;
  std::unique_ptr<QVariantMap> savedMetaAndOptions_;
  QString saveType_;
  QString saveFileSize_;
  bool isCalculatingFileSize_ = false;
  qint64 estimatedFileSize_ = -1;
  QPointer<QWidget> savePanelView_;
  bool didShowCorruptionError_ = false;
  ui::PrintInfoPtr printInfo_;
  // Kept while its panel may still show as a sheet.
  std::unique_ptr<ui::PrintOperation> printOperation_;
  std::unique_ptr<IMFacebookPosting> facebookPosting_;
};
