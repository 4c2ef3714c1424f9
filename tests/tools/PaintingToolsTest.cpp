// The painting tools through the real canvas of a document window: strokes
// compared with dabs summed here from their definition, the eraser and the
// clone stamp by pixels, the selection keeping paint in, queued strokes
// losing nothing, and one undo per stroke.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTabletEvent>
#include <cmath>
#include <thread>

#include "TestSupport.h"
#include "ToolWindow.h"
#include "appkit/core/Beep.h"
#include "foundation/OperationQueue.h"
#include "foundation/UndoManager.h"
#include "foundation/UserDefaults.h"
#include "graphics/BitmapImageRep.h"
#include "graphics/CGImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "tools/IMCIEraserTool.h"
#include "tools/IMMagicEraser.h"
#include "tools/IMTamponTool.h"
#include "window/IMLayersArrayController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

const QString kPrecise = QStringLiteral("IMUseMorePreciseDrawingPreferenceKey");

// A layer's pixels in document coordinates (y up), premultiplied.
struct Pixels {
  QImage image;
  QPointF origin;
  explicit Pixels(Layer* layer) : origin(layer->origin()) {
    gfx::BitmapImageRepPtr rep = ima_bitmapRepresentation(layer->image()->nsImage());
    image = rep->cgImage()->toFormat(QImage::Format_ARGB32_Premultiplied);
  }
  // Red, green, blue, alpha, premultiplied, 0…255; clear outside.
  std::array<int, 4> at(int x, int y) const {
    const int column = x - int(origin.x()), row = image.height() - 1 - (y - int(origin.y()));
    if (column < 0 || row < 0 || column >= image.width() || row >= image.height()) return {};
    const QRgb p = image.pixel(column, row);
    return {qRed(p), qGreen(p), qBlue(p), qAlpha(p)};
  }
};

struct Dab {
  QPointF centre;
  double radius;
};

// The dabs source-over one another at the pixel's centre: each is the
// colour at its centre fading linearly to clear at its radius.
std::array<double, 4> summed(const std::vector<Dab>& dabs, const QColor& colour, int x, int y) {
  std::array<double, 4> acc{};
  const double c[4] = {colour.redF(), colour.greenF(), colour.blueF(), 1};
  for (const Dab& dab : dabs) {
    const double d = std::hypot(x + 0.5 - dab.centre.x(), y + 0.5 - dab.centre.y());
    const double t = dab.radius == 0 ? 1 : std::clamp(d / dab.radius, 0.0, 1.0);
    const double a = 1 - t;
    for (int k = 0; k < 4; ++k) acc[k] = c[k] * a + acc[k] * (1 - a);
  }
  return acc;
}

void expectNear(const std::array<int, 4>& got, const std::array<int, 4>& want, int tolerance) {
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(got[k], want[k], tolerance) << "component " << k;
}

// Undo brings back the layer's earlier pixels from their cache file.
void undoAndReload(ToolWindow& w, Layer* layer) {
  w.undoManager()->undo();
  Image* image = layer->image();
  EXPECT_TRUE(tst::spinUntil([&] { return image->localImageDate() == image->versionToken(); }));
}

void tablet(ToolWindow& w, QEvent::Type type, const QPointF& documentPoint, double pressure,
            Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  const QPointF at = w.widgetPointOf(documentPoint);
  const Qt::MouseButtons buttons = type == QEvent::TabletRelease ? Qt::NoButton : Qt::LeftButton;
  QTabletEvent event(type, QPointingDevice::primaryPointingDevice(), at,
                     w.canvas()->mapToGlobal(at), pressure, 0, 0, 0, 0, 0, modifiers,
                     Qt::LeftButton, buttons);
  QCoreApplication::sendEvent(w.canvas(), &event);
}

void stroke(ToolWindow& w, const std::vector<QPointF>& points,
            Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  w.press(points.front(), modifiers);
  for (size_t i = 1; i < points.size(); ++i) w.drag(points[i], modifiers);
  w.release(points.back(), modifiers);
}

void setBrush(ToolWindow& w, double size, const QColor& colour = Qt::black) {
  w.window->settings()->setPencilSize(size);
  w.window->settings()->setColor1(colour);
}

// Document pixel (x, y) of the pattern: every pixel its own colour.
QColor patternAt(int x, int y) { return QColor(x % 200, y % 200 + 50, 90); }

void fillWithPattern(Layer* layer, int width, int height) {
  QImage pixels(width, height, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels.setPixelColor(x, height - 1 - y, patternAt(x, y));
  layer->image()->setNsImage(gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels)));
}

}  // namespace

