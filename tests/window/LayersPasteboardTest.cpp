// Layers and selected pixels through the desktop's clipboard and through
// drops on the canvas and the layers list, as a user moves them between
// documents and other programs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>

#include "TestSupport.h"
#include "appkit/MenuItem.h"
#include "appkit/core/Beep.h"
#include "appkit/core/Pasteboard.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "graphics/CGImage.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "window/IMLayersArrayController.h"
#include "window/IMTableView.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

gfx::ImagePtr solid(int w, int h, QColor color) {
  QImage pixels(w, h, QImage::Format_ARGB32_Premultiplied);
  pixels.fill(color);
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

// A rectangle selection the test sets; records what the window asks.
class SelectionStandIn : public IMWindowTools {
 public:
  static inline QRectF selection;
  static inline QStringList log;
  void mouseDown(ui::Event&, const Fallback&) override {}
  void mouseUp(ui::Event&, const Fallback&) override {}
  void mouseDragged(ui::Event&, const Fallback&) override {}
  void beginGestureWithEvent(ui::Event&, const Fallback&) override {}
  void endGestureWithEvent(ui::Event&, const Fallback&) override {}
  void rotateWithEvent(ui::Event&, const Fallback&) override {}
  void magnifyWithEvent(ui::Event&, const Fallback&) override {}
  void swipeWithEvent(ui::Event&, const Fallback&) override {}
  void keyDown(ui::Event&, const Fallback&) override {}
  void keyUp(ui::Event&, const Fallback&) override {}
  void flagsChanged(ui::Event&, const Fallback&) override {}
  void resetCursorRects() override {}
  void setWindowController(IMWindowController*) override {}
  void setToolsChooser(ui::SegmentedControl*) override {}
  void prepareTools() override {}
  void teardown() override {}
  void drawOverlaysInRect(const QRectF&) override {}
  bool hasSelection() override { return !selection.isEmpty(); }
  QRectF selectedRect() override { return selection; }
  bool hasRectSelection() const override { return !selection.isEmpty(); }
  void selectAll() override {}
  void deselect() override {
    selection = QRectF();
    log.append("deselect");
  }
  ci::Image selectionMaskWithSize(const QSize&) override { return {}; }
  void nonDestructiveCropLayers(const QList<Layer*>&) override {}
  void destructiveCropLayers(const QList<Layer*>&) override {}
  void selectLayerDragingTool() override { log.append("drag tool"); }
  void updateEnablingOfTools() override {}
  void becomeKey() override {}
  void resignKey() override {}
  void canvasLostFocus() override {}
};

IMWindowController* windowOf(ui::Document* document) {
  auto* own = qobject_cast<IMDocument*>(document);
  return own ? dynamic_cast<IMWindowController*>(own->windowController()) : nullptr;
}

// A new 400 x 300 window; its layers, top first, are solid squares of the
// given sizes and colours at the given origins.
struct Window {
  struct Spec {
    QRect rect;
    QColor colour;
  };
  explicit Window(const QList<Spec>& layers) {
    IMWindowController::installAsDocumentWindow();
    IMWindowController::setToolsControllerFactory(
        [] { return std::make_unique<SelectionStandIn>(); });
    fnd::Error error;
    document = qobject_cast<IMDocument*>(controller.openUntitledDocumentAndDisplay(true, &error));
    window = windowOf(document);
    ComposedImage* image = document->composedImage();
    image->setSize({400, 300});
    while (image->layersArray().size() < layers.size())
      Layer::createLayerWithComposedImage(image, document->managedObjectContext(), true);
    for (int i = 0; i < layers.size(); ++i) {
      Layer* layer = image->layersArray()[i];
      layer->setVisible(true);
      layer->image()->setNsImage(
          solid(layers[i].rect.width(), layers[i].rect.height(), layers[i].colour));
      layer->setXOrigin(layers[i].rect.x());
      layer->setYOrigin(layers[i].rect.y());
    }
    tst::spinOnce();
  }
  ~Window() {
    if (document) document->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    IMWindowController::setToolsControllerFactory(nullptr);
  }
  IMLayersArrayController* layers() const { return window->layersController(); }
  Layer* layer(int index) const { return layers()->arrangedLayers().value(index); }
  bool perform(const char* action) { return window->tryToPerform(action, nullptr); }
  bool enabled(const char* action) {
    ui::MenuItem item(QString(), QString::fromLatin1(action));
    return window->validateUserInterfaceItem(item);
  }

  IMDocumentController controller;
  IMDocument* document = nullptr;
  IMWindowController* window = nullptr;
};

// Straight colour at a document point (y up) of the document's flattening.
QColor documentPixel(IMLayersArrayController* layers, int x, int y) {
  const gfx::ImagePtr flat = layers->imageOfLayersInRect(QRectF());
  auto context =
      gfx::GraphicsContext::bitmapContext(int(flat->size().width()), int(flat->size().height()));
  {
    gfx::CurrentContextScope scope(context.get());
    flat->drawAtPoint(QPointF(0, 0), {}, gfx::CompositingOperation::Copy, 1.0);
  }
  return context->pixelColor(x, y);
}

// ImageMagick's reading of a PNG: "width height r,g,b,a" of a pixel.
QString magickReading(const QByteArray& png, QPoint pixel) {
  QTemporaryDir dir;
  const QString path = dir.filePath("clip.png");
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  file.write(png);
  file.close();
  QProcess magick;
  magick.start("convert", {path, "-format",
                           QString("%w %h %[fx:int(255*p{%1,%2}.r)],%[fx:int(255*p{%1,%2}.g)],"
                                   "%[fx:int(255*p{%1,%2}.b)],%[fx:int(255*p{%1,%2}.a)]")
                               .arg(pixel.x())
                               .arg(pixel.y()),
                           "info:"});
  magick.waitForFinished(20000);
  return QString::fromUtf8(magick.readAllStandardOutput()).trimmed();
}

// As the desktop delivers a drop: entering, then dropping.
void drop(QWidget* target, QPoint at, QMimeData* data) {
  QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDragMoveEvent move(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &move);
  QDropEvent dropped(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &dropped);
}

}  // namespace

