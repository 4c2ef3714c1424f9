// Saving a document in place after one layer changed: only that layer's
// pixels are written again, and the store reads back as a whole new store
// of the same document would, in stores made now and in stores of the
// smaller page size written before, which keep it.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QUrl>

#include "DocumentsTestSupport.h"
#include "TestSupport.h"
#include "documents/IMDocument.h"
#include "graphics/CGImage.h"
#include "graphics/Image.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace {

std::unique_ptr<IMDocument> openStore(const QString& path) {
  auto document = std::make_unique<IMDocument>();
  fnd::Error error;
  EXPECT_TRUE(
      document->initWithContentsOfURL(QUrl::fromLocalFile(path), IMNativeDocumentType, &error))
      << error.localizedDescription().toStdString();
  return document;
}

// Straight colours: the store keeps them so, and inverting them keeps them valid.
QImage pixelsOf(Layer* layer) {
  gfx::ImagePtr image = layer->image()->nsImage();
  return image ? image->CGImageForProposedRect(nullptr, nullptr)
                     ->qImage()
                     .convertToFormat(QImage::Format_RGBA8888)
               : QImage();
}

QList<QImage> layerPixels(const QString& path) {
  std::unique_ptr<IMDocument> document = openStore(path);
  QList<QImage> pixels;
  for (Layer* layer : document->composedImage()->layersArray()) pixels.append(pixelsOf(layer));
  return pixels;
}

void invertLayer(IMDocument& document, int index) {
  Image* image = document.composedImage()->layersArray()[index]->image();
  QImage pixels = pixelsOf(document.composedImage()->layersArray()[index]);
  pixels.invertPixels();
  image->setNsImage(gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels)));
}

// The stored image blobs by key, as the sqlite3 shell reads them.
QStringList storedBlobs(const QString& path) {
  QString output;
  EXPECT_EQ(tst::runTool("sqlite3",
                         {path, "SELECT Z_PK, hex(ZIMAGEDATA) FROM ZIMAGE ORDER BY Z_PK"}, &output),
            0);
  return output.split('\n', Qt::SkipEmptyParts);
}

// What the sqlite3 shell prints for `sql` on the store at `path`.
QString shell(const QString& path, const QString& sql) {
  QString output;
  EXPECT_EQ(tst::runTool("sqlite3", {path, sql}, &output), 0) << sql.toStdString();
  return output.trimmed();
}

// A new document of three layers saved at `path`; with `large`, the bottom
// layer is noise (which compresses badly) of several megabytes stored.
// Returns the layers' pixels as made.
QList<QImage> saveNewDocument(const QString& path, bool large) {
  IMDocument document;
  EXPECT_TRUE(document.initWithType(IMNativeDocumentType, nullptr));
  doctest::fillWithThreeLayers(document.composedImage(), document.managedObjectContext());
  if (large) {
    QImage noise(1400, 1000, QImage::Format_RGBA8888);
    QRandomGenerator random(27);
    for (int y = 0; y < noise.height(); ++y)
      random.fillRange(reinterpret_cast<quint32*>(noise.scanLine(y)), noise.width());
    // Opaque: straight colours round-trip exactly.
    for (int y = 0; y < noise.height(); ++y)
      for (int x = 0; x < noise.width(); ++x) noise.scanLine(y)[4 * x + 3] = 255;
    document.composedImage()->layersArray()[2]->image()->setNsImage(
        gfx::Image::imageWithCGImage(gfx::CGImage::make(noise)));
  }
  QList<QImage> made;
  for (Layer* layer : document.composedImage()->layersArray()) made.append(pixelsOf(layer));
  const fnd::Error error =
      doctest::saveDocument(document, path, IMNativeDocumentType, ui::SaveAsOperation);
  EXPECT_TRUE(error.isNull()) << error.localizedDescription().toStdString();
  return made;
}

}  // namespace

