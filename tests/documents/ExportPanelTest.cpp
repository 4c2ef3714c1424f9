// The export panel's observable settings and the file-size estimate, with
// no widget: observers stand in for the panel's controls.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <thread>

#include "DocumentsTestSupport.h"
#include "TestSupport.h"
#include "appkit/ModalServices.h"
#include "appkit/ScriptedModalServices.h"
#include "documents/FileSizeEstimator.h"
#include "documents/FileSizeText.h"
#include "documents/IMDocument.h"
#include "foundation/UserDefaults.h"
#include "graphics/AttributedString.h"
#include "graphics/GraphicsContext.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/ImagesCacheFolder.h"
#include "model/Layer.h"
#include "model/TextLayer.h"

namespace {

// A new document with the three test layers, as the panel's document.
std::unique_ptr<IMDocument> threeLayerDocument() {
  auto document = std::make_unique<IMDocument>();
  EXPECT_TRUE(document->initWithType(IMNativeDocumentType, nullptr));
  doctest::fillWithThreeLayers(document->composedImage(), document->managedObjectContext());
  return document;
}

// Counts the change notifications of `key`.
struct Announcements {
  Announcements(IMDocument& document, const QString& key) {
    document.addObserver(
        key, fnd::ObservingNew,
        [this](fnd::Observable*, const QString&, const fnd::KeyValueChange&) { ++count; });
  }
  int count = 0;
};

bool estimateDone(IMDocument& document) {
  return tst::spinUntil([&] { return !document.isCalculatingFileSize(); }, 20000);
}

}  // namespace

TEST(ExportPanel, TypeTableAndValuesFollowingTheType) {
  auto document = threeLayerDocument();
  QStringList order;
  for (const QVariant& entry : document->saveTypes()) {
    order << entry.toMap().value("uti").toString();
    EXPECT_FALSE(entry.toMap().value("localized").toString().isEmpty());
  }
  EXPECT_EQ(order, (QStringList{io::TypePDF, io::TypeTIFF, io::TypeBMP, io::TypeGIF, io::TypeJPEG,
                                io::TypePNG, io::TypeTGA, io::TypeJPEG2000, io::TypeOpenEXR}));
  EXPECT_EQ(IMDocument::imageIOLocalizedString(IMNativeDocumentType), "ZOVA (Tessaly)");
  EXPECT_EQ(IMDocument::imageIOLocalizedString("org.example.unknown"), "org.example.unknown");
  struct Case {
    QString type;
    int tab;
    bool noAlpha;
  };
  const Case cases[] = {{io::TypeTIFF, 2, false}, {io::TypeJPEG2000, 1, false},
                        {io::TypeJPEG, 1, true},  {io::TypeGIF, 0, false},
                        {io::TypeBMP, 0, true},   {io::TypePNG, 0, false}};
  for (const Case& c : cases) {
    document->setSaveType(c.type);
    EXPECT_EQ(document->saveTab(), c.tab) << c.type.toStdString();
    EXPECT_EQ(document->selectedTypeDoesNotSupportAlpha(), c.noAlpha) << c.type.toStdString();
    EXPECT_EQ(fnd::UserDefaults::standardUserDefaults().stringForKey("saveType"), c.type);
  }
  // A compression the panel does not offer reads as none.
  document->savedMetaAndOptions()[io::PropertyTIFFDictionary] =
      QVariantMap{{io::PropertyTIFFCompression, 7}};
  EXPECT_EQ(document->saveCompression(), 1);
  document->setSaveCompression(32773);
  EXPECT_EQ(document->saveCompression(), 32773);
}

TEST(ExportPanel, DependentKeysAnnounceTheirChanges) {
  auto document = threeLayerDocument();
  Announcements trigger(*document, "fileSizeTriger");
  Announcements tab(*document, "saveTab");
  Announcements noAlpha(*document, "selectedTypeDoesNotSupportAlpha");
  document->setSaveType(io::TypeJPEG);
  EXPECT_EQ(tab.count, 1);
  EXPECT_EQ(noAlpha.count, 1);
  document->setSaveType(io::TypeJPEG);  // the same type again changes nothing
  document->setSaveQuality(0.5);
  document->setSaveCompression(5);
  document->setSavedFileKeepsAlpha(false);
  document->setSavedFileKeepsAlpha(true);
  EXPECT_EQ(trigger.count, 5);
  EXPECT_EQ(tab.count, 1);
  estimateDone(*document);
}

