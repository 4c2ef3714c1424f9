// The document window opened as a user opens a file: a stored three-layer
// document through the document controller, its canvas, toolbar and layers
// panel with thumbnails, the title with the zoom, layer commands through
// the window, the window state given back when the file reopens, and the
// window following a revert.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QThread>
#include <atomic>
#include <thread>

#include "TestSupport.h"
#include "ThreeLayerDocument.h"
#include "appkit/Application.h"
#include "appkit/MenuItem.h"
#include "appkit/ModalServices.h"
#include "appkit/RestorableState.h"
#include "appkit/ScriptedModalServices.h"
#include "appkit/ToolbarItem.h"
#include "coredata/ManagedObjectContext.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "foundation/NotificationCenter.h"
#include "foundation/OperationQueue.h"
#include "graphics/CGImage.h"
#include "model/ComposedImage.h"
#include "model/IMAManagedObjectContext.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "window/IMAppResponder.h"
#include "window/IMLayerRowView.h"
#include "window/IMLayersArrayController.h"
#include "window/IMMainMenu.h"
#include "window/IMWindowController.h"

namespace {

using wintest::openThroughController;
using wintest::solid;
using wintest::storeThreeLayerDocument;

IMWindowController* windowOf(IMDocument* document) {
  return document ? dynamic_cast<IMWindowController*>(document->windowController()) : nullptr;
}

QStringList rowNames(IMWindowController* window) {
  QStringList names;
  for (int row = 0; row < window->layersTable()->numberOfRows(); ++row)
    if (auto* view = qobject_cast<IMLayerRowView*>(window->layersTable()->viewAtColumn(0, row)))
      names.append(view->name());
  return names;
}

bool thumbnailsShown(IMWindowController* window) {
  for (int row = 0; row < window->layersTable()->numberOfRows(); ++row) {
    auto* view = qobject_cast<IMLayerRowView*>(window->layersTable()->viewAtColumn(0, row));
    if (!view) return false;
    const QImage thumb = view->thumbnailImage();
    const QColor centre = thumb.pixelColor(thumb.width() / 2, thumb.height() / 2);
    if (centre == QColor(Qt::white) || centre == QColor(204, 204, 204)) return false;
  }
  return true;
}

// The canvas's pixel at a document point (y up), through the window grab.
QColor canvasPixel(IMWindowController* window, const QImage& grab, QPointF documentPoint) {
  IMView* canvas = window->mainViewCanvas();
  const QRectF view = canvas->transformRectFromDocumentToView(QRectF(documentPoint, QSizeF(1, 1)));
  const QPoint local(int(view.center().x()), int(canvas->height() - view.center().y()));
  const QPoint inWindow = canvas->mapTo(window->window(), local);
  return grab.pixelColor(inWindow * grab.devicePixelRatio());
}

// Runs the main queue up to here: what was dispatched to it before has run.
void drainMainQueue() {
  bool reached = false;
  fnd::dispatchToQueue(fnd::OperationQueue::mainQueue(), [&] { reached = true; });
  ASSERT_TRUE(tst::spinUntil([&] { return reached; }));
}

// Whether `object` is deleted once the deletions it has asked for are done.
template <class T>
bool deletedSoon(const QPointer<T>& object) {
  return tst::spinUntil([&] {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return object.isNull();
  });
}

// The threads on which a widget was shown or hidden.
class ShowingThreads : public QObject {
 public:
  explicit ShowingThreads(QWidget* widget) { widget->installEventFilter(this); }
  QList<QThread*> threads;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)
      threads.append(QThread::currentThread());
    return false;
  }
};

}  // namespace

