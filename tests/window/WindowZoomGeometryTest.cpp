// The window's zoom and frame arithmetic, checked against cases worked by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "window/WindowZoomGeometry.h"

TEST(WindowZoomGeometry, ZoomsTitlesAndFits) {
  struct Zoom {
    double asked, kept;
  };
  for (Zoom z :
       {Zoom{0, 1}, {-1, 1}, {NAN, 1}, {INFINITY, 1}, {0.5, 0.5}, {1e-5, 0.01}, {1e6, 100}})
    EXPECT_DOUBLE_EQ(WindowZoomGeometry::validZoom(z.asked), z.kept) << z.asked;
  EXPECT_EQ(WindowZoomGeometry::titlePercent(1.234), 123u);
  EXPECT_EQ(WindowZoomGeometry::titlePercent(0.0049), 0u);
  EXPECT_EQ(WindowZoomGeometry::titlePercent(NAN), 0u);
  EXPECT_EQ(WindowZoomGeometry::titlePercent(1e300), 1000000000000000u);
  // 4000 x 3000 on a display of 2 pixels per point, 1000 x 600 points shown.
  EXPECT_DOUBLE_EQ(WindowZoomGeometry::fitZoom({4000, 3000}, {1000, 600}, 2), 0.4);
  EXPECT_DOUBLE_EQ(WindowZoomGeometry::fitZoom({0, 300}, {1000, 600}, 1), 1);
}

TEST(WindowZoomGeometry, FrameShowingTheImageKeepsTopLeftInsideTheScreen) {
  const QRect screen(0, 0, 1920, 1050);
  const QSize minimum(500, 400);
  struct Case {
    QRect frame;
    QSizeF hidden;
    QRect expected;
  };
  const Case cases[] = {
      {{100, 50, 800, 600}, {300, 200}, {100, 50, 1100, 800}},     // grows
      {{100, 50, 800, 600}, {3000, 3000}, {100, 50, 1820, 1000}},  // stops at the screen
      {{100, 50, 800, 600}, {-700, -500}, {100, 50, 500, 400}},    // stops at the minimum
      {{3000, 50, 800, 600}, {10, 10}, {3000, 50, 500, 400}},      // off screen: the minimum
  };
  for (const Case& c : cases)
    EXPECT_EQ(WindowZoomGeometry::frameShowingImage(c.frame, c.hidden, screen, minimum), c.expected)
        << c.frame.x() << " " << c.hidden.width();
  EXPECT_EQ(WindowZoomGeometry::frameShowingImage({1, 2, 3, 4}, {9, 9}, QRect(), minimum),
            QRect(1, 2, 3, 4));
}

TEST(WindowZoomGeometry, AreasHideAndShowOnce) {
  using A = WindowZoomGeometry::Area;
  auto same = [](A a, A b) { return a.size == b.size && a.space == b.space; };
  A area{240, 240};
  area = WindowZoomGeometry::areaAfter(area, true, 240);
  EXPECT_TRUE(same(area, {0, 0}));
  EXPECT_TRUE(same(WindowZoomGeometry::areaAfter(area, true, 240), area)) << "already hidden";
  area = WindowZoomGeometry::areaAfter(area, false, 240);
  EXPECT_TRUE(same(WindowZoomGeometry::areaAfter(area, false, 240), {240, 240})) << "added once";
}