TEST(ExportPanel, PanelProposesTheLastTypeAndSaveAsStaysNative) {
  fnd::UserDefaults::standardUserDefaults().removeObjectForKey("saveType");
  fnd::UserDefaults::standardUserDefaults().removeObjectForKey("savedFileKeepsAlpha");
  auto first = threeLayerDocument();
  EXPECT_TRUE(first->savedFileKeepsAlpha());
  EXPECT_TRUE(fnd::UserDefaults::standardUserDefaults().hasKey("savedFileKeepsAlpha"));
  ui::ScriptedModalServices dialogs;
  dialogs.setSheetsCompleteLater(false);
  // Exporting, then cancelling the panel.
  auto exportAndCancel = [&](IMDocument& document) {
    dialogs.cancel(ui::ScriptedModalServices::Dialog::SavePanel);
    document.runModalSavePanelForSaveOperation(ui::SaveToOperation, [](bool) {});
    EXPECT_TRUE(tst::spinUntil([&] { return dialogs.pendingAnswers() == 0; }));
    return dialogs.shown().last().save;
  };
  ui::SavePanelRequest panel = exportAndCancel(*first);
  EXPECT_EQ(panel.allowedFileTypes, QStringList{io::TypePNG});
  EXPECT_EQ(panel.accessoryView, first->savePanelView());
  EXPECT_EQ(first->fileTypeFromLastRunSavePanel(), io::TypePNG);
  first->setSaveType(io::TypeJPEG);
  EXPECT_EQ(first->fileTypeFromLastRunSavePanel(), io::TypeJPEG);
  auto second = threeLayerDocument();
  EXPECT_EQ(exportAndCancel(*second).allowedFileTypes, QStringList{io::TypeJPEG});
  // Save As keeps the native format whatever was exported before.
  dialogs.cancel(ui::ScriptedModalServices::Dialog::SavePanel);
  second->runModalSavePanelForSaveOperation(ui::SaveAsOperation, [](bool) {});
  EXPECT_TRUE(tst::spinUntil([&] { return dialogs.pendingAnswers() == 0; }));
  EXPECT_EQ(second->fileTypeFromLastRunSavePanel(), IMNativeDocumentType);
  estimateDone(*first);
  estimateDone(*second);
}

TEST(ExportPanel, SizeTexts) {
  struct Case {
    qint64 bytes;
    QString fileStyle;
    QString legacy;
  };
  const Case cases[] = {{0, "Zero KB", "0.0 K"},
                        {1, "1 byte", "0.0 K"},
                        {999, "999 bytes", "1.0 K"},
                        {1000, "1 KB", "1.0 K"},
                        {1500, "2 KB", "1.5 K"},
                        {999499, "999 KB", "976.1 K"},
                        {999500, "1 MB", "976.1 K"},
                        {1048576, "1 MB", "1024.0 K"},
                        {1048577, "1 MB", "1.0 M"},
                        {1500000, "1.5 MB", "1.4 M"},
                        {2350000000, "2.35 GB", "2241.1 M"}};
  for (const Case& c : cases) {
    EXPECT_EQ(FileSizeText::fileStyle(c.bytes), c.fileStyle) << c.bytes;
    EXPECT_EQ(FileSizeText::legacy(c.bytes), c.legacy) << c.bytes;
  }
}

TEST(ExportPanel, EstimateEqualsTheFileThenWrittenToTheByte) {
  auto document = threeLayerDocument();
  Announcements bound(*document, "fileSizeTriger");  // reads it, as the size field does
  struct Case {
    QString type;
    int compression;
  };
  const Case cases[] = {{io::TypePNG, 1}, {io::TypeJPEG, 1}, {io::TypeTIFF, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type.toStdString());
    document->setSaveCompression(c.compression);
    document->setSaveQuality(0.85);
    document->setSaveType(c.type);
    ASSERT_TRUE(estimateDone(*document));
    const QString path =
        tst::tempPath("estimate." + io::TypeIdentifiers::preferredFilenameExtension(c.type));
    ASSERT_TRUE(document->savetoBitmapFileType(c.type, QUrl::fromLocalFile(path),
                                               document->savedFileKeepsAlpha()));
    EXPECT_EQ(document->estimatedFileSize(), QFileInfo(path).size());
    EXPECT_EQ(document->saveFileSize(), FileSizeText::fileStyle(QFileInfo(path).size()));
  }
}

