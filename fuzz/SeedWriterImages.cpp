// Seeds of the image file targets: each format written by its destination
// in the layouts it can write (alpha or not, grey, 16 bits, float, several
// frames, each compression), plus the graphics target's share of them.
#include <algorithm>
#include <iterator>
#include <limits>

#include "SeedWriter.h"
#include "foundation/Error.h"
#include "imageio/ImageDestination.h"
#include "imageio/ImageProperties.h"
#include "imageio/TIFFMemoryStream.h"
#include "imageio/TypeIdentifiers.h"

namespace {

struct Variant {
  QString name;
  QList<QImage> frames;
  QVariantMap properties;
};

// Float samples no colour has, NaN and infinities in colour and alpha, in a
// picture wide enough that the targets' thumbnails take the reduced decode.
QImage nonFinitePicture() {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float samples[][4] = {{nan, 0.5f, 0, 1}, {inf, -inf, 0.5f, 1}, {0.5f, 0.5f, 0, nan},
                              {0.5f, 0, 1, inf}, {inf, 0.5f, 0, 0.5f}, {nan, nan, nan, nan}};
  QImage image(64, 8, QImage::Format_RGBA32FPx4);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<float*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      std::copy_n(samples[(x / 4 + y) % std::size(samples)], 4, row + 4 * x);
  }
  return image;
}

QList<Variant> variantsOf(const QString& type) {
  const QImage rgba = seedPicture(16, 12, QImage::Format_RGBA8888);
  QList<Variant> variants = {
      {"rgba", {rgba}, {}},
      {"opaque", {seedPicture(9, 7, QImage::Format_RGBX8888)}, {{io::PropertyHasAlpha, false}}},
      {"grey", {seedPicture(8, 8, QImage::Format_Grayscale8)}, {}},
      {"one-pixel", {seedPicture(1, 1, QImage::Format_RGBA8888)}, {}},
      {"rotated", {rgba}, {{io::PropertyOrientation, 6}, {io::PropertyDPIWidth, 300.0}}},
      {"lossy", {rgba}, {{io::DestinationLossyCompressionQuality, 0.4}}},
      // Camera text and exposure fields, so EXIF blocks carry strings and rationals.
      {"camera",
       {rgba},
       {{io::PropertyTIFFDictionary, QVariantMap{{"Make", "Maker"}, {"Model", "M1"}}},
        {io::PropertyExifDictionary,
         QVariantMap{{"ExposureTime", 0.004}, {"FNumber", 2.8}, {"LensModel", "35mm"}}}}},
  };
  if (type == io::TypePNG || type == io::TypeTIFF)
    variants.append({"deep", {seedPicture(8, 6, QImage::Format_RGBA64)}, {}});
  if (type == io::TypeOpenEXR) {
    variants.append({"float", {seedPicture(8, 6, QImage::Format_RGBA32FPx4)}, {}});
    variants.append({"non-finite", {nonFinitePicture()}, {}});
  }
  if (type == io::TypeTIFF) {
    for (int compression :
         {io::TIFFCompressionNone, io::TIFFCompressionPackBits, io::TIFFCompressionLZW})
      variants.append({QStringLiteral("compression-%1").arg(compression),
                       {rgba},
                       {{io::PropertyTIFFDictionary,
                         QVariantMap{{io::PropertyTIFFCompression, compression}}}}});
  }
  if (type == io::TypeTIFF || type == io::TypeGIF || type == io::TypePDF) {
    variants.append({"pages",
                     {rgba, seedPicture(5, 9, QImage::Format_RGBX8888)},
                     {{io::PropertyGIFDictionary, QVariantMap{{io::PropertyGIFLoopCount, 3},
                                                              {io::PropertyGIFDelayTime, 0.2}}}}});
  }
  return variants;
}

QString targetOf(const QString& type) {
  static const QMap<QString, QString> targets = {
      {io::TypePNG, "png"},           {io::TypeJPEG, "jpeg"},       {io::TypeTIFF, "tiff"},
      {io::TypeGIF, "gif"},           {io::TypeBMP, "bmp"},         {io::TypeTGA, "tga"},
      {io::TypeJPEG2000, "jpeg2000"}, {io::TypeOpenEXR, "openexr"}, {io::TypePDF, "pdf"}};
  return targets.value(type);
}

}  // namespace

void SeedWriter::writeImageFiles() {
  for (const QString& type : io::TypeIdentifiers::writableTypes()) {
    const QString target = targetOf(type);
    if (target.isEmpty()) continue;
    for (const Variant& variant : variantsOf(type)) {
      writeImageFile(target, type, variant.frames, variant.properties, variant.name);
      // The graphics layer reads the bitmap formats a pasteboard carries.
      if (type == io::TypePNG || type == io::TypeTIFF || type == io::TypeJPEG)
        writeImageFile("graphics_image", type, variant.frames, variant.properties,
                       target + "-" + variant.name);
    }
  }
}

void SeedWriter::writeImageFile(const QString& target, const QString& type,
                                const QList<QImage>& frames, const QVariantMap& properties,
                                const QString& name) {
  QByteArray bytes;
  fnd::Error error;
  io::ImageDestinationPtr destination =
      io::ImageDestination::createWithData(&bytes, type, size_t(frames.size()), {}, &error);
  if (!destination) return fail(type + ": " + error.localizedDescription());
  for (const QImage& frame : frames) destination->addImage(gfx::CGImage::make(frame), properties);
  if (!destination->finalize(&error))
    return fail(type + " " + name + ": " + error.localizedDescription());
  write(target, name + "." + io::TypeIdentifiers::preferredFilenameExtension(type), bytes);
}

// The LZW target's inputs: the first strip of LZW TIFFs the TIFF
// destination writes, behind the two bytes giving its row bytes and rows.
void SeedWriter::writeLZWStrips() {
  const QImage pictures[] = {
      seedPicture(8, 8, QImage::Format_Grayscale8), seedPicture(16, 12, QImage::Format_RGBA8888),
      seedPicture(64, 40, QImage::Format_RGBA8888), seedPicture(63, 64, QImage::Format_RGBX8888)};
  const QVariantMap lzw{{io::PropertyTIFFDictionary,
                         QVariantMap{{io::PropertyTIFFCompression, io::TIFFCompressionLZW}}}};
  int index = 0;
  for (const QImage& picture : pictures) {
    QByteArray file;
    fnd::Error error;
    io::ImageDestinationPtr destination =
        io::ImageDestination::createWithData(&file, io::TypeTIFF, 1, {}, &error);
    if (!destination) return fail("LZW strips: " + error.localizedDescription());
    destination->addImage(gfx::CGImage::make(picture), lzw);
    if (!destination->finalize(&error)) return fail("LZW strips: " + error.localizedDescription());
    io::TIFFMemoryStream stream(file.constData(), uint64_t(file.size()));
    TIFF* tiff = stream.open("r");
    uint32_t rows = 0;
    if (!tiff || !TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &rows))
      return fail("LZW strips: no strip");
    const tmsize_t rowBytes = TIFFScanlineSize(tiff);
    const uint64_t offset = TIFFGetStrileOffset(tiff, 0), count = TIFFGetStrileByteCount(tiff, 0);
    if (rowBytes < 1 || rowBytes > 256 || rows < 1 || rows > 64 ||
        offset + count > uint64_t(file.size()))
      return fail("LZW strips: a strip out of the target's range");
    QByteArray seed;
    seed.append(char(rowBytes - 1)).append(char(rows - 1));
    seed.append(file.constData() + offset, qsizetype(count));
    write("lzw", QStringLiteral("strip-%1").arg(index++), seed);
  }
}
