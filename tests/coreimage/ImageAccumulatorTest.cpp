#include <gtest/gtest.h>

#include <QTransform>
#include <cmath>
#include <cstring>
#include <random>

#include "CoreImageTestSupport.h"
#include "coreimage/Filter.h"
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

// A soft round dab: premultiplied colour fading to clear towards the rim.
RGBA softDab(int x, int y, int size, RGBA colour) {
  const double r = std::hypot(x + 0.5 - size / 2.0, y + 0.5 - size / 2.0) / (size / 2.0);
  const float a = float(std::clamp(1.0 - r, 0.0, 1.0));
  return {colour.r * a, colour.g * a, colour.b * a, colour.a * a};
}

// The accumulator's pixels worked out by hand: dabs source-over a plain grid.
struct Reference {
  ci::IRect bounds;
  std::vector<RGBA> pixels;
  explicit Reference(const ci::IRect& r) : bounds(r), pixels(size_t(r.area()), RGBA{0, 0, 0, 0}) {}
  void stamp(int x0, int y0, int size, RGBA colour) {
    for (int y = std::max(y0, bounds.y); y < std::min(y0 + size, bounds.top()); ++y)
      for (int x = std::max(x0, bounds.x); x < std::min(x0 + size, bounds.right()); ++x) {
        const RGBA s = softDab(x - x0, y - y0, size, colour);
        RGBA& d = pixels[size_t((y - bounds.y) * bounds.w + (x - bounds.x))];
        const float k = 1.0f - s.a;
        d = {s.r + d.r * k, s.g + d.g * k, s.b + d.b * k, s.a + d.a * k};
      }
  }
  float difference(const ci::PixelBuffer& out) const {
    float most = 0;
    for (int y = bounds.y; y < bounds.top(); ++y)
      for (int x = bounds.x; x < bounds.right(); ++x) {
        const RGBA e = pixels[size_t((y - bounds.y) * bounds.w + (x - bounds.x))];
        const RGBA o = pixelAt(out, x, y);
        most = std::max({most, std::abs(o.r - e.r), std::abs(o.g - e.g), std::abs(o.b - e.b),
                         std::abs(o.a - e.a)});
      }
    return most;
  }
};

}  // namespace

// Dabs of random colours at random places, some across the edge, with
// snapshots kept at several moments of the stroke: the accumulator and
// every snapshot hold what stamping by hand gives at that moment.
TEST(ImageAccumulator, StampsMatchAReferenceAndEverySnapshotKeepsItsMoment) {
  const ci::IRect bounds{-20, -10, 300, 200};
  constexpr int kSize = 40;
  ImageAccumulator accumulator(bounds.toRectF(), ci::kCIFormatRGBAf);
  Reference reference(bounds);
  std::mt19937 random(7);
  std::vector<std::pair<Image, Reference>> kept;
  for (int i = 0; i < 60; ++i) {
    const int x = bounds.x - kSize / 2 + int(random() % 320),
              y = bounds.y - kSize / 2 + int(random() % 220);
    const RGBA colour{float(random() % 256) / 255, float(random() % 256) / 255,
                      float(random() % 256) / 255, 1};
    const float alpha = float(random() % 256) / 255;
    const RGBA c{colour.r * alpha, colour.g * alpha, colour.b * alpha, alpha};
    const Image dab = functionImage(kSize, kSize, [&](int dx, int dy) {
                        return softDab(dx, dy, kSize, c);
                      }).imageByApplyingTransform(QTransform::fromTranslate(x, y));
    accumulator.setImage(dab.imageByCompositingOverImage(accumulator.image()),
                         QRectF(x, y, kSize, kSize));
    reference.stamp(x, y, kSize, c);
    if (i == 0 || i == 9 || i == 10 || i == 41) kept.emplace_back(accumulator.image(), reference);
  }
  EXPECT_LE(reference.difference(render(accumulator.image(), bounds.toRectF())), 1e-5f);
  for (const auto& [snapshot, then] : kept)
    EXPECT_LE(then.difference(render(snapshot, bounds.toRectF(), 64)), 1e-5f);
}

