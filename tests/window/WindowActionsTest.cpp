// The document window's commands as the user sees them: which are enabled
// in which state, the zoom about the pointer and its limits, the window
// fitted to wide, tall and tiny images, full screen and back, the panels,
// the waiting sheet, the picture taker and sharing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QWindow>
#include <cmath>
#include <utility>

#include "TestSupport.h"
#include "appkit/AnimationContext.h"
#include "appkit/LayoutConstraint.h"
#include "appkit/MenuItem.h"
#include "appkit/PictureTaker.h"
#include "appkit/ScriptedModalServices.h"
#include "appkit/SharingServicePicker.h"
#include "appkit/ToolbarItem.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "foundation/UserDefaults.h"
#include "graphics/CGImage.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "window/FirstFitWatch.h"
#include "window/IMLayersArrayController.h"
#include "window/IMView.h"
#include "window/IMWaitingWindow.h"
#include "window/IMWindowController.h"
#include "window/WindowZoomGeometry.h"

namespace {

gfx::ImagePtr solid(int w, int h, QColor color) {
  QImage pixels(w, h, QImage::Format_ARGB32_Premultiplied);
  pixels.fill(color);
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

// A new window over a canvas of `size` with `layers` coloured layers.
struct Window {
  explicit Window(QSize size = {400, 300}, int layers = 2) {
    IMWindowController::installAsDocumentWindow();
    fnd::Error error;
    document = qobject_cast<IMDocument*>(controller.openUntitledDocumentAndDisplay(true, &error));
    window = document ? dynamic_cast<IMWindowController*>(document->windowController()) : nullptr;
    if (!window) return;
    ComposedImage* image = document->composedImage();
    image->setSize(size);
    while (image->layersArray().size() < layers)
      Layer::createLayerWithComposedImage(image, document->managedObjectContext(), true);
    const QColor colours[] = {QColor(230, 40, 30), QColor(30, 60, 220), QColor(40, 170, 70)};
    for (int i = 0; i < layers; ++i) {
      Layer* layer = image->layersArray()[i];
      layer->setVisible(true);
      layer->image()->setNsImage(
          solid(size.width() / (i + 1), size.height() / (i + 1), colours[i % 3]));
    }
    window->layersController()->setSelectionIndex(0);
    tst::spinOnce();
  }
  ~Window() {
    if (document) {
      document->updateChangeCount(ui::ChangeCleared);
      document->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  bool enabled(const char* action) {
    ui::MenuItem item(action, action);
    return window->validateUserInterfaceItem(item);
  }
  int layerCount() const { return int(document->composedImage()->layersArray().size()); }
  void grab(const QString& name) {
    tst::spinOnce();
    tst::saveArtifactImage(window->window()->grab().toImage(), name);
  }

  IMDocumentController controller;
  IMDocument* document = nullptr;
  IMWindowController* window = nullptr;
};

}  // namespace

// Each row of the window's table in the states it reads.
TEST(WindowActions, ValidationFollowsLayersSelectionEditingAndFullScreen) {
  struct State {
    int layers;
    bool selected;
    bool edited;
    bool fullScreen;
  };
  struct Row {
    const char* action;
    std::function<bool(const State&)> rule;
  };
  const Row rows[] = {
      {"mergeLayers:", [](const State& s) { return s.layers > 1; }},
      {"selectedLayersUp:", [](const State& s) { return s.selected; }},
      {"selectedLayersDown:", [](const State& s) { return s.selected; }},
      {"selectedLayersLeft:", [](const State& s) { return s.selected; }},
      {"selectedLayersRight:", [](const State& s) { return s.selected; }},
      {"revertDocumentToSaved:", [](const State& s) { return s.edited; }},
      {"adjustWindowForMaximumVisibleRect:", [](const State& s) { return !s.fullScreen; }},
      {"hideLayers:", [](const State&) { return true; }},
      {"addImageWithImagePicker:", [](const State&) { return true; }},
  };
  for (const State& state : {State{1, true, false, false}, State{3, false, true, false},
                             State{3, true, true, true}, State{1, false, false, true}}) {
    Window w({400, 300}, state.layers);
    ASSERT_TRUE(w.window);
    if (!state.selected) w.window->layersController()->setSelectionIndexes({});
    w.document->updateChangeCount(state.edited ? ui::ChangeDone : ui::ChangeCleared);
    if (state.fullScreen) w.window->window()->toggleFullScreen();
    for (const Row& row : rows)
      EXPECT_EQ(w.enabled(row.action), row.rule(state))
          << row.action << " layers " << state.layers << " selected " << state.selected;
  }
  // The arrow commands move the selected layers by one point; merging joins them.
  Window w({400, 300}, 3);
  Layer* top = w.window->layersController()->selectedLayers().value(0);
  const QPointF before = top->origin();
  ASSERT_TRUE(w.window->tryToPerform("selectedLayersRight:", nullptr));
  ASSERT_TRUE(w.window->tryToPerform("selectedLayersUp:", nullptr));
  EXPECT_EQ(top->origin(), before + QPointF(1, 1));
  fnd::IndexSet all;
  for (int i = 0; i < 3; ++i) all.addIndex(i);
  w.window->layersController()->setSelectionIndexes(all);
  ASSERT_TRUE(w.window->tryToPerform("mergeLayers:", nullptr));
  EXPECT_EQ(w.layerCount(), 1);
}

// Zooms stay finite and within the slider; the title and the status strip
// show them; a zoom about the pointer keeps the point under it.
TEST(WindowActions, ZoomStaysInRangeAndKeepsThePointUnderThePointer) {
  Window w({2000, 1500});
  ASSERT_TRUE(w.window);
  w.window->window()->resize(700, 500);
  tst::spinOnce();
  for (auto [asked, kept] : {std::pair{1e9, 100.0}, {1e-9, 0.01}, {INFINITY, 1.0}, {-2.0, 1.0}}) {
    w.window->setZoom(asked == 1 ? 2 : 0.5);
    w.window->setZoom(asked);
    EXPECT_DOUBLE_EQ(w.window->zoom(), kept) << asked;
    const QString percent = QString::number(std::lround(kept * 100)) + "%";
    EXPECT_TRUE(w.window->window()->title().endsWith(" - " + percent)) << asked;
    EXPECT_EQ(w.window->zoomLabel()->text(), percent);
  }
  EXPECT_EQ(WindowZoomGeometry::titlePercent(1e300), 1000000000000000u) << "never overflows";

  IMView* canvas = w.window->mainViewCanvas();
  ui::ScrollView* scroll = w.window->graphicScrollView();
  for (double next : {2.0, 0.5, 3.3}) {
    w.window->setZoom(1);
    const QRectF shown = scroll->documentVisibleRect();
    const QPointF pointer = shown.topLeft() + QPointF(shown.width() * 0.3, shown.height() * 0.6);
    const QPointF inDocument = pointer / 1.0;
    w.window->setZoomKeepingViewPoint(next, pointer);
    const QRectF after = scroll->documentVisibleRect();
    const QPointF offset = pointer - shown.topLeft();
    EXPECT_NEAR(after.x() + offset.x(), inDocument.x() * next, 1.5) << next;
    EXPECT_NEAR(after.y() + offset.y(), inDocument.y() * next, 1.5) << next;
    EXPECT_EQ(canvas->zoomPoint(), QPointF());
  }
  // The slider sets the zoom on its base-10 scale.
  w.window->zoomSlider()->setValue(-100);
  EXPECT_NEAR(w.window->zoom(), 0.1, 1e-9);
}

// Fitting: the window grows to the image within the screen, then the zoom
// makes the whole image visible; a tiny image stays at one to one in a
// window shrunk to its minimum.
TEST(WindowActions, FitsWideTallAndTinyDocuments) {
  for (QSize size : {QSize(4000, 1000), QSize(600, 3000), QSize(20, 10)}) {
    Window w(size);
    ASSERT_TRUE(w.window);
    ui::Window* window = w.window->window();
    window->setMinimumSize(500, 400);
    window->move(10, 10);
    window->resize(700, 500);
    tst::spinOnce();
    const QPoint corner = window->geometry().topLeft();
    ASSERT_TRUE(w.window->tryToPerform("adjustZoomFordocumentToFitVisibleRect:", nullptr));
    EXPECT_TRUE(w.window->documentFitIntoVisibleRect()) << size.width();
    EXPECT_TRUE(window->screenVisibleFrame().contains(window->frameGeometry())) << size.width();
    EXPECT_EQ(window->geometry().topLeft(), corner) << "left and top edges stay";
    if (size.width() < 100) {
      EXPECT_DOUBLE_EQ(w.window->zoom(), 1);
      EXPECT_EQ(window->size(), window->minimumSize().expandedTo(window->minimumSizeHint()))
          << "no smaller than its minimum";
      EXPECT_LT(window->width(), 700) << "shrunk to the image";
    } else {
      EXPECT_LT(w.window->zoom(), 1);
      const QSizeF hidden = w.window->notVisibleComposedImageSize();
      // Up to the scroll bar that left when the whole image came into view.
      const int bar = QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
      EXPECT_GT(std::max(hidden.width(), hidden.height()), -bar - 2) << "the image fills one side";
    }
  }
}

// The window manager places and sizes a window only after it is shown, so
// after the first fit: the fit follows the frame it gives, until the user
// zooms (or resizes), after which the manager's changes leave the zoom.
TEST(WindowActions, FirstFitFollowsTheFrameTheWindowManagerGives) {
  // However slowly this machine paints, the manager still counts as placing.
  const int settle = std::exchange(FirstFitWatch::settleMilliseconds, 600000);
  Window w({4000, 3000});
  ASSERT_TRUE(w.window);
  ui::Window* window = w.window->window();
  QWindow* handle = window->windowHandle();
  ASSERT_TRUE(handle);
  const double first = w.window->zoom();
  ASSERT_LT(first, 1);
  // The manager's answer comes through the window system, as on X.
  const QRect screen = window->screenVisibleFrame();
  handle->setGeometry(screen.x() + 20, screen.y() + 40, screen.width() / 2, screen.height() / 2);
  ASSERT_TRUE(tst::spinUntil([&] { return w.window->zoom() != first; }));
  for (int i = 0; i < 3; ++i) tst::spinOnce();
  EXPECT_TRUE(w.window->documentFitIntoVisibleRect()) << w.window->zoom();
  EXPECT_TRUE(screen.contains(window->frameGeometry())) << "within the screen";

  w.window->setZoom(2);
  handle->setGeometry(screen.x() + 30, screen.y() + 50, screen.width() / 3, screen.height() / 3);
  ASSERT_TRUE(tst::spinUntil([&] { return window->width() == screen.width() / 3; }));
  for (int i = 0; i < 3; ++i) tst::spinOnce();
  EXPECT_EQ(w.window->zoom(), 2) << "the user's zoom stays";
  FirstFitWatch::settleMilliseconds = settle;
}

// Full screen takes the whole screen with its own look and gives the frame
// back when it ends; with both panels hidden the canvas has no border.
TEST(WindowActions, FullScreenOnAndOffRestoresTheFrame) {
  Window w;
  ASSERT_TRUE(w.window);
  ui::Window* window = w.window->window();
  window->setGeometry(40, 60, 720, 520);
  w.window->setZoom(2);
  tst::spinOnce();
  const QRect frame = window->geometry();
  // Scrolled to the far corner, which the full screen's larger area moves.
  QScrollBar* bars[] = {w.window->graphicScrollView()->horizontalScrollBar(),
                        w.window->graphicScrollView()->verticalScrollBar()};
  for (QScrollBar* bar : bars) {
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum());
  }
  const QPoint scrolled(bars[0]->value(), bars[1]->value());
  ASSERT_TRUE(window->tryToPerform("toggleFullScreen:", nullptr));
  ASSERT_TRUE(tst::spinUntil([&] { return window->isFullScreen(); }));
  EXPECT_TRUE(w.window->isInFullScreenMode());
  EXPECT_EQ(w.window->frameForNonFullScreenMode(), frame);
  EXPECT_EQ(window->geometry(), window->screen()->geometry());
  EXPECT_FALSE(w.window->statusBox()->isVisible()) << "no status bar in full screen";
  EXPECT_EQ(w.window->graphicScrollView()->frameShape(), QFrame::StyledPanel);
  ASSERT_TRUE(w.window->tryToPerform("hideLayers:", nullptr));
  ASSERT_TRUE(w.window->tryToPerform("hideFilters:", nullptr));
  EXPECT_EQ(w.window->graphicScrollView()->frameShape(), QFrame::NoFrame);
  w.grab("window-full-screen-panels-hidden.png");
  ASSERT_TRUE(w.window->tryToPerform("hideFilters:", nullptr));
  EXPECT_EQ(w.window->graphicScrollView()->frameShape(), QFrame::StyledPanel);
  w.grab("window-full-screen-filters-shown.png");
  ASSERT_TRUE(w.window->tryToPerform("hideLayers:", nullptr));

  ASSERT_TRUE(window->tryToPerform("toggleFullScreen:", nullptr));
  ASSERT_TRUE(
      tst::spinUntil([&] { return !window->isFullScreen() && window->geometry() == frame; }));
  EXPECT_FALSE(w.window->isInFullScreenMode());
  EXPECT_TRUE(w.window->statusBox()->isVisible());
  tst::spinOnce();
  EXPECT_EQ(w.window->zoom(), 2);
  EXPECT_EQ(QPoint(bars[0]->value(), bars[1]->value()), scrolled) << "the view comes back";
}

// The toggles move the panels and write the settings; a request for the
// state a panel is in changes nothing. Grabs at three zooms, both ways.
TEST(WindowActions, PanelsHideAndShowAndRecordTheirState) {
  Window w({800, 600});
  ASSERT_TRUE(w.window);
  w.window->window()->resize(1100, 700);
  tst::spinOnce();
  ui::LayoutConstraint* width = w.window->layersBoxWidthConstraint();
  ui::LayoutConstraint* space = w.window->mainScrollViewLeftHorizontalSpace();
  const double panel = w.window->defaultLayersBoxWidth();
  const double room = space->constant();
  const int canvasWidth = w.window->graphicScrollView()->width();
  ASSERT_GT(panel, 0);
  ASSERT_TRUE(w.window->tryToPerform("hideLayers:", nullptr));
  EXPECT_FALSE(w.window->settings()->layersUIVisible());
  EXPECT_FALSE(w.window->layersBox()->isVisible());
  EXPECT_EQ(width->constant(), 0);
  EXPECT_EQ(space->constant(), room - panel);
  tst::spinOnce();
  EXPECT_EQ(w.window->graphicScrollView()->width(), canvasWidth + int(panel)) << "canvas widens";
  w.window->hideLayersAnimated(false, true);
  EXPECT_EQ(space->constant(), room - panel) << "hiding a hidden panel changes nothing";
  w.window->hideLayersAnimated(false, false);
  w.window->hideLayersAnimated(false, false);
  EXPECT_EQ(space->constant(), room) << "showing twice adds the width once";
  EXPECT_FALSE(w.window->settings()->layersUIVisible()) << "only the toggles write";
  w.window->updateLayersAndFiltersUI();
  EXPECT_EQ(width->constant(), 0);

  // The buttons: the segment clicked says which panel.
  ui::SegmentedControl* buttons = w.window->uiVisibilitySegmentedControl();
  EXPECT_FALSE(buttons->isSelectedForSegment(0));
  buttons->performClick(1);
  EXPECT_FALSE(w.window->settings()->filtersUIVisible());
  EXPECT_FALSE(w.window->filtersBox()->isVisible());
  EXPECT_TRUE(w.window->settings()->layersUIVisible() == false);
  for (double zoom : {0.25, 1.0, 8.0}) {
    w.window->setZoom(zoom);
    w.grab(QString("window-panels-hidden-zoom-%1.png").arg(zoom));
  }
  buttons->performClick(0);
  buttons->performClick(1);
  EXPECT_TRUE(w.window->settings()->layersUIVisible());
  EXPECT_TRUE(w.window->settings()->filtersUIVisible());
  for (double zoom : {0.25, 1.0, 8.0}) {
    w.window->setZoom(zoom);
    w.grab(QString("window-panels-shown-zoom-%1.png").arg(zoom));
  }

  // The version browser hides both and gives back what the settings say.
  w.window->windowWillEnterVersionBrowser();
  EXPECT_FALSE(w.window->layersBox()->isVisible());
  EXPECT_FALSE(w.window->toolbar()->isVisible());
  w.window->windowDidExitVersionBrowser();
  EXPECT_TRUE(w.window->layersBox()->isVisible());
  EXPECT_TRUE(w.window->filtersBox()->isVisible());
  EXPECT_TRUE(w.window->toolbar()->isVisible());
}

// A sheet whose operation ended before its delay never shows; a shown one
// keeps its first message and is always dismissed.
TEST(WindowActions, WaitingSheetRaceAndDismissal) {
  Window w;
  ASSERT_TRUE(w.window);
  w.window->launchProgressBarIndicatorWindowWithMessageAfterDelay("Uploading", 30);
  w.window->hideProgressBarIndicatorWindow();
  tst::spinUntil([] { return false; }, 120);
  EXPECT_FALSE(w.window->waitingWindow() && w.window->waitingWindow()->isVisible());

  w.window->hideProgressBarIndicatorWindow();
  w.window->launchProgressBarIndicatorWindowWithMessageAfterDelay("Uploading", 10);
  ASSERT_TRUE(tst::spinUntil(
      [&] { return w.window->waitingWindow() && w.window->waitingWindow()->isVisible(); }));
  w.window->launchProgressBarIndicatorWindowWithMessage("Second");
  IMWaitingWindow* sheet = w.window->waitingWindow();
  EXPECT_EQ(sheet->waitingWindowText()->text(), "Uploading");
  EXPECT_TRUE(sheet->isIndicatorAnimating());
  EXPECT_TRUE(sheet->isModal());
  w.grab("window-waiting-sheet.png");
  tst::saveArtifactImage(sheet->grab().toImage(), "waiting-sheet.png");
  w.window->hideProgressBarIndicatorWindow();
  EXPECT_FALSE(sheet->isVisible());
  EXPECT_FALSE(sheet->isIndicatorAnimating());
  w.window->launchProgressBarIndicatorWindowWithMessage(QString());
  EXPECT_EQ(w.window->waitingWindow()->waitingWindowText()->text(), "Please wait...");
  w.window->hideProgressBarIndicatorWindow();
}

// The picture taker's square, its effect, its recent pictures; OK adds the
// square as a layer at the first selected index, Cancel adds nothing.
TEST(WindowActions, PictureTakerAddsTheSquareAsALayer) {
  auto defaults = fnd::UserDefaults::withFile(tst::tempPath("picture-taker.plist"));
  ui::PictureTaker::setUserDefaults(defaults.get());
  QImage pixels(200, 100, QImage::Format_ARGB32);
  pixels.fill(QColor(200, 40, 40));
  const QString picture = tst::tempPath("wide.png");
  ASSERT_TRUE(pixels.save(picture));
  const QString broken = tst::tempPath("broken.png");
  QFile file(broken);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("not a picture");
  file.close();

  Window w({400, 300}, 2);
  ASSERT_TRUE(w.window);
  w.window->layersController()->setSelectionIndex(1);
  ui::ScriptedModalServices modal;
  for (long code : {0L, 1L}) {
    ASSERT_TRUE(w.window->tryToPerform("addImageWithImagePicker:", nullptr));
    ui::PictureTaker* taker = w.window->pictureTaker();
    ASSERT_TRUE(taker && taker->isVisible());
    EXPECT_TRUE(taker->showsEffects());
    modal.answerOpenPanel({QUrl::fromLocalFile(picture)});
    taker->chooseFile();
    EXPECT_EQ(taker->cropRect(), QRect(50, 0, 100, 100));
    EXPECT_FALSE(taker->choosePictureAtPath(broken));
    EXPECT_TRUE(taker->errorText().contains("broken.png"));
    EXPECT_EQ(taker->currentPath(), picture) << "the picture stays";
    taker->setCropZoom(2);
    taker->moveCrop({-500, 0});
    EXPECT_EQ(taker->cropRect(), QRect(0, 25, 50, 50));
    taker->setEffect(ui::PictureTaker::Effect::Mono);
    tst::saveArtifactImage(taker->grab().toImage(), "picture-taker.png");
    const int before = w.layerCount();
    code ? taker->accept() : taker->reject();
    EXPECT_EQ(w.layerCount(), before + int(code));
  }
  Layer* added = w.window->layersController()->arrangedLayers().value(1);
  ASSERT_TRUE(added);
  EXPECT_EQ(added->image()->nsImage()->size(), QSizeF(50, 50));
  EXPECT_EQ(ui::PictureTaker::recentPictures(*defaults), QStringList{picture});
  const QImage grey = ui::PictureTaker::applyEffect(pixels, ui::PictureTaker::Effect::Mono);
  EXPECT_EQ(qRed(grey.pixel(3, 3)), qGreen(grey.pixel(3, 3)));
  ui::PictureTaker::setUserDefaults(nullptr);

  // Added with no layer selected, an image goes on top.
  w.window->layersController()->setSelectionIndexes({});
  w.window->addImage(solid(30, 20, Qt::yellow));
  EXPECT_EQ(w.window->layersController()->arrangedLayers().value(0)->image()->nsImage()->size(),
            QSizeF(30, 20));
}

// Sharing offers what the desktop has: the document's own posting always,
// and a registered service as one item whose button hands it the flattened
// image.
TEST(WindowActions, SharingItemAppearsOnlyWithAServiceAndSharesTheFlatImage) {
  {
    Window w;
    ASSERT_TRUE(w.window);
    EXPECT_TRUE(w.window->hasSharingServices());
  }
  QList<gfx::ImagePtr> shared;
  ui::SharingServicePicker::registerService(
      {"test.keep", "Keep", [&](const QList<gfx::ImagePtr>& items) { shared = items; }});
  Window w({320, 200});
  ASSERT_TRUE(w.window);
  ui::ToolbarItem* item = nullptr;
  for (ui::ToolbarItem* each : w.window->toolbar()->items())
    if (each->itemIdentifier() == "SharingToolbarItem") item = each;
  ASSERT_TRUE(item);
  EXPECT_EQ(item->label(), "Share");
  EXPECT_EQ(item->visibilityPriority(), 2000);
  EXPECT_FALSE(
      w.window->toolbarItemForItemIdentifier(w.window->toolbar(), "SharingToolbarItem", true))
      << "one sharing item per toolbar";
  auto* button = qobject_cast<QToolButton*>(item->view());
  ASSERT_TRUE(button);
  emit button->pressed();
  ASSERT_TRUE(w.window->sharingServicePicker());
  ASSERT_TRUE(w.window->sharingServicePicker()->performServiceAtIndex(0));
  ASSERT_EQ(shared.size(), 1);
  EXPECT_EQ(shared[0]->size(), QSizeF(320, 200));
  ui::SharingServicePicker::unregisterService("test.keep");
}