// Mouse-down, a drag at half pressure, then one at three quarters: stamps
// fall a quarter of the brush size apart, stop short of each drag's end,
// and take each event's pressure; one undo removes the stroke's new layer.
TEST(PaintingTools, StrokeMatchesDabsSummedFromTheirDefinition) {
  fnd::UserDefaults::standardUserDefaults().removeObjectForKey(kPrecise);
  ToolWindow w(false);
  ASSERT_TRUE(w.isOpen());
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMPencilTool>());
  const QColor colour = QColor::fromRgbF(0.8f, 0.2f, 0.4f);
  setBrush(w, 8, colour);
  w.layers()->setSelectionIndexes(fnd::IndexSet());  // the brush makes its own layer

  tablet(w, QEvent::TabletPress, {100, 100}, 1.0);
  tablet(w, QEvent::TabletMove, {120, 100}, 0.5);
  tablet(w, QEvent::TabletMove, {120, 112}, 0.75);
  tablet(w, QEvent::TabletMove, {132, 121}, 1.0);  // 15 long: 1.6 by 1.2 apart
  tablet(w, QEvent::TabletRelease, {132, 121}, 0);
  EXPECT_TRUE(fnd::UserDefaults::standardUserDefaults().hasKey(kPrecise));
  EXPECT_FALSE(fnd::UserDefaults::standardUserDefaults().boolForKey(kPrecise));
  ASSERT_EQ(w.layers()->objectsCount(), 4);
  Layer* painted = w.tools()->workingLayer();
  EXPECT_TRUE(painted->emptyAccumulator()) << "baked at mouse-up";

  std::vector<Dab> dabs{{{100, 100}, 8}};
  for (int k = 1; k <= 9; ++k) dabs.push_back({{100.0 + 2 * k, 100}, 4});
  for (int k = 1; k <= 5; ++k) dabs.push_back({{120, 100.0 + 2 * k}, 6});
  for (int k = 1; k <= 7; ++k) dabs.push_back({{120 + 1.6 * k, 112 + 1.2 * k}, 8});
  const Pixels pixels(painted);
  int worst = 0, touched = 0;
  for (int y = 85; y < 135; ++y)
    for (int x = 85; x < 145; ++x) {
      const std::array<double, 4> want = summed(dabs, colour, x, y);
      const std::array<int, 4> got = pixels.at(x, y);
      for (int k = 0; k < 4; ++k)
        worst = std::max(worst, std::abs(got[k] - int(std::lround(want[k] * 255))));
      touched += got[3] > 0;
    }
  EXPECT_LE(worst, 2) << "largest difference from the summed dabs, of 255";
  EXPECT_GT(touched, 300);
  EXPECT_EQ(pixels.at(134, 128)[3], 0) << "no stamp at the drag's end point";

  tst::saveArtifactImage(w.canvas()->grab().toImage(), "brush-stroke-canvas.png");
  w.undoManager()->undo();
  EXPECT_EQ(w.layerNames(), QStringList({"Bar", "Sun", "Ground"}));
}

// A brush of size 1 paints whole pixels of colour 1; a selection keeps the
// paint inside it; a click outside the canvas beeps and the drag that
// follows paints nothing.
TEST(PaintingTools, SizeOneSelectionAndClicksOutside) {
  ToolWindow w(false);
  ASSERT_TRUE(w.isOpen());
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMPencilTool>());
  w.layers()->setSelectionIndex(2);
  Layer* ground = w.layerNamed("Ground");
  setBrush(w, 1, QColor(255, 255, 0));
  const std::array<int, 4> green{40, 170, 70, 255}, yellow{255, 255, 0, 255};
  stroke(w, {{10.5, 10.5}});
  Pixels one(ground);
  expectNear(one.at(10, 10), yellow, 1);
  for (QPoint beside : {QPoint(11, 10), QPoint(9, 10), QPoint(10, 11), QPoint(10, 9)})
    EXPECT_EQ(one.at(beside.x(), beside.y()), green);
  stroke(w, {{30.5, 10.5}, {30.5, 20.5}});
  Pixels line(ground);
  for (int y = 10; y <= 20; ++y) expectNear(line.at(30, y), yellow, 3);
  EXPECT_EQ(line.at(31, 15), green);
  EXPECT_EQ(line.at(30, 21), green);

  setBrush(w, 10, QColor(255, 255, 255));
  w.tools()->setRectSelectedRect(QRectF(100, 100, 50, 20));
  stroke(w, {{110, 115}, {145, 115}, {170, 115}});
  Pixels selected(ground);
  expectNear(selected.at(125, 115), {255, 255, 255, 255}, 2);
  EXPECT_NE(selected.at(149, 115), green);
  EXPECT_NE(selected.at(125, 119), green);
  EXPECT_EQ(selected.at(150, 115), green);
  EXPECT_EQ(selected.at(125, 120), green);
  EXPECT_EQ(selected.at(99, 115), green);
  w.tools()->deselect();

  int beeps = 0;
  ui::setBeepHandler([&] { ++beeps; });
  stroke(w, {{-50, 150}, {200, 150}, {220, 150}});
  ui::setBeepHandler(nullptr);
  EXPECT_EQ(beeps, 1);
  EXPECT_EQ(Pixels(ground).at(200, 150), green);
}