// A stroke stamped the way brushes stamp (a dab composited over the
// accumulator's own image, composited in place) against the same dabs
// composited over a copy of the pixels, which takes the general render
// path. Dabs sit at fractional places, cross the edge, are cut by dirty
// rectangles smaller than themselves, and some read the accumulator
// (smudging); recipes held by the caller keep showing their moment.
TEST(ImageAccumulator, StampsInPlaceMatchTheGeneralCompositingAndKeepOutsideTheDirtyRect) {
  const ci::IRect bounds{-20, -10, 300, 200};
  const QRectF extent = bounds.toRectF();
  constexpr int kSize = 40;
  ImageAccumulator inPlace(extent, ci::kCIFormatRGBAf), general(extent, ci::kCIFormatRGBAf);
  std::mt19937 random(11);
  std::vector<std::pair<Image, Image>> heldRecipes;
  for (int i = 0; i < 48; ++i) {
    const QPointF at(bounds.x - kSize / 2 + int(random() % 320) + (i % 3) * 0.25,
                     bounds.y - kSize / 2 + int(random() % 220) + (i % 4) * 0.5);
    const RGBA c{float(random() % 256) / 255, 0.2f, float(random() % 256) / 255, 1};
    const float alpha = float(random() % 256) / 255;
    Image dab = functionImage(kSize, kSize, [&](int dx, int dy) {
      return softDab(dx, dy, kSize, {c.r * alpha, c.g * alpha, c.b * alpha, alpha});
    });
    const auto placed = [&](const Image& own) {
      // Every fifth dab smears what lies beside it instead of a colour.
      if (i % 5 == 4)
        return own.imageByCroppingToRect(QRectF(at.x() + 7, at.y() + 3, kSize, kSize))
            .imageByApplyingTransform(QTransform::fromTranslate(-7, -3));
      return dab.imageByApplyingTransform(QTransform::fromTranslate(at.x(), at.y()));
    };
    // Some dirty rectangles cut the dab in half, one reaches past it.
    QRectF dirty(at, QSizeF(kSize, kSize));
    if (i % 4 == 1) dirty.setWidth(kSize / 2);
    if (i % 7 == 3) dirty.adjust(-10, -10, 10, 10);
    const ci::PixelBuffer before = render(inPlace.image(), extent);
    const Image copy = Image::imageWithBuffer(render(general.image(), extent));
    if (i % 6 == 2) {
      const Image recipe = placed(inPlace.image()).imageByCompositingOverImage(inPlace.image());
      inPlace.setImage(recipe, dirty);
      heldRecipes.emplace_back(recipe, placed(copy).imageByCompositingOverImage(copy));
    } else {
      inPlace.setImage(placed(inPlace.image()).imageByCompositingOverImage(inPlace.image()), dirty);
    }
    general.setImage(placed(copy).imageByCompositingOverImage(copy), dirty);

    const ci::PixelBuffer after = render(inPlace.image(), extent);
    const ci::IRect changed = ci::IRect::covering(dirty);
    int changedOutside = 0;
    for (int y = bounds.y; y < bounds.top(); ++y)
      for (int x = bounds.x; x < bounds.right(); ++x)
        if (!changed.contains(ci::IRect{x, y, 1, 1}) &&
            std::memcmp(after.pixel(x, y), before.pixel(x, y), 16) != 0)
          ++changedOutside;
    EXPECT_EQ(changedOutside, 0) << "dab " << i;
    EXPECT_LE(maxDifference(after, render(general.image(), extent)), 1e-6f) << "dab " << i;
  }
  for (const auto& [recipe, expected] : heldRecipes)
    EXPECT_LE(maxDifference(render(recipe, extent), render(expected, extent)), 1e-6f);
}

