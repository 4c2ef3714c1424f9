// The tile effects' symmetries, read off an image of its own coordinates:
// the cell around the centre shows the image as it is, and every other
// point reads the point the group's translations, turns and mirrors bring
// it to.
#include <gtest/gtest.h>

#include <cmath>

#include "CoreImageTestSupport.h"
#include "coreimage/Filter.h"

using namespace citest;
using ci::Filter;
using ci::Image;
using ci::Vector;

namespace {

constexpr double kCentre = 128.5;  // on a pixel centre, so mirrors map pixels to pixels

QVariant point(double x, double y) { return QVariant::fromValue(Vector{x, y}); }

// The point output pixel centre `p` (relative to the centre) reads, relative to the centre.
QPointF readFrom(const Image& output, QPointF p) {
  const int x = int(std::floor(kCentre + p.x())), y = int(std::floor(kCentre + p.y()));
  const ci::PixelBuffer out = render(output, QRectF(x, y, 1, 1));
  const RGBA c = pixelAt(out, x, y);
  return QPointF(c.r / c.a * 256, c.g / c.a * 256) - QPointF(kCentre, kCentre);
}

Image tiled(const char* name, QVariantMap inputs) {
  inputs.insert("inputImage", QVariant::fromValue(coordinateImage(256, 256)));
  inputs.insert("inputCenter", point(kCentre, kCentre));
  return Filter::filterWithName(name, inputs)->outputImage();
}

}  // namespace