TEST(IMWindowController, OpensAStoredDocumentAndEditsItsLayers) {
  IMWindowController::installAsDocumentWindow();
  IMDocumentController controller;
  const QString path = tst::tempPath("Three Layers.zova");
  ASSERT_TRUE(storeThreeLayerDocument(path));
  IMDocument* document = openThroughController(path);
  IMWindowController* window = windowOf(document);
  ASSERT_TRUE(window);
  ASSERT_TRUE(window->isWindowLoaded());
  window->window()->resize(900, 600);
  ASSERT_TRUE(tst::spinUntil([&] { return thumbnailsShown(window); }));
  tst::spinOnce();

  EXPECT_EQ(rowNames(window), QStringList({"Bar", "Sun", "Ground"}));
  EXPECT_EQ(window->observerCount(), 9);
  EXPECT_TRUE(window->layersBox()->isVisible());
  // The document can be posted, so the sharing item joins the four, at index 4.
  ASSERT_EQ(window->toolbar()->items().size(), 5);
  EXPECT_TRUE(IMAppResponder::hasUserNotifications());
  EXPECT_EQ(window->toolbar()->items()[4]->itemIdentifier(), "SharingToolbarItem");
  const int percent = int(std::round(window->zoom() * 100));
  EXPECT_EQ(window->window()->title(), QString("Three Layers.zova - %1%").arg(percent));
  EXPECT_TRUE(window->layersController()->isLoaded());

  QImage grab = window->window()->grab().toImage();
  tst::saveArtifactImage(grab, "window-three-layers.png");
  EXPECT_EQ(canvasPixel(window, grab, {10, 280}), QColor(40, 170, 70)) << "ground";
  EXPECT_EQ(canvasPixel(window, grab, {280, 210}), QColor(230, 40, 30)) << "sun";
  EXPECT_EQ(canvasPixel(window, grab, {200, 40}), QColor(30, 60, 220)) << "bar";

  // A new layer through the window, renamed in its row, moved to the bottom.
  IMLayersArrayController* layers = window->layersController();
  layers->setSelectionIndex(1);
  ASSERT_TRUE(ui::Application::sharedApplication()->sendAction("addNewLayer:", window));
  EXPECT_EQ(layers->objectsCount(), 4);
  EXPECT_EQ(layers->firstSelectedLayer()->name(), "untitled layer 1");
  layers->firstSelectedLayer()->image()->setNsImage(solid(100, 100, QColor(250, 220, 0)));
  layers->firstSelectedLayer()->setOrigin({20, 150});
  auto* row = qobject_cast<IMLayerRowView*>(window->layersTable()->viewAtColumn(0, 1));
  ASSERT_TRUE(row);
  row->nameField()->setText("Star");
  emit row->nameField()->editingFinished();
  layers->moveObjectsInArrangedObjectsFromIndexes(fnd::IndexSet::fromList({0}), 4);
  ASSERT_TRUE(tst::spinUntil([&] { return thumbnailsShown(window); }));
  tst::spinUntil([] { return false; }, 400);
  EXPECT_EQ(rowNames(window), QStringList({"Star", "Sun", "Ground", "Bar"}));
  EXPECT_TRUE(document->isDocumentEdited());

  grab = window->window()->grab().toImage();
  tst::saveArtifactImage(grab, "window-after-add-rename-reorder.png");
  EXPECT_EQ(canvasPixel(window, grab, {60, 200}), QColor(250, 220, 0)) << "the new layer";
  EXPECT_EQ(canvasPixel(window, grab, {200, 40}), QColor(40, 170, 70))
      << "the bar went under the ground";

  // The menu's layer and edit commands follow the selection and the undo stack.
  IMMainMenu::installIn(window->window(), &controller);
  ui::Application* app = ui::Application::sharedApplication();
  auto itemFor = [&](const QString& action) -> ui::MenuItem* {
    for (ui::MenuItem* item : ui::MenuItem::allItems())
      if (item->action() == action)
        for (QObject* up = item->parent(); up; up = up->parent())
          if (up == window->window()) return item;
    return nullptr;
  };
  for (const char* action : {"addNewLayer:", "deleteLayers:", "merge:", "undo:", "redo:"})
    ASSERT_TRUE(itemFor(action)) << action;
  layers->setSelectionIndexes({});
  app->updateWindows();
  EXPECT_FALSE(itemFor("merge:")->isEnabled());
  EXPECT_TRUE(itemFor("addNewLayer:")->isEnabled());
  layers->setSelectionIndexes(fnd::IndexSet::fromList({1, 2}));
  app->updateWindows();
  EXPECT_TRUE(itemFor("merge:")->isEnabled());
  itemFor("merge:")->trigger();
  EXPECT_EQ(rowNames(window), QStringList({"Star", "Sun + Ground", "Bar"}));
  app->updateWindows();
  ASSERT_TRUE(itemFor("undo:")->isEnabled());
  itemFor("undo:")->trigger();
  EXPECT_EQ(rowNames(window), QStringList({"Star", "Sun", "Ground", "Bar"}));

  // Closing by the program: the window's nine observers go at once, and
  // nothing else goes when the controller is deleted later.
  fnd::NotificationCenter& center = fnd::NotificationCenter::defaultCenter();
  const int registered = center.observerCount();
  QPointer<IMWindowController> closing = window;
  document->close();
  EXPECT_EQ(window->observerCount(), 0);
  EXPECT_EQ(center.observerCount(), registered - 9);
  EXPECT_FALSE(window->mainViewCanvas()->drawingDelegate());
  EXPECT_TRUE(deletedSoon(closing));
  EXPECT_TRUE(controller.documents().isEmpty());
}