// A canvas redraws dirty rectangles of the accumulator straight into its
// bitmap: the bytes match those of the same pixels rendered through the
// general path (a crop hides where they come from), for rectangles across
// tiles and the edge, for snapshots older than later stamps, in every format.
TEST(ImageAccumulator, DirtyRectanglesDrawnToBitmapsMatchTheGeneralRender) {
  const QRectF extent(-20, -10, 300, 200);
  ImageAccumulator accumulator(extent, ci::kCIFormatRGBAf);
  stamp(accumulator, 100, 100, {0.8f, 0.1f, 0, 0.9f});
  const Image older = accumulator.image();
  stamp(accumulator, 110, 90, {0, 0.3f, 0.4f, 0.5f});
  stamp(accumulator, 240, 150, {0.2f, 0.2f, 0.6f, 1});
  const ci::Context context;
  const QRectF rects[] = {
      {100, 100, 40, 40}, {90, 80, 60, 75}, {230, 140, 60, 60}, {-30, -20, 50, 40}};
  for (const Image& image : {accumulator.image(), older})
    for (const QRectF& rect : rects)
      for (ci::Format format : {ci::kCIFormatRGBA8, ci::kCIFormatBGRA8, ci::kCIFormatRGBAf}) {
        const ptrdiff_t rowBytes = ptrdiff_t(rect.width() * ci::bytesPerPixel(format));
        QByteArray direct(int(rowBytes * rect.height()), 'x'), general(direct.size(), 'y');
        ASSERT_TRUE(context.render(image, direct.data(), rowBytes, rect, format));
        ASSERT_TRUE(context.render(image.imageByCroppingToRect(extent), general.data(), rowBytes,
                                   rect, format));
        EXPECT_EQ(direct, general) << rect.x() << "," << rect.y() << " format " << int(format);
      }
}

// Large changes under a held snapshot: the whole extent at once, and more
// kept pixels than the accumulator holds on to (it moves to a copy).
TEST(ImageAccumulator, SnapshotsSurviveWholeReplacementAndLongStrokes) {
  const QRectF extent(0, 0, 1200, 1200);
  ImageAccumulator accumulator(extent, ci::kCIFormatRGBAf);
  accumulator.setImage(Image::imageWithColor(ci::Color(1, 0, 0, 1)));
  const Image red = accumulator.image();
  const float greys[] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f};
  for (float grey : greys)
    accumulator.setImage(Image::imageWithColor(ci::Color(grey, grey, grey, 1)),
                         QRectF(50, 50, 1100, 1100));
  const ci::PixelBuffer now = render(accumulator.image(), extent);
  EXPECT_FLOAT_EQ(pixelAt(now, 600, 600).r, 0.5f);
  EXPECT_FLOAT_EQ(pixelAt(now, 10, 10).r, 1.0f);
  EXPECT_FLOAT_EQ(pixelAt(render(red, extent), 600, 600).g, 0.0f);
  EXPECT_FLOAT_EQ(pixelAt(render(red, extent), 600, 600).r, 1.0f);
  // Dabs as large as the extent stamped over the accumulator's own image,
  // while snapshots live, past the budget as well.
  const Image veil = solidImage(1100, 1100, {0.25f, 0.1f, 0, 0.5f})
                         .imageByApplyingTransform(QTransform::fromTranslate(50, 50));
  const float s = pixelAt(render(veil, QRectF(50, 50, 1, 1)), 50, 50).g,
              k = 1 - pixelAt(render(veil, QRectF(50, 50, 1, 1)), 50, 50).a;
  float expected = 0.5f;
  Image midway;
  for (int i = 0; i < 8; ++i) {
    accumulator.setImage(veil.imageByCompositingOverImage(accumulator.image()),
                         QRectF(50, 50, 1100, 1100));
    expected = s + expected * k;
    if (i == 1) midway = accumulator.image();
  }
  EXPECT_FLOAT_EQ(pixelAt(render(accumulator.image(), extent), 600, 600).g, expected);
  EXPECT_FLOAT_EQ(pixelAt(render(midway, extent), 600, 600).g, s + (s + 0.5f * k) * k);
  EXPECT_FLOAT_EQ(pixelAt(render(red, extent), 600, 600).r, 1.0f);
  accumulator.setImage(Image::imageWithColor(ci::Color(0, 0, 1, 1)));
  EXPECT_FLOAT_EQ(pixelAt(render(red, QRectF(0, 0, 1, 1)), 0, 0).r, 1.0f);
  EXPECT_FLOAT_EQ(pixelAt(render(accumulator.image(), QRectF(0, 0, 1, 1)), 0, 0).b, 1.0f);
}

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