// The eraser takes away alpha as the white dabs would cover; the clone
// stamp paints from the Option-clicked source, and the next stroke keeps
// the offset of the first.
TEST(PaintingTools, EraserAndCloneStampByPixels) {
  ToolWindow w(false);
  ASSERT_TRUE(w.isOpen());
  w.layers()->setSelectionIndex(2);
  Layer* ground = w.layerNamed("Ground");
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMCIEraserTool>());
  setBrush(w, 10);
  stroke(w, {{30, 250}, {70, 250}});
  std::vector<Dab> dabs{{{30, 250}, 10}};
  for (int k = 1; k <= 15; ++k) dabs.push_back({{30.0 + 2.5 * k, 250}, 10});
  const Pixels erased(ground);
  int worst = 0;
  for (int y = 235; y < 265; ++y)
    for (int x = 15; x < 85; ++x) {
      const double left = 1 - summed(dabs, Qt::white, x, y)[3];
      worst = std::max(worst, std::abs(erased.at(x, y)[3] - int(std::lround(left * 255))));
    }
  EXPECT_LE(worst, 2);
  EXPECT_EQ(erased.at(50, 250)[3], 0);
  undoAndReload(w, ground);
  EXPECT_EQ(Pixels(ground).at(50, 250)[3], 255);

  fillWithPattern(ground, 400, 300);
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMTamponTool>());
  auto* tampon = w.tools()->toolForClass<IMTamponTool>();
  setBrush(w, 10);
  stroke(w, {{100, 100}, {100, 100}}, Qt::AltModifier);
  EXPECT_EQ(tampon->toCopyCenter(), QPointF(100, 100));
  stroke(w, {{300, 120}});
  stroke(w, {{310, 130}});
  const Pixels cloned(ground);
  // Near each click the stamp is nearly whole: source and target blended
  // by the mask at the pixel's centre.
  for (QPoint target : {QPoint(300, 120), QPoint(310, 130), QPoint(303, 118)}) {
    const QPointF centre = target.x() < 305 ? QPointF(300, 120) : QPointF(310, 130);
    const double m =
        1 - std::hypot(target.x() + 0.5 - centre.x(), target.y() + 0.5 - centre.y()) / 10;
    const QColor from = patternAt(target.x() - 200, target.y() - 20);
    const QColor was = patternAt(target.x(), target.y());
    const std::array<int, 4> got = cloned.at(target.x(), target.y());
    EXPECT_NEAR(got[0], m * from.red() + (1 - m) * was.red(), 2) << target.x();
    EXPECT_NEAR(got[1], m * from.green() + (1 - m) * was.green(), 2) << target.x();
  }
  const QColor far = patternAt(330, 120);
  EXPECT_EQ(cloned.at(330, 120), (std::array<int, 4>{far.red(), far.green(), far.blue(), 255}));
}