// Three layers' selected pixels copied in one window come back, flattened,
// as one layer in the same place in another; other programs read the PNG.
TEST(LayersPasteboard, SelectedPixelsOfThreeLayersPasteInPlaceAndReachOtherPrograms) {
  Window from({{{0, 0, 400, 300}, QColor(200, 0, 0)},
               {{100, 100, 100, 100}, QColor(0, 0, 200)},
               {{50, 50, 300, 200}, QColor(0, 200, 0)}});
  from.layers()->setSelectionIndexes(fnd::IndexSet::fromList({0, 1, 2}));
  from.layer(0)->setVisible(false);
  EXPECT_TRUE(from.enabled("copy:"));
  SelectionStandIn::selection = QRectF(80, 60, 40, 50);
  ASSERT_TRUE(from.perform("copy:"));
  const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
  ASSERT_TRUE(clip && clip->hasFormat("image/png"));
  // Green ground, the blue square from x 100 up: (5, 0) top-left is green,
  // (30, 0) is blue in the copied 40 x 50 image (y down in the file).
  EXPECT_EQ(magickReading(clip->data("image/png"), {5, 0}), "40 50 0,200,0,255");
  EXPECT_EQ(magickReading(clip->data("image/png"), {30, 0}), "40 50 0,0,200,255");
  EXPECT_TRUE(SelectionStandIn::log.isEmpty()) << "copying keeps the selection";

  Window to({{{0, 0, 400, 300}, QColor(255, 255, 255)}});
  SelectionStandIn::log.clear();
  ASSERT_TRUE(to.perform("paste:"));
  ASSERT_EQ(to.layers()->objectsCount(), 2);
  Layer* pasted = to.layer(0);
  EXPECT_EQ(to.layers()->firstSelectedLayer(), pasted);
  EXPECT_EQ(QPointF(pasted->xOrigin(), pasted->yOrigin()), QPointF(80, 60));
  EXPECT_EQ(pasted->image()->nsImage()->size(), QSizeF(40, 50));
  EXPECT_EQ(documentPixel(to.layers(), 85, 70), QColor(0, 200, 0));
  EXPECT_EQ(documentPixel(to.layers(), 110, 105), QColor(0, 0, 200));
  EXPECT_EQ(documentPixel(to.layers(), 130, 70), QColor(255, 255, 255)) << "outside the copy";
  EXPECT_EQ(SelectionStandIn::log, QStringList({"deselect", "drag tool"}));
}