// The dabs of one mouse step stamped together (rendered side by side, rows
// composited band by band) give the very bits of the same dabs stamped one
// after another: dabs across tiles, cut by the dirty rectangle, reading the
// accumulator's own pixels from before the step, under a snapshot held
// through the step (which keeps its moment), and in 8-bit storage.
TEST(ImageAccumulator, DabsOfOneStepStampedTogetherMatchThemStampedOneByOne) {
  struct Case {
    const char* name;
    ci::Format format;
    bool holdSnapshot, smudge, cutByDirtyRect;
    int size = 100;  // large dabs spread over the workers
  };
  const Case cases[] = {{"plain", ci::kCIFormatRGBAf, false, false, false},
                        {"held snapshot", ci::kCIFormatRGBAf, true, false, false},
                        {"smudging", ci::kCIFormatRGBAf, false, true, false},
                        {"cut", ci::kCIFormatRGBAf, true, false, true},
                        {"8-bit", ci::kCIFormatRGBA8, false, false, false},
                        {"large", ci::kCIFormatRGBAf, false, true, false, 400},
                        {"large, held and cut", ci::kCIFormatRGBAf, true, false, true, 400}};
  const ci::IRect bounds{-30, -20, 520, 380};
  const QRectF extent = bounds.toRectF();
  for (const Case& c : cases) {
    const int size = c.size;
    ImageAccumulator together(extent, c.format), oneByOne(extent, c.format);
    std::mt19937 random(5);
    for (int step = 0; step < 12; ++step) {
      const Image held = c.holdSnapshot ? together.image() : Image();
      const ci::PixelBuffer heldPixels = c.holdSnapshot ? render(held, extent) : ci::PixelBuffer();
      std::vector<Image> dabs, same;
      QRectF dirty;
      const QPointF start(bounds.x + int(random() % 420), bounds.y + int(random() % 280));
      for (int k = 0; k < 15; ++k) {
        const QPointF at = start + QPointF(k * 12.5, (k % 3) * 7.25);
        const float alpha = float(random() % 256) / 255;
        const RGBA colour{0.9f * alpha, 0.3f * alpha, float(k) / 15 * alpha, alpha};
        const Image round =
            functionImage(size, size, [&](int x, int y) { return softDab(x, y, size, colour); });
        const auto placed = [&](const Image& own) {
          if (c.smudge && k % 4 == 3)
            return own.imageByCroppingToRect(QRectF(at.x() + 9, at.y() + 4, size, size))
                .imageByApplyingTransform(QTransform::fromTranslate(-9, -4));
          return round.imageByApplyingTransform(QTransform::fromTranslate(at.x(), at.y()));
        };
        dabs.push_back(placed(together.image()));
        same.push_back(placed(oneByOne.image()));
        dirty = dirty.united(QRectF(at, QSizeF(size, size)));
      }
      if (c.cutByDirtyRect) dirty.adjust(30, 20, -40, -25);
      together.stampEachOver(dabs, dirty);
      for (const Image& dab : same)
        oneByOne.setImage(dab.imageByCompositingOverImage(oneByOne.image()), dirty);
      EXPECT_EQ(maxDifference(render(together.image(), extent), render(oneByOne.image(), extent)),
                0.0f)
          << c.name << ", step " << step;
      EXPECT_EQ(together.writtenRect(), oneByOne.writtenRect()) << c.name;
      if (c.holdSnapshot) {
        EXPECT_EQ(maxDifference(render(held, extent), heldPixels), 0.0f) << c.name;
      }
    }
  }
}

namespace {

// A brush's dab as its tool makes it: a radial ramp from `colour` to clear,
// source-over onto nothing, cut to the square around its circle.
Image brushDab(const QPointF& centre, double radius, const ci::Color& colour) {
  auto gradient = ci::Filter::filterWithName(
      "CIRadialGradient", {{"inputCenter", QVariant::fromValue(ci::Vector{centre.x(), centre.y()})},
                           {"inputRadius0", 0.0},
                           {"inputRadius1", radius},
                           {"inputColor0", QVariant::fromValue(colour)},
                           {"inputColor1", QVariant::fromValue(ci::Color(0, 0, 0, 0))}});
  return gradient->outputImage()
      .imageByCompositingOverImage(Image::emptyImage())
      .imageByCroppingToRect(
          QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius));
}

