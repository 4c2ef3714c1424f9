// The canvas arithmetic: centring and clamping of the clip origin, the
// document ↔ view mapping, zooming about the visible centre and the
// interpolation rule.
#include <gtest/gtest.h>

#include "window/CanvasGeometry.h"

namespace {

TEST(CanvasGeometry, ClipOriginIsCentredOrClampedOnEachAxis) {
  struct Case {
    QPointF proposed;
    QSizeF document, clip;
    QPointF expected;
  };
  const Case cases[] = {
      // A canvas 100 wide in a clip 301 wide: round(−100.5) = −101.
      {{0, 0}, {100, 500}, {301, 200}, {-101, 0}},
      {{40, 0}, {100, 500}, {301, 200}, {-101, 0}},
      // Beyond the end: document − clip; before the start: 0.
      {{900, 350}, {1000, 500}, {301, 200}, {699, 300}},
      {{-30, -0.4}, {1000, 500}, {301, 200}, {0, 0}},
      // Inside: rounded, halves away from zero.
      {{10.5, 20.49}, {1000, 500}, {301, 200}, {11, 20}},
      // Equal extents are not centred (strict comparison): clamped to 0.
      {{5, 5}, {301, 200}, {301, 200}, {0, 0}},
      // Both axes smaller: both centred, whatever was proposed.
      {{50, 60}, {100, 50}, {300, 151}, {-100, -51}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CanvasGeometry::constrainScrollPoint(c.proposed, c.document, c.clip), c.expected)
        << c.proposed.x() << "," << c.proposed.y() << " doc " << c.document.width() << "x"
        << c.document.height();
}

TEST(CanvasGeometry, CenterDocumentMovesOnlyTheAxesWhereTheClipIsLarger) {
  struct Case {
    QSizeF document;
    QRectF clipBounds;
    QPointF expected;
  };
  const Case cases[] = {
      {{100, 1000}, {7, 33, 301, 200}, {-101, 33}},
      // (100 − 201) × 0.5 = −50.5 rounds away from zero.
      {{1000, 100}, {7, 33, 301, 201}, {7, -51}},
      {{1000, 1000}, {7, 33, 301, 200}, {7, 33}},
      {{301, 200}, {7, 33, 301, 200}, {7, 33}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CanvasGeometry::centerDocument(c.document, c.clipBounds), c.expected);
}

TEST(CanvasGeometry, TransformationScalesByZoomOverBackingScale) {
  struct Case {
    bool hasSizeDelegate;
    double zoom, backing;
    QRectF document, view;
  };
  const Case cases[] = {
      {true, 1, 1, {10, 20, 30, 40}, {10, 20, 30, 40}},
      {true, 4, 1, {10, 20, 30, 40}, {40, 80, 120, 160}},
      {true, 0.25, 1, {10, 20, 30, 40}, {2.5, 5, 7.5, 10}},
      {true, 4, 2, {10, 20, 30, 40}, {20, 40, 60, 80}},
      // Zoom 0 and no size delegate: view coordinates are document coordinates.
      {true, 0, 1, {10, 20, 30, 40}, {10, 20, 30, 40}},
      {false, 3, 1, {10, 20, 30, 40}, {10, 20, 30, 40}},
  };
  for (const Case& c : cases) {
    const gfx::AffineTransform t =
        CanvasGeometry::transformation(c.hasSizeDelegate, c.zoom, c.backing);
    EXPECT_EQ(CanvasGeometry::zoomededRect(c.document, t, false), c.view) << c.zoom;
    EXPECT_EQ(CanvasGeometry::zoomededRect(c.view, t, true), c.document) << c.zoom;
  }
}

TEST(CanvasGeometry, ZoomAboutTheCentreKeepsTheCentralDocumentPoint) {
  const QSizeF clip(301, 200);
  struct Case {
    QPointF clipOrigin;
    double oldZoom, newZoom;
  };
  const Case cases[] = {{{400, 300}, 1, 2},
                        {{400, 300}, 2, 0.5},
                        {{-50, 12}, 0.25, 4},
                        {{1234, 77}, 3, 3},
                        {{20, 30}, 0, 2}};
  for (const Case& c : cases) {
    const QRectF before(c.clipOrigin, clip);
    const QPointF kept = CanvasGeometry::centralPointBeforeZoom(before, c.oldZoom);
    const QPointF origin = CanvasGeometry::clipOriginKeepingPoint(c.newZoom, kept, clip);
    const QRectF after(origin, clip);
    const QPointF centreAfter = CanvasGeometry::centralPointBeforeZoom(after, c.newZoom);
    EXPECT_NEAR(centreAfter.x(), kept.x(), 1e-9);
    EXPECT_NEAR(centreAfter.y(), kept.y(), 1e-9);
  }
  // The document point at the centre, by hand: clip centre (550.5, 400) at zoom 1.
  EXPECT_EQ(CanvasGeometry::centralPointBeforeZoom({{400, 300}, clip}, 1), QPointF(550.5, 400));
  EXPECT_EQ(CanvasGeometry::clipOriginKeepingPoint(2, {550.5, 400}, clip), QPointF(950.5, 700));
}

TEST(CanvasGeometry, InterpolationIsOffOnlyWhenZoomExceedsBackingScaleAndNotPreferred) {
  struct Case {
    bool preferred;
    double zoom, backing;
    bool disabled;
  };
  const Case cases[] = {
      {false, 1, 1, false}, {false, 1.01, 1, true}, {false, 4, 1, true},   {false, 0.25, 1, false},
      {false, 2, 2, false}, {false, 2.5, 2, true},  {true, 2.5, 2, false}, {true, 8, 1, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CanvasGeometry::disablesInterpolation(c.preferred, c.zoom, c.backing), c.disabled)
        << c.preferred << " " << c.zoom << " " << c.backing;
}

}  // namespace
