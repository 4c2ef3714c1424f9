// Image files opened as one-layer native documents, and the properties they
// carry to an export.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>

#include "DocumentsTestSupport.h"
#include "TestSupport.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "foundation/UndoManager.h"
#include "foundation/UserDefaults.h"
#include "imageio/ImageDestination.h"
#include "imageio/ImageProperties.h"
#include "imageio/ImageSource.h"
#include "imageio/TypeIdentifiers.h"
#include "model/ComposedImage.h"
#include "model/Layer.h"

namespace {

// A 40 × 30 camera JPEG at 300 dpi whose EXIF says to turn it a quarter
// (orientation 6), in a folder of its own as "photo.jpg".
QString cameraJPEG() {
  QImage pixels(40, 30, QImage::Format_RGBX8888);
  pixels.fill(QColor(40, 120, 200));
  QByteArray bytes;
  auto destination = io::ImageDestination::createWithData(&bytes, io::TypeJPEG, 1);
  destination->addImage(gfx::CGImage::make(pixels),
                        {{io::PropertyDPIWidth, 300.0},
                         {io::PropertyDPIHeight, 300.0},
                         {io::PropertyOrientation, 6},
                         {io::PropertyTIFFDictionary,
                          QVariantMap{{"Make", "Brenwick Optics"}, {"Model", "BX-100"}}}});
  EXPECT_TRUE(destination->finalize());
  const QString folder = tst::tempPath("camera");
  QDir().mkpath(folder);
  QFile file(folder + "/photo.jpg");
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
  return file.fileName();
}

// A one-page PDF of 100 × 50 points, drawn at 300 dpi, as "sheet.pdf".
QString sheetPDF() {
  const QString path = tst::tempPath("sheet.pdf");
  QPdfWriter writer(path);
  writer.setResolution(300);
  writer.setPageLayout(
      QPageLayout(QPageSize(QSizeF(100, 50), QPageSize::Point, {}, QPageSize::ExactMatch),
                  QPageLayout::Portrait, QMarginsF(), QPageLayout::Point));
  QPainter painter(&writer);
  painter.fillRect(QRect(0, 0, writer.width(), writer.height()), QColor(30, 140, 60));
  return path;
}

}  // namespace

// A PDF keeps its size in points, however finely it was drawn, and brings
// no image properties to carry to an export.
TEST(Import, PDFKeepsItsSizeInPointsAndNoImageProperties) {
  fnd::UserDefaults::standardUserDefaults().removeObjectForKey("IMOpenImagesInZova");
  IMDocumentController controller;
  fnd::Error error;
  std::unique_ptr<ui::Document> opened = controller.makeDocumentWithContentsOfURL(
      QUrl::fromLocalFile(sheetPDF()), io::TypePDF, &error);
  auto* document = qobject_cast<IMDocument*>(opened.get());
  ASSERT_TRUE(document) << error.localizedDescription().toStdString();
  EXPECT_EQ(document->displayName(), "sheet");
  ComposedImage* image = document->composedImage();
  ASSERT_EQ(image->layersArray().size(), 1);
  EXPECT_EQ(image->size(), QSizeF(100, 50));
  EXPECT_TRUE(document->imageMetadata().isEmpty());
  EXPECT_DOUBLE_EQ(document->saveQuality(), 0.85);
}