// Cut takes the selected pixels out of the layer, Delete without a
// selection takes the layer itself; a copy that yields nothing beeps and
// leaves what the clipboard held.
TEST(LayersPasteboard, CutDeleteAndAFailedCopy) {
  Window window({{{0, 0, 200, 200}, QColor(200, 0, 0)}, {{0, 0, 400, 300}, QColor(0, 0, 200)}});
  window.layers()->setSelectionIndex(0);
  SelectionStandIn::selection = QRectF(10, 10, 20, 20);
  SelectionStandIn::log.clear();
  ASSERT_TRUE(window.perform("cut:"));
  EXPECT_EQ(documentPixel(window.layers(), 15, 15), QColor(0, 0, 200)) << "cut out of the top";
  EXPECT_EQ(documentPixel(window.layers(), 50, 50), QColor(200, 0, 0));
  EXPECT_EQ(SelectionStandIn::log, QStringList({"deselect"}));
  EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat("image/png"));
  EXPECT_EQ(window.layers()->objectsCount(), 2);

  EXPECT_TRUE(window.enabled("delete:"));
  ASSERT_TRUE(window.perform("delete:"));
  EXPECT_EQ(window.layers()->objectsCount(), 1) << "no selection: the layer goes";

  // A document without layers has nothing to give.
  window.layers()->setSelectionIndex(0);
  window.perform("delete:");
  ASSERT_EQ(window.layers()->objectsCount(), 0);
  QGuiApplication::clipboard()->setText("kept");
  int beeps = 0;
  ui::setBeepHandler([&] { ++beeps; });
  window.perform("copy:");
  ui::setBeepHandler(nullptr);
  EXPECT_EQ(beeps, 1);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");
}

// A copy the clipboard refuses (a layer larger than the pasteboard takes)
// beeps and leaves the layer copied before on the clipboard, whole: this
// program and others still paste it.
TEST(LayersPasteboard, ARefusedCopyLeavesTheEarlierCopyOnTheClipboard) {
  Window window({{{0, 0, 100, 80}, QColor(200, 0, 0)}, {{0, 0, 400, 300}, QColor(0, 0, 200)}});
  SelectionStandIn::selection = QRectF();
  window.layers()->setSelectionIndex(0);
  ASSERT_TRUE(window.perform("copy:"));
  const QByteArray earlier = QGuiApplication::clipboard()->mimeData()->data("image/png");
  ui::Pasteboard& clipboard = ui::Pasteboard::generalPasteboard();
  const qint64 limit = clipboard.maximumImageBytes();
  clipboard.setMaximumImageBytes(400 * 300 * 4 - 1);
  window.layers()->setSelectionIndex(1);
  int beeps = 0;
  ui::setBeepHandler([&] { ++beeps; });
  window.perform("copy:");
  ui::setBeepHandler(nullptr);
  clipboard.setMaximumImageBytes(limit);
  EXPECT_EQ(beeps, 1);

  const QMimeData* held = QGuiApplication::clipboard()->mimeData();
  ASSERT_TRUE(held) << "the clipboard was left empty";
  const QByteArray now = held->data("image/png");
  EXPECT_EQ(now, earlier) << "other programs get the earlier copy";
  const QImage png = QImage::fromData(now);
  EXPECT_EQ(png.pixelColor(50, 260), QColor(200, 0, 0)) << "the red layer alone";
  EXPECT_EQ(png.pixelColor(200, 150).alpha(), 0);
  const QList<ui::PasteboardObject> images =
      clipboard.readObjectsForClasses({ui::PasteboardClass::Image});
  ASSERT_EQ(images.size(), 1) << "and this program the image";
}

// Other programs' PNG bytes and a PNG file's path become layers: the bytes
// centred, the file named after itself.
TEST(LayersPasteboard, PastesPngBytesAndPngFiles) {
  Window window({{{0, 0, 400, 300}, QColor(255, 255, 255)}});
  QImage picture(20, 10, QImage::Format_ARGB32);
  picture.fill(QColor(10, 120, 240));
  auto* bytes = new QMimeData;
  QByteArray png;
  {
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
  }
  bytes->setData("image/png", png);
  QGuiApplication::clipboard()->setMimeData(bytes);
  ASSERT_TRUE(window.perform("paste:"));
  ASSERT_EQ(window.layers()->objectsCount(), 2);
  EXPECT_EQ(QPointF(window.layer(0)->xOrigin(), window.layer(0)->yOrigin()), QPointF(190, 145));
  EXPECT_EQ(documentPixel(window.layers(), 200, 150), QColor(10, 120, 240));

  QTemporaryDir dir;
  const QString path = dir.filePath("Sky.png");
  ASSERT_TRUE(picture.save(path));
  auto* file = new QMimeData;
  file->setUrls({QUrl::fromLocalFile(path)});
  QGuiApplication::clipboard()->setMimeData(file);
  ASSERT_TRUE(window.perform("paste:"));
  ASSERT_EQ(window.layers()->objectsCount(), 3);
  EXPECT_EQ(window.layer(0)->name(), "Sky");
}

