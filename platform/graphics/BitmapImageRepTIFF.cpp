// TIFF encoding and decoding of bitmap representations, through libtiff.
#include <tiffio.h>

#include <vector>

#include "graphics/BitmapImageRep.h"
#include "graphics/TIFFMemoryFile.h"

namespace gfx {
namespace {

constexpr qint64 MaxDecodedPixels = qint64(1) << 28;

bool fileHasAlpha(TIFF* tiff) {
  uint16_t count = 0;
  uint16_t* kinds = nullptr;
  return TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &count, &kinds) == 1 && count > 0;
}

// One directory as premultiplied RGBA (libtiff premultiplies unassociated
// alpha while converting).
QImage readDirectory(TIFF* tiff, QSizeF* dotsPerInch, QString* problem) {
  uint32_t width = 0, height = 0;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  if (width == 0 || height == 0 || qint64(width) * height > MaxDecodedPixels) {
    *problem = QStringLiteral("unsupported image dimensions %1×%2").arg(width).arg(height);
    return {};
  }
  QImage image(int(width), int(height), QImage::Format_RGBA8888_Premultiplied);
  if (image.isNull()) {
    *problem = QStringLiteral("not enough memory for %1×%2 pixels").arg(width).arg(height);
    return {};
  }
  // libtiff packs pixels as ABGR words, which little-endian memory holds as
  // R, G, B, A: the layout of Format_RGBA8888_Premultiplied. Rows are padded
  // by QImage only to 4 bytes, which 32-bit pixels never need.
  if (!TIFFReadRGBAImageOriented(tiff, width, height, reinterpret_cast<uint32_t*>(image.bits()),
                                 ORIENTATION_TOPLEFT, 0)) {
    *problem = QStringLiteral("the pixel data is damaged");
    return {};
  }
  if (!fileHasAlpha(tiff)) image.convertTo(QImage::Format_RGBX8888);
  float xres = 0, yres = 0;
  uint16_t unit = RESUNIT_INCH;
  TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
  *dotsPerInch = QSizeF();
  // Without a unit the resolution is only an aspect ratio; it sets no size.
  if (unit != RESUNIT_NONE && TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xres) &&
      TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yres) && xres > 0 && yres > 0) {
    double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    *dotsPerInch = QSizeF(xres * perInch, yres * perInch);
  }
  return image;
}

// Our JPEG value (6) is the old-style JPEG tag, which libtiff only reads;
// files are written with the current JPEG scheme (7).
uint16_t libtiffCompression(TIFFCompression compression) {
  return compression == TIFFCompression::JPEG ? COMPRESSION_JPEG : uint16_t(compression);
}

// Pixels in the layout written: straight alpha (TIFF's unassociated kind),
// 8 or 16 bits per sample.
QImage pixelsToWrite(const CGImage& image, bool sixteenBits) {
  if (sixteenBits)
    return image.toFormat(image.hasAlpha() ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
  return image.toFormat(image.hasAlpha() ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
}

bool writeDirectory(TIFF* tiff, const BitmapImageRep& rep, TIFFCompression compression,
                    float factor, int page, int pages) {
  const CGImage& image = *rep.cgImage();
  bool sixteen = image.bitsPerComponent() > 8 && compression != TIFFCompression::JPEG;
  QImage pixels = pixelsToWrite(image, sixteen);
  bool alpha = image.hasAlpha();
  uint16_t samples = alpha ? 4 : 3;
  uint16_t bits = sixteen ? 16 : 8;
  // RGBX64 keeps a fourth (padding) channel in memory; it is dropped per row.
  int memorySamples = sixteen ? 4 : samples;

  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(pixels.width()));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(pixels.height()));
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, libtiffCompression(compression));
  if (compression == TIFFCompression::JPEG)
    TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, int(std::clamp(std::lround(factor * 100), 1L, 100L)));
  if (alpha) {
    uint16_t kind = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, uint16_t(1), &kind);
  }
  // Resolution says how large the pixels are in points (72 per inch).
  if (!rep.size().isEmpty()) {
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, float(72.0 * pixels.width() / rep.size().width()));
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, float(72.0 * pixels.height() / rep.size().height()));
  }
  if (pages > 1) {
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tiff, TIFFTAG_PAGENUMBER, uint16_t(page), uint16_t(pages));
  }
  // JPEG strips must be a multiple of 16 rows.
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 16 * 8));

  std::vector<uint8_t> row(size_t(pixels.width()) * samples * (bits / 8));
  for (int y = 0; y < pixels.height(); ++y) {
    const uchar* source = pixels.constScanLine(y);
    if (memorySamples == samples) {
      std::memcpy(row.data(), source, row.size());
    } else {
      const uint16_t* in = reinterpret_cast<const uint16_t*>(source);
      uint16_t* out = reinterpret_cast<uint16_t*>(row.data());
      for (int x = 0; x < pixels.width(); ++x)
        for (int c = 0; c < samples; ++c) out[x * samples + c] = in[x * 4 + c];
    }
    if (TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) < 0) return false;
  }
  return TIFFWriteDirectory(tiff) == 1;
}

}  // namespace

QList<std::shared_ptr<BitmapImageRep>> BitmapImageRep::imageRepsWithTIFF(const QByteArray& data,
                                                                         fnd::Error* error) {
  TIFFMemoryFile file(data);
  QList<BitmapImageRepPtr> reps;
  QString problem;
  if (file.handle()) {
    do {
      QSizeF dpi;
      QImage image = readDirectory(file.handle(), &dpi, &problem);
      if (image.isNull()) break;
      auto rep = make(CGImage::make(image));
      if (!dpi.isEmpty())
        rep->setSize(QSizeF(image.width() * 72 / dpi.width(), image.height() * 72 / dpi.height()));
      reps.append(rep);
    } while (TIFFReadDirectory(file.handle()));
  }
  if (reps.isEmpty()) {
    if (problem.isEmpty()) problem = file.errorMessage();
    fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
              QStringLiteral("The TIFF data could not be read: %1.").arg(problem));
  }
  return reps;
}

QByteArray BitmapImageRep::TIFFRepresentationUsingCompression(TIFFCompression compression,
                                                              float factor) const {
  auto self = std::make_shared<BitmapImageRep>(*this);
  return TIFFRepresentationOfImageRepsInArray({self}, compression, factor);
}

QByteArray BitmapImageRep::TIFFRepresentationOfImageRepsInArray(
    const QList<std::shared_ptr<BitmapImageRep>>& reps, TIFFCompression compression, float factor) {
  TIFFMemoryFile file;
  if (!file.handle() || reps.isEmpty()) return {};
  int page = 0;
  for (const BitmapImageRepPtr& rep : reps) {
    if (!rep || !rep->cgImage() ||
        !writeDirectory(file.handle(), *rep, compression, factor, page++, int(reps.size()))) {
      return {};
    }
  }
  file.close();
  return file.bytes();
}

}  // namespace gfx
