// Path geometry, fill rules and strokes, checked on pixels.
#include <gtest/gtest.h>

#include <cmath>

#include "graphics/BezierPath.h"
#include "graphics/GraphicsContext.h"

using namespace gfx;

namespace {

// Two squares, the inner one wound the same way as the outer.
BezierPath nestedSquares(WindingRule rule, bool reverseInner) {
  BezierPath path;
  path.moveToPoint({0, 0});
  path.lineToPoint({30, 0});
  path.lineToPoint({30, 30});
  path.lineToPoint({0, 30});
  path.closePath();
  QPointF inner[4] = {{10, 10}, {20, 10}, {20, 20}, {10, 20}};
  if (reverseInner) std::swap(inner[1], inner[3]);
  path.moveToPoint(inner[0]);
  for (int i = 1; i < 4; ++i) path.lineToPoint(inner[i]);
  path.closePath();
  path.setWindingRule(rule);
  return path;
}

}  // namespace

TEST(BezierPath, FillRules) {
  const struct {
    WindingRule rule;
    bool reverseInner;
    bool centreFilled;
  } table[] = {
      {WindingRule::NonZero, false, true},
      {WindingRule::NonZero, true, false},
      {WindingRule::EvenOdd, false, false},
      {WindingRule::EvenOdd, true, false},
  };
  for (const auto& row : table) {
    BezierPath path = nestedSquares(row.rule, row.reverseInner);
    EXPECT_EQ(path.containsPoint({15, 15}), row.centreFilled);
    EXPECT_TRUE(path.containsPoint({5, 5}));

    auto context = GraphicsContext::bitmapContext(30, 30);
    context->fillPath(path, Qt::blue);
    EXPECT_EQ(context->pixelColor(15, 15).alpha(), row.centreFilled ? 255 : 0)
        << int(row.rule) << " reversed " << row.reverseInner;
    EXPECT_EQ(context->pixelColor(5, 5), QColor(Qt::blue));
    EXPECT_EQ(context->pixelColor(25, 2), QColor(Qt::blue));
  }
}

TEST(BezierPath, ShapesAndBounds) {
  const struct {
    const char* what;
    BezierPath path;
    QRectF bounds;
    QPointF inside, outside;
  } table[] = {
      {"rect", BezierPath::bezierPathWithRect({2, 3, 10, 20}), {2, 3, 10, 20}, {3, 4}, {1, 4}},
      {"oval",
       BezierPath::bezierPathWithOvalInRect({0, 0, 20, 10}),
       {0, 0, 20, 10},
       {10, 5},
       {1, 1}},
      {"rounded",
       BezierPath::bezierPathWithRoundedRect({0, 0, 20, 20}, 5, 5),
       {0, 0, 20, 20},
       {10, 0.5},
       {0.3, 0.3}},
      // Radii beyond half a side are clamped: the result is the oval.
      {"over-round",
       BezierPath::bezierPathWithRoundedRect({0, 0, 20, 20}, 50, 50),
       {0, 0, 20, 20},
       {10, 10},
       {2, 2}},
  };
  for (const auto& row : table) {
    QRectF b = row.path.bounds();
    EXPECT_NEAR(b.x(), row.bounds.x(), 1e-6) << row.what;
    EXPECT_NEAR(b.y(), row.bounds.y(), 1e-6) << row.what;
    EXPECT_NEAR(b.width(), row.bounds.width(), 1e-6) << row.what;
    EXPECT_NEAR(b.height(), row.bounds.height(), 1e-6) << row.what;
    EXPECT_TRUE(row.path.containsPoint(row.inside)) << row.what;
    EXPECT_FALSE(row.path.containsPoint(row.outside)) << row.what;
  }
  // Curves: the bounds hug the curve while control points reach further.
  BezierPath curve;
  curve.moveToPoint({0, 0});
  curve.curveToPoint({30, 0}, {0, 40}, {30, 40});
  EXPECT_NEAR(curve.bounds().height(), 30, 1e-6);
  EXPECT_NEAR(curve.controlPointBounds().height(), 40, 1e-6);
}

TEST(BezierPath, AppendAndCurrentPoint) {
  BezierPath path = BezierPath::bezierPathWithRect({0, 0, 5, 5});
  path.appendBezierPath(BezierPath::bezierPathWithRect({10, 10, 5, 5}));
  EXPECT_EQ(path.bounds(), QRectF(0, 0, 15, 15));
  path.moveToPoint({1, 2});
  path.relativeLineToPoint({3, 4});
  EXPECT_EQ(path.currentPoint(), QPointF(4, 6));
  path.removeAllPoints();
  EXPECT_TRUE(path.isEmpty());
}

