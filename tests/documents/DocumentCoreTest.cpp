// The persistent document's core: new documents, native stores with their
// search metadata, a store without its root, error texts and moving.
#include <gtest/gtest.h>

#include <QFile>
#include <QThread>
#include <atomic>

#include "DocumentsTestSupport.h"
#include "TestSupport.h"
#include "appkit/ScriptedModalServices.h"
#include "appkit/UserInterfaceItem.h"
#include "appkit/core/Pasteboard.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "foundation/OperationQueue.h"
#include "foundation/UndoManager.h"
#include "graphics/Image.h"
#include "imageio/TypeIdentifiers.h"
#include "model/ComposedImage.h"
#include "model/Layer.h"

namespace {

const QString kLayerNames = QStringLiteral("kMDItemLayerNames");
const QString kPixelWidth = QStringLiteral("kMDItemPixelWidth");
const QString kPixelHeight = QStringLiteral("kMDItemPixelHeight");
const QString kHasAlpha = QStringLiteral("kMDItemHasAlphaChannel");

QVariantMap storedMetadata(const QString& path) {
  return cd::PersistentStoreCoordinator::metadataForPersistentStoreOfType(
      cd::SQLiteStoreType, QUrl::fromLocalFile(path), nullptr);
}

// The stored metadata row as the sqlite3 shell reads it, in hexadecimal.
QString metadataRow(const QString& path) {
  QString output;
  EXPECT_EQ(
      tst::runTool("sqlite3",
                   {"-readonly", path, "SELECT hex(Z_PLIST) FROM Z_METADATA WHERE Z_VERSION = 1"},
                   &output),
      0)
      << output.toStdString();
  return output.trimmed();
}

}  // namespace

TEST(DocumentCore, NewDocumentHasOneLayerNothingToUndoAndIsClean) {
  IMDocument document;
  fnd::Error error;
  ASSERT_TRUE(document.initWithType(IMNativeDocumentType, &error))
      << error.localizedDescription().toStdString();
  ComposedImage* image = document.composedImage();
  ASSERT_TRUE(image);
  EXPECT_EQ(image->layersArray().size(), 1);
  EXPECT_TRUE(document.customManagedObjectContext());
  EXPECT_FALSE(document.undoManager()->canUndo());
  EXPECT_FALSE(document.isDocumentEdited());
  EXPECT_TRUE(document.isEmpty());
  EXPECT_EQ(document.customManagedObjectContext()->loadingAndSavingOperationQueue(),
            document.operationQueue());
}

TEST(DocumentCore, SearchMetadataIsAddedWhenMissingAndLeftWhenPresent) {
  if (!tst::haveTool("sqlite3")) GTEST_SKIP() << "sqlite3 is not installed";
  // A store written without search metadata: 1023.5 wide, two layers
  // sharing a name.
  const QString bare = tst::tempPath("metadata-missing.zova");
  {
    doctest::StoreDocument store(bare);
    ComposedImage* image =
        ComposedImage::createComposedImageWithALayerForManagedObjectContext(store.context.get());
    Layer::createLayerWithComposedImage(image, store.context.get(), true);
    image->setWidth(1023.5);
    image->setHeight(600.4);
    for (Layer* layer : image->layersArray()) layer->setName("twin");
    ASSERT_TRUE(store.save());
  }
  ASSERT_FALSE(storedMetadata(bare).contains(kPixelWidth));
  {
    IMDocument document;
    fnd::Error error;
    ASSERT_TRUE(
        document.initWithContentsOfURL(QUrl::fromLocalFile(bare), IMNativeDocumentType, &error))
        << error.localizedDescription().toStdString();
    // Added to the store on opening; the file changes with the next save.
    EXPECT_FALSE(storedMetadata(bare).contains(kPixelWidth));
    doctest::saveInPlace(document);
  }
  tst::saveArtifact(bare, "documents-metadata-added.zova");
  const QVariantMap metadata = storedMetadata(bare);
  EXPECT_EQ(metadata.value(kPixelWidth).toLongLong(), 1024);
  EXPECT_EQ(metadata.value(kPixelHeight).toLongLong(), 600);
  EXPECT_EQ(metadata.value(kLayerNames).toStringList(), QStringList{"twin"});
  EXPECT_EQ(metadata.value(kHasAlpha).toBool(), true);

  // Another program widens the image and saves without refreshing the
  // search metadata: a store that has all four keys, one of them stale.
  {
    doctest::StoreDocument store(bare);
    ComposedImage::composedImageForManagedObjectContext(store.context.get())->setWidth(2000);
    ASSERT_TRUE(store.save());
  }
  ASSERT_EQ(storedMetadata(bare).value(kPixelWidth).toLongLong(), 1024);
  const QString rowBefore = metadataRow(bare);
  ASSERT_FALSE(rowBefore.isEmpty());
  // Opening leaves the keys as they are, in the store and in the file.
  {
    IMDocument document;
    ASSERT_TRUE(
        document.initWithContentsOfURL(QUrl::fromLocalFile(bare), IMNativeDocumentType, nullptr));
    EXPECT_EQ(document.composedImage()->width(), 2000);
    cd::PersistentStoreCoordinator* coordinator = document.persistentStoreCoordinator();
    EXPECT_EQ(coordinator->metadataForPersistentStore(document.persistentStore())
                  .value(kPixelWidth)
                  .toLongLong(),
              1024);
    document.close();
  }
  EXPECT_EQ(metadataRow(bare), rowBefore);
}

