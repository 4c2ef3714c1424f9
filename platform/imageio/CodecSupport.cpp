#include "imageio/CodecSupport.h"

#include <QTransform>
#include <cmath>

#include "foundation/Error.h"
#include "foundation/Localized.h"
#include "imageio/ImageProperties.h"

namespace io::codec {

bool failRead(fnd::Error* error, const QString& formatName, const QString& detail) {
  return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
                   fnd::localized("The %1 file is damaged or incomplete (%2).")
                       .arg(formatName, detail.trimmed()));
}

RequestBudget::RequestBudget(const DecodeRequest& request, const QString& formatName)
    : own_(request.limits, formatName), budget_(request.budget ? request.budget : &own_) {
  budget_->setFormatName(formatName);
}

QImage allocateImage(DecodeBudget& budget, int64_t width, int64_t height, QImage::Format format,
                     fnd::Error* error) {
  if (!budget.reserveImage(width, height, format, error)) return QImage();
  QImage image(int(width), int(height), format);
  if (image.isNull()) {
    budget.release(DecodeBudget::imageBytes(width, height, format));
    failRead(error, budget.formatName(), QStringLiteral("not enough memory"));
  }
  return image;
}

bool failWrite(fnd::Error* error, const QString& formatName, const QString& detail) {
  return fnd::fail(
      error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
      fnd::localized("Could not write the %1 image (%2).").arg(formatName, detail.trimmed()));
}

QVariant option(const QVariantMap& properties, const QString& key, const QString& dictionary) {
  if (properties.contains(key)) return properties.value(key);
  if (!dictionary.isEmpty()) return properties.value(dictionary).toMap().value(key);
  return {};
}

bool keepsAlpha(const gfx::CGImage& image, const QVariantMap& properties) {
  if (!image.hasAlpha()) return false;
  if (properties.contains(PropertyHasAlpha) && !properties.value(PropertyHasAlpha).toBool())
    return false;
  return properties.value(DestinationKeepAlpha, true).toBool();
}

double quality(const QVariantMap& properties, double fallback) {
  bool ok = false;
  double value = properties.value(DestinationLossyCompressionQuality).toDouble(&ok);
  if (!ok || std::isnan(value)) return fallback;
  return std::clamp(value, 0.0, 1.0);
}

static double positive(const QVariant& value) {
  bool ok = false;
  double number = value.toDouble(&ok);
  return ok && number > 0 && std::isfinite(number) ? number : 0;
}

double dpiWidth(const QVariantMap& properties) {
  return positive(properties.value(PropertyDPIWidth));
}

double dpiHeight(const QVariantMap& properties) {
  double height = positive(properties.value(PropertyDPIHeight));
  return height > 0 ? height : dpiWidth(properties);
}

double dpiOfPixelsPerMeter(double pixelsPerMeter) {
  return std::round(pixelsPerMeter * 2.54) / 100.0;
}

int orientation(const QVariantMap& properties) {
  int value = option(properties, PropertyOrientation, PropertyTIFFDictionary).toInt();
  return value >= 1 && value <= 8 ? value : 1;
}

int integerDepth(const gfx::CGImage& image) { return image.bitsPerComponent() > 8 ? 16 : 8; }

bool isGray(const gfx::CGImage& image) {
  QImage::Format format = image.qImage().format();
  return format == QImage::Format_Grayscale8 || format == QImage::Format_Grayscale16;
}

QImage pixels(const QImage& image, bool alpha, int depth, bool gray) {
  auto toFormat = [&image](QImage::Format format) {
    return image.format() == format ? image : image.convertToFormat(format);
  };
  if (gray) return toFormat(depth == 16 ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8);
  if (depth == 16) return toFormat(alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
  if (!alpha && image.hasAlphaChannel()) {
    // Dropping alpha keeps the stored colour rather than compositing it on
    // black, so a later re-import shows the same colours where alpha was low.
    QImage straight = toFormat(QImage::Format_RGBA8888);
    straight.reinterpretAsFormat(QImage::Format_RGBX8888);
    for (int y = 0; y < straight.height(); ++y) {
      uchar* row = straight.scanLine(y);
      for (int x = 0; x < straight.width(); ++x) row[x * 4 + 3] = 255;
    }
    return straight;
  }
  return toFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
}

QImage pixels(const gfx::CGImage& image, bool alpha, int depth, bool gray) {
  return pixels(image.qImage(), alpha, depth, gray);
}

QVariantMap baseProperties(int width, int height, int depth, bool hasAlpha,
                           const QString& colorModel) {
  return {{PropertyPixelWidth, width},  {PropertyPixelHeight, height},    {PropertyDepth, depth},
          {PropertyHasAlpha, hasAlpha}, {PropertyColorModel, colorModel}, {PropertyOrientation, 1}};
}

QImage applyOrientation(const QImage& image, int orientation) {
  switch (orientation) {
    case 2:
      return image.mirrored(true, false);
    case 3:
      return image.mirrored(true, true);
    case 4:
      return image.mirrored(false, true);
    case 5:
      return image.transformed(QTransform().rotate(90)).mirrored(true, false);
    case 6:
      return image.transformed(QTransform().rotate(90));
    case 7:
      return image.transformed(QTransform().rotate(-90)).mirrored(true, false);
    case 8:
      return image.transformed(QTransform().rotate(-90));
    default:
      return image;
  }
}

QImage fitWithin(const QImage& image, int maxSide) {
  if (maxSide <= 0 || std::max(image.width(), image.height()) <= maxSide) return image;
  return image.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

}  // namespace io::codec
