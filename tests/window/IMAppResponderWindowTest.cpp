#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>

#include "TestSupport.h"
#include "appkit/Application.h"
#include "appkit/DocumentController.h"
#include "appkit/Window.h"
#include "documents/IMDocument.h"
#include "foundation/UserDefaults.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "window/IMAppResponder.h"
#include "window/IMHelpWindow.h"
#include "window/IMWindowController.h"

namespace {

void saveGrab(QWidget* widget, const QString& name) {
  const QString path = tst::tempPath(name);
  ASSERT_TRUE(widget->grab().save(path));
  tst::saveArtifact(path, name);
}

QString writeDocument() {
  const QString path = tst::tempPath("started.zova");
  IMDocument document;
  EXPECT_TRUE(document.initWithType(IMNativeDocumentType, nullptr));
  ComposedImage* image = document.composedImage();
  image->setSize(QSizeF(320, 240));
  while (image->layersArray().size() < 2)
    Layer::createLayerWithComposedImage(image, document.managedObjectContext(), true);
  image->layersArray()[0]->image()->setNsImage(
      ima_imageWithPixelSize(QSizeF(160, 120), [](const QRectF& rect) {
        gfx::GraphicsContext::current()->fillRect(rect, QColor(40, 90, 200),
                                                  gfx::CompositingOperation::Copy);
        return true;
      }));
  bool done = false;
  document.saveToURL(QUrl::fromLocalFile(path), IMNativeDocumentType, ui::SaveAsOperation,
                     [&](const fnd::Error* error) {
                       EXPECT_FALSE(error);
                       done = true;
                     });
  EXPECT_TRUE(tst::spinUntil([&] { return done; }));
  document.close();
  return path;
}

}  // namespace

// Started as the program starts, a document opened from a file shows in a
// window that carries the main menu; the help comes up over it.
TEST(IMAppResponderWindowTest, AnOpenedDocumentsWindowCarriesTheMainMenu) {
  auto defaults = fnd::UserDefaults::withFile(tst::tempPath("window.plist"));
  const QString path = writeDocument();
  ui::Application* app = ui::Application::sharedApplication();
  IMAppResponder responder(defaults.get());
  app->setDelegate(&responder);
  responder.awakeFromNib();
  IMWindowController::installAsDocumentWindow();
  app->finishLaunching();
  ui::CrashReporter::sharedCrashReporter().stopManager();

  ui::Document* opened = nullptr;
  responder.documentController()->openDocumentWithContentsOfURL(
      QUrl::fromLocalFile(path), true,
      [&](ui::Document* document, bool, const fnd::Error*) { opened = document; });
  ASSERT_TRUE(opened);
  ASSERT_TRUE(tst::spinUntil([&] { return app->keyWindow() != nullptr; }));
  ui::Window* window = app->keyWindow();
  EXPECT_EQ(responder.documentController()->documentForWindow(window), opened);
  QStringList menus;
  for (QAction* menu : window->menuBar()->actions()) menus << menu->text();
  EXPECT_EQ(menus, QStringList({"&File", "&Help"}));
  window->resize(900, 600);
  tst::spinOnce();
  saveGrab(window, "window-program-document-window.png");

  QMenu* file = window->menuBar()->actions()[0]->menu();
  file->popup(window->mapToGlobal(QPoint(0, 20)));
  tst::spinOnce();
  saveGrab(file, "window-program-file-menu.png");
  file->hide();

  responder.loadHelp();
  ASSERT_TRUE(responder.helpWindow()->isVisible());
  saveGrab(responder.helpWindow(), "window-program-help.png");
  app->setDelegate(nullptr);
}