TEST(DocumentCore, RevertedRootGetsFreshSettingsAndAFirstFetchNone) {
  const QString path = tst::tempPath("revert.zova");
  IMDocument document;
  ASSERT_TRUE(document.initWithType(IMNativeDocumentType, nullptr));
  ASSERT_TRUE(
      doctest::saveDocument(document, path, IMNativeDocumentType, ui::SaveAsOperation).isNull());
  IMDocument opened;
  ASSERT_TRUE(
      opened.initWithContentsOfURL(QUrl::fromLocalFile(path), IMNativeDocumentType, nullptr));
  ASSERT_TRUE(opened.composedImage());
  EXPECT_FALSE(opened.composedImage()->settings());
  opened.composedImage()->setWidth(77);
  fnd::Error error;

  // Reverting to a file that no longer reads fails naming it, and keeps the
  // root with its change.
  ComposedImage* kept = opened.composedImage();
  ASSERT_TRUE(QFile::rename(path, path + ".aside"));
  QFile damaged(path);
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
  damaged.write("not a store at all");
  damaged.close();
  EXPECT_FALSE(opened.revertToContentsOfURL(opened.fileURL(), opened.fileType(), &error));
  EXPECT_TRUE(error.localizedDescription().contains(path))
      << error.localizedDescription().toStdString();
  EXPECT_EQ(opened.composedImage(), kept);
  EXPECT_EQ(opened.composedImage()->width(), 77);
  ASSERT_TRUE(QFile::remove(path));
  ASSERT_TRUE(QFile::rename(path + ".aside", path));

  ASSERT_TRUE(opened.revertToContentsOfURL(opened.fileURL(), opened.fileType(), &error))
      << error.localizedDescription().toStdString();
  ComposedImage* reverted = opened.composedImage();
  ASSERT_TRUE(reverted);
  EXPECT_TRUE(reverted->settings());
  EXPECT_EQ(reverted->width(), 1600);
  EXPECT_FALSE(opened.isDocumentEdited());
}

TEST(DocumentCore, StoreWithoutRootReportsCorruptionOnceAndCloses) {
  const QString path = tst::tempPath("no-root.zova");
  {
    doctest::StoreDocument store(path);
    ComposedImage* image =
        ComposedImage::createComposedImageWithALayerForManagedObjectContext(store.context.get());
    store.context->deleteObject(image);
    ASSERT_TRUE(store.save());
  }
  // The controller refuses it, naming the file.
  IMDocumentController controller;
  fnd::Error error;
  EXPECT_FALSE(controller.makeDocumentWithContentsOfURL(QUrl::fromLocalFile(path),
                                                        IMNativeDocumentType, &error));
  EXPECT_EQ(error.domain(), IMErrorDomain);
  EXPECT_EQ(error.code(), 0);
  EXPECT_TRUE(error.localizedDescription().contains(QUrl::fromLocalFile(path).toString()));

  // A document that reads it anyway shows the error once, then closes.
  ui::ScriptedModalServices dialogs;
  dialogs.answerAlert(ui::AlertFirstButtonReturn);
  IMDocument document;
  ASSERT_TRUE(
      document.initWithContentsOfURL(QUrl::fromLocalFile(path), IMNativeDocumentType, nullptr));
  EXPECT_FALSE(document.composedImage());
  EXPECT_FALSE(document.composedImage());
  ASSERT_EQ(dialogs.shown().size(), 1);
  EXPECT_EQ(
      dialogs.shown().first().alert.messageText,
      IMDocument::ima_corruptedFileErrorAtUrl(QUrl::fromLocalFile(path)).localizedDescription());
  EXPECT_TRUE(document.didShowCorruptionError());
  EXPECT_TRUE(tst::spinUntil([&] { return document.isClosed(); }, 3000));
}

TEST(DocumentCore, SeveralValidationErrorsBecomeOneListingTheFirstThree) {
  struct Case {
    int count;
    QString expected;
  };
  const Case cases[] = {
      {2, "2 validation errors have occurred:\nerror 1\nerror 2\n"},
      {5, "5 validation errors have occurred.\nThe first 3 are:\nerror 1\nerror 2\nerror 3\n"}};
  IMDocument document;
  for (const Case& c : cases) {
    QVariantList details;
    for (int i = 1; i <= c.count; ++i)
      details.append(QVariant::fromValue(fnd::Error::withDescription(
          fnd::CocoaErrorDomain, 1570, QStringLiteral("error %1").arg(i))));
    const fnd::Error incoming(fnd::CocoaErrorDomain, 1560,
                              {{fnd::DetailedErrorsKey, details}, {"kept", "yes"}});
    const fnd::Error shown = document.willPresentError(incoming);
    EXPECT_EQ(shown.localizedDescription(), c.expected);
    EXPECT_EQ(shown.code(), 1560);
    EXPECT_EQ(shown.userInfo().value("kept").toString(), "yes");
  }
  const fnd::Error other = fnd::Error::withDescription("Elsewhere", 3, "left alone");
  EXPECT_EQ(document.willPresentError(other).localizedDescription(), "left alone");
}