TEST(SaveOneChange, WritesOnlyTheChangedLayerAndReadsBackAsAFullSave) {
  if (!tst::haveTool("sqlite3")) GTEST_SKIP() << "sqlite3 is not installed";
  const QString small = tst::tempPath("one-change-small.zova");
  const QString large = tst::tempPath("one-change-large.zova");
  const QString largeInSmallPages = tst::tempPath("one-change-large-small-pages.zova");
  QFile::remove(small);
  QFile::remove(large);
  QFile::remove(largeInSmallPages);
  const QList<QImage> madeSmall = saveNewDocument(small, false);
  const QList<QImage> madeLarge = saveNewDocument(large, true);
  // Layers of megabytes give a new store large pages, small ones keep its file small.
  EXPECT_EQ(shell(small, "PRAGMA page_size"), "4096");
  EXPECT_EQ(shell(large, "PRAGMA page_size"), "65536");
  EXPECT_LT(QFileInfo(small).size(), 128 * 1024);
  // The large document as stores were written before they took large pages.
  ASSERT_TRUE(QFile::copy(large, largeInSmallPages));
  shell(largeInSmallPages, "PRAGMA page_size = 4096; VACUUM");
  ASSERT_EQ(shell(largeInSmallPages, "PRAGMA page_size"), "4096");

  const struct {
    QString store, pageSize;
    const QList<QImage>& made;
  } stores[] = {{small, "4096", madeSmall},
                {large, "65536", madeLarge},
                {largeInSmallPages, "4096", madeLarge}};
  for (const auto& [before, pageSize, made] : stores) {
    SCOPED_TRACE(QFileInfo(before).fileName().toStdString());
    // The store written before opens with the pixels it was made with.
    const QList<QImage> reopened = layerPixels(before);
    ASSERT_EQ(reopened.size(), made.size());
    for (int i = 0; i < made.size(); ++i)
      EXPECT_LE(doctest::largestDifference(made[i], reopened[i]), 1);
    const QStringList blobsBefore = storedBlobs(before);
    ASSERT_EQ(blobsBefore.size(), 3);
    for (const int changed : {0, 2}) {  // the top layer, the bottom one
      SCOPED_TRACE(changed);
      const QString inPlace = tst::tempPath("one-change-in-place.zova");
      const QString full = tst::tempPath("one-change-full.zova");
      QFile::remove(inPlace);
      QFile::remove(full);
      ASSERT_TRUE(QFile::copy(before, inPlace));
      {
        std::unique_ptr<IMDocument> document = openStore(inPlace);
        invertLayer(*document, changed);
        doctest::saveInPlace(*document);
      }
      {
        std::unique_ptr<IMDocument> document = openStore(before);
        invertLayer(*document, changed);
        const fnd::Error error =
            doctest::saveDocument(*document, full, IMNativeDocumentType, ui::SaveAsOperation);
        ASSERT_TRUE(error.isNull()) << error.localizedDescription().toStdString();
      }
      EXPECT_EQ(shell(inPlace, "PRAGMA integrity_check"), "ok");
      EXPECT_EQ(shell(full, "PRAGMA integrity_check"), "ok");
      EXPECT_EQ(shell(inPlace, "PRAGMA page_size"), pageSize);
      const QList<QImage> saved = layerPixels(inPlace);
      EXPECT_EQ(saved, layerPixels(full));
      ASSERT_EQ(saved.size(), made.size());
      for (int i = 0; i < made.size(); ++i) {
        QImage expected = reopened[i];
        if (i == changed) expected.invertPixels();
        EXPECT_EQ(saved[i], expected) << i;
      }
      // Every other layer's stored bytes are those of the store before.
      const QStringList blobs = storedBlobs(inPlace);
      ASSERT_EQ(blobs.size(), blobsBefore.size());
      int rewritten = 0;
      for (int i = 0; i < blobs.size(); ++i) rewritten += blobs[i] != blobsBefore[i];
      EXPECT_EQ(rewritten, 1);
      tst::saveArtifact(inPlace, QStringLiteral("one-change-in-place-%1-%2.zova")
                                     .arg(QFileInfo(before).baseName())
                                     .arg(changed));
    }
  }
}