bool sameBits(const ci::PixelBuffer& a, const ci::PixelBuffer& b) {
  if (a.rect() != b.rect()) return false;
  for (int y = a.rect().y; y < a.rect().top(); ++y)
    if (std::memcmp(a.row(y), b.row(y), size_t(a.rect().w) * 16) != 0) return false;
  return true;
}

}  // namespace

// Gradient dabs are written onto the tiles a row at a time, never rendered
// whole: every bit must be what rendering each dab and compositing it gives,
// for dabs across tile edges (tiles start every 128 pixels from -30, -20),
// off the pixel grid, translucent, cut by the dirty rectangle, cut to one
// pixel as the smallest brush is, mixed with dabs that must be rendered,
// and large enough to spread over the workers.
TEST(ImageAccumulator, GradientDabsWrittenRowByRowMatchRenderedDabsBitForBit) {
  struct Case {
    const char* name;
    double radius, step;
    int dabs;
    bool onePixel = false, mixed = false, holdSnapshot = false, cut = false;
  };
  const Case cases[] = {
      {"brush of 100", 50, 12.5, 15},
      {"small brush", 2.25, 0.5625, 15},
      {"one pixel", 5, 0.25, 9, true},
      {"with rendered dabs", 30, 7.5, 15, false, true},
      {"held and cut", 50, 12.5, 15, false, false, true, true},
      {"large", 200, 50, 15},
  };
  const ci::IRect bounds{-30, -20, 620, 420};
  const QRectF extent = bounds.toRectF();
  for (const Case& c : cases) {
    ImageAccumulator together(extent), oneByOne(extent);
    // Something already there, so that the dabs composite onto colour.
    const Image ground = functionImage(300, 200, [](int x, int y) {
      return RGBA{0.002f * float(x), 0.25f, 0.003f * float(y), 0.5f};
    });
    together.setImage(ground, extent);
    oneByOne.setImage(ground, extent);
    std::mt19937 random(11);
    for (int step = 0; step < 6; ++step) {
      const Image held = c.holdSnapshot ? together.image() : Image();
      const ci::PixelBuffer heldPixels = c.holdSnapshot ? render(held, extent) : ci::PixelBuffer();
      std::vector<Image> dabs;
      QRectF dirty;
      const QPointF start(bounds.x + 90 + random() % 300 + (random() % 8) / 8.0,
                          bounds.y + 100 + random() % 200 + (random() % 16) / 16.0);
      for (int k = 0; k < c.dabs; ++k) {
        const QPointF at = start + QPointF(k * c.step, (k % 3) * c.step / 3);
        const float alpha = float(1 + random() % 255) / 255;
        Image dab = brushDab(at, c.radius, ci::Color(0.9 * alpha, 0.2 * alpha, 0.6 * alpha, alpha));
        if (c.onePixel)
          dab = dab.imageByCroppingToRect(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1));
        if (c.mixed && k % 3 == 1)
          dab = functionImage(40, 40, [&](int x, int y) {
                  return softDab(x, y, 40, {0.3f, 0.1f, 0.0f, 0.4f});
                }).imageByApplyingTransform(QTransform::fromTranslate(at.x() - 20, at.y() - 20));
        dabs.push_back(dab);
        dirty =
            dirty.united(QRectF(at.x() - c.radius, at.y() - c.radius, 2 * c.radius, 2 * c.radius));
      }
      if (c.cut) dirty.adjust(17.5, 9.25, -23, -31.5);
      together.stampEachOver(dabs, dirty);
      for (const Image& dab : dabs)
        oneByOne.setImage(dab.imageByCompositingOverImage(oneByOne.image()), dirty);
      EXPECT_TRUE(sameBits(render(together.image(), extent), render(oneByOne.image(), extent)))
          << c.name << ", step " << step;
      if (c.holdSnapshot) {
        EXPECT_TRUE(sameBits(render(held, extent), heldPixels)) << c.name;
      }
    }
  }
}