TEST(DocumentCore, MovingAnImageFileOffersSaveAs) {
  for (bool saveAs : {false, true}) {
    SCOPED_TRACE(saveAs ? "Save As" : "Cancel");
    ui::ScriptedModalServices dialogs;
    dialogs.setUnexpectedDialogHandler([](const QString&) {});
    IMDocument document;
    ASSERT_TRUE(document.initWithType(IMNativeDocumentType, nullptr));
    document.setFileType(io::TypePNG);
    dialogs.answerAlertWithButton(saveAs ? "Save As…" : "Cancel");
    if (saveAs) dialogs.cancel(ui::ScriptedModalServices::Dialog::SavePanel);
    document.moveDocument(nullptr);
    ASSERT_GE(dialogs.shown().size(), 1);
    EXPECT_EQ(dialogs.shown().first().alert.messageText,
              "Moving non Tessaly files is not possible.");
    EXPECT_EQ(dialogs.shown().first().alert.buttons, (QStringList{"Cancel", "Save As…"}));
    // Save As shows the save panel; Cancel shows nothing more.
    EXPECT_EQ(dialogs.shown().size(), saveAs ? 2 : 1);
  }
}

TEST(DocumentCore, OpeningReplacesOnlyALoneUntouchedEmptyDocument) {
  const QString path = tst::tempPath("opened.zova");
  {
    IMDocument saved;
    ASSERT_TRUE(saved.initWithType(IMNativeDocumentType, nullptr));
    ASSERT_TRUE(
        doctest::saveDocument(saved, path, IMNativeDocumentType, ui::SaveAsOperation).isNull());
  }
  struct Case {
    int open;
    bool edited;
    bool closed;
  };
  const Case cases[] = {{1, false, true}, {1, true, false}, {2, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.open << " open, edited " << c.edited);
    IMDocumentController controller;
    for (int i = 0; i < c.open; ++i)
      controller.addDocument(controller.makeUntitledDocumentOfType(IMNativeDocumentType, nullptr));
    ui::Document* first = controller.documents().first();
    if (c.edited) first->updateChangeCount(ui::ChangeDone);
    fnd::Error error;
    EXPECT_TRUE(controller.makeDocumentWithContentsOfURL(QUrl::fromLocalFile(path),
                                                         IMNativeDocumentType, &error))
        << error.localizedDescription().toStdString();
    EXPECT_EQ(first->isClosed(), c.closed);
  }
}

TEST(DocumentCore, FailedSavesNameThePathAndTheCause) {
  IMDocument document;
  ASSERT_TRUE(document.initWithType(IMNativeDocumentType, nullptr));
  const QString path = tst::tempPath("missing-folder") + "/image.png";
  for (const QString& type : {io::TypePNG, io::TypePDF, QStringLiteral("org.example.none")}) {
    fnd::Error error;
    EXPECT_FALSE(document.savetoBitmapFileType(type, QUrl::fromLocalFile(path), true, &error));
    EXPECT_TRUE(error.localizedDescription().contains(path))
        << error.localizedDescription().toStdString();
    EXPECT_GT(error.localizedDescription().size(), path.size() + 30);
  }
}

TEST(DocumentCore, ClosingWaitsForImageWorkThatHandsBackLater) {
  auto document = std::make_unique<IMDocument>();
  ASSERT_TRUE(document->initWithType(IMNativeDocumentType, nullptr));
  std::atomic<bool> worked{false};
  bool handedBack = false;
  document->operationQueue()->addOperationWithBlock([&] {
    QThread::msleep(50);
    worked = true;
    fnd::dispatchToQueue(fnd::OperationQueue::mainQueue(), [&] { handedBack = true; });
  });
  document->close();
  EXPECT_TRUE(worked);
  EXPECT_FALSE(handedBack);  // delivered later, from the event loop
  EXPECT_TRUE(tst::spinUntil([&] { return handedBack; }));
}

TEST(DocumentCore, NewDocumentFromPasteboardNeedsAnImage) {
  struct Item : ui::UserInterfaceItem {
    QString action() const override { return "newDocumentFromPasteboard:"; }
  };
  IMDocumentController controller;
  ui::Pasteboard& pasteboard = ui::Pasteboard::generalPasteboard();
  pasteboard.clearContents();
  pasteboard.setString("words", "public.utf8-plain-text");
  EXPECT_FALSE(controller.validateUserInterfaceItem(Item()));
  QImage pixels(8, 8, QImage::Format_ARGB32_Premultiplied);
  pixels.fill(Qt::red);
  pasteboard.clearContents();
  ASSERT_TRUE(pasteboard.writeObjects({gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels))}));
  EXPECT_TRUE(controller.validateUserInterfaceItem(Item()));
  pasteboard.clearContents();
}
