#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "TestSupport.h"
#include "coredata/ManagedObjectContext.h"
#include "graphics/BitmapImageRep.h"
#include "graphics/CGImage.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/Filter.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/Settings.h"

namespace {

struct Canvas {
  ModelDocument document;
  ComposedImage* composedImage = nullptr;
  Layer* layer = nullptr;
  explicit Canvas(QSizeF size = {40, 40}, QRectF placed = {10, 10, 20, 20}) {
    composedImage = document.context->insertNewObject<ComposedImage>("ComposedImage");
    composedImage->setSize(size);
    layer = Layer::createLayerWithComposedImage(composedImage, document.context.get(), true);
    layer->image()->setNsImage(solidImage(int(placed.width()), int(placed.height()), Qt::red));
    layer->setOrigin(placed.topLeft());
  }
  // The layer drawn as compositing draws it, over `dirty`.
  std::unique_ptr<gfx::GraphicsContext> draw(bool visibleIgnored, const QRectF& dirty) {
    auto context = gfx::GraphicsContext::bitmapContext(int(composedImage->width()),
                                                       int(composedImage->height()));
    gfx::CurrentContextScope scope(context.get());
    layer->drawIsForceQuartz(false, visibleIgnored, false, dirty);
    return context;
  }
};

}  // namespace

TEST(LayerDrawingTest, HiddenLayersAndMissedRectanglesDrawNothing) {
  struct Case {
    bool visible, visibleIgnored, accumulator;
    QRectF dirty;
    bool drawn;
  } cases[] = {
      {true, false, false, {0, 0, 40, 40}, true}, {false, false, false, {0, 0, 40, 40}, false},
      {false, true, false, {0, 0, 40, 40}, true}, {true, false, false, {0, 0, 5, 5}, false},
      {true, false, true, {0, 0, 5, 5}, true},  // painting shows wherever it happens
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.visible << c.visibleIgnored << c.accumulator);
    Canvas canvas;
    canvas.layer->setVisible(c.visible);
    if (c.accumulator) canvas.layer->prepareAccumulatorWithWorkingRect(QRectF(0, 0, 2, 2));
    auto drawn = canvas.draw(c.visibleIgnored, c.dirty);
    EXPECT_EQ(drawn->pixelColor(15, 15).alpha() > 0, c.drawn);
    EXPECT_EQ(drawn->pixelColor(5, 5).alpha(), 0);
  }
}

TEST(LayerDrawingTest, OpacityAndOperationApplyWhenCompositing) {
  struct Case {
    int operation;
    double alpha;
    QColor under, expected;
  } cases[] = {
      {2, 1.0, Qt::blue, Qt::red},
      {2, 0.5, Qt::blue, QColor(128, 0, 127)},
      {14, 1.0, QColor(255, 255, 0), QColor(255, 0, 0)},  // multiply
      {8, 1.0, Qt::blue, QColor(0, 0, 0, 0)},             // destination-out
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    Canvas canvas;
    Layer* under = Layer::createLayerWithComposedImage(canvas.composedImage,
                                                       canvas.document.context.get(), true);
    under->image()->setNsImage(solidImage(40, 40, c.under));
    canvas.layer->setCompositingOperation(c.operation);
    canvas.layer->setAlpha(c.alpha);
    gfx::ImagePtr flat = canvas.composedImage->finalImageKeepAlpha(true);
    ASSERT_TRUE(flat);
    EXPECT_TRUE(sameColor(pixelAt(flat, 15, 15), c.expected, 2))
        << pixelAt(flat, 15, 15).name(QColor::HexArgb).toStdString();
    EXPECT_TRUE(sameColor(pixelAt(flat, 2, 2), c.under));
  }
}

