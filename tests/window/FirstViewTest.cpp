// A stored document opening in its window while its layers' pixels are held
// back in the loader: the window paints at once without them, counts them
// in on its indicator, shows every layer once they arrive exactly as a full
// redraw does, and a save made before they arrive still stores every layer.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QProgressBar>
#include <QScreen>
#include <QWindow>

#include "TestSupport.h"
#include "ThreeLayerDocument.h"
#include "appkit/Window.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "foundation/OperationQueue.h"
#include "graphics/CGImage.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

using wintest::openThroughController;

struct PaintCounter : QObject {
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// Decodes of stored pixels are held for the life of this object.
struct HeldDecodes {
  HeldDecodes() { Image::holdStoredDecodes(true); }
  ~HeldDecodes() { Image::holdStoredDecodes(false); }
};

IMWindowController* windowOf(IMDocument* document) {
  return document ? dynamic_cast<IMWindowController*>(document->windowController()) : nullptr;
}

int layersArriving(IMDocument* document) {
  int arriving = 0;
  for (Layer* layer : document->composedImage()->layersArray())
    if (layer->image()->isArriving() || !layer->image()->localImage()) ++arriving;
  return arriving;
}

// What the screen shows of the canvas: the window's backing store as last
// painted, without painting anything again (a widget grab would).
QImage canvasOnScreen(IMWindowController* window) {
  IMView* canvas = window->mainViewCanvas();
  QWidget* top = canvas->window();
  const QImage whole = top->windowHandle()->screen()->grabWindow(top->winId()).toImage();
  const QPoint at = canvas->mapTo(top, QPoint(0, 0)) * whole.devicePixelRatio();
  const QSize size = canvas->size() * whole.devicePixelRatio();
  return whole.copy(QRect(at, size)).convertToFormat(QImage::Format_ARGB32);
}

// Paints everything pending, as the next frame on screen would.
void paintPending() {
  for (int i = 0; i < 5; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

// The canvas's white and its light grey grid, no layer's colour.
bool isBackground(QColor color) {
  return color.red() > 240 && color.green() > 240 && color.blue() > 240;
}

// Opens the stored document in its window and waits for the canvas's first
// paint, which `counter` counts from then on.
bool openUntilFirstPaint(const QString& path, PaintCounter& counter, IMDocument** document,
                         IMWindowController** window) {
  *document = openThroughController(path);
  *window = windowOf(*document);
  if (!*window) return false;
  (*window)->mainViewCanvas()->installEventFilter(&counter);
  return tst::spinUntil([&] { return counter.paints > 0; });
}

// Once every layer is in, what the screen shows equals a full redraw of
// the canvas: nothing drawn as the layers arrived was missed or left stale.
void expectShownAsARedraw(IMWindowController* window, QImage* shown = nullptr) {
  paintPending();
  const QImage arrived = canvasOnScreen(window);
  window->mainViewCanvas()->setNeedsDisplay(true);
  paintPending();
  const QImage redrawn = canvasOnScreen(window);
  tst::saveArtifactImage(redrawn, "first-view-redrawn.png");
  EXPECT_TRUE(arrived == redrawn) << "the view drawn as the layers arrived differs from a redraw";
  if (shown) *shown = arrived;
}

QColor centreOf(const gfx::ImagePtr& image) {
  const QImage pixels = image->CGImageForProposedRect(nullptr, nullptr)->qImage();
  return pixels.pixelColor(pixels.width() / 2, pixels.height() / 2);
}

TEST(FirstView, PaintsBeforeTheLayersArriveAndAsAFullRedrawOnceTheyAre) {
  const QString path = tst::tempPath("first-view.zova");
  ASSERT_TRUE(wintest::storeThreeLayerDocument(path));
  IMWindowController::installAsDocumentWindow();
  IMDocumentController controller;
  IMDocument* document = nullptr;
  IMWindowController* window = nullptr;
  PaintCounter counter;
  {
    HeldDecodes held;
    ASSERT_TRUE(openUntilFirstPaint(path, counter, &document, &window));
    paintPending();
    EXPECT_EQ(layersArriving(document), 3) << "the first paint waited for a layer";
    // The canvas shows its background where the layers will be, and the
    // status strip counts the layers in.
    const QImage first = canvasOnScreen(window);
    tst::saveArtifactImage(first, "first-view-before-layers.png");
    const QColor middle = first.pixelColor(first.width() / 2, first.height() / 2);
    EXPECT_TRUE(isBackground(middle)) << middle.name().toStdString();
    QProgressBar* indicator = window->loadSaveProgressIndicator();
    EXPECT_TRUE(indicator->isVisible());
    EXPECT_EQ(indicator->maximum(), 3);
    EXPECT_EQ(indicator->value(), 0);
    // At one document pixel per view pixel: zoomed out, the canvas may
    // draw from a reduced copy made after the pixels arrive, which a
    // later redraw uses and the first did not.
    window->setZoom(1);
    paintPending();
    EXPECT_EQ(layersArriving(document), 3) << "a paint waited for a layer";
  }
  ASSERT_TRUE(tst::spinUntil([&] { return layersArriving(document) == 0; }));
  QImage arrived;
  expectShownAsARedraw(window, &arrived);
  tst::saveArtifactImage(arrived, "first-view-layers-arrived.png");
  // The ground's green fills the middle of the canvas (the sun is above it
  // on the right, the bar under it at the bottom).
  EXPECT_EQ(arrived.pixelColor(arrived.width() / 2, arrived.height() / 2), QColor(40, 170, 70));
  EXPECT_TRUE(tst::spinUntil([&] { return !window->loadSaveProgressIndicator()->isVisible(); }));
  document->close();
}

// The ground is made to arrive at once while the other layers are held
// back; its arrival shows at once, so does an edit made right after it
// (arrivals' redraws may wait to be drawn together, an edit's never), and
// the rest, drawn together, show as a full redraw does.
TEST(FirstView, AnEditWhileLayersArriveShowsAtOnceAndArrivalsAreDrawnTogether) {
  const QString path = tst::tempPath("first-view-edit.zova");
  ASSERT_TRUE(wintest::storeThreeLayerDocument(path));
  IMWindowController::installAsDocumentWindow();
  IMDocumentController controller;
  IMDocument* document = nullptr;
  IMWindowController* window = nullptr;
  PaintCounter counter;
  const QColor green(40, 170, 70), halfGreen(148, 213, 163);
  auto centre = [&] {
    const QImage shown = canvasOnScreen(window);
    return shown.pixelColor(shown.width() / 2, shown.height() / 2);
  };
  {
    HeldDecodes held;
    ASSERT_TRUE(openUntilFirstPaint(path, counter, &document, &window));
    window->setZoom(1);
    paintPending();
    ASSERT_TRUE(isBackground(centre()));
    Layer* ground = document->composedImage()->layersArray().at(2);
    ASSERT_TRUE(ground->image()->nsImage());
    paintPending();
    EXPECT_EQ(centre(), green) << "the first layer in did not show at once";
    ground->setAlpha(0.5);
    paintPending();
    const QColor edited = centre();
    EXPECT_NEAR(edited.red(), halfGreen.red(), 6) << edited.name().toStdString();
    EXPECT_NEAR(edited.green(), halfGreen.green(), 6) << edited.name().toStdString();
    EXPECT_EQ(layersArriving(document), 2);
  }
  ASSERT_TRUE(tst::spinUntil([&] { return layersArriving(document) == 0; }));
  ASSERT_TRUE(tst::spinUntil([&] { return !window->hasGatheredArrivalRedraw(); }));
  expectShownAsARedraw(window);
  document->close();
}

TEST(FirstView, ASaveMadeBeforeTheLayersArriveStoresEveryLayer) {
  const QString path = tst::tempPath("first-view-source.zova");
  const QString copy = tst::tempPath("first-view-saved-early.zova");
  ASSERT_TRUE(wintest::storeThreeLayerDocument(path));
  IMWindowController::installAsDocumentWindow();
  IMDocumentController controller;
  {
    HeldDecodes held;
    IMDocument* document = openThroughController(path);
    ASSERT_TRUE(windowOf(document));
    tst::spinOnce();
    ASSERT_EQ(layersArriving(document), 3);
    bool done = false;
    const fnd::Error* failure = nullptr;
    document->saveToURL(QUrl::fromLocalFile(copy), IMNativeDocumentType, ui::SaveAsOperation,
                        [&](const fnd::Error* error) {
                          failure = error;
                          done = true;
                        });
    ASSERT_TRUE(tst::spinUntil([&] { return done; }));
    EXPECT_FALSE(failure);
    document->close();
  }
  tst::saveArtifact(copy, "first-view-saved-early.zova");
  IMDocument reopened;
  ASSERT_TRUE(
      reopened.initWithContentsOfURL(QUrl::fromLocalFile(copy), IMNativeDocumentType, nullptr));
  const QList<Layer*> layers = reopened.composedImage()->layersArray();
  ASSERT_EQ(layers.size(), 3);
  const QColor colors[] = {QColor(30, 60, 220), QColor(230, 40, 30), QColor(40, 170, 70)};
  const QSizeF sizes[] = {{300, 40}, {120, 120}, {400, 300}};
  for (int i = 0; i < 3; ++i) {
    gfx::ImagePtr pixels = layers[i]->image()->nsImage();
    ASSERT_TRUE(pixels) << layers[i]->name().toStdString();
    EXPECT_EQ(pixels->size(), sizes[i]) << layers[i]->name().toStdString();
    EXPECT_EQ(centreOf(pixels), colors[i]) << layers[i]->name().toStdString();
  }
}

}  // namespace
