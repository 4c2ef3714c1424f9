// Whether an exported file holds alpha is decided by the type written:
// formats without alpha get the layers flattened on white. Each file is
// decoded by a reader other than ours.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "DocumentsTestSupport.h"
#include "TestSupport.h"
#include "documents/ExportSnapshot.h"
#include "documents/IMDocument.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"
#include "model/ComposedImage.h"
#include "model/Layer.h"

namespace {

struct Written {
  QString path;
  bool fileHasAlpha = false;
  QImage pixels;  // straight RGBA as the independent reader decodes them
};

// OpenEXR is decoded by ImageMagick, PDF rendered by poppler, the rest
// decoded by PIL.
Written readBack(const QString& type, const QString& path) {
  Written written;
  written.path = path;
  QString output;
  if (type == io::TypeOpenEXR) {
    EXPECT_EQ(tst::runTool("exrheader", {path}, &output), 0) << output.toStdString();
    written.fileHasAlpha = output.contains(QRegularExpression("\\bA, 16-bit floating-point"));
    // ImageMagick's OpenEXR reader; it takes the values as linear light and
    // gives sRGB, which leaves clear, black and white as they are.
    const QString decoded = path + ".png";
    EXPECT_EQ(tst::runTool("convert", {path, "PNG32:" + decoded}, &output), 0)
        << output.toStdString();
    bool converted = false;
    written.pixels = doctest::decodedByPIL(decoded, &converted);
  } else if (type == io::TypePDF) {
    EXPECT_EQ(tst::runTool("pdfinfo", {path}, &output), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QRegularExpression("Page size:\\s+64 x 48 pts")))
        << output.toStdString();
    // A page has no alpha of its own: rendered without a backdrop, what the
    // document left clear stays clear.
    written.pixels = doctest::rasterisedPDF(path, true);
  } else {
    written.pixels = doctest::decodedByPIL(path, &written.fileHasAlpha);
  }
  return written;
}

}  // namespace

TEST(ExportAlpha, KeepAlphaByEveryTypeDecodedIndependently) {
  for (const char* tool : {"exrheader", "convert", "pdfinfo", "pdftocairo"})
    if (!tst::haveTool(tool)) GTEST_SKIP() << tool << " is not installed";
  IMDocument document;
  ASSERT_TRUE(document.initWithType(IMNativeDocumentType, nullptr));
  doctest::fillWithThreeLayers(document.composedImage(), document.managedObjectContext());
  const QStringList types{io::TypePDF, io::TypeTIFF, io::TypeBMP,      io::TypeGIF,    io::TypeJPEG,
                          io::TypePNG, io::TypeTGA,  io::TypeJPEG2000, io::TypeOpenEXR};
  for (const QString& type : types) {
    for (bool keepAlpha : {true, false}) {
      SCOPED_TRACE(QStringLiteral("%1 keep alpha %2").arg(type).arg(keepAlpha).toStdString());
      const bool alpha = keepAlpha && type != io::TypeBMP && type != io::TypeJPEG;
      const QString name = QStringLiteral("export-alpha-%1-%2.%3")
                               .arg(keepAlpha ? "kept" : "dropped",
                                    io::TypeIdentifiers::preferredFilenameExtension(type),
                                    io::TypeIdentifiers::preferredFilenameExtension(type));
      const QString path = tst::tempPath(name);
      fnd::Error error;
      ASSERT_TRUE(document.savetoBitmapFileType(type, QUrl::fromLocalFile(path), keepAlpha, &error))
          << error.localizedDescription().toStdString();
      tst::saveArtifact(path, name);
      Written written = readBack(type, path);
      ASSERT_FALSE(written.pixels.isNull());
      if (type != io::TypePDF) EXPECT_EQ(written.fileHasAlpha, alpha);
      const QColor clear = written.pixels.pixelColor(doctest::kClearX, doctest::kClearY);
      if (alpha) {
        // JPEG 2000 at quality 0.85 is lossy in alpha too.
        EXPECT_LE(clear.alpha(), type == io::TypeJPEG2000 ? 3 : 0);
      } else {
        EXPECT_EQ(clear.alpha(), 255);
        // JPEG's rounding may move white by a unit or two.
        EXPECT_GE(std::min({clear.red(), clear.green(), clear.blue()}), 250)
            << clear.name().toStdString();
      }
    }
  }
}

// Without alpha, what the layers leave translucent on the white ground (the
// half-clear blue square copied over it, replacing the white) is the
// flattened colour laid on black; and the file written is byte for byte the
// export encoded in memory, which the panel's size estimate measures.
TEST(ExportAlpha, DroppedAlphaLaysTranslucentPixelsOnBlackAndTheFileMatchesTheEstimate) {
  IMDocument document;
  ASSERT_TRUE(document.initWithType(IMNativeDocumentType, nullptr));
  doctest::fillWithThreeLayers(document.composedImage(), document.managedObjectContext());
  constexpr int kCopy = 1;
  document.composedImage()->layersArray()[1]->setCompositingOperation(kCopy);
  for (const QString& type : {io::TypePNG, io::TypeTIFF, io::TypeJPEG}) {
    SCOPED_TRACE(type.toStdString());
    const QString name = "export-opaque-copied-translucency." +
                         io::TypeIdentifiers::preferredFilenameExtension(type);
    const QString path = tst::tempPath(name);
    fnd::Error error;
    ASSERT_TRUE(document.savetoBitmapFileType(type, QUrl::fromLocalFile(path), false, &error))
        << error.localizedDescription().toStdString();
    tst::saveArtifact(path, name);
    QByteArray encoded;
    ASSERT_TRUE(document.exportSnapshot(type, false)->encode(&encoded));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), encoded);

    bool fileHasAlpha = true;
    const QImage pixels = doctest::decodedByPIL(path, &fileHasAlpha);
    ASSERT_FALSE(pixels.isNull());
    EXPECT_FALSE(fileHasAlpha);
    // Blue at alpha 128 holds 128 premultiplied; JPEG may move it a little.
    const int tolerance = type == io::TypeJPEG ? 6 : 1;
    const QColor copied = pixels.pixelColor(10, 47 - 28);
    EXPECT_LE(std::max(copied.red(), copied.green()), tolerance) << copied.name().toStdString();
    EXPECT_NEAR(copied.blue(), 128, tolerance);
    EXPECT_EQ(copied.alpha(), 255);
  }
}
