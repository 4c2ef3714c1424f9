// The drawing path of flattening and of the canvas against an independent
// reference: each layer rendered onto the canvas by the render engine (its
// own sampler, filters and text pixels), composited in float with the
// operation's formula and rounded to 8 bits after each layer, as an 8-bit
// canvas holds it. Every operation, opacity, rotation, a filtered and a text
// layer; a whole flatten and a dirty rectangle at an odd offset of a canvas.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>

#include "ModelTestSupport.h"
#include "coreimage/Context.h"
#include "graphics/AttributedString.h"
#include "graphics/CompositingOperation.h"
#include "graphics/Font.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/Filter.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/TextLayer.h"

namespace {

constexpr int kWidth = 61, kHeight = 47;
const QRectF kCanvas(0, 0, kWidth, kHeight);
const QRectF kDirty(13, 9, 21, 17);  // odd offset and size, y up

// Premultiplied ARGB32 pixels with every level of alpha across them.
gfx::ImagePtr patternImage(int w, int h, int seed) {
  QImage pixels(w, h, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int a = (x * 37 + y * 11 + seed * 50) % 256;
      pixels.setPixel(x, y,
                      qRgba((x * 9 + seed * 70) % 256 * a / 255, (y * 13 + seed) % 256 * a / 255,
                            ((x + y) * 7 + seed * 30) % 256 * a / 255, a));
    }
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

// A layer's look on the canvas by the render engine, as 8-bit premultiplied
// floats (top row first), with its coverage (alpha of its outline alone).
struct Placed {
  std::vector<float> rgba, coverage;
};

std::vector<float> renderCanvas(const ci::Image& image) {
  gfx::CGImagePtr pixels =
      ci::Context().createCGImage(image.imageByCroppingToRect(kCanvas), kCanvas);
  QImage argb = pixels->toFormat(QImage::Format_ARGB32_Premultiplied);
  std::vector<float> out;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const QRgb p = argb.pixel(x, y);
      for (int c : {qRed(p), qGreen(p), qBlue(p), qAlpha(p)}) out.push_back(c / 255.0f);
    }
  return out;
}

Placed placed(Layer* layer, const ci::Image& content, const QRectF& bounds) {
  const QTransform toCanvas = layer->transformation().toQTransform();
  Placed result;
  result.rgba = renderCanvas(content.imageByApplyingTransform(toCanvas));
  const ci::Image outline =
      ci::Image::imageWithColor(ci::Color(1, 1, 1, 1)).imageByCroppingToRect(bounds);
  result.coverage = renderCanvas(outline.imageByApplyingTransform(toCanvas));
  return result;
}

Placed placedLayer(Layer* layer) {
  const QRectF bounds = layer->boundsForceNoFilters(false, true);
  ci::Image content;
  if (auto* text = dynamic_cast<TextLayer*>(layer))
    content = text->ciImage();
  else if (!layer->filteredCIImage().isNull())
    content = layer->filteredCIImage().imageByCroppingToRect(bounds);
  else
    content = ima_ciImage(layer->image()->nsImage());
  return placed(layer, content, bounds);
}

void compositeReference(std::vector<float>& canvas, const Placed& layer,
                        gfx::CompositingOperation op, float alpha) {
  // Outside its outline a layer leaves the canvas alone.
  std::vector<float> coverage;
  for (size_t i = 3; i < layer.coverage.size(); i += 4) coverage.push_back(layer.coverage[i]);
  gfx::compositePixelsWithCoverage(op, layer.rgba.data(), canvas.data(), coverage.data(),
                                   kWidth * kHeight, alpha);
  for (float& v : canvas) v = std::round(v * 255) / 255;
}

struct Case {
  const char* what;
  int operation;
  double alpha;
  double rotation;
  enum { Plain, Filtered, Text } kind;
};

std::vector<Case> cases() {
  std::vector<Case> all;
  for (int op = 0; op < gfx::CompositingOperationCount; ++op)
    for (double alpha : {1.0, 0.6}) all.push_back({"operation", op, alpha, 0, Case::Plain});
  all.push_back({"rotated", 2, 0.8, 30, Case::Plain});
  all.push_back({"rotated multiply", 14, 1.0, -15, Case::Plain});
  all.push_back({"filtered", 16, 0.7, 0, Case::Filtered});
  all.push_back({"text", 2, 0.7, 0, Case::Text});
  return all;
}

}  // namespace

