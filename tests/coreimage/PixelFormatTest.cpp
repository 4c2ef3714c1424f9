#include <gtest/gtest.h>

#include "coreimage/PixelFormat.h"

// Bitmap nodes decide once, through loadsQImageFormat, whether rows are read
// directly; a format it accepts that loadQImageRow does not read would leave
// the engine's rows unwritten. Every format is asked, with a real row: the
// decision itself must not touch pixels (it used to copy zero bytes from a
// null row, which is undefined behaviour).
TEST(PixelFormat, DirectRowReadingAgreesWithTheFormatCheck) {
  int direct = 0;
  for (int f = QImage::Format_Mono; f < QImage::NImageFormats; ++f) {
    const auto format = QImage::Format(f);
    SCOPED_TRACE(f);
    QImage image(2, 1, format);
    image.fill(Qt::white);
    float row[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    const bool read = ci::loadQImageRow(image.constScanLine(0), format, row, 2);
    EXPECT_EQ(read, ci::loadsQImageFormat(format));
    if (!read) continue;
    ++direct;
    for (float component : row) EXPECT_FLOAT_EQ(component, 1.0f);
  }
  EXPECT_EQ(direct, 7);
}
