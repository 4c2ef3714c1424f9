#include <gtest/gtest.h>

#include <QColorSpace>

#include "graphics/LargeImageBuffer.h"

namespace {

QImage patterned(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) row[x] = qRgba(x & 255, y & 255, (x ^ y) & 127, 255);
  }
  image.setDevicePixelRatio(2);
  image.setText(QStringLiteral("Author"), QStringLiteral("brush"));
  image.setColorSpace(QColorSpace::SRgb);
  return image;
}

// Below and above the size laid out in huge pages: the same pixels and
// metadata as the source, in memory of the copy's own.
TEST(LargeImageBufferTest, CopyHoldsTheSourceAndIsIndependentOfIt) {
  for (const QSize size : {QSize(64, 48), QSize(1500, 1100)}) {
    SCOPED_TRACE(size.width());
    const QImage source = patterned(size.width(), size.height());
    QImage copy = gfx::LargeImageBuffer::copyOf(source);
    ASSERT_FALSE(copy.isNull());
    EXPECT_EQ(copy, source);
    EXPECT_EQ(copy.format(), source.format());
    EXPECT_EQ(copy.devicePixelRatio(), 2);
    EXPECT_EQ(copy.text(QStringLiteral("Author")), QStringLiteral("brush"));
    EXPECT_EQ(copy.colorSpace(), source.colorSpace());
    EXPECT_NE(copy.constBits(), source.constBits());
    copy.setPixel(3, 2, qRgba(1, 2, 3, 255));
    EXPECT_EQ(source.pixel(3, 2), qRgba(3, 2, 1, 255));
    EXPECT_EQ(copy.pixel(3, 2), qRgba(1, 2, 3, 255));
  }
  EXPECT_TRUE(gfx::LargeImageBuffer::copyOf(QImage()).isNull());
}

}  // namespace