TEST(IMWindowController, ReopeningGivesBackZoomPanelsAndSettings) {
  IMWindowController::installAsDocumentWindow();
  IMDocumentController controller;
  const QString path = tst::tempPath("Restored.zova");
  ASSERT_TRUE(storeThreeLayerDocument(path));
  {
    IMWindowController* window = windowOf(openThroughController(path));
    ASSERT_TRUE(window);
    tst::spinOnce();
    window->setZoom(0.5);
    ASSERT_TRUE(window->tryToPerform("hideLayers:", nullptr));
    window->settings()->setPencilSize(17);
    EXPECT_EQ(window->window()->title(), "Restored.zova - 50%");
    ASSERT_TRUE(ui::RestorableState::write(*window));
    window->myDocument()->close();
    tst::spinOnce();
  }
  IMWindowController* window = windowOf(openThroughController(path));
  ASSERT_TRUE(window);
  tst::spinUntil([] { return false; }, 100);
  EXPECT_TRUE(window->windowIsRestored());
  EXPECT_DOUBLE_EQ(window->zoom(), 0.5) << "the initial fit is skipped";
  EXPECT_FALSE(window->layersBox()->isVisible());
  EXPECT_EQ(window->settings()->pencilSize(), 17);
  EXPECT_EQ(window->window()->title(), "Restored.zova - 50%");
  EXPECT_EQ(window->settings()->delegate(), static_cast<SettingsDelegate*>(window));

  // Titles round the zoom to whole percents.
  for (auto [zoom, title] : {std::pair{1.234, "Restored - 123%"}, {0.0049, "Restored - 0%"}}) {
    window->settings()->setZoom(zoom);
    EXPECT_EQ(window->windowTitleForDocumentDisplayName("Restored"), title);
  }
  window->myDocument()->close();
  tst::spinOnce();
}

