// The export panel's view follows its document and writes back through it.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QSlider>
#include <QStackedWidget>

#include "DocumentsTestSupport.h"
#include "TestSupport.h"
#include "documents/IMDocument.h"
#include "documents/IMImageFormatsSettings.h"
#include "imageio/TypeIdentifiers.h"
#include "model/ComposedImage.h"

TEST(ImageFormatsSettings, ControlsFollowAndSetTheDocument) {
  IMDocument document;
  ASSERT_TRUE(document.initWithType(IMNativeDocumentType, nullptr));
  doctest::fillWithThreeLayers(document.composedImage(), document.managedObjectContext());
  document.setSavedFileKeepsAlpha(true);
  document.setSaveType(io::TypePNG);
  IMImageFormatsSettings view(&document);
  view.show();
  ASSERT_EQ(view.typePopUp()->count(), 9);
  EXPECT_EQ(view.typePopUp()->currentData().toString(), io::TypePNG);

  struct Case {
    QString type;
    int tab;
    bool alphaEnabled;
  };
  const Case cases[] = {{io::TypeJPEG, 1, false}, {io::TypeTIFF, 2, true}, {io::TypeGIF, 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type.toStdString());
    view.typePopUp()->setCurrentIndex(view.typePopUp()->findData(c.type));
    EXPECT_EQ(document.saveType(), c.type);
    EXPECT_EQ(view.tabs()->currentIndex(), c.tab);
    EXPECT_EQ(view.keepAlphaCheckBox()->isEnabled(), c.alphaEnabled);
  }
  view.typePopUp()->setCurrentIndex(view.typePopUp()->findData(io::TypeTIFF));
  view.compressionPopUp()->setCurrentIndex(view.compressionPopUp()->findData(5));
  EXPECT_EQ(document.saveCompression(), 5);
  view.keepAlphaCheckBox()->setChecked(false);
  EXPECT_FALSE(document.savedFileKeepsAlpha());
  document.setSaveQuality(0.3);
  EXPECT_EQ(view.qualitySlider()->value(), 30);
  // The size arrives from the estimate the view's reading started.
  ASSERT_TRUE(tst::spinUntil([&] { return !document.isCalculatingFileSize(); }, 20000));
  EXPECT_FALSE(view.sizeText()->text().isEmpty());
  EXPECT_EQ(view.sizeText()->text(), document.saveFileSize());
  EXPECT_FALSE(view.sizeProgress()->isVisible());
  view.keepAlphaCheckBox()->setChecked(true);
  ASSERT_TRUE(tst::spinUntil([&] { return !document.isCalculatingFileSize(); }, 20000));
  const QString tiff = tst::tempPath("export-panel-tiff.png");
  view.grab().save(tiff);
  tst::saveArtifact(tiff, "documents-export-panel-tiff.png");
  view.typePopUp()->setCurrentIndex(view.typePopUp()->findData(io::TypeJPEG));
  ASSERT_TRUE(tst::spinUntil([&] { return !document.isCalculatingFileSize(); }, 20000));
  const QString jpeg = tst::tempPath("export-panel-jpeg.png");
  view.grab().save(jpeg);
  tst::saveArtifact(jpeg, "documents-export-panel-jpeg.png");
}