TEST(BezierPath, StrokeWidthCapsAndDashes) {
  // A vertical line at x = 20 in a 40×40 bitmap.
  const struct {
    const char* what;
    double width;
    LineCapStyle cap;
    QVector<double> dash;
    QPoint painted, clear;
  } table[] = {
      {"width 6 covers x 17…23", 6, LineCapStyle::Butt, {}, {17, 20}, {24, 20}},
      {"butt cap stops at the end", 6, LineCapStyle::Butt, {}, {20, 10}, {20, 8}},
      {"square cap extends half the width", 6, LineCapStyle::Square, {}, {20, 8}, {20, 6}},
      {"dash 5 on 5 off from the start", 6, LineCapStyle::Butt, {5, 5}, {20, 12}, {20, 17}},
  };
  for (const auto& row : table) {
    auto context = GraphicsContext::bitmapContext(40, 40);
    BezierPath line;
    line.moveToPoint({20, 10});
    line.lineToPoint({20, 30});
    line.setLineWidth(row.width);
    line.setLineCapStyle(row.cap);
    if (!row.dash.isEmpty()) line.setLineDash(row.dash, 0);
    context->strokePath(line, Qt::black);
    EXPECT_EQ(context->pixelColor(row.painted.x(), row.painted.y()).alpha(), 255) << row.what;
    EXPECT_EQ(context->pixelColor(row.clear.x(), row.clear.y()).alpha(), 0) << row.what;
  }
}

TEST(BezierPath, FillAndStrokeUseTheCurrentContext) {
  BezierPath::fillRect({0, 0, 4, 4}, Qt::red);  // no current context: nothing happens
  auto context = GraphicsContext::bitmapContext(8, 8);
  {
    CurrentContextScope scope(context.get());
    BezierPath::fillRect({0, 0, 4, 4}, Qt::red);
    BezierPath::strokeRect({4.5, 4.5, 3, 3}, Qt::green, 1);
  }
  EXPECT_EQ(context->pixelColor(1, 1), QColor(Qt::red));
  EXPECT_EQ(context->pixelColor(4, 5), QColor(Qt::green));
  EXPECT_EQ(context->pixelColor(6, 6).alpha(), 0);
}

TEST(BezierPath, ArcsPolylinesAndReversal) {
  const struct {
    const char* what;
    double start, end;
    bool clockwise;
    QRectF bounds;
  } arcs[] = {
      {"quarter counter-clockwise", 0, 90, false, {0, 0, 10, 10}},
      {"three quarters clockwise to the same end", 0, 90, true, {-10, -10, 20, 20}},
      {"full turn", 0, 360, false, {-10, -10, 20, 20}},
      {"upper half", 0, 180, false, {-10, 0, 20, 10}},
  };
  for (const auto& row : arcs) {
    BezierPath arc;
    arc.appendBezierPathWithArcWithCenter({0, 0}, 10, row.start, row.end, row.clockwise);
    QRectF b = arc.bounds();
    EXPECT_NEAR(b.left(), row.bounds.left(), 0.01) << row.what;
    EXPECT_NEAR(b.right(), row.bounds.right(), 0.01) << row.what;
    EXPECT_NEAR(b.top(), row.bounds.top(), 0.01) << row.what;
    EXPECT_NEAR(b.bottom(), row.bounds.bottom(), 0.01) << row.what;
    QPointF end = arc.currentPoint();
    double radians = row.end * M_PI / 180;
    EXPECT_NEAR(end.x(), 10 * std::cos(radians), 1e-9) << row.what;
    EXPECT_NEAR(end.y(), 10 * std::sin(radians), 1e-9) << row.what;
  }
  // The cubic approximation stays on the circle.
  BezierPath quarter;
  quarter.appendBezierPathWithArcWithCenter({0, 0}, 100, 0, 90);
  QPointF middle = quarter.toQPainterPath().pointAtPercent(0.5);
  EXPECT_NEAR(std::hypot(middle.x(), middle.y()), 100, 0.05);

  BezierPath polyline;
  polyline.appendBezierPathWithPoints({{0, 0}, {10, 0}, {10, 10}});
  EXPECT_EQ(polyline.currentPoint(), QPointF(10, 10));
  EXPECT_EQ(polyline.elementCount(), 3);

  // An inner square wound the other way cuts a hole under the non-zero rule.
  BezierPath outer = BezierPath::bezierPathWithRect({0, 0, 30, 30});
  BezierPath inner = BezierPath::bezierPathWithRect({10, 10, 10, 10});
  BezierPath same = outer, opposite = outer;
  same.appendBezierPath(inner);
  opposite.appendBezierPath(inner.bezierPathByReversingPath());
  EXPECT_TRUE(same.containsPoint({15, 15}));
  EXPECT_FALSE(opposite.containsPoint({15, 15}));
  EXPECT_TRUE(opposite.containsPoint({5, 5}));
}