TEST(Tile, SquareLatticesRepeatTurnAndMirrorTheCentralCell) {
  const QVariantMap w20{{"inputWidth", 20}};
  const struct {
    const char* name;
    QVariantMap inputs;
    QPointF at, reads;
  } cases[] = {
      {"CIFourfoldTranslatedTile", w20, {3, -4}, {3, -4}},
      {"CIFourfoldTranslatedTile", w20, {43, -24}, {3, -4}},
      // Sides (20, 0) and (12, 16): one step along the slanted side.
      {"CIFourfoldTranslatedTile",
       {{"inputWidth", 20}, {"inputAcuteAngle", std::atan2(16, 12)}},
       {3 + 12, -4 + 16},
       {3, -4}},
      // Mirrors half a cell out on each axis.
      {"CIFourfoldReflectedTile", w20, {3, -4}, {3, -4}},
      {"CIFourfoldReflectedTile", w20, {13, 0}, {7, 0}},
      {"CIFourfoldReflectedTile", w20, {3, 25}, {3, -5}},
      // Mirrors across one pair of sides, repeats across the other.
      {"CIParallelogramTile", w20, {13, 0}, {7, 0}},
      {"CIParallelogramTile", w20, {3, 16}, {3, -4}},
      // Quarter turns about the cell's corners.
      {"CIFourfoldRotatedTile", w20, {3, -4}, {3, -4}},
      {"CIFourfoldRotatedTile", w20, {13, 7}, {7, 7}},
      // Mirrors on both axes and the diagonal: one eighth of the cell shows.
      {"CIEightfoldReflectedTile", w20, {6, 2}, {6, 2}},
      {"CIEightfoldReflectedTile", w20, {-6, 2}, {6, 2}},
      {"CIEightfoldReflectedTile", w20, {2, 6}, {6, 2}},
      {"CIEightfoldReflectedTile", w20, {14, -2}, {6, 2}},
      // A glide: one cell along, mirrored across.
      {"CIGlideReflectedTile", w20, {3, -4}, {3, -4}},
      {"CIGlideReflectedTile", w20, {23, 4}, {3, -4}},
      {"CIGlideReflectedTile", w20, {43, -4}, {3, -4}},
      // Op tiles: each cell shows its own middle magnified.
      {"CIOpTile", {{"inputWidth", 20}, {"inputScale", 2}}, {3, -4}, {1.5, -2}},
      {"CIOpTile", {{"inputWidth", 20}, {"inputScale", 2}}, {23, 0}, {21.5, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(
        QStringLiteral("%1 at %2,%3").arg(c.name).arg(c.at.x()).arg(c.at.y()).toStdString());
    const Image out = tiled(c.name, c.inputs);
    EXPECT_TRUE(ci::isInfinite(out.extent()) || QString(c.name) == "CIOpTile");
    const QPointF read = readFrom(out, c.at);
    EXPECT_NEAR(read.x(), c.reads.x(), 2e-3);
    EXPECT_NEAR(read.y(), c.reads.y(), 2e-3);
  }
}

// Hexagonal groups and the kaleidoscope keep distances from the centre and
// bring every direction into one wedge: turned by a whole number of
// sectors, and mirrored too where the group has mirrors.
TEST(Tile, TurningGroupsFoldEveryDirectionIntoOneWedge) {
  const struct {
    const char* name;
    QVariantMap inputs;
    double sector, wedge;  // degrees
    bool mirrors;
    double reach;  // how far from the centre the fold keeps distances
  } cases[] = {
      {"CISixfoldRotatedTile", {{"inputWidth", 40}}, 60, 60, false, 19},
      {"CISixfoldReflectedTile", {{"inputWidth", 40}}, 60, 30, true, 19},
      {"CITwelvefoldReflectedTile", {{"inputWidth", 40}}, 30, 15, true, 19},
      {"CITriangleTile", {{"inputWidth", 40}}, 120, 60, true, 19},
      {"CIKaleidoscope", {{"inputCount", 6}}, 60, 30, true, 100},
      {"CIKaleidoscope", {{"inputCount", 5}, {"inputAngle", 0.3}}, 72, 36, true, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Image out = tiled(c.name, c.inputs);
    const double offset = c.inputs.value("inputAngle").toDouble() * 180 / M_PI;
    for (int i = 0; i < 40; ++i) {
      const double angle = i * 9.0 + 2, distance = 3 + std::fmod(i * 7.3, c.reach - 4);
      const QPointF p(std::round(distance * std::cos(angle * M_PI / 180)),
                      std::round(distance * std::sin(angle * M_PI / 180)));
      const QPointF q = readFrom(out, p);
      ASSERT_NEAR(std::hypot(q.x(), q.y()), std::hypot(p.x(), p.y()), 2e-3);
      const double from = std::atan2(p.y(), p.x()) * 180 / M_PI - offset;
      const double to = std::atan2(q.y(), q.x()) * 180 / M_PI - offset;
      EXPECT_GE(std::remainder(to - c.wedge / 2, 360), -c.wedge / 2 - 1e-3) << i;
      EXPECT_LE(std::remainder(to - c.wedge / 2, 360), c.wedge / 2 + 1e-3) << i;
      const double turned = std::abs(std::remainder(to - from, c.sector));
      const double mirrored = std::abs(std::remainder(to + from, c.sector));
      EXPECT_LT(c.mirrors ? std::min(turned, mirrored) : turned, 1e-2) << i;
    }
    // The hexagonal lattices repeat one cell width along x.
    if (c.reach < 20) {
      EXPECT_EQ(readFrom(out, {45, 3}), readFrom(out, {5, 3}));
    }
  }
}

TEST(Tile, PerspectiveTileRepeatsTheImageThroughItsCorners) {
  const Image coordinates = coordinateImage(64, 64, 64);
  auto tile = [&](double scale) {
    return Filter::filterWithName("CIPerspectiveTile",
                                  {{"inputImage", QVariant::fromValue(coordinates)},
                                   {"inputBottomLeft", point(0, 0)},
                                   {"inputBottomRight", point(64 * scale, 0)},
                                   {"inputTopRight", point(64 * scale, 64 * scale)},
                                   {"inputTopLeft", point(0, 64 * scale)}})
        ->outputImage();
  };
  const struct {
    double scale;
    QPointF at, reads;
  } cases[] = {
      {1, {10.5, 20.5}, {10.5, 20.5}},
      {1, {74.5, 20.5}, {10.5, 20.5}},
      {1, {-53.5, -107.5}, {10.5, 20.5}},
      {2, {100.5, 20.5}, {50.25, 10.25}},
  };
  for (const auto& c : cases) {
    const int x = int(std::floor(c.at.x())), y = int(std::floor(c.at.y()));
    const QPointF read = pointRead(render(tile(c.scale), QRectF(x, y, 1, 1)), x, y, 64);
    EXPECT_NEAR(read.x(), c.reads.x(), 2e-3) << c.at.x();
    EXPECT_NEAR(read.y(), c.reads.y(), 2e-3) << c.at.y();
  }
}

// Inside its triangle the kaleidoscope shows the image; beyond a side the
// mirror image, fading by decay per triangle height past the corners' circle.
TEST(Tile, TriangleKaleidoscopeMirrorsAndFades) {
  const double side = 60, height = side * std::sqrt(3.0) / 2, inradius = height / 3;
  const Image out =
      Filter::filterWithName("CITriangleKaleidoscope",
                             {{"inputImage", QVariant::fromValue(coordinateImage(256, 256))},
                              {"inputPoint", point(kCentre, kCentre)},
                              {"inputSize", side},
                              {"inputRotation", 0},
                              {"inputDecay", 0.5}})
          ->outputImage();
  const ci::PixelBuffer pixels = render(out, QRectF(100, 80, 60, 60));
  const RGBA inside = pixelAt(pixels, 131, 126);
  EXPECT_NEAR(inside.a, 1, 1e-6);
  EXPECT_NEAR(inside.r * 256, 131.5, 2e-3);
  EXPECT_NEAR(inside.g * 256, 126.5, 2e-3);
  // 40 below the centre: past the bottom side, mirrored back above it.
  const RGBA below = pixelAt(pixels, 128, 88);
  EXPECT_NEAR(below.a, std::pow(0.5, (40 - 2 * inradius) / height), 1e-5);
  EXPECT_NEAR(below.r / below.a * 256, kCentre, 2e-3);
  EXPECT_NEAR(below.g / below.a * 256, kCentre - 40 + 2 * (40 - inradius), 2e-3);
}
