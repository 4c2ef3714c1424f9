// Pixel access for the image helper tests: images are read through their
// first bitmap representation, rows counted upwards as documents do.
#pragma once

#include <QColor>
#include <QFile>
#include <QImage>
#include <algorithm>

#include "TestSupport.h"
#include "graphics/BitmapImageRep.h"
#include "graphics/Image.h"

namespace mht {

inline QImage pixelsOf(const gfx::ImagePtr& image) {
  if (!image) return {};
  auto rep = image->firstRepresentationOfClass<gfx::BitmapImageRep>();
  return rep ? rep->cgImage()->toFormat(QImage::Format_ARGB32) : QImage();
}

// Straight colour at (x, y) with y counted from the bottom row.
// The largest difference, in units of 1/255 per component, between two
// images of the same size; 256 when their sizes differ.
inline int largestDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 256;
  int worst = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                        std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
    }
  return worst;
}

inline QColor pixelAt(const QImage& pixels, int x, int y) {
  return pixels.pixelColor(x, pixels.height() - 1 - y);
}

// Whether two 8-bit colours agree within `tolerance` steps in every channel.
inline bool near(const QColor& a, const QColor& b, int tolerance = 1) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

inline QString describe(const QColor& c) {
  return QStringLiteral("(%1, %2, %3, %4)")
      .arg(c.red())
      .arg(c.green())
      .arg(c.blue())
      .arg(c.alpha());
}

// `bytes` written to a fresh temporary file, for tools that read files.
inline QString writeTemp(const QByteArray& bytes, const QString& name) {
  const QString path = tst::tempPath(name);
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write(bytes);
  return path;
}

}  // namespace mht
