#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "TestSupport.h"
#include "appkit/Application.h"
#include "appkit/DocumentController.h"
#include "appkit/ScriptedModalServices.h"
#include "appkit/Window.h"
#include "documents/IMDocument.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "graphics/AttributedString.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/ImagesCacheFolder.h"
#include "model/Layer.h"
#include "model/Settings.h"
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

// The program started for one test with the responder as delegate, the
// steps it takes at start (crash reports stay off in tests), and ended with
// the test: its documents close and its document controller, which the
// program keeps to the end, goes, so a later start in this process makes
// the shared one again.
class ProgramRun {
 public:
  ProgramRun(ui::Application* app, IMAppResponder& responder) : app_(app), responder_(responder) {
    app->setDelegate(&responder);
    responder.awakeFromNib();
    IMWindowController::installAsDocumentWindow();
    app->finishLaunching();
    ui::CrashReporter::sharedCrashReporter().stopManager();
  }
  ~ProgramRun() {
    if (ui::DocumentController* controller = responder_.documentController()) {
      for (ui::Document* document : controller->documents()) document->close();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      delete controller;
    }
    app_->setDelegate(nullptr);
  }
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

 private:
  ui::Application* app_;
  IMAppResponder& responder_;
};

}  // namespace

// Started as the program starts, a document opened from a file shows in a
// window that carries the main menu; the help comes up over it.
TEST(IMAppResponderWindowTest, AnOpenedDocumentsWindowCarriesTheMainMenu) {
  auto defaults = fnd::UserDefaults::withFile(tst::tempPath("window.plist"));
  const QString path = writeDocument();
  ui::Application* app = ui::Application::sharedApplication();
  IMAppResponder responder(defaults.get());
  ProgramRun run(app, responder);

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
  EXPECT_EQ(menus, QStringList({"&File", "&Edit", "&View", "&Layer", "&Help"}));
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
}

// The preferences window's button starts the font panel on the default
// font; the choice becomes the default of new text layers and shows in the
// window. The check box writes the opening choice for other image formats.
TEST(IMAppResponderWindowTest, PreferencesChooseTheDefaultFontAndTheOpeningOfOtherFormats) {
  auto defaults = fnd::UserDefaults::withFile(tst::tempPath("preferences.plist"));
  IMAppResponder responder(defaults.get());
  ui::ScriptedModalServices services;
  responder.showPreferences();
  IMPreferencesWindow* window = responder.preferenceWindow();
  ASSERT_TRUE(window->isVisible());
  EXPECT_TRUE(window->openImagesInZovaBox()->isChecked()) << "on unless turned off";

  QPushButton* select = window->findChild<QPushButton*>();
  ASSERT_TRUE(select);
  select->click();
  ASSERT_EQ(services.shown().size(), 1);
  EXPECT_TRUE(services.shown()[0].floating);
  EXPECT_EQ(services.shown()[0].font.family(), Settings::defaultFont().toQFont().family());
  ASSERT_TRUE(services.chooseFont(QFont("DejaVu Serif", 24)));
  EXPECT_EQ(Settings::defaultFont().familyName(), "DejaVu Serif");
  EXPECT_EQ(Settings::defaultFont().pointSize(), 24);
  EXPECT_EQ(window->fontPreview()->text(), "DejaVu Serif 24");
  EXPECT_EQ(window->fontPreview()->font().family(), "DejaVu Serif");

  // The panel's other attributes become the default attributes of new text,
  // converted from what the preview shows, and show in the preview.
  QFont underlined("DejaVu Serif", 24);
  underlined.setUnderline(true);
  ASSERT_TRUE(services.chooseFont(underlined));
  EXPECT_EQ(Settings::defaultFontAttributes().value(gfx::UnderlineStyleAttributeName).toInt(), 1);
  EXPECT_TRUE(window->fontPreview()->font().underline());
  responder.changeAttributes([](QVariantMap attributes) {
    attributes.insert(gfx::ForegroundColorAttributeName, QColor(Qt::blue));
    return attributes;
  });
  const QVariantMap stored = Settings::defaultFontAttributes();
  EXPECT_EQ(stored.value(gfx::ForegroundColorAttributeName).value<QColor>(), QColor(Qt::blue));
  EXPECT_EQ(stored.value(gfx::UnderlineStyleAttributeName).toInt(), 1) << "kept from before";
  EXPECT_EQ(window->fontPreview()->palette().color(QPalette::WindowText), QColor(Qt::blue));
  EXPECT_EQ(window->defaultFontAttributes(), stored);

  window->openImagesInZovaBox()->click();
  EXPECT_TRUE(defaults->hasKey("IMOpenImagesInZova"));
  EXPECT_FALSE(defaults->boolForKey("IMOpenImagesInZova"));
  tst::spinOnce();
  saveGrab(window, "window-program-preferences.png");
}

