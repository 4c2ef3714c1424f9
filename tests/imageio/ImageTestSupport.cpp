#include "ImageTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QPainter>
#include <cmath>

#include "TestSupport.h"
#include "foundation/Error.h"
#include "imageio/ImageDestination.h"

namespace iotest {

QImage testPicture(int width, int height, bool alpha) {
  QImage image(width, height, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
  for (int y = 0; y < height; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < width; ++x) {
      uchar* p = row + x * 4;
      p[0] = uchar(255 * x / std::max(width - 1, 1));
      p[1] = uchar(255 * y / std::max(height - 1, 1));
      p[2] = ((x / 16 + y / 16) % 2) ? 200 : 40;
      p[3] = 255;
      if (alpha) {
        int band = 4 * x / std::max(width, 1);  // clear, ramp, opaque, ramp
        p[3] = band == 0 ? 0 : band == 2 ? 255 : uchar(255 * y / std::max(height - 1, 1));
      }
    }
  }
  return image;
}

QImage deepTestPicture(int width, int height, bool alpha) {
  QImage image(width, height, alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<quint16*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      quint16* p = row + x * 4;
      p[0] = quint16((x * 65535LL) / std::max(width - 1, 1));
      p[1] = quint16((y * 65535LL) / std::max(height - 1, 1));
      p[2] = quint16((x * 7919 + y * 104729) & 0xffff);  // every low bit in use
      p[3] = alpha ? quint16(0xffff - ((x * 257 + y) & 0x7fff)) : 0xffff;
    }
  }
  return image;
}

QByteArray encode(const QString& type, const QImage& image, const QVariantMap& properties) {
  QByteArray bytes;
  fnd::Error error;
  io::ImageDestinationPtr destination =
      io::ImageDestination::createWithData(&bytes, type, 1, {}, &error);
  EXPECT_TRUE(destination) << error.localizedDescription().toStdString();
  if (!destination) return {};
  destination->addImage(gfx::CGImage::make(image), properties);
  EXPECT_TRUE(destination->finalize(&error))
      << type.toStdString() << ": " << error.localizedDescription().toStdString();
  return bytes;
}

gfx::CGImagePtr decode(const QByteArray& bytes, size_t index) {
  fnd::Error error;
  io::ImageSourcePtr source = io::ImageSource::createWithData(bytes, {}, &error);
  EXPECT_TRUE(source) << error.localizedDescription().toStdString();
  if (!source) return nullptr;
  gfx::CGImagePtr image = source->createImageAtIndex(index, &error);
  EXPECT_TRUE(image) << error.localizedDescription().toStdString();
  return image;
}

Difference compare(const QImage& expected, const QImage& actual, int minimumAlpha) {
  Difference difference;
  if (expected.size() != actual.size()) {
    ADD_FAILURE() << "sizes differ";
    difference.maxColor = difference.maxAlpha = 255;
    return difference;
  }
  QImage a = expected.convertToFormat(QImage::Format_RGBA8888);
  QImage b = actual.convertToFormat(QImage::Format_RGBA8888);
  double total = 0;
  qint64 samples = 0;
  for (int y = 0; y < a.height(); ++y) {
    const uchar* pa = a.constScanLine(y);
    const uchar* pb = b.constScanLine(y);
    for (int x = 0; x < a.width() * 4; x += 4) {
      difference.maxAlpha = std::max(difference.maxAlpha, std::abs(pa[x + 3] - pb[x + 3]));
      if (pa[x + 3] < minimumAlpha || pb[x + 3] < minimumAlpha) continue;
      for (int c = 0; c < 3; ++c) {
        int d = std::abs(pa[x + c] - pb[x + c]);
        difference.maxColor = std::max(difference.maxColor, d);
        total += d;
        ++samples;
      }
    }
  }
  difference.meanColor = samples ? total / double(samples) : 0;
  return difference;
}

QImage referenceDecoding(const QString& path, QSize size) {
  QString raw = tst::tempPath("reference.rgba");
  QString output;
  if (tst::runTool("convert", {path + "[0]", "-depth", "8", "RGBA:" + raw}, &output) != 0) {
    ADD_FAILURE() << output.toStdString();
    return {};
  }
  QFile file(raw);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QByteArray bytes = file.readAll();
  if (bytes.size() != qsizetype(size.width()) * size.height() * 4) return {};
  QImage image(size, QImage::Format_RGBA8888);
  for (int y = 0; y < size.height(); ++y)
    memcpy(image.scanLine(y), bytes.constData() + qsizetype(y) * size.width() * 4,
           size_t(size.width()) * 4);
  return image;
}

QImage overWhite(const QImage& image) {
  QImage result(image.size(), QImage::Format_RGBX8888);
  result.fill(Qt::white);
  QPainter painter(&result);
  painter.drawImage(0, 0, image);
  return result;
}

QString writeTemp(const QByteArray& bytes, const QString& artifactName) {
  QString path = tst::tempPath(artifactName);
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
  file.close();
  tst::saveArtifact(path, artifactName);
  return path;
}

}  // namespace iotest