TEST(ComposedImageDrawingTest, FlattenAndDirtyRectanglesMatchTheReference) {
  Filter::loadFilters();
  for (const Case& c : cases()) {
    SCOPED_TRACE(testing::Message() << c.what << " " << c.operation << " alpha " << c.alpha);
    ModelDocument document;
    auto* composed = document.context->insertNewObject<ComposedImage>("ComposedImage");
    composed->setSize(kCanvas.size());
    Layer* bottom = Layer::createLayerWithComposedImage(composed, document.context.get(), true);
    bottom->image()->setNsImage(patternImage(kWidth, kHeight, 1));
    Layer* top = nullptr;
    if (c.kind == Case::Text) {
      auto* text = TextLayer::createLayerWithComposedImage(composed, document.context.get(), true);
      text->setAttributedString(gfx::AttributedString("Tg", gfx::Font("DejaVu Sans", 24)));
      top = text;
    } else {
      top = Layer::createLayerWithComposedImage(composed, document.context.get(), true);
      top->image()->setNsImage(patternImage(40, 30, 2));
    }
    top->setOrigin(QPointF(7, 5));
    top->setCompositingOperation(c.operation);
    top->setAlpha(c.alpha);
    if (c.rotation != 0) top->setRotationAngle(c.rotation);
    if (c.kind == Case::Filtered) {
      Filter* blur = Filter::createFilterWithName("CIGaussianBlur", document.context.get());
      ASSERT_NE(blur, nullptr);
      top->addFiltersArray({blur}, 0);
    }
    drainImageWork(document);
    // Index 0 is drawn last, on top.
    composed->setLayersArray({top, bottom});

    std::vector<float> reference(size_t(kWidth) * kHeight * 4, 0.0f);
    compositeReference(reference, placedLayer(bottom), gfx::CompositingOperation::SourceOver, 1);
    const Placed upper = placedLayer(top);
    // Text keeps to its two blends whatever the layer's operation.
    gfx::CompositingOperation op = gfx::CompositingOperation(c.operation);
    if (c.kind == Case::Text)
      op = c.operation == 7 ? gfx::CompositingOperation::DestinationOut
                            : gfx::CompositingOperation::SourceOver;
    compositeReference(reference, upper, op, float(c.alpha));

    // Where the engine's outline is partly covered, edges are antialiased
    // by area on the drawing path and by filtering here: those pixels and
    // their neighbours are left out.
    auto nearEdge = [&](int x, int y) {
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int xx = std::clamp(x + dx, 0, kWidth - 1), yy = std::clamp(y + dy, 0, kHeight - 1);
          const float cover = upper.coverage[(size_t(yy) * kWidth + xx) * 4 + 3];
          if (cover > 0 && cover < 1) return true;
        }
      return false;
    };
    auto expectReference = [&](const QImage& got, const QRectF& area, const QColor& outside,
                               const char* path) {
      int worst = 0, checked = 0;
      for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
          const int yUp = kHeight - 1 - y;
          const bool inside = area.contains(QPointF(x + 0.5, yUp + 0.5));
          const QRgb p = got.pixel(x, y);
          const int channels[4] = {qRed(p), qGreen(p), qBlue(p), qAlpha(p)};
          for (int i = 0; i < 4; ++i) {
            const float* want = &reference[(size_t(y) * kWidth + x) * 4];
            const int expected = inside ? int(std::lround(want[i] * 255))
                                        : (i == 0   ? outside.red()
                                           : i == 1 ? outside.green()
                                           : i == 2 ? outside.blue()
                                                    : outside.alpha());
            if (inside && nearEdge(x, y)) continue;
            worst = std::max(worst, std::abs(channels[i] - expected));
            ++checked;
          }
        }
      EXPECT_LE(worst, 1) << path;
      EXPECT_GT(checked, 400) << path;
    };

    // A whole flatten.
    gfx::ImagePtr flat = composed->finalImageKeepAlpha(true);
    ASSERT_TRUE(flat);
    QRectF whole = kCanvas;
    expectReference(flat->CGImageForProposedRect(&whole, nullptr)
                        ->toFormat(QImage::Format_ARGB32_Premultiplied),
                    kCanvas, Qt::transparent, "flatten");

    // A canvas redrawing one dirty rectangle: nothing beyond it changes.
    auto canvas = gfx::GraphicsContext::bitmapContext(kWidth, kHeight);
    const QColor marker(10, 200, 30);
    canvas->fillRect(kCanvas, marker, gfx::CompositingOperation::Copy);
    {
      gfx::CurrentContextScope scope(canvas.get());
      canvas->saveGState();
      canvas->clipToRect(kDirty);
      canvas->fillRect(kDirty, Qt::transparent, gfx::CompositingOperation::Copy);
      composed->compositeImageInRect(kDirty, false, false);
      canvas->restoreGState();
    }
    expectReference(*canvas->bitmap(), kDirty, marker, "dirty rectangle");
  }
}