TEST(LayerDrawingTest, AccumulatorStampsShowAndBakeIntoTheImage) {
  Canvas canvas;
  Layer* layer = canvas.layer;
  EXPECT_TRUE(layer->emptyAccumulator());
  EXPECT_FALSE(layer->accumulatorImage().isNull());
  layer->prepareAccumulatorWithWorkingRect(QRectF(0, 0, 40, 40));
  layer->setAccumulatorCompositingOperation(2);
  // Two dabs, one beside the layer, one over it.
  ci::Image blue = ci::Image::imageWithColor(ci::Color(0, 0, 1, 1));
  layer->CIImageAccumulator()->setImage(blue, QRectF(0, 0, 5, 5));
  layer->CIImageAccumulator()->setImage(blue, QRectF(12, 12, 3, 3));
  auto drawn = canvas.draw(false, QRectF(0, 0, 40, 40));
  EXPECT_TRUE(sameColor(drawn->pixelColor(2, 2), Qt::blue));
  EXPECT_TRUE(sameColor(drawn->pixelColor(13, 13), Qt::blue));
  EXPECT_TRUE(sameColor(drawn->pixelColor(20, 20), Qt::red));

  layer->composeAccumulatorWithLayer();
  EXPECT_FALSE(layer->hasNotEmptyImageAccumulator());
  EXPECT_EQ(layer->origin(), QPointF(0, 0));
  gfx::ImagePtr baked = layer->image()->nsImage();
  ASSERT_TRUE(baked);
  EXPECT_EQ(baked->size(), QSizeF(40, 40));
  gfx::ImagePtr flat = canvas.composedImage->finalImageKeepAlpha(true);
  struct Probe {
    int x, y;
    QColor color;
  } probes[] = {
      {2, 2, Qt::blue}, {13, 13, Qt::blue}, {20, 20, Qt::red}, {35, 35, QColor(0, 0, 0, 0)}};
  for (const Probe& p : probes) EXPECT_TRUE(sameColor(pixelAt(flat, p.x, p.y), p.color)) << p.x;
}

TEST(LayerDrawingTest, BakingARotatedLayerKeepsItsLookAndResetsPlacement) {
  Canvas canvas(QSizeF(200, 200), QRectF(50, 75, 100, 50));
  Layer* layer = canvas.layer;
  layer->setRotationAngle(45);
  QRectF box = layer->clippingRect();
  gfx::ImagePtr before = canvas.composedImage->finalImageKeepAlpha(true);
  layer->composeAccumulatorWithLayer();
  EXPECT_EQ(layer->rotationAngle(), 0);
  EXPECT_EQ(layer->zoom(), 1);
  EXPECT_EQ(layer->origin(), box.topLeft());
  EXPECT_EQ(layer->image()->nsImage()->size(), box.size());
  gfx::ImagePtr after = canvas.composedImage->finalImageKeepAlpha(true);
  for (QPoint p : {QPoint(100, 100), QPoint(60, 60), QPoint(140, 140), QPoint(5, 5)})
    EXPECT_TRUE(sameColor(pixelAt(before, p.x(), p.y()), pixelAt(after, p.x(), p.y()), 1))
        << p.x() << "," << p.y();
}

TEST(LayerDrawingTest, BakingRemovesOnlyEnabledFilters) {
  Canvas canvas;
  auto* enabled = canvas.document.context->insertNewObject<Filter>("Filter");
  auto* disabled = canvas.document.context->insertNewObject<Filter>("Filter");
  disabled->setEnabled(false);
  canvas.layer->setFiltersArray({enabled, disabled});
  EXPECT_TRUE(enabled->enabled());
  int snapshots = 0;
  auto token = fnd::NotificationCenter::defaultCenter().addObserverForName(
      IMLayerSnapshotEventNotification, canvas.layer, nullptr,
      [&](const fnd::Notification&) { ++snapshots; });
  canvas.layer->composeAccumulatorWithLayer();
  fnd::NotificationCenter::defaultCenter().removeObserver(token);
  EXPECT_EQ(canvas.layer->filtersArray(), QList<Filter*>{disabled});
  EXPECT_EQ(snapshots, 1);
}