TEST(Import, CameraJPEGOpensAsOneLayerAndExportsItsFieldsWithoutOrientation) {
  if (!tst::haveTool("exiftool")) GTEST_SKIP() << "exiftool is not installed";
  fnd::UserDefaults::standardUserDefaults().removeObjectForKey("IMOpenImagesInZova");
  IMDocumentController controller;
  const QString path = cameraJPEG();
  fnd::Error error;
  std::unique_ptr<ui::Document> opened =
      controller.makeDocumentWithContentsOfURL(QUrl::fromLocalFile(path), io::TypeJPEG, &error);
  auto* document = qobject_cast<IMDocument*>(opened.get());
  ASSERT_TRUE(document) << error.localizedDescription().toStdString();
  EXPECT_EQ(document->fileType(), IMNativeDocumentType);
  EXPECT_TRUE(document->fileURL().isEmpty());
  EXPECT_EQ(document->displayName(), "photo");
  ComposedImage* image = document->composedImage();
  ASSERT_EQ(image->layersArray().size(), 1);
  EXPECT_EQ(image->layersArray().first()->name(), "photo");
  // The canvas has the upright pixel size, whatever the resolution.
  EXPECT_EQ(image->size(), QSizeF(30, 40));
  EXPECT_FALSE(document->isDocumentEdited());
  EXPECT_FALSE(document->undoManager()->canUndo());
  EXPECT_EQ(document->imageMetadata().value(io::PropertyOrientation).toInt(), 6);
  EXPECT_DOUBLE_EQ(document->saveQuality(), 0.85);

  const QString exported = tst::tempPath("photo-exported.jpg");
  ASSERT_TRUE(
      document->savetoBitmapFileType(io::TypeJPEG, QUrl::fromLocalFile(exported), true, &error))
      << error.localizedDescription().toStdString();
  tst::saveArtifact(path, "documents-import-camera.jpg");
  tst::saveArtifact(exported, "documents-import-camera-exported.jpg");
  QString output;
  ASSERT_EQ(tst::runTool("exiftool", {"-s", "-n", exported}, &output), 0) << output.toStdString();
  EXPECT_TRUE(output.contains(QRegularExpression("\\bMake\\s+: Brenwick Optics")))
      << output.toStdString();
  EXPECT_TRUE(output.contains(QRegularExpression("\\bModel\\s+: BX-100"))) << output.toStdString();
  EXPECT_TRUE(output.contains(QRegularExpression("\\bXResolution\\s+: 300")))
      << output.toStdString();
  EXPECT_TRUE(output.contains(QRegularExpression("\\bImageWidth\\s+: 30"))) << output.toStdString();
  EXPECT_FALSE(output.contains("Orientation")) << output.toStdString();
}

TEST(Import, UnreadableImageIsRefusedWithItsErrorAndTheLoneWindowStays) {
  IMDocumentController controller;
  fnd::Error error;
  controller.addDocument(controller.makeUntitledDocumentOfType(IMNativeDocumentType, &error));
  ASSERT_EQ(controller.documents().size(), 1);
  const QString path = tst::tempPath("broken.png");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("\x89PNG\r\n\x1a\n not really");
  file.close();
  EXPECT_FALSE(
      controller.makeDocumentWithContentsOfURL(QUrl::fromLocalFile(path), io::TypePNG, &error));
  EXPECT_EQ(error.domain(), fnd::CocoaErrorDomain);
  EXPECT_EQ(error.code(), fnd::FileReadCorruptFileError);
  EXPECT_TRUE(error.localizedDescription().contains(path))
      << error.localizedDescription().toStdString();
  EXPECT_FALSE(error.localizedFailureReason().isEmpty());
  EXPECT_EQ(controller.documents().size(), 1);
  EXPECT_FALSE(controller.documents().first()->isClosed());
}

TEST(Import, WithoutNativeOpeningAnImageIsItsOwnDocumentAndTheHintComesOnce) {
  fnd::UserDefaults& defaults = fnd::UserDefaults::standardUserDefaults();
  defaults.setBool(false, "IMOpenImagesInZova");
  defaults.removeObjectForKey("IMA_DID_DISPLAY_NON_ZOVA_NOTIFICATION");
  IMDocumentController controller;
  const QString path = cameraJPEG();
  fnd::Error error;
  std::unique_ptr<ui::Document> opened =
      controller.makeDocumentWithContentsOfURL(QUrl::fromLocalFile(path), io::TypeJPEG, &error);
  defaults.removeObjectForKey("IMOpenImagesInZova");
  auto* document = qobject_cast<IMDocument*>(opened.get());
  ASSERT_TRUE(document) << error.localizedDescription().toStdString();
  EXPECT_EQ(document->fileType(), io::TypeJPEG);
  EXPECT_EQ(document->fileURL(), QUrl::fromLocalFile(path));
  EXPECT_EQ(document->composedImage()->layersArray().size(), 1);
  EXPECT_FALSE(document->persistentStore());
  EXPECT_TRUE(defaults.boolForKey("IMA_DID_DISPLAY_NON_ZOVA_NOTIFICATION"));

  // Saved as itself, the image is written flattened in its own format.
  const fnd::Error saved = doctest::saveDocument(*document, path, io::TypeJPEG, ui::SaveOperation);
  EXPECT_TRUE(saved.isNull()) << saved.localizedDescription().toStdString();
  io::ImageSourcePtr source = io::ImageSource::createWithURL(QUrl::fromLocalFile(path));
  ASSERT_TRUE(source);
  EXPECT_EQ(source->type(), io::TypeJPEG);
}
