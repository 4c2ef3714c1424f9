#include "ThreeLayerDocument.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QUrl>

#include "TestSupport.h"
#include "appkit/DocumentController.h"
#include "documents/IMDocument.h"
#include "graphics/CGImage.h"
#include "model/ComposedImage.h"
#include "model/IMAManagedObjectContext.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace wintest {

gfx::ImagePtr solid(int width, int height, QColor color) {
  QImage pixels(width, height, QImage::Format_ARGB32_Premultiplied);
  pixels.fill(color);
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

bool storeThreeLayerDocument(const QString& path) {
  QFile::remove(path);
  IMDocument made;
  if (!made.initWithType(IMNativeDocumentType, nullptr)) return false;
  ComposedImage* image = made.composedImage();
  image->setSize({400, 300});
  while (image->layersArray().size() < 3)
    Layer::createLayerWithComposedImage(image, made.managedObjectContext(), true);
  struct Content {
    const char* name;
    QSize size;
    QPointF origin;
    QColor color;
  };
  const Content contents[] = {{"Bar", {300, 40}, {50, 20}, QColor(30, 60, 220)},
                              {"Sun", {120, 120}, {220, 150}, QColor(230, 40, 30)},
                              {"Ground", {400, 300}, {0, 0}, QColor(40, 170, 70)}};
  const QList<Layer*> layers = image->layersArray();
  for (int i = 0; i < 3; ++i) {
    layers[i]->setName(contents[i].name);
    layers[i]->setVisible(true);
    layers[i]->image()->setNsImage(
        solid(contents[i].size.width(), contents[i].size.height(), contents[i].color));
    layers[i]->setOrigin(contents[i].origin);
  }
  bool done = false, failed = false;
  made.saveToURL(QUrl::fromLocalFile(path), IMNativeDocumentType, ui::SaveOperation,
                 [&](const fnd::Error* error) {
                   failed = error != nullptr;
                   done = true;
                 });
  return tst::spinUntil([&] { return done; }) && !failed;
}

IMDocument* openThroughController(const QString& path) {
  IMDocument* opened = nullptr;
  bool done = false;
  ui::DocumentController::sharedDocumentController()->openDocumentWithContentsOfURL(
      QUrl::fromLocalFile(path), true, [&](ui::Document* document, bool, const fnd::Error*) {
        opened = qobject_cast<IMDocument*>(document);
        done = true;
      });
  EXPECT_TRUE(tst::spinUntil([&] { return done; }));
  return opened;
}

}  // namespace wintest
