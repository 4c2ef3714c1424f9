// A document made in code goes through the real interface: saved natively,
// opened again through the document controller, exported to every format
// through the save-to road the export panel uses, each file accepted by a
// reader of its own.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "DocumentsTestSupport.h"
#include "TestSupport.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "foundation/UserDefaults.h"
#include "graphics/Image.h"
#include "imageio/ImageSource.h"
#include "imageio/TypeIdentifiers.h"
#include "model/ComposedImage.h"
#include "model/Layer.h"

namespace {

struct Reader {
  QString type;
  QString tool;
  QStringList arguments;
  QString accepted;  // a pattern its output shows for a good file
  bool lossless;
};

const Reader kReaders[] = {
    {io::TypePDF, "pdfinfo", {}, "Page size:\\s+64 x 48 pts", false},
    {io::TypeTIFF, "tiffinfo", {}, "Image Width: 64 Image Length: 48", true},
    {io::TypeBMP, "identify", {}, "BMP3? 64x48", true},
    {io::TypeGIF, "giftext", {}, "Screen Size - Width = 64, Height = 48", false},
    {io::TypeJPEG, "djpeg", {"-outfile", "/dev/null"}, "", false},
    {io::TypePNG, "pngcheck", {}, "OK:.*64x48", true},
    {io::TypeTGA, "identify", {}, "TGA 64x48", true},
    {io::TypeJPEG2000, "opj_dump", {"-i"}, "x1=64, y1=48", false},
    {io::TypeOpenEXR,
     "exrheader",
     {},
     "dataWindow \\(type box2i\\): \\(0 0\\) - \\(63 47\\)",
     true},
};

QImage straight(const QImage& image) { return image.convertToFormat(QImage::Format_RGBA8888); }

}  // namespace

TEST(RoundTrip, SavedNativelyOpenedAndExportedToEveryFormat) {
  for (const Reader& reader : kReaders)
    if (!tst::haveTool(reader.tool))
      GTEST_SKIP() << reader.tool.toStdString() << " is not installed";
  fnd::UserDefaults::standardUserDefaults().setBool(true, "savedFileKeepsAlpha");
  const QString store = tst::tempPath("three-layers.zova");
  {
    IMDocument made;
    ASSERT_TRUE(made.initWithType(IMNativeDocumentType, nullptr));
    doctest::fillWithThreeLayers(made.composedImage(), made.managedObjectContext());
    const fnd::Error error =
        doctest::saveDocument(made, store, IMNativeDocumentType, ui::SaveAsOperation);
    ASSERT_TRUE(error.isNull()) << error.localizedDescription().toStdString();
    made.close();
  }
  tst::saveArtifact(store, "documents-roundtrip-three-layers.zova");

  IMDocumentController controller;
  IMDocument* document = nullptr;
  controller.openDocumentWithContentsOfURL(
      QUrl::fromLocalFile(store), false, [&](ui::Document* opened, bool, const fnd::Error* error) {
        document = qobject_cast<IMDocument*>(opened);
        EXPECT_FALSE(error) << (error ? error->localizedDescription().toStdString() : "");
      });
  ASSERT_TRUE(document);
  ASSERT_EQ(document->composedImage()->layersArray().size(), 3);
  EXPECT_EQ(document->composedImage()->size(), QSizeF(64, 48));

  const QImage flattened = straight(document->composedImage()
                                        ->finalImageKeepAlpha(true)
                                        ->CGImageForProposedRect(nullptr, nullptr)
                                        ->qImage());
  const QImage onWhite = straight(document->composedImage()
                                      ->finalImageKeepAlpha(false)
                                      ->CGImageForProposedRect(nullptr, nullptr)
                                      ->qImage());
  for (const Reader& reader : kReaders) {
    SCOPED_TRACE(reader.type.toStdString());
    const QString name =
        "documents-roundtrip." + io::TypeIdentifiers::preferredFilenameExtension(reader.type);
    const QString path = tst::tempPath(name);
    const fnd::Error error =
        doctest::saveDocument(*document, path, reader.type, ui::SaveToOperation);
    ASSERT_TRUE(error.isNull()) << error.localizedDescription().toStdString();
    tst::saveArtifact(path, name);
    QString output;
    EXPECT_EQ(tst::runTool(reader.tool, reader.arguments + QStringList{path}, &output), 0)
        << output.toStdString();
    EXPECT_TRUE(output.contains(QRegularExpression(reader.accepted))) << output.toStdString();
    if (!reader.lossless) continue;
    // PIL decodes all but OpenEXR, which only its own library reads here.
    QImage decoded;
    bool hasAlpha = false;
    if (reader.type == io::TypeOpenEXR) {
      io::ImageSourcePtr source = io::ImageSource::createWithURL(QUrl::fromLocalFile(path));
      ASSERT_TRUE(source);
      decoded = straight(source->createImageAtIndex(0)->qImage());
    } else {
      decoded = doctest::decodedByPIL(path, &hasAlpha);
    }
    const QImage& expected = reader.type == io::TypeBMP ? onWhite : flattened;
    EXPECT_LE(doctest::largestDifference(expected, decoded), 1);
  }
  // Saving as a copy leaves the document where it was.
  EXPECT_EQ(document->fileURL(), QUrl::fromLocalFile(store));
  EXPECT_EQ(document->fileType(), IMNativeDocumentType);
}
