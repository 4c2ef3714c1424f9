// Pictures and comparisons the image file tests share.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVariantMap>

#include "graphics/CGImage.h"
#include "imageio/ImageSource.h"

namespace iotest {

// A picture with gradients, hard edges and (when `alpha`) an alpha ramp
// from fully clear to opaque plus clear and opaque blocks, as RGBA8888 (or
// RGBX8888 without alpha).
QImage testPicture(int width, int height, bool alpha);
// The same at 16 bits a component with values using all 16 bits.
QImage deepTestPicture(int width, int height, bool alpha);

// Encodes one image; fails the current test (and returns empty) on error.
QByteArray encode(const QString& type, const QImage& image, const QVariantMap& properties = {});

// Opens bytes and decodes image `index`; null (with a test failure) on error.
gfx::CGImagePtr decode(const QByteArray& bytes, size_t index = 0);

// Differences per 8-bit component between two images of the same size,
// compared as straight (unpremultiplied) RGBA8888. Colour is compared only
// where both alphas are at least `minimumAlpha`; alpha always.
struct Difference {
  double meanColor = 0;
  int maxColor = 0;
  int maxAlpha = 0;
};
Difference compare(const QImage& expected, const QImage& actual, int minimumAlpha = 1);

// ImageMagick's decoding of the first image in `path` as straight
// RGBA8888, expected to be `size`; a null image (with a test failure when
// the tool fails) otherwise.
QImage referenceDecoding(const QString& path, QSize size);

// `image` composited over white, opaque.
QImage overWhite(const QImage& image);

// A path in the test's temporary folder holding `bytes`, also kept as an
// artifact under `artifactName`.
QString writeTemp(const QByteArray& bytes, const QString& artifactName);

}  // namespace iotest
