// The document window's controls as a user meets them: the scroll bars,
// the layer details popover beside its row and on the screen, renaming in
// the layers list, the title, the menu's Merge, the zoom about a point, the
// closing keys of help and preferences, hidden layers and the opacity.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStyleHints>

#include "TestSupport.h"
#include "appkit/MenuItem.h"
#include "appkit/Popover.h"
#include "appkit/ScriptedModalServices.h"
#include "appkit/ScrollView.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "foundation/UserDefaults.h"
#include "graphics/CGImage.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "window/IMHelpWindow.h"
#include "window/IMLayerRowView.h"
#include "window/IMLayersArrayController.h"
#include "window/IMPreferencesWindow.h"
#include "window/IMTableView.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"
#include "window/LayerDetailsPopoverView.h"

namespace {

gfx::ImagePtr solid(int w, int h, QColor color) {
  QImage pixels(w, h, QImage::Format_ARGB32_Premultiplied);
  pixels.fill(color);
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

IMWindowController* windowOf(ui::Document* document) {
  auto* own = qobject_cast<IMDocument*>(document);
  return own ? dynamic_cast<IMWindowController*>(own->windowController()) : nullptr;
}

// A new window over a 400 x 300 canvas whose layers are named, top first;
// each layer holds a colour of its own.
struct OpenWindow {
  explicit OpenWindow(const QStringList& names) {
    IMWindowController::installAsDocumentWindow();
    fnd::Error error;
    document = qobject_cast<IMDocument*>(controller.openUntitledDocumentAndDisplay(true, &error));
    window = windowOf(document);
    if (!window) return;
    ComposedImage* image = document->composedImage();
    image->setSize({400, 300});
    while (image->layersArray().size() < names.size())
      Layer::createLayerWithComposedImage(image, document->managedObjectContext(), true);
    const QColor colours[] = {QColor(230, 40, 30), QColor(30, 60, 220), QColor(40, 170, 70)};
    for (int i = 0; i < names.size(); ++i) {
      Layer* layer = image->layersArray()[i];
      layer->setName(names[i]);
      layer->setVisible(true);
      layer->image()->setNsImage(solid(200 - 40 * i, 150 - 30 * i, colours[i % 3]));
    }
    window->layersController()->setSelectionIndex(0);
    tst::spinOnce();
  }
  ~OpenWindow() {
    if (document) document->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  IMLayerRowView* row(int index) const {
    return qobject_cast<IMLayerRowView*>(window->layersTable()->viewAtColumn(0, index));
  }
  Layer* layer(int index) const {
    return window->layersController()->arrangedLayers().value(index);
  }

  IMDocumentController controller;
  IMDocument* document = nullptr;
  IMWindowController* window = nullptr;
};

// A click where a user's would land: on the deepest widget under `point` of
// `top` that takes the mouse.
void click(QWidget* top, QPoint point, QEvent::Type type = QEvent::MouseButtonPress) {
  QWidget* target = top->childAt(point);
  if (!target) target = top;
  const QPoint local = target->mapFrom(top, point);
  const QPoint global = target->mapToGlobal(local);
  auto send = [&](QEvent::Type t) {
    QMouseEvent event(t, local, global, Qt::LeftButton,
                      t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
  };
  send(type);
  send(QEvent::MouseButtonRelease);
}

QPoint nameSpot(IMLayerRowView* row) { return row->nameField()->geometry().center(); }

void key(QWidget* to, int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, qtKey, modifiers);
  QApplication::sendEvent(to, &press);
  QKeyEvent release(QEvent::KeyRelease, qtKey, modifiers);
  QApplication::sendEvent(to, &release);
}

int livePopovers() {
  int count = 0;
  for (QWidget* widget : QApplication::allWidgets())
    if (dynamic_cast<ui::Popover*>(widget)) ++count;
  return count;
}

// The screen as a user sees it: the window and, over it, the popover.
QImage screenShot(QWidget* window, QWidget* popover) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  QImage shot(screen.size(), QImage::Format_ARGB32_Premultiplied);
  shot.fill(QColor(60, 70, 80));
  QPainter painter(&shot);
  painter.drawPixmap(window->geometry().topLeft() - screen.topLeft(), window->grab());
  if (popover)
    painter.drawPixmap(popover->geometry().topLeft() - screen.topLeft(), popover->grab());
  return shot;
}

}  // namespace

// The vertical scroll bar runs from the canvas's top (at 0) to its bottom,
// as it shows it, both ways: moving the bar and scrolling the canvas.
TEST(IMWindowControls, TheVerticalScrollBarRunsFromTheTopOfTheCanvas) {
  OpenWindow w({"Top", "Bottom"});
  ASSERT_TRUE(w.window);
  w.window->window()->resize(700, 500);
  tst::spinOnce();
  w.window->setZoom(4);
  tst::spinOnce();
  ui::ScrollView* scroll = w.window->graphicScrollView();
  QScrollBar* bar = scroll->verticalScrollBar();
  const double canvasHeight = w.window->mainViewCanvas()->frame().height();
  ASSERT_GT(bar->maximum(), 0);
  struct Case {
    const char* what;
    int value;
    bool top;
  };
  for (const Case& c : {Case{"bar at the top", 0, true}, Case{"bar at the bottom", -1, false}}) {
    bar->setValue(c.value < 0 ? bar->maximum() : c.value);
    tst::spinOnce();
    const QRectF shown = scroll->documentVisibleRect();
    if (c.top)
      EXPECT_DOUBLE_EQ(shown.y() + shown.height(), canvasHeight) << c.what;
    else
      EXPECT_DOUBLE_EQ(shown.y(), 0) << c.what;
    // What shows: the red top layer fills the canvas's lower left only.
    const QImage grab = scroll->viewport()->grab().toImage();
    const QColor lowerLeft =
        grab.pixelColor(QPoint(20, grab.height() - 20) * grab.devicePixelRatio());
    EXPECT_EQ(lowerLeft == QColor(230, 40, 30), !c.top)
        << c.what << " " << lowerLeft.name().toStdString();
  }
  // The wheel turned away from the user shows the upper part: the bar rises.
  bar->setValue(bar->maximum() / 2);
  const int before = bar->value();
  const QPoint centre = scroll->viewport()->rect().center();
  QWheelEvent wheel(centre, scroll->viewport()->mapToGlobal(centre), {}, QPoint(0, 120),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(w.window->mainViewCanvas(), &wheel);
  tst::spinOnce();
  EXPECT_LT(bar->value(), before);
  tst::saveArtifactImage(w.window->window()->grab().toImage(), "window-scrolled-canvas.png");
}

// With the window at the screen's left edge the popover of a row opens on
// the row's right, on the screen, its arrow at the row; closing it deletes
// it, however it closes.
TEST(IMWindowControls, DetailsPopoverOpensOnTheScreenBesideItsRowAndGoesWhenClosed) {
  OpenWindow w({"Sun", "Sea", "Sand"});
  ASSERT_TRUE(w.window);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  w.window->window()->setGeometry(screen.x(), screen.y() + 40, 760, 480);
  tst::spinOnce();
  IMLayersArrayController* layers = w.window->layersController();
  IMTableView* table = w.window->layersTable();
  layers->setSelectionIndex(1);
  layers->showDetail(1);
  ui::Popover* popover = layers->currentPopover();
  ASSERT_TRUE(popover);
  EXPECT_TRUE(screen.contains(popover->frameGeometry())) << "x = " << popover->x();
  const QRect row(table->viewport()->mapToGlobal(table->rectOfRow(1).topLeft()),
                  table->rectOfRow(1).size());
  const QPoint tip = popover->mapToGlobal(popover->arrowTip());
  EXPECT_GE(tip.y(), row.top());
  EXPECT_LE(tip.y(), row.bottom());
  EXPECT_NEAR(tip.x(), row.right() + 1, 1) << "the arrow touches the row's right side";
  auto* details = qobject_cast<LayerDetailsPopoverView*>(popover->contentView());
  ASSERT_TRUE(details);
  EXPECT_EQ(details->opacityField()->value(), 100) << "the opacity as a number";
  details->opacityField()->setValue(40);
  EXPECT_EQ(details->opacitySlider()->value(), 40);
  EXPECT_NEAR(w.layer(1)->alpha(), 0.4, 1e-6);
  tst::saveArtifactImage(screenShot(w.window->window(), popover),
                         "window-details-popover-at-left-screen-edge.png");

  // Twenty openings, each closed as a user closes it: none stays behind.
  for (int i = 0; i < 20; ++i) {
    if (!layers->currentPopover()) layers->showDetail(i % 3);
    ASSERT_TRUE(layers->currentPopover());
    if (i % 2)
      layers->currentPopover()->close();  // a click elsewhere
    else
      key(layers->currentPopover(), Qt::Key_Escape);
    EXPECT_FALSE(layers->currentPopover());
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(livePopovers(), 0);
}

// Desktop lists rename this way: a click on another row selects it; a
// click on the selected row's name renames, Return keeps the new name,
// Escape gives the old one back, and a double click opens the details.
TEST(IMWindowControls, RenamingFollowsTheSelectionAndEscapeCancels) {
  OpenWindow w({"Sun", "Sea", "Sand"});
  ASSERT_TRUE(w.window);
  w.window->window()->resize(760, 480);
  w.window->window()->show();
  tst::spinOnce();
  IMLayersArrayController* layers = w.window->layersController();
  const int wait = QGuiApplication::styleHints()->mouseDoubleClickInterval() + 200;

  click(w.row(2), nameSpot(w.row(2)));
  EXPECT_EQ(layers->selectionIndexes(), fnd::IndexSet::fromList({2})) << "the click selects";
  tst::spinUntil([] { return false; }, wait);
  EXPECT_FALSE(w.row(2)->isEditing()) << "an unselected row's name is not renamed";
  EXPECT_TRUE(w.row(2)->nameField()->isReadOnly());

  click(w.row(2), nameSpot(w.row(2)));
  ASSERT_TRUE(tst::spinUntil([&] { return w.row(2)->isEditing(); }, wait + 1000));
  QLineEdit* field = w.row(2)->nameField();
  EXPECT_FALSE(field->isReadOnly());
  field->setText("Dune");
  key(field, Qt::Key_Escape);
  EXPECT_FALSE(w.row(2)->isEditing());
  EXPECT_EQ(field->text(), "Sand") << "Escape gives the old name back";
  EXPECT_EQ(w.layer(2)->name(), "Sand");

  click(w.row(2), nameSpot(w.row(2)));
  ASSERT_TRUE(tst::spinUntil([&] { return w.row(2)->isEditing(); }, wait + 1000));
  field->setText("Dune");
  key(field, Qt::Key_Return);
  EXPECT_FALSE(w.row(2)->isEditing());
  EXPECT_EQ(w.layer(2)->name(), "Dune");

  // A double click on the selected row's name: the details, no rename.
  click(w.row(2), nameSpot(w.row(2)));
  click(w.row(2), nameSpot(w.row(2)), QEvent::MouseButtonDblClick);
  tst::spinUntil([] { return false; }, wait);
  EXPECT_FALSE(w.row(2)->isEditing());
  EXPECT_TRUE(layers->currentPopover());
}

// Hidden layers read as hidden in the list: a closed eye, a faded thumbnail
// and a greyed name; undoing the change shows them again.
TEST(IMWindowControls, TheListShowsWhichLayersAreHidden) {
  OpenWindow w({"Sun", "Sea", "Sand"});
  ASSERT_TRUE(w.window);
  w.window->window()->resize(760, 480);
  tst::spinOnce();
  w.layer(1)->setVisible(false);
  tst::spinOnce();
  EXPECT_TRUE(w.row(0)->isLayerVisible());
  EXPECT_FALSE(w.row(1)->isLayerVisible());
  EXPECT_NE(w.row(0)->eyeView()->pixmap().toImage(), w.row(1)->eyeView()->pixmap().toImage());
  EXPECT_TRUE(w.row(1)->nameField()->font().italic());
  tst::saveArtifactImage(w.window->layersTable()->grab().toImage(),
                         "window-layers-list-hidden.png");
  w.layer(1)->setVisible(true);
  EXPECT_TRUE(w.row(1)->isLayerVisible());
}

// The title names the file the document was saved to, with the edited mark
// beside the name, not after the zoom.
TEST(IMWindowControls, TitleFollowsSaveAsOfAnImportedImageAndMarksTheName) {
  const QString picture = tst::tempPath("photo.png");
  QImage pixels(64, 48, QImage::Format_ARGB32);
  pixels.fill(QColor(200, 120, 40));
  ASSERT_TRUE(pixels.save(picture));
  IMWindowController::installAsDocumentWindow();
  IMDocumentController controller;
  ui::ScriptedModalServices modal;
  IMDocument* document = nullptr;
  controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(picture), true,
                                           [&](ui::Document* opened, bool, const fnd::Error*) {
                                             document = qobject_cast<IMDocument*>(opened);
                                           });
  IMWindowController* window = windowOf(document);
  ASSERT_TRUE(window);
  tst::spinOnce();
  window->setZoom(0.47);
  const QString percent = QString::number(std::lround(window->zoom() * 100));
  EXPECT_EQ(window->window()->title(), "photo - " + percent + "%");

  const QString saved = tst::tempPath("Holiday.zova");
  modal.answerSavePanel(QUrl::fromLocalFile(saved));
  document->saveDocumentAs(nullptr);
  ASSERT_TRUE(tst::spinUntil(
      [&] { return document->fileURL().isValid() && !document->isDocumentEdited(); }));
  EXPECT_EQ(window->window()->title(), "Holiday.zova - " + percent + "%");
  EXPECT_EQ(window->window()->shownTitle(), "Holiday.zova - " + percent + "%");

  document->updateChangeCount(ui::ChangeDone);
  EXPECT_EQ(window->window()->shownTitle(), "Holiday.zova* - " + percent + "%");
  window->setZoom(1);
  EXPECT_EQ(window->window()->shownTitle(), "Holiday.zova* - 100%");
  document->updateChangeCount(ui::ChangeCleared);
  document->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Merge needs two layers; the zoom keeps the point a tool asked for.
TEST(IMWindowControls, MergeWantsTwoLayersAndZoomKeepsTheZoomPoint) {
  struct Case {
    QStringList layers;
    bool mergeEnabled;
  };
  for (const Case& c : {Case{{"Only"}, false}, Case{{"Upper", "Lower"}, true}}) {
    OpenWindow w(c.layers);
    ASSERT_TRUE(w.window);
    ui::MenuItem merge("Merge Layers", "merge:");
    EXPECT_EQ(w.window->validateUserInterfaceItem(merge), c.mergeEnabled) << c.layers.size();
  }

  OpenWindow w({"Sun", "Sea"});
  ASSERT_TRUE(w.window);
  w.window->window()->resize(600, 400);
  tst::spinOnce();
  w.window->setZoom(1);
  IMView* canvas = w.window->mainViewCanvas();
  const double scale = canvas->backingScaleFactor();
  // A click on document point (300, 250): the zoom brings that point to the
  // centre of the visible area.
  const QPointF clicked(300 / scale, 250 / scale);
  canvas->setZoomPoint(clicked);
  w.window->setZoom(2);
  EXPECT_EQ(canvas->zoomPoint(), QPointF()) << "used once";
  const QRectF shown = w.window->graphicScrollView()->documentVisibleRect();
  const QRectF canvasFrame = canvas->frame();
  const QPointF expected(
      std::clamp(clicked.x() * 2, shown.width() / 2, canvasFrame.width() - shown.width() / 2),
      std::clamp(clicked.y() * 2, shown.height() / 2, canvasFrame.height() - shown.height() / 2));
  EXPECT_NEAR(shown.center().x(), expected.x(), 1);
  EXPECT_NEAR(shown.center().y(), expected.y(), 1);
  EXPECT_GT(shown.center().x(), canvasFrame.width() / 2) << "not the centre kept";
  for (double bad : {0.0, -3.0, std::nan("")}) {
    w.window->setZoom(bad);
    EXPECT_DOUBLE_EQ(w.window->zoom(), 1) << bad;
  }
}

// The View menu's zoom commands: twice, half, one to one, and back to the
// fitted zoom, each shown in the title.
TEST(IMWindowControls, ViewMenuZoomsInOutToActualSizeAndToFit) {
  OpenWindow w({"Sun", "Sea"});
  ASSERT_TRUE(w.window);
  w.window->window()->resize(600, 400);
  tst::spinOnce();
  w.window->adjustZoomForDocumentToFitVisibleRect();
  const double fitted = w.window->zoom();
  w.window->setZoom(1);
  struct Step {
    const char* action;
    double zoom;
  };
  for (const Step& step :
       {Step{"zoom2x:", 2}, Step{"zoom2x:", 4}, Step{"unZoom2x:", 2},
        Step{"adjustZoomToRealSize:", 1}, Step{"adjustZoomFordocumentToFitVisibleRect:", fitted}}) {
    ui::MenuItem item(step.action, step.action);
    EXPECT_TRUE(w.window->validateUserInterfaceItem(item)) << step.action;
    ASSERT_TRUE(w.window->tryToPerform(step.action, nullptr)) << step.action;
    EXPECT_DOUBLE_EQ(w.window->zoom(), step.zoom) << step.action;
    EXPECT_TRUE(
        w.window->window()->title().contains(QString::number(std::lround(step.zoom * 100)) + "%"))
        << w.window->window()->title().toStdString();
  }
}

// Help and preferences close as other programs' utility windows do.
TEST(IMWindowControls, HelpAndPreferencesCloseWithEscapeAndCtrlW) {
  auto defaults = fnd::UserDefaults::withFile(tst::tempPath("close-keys.plist"));
  struct Case {
    const char* window;
    int key;
    Qt::KeyboardModifiers modifiers;
  };
  const Case cases[] = {{"help", Qt::Key_Escape, Qt::NoModifier},
                        {"help", Qt::Key_W, Qt::ControlModifier},
                        {"preferences", Qt::Key_Escape, Qt::NoModifier},
                        {"preferences", Qt::Key_W, Qt::ControlModifier}};
  for (const Case& c : cases) {
    std::unique_ptr<QWidget> window;
    if (QString(c.window) == "help")
      window = std::make_unique<IMHelpWindow>();
    else
      window = std::make_unique<IMPreferencesWindow>(*defaults, nullptr);
    window->show();
    window->activateWindow();
    ASSERT_TRUE(tst::spinUntil([&] { return window->isActiveWindow(); })) << c.window;
    QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
    key(focus, c.key, c.modifiers);
    EXPECT_TRUE(tst::spinUntil([&] { return !window->isVisible(); }, 1000))
        << c.window << " key " << c.key;
  }
}

// Thumbnails have one pixel per device pixel: sharp on a 2x screen. The
// window tests run this once more with the screen scaled by two.
TEST(IMLayersListScale, ThumbnailsAreDrawnAtTheScreensScale) {
  OpenWindow w({"Sun", "Sea", "Sand"});
  ASSERT_TRUE(w.window);
  w.window->window()->resize(760, 480);
  w.window->window()->show();
  tst::spinOnce();
  const double scale = w.window->layersTable()->devicePixelRatioF();
  for (Layer* layer : w.window->layersController()->arrangedLayers()) layer->updatePreviewImage();
  ASSERT_TRUE(tst::spinUntil([&] {
    for (Layer* layer : w.window->layersController()->arrangedLayers())
      if (!layer->imagePreview()) return false;
    return true;
  }));
  tst::spinOnce();
  // Each layer fills the lower left of the canvas with its colour.
  const QColor colours[] = {QColor(230, 40, 30), QColor(30, 60, 220), QColor(40, 170, 70)};
  for (int row = 0; row < 3; ++row) {
    const QImage thumb = w.row(row)->thumbnailImage();
    const QColor lowerLeft =
        thumb.pixelColor(thumb.width() / 2 - 4 * scale, thumb.height() - 8 * scale);
    EXPECT_LT(std::abs(lowerLeft.red() - colours[row].red()) +
                  std::abs(lowerLeft.blue() - colours[row].blue()),
              40)
        << row << " " << lowerLeft.name().toStdString();
  }
  for (int row = 0; row < 3; ++row) {
    const QImage thumb = w.row(row)->thumbnailImage();
    EXPECT_DOUBLE_EQ(thumb.devicePixelRatio(), scale) << row;
    EXPECT_EQ(thumb.size(), QSize(int(IMLayerRowView::kThumbnailWidth * scale),
                                  int(IMLayerRowView::kThumbnailHeight * scale)))
        << row;
  }
  w.layer(1)->setVisible(false);
  tst::spinOnce();
  const QImage list = w.window->layersTable()->grab().toImage();
  EXPECT_DOUBLE_EQ(list.devicePixelRatio(), scale);
  tst::saveArtifactImage(list, QString("window-layers-list-%1x.png").arg(scale));
}