TEST(IMWindowController, ObserversGoOnceOnEveryCloseAndNameEditingShowsThePanel) {
  IMWindowController::installAsDocumentWindow();
  IMDocumentController controller;
  const QString path = tst::tempPath("Closing.zova");
  ASSERT_TRUE(storeThreeLayerDocument(path));
  IMDocument* document = openThroughController(path);
  IMWindowController* window = windowOf(document);
  ASSERT_TRUE(window);
  tst::spinOnce();

  ASSERT_TRUE(window->tryToPerform("hideLayers:", nullptr));
  EXPECT_FALSE(window->layersBox()->isVisible());
  window->layersController()->setSelectionIndex(1);
  window->layersController()->highlightCurrentSelectedLayerNameField();
  EXPECT_TRUE(window->settings()->layersUIVisible()) << "showing the panel is recorded";
  EXPECT_TRUE(window->layersBox()->isVisible());
  EXPECT_FALSE(window->layersController()->currentPopover()) << "a bitmap layer has no text";

  // A changed layer of this window moves its remembered area on; one of
  // another document is left alone, and one that went before the window
  // heard of it is not read.
  fnd::NotificationCenter& center = fnd::NotificationCenter::defaultCenter();
  {
    auto other = std::make_unique<IMDocument>();
    ASSERT_TRUE(other->initWithType(IMNativeDocumentType, nullptr));
    other->composedImage()->setSize({50, 50});
    Layer* foreign = other->composedImage()->layersArray().first();
    foreign->image()->setNsImage(solid(20, 20, Qt::red));
    foreign->setOrigin({7, 9});
    drainMainQueue();
    const QRectF remembered = foreign->previousClippingRect();
    ASSERT_NE(remembered, foreign->clippingRect());
    center.postNotificationName(IMSelectedLayerDidChange, foreign);
    drainMainQueue();
    EXPECT_EQ(foreign->previousClippingRect(), remembered) << "another document's layer";

    Layer* own = window->layersController()->arrangedLayers().first();
    own->setOrigin(own->origin() + QPointF(3, 4));
    center.postNotificationName(IMSelectedLayerDidChange, own);
    drainMainQueue();
    EXPECT_EQ(own->previousClippingRect(), own->clippingRect()) << "the window's own layer";

    Layer* gone = other->composedImage()->layersArray().first();
    center.postNotificationName(IMSelectedLayerDidChange, gone);
  }
  drainMainQueue();

  // A save turns the indicator on from the will-save to the did-save of
  // this window's context only.
  EXPECT_TRUE(tst::spinUntil([&] { return !window->isIndicatorAnimating(); }));
  cd::ManagedObjectContext* context = window->managedObjectContext();
  IMDocument stranger;
  ASSERT_TRUE(stranger.initWithType(IMNativeDocumentType, nullptr));
  center.postNotificationName(
      cd::ManagedObjectContextWillSaveNotification,
      static_cast<cd::ManagedObjectContext*>(stranger.customManagedObjectContext()));
  drainMainQueue();
  EXPECT_FALSE(window->isIndicatorAnimating()) << "another document's save";
  center.postNotificationName(cd::ManagedObjectContextWillSaveNotification, context);
  drainMainQueue();
  EXPECT_TRUE(window->isIndicatorAnimating());
  EXPECT_TRUE(window->loadSaveProgressIndicator()->isVisible());
  center.postNotificationName(cd::ManagedObjectContextDidSaveNotification, context);
  drainMainQueue();
  EXPECT_FALSE(window->isIndicatorAnimating());

  // A burst of image work turns the indicator on until the queue is empty.
  EXPECT_TRUE(tst::spinUntil([&] { return !window->isIndicatorAnimating(); }));
  std::atomic<bool> release{false};
  for (int i = 0; i < 3; ++i)
    document->operationQueue()->addOperationWithBlock([&] {
      while (!release) QThread::msleep(1);
    });
  EXPECT_TRUE(tst::spinUntil([&] { return window->isIndicatorAnimating(); }));
  EXPECT_TRUE(window->loadSaveProgressIndicator()->isVisible());
  release = true;
  EXPECT_TRUE(tst::spinUntil([&] { return !window->isIndicatorAnimating(); }));
  EXPECT_FALSE(window->loadSaveProgressIndicator()->isVisible());

  // A count published on another thread reaches the indicator only through
  // the main thread.
  ShowingThreads showing(window->loadSaveProgressIndicator());
  release = false;
  document->operationQueue()->addOperationWithBlock([&] {
    while (!release) QThread::msleep(1);
  });
  std::thread publisher([&] {
    document->operationQueue()->willChangeValueForKey("operationCount");
    document->operationQueue()->didChangeValueForKey("operationCount");
  });
  publisher.join();
  EXPECT_FALSE(window->isIndicatorAnimating()) << "acted on off the main thread";
  EXPECT_TRUE(tst::spinUntil([&] { return window->isIndicatorAnimating(); }));
  release = true;
  EXPECT_TRUE(tst::spinUntil([&] { return !window->isIndicatorAnimating(); }));
  ASSERT_FALSE(showing.threads.isEmpty());
  for (QThread* thread : showing.threads) EXPECT_EQ(thread, QCoreApplication::instance()->thread());

  // The user closing the window (the document is clean, so nothing is
  // asked): the nine observers go once and every back-reference with them.
  EXPECT_EQ(window->observerCount(), 9);
  const int registered = center.observerCount();
  QPointer<ui::Window> shown = window->window();
  QPointer<IMWindowController> closing = window;
  shown->close();
  EXPECT_EQ(window->observerCount(), 0);
  EXPECT_EQ(center.observerCount(), registered - 9);
  EXPECT_FALSE(window->mainViewCanvas()->drawingDelegate());
  EXPECT_FALSE(window->mainViewCanvas()->sizeDelegate());
  EXPECT_FALSE(window->toolbar()->delegate());
  EXPECT_FALSE(window->layersController()->windowController());
  EXPECT_NE(window->settings()->delegate(), static_cast<SettingsDelegate*>(window));
  EXPECT_TRUE(deletedSoon(closing));
  EXPECT_TRUE(tst::spinUntil([&] { return controller.documents().isEmpty(); }));
}

