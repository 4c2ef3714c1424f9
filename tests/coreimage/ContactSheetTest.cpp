// The whole catalogue at its defaults on one standard picture: every
// built-in filter renders, without a NaN or an infinity in its pixels, and
// leaves one PNG per filter in the artifacts folder to be looked at.
#include <gtest/gtest.h>

#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "CoreImageTestSupport.h"
#include "TestSupport.h"
#include "coreimage/Filter.h"

using ci::Filter;
using ci::Image;

namespace {

constexpr int kWidth = 320, kHeight = 240;

// Sky to ground gradient, a red disc, a translucent green square, a grey
// ramp and a black-and-white checker band: colour, edges, flat areas and
// partial coverage in one picture.
Image standardPicture() {
  QImage pixels(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&pixels);
  QLinearGradient sky(0, 0, 0, kHeight);
  sky.setColorAt(0, QColor(40, 90, 200));
  sky.setColorAt(0.6, QColor(200, 220, 250));
  sky.setColorAt(1, QColor(90, 140, 60));
  p.fillRect(pixels.rect(), sky);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(220, 30, 40));
  p.drawEllipse(QPointF(110, 100), 60, 60);
  p.setBrush(QColor(20, 200, 60, 140));
  p.drawRect(QRectF(150, 60, 110, 90));
  QLinearGradient ramp(0, 0, kWidth, 0);
  ramp.setColorAt(0, Qt::black);
  ramp.setColorAt(1, Qt::white);
  p.fillRect(QRectF(0, 180, kWidth, 24), ramp);
  for (int x = 0; x < kWidth; x += 16)
    p.fillRect(QRectF(x, 210, 8, 30), (x / 16) % 2 ? Qt::white : Qt::black);
  p.end();
  return Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

// The image second inputs (backgrounds, masks, targets, textures) get: a
// radial gradient in warm colours over diagonal stripes.
Image secondPicture() {
  QImage pixels(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&pixels);
  p.fillRect(pixels.rect(), QColor(250, 240, 200));
  p.setPen(QPen(QColor(60, 60, 140), 10));
  for (int x = -kHeight; x < kWidth; x += 30) p.drawLine(x, 0, x + kHeight, kHeight);
  QRadialGradient glow(QPointF(200, 120), 150);
  glow.setColorAt(0, QColor(255, 200, 0, 230));
  glow.setColorAt(1, QColor(255, 0, 80, 0));
  p.fillRect(pixels.rect(), glow);
  p.end();
  return Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

// A colour ramp one pixel high, what a colour map reads along.
Image gradientStrip() {
  return citest::functionImage(256, 1, [](int x, int) {
    const float t = x / 255.0f;
    return citest::RGBA{t, t * t, 1 - t, 1};
  });
}

void setImageInputs(Filter& filter, const Image& picture) {
  const QVariantMap attributes = filter.attributes();
  for (const QString& key : filter.inputKeys()) {
    const QVariantMap input = attributes.value(key).toMap();
    if (input.value(ci::kCIAttributeClass).toString() != ci::kClassCIImage) continue;
    const Image value = key == ci::kCIInputImageKey   ? picture
                        : key == "inputGradientImage" ? gradientStrip()
                                                      : secondPicture();
    filter.setValue(QVariant::fromValue(value), key);
  }
}

// What is shown of an output: the picture's area for unbounded results,
// small ones (reductions) enlarged so their pixels can be seen.
Image viewable(const Image& output, QRectF* rect) {
  const QRectF picture(0, 0, kWidth, kHeight);
  const QRectF extent = output.extent();
  if (ci::isInfinite(extent) || extent.width() > 4 * kWidth || extent.height() > 4 * kHeight) {
    *rect = picture;
    return output;
  }
  if (extent.width() >= 16 && extent.height() >= 16) {
    *rect = extent;
    return output;
  }
  const double sx = extent.width() < 16 ? 64 / extent.width() : 1;
  const double sy = extent.height() < 16 ? 64 / extent.height() : 1;
  const Image scaled = output.imageByApplyingTransform(
      QTransform::fromTranslate(-extent.x(), -extent.y()) * QTransform::fromScale(sx, sy),
      ci::Sampling::Nearest);
  *rect = scaled.extent();
  return scaled;
}

bool allFinite(const ci::PixelBuffer& pixels) {
  const ci::IRect& r = pixels.rect();
  for (int y = r.y; y < r.top(); ++y)
    for (int i = 0; i < r.w * 4; ++i)
      if (!std::isfinite(pixels.row(y)[i])) return false;
  return true;
}

}  // namespace

TEST(ContactSheet, EveryBuiltInFilterRendersItsDefaults) {
  const Image picture = standardPicture();
  citest::saveRendered(picture, picture.extent(), "contactsheet-0-picture");
  const QStringList names = Filter::filterNamesInCategory(ci::kCICategoryBuiltIn);
  ASSERT_GT(names.size(), 20);
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    auto filter = Filter::filterWithName(name);
    ASSERT_TRUE(filter);
    setImageInputs(*filter, picture);
    const Image output = filter->outputImage();
    ASSERT_FALSE(output.isNull());
    if (ci::isEmpty(output.extent())) continue;
    QRectF rect;
    const Image shown = viewable(output, &rect);
    const ci::PixelBuffer pixels = citest::render(shown, rect);
    ASSERT_FALSE(pixels.isNull());
    EXPECT_TRUE(allFinite(pixels));
    citest::saveRendered(shown, rect, QStringLiteral("contactsheet-%1").arg(name));
  }
}