// The panel's compression and quality are what the written file holds, as
// tiffinfo and PIL read it; the estimate's file is gone once it is measured.
TEST(ExportPanel, CompressionAndQualityReachTheFileAndTheEstimateLeavesNoFile) {
  if (!tst::haveTool("tiffinfo")) GTEST_SKIP() << "tiffinfo is not installed";
  auto document = threeLayerDocument();
  Announcements bound(*document, "fileSizeTriger");
  document->setSaveType(io::TypeTIFF);
  const struct {
    int compression;
    const char* scheme;
  } schemes[] = {{1, "None"}, {5, "LZW"}, {32773, "PackBits"}};
  for (const auto& c : schemes) {
    document->setSaveCompression(c.compression);
    ASSERT_TRUE(estimateDone(*document));
    const QString path = tst::tempPath(QStringLiteral("compression-%1.tiff").arg(c.compression));
    ASSERT_TRUE(document->savetoBitmapFileType(io::TypeTIFF, QUrl::fromLocalFile(path), true));
    QString info;
    ASSERT_EQ(tst::runTool("tiffinfo", {path}, &info), 0) << info.toStdString();
    EXPECT_TRUE(info.contains(
        QRegularExpression(QStringLiteral("Compression Scheme: %1\\b").arg(c.scheme))))
        << c.compression << "\n"
        << info.toStdString();
  }

  // A higher quality gives finer quantization tables and a larger file.
  document->setSaveType(io::TypeJPEG);
  const QString script =
      "import sys\nfrom PIL import Image\n"
      "print(sum(Image.open(sys.argv[1]).quantization[0]))\n";
  int coarseness = INT_MAX;
  qint64 size = 0;
  for (double quality : {0.3, 0.85, 1.0}) {
    SCOPED_TRACE(quality);
    document->setSaveQuality(quality);
    ASSERT_TRUE(estimateDone(*document));
    const QString path = tst::tempPath(QStringLiteral("quality-%1.jpg").arg(quality));
    ASSERT_TRUE(document->savetoBitmapFileType(io::TypeJPEG, QUrl::fromLocalFile(path), false));
    QString output;
    ASSERT_EQ(tst::runTool(doctest::pythonWithPIL(), {"-c", script, path}, &output), 0)
        << output.toStdString();
    const int tableSum = output.trimmed().split('\n').last().toInt();
    EXPECT_LT(tableSum, coarseness);
    EXPECT_GT(QFileInfo(path).size(), size);
    EXPECT_EQ(document->estimatedFileSize(), QFileInfo(path).size());
    coarseness = tableSum;
    size = QFileInfo(path).size();
  }
  EXPECT_EQ(QDir(ImagesCacheFolder::shared().path())
                .entryList({"saveFileSize*"}, QDir::Files | QDir::Hidden | QDir::System),
            QStringList());
}

TEST(ExportPanel, RapidChangesGiveOneEstimateAndTheNativeTypeNone) {
  auto document = threeLayerDocument();
  document->setSaveType(io::TypeTIFF);
  ASSERT_TRUE(estimateDone(*document));
  Announcements bound(*document, "fileSizeTriger");
  QStringList shown;
  document->addObserver("saveFileSize", fnd::ObservingNew,
                        [&](fnd::Observable*, const QString&, const fnd::KeyValueChange& change) {
                          if (!change.newValue.toString().isEmpty())
                            shown << change.newValue.toString();
                        });
  document->setSaveCompression(5);
  document->setSaveCompression(32773);
  document->setSaveCompression(1);
  ASSERT_TRUE(estimateDone(*document));
  tst::spinUntil([] { return false; }, 300);  // a late result would land now
  ASSERT_EQ(shown.size(), 1);
  ExportSnapshot::Ptr newest = document->exportSnapshot(io::TypeTIFF, true);
  EXPECT_EQ(document->estimatedFileSize(), FileSizeEstimator::measure(*newest));

  document->setSaveType(IMNativeDocumentType);
  EXPECT_FALSE(document->isCalculatingFileSize());
  EXPECT_EQ(document->saveFileSize(), "");
}