// What the window records and makes as it loads: the thumbnails' queue
// (the document's cancellable one while the window is open), the sizes the
// panels come back to, colour panels with opacity, the buttons' images and
// the area where drawing tools work.
TEST(IMWindowController, LoadingSetsUpThumbnailQueueSizesColourPanelAndImages) {
  IMWindowController::installAsDocumentWindow();
  IMDocumentController controller;
  const QString path = tst::tempPath("Loaded.zova");
  ASSERT_TRUE(storeThreeLayerDocument(path));
  ui::ModalServices::setColorPanelIgnoresAlpha(true);
  IMDocument* document = openThroughController(path);
  IMWindowController* window = windowOf(document);
  ASSERT_TRUE(window);
  tst::spinOnce();
  fnd::OperationQueue* previews = window->previewOperationQueue();
  ASSERT_TRUE(previews);
  EXPECT_EQ(window->managedObjectContext()->cancellableOperationQueue(), previews);
  EXPECT_TRUE(tst::spinUntil([&] { return thumbnailsShown(window); }))
      << "thumbnails arrive from the preview queue";
  EXPECT_FALSE(ui::ModalServices::colorPanelIgnoresAlpha());
  EXPECT_GT(window->defaultStatusBoxHeight(), 0);
  EXPECT_GT(window->defaultLayersBoxWidth(), 0);

  for (const gfx::ImagePtr& image :
       {window->imageFontPanel(), window->imageAddTemplate(), window->imageRemoveTemplate(),
        window->imageIChatTheaterTemplate()}) {
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSizeF(24, 24));
  }

  // The fitted canvas shows whole: the workable area is the canvas, grown
  // or shrunk by the inset.
  ASSERT_TRUE(window->documentFitIntoVisibleRect());
  EXPECT_EQ(window->workableRectWithInset(0), QRectF(0, 0, 400, 300));
  EXPECT_EQ(window->workableRectWithInset(-10), QRectF(10, 10, 380, 280));
  EXPECT_EQ(window->workableRectWithInset(5), QRectF(-5, -5, 410, 310));
  document->close();
  tst::spinOnce();
}