TEST(LayerDrawingTest, EraseAndFill) {
  const QColor clear(0, 0, 0, 0);
  struct Case {
    bool visible, fill, masked;
    QColor left, right;  // pixels at (15, 15) and (25, 25)
  } cases[] = {
      {true, false, false, clear, clear},
      {false, true, false, Qt::red, Qt::red},  // hidden: untouched
      {true, true, false, Qt::green, Qt::green},
      {true, false, true, clear, Qt::red},
      {true, true, true, Qt::green, Qt::red},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.visible << c.fill << c.masked);
    Canvas canvas;
    auto settings = std::make_shared<Settings>();
    settings->setColor1(Qt::green);
    canvas.composedImage->setSettings(settings);
    canvas.layer->setVisible(c.visible);
    // The mask is white over the left half of the canvas only.
    ci::Image mask = ima_maskWithPath(gfx::BezierPath::bezierPathWithRect(QRectF(0, 0, 20, 40)),
                                      QRectF(0, 0, 40, 40));
    if (c.fill && !c.masked)
      canvas.layer->fill();
    else
      canvas.layer->deleteWithMask(c.masked ? mask : ci::Image(), canvas.composedImage->rect(),
                                   c.fill);
    canvas.layer->setVisible(true);
    gfx::ImagePtr flat = canvas.composedImage->finalImageKeepAlpha(true);
    EXPECT_TRUE(sameColor(pixelAt(flat, 15, 15), c.left, 2));
    EXPECT_TRUE(sameColor(pixelAt(flat, 25, 25), c.right, 2));
  }
}

// A bake redraws only where the accumulator painted; every pixel of the
// layer must still come out as drawing the whole layer would make it.
TEST(LayerDrawingTest, BakingAPaintedPartMatchesDrawingTheWholeLayer) {
  struct Case {
    int operation;
    QRectF accumulator;
  } cases[] = {
      {2, {10, 10, 20, 20}},
      {8, {10, 10, 20, 20}},  // inside the layer: only the painting
      {2, {0, 0, 40, 40}},    // past it: the layer grows
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    Canvas canvas({40, 40}, {10, 10, 20, 20});
    Layer* layer = canvas.layer;
    QImage shades(20, 20, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x)
        shades.setPixel(x, y, qPremultiply(qRgba(x * 12, y * 12, 7, 40 + x * 10)));
    auto pixels = gfx::Image::make(QSizeF(20, 20));
    pixels->addRepresentation(gfx::BitmapImageRep::make(gfx::CGImage::make(shades)));
    layer->image()->setNsImage(pixels);
    layer->prepareAccumulatorWithWorkingRect(c.accumulator);
    layer->setAccumulatorCompositingOperation(c.operation);
    // Painted off-centre, so a part put back upside down would show.
    layer->CIImageAccumulator()->setImage(ci::Image::imageWithColor(ci::Color(0, 0.3, 0.5, 0.5)),
                                          QRectF(12, 13, 4, 9));
    const QImage expected = ima_bitmapRepresentation(layer->imageOfTransformedLayer())
                                ->cgImage()
                                ->qImage()
                                .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    layer->composeAccumulatorWithLayer();
    const QImage baked = ima_bitmapRepresentation(layer->image()->nsImage())
                             ->cgImage()
                             ->qImage()
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ASSERT_EQ(baked.size(), expected.size());
    int differing = 0;
    for (int y = 0; y < baked.height(); ++y)
      for (int x = 0; x < baked.width(); ++x)
        if (baked.pixel(x, y) != expected.pixel(x, y) && differing++ == 0)
          ADD_FAILURE() << "first difference at " << x << "," << y << ": " << std::hex
                        << baked.pixel(x, y) << " instead of " << expected.pixel(x, y);
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(layer->origin(), c.accumulator.topLeft());
  }
}
