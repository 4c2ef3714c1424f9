#include <gtest/gtest.h>

#include <QTransform>

#include "CoreImageTestSupport.h"
#include "coreimage/ImageAccumulator.h"

using namespace citest;
using ci::Image;
using ci::ImageAccumulator;

namespace {

// Stamps a 40 × 40 square of `colour` with its corner at (x, y), source-over,
// the way brushes stamp dabs.
void stamp(ImageAccumulator& accumulator, int x, int y, RGBA colour) {
  const QRectF dab(x, y, 40, 40);
  const Image square =
      solidImage(40, 40, colour).imageByApplyingTransform(QTransform::fromTranslate(x, y));
  accumulator.setImage(square.imageByCompositingOverImage(accumulator.image()), dab);
}

}  // namespace

TEST(ImageAccumulator, SnapshotsStayUnchangedAfterLaterStamps) {
  ImageAccumulator accumulator(QRectF(0, 0, 300, 200), ci::kCIFormatRGBAf);
  EXPECT_EQ(accumulator.extent(), QRectF(0, 0, 300, 200));
  stamp(accumulator, 100, 100, {1, 0, 0, 1});
  const Image first = accumulator.image();
  const ci::PixelBuffer before = render(first, first.extent());

  const struct {
    int x, y;
    RGBA colour;
  } stamps[] = {{120, 120, {0, 0, 1, 1}}, {0, 0, {0, 0.5f, 0, 0.5f}}, {125, 95, {0, 1, 0, 1}}};
  for (const auto& s : stamps) stamp(accumulator, s.x, s.y, s.colour);

  EXPECT_EQ(maxDifference(render(first, first.extent()), before), 0.0f);
  const ci::PixelBuffer now = render(accumulator.image(), accumulator.extent());
  EXPECT_EQ(pixelAt(now, 105, 105).r, 1.0f);  // red, stamped first
  EXPECT_EQ(pixelAt(now, 150, 150).b, 1.0f);  // blue over it
  EXPECT_EQ(pixelAt(now, 130, 130).g, 1.0f);  // green last, on top
  EXPECT_NEAR(pixelAt(now, 10, 10).a, 0.5, 1.0 / 255);
  EXPECT_EQ(pixelAt(now, 250, 20).a, 0.0f);      // never touched
  EXPECT_EQ(pixelAt(before, 150, 150).b, 0.0f);  // the snapshot saw none of that
  saveRendered(accumulator.image(), accumulator.extent(), "accumulator-four-stamps");
}

TEST(ImageAccumulator, DirtyRectLimitsWhatChanges) {
  ImageAccumulator accumulator(QRectF(-50, -50, 400, 300), ci::kCIFormatRGBAf);
  const Image white = Image::imageWithColor(ci::Color(1, 1, 1));
  const struct {
    QRectF dirty;
    QPoint inside, outside;
  } cases[] = {{{0, 0, 10, 10}, {5, 5}, {10, 5}},
               {{200, 100, 130, 140}, {329, 239}, {199, 100}},
               {{-100, -100, 60, 60}, {-50, -50}, {-40, -40}}};
  for (const auto& c : cases) {
    accumulator.clear();
    accumulator.setImage(white, c.dirty);
    const ci::PixelBuffer out = render(accumulator.image(), accumulator.extent());
    EXPECT_EQ(pixelAt(out, c.inside.x(), c.inside.y()).a, 1.0f);
    EXPECT_EQ(pixelAt(out, c.outside.x(), c.outside.y()).a, 0.0f);
  }
  const Image kept = accumulator.image();
  accumulator.clear();
  EXPECT_EQ(pixelAt(render(accumulator.image(), QRectF(-50, -50, 1, 1)), -50, -50).a, 0.0f);
  EXPECT_EQ(pixelAt(render(kept, QRectF(-50, -50, 1, 1)), -50, -50).a, 1.0f);
}

TEST(ImageAccumulator, WholeImageReplacementAndEightBitStorage) {
  ImageAccumulator floats(QRectF(0, 0, 10, 10), ci::kCIFormatRGBAf);
  ImageAccumulator bytes(QRectF(0, 0, 10, 10), ci::kCIFormatRGBA8);
  const Image grey = Image::imageWithColor(ci::Color(0.3, 0.3, 0.3, 1));
  floats.setImage(grey);
  bytes.setImage(grey);
  EXPECT_FLOAT_EQ(pixelAt(render(floats.image(), QRectF(0, 0, 10, 10)), 9, 9).r, 0.3f);
  EXPECT_FLOAT_EQ(pixelAt(render(bytes.image(), QRectF(0, 0, 10, 10)), 9, 9).r, 77 / 255.0f);
  EXPECT_EQ(floats.image().extent(), QRectF(0, 0, 10, 10));
}
