#include <gtest/gtest.h>

#include <QUrl>
#include <random>

#include "QuickLookTestStores.h"
#include "TestSupport.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "quicklook/IMDocument.h"

namespace {

// Smooth colours, fine stripes and grain, with an alpha that varies when
// `transparent`: what a reduced decode must average as the full one would.
QImage texture(const QSize& size, int seed, bool transparent) {
  QImage pixels(size, QImage::Format_ARGB32);
  std::mt19937 random(seed);
  for (int y = 0; y < size.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(pixels.scanLine(y));
    for (int x = 0; x < size.width(); ++x) {
      const int grain = int(random() % 16);
      const int stripe = (x / 3 + y / 5) % 2 ? 40 : 0;
      row[x] = qRgba((x * 255 / size.width() + grain + seed * 40) & 255,
                     (y * 255 / size.height() + stripe) & 255, (grain * 8 + stripe) & 255,
                     transparent ? 255 - (x * 200 / size.width()) : 255);
    }
  }
  return pixels;
}

StoreLayer texturedLayer(const QPoint& origin, const QSize& size, int seed, bool transparent) {
  StoreLayer layer(QRect(origin, size), Qt::black);
  layer.pixels = texture(size, seed, transparent);
  return layer;
}

QImage drawingPixels(const gfx::ImagePtr& image) {
  auto bitmap = ima_bitmapRepresentation(image);
  return bitmap ? bitmap->cgImage()->toFormat(QImage::Format_ARGB32_Premultiplied) : QImage();
}

}  // namespace

// A thumbnail decodes each layer's pixels reduced, never at full size, and
// still shows what flattening the fully decoded layers at its size shows:
// rotated, zoomed, half-transparent and blended layers alike, some of sides
// that the reduction does not divide.
TEST(IMDocumentTest, ThumbnailOfReducedLayersMatchesFullDecodeScaledDown) {
  const QString path = tst::tempPath("reduced.zova");
  StoreLayer rotated = texturedLayer({150, 100}, {600, 500}, 2, false);
  rotated.rotation = 20;
  rotated.alpha = 0.7;
  rotated.operation = 14;  // multiply
  StoreLayer zoomed = texturedLayer({700, 500}, {300, 300}, 3, false);
  zoomed.zoom = 1.5;
  zoomed.operation = 15;  // screen
  writeStore(path, QSizeF(1200, 900),
             {zoomed, rotated, texturedLayer({100, 300}, {800, 400}, 4, true),
              texturedLayer({0, 0}, {1200, 900}, 1, false)});
  const QUrl url = QUrl::fromLocalFile(path);
  for (const QSizeF& size : {QSizeF(128, 96), QSizeF(256, 192)}) {
    SCOPED_TRACE(size.width());
    auto full = quicklook::IMDocument::generateDocumentForQuickLookWithURL(url, {});
    ASSERT_TRUE(full && full->composedImage());
    for (Layer* layer : full->composedImage()->layersArray())
      ASSERT_TRUE(layer->image()->nsImage());
    const QImage expected = drawingPixels(full->finalImageResizedTo(size));

    auto reduced = quicklook::IMDocument::generateDocumentForQuickLookWithURL(url, {});
    ASSERT_TRUE(reduced && reduced->composedImage());
    const QImage got = drawingPixels(reduced->finalImageResizedTo(size));
    for (Layer* layer : reduced->composedImage()->layersArray()) {
      gfx::ImagePtr pixels = layer->image()->localImage();
      ASSERT_TRUE(pixels);
      EXPECT_LT(drawingPixels(pixels).width(), int(pixels->size().width()));
    }
    tst::saveArtifactData(reduced->finalImageTiffDataResizedTo(size),
                          QStringLiteral("quicklook-reduced-layers-%1.tiff").arg(size.width()));

    ASSERT_EQ(got.size(), expected.size());
    ASSERT_EQ(got.size(), size.toSize());
    double total = 0;
    int beyond = 0;  // values off by more than 8/255
    for (int y = 0; y < got.height(); ++y)
      for (int x = 0; x < got.width(); ++x) {
        const QRgb a = got.pixel(x, y), b = expected.pixel(x, y);
        for (int shift : {0, 8, 16, 24}) {
          const int difference = std::abs(int((a >> shift) & 255) - int((b >> shift) & 255));
          total += difference;
          beyond += difference > 8;
        }
      }
    // Within 2/255 on average. A layer whose sides are not a whole number
    // of reduced pixels is drawn stretched by less than one of them, so
    // its edges may land up to a device pixel off.
    const int values = got.width() * got.height() * 4;
    EXPECT_LE(total / values, 2.0);
    EXPECT_LE(beyond, values / 50);
  }
}
