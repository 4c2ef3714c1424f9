// The bilinear filter's runs: samples taken many at a time (the vector path)
// are the very bytes taken one at a time, stay valid premultiplied colours,
// and leave a flat colour exactly as it is; a scaled draw's columns laid out
// once give the very bytes of the general run.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <random>
#include <vector>

#include "graphics/BilinearColumns.h"
#include "graphics/BilinearSpan.h"
#include "graphics/ImageResampler.h"

using namespace gfx;

namespace {

// Random translucent premultiplied pixels, with opaque and clear patches.
QImage noise(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  std::mt19937 random(11);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t a = (x / 8 + y / 8) % 3 == 0 ? 255 : (x + y) % 13 == 0 ? 0 : random() % 256;
      auto channel = [&] { return random() % (a + 1); };
      image.setPixel(x, y, qRgba(int(channel()), int(channel()), int(channel()), int(a)));
    }
  return image;
}

int64_t fixed(double v) { return std::llround(std::ldexp(v, 32)); }

BilinearSpan spanOver(const QImage& image) {
  BilinearSpan span;
  span.bits = image.constBits();
  span.stride = image.bytesPerLine();
  span.right = image.width() - 1;
  span.bottom = image.height() - 1;
  return span;
}

struct Line {
  const char* name;
  double u, v, stepU, stepV;
};

// Lines crossing the image at angles and scales, starting outside it so
// runs meet the repeated borders as well as the inside.
const Line lines[] = {
    {"across, shrinking", -3.2, 20.7, 1.37, 0.0},
    {"rotated 15", -5.5, 2.25, 0.9659, 0.2588},
    {"rotated 70, enlarged", 40.1, -4.9, 0.171, 0.47},
    {"rotated 200", 120.3, 70.6, -0.9397, -0.342},
    {"upwards", 33.3, 80.8, 0.0, -0.61},
};

}  // namespace

TEST(BilinearSpan, RunsAreTheSamplesTakenOneByOne) {
  const QImage image = noise(97, 61);
  BilinearSpan span = spanOver(image);
  span.rowStepU = fixed(-0.26);
  span.rowStepV = fixed(0.97);
  for (const Line& line : lines) {
    SCOPED_TRACE(line.name);
    const int count = 203;
    std::vector<QRgb> run(count), single(count);
    const int64_t u = fixed(line.u), v = fixed(line.v);
    const int64_t du = fixed(line.stepU), dv = fixed(line.stepV);
    span.sample(u, v, du, dv, count, run.data());
    for (int i = 0; i < count; ++i) span.sample(u + i * du, v + i * dv, du, dv, 1, &single[i]);
    EXPECT_EQ(run, single);
    for (QRgb p : run) {
      ASSERT_LE(qRed(p), qAlpha(p));
      ASSERT_LE(qGreen(p), qAlpha(p));
      ASSERT_LE(qBlue(p), qAlpha(p));
    }
  }
}

TEST(BilinearSpan, AFlatColourComesOutUnchanged) {
  for (QRgb colour : {qRgba(255, 255, 255, 255), qRgba(0, 0, 0, 0), qRgba(37, 200, 5, 255),
                      qRgba(60, 0, 90, 90)}) {
    QImage image(40, 30, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    const BilinearSpan span = spanOver(image);
    std::vector<QRgb> run(100);
    span.sample(fixed(-2.3), fixed(1.1), fixed(0.4321), fixed(0.2718), int(run.size()), run.data());
    for (QRgb p : run) ASSERT_EQ(p, colour);
  }
}

namespace {

// A draw that only scales and moves: target to source.
struct Scaling {
  const char* name;
  double scaleX, scaleY, dx, dy;
  QRect edges;  // within the 97 x 61 noise
};

// Zooms from about a quarter to a half, at sub-pixel offsets, with target
// rows and columns reaching past every edge of the pixels drawn.
const Scaling scalings[] = {
    {"zoom 0.5, whole", 2.0, 2.0, -7.0, -5.0, QRect(0, 0, 97, 61)},
    {"zoom 0.26, sub-pixel", 1 / 0.26, 1 / 0.26, -11.37, -9.81, QRect(0, 0, 97, 61)},
    {"zoom 0.3427, part", 1 / 0.3427, 1 / 0.3427, 3.0625, -2.4999, QRect(5, 3, 80, 50)},
    {"zoom 0.325, one column", 1 / 0.325, 1 / 0.325, 0.5001, 1.25, QRect(40, 0, 1, 61)},
    {"zoom 0.41 by 0.29", 1 / 0.41, 1 / 0.29, -0.999, 0.3333, QRect(0, 0, 97, 61)},
    {"zoom 0.37, mirrored", -1 / 0.37, 1 / 0.37, 101.7, -3.3, QRect(2, 2, 93, 57)},
};

}  // namespace

TEST(BilinearColumns, ScaledRowsAreTheSamplesOfTheGeneralRun) {
  const QImage image = noise(97, 61);
  const int left = -9, width = 60;
  for (const Scaling& s : scalings) {
    SCOPED_TRACE(s.name);
    const QTransform toSource(s.scaleX, 0, 0, s.scaleY, s.dx, s.dy);
    const BilinearColumns columns = ImageResampler::columns(s.edges, toSource, left, width);
    BilinearSpan span = spanOver(image);
    span.left = s.edges.left();
    span.right = s.edges.right();
    span.top = s.edges.top();
    span.bottom = s.edges.bottom();
    const int64_t origin = fixed(0.5 * s.scaleX + s.dx - 0.5), step = fixed(s.scaleX);
    const BilinearColumns direct(span, origin, step, left, width);
    for (int y = -6; y < 30; ++y) {
      SCOPED_TRACE(y);
      const int64_t v = fixed((y + 0.5) * s.scaleY + s.dy - 0.5);
      // Runs of every start and length across the row, through the edges.
      for (int from = left; from < left + width; from += 7) {
        const int count = std::min(left + width - from, 3 + (from - left) * 5 % 41);
        std::vector<QRgb> general(count), laidOut(count);
        span.sample(origin + from * step, v, step, 0, count, general.data());
        direct.sample(span, v, from, count, laidOut.data());
        ASSERT_EQ(laidOut, general) << "from " << from;
      }
      std::vector<QRgb> plain(width), viaColumns(width, 1);
      ImageResampler::resampleRow(image, s.edges, toSource, left, y, width, plain.data());
      ImageResampler::resampleRow(image, s.edges, toSource, left, y, width, viaColumns.data(),
                                  &columns);
      ASSERT_EQ(viaColumns, plain);
    }
  }
}