// Revert to Saved with the window open: the read gives the document new
// objects, and the window shows them (a failed read leaves it on the old
// ones), goes on editing and saving, and closes cleanly afterwards.
TEST(IMWindowController, RevertToSavedShowsTheSavedDocumentAndEditsGoOn) {
  IMWindowController::installAsDocumentWindow();
  IMDocumentController controller;
  ui::ScriptedModalServices dialogs;
  const QString path = tst::tempPath("Reverted.zova");
  ASSERT_TRUE(storeThreeLayerDocument(path));
  // What earlier windows left for deletion goes before the count is taken.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  tst::spinOnce();
  fnd::NotificationCenter& center = fnd::NotificationCenter::defaultCenter();
  const int registeredBefore = center.observerCount();
  QPointer<IMDocument> document = openThroughController(path);
  IMWindowController* window = windowOf(document);
  ASSERT_TRUE(window);
  window->window()->resize(900, 600);
  ASSERT_TRUE(tst::spinUntil([&] { return thumbnailsShown(window); }));

  IMLayersArrayController* layers = window->layersController();
  layers->setSelectionIndex(0);
  ASSERT_TRUE(ui::Application::sharedApplication()->sendAction("addNewLayer:", window));
  layers->firstSelectedLayer()->image()->setNsImage(solid(100, 100, QColor(250, 220, 0)));
  layers->firstSelectedLayer()->setOrigin({20, 150});
  ASSERT_EQ(layers->objectsCount(), 4);
  ASSERT_TRUE(document->isDocumentEdited());

  // A file that is no store: the read fails and the window keeps the edits.
  const QString garbage = tst::tempPath("Not a store.zova");
  {
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray(4096, 'x'));
  }
  fnd::Error error;
  EXPECT_FALSE(
      document->revertToContentsOfURL(QUrl::fromLocalFile(garbage), IMNativeDocumentType, &error));
  EXPECT_EQ(layers->objectsCount(), 4);
  EXPECT_EQ(layers->contentOwner(), document->composedImage());
  EXPECT_TRUE(document->isDocumentEdited());

  // File › Revert to Saved, answered "Revert".
  dialogs.answerAlertWithButton("Revert");
  document->revertDocumentToSaved(nullptr);
  ASSERT_EQ(dialogs.shown().size(), 1);
  EXPECT_FALSE(document->isDocumentEdited());
  EXPECT_EQ(layers->contentOwner(), document->composedImage());
  EXPECT_EQ(layers->objectsCount(), 3);
  EXPECT_EQ(window->settings()->delegate(), static_cast<SettingsDelegate*>(window));
  EXPECT_EQ(window->managedObjectContext()->cancellableOperationQueue(),
            window->previewOperationQueue());
  ASSERT_TRUE(tst::spinUntil([&] { return thumbnailsShown(window); }));
  tst::spinUntil([] { return false; }, 200);
  EXPECT_EQ(rowNames(window), QStringList({"Bar", "Sun", "Ground"}));
  const QImage grab = window->window()->grab().toImage();
  EXPECT_EQ(canvasPixel(window, grab, {60, 200}), QColor(40, 170, 70)) << "the edit is gone";
  EXPECT_EQ(canvasPixel(window, grab, {280, 210}), QColor(230, 40, 30)) << "sun";
  EXPECT_EQ(canvasPixel(window, grab, {200, 40}), QColor(30, 60, 220)) << "bar";
  const int percent = int(std::round(window->zoom() * 100));
  EXPECT_EQ(window->window()->title(), QString("Reverted.zova - %1%").arg(percent));

  // Editing the reverted document and saving it.
  layers->setSelectionIndex(0);
  ASSERT_TRUE(ui::Application::sharedApplication()->sendAction("addNewLayer:", window));
  layers->firstSelectedLayer()->setName("Moon");
  layers->firstSelectedLayer()->image()->setNsImage(solid(60, 60, QColor(200, 200, 255)));
  ASSERT_TRUE(tst::spinUntil([&] { return thumbnailsShown(window); }));
  EXPECT_EQ(rowNames(window), QStringList({"Moon", "Bar", "Sun", "Ground"}));
  bool saved = false;
  document->saveToURL(QUrl::fromLocalFile(path), IMNativeDocumentType, ui::SaveOperation,
                      [&](const fnd::Error* failure) {
                        EXPECT_FALSE(failure);
                        saved = true;
                      });
  ASSERT_TRUE(tst::spinUntil([&] { return saved; }));
  {
    IMDocument stored;
    ASSERT_TRUE(stored.readFromURL(QUrl::fromLocalFile(path), IMNativeDocumentType, nullptr));
    QStringList names;
    for (Layer* layer : stored.composedImage()->layersArray()) names.append(layer->name());
    EXPECT_EQ(names, QStringList({"Moon", "Bar", "Sun", "Ground"}));
  }

  // Closing: the nine observers go, and with the document everything it
  // and its window had registered.
  const int registered = center.observerCount();
  QPointer<IMWindowController> closing = window;
  document->close();
  EXPECT_EQ(center.observerCount(), registered - 9);
  EXPECT_TRUE(deletedSoon(closing));
  EXPECT_TRUE(deletedSoon(document));
  EXPECT_EQ(center.observerCount(), registeredBefore);
}
