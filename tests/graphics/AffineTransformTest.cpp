// Composition order of transforms: translate/rotate/scale apply before the
// transform already held; append and prepend put another transform after or
// before. Checked on points and on where a drawn square lands.
#include <gtest/gtest.h>

#include <functional>

#include "graphics/AffineTransform.h"
#include "graphics/BezierPath.h"
#include "graphics/GraphicsContext.h"

using namespace gfx;

namespace {

void expectPoint(QPointF actual, QPointF wanted, const char* what) {
  EXPECT_NEAR(actual.x(), wanted.x(), 1e-9) << what;
  EXPECT_NEAR(actual.y(), wanted.y(), 1e-9) << what;
}

AffineTransform translated(double dx, double dy) {
  AffineTransform t;
  t.translateXBy(dx, dy);
  return t;
}

AffineTransform scaled(double s) {
  AffineTransform t;
  t.scaleBy(s);
  return t;
}

}  // namespace

TEST(AffineTransform, CompositionOrder) {
  const struct {
    const char* what;
    std::function<void(AffineTransform&)> build;
    QPointF in, out;
  } table[] = {
      {"translate then scale: the scale applies first",
       [](AffineTransform& t) {
         t.translateXBy(10, 0);
         t.scaleBy(2);
       },
       {1, 0},
       {12, 0}},
      {"scale then translate: the translation is scaled",
       [](AffineTransform& t) {
         t.scaleBy(2);
         t.translateXBy(10, 0);
       },
       {1, 0},
       {22, 0}},
      {"rotate 90° counter-clockwise",
       [](AffineTransform& t) { t.rotateByDegrees(90); },
       {1, 0},
       {0, 1}},
      {"translate then rotate",
       [](AffineTransform& t) {
         t.translateXBy(5, 5);
         t.rotateByDegrees(90);
       },
       {1, 0},
       {5, 6}},
      {"non-uniform scale", [](AffineTransform& t) { t.scaleXBy(2, -3); }, {1, 1}, {2, -3}},
      {"append applies after",
       [](AffineTransform& t) {
         t.scaleBy(2);
         t.appendTransform(translated(10, 0));
       },
       {1, 0},
       {12, 0}},
      {"prepend applies before",
       [](AffineTransform& t) {
         t.scaleBy(2);
         t.prependTransform(translated(10, 0));
       },
       {1, 0},
       {22, 0}},
      {"append scale after translate",
       [](AffineTransform& t) {
         t.translateXBy(10, 0);
         t.appendTransform(scaled(3));
       },
       {1, 1},
       {33, 3}},
  };
  for (const auto& row : table) {
    AffineTransform t;
    row.build(t);
    expectPoint(t.transformPoint(row.in), row.out, row.what);
  }
}

TEST(AffineTransform, InvertUndoes) {
  AffineTransform forward;
  forward.translateXBy(7, -2);
  forward.rotateByDegrees(30);
  forward.scaleBy(4);
  AffineTransform back = forward;
  ASSERT_TRUE(back.invert());
  expectPoint(back.transformPoint(forward.transformPoint({3, 9})), {3, 9}, "inverse");
  expectPoint(forward.inverted().transformPoint(forward.transformPoint({-1, 2})), {-1, 2},
              "inverted");
}

TEST(AffineTransform, SizesIgnoreTranslationAndSingularMatricesStay) {
  AffineTransform t;
  t.translateXBy(100, 100);
  t.scaleXBy(2, 3);
  QSizeF size = t.transformSize({4, 5});
  EXPECT_DOUBLE_EQ(size.width(), 8);
  EXPECT_DOUBLE_EQ(size.height(), 15);

  AffineTransform flat;
  flat.scaleXBy(0, 1);
  AffineTransform before = flat;
  EXPECT_FALSE(flat.invert());
  EXPECT_EQ(flat, before);
}

TEST(AffineTransform, TransformsPaths) {
  BezierPath square = BezierPath::bezierPathWithRect({0, 0, 10, 10});
  AffineTransform t;
  t.translateXBy(5, 0);
  t.scaleBy(2);
  QRectF bounds = t.transformBezierPath(square).bounds();
  EXPECT_EQ(bounds, QRectF(5, 0, 20, 20));
}

// The same orders hold in a context: the square lands where the maths says.
TEST(AffineTransform, ContextCTMComposesTheSameWay) {
  const struct {
    const char* what;
    std::function<void(GraphicsContext&)> apply;
    QPoint inside, outside;  // y-up pixel coordinates
  } table[] = {
      {"translate then scale",
       [](GraphicsContext& c) {
         c.translateCTM(10, 0);
         c.scaleCTM(2, 2);
       },
       {15, 5},
       {5, 5}},  // square at x 10…30
      {"scale then translate",
       [](GraphicsContext& c) {
         c.scaleCTM(2, 2);
         c.translateCTM(10, 0);
       },
       {25, 5},
       {15, 5}},  // square at x 20…40
      {"concat rotation about origin then translate",
       [](GraphicsContext& c) {
         c.translateCTM(30, 0);
         AffineTransform r;
         r.rotateByDegrees(90);
         c.concatCTM(r);
       },
       {25, 5},
       {35, 5}},  // square at x 20…30, y 0…10
  };
  for (const auto& row : table) {
    auto context = GraphicsContext::bitmapContext(48, 24);
    row.apply(*context);
    context->fillRect({0, 0, 10, 10}, Qt::red);
    EXPECT_EQ(context->pixelColor(row.inside.x(), row.inside.y()), QColor(Qt::red)) << row.what;
    EXPECT_EQ(context->pixelColor(row.outside.x(), row.outside.y()).alpha(), 0) << row.what;
  }
}

TEST(AffineTransform, ConcatAndSetOnTheCurrentContext) {
  auto context = GraphicsContext::bitmapContext(10, 10);
  CurrentContextScope scope(context.get());
  context->translateCTM(1, 0);
  AffineTransform scale;
  scale.scaleBy(2);
  scale.concat();  // applies before the translation already there
  expectPoint(context->CTM().transformPoint({1, 1}), {3, 2}, "concat");
  AffineTransform shift;
  shift.translateXBy(0, 4);
  shift.set();
  expectPoint(context->CTM().transformPoint({1, 1}), {1, 5}, "set");
}