// With the queued mode and a painter busy elsewhere on the shared queue,
// twenty quick strokes all arrive, pixel for pixel as the direct mode
// paints them, and each is one undo step.
TEST(PaintingTools, QueuedStrokesLoseNothingAndUndoOneByOne) {
  auto paint = [](ToolWindow& w, int from, int to) {
    for (int i = from; i < to; ++i) {
      IMCITool::drawingOperationQueue()->addOperationWithBlock(
          [] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); });
      stroke(w, {{20, 20.0 + 13 * i}, {60, 24.0 + 13 * i}, {90, 20.0 + 13 * i}});
    }
  };
  QImage after19, after20, before;
  {
    fnd::UserDefaults::standardUserDefaults().setBool(false, kPrecise);
    ToolWindow direct(false);
    ASSERT_TRUE(direct.isOpen());
    ASSERT_TRUE(direct.tools()->selectToolOfClass<IMPencilTool>());
    direct.layers()->setSelectionIndex(2);
    setBrush(direct, 6, Qt::red);
    before = Pixels(direct.layerNamed("Ground")).image;
    paint(direct, 0, 19);
    after19 = Pixels(direct.layerNamed("Ground")).image;
    paint(direct, 19, 20);
    after20 = Pixels(direct.layerNamed("Ground")).image;
  }
  fnd::UserDefaults::standardUserDefaults().setBool(true, kPrecise);
  ToolWindow w(false);
  ASSERT_TRUE(w.isOpen());
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMPencilTool>());
  w.layers()->setSelectionIndex(2);
  setBrush(w, 6, Qt::red);
  Layer* ground = w.layerNamed("Ground");
  const bool couldUndo = w.undoManager()->canUndo();
  paint(w, 0, 20);
  ASSERT_TRUE(tst::spinUntil([&] {
    return ground->emptyAccumulator() && IMCITool::drawingOperationQueue()->operationCount() == 0 &&
           w.undoManager()->groupingLevel() == 0;
  }));
  tst::spinOnce();
  fnd::UserDefaults::standardUserDefaults().setBool(false, kPrecise);
  EXPECT_TRUE(Pixels(ground).image == after20);
  w.canvas()->repaint();
  tst::saveArtifactImage(w.canvas()->grab().toImage(), "brush-twenty-queued-strokes-canvas.png");
  undoAndReload(w, ground);
  EXPECT_TRUE(Pixels(ground).image == after19);
  for (int i = 0; i < 19; ++i) undoAndReload(w, ground);
  EXPECT_TRUE(Pixels(ground).image == before);
  EXPECT_EQ(w.undoManager()->canUndo(), couldUndo);
}

// A click removes the clicked colour only, a drag as long as the layer's
// diagonal removes every colour within closeness 1, other colours and the
// layer's border stay whole, a click beside the layer's pixels beeps, and
// one undo gives back the layer.
TEST(PaintingTools, BackgroundEraserRemovesCloseColours) {
  ToolWindow w(false);
  ASSERT_TRUE(w.isOpen());
  w.layers()->setSelectionIndex(0);
  Layer* bar = w.layerNamed("Bar");  // 300 x 40 at (50, 20)
  QImage stripes(300, 40, QImage::Format_ARGB32_Premultiplied);
  for (int x = 0; x < 300; ++x)
    for (int y = 0; y < 40; ++y)
      stripes.setPixelColor(x, y,
                            x < 100   ? QColor(0, 0, 255)
                            : x < 200 ? QColor(0, 0, 128)
                                      : Qt::red);
  bar->image()->setNsImage(gfx::Image::imageWithCGImage(gfx::CGImage::make(stripes)));
  tst::spinOnce();  // the stripes are an undo step of their own
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMMagicEraser>());
  auto* eraser = w.tools()->toolForClass<IMMagicEraser>();

  int beeps = 0;
  ui::setBeepHandler([&] { ++beeps; });
  stroke(w, {{100, 20}});  // the layer's bottom row
  EXPECT_EQ(beeps, 0);
  EXPECT_DOUBLE_EQ(eraser->closeness(), 0.01);
  Pixels click(bar);
  for (int x : {55, 100, 145}) EXPECT_EQ(click.at(x, 40)[3], 0) << x;
  for (int x : {155, 200, 300, 349}) EXPECT_EQ(click.at(x, 40)[3], 255) << x;
  EXPECT_EQ(click.at(349, 59), (std::array<int, 4>{255, 0, 0, 255})) << "the border stays";

  w.press({150, 40});
  w.drag({-250, 40});
  EXPECT_DOUBLE_EQ(eraser->closeness(), 1);
  w.release({-250, 40});
  tst::spinOnce();
  Pixels dragged(bar);
  EXPECT_EQ(dragged.at(175, 40)[3], 0);
  EXPECT_EQ(dragged.at(300, 40), (std::array<int, 4>{255, 0, 0, 255}));

  stroke(w, {{10, 10}});
  ui::setBeepHandler(nullptr);
  EXPECT_EQ(beeps, 1);
  EXPECT_TRUE(Pixels(bar).image == dragged.image);

  undoAndReload(w, bar);
  EXPECT_EQ(Pixels(bar).at(175, 40), (std::array<int, 4>{0, 0, 128, 255}));
  EXPECT_EQ(Pixels(bar).at(100, 40)[3], 0) << "the click before is a step of its own";
}