namespace {

// The three test layers with what makes flattening more than copying: a
// rotated layer blended by multiplication, and a text layer.
void addRotatedAndTextLayers(IMDocument& document) {
  ComposedImage* image = document.composedImage();
  image->layersArray()[1]->setRotationAngle(20);
  image->layersArray()[1]->setCompositingOperation(14);
  TextLayer* text =
      TextLayer::createLayerWithComposedImage(image, document.managedObjectContext(), true);
  text->setAttributedString(gfx::AttributedString("Ab", gfx::Font("DejaVu Sans", 18), Qt::black));
  text->setXOrigin(6);
  text->setYOrigin(10);
}

// Noise, which PNG cannot shrink: a layer of it makes the file larger.
gfx::ImagePtr noise(int width, int height) {
  QImage pixels(width, height, QImage::Format_ARGB32);
  quint32 state = 12345;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      pixels.setPixel(x, y, 0xff000000u | (state >> 8));
    }
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

}  // namespace

// Flattening and encoding an export made on the main thread give the same
// bytes on another thread, and the same as the export the document writes.
TEST(ExportPanel, AnExportEncodesTheSameOnAnyThread) {
  auto document = threeLayerDocument();
  addRotatedAndTextLayers(*document);
  for (const QString& type : {io::TypePNG, io::TypeTIFF, io::TypePDF}) {
    SCOPED_TRACE(type.toStdString());
    ExportSnapshot::Ptr snapshot = document->exportSnapshot(type, true);
    ASSERT_TRUE(snapshot);
    QByteArray here, there;
    ASSERT_TRUE(snapshot->encode(&here));
    bool encoded = false;
    std::thread worker([&] { encoded = snapshot->encode(&there); });
    worker.join();
    ASSERT_TRUE(encoded);
    if (type != io::TypePDF) {
      EXPECT_EQ(here, there);  // a PDF carries its time of writing
    }
    EXPECT_EQ(here.size() > 0, there.size() > 0);
    const QString path =
        tst::tempPath("any-thread." + io::TypeIdentifiers::preferredFilenameExtension(type));
    ASSERT_TRUE(document->savetoBitmapFileType(type, QUrl::fromLocalFile(path), true));
    if (type != io::TypePDF) {
      QFile written(path);
      ASSERT_TRUE(written.open(QIODevice::ReadOnly));
      EXPECT_EQ(written.readAll(), here);
    }
  }
}

// An estimate measures the document as it was when asked for, whatever
// the user changes meanwhile; and a panel opened again measures the
// document as it is then.
TEST(ExportPanel, EstimatesFollowTheDocumentNotTheMomentTheyEnd) {
  auto document = threeLayerDocument();
  ui::ScriptedModalServices dialogs;
  dialogs.setSheetsCompleteLater(false);
  document->setSaveType(io::TypePNG);
  auto exportAndCancel = [&] {
    dialogs.cancel(ui::ScriptedModalServices::Dialog::SavePanel);
    document->runModalSavePanelForSaveOperation(ui::SaveToOperation, [](bool) {});
    EXPECT_TRUE(tst::spinUntil([&] { return dialogs.pendingAnswers() == 0; }));
  };
  exportAndCancel();
  ASSERT_TRUE(estimateDone(*document));
  const qint64 small = document->estimatedFileSize();
  ASSERT_GT(small, 0);

  Layer* top = document->composedImage()->layersArray()[0];
  top->image()->setNsImage(noise(64, 48));
  top->setXOrigin(0);
  top->setYOrigin(0);
  top->setAlpha(1);
  exportAndCancel();
  ASSERT_TRUE(estimateDone(*document));
  const qint64 noisy = document->estimatedFileSize();
  EXPECT_EQ(noisy, FileSizeEstimator::measure(*document->exportSnapshot(io::TypePNG, true)));
  EXPECT_GT(noisy, small * 2);

  // Changed in place while the estimate runs: the estimate keeps what it
  // was asked for.
  ExportSnapshot::Ptr asked = document->exportSnapshot(io::TypePNG, true);
  document->setSaveQuality(0.5);  // restarts the estimate, as a slider does
  gfx::ImagePtr pixels = top->image()->nsImage();
  ASSERT_TRUE(pixels->lockFocus());
  gfx::GraphicsContext::current()->fillRect(QRectF(0, 0, 64, 48), Qt::white,
                                            gfx::CompositingOperation::Copy);
  pixels->unlockFocus();
  ASSERT_TRUE(estimateDone(*document));
  EXPECT_EQ(document->estimatedFileSize(), FileSizeEstimator::measure(*asked));
  EXPECT_EQ(document->estimatedFileSize(), noisy);
}