// Quitting goes through the document controller's review first: an edited
// document the user keeps by cancelling stops the quit, cache and all;
// "Don't Save" lets it end, and the document's window closes once, its
// controller letting go of everything it observed.
TEST(IMAppResponderWindowTest, QuittingAsksAboutEditedDocumentsFirst) {
  auto defaults = fnd::UserDefaults::withFile(tst::tempPath("quitting.plist"));
  ui::Application* app = ui::Application::sharedApplication();
  IMAppResponder responder(defaults.get());
  ProgramRun run(app, responder);
  ui::ScriptedModalServices services;

  fnd::NotificationCenter& center = fnd::NotificationCenter::defaultCenter();
  const int registeredBefore = center.observerCount();
  ui::Document* document =
      responder.documentController()->openUntitledDocumentAndDisplay(true, nullptr);
  ASSERT_TRUE(document);
  QPointer<ui::Document> opened = document;
  QPointer<IMWindowController> windowController =
      dynamic_cast<IMWindowController*>(document->windowControllers().value(0));
  ASSERT_TRUE(windowController);
  int closings = 0;
  const auto closingToken =
      center.addObserverForName(ui::WindowWillCloseNotification, windowController->window(),
                                nullptr, [&](const fnd::Notification&) { ++closings; });
  document->updateChangeCount(ui::ChangeDone);
  const QString cache = ImagesCacheFolder::shared().path();

  services.answerAlertWithButton("Cancel");
  app->sendAction("terminate:");
  // The review asks once the loop runs, after however many passes a slow
  // (sanitized) build needs.
  ASSERT_TRUE(tst::spinUntil([&] { return !services.shown().empty(); }));
  ASSERT_EQ(services.shown().size(), 1);
  EXPECT_TRUE(services.shown()[0].alert.messageText.startsWith("Do you want to save the changes"));
  EXPECT_FALSE(app->isTerminating());
  EXPECT_TRUE(QFileInfo::exists(cache));
  EXPECT_FALSE(defaults->hasKey("IMGaveARating")) << "the delegate was not told";
  EXPECT_EQ(windowController->observerCount(), 9);
  EXPECT_EQ(closings, 0);

  services.answerAlertWithButton("Don't Save");
  app->sendAction("terminate:");
  EXPECT_TRUE(tst::spinUntil([&] { return !QFileInfo::exists(cache); }));
  EXPECT_EQ(services.shown().size(), 2);
  EXPECT_TRUE(defaults->hasKey("IMGaveARating"));
  EXPECT_TRUE(tst::spinUntil([&] {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return !windowController && !opened;
  }));
  for (int i = 0; i < 3; ++i) tst::spinOnce();
  EXPECT_EQ(closings, 1) << "the window closes once";
  center.removeObserver(closingToken);
  EXPECT_EQ(center.observerCount(), registeredBefore) << "an observer outlived its window";
  EXPECT_EQ(services.shown().size(), 2) << "closing the windows did not start another quit";
}

// Opening a file from the untouched first window replaces that window: the
// program must not take the moment between the two for its last window
// closing.
TEST(IMAppResponderWindowTest, AFileReplacingTheUntouchedFirstWindowDoesNotQuit) {
  auto defaults = fnd::UserDefaults::withFile(tst::tempPath("replacing.plist"));
  const QString path = writeDocument();
  ui::Application* app = ui::Application::sharedApplication();
  IMAppResponder responder(defaults.get());
  ProgramRun run(app, responder);
  ui::DocumentController* controller = responder.documentController();
  ui::Document* untitled = controller->openUntitledDocumentAndDisplay(true, nullptr);
  ASSERT_TRUE(untitled);
  tst::spinOnce();

  controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true,
                                            [](ui::Document*, bool, const fnd::Error*) {});
  ASSERT_TRUE(tst::spinUntil([&] { return controller->documents().size() == 1; }));
  EXPECT_NE(controller->documents()[0], untitled);
  for (int i = 0; i < 5; ++i) tst::spinOnce();
  EXPECT_FALSE(defaults->hasKey("IMGaveARating")) << "the program terminated";
  ASSERT_TRUE(app->keyWindow());
  EXPECT_TRUE(app->keyWindow()->isVisible());
}