// Images dropped on the canvas land centred under the mouse at any zoom and
// scroll; files dropped between list rows land there, in order.
TEST(LayersPasteboard, DropsOnTheCanvasAndTheList) {
  Window window({{{0, 0, 400, 300}, QColor(255, 255, 255)}});
  window.window->window()->resize(500, 400);
  window.window->setZoom(2);
  tst::spinOnce();
  ui::ScrollView* scroll = window.window->graphicScrollView();
  scroll->horizontalScrollBar()->setValue(150);
  scroll->verticalScrollBar()->setValue(100);
  tst::spinOnce();
  IMView* canvas = window.window->mainViewCanvas();
  // The drop point in the canvas widget, and the document point under it.
  // The canvas fills the clip: 100 and 80 from its top left lie at the
  // scroll offsets plus those, on the 600 points high zoomed canvas.
  const QPoint at = canvas->mapFrom(scroll->viewport(), QPoint(100, 80));
  const QPointF expected((150 + 100) / 2.0, (600 - 100 - 80) / 2.0);

  QImage picture(20, 10, QImage::Format_ARGB32);
  picture.fill(QColor(10, 120, 240));
  ui::Pasteboard writer;
  writer.writeObjects({gfx::Image::imageWithCGImage(gfx::CGImage::make(picture))});
  std::unique_ptr<QMimeData> data(writer.dragMimeData());
  drop(canvas, at, data.get());
  ASSERT_EQ(window.layers()->objectsCount(), 2);
  Layer* dropped = window.layer(0);
  EXPECT_NEAR(dropped->xOrigin(), std::floor(expected.x() - 10), 1);
  EXPECT_NEAR(dropped->yOrigin(), std::floor(expected.y() - 5), 1);

  QTemporaryDir dir;
  QStringList paths;
  for (const char* name : {"One.png", "Two.png"}) {
    paths.append(dir.filePath(name));
    ASSERT_TRUE(picture.save(paths.last()));
  }
  auto* files = new QMimeData;
  files->setUrls({QUrl::fromLocalFile(paths[0]), QUrl::fromLocalFile(paths[1])});
  IMTableView* table = window.window->layersTable();
  const QRect row1 = table->rectOfRow(1);
  std::unique_ptr<QMimeData> owned(files);
  drop(table->viewport(), QPoint(row1.center().x(), row1.top() + 1), files);
  const QList<Layer*> layers = window.layers()->arrangedLayers();
  ASSERT_EQ(layers.size(), 4);
  EXPECT_EQ(layers[1]->name(), "One");
  EXPECT_EQ(layers[2]->name(), "Two");
}

// A layer row dragged from one document's list onto another's, between its
// rows, becomes a layer there with the dragged layer's pixels; the source
// keeps its layer.
TEST(LayersPasteboard, ALayerRowDroppedInAnotherDocumentsList) {
  Window source({{{0, 0, 40, 20}, QColor(250, 130, 0)}, {{0, 0, 400, 300}, QColor(0, 0, 200)}});
  Window target({{{0, 0, 400, 300}, QColor(255, 255, 255)}, {{0, 0, 400, 300}, QColor(0, 0, 0)}});
  ui::Pasteboard drag;
  ASSERT_TRUE(source.layers()->tableViewWriteRowsWithIndexes(source.window->layersTable(),
                                                             fnd::IndexSet(0), drag));
  std::unique_ptr<QMimeData> data(drag.dragMimeData());
  IMTableView* table = target.window->layersTable();
  const QRect row1 = table->rectOfRow(1);
  drop(table->viewport(), QPoint(row1.center().x(), row1.top() + 1), data.get());

  ASSERT_EQ(target.layers()->objectsCount(), 3);
  EXPECT_EQ(source.layers()->objectsCount(), 2);
  Layer* dropped = target.layer(1);
  EXPECT_EQ(dropped->image()->nsImage()->size(), QSizeF(40, 20));
  EXPECT_EQ(QPointF(dropped->xOrigin(), dropped->yOrigin()), QPointF(180, 140)) << "centred";
  target.layer(0)->setVisible(false);
  EXPECT_EQ(documentPixel(target.layers(), 200, 150), QColor(250, 130, 0));
  EXPECT_EQ(documentPixel(target.layers(), 100, 100), QColor(0, 0, 0));
}
