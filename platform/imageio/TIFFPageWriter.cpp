#include "imageio/TIFFPageWriter.h"

#include <cstring>

#include "imageio/TIFFMemoryStream.h"
#include "imageio/TIFFStripWriter.h"

namespace io {
namespace {

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "8-bit rows are read as 32-bit words");

using Layout = TIFFPageWriter::Layout;

int samplesOf(const Layout& layout) { return layout.gray ? 1 : layout.alpha ? 4 : 3; }

// Strips of at most 128 rows and about 4 MiB: enough strips to spread over
// the cores, and no reader needs much memory for one.
uint32_t rowsPerStrip(const Layout& layout, uint32_t width, uint32_t height) {
  const uint64_t rowBytes =
      uint64_t(width) * uint64_t(samplesOf(layout)) * uint64_t(layout.bits / 8);
  uint64_t rows =
      std::clamp<uint64_t>((uint64_t(4) << 20) / std::max<uint64_t>(rowBytes, 1), 1, 128);
  // JPEG compresses blocks of 8 or 16 rows.
  if (layout.compression == COMPRESSION_JPEG) rows = std::max<uint64_t>(16, rows / 16 * 16);
  return uint32_t(std::min<uint64_t>(rows, height));
}

// The QImage layout holding the file's samples (plus padding or alpha that
// packing drops): straight alpha, so dropping alpha keeps the stored colour
// rather than compositing it on black.
QImage::Format sampleLayout(const Layout& layout, bool sourceHasAlpha) {
  if (layout.gray)
    return layout.bits == 16 ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8;
  bool straight = layout.alpha || sourceHasAlpha;
  if (layout.bits == 32) return straight ? QImage::Format_RGBA32FPx4 : QImage::Format_RGBX32FPx4;
  if (layout.bits == 16) return straight ? QImage::Format_RGBA64 : QImage::Format_RGBX64;
  return straight ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888;
}

// R, G, B, A bytes read as a word ↔ a QRgb: red and blue trade places.
uint32_t swapRedBlue(uint32_t p) {
  return (p & 0xff00ff00u) | ((p << 16) & 0x00ff0000u) | ((p >> 16) & 0xffu);
}

// 8-bit rows the program holds most often, converted without an
// intermediate image: ARGB32 kinds are B, G, R, A in memory.
bool packEightBit(const QImage& source, const Layout& layout, uint32_t first, uint32_t rows,
                  char* out) {
  const QImage::Format format = source.format();
  const bool argb = format == QImage::Format_ARGB32 ||
                    format == QImage::Format_ARGB32_Premultiplied || format == QImage::Format_RGB32;
  const bool rgba = format == QImage::Format_RGBA8888 ||
                    format == QImage::Format_RGBA8888_Premultiplied ||
                    format == QImage::Format_RGBX8888;
  if (layout.bits != 8 || layout.gray || !(argb || rgba)) return false;
  const bool premultiplied = format == QImage::Format_ARGB32_Premultiplied ||
                             format == QImage::Format_RGBA8888_Premultiplied;
  const int samples = samplesOf(layout);
  const int width = source.width();
  auto* o = reinterpret_cast<uint8_t*>(out);
  for (uint32_t r = 0; r < rows; ++r) {
    const auto* in = reinterpret_cast<const uint32_t*>(source.constScanLine(int(first + r)));
    for (int x = 0; x < width; ++x, o += samples) {
      uint32_t p = in[x];
      if (rgba) p = swapRedBlue(p);
      if (premultiplied) p = qUnpremultiply(p);
      o[0] = uint8_t(qRed(p));
      o[1] = uint8_t(qGreen(p));
      o[2] = uint8_t(qBlue(p));
      if (samples == 4) o[3] = uint8_t(qAlpha(p));
    }
  }
  return true;
}

void packRows(const gfx::CGImage& image, const Layout& layout, uint32_t first, uint32_t rows,
              char* out) {
  const QImage& source = image.qImage();
  if (packEightBit(source, layout, first, rows, out)) return;
  // Any other layout: these rows alone, converted by Qt.
  const QImage view(source.constScanLine(int(first)), source.width(), int(rows),
                    source.bytesPerLine(), source.format());
  const QImage converted = view.convertToFormat(sampleLayout(layout, source.hasAlphaChannel()));
  const size_t sampleBytes = size_t(layout.bits / 8);
  const int samples = samplesOf(layout);
  const size_t rowBytes = size_t(source.width()) * size_t(samples) * sampleBytes;
  for (uint32_t r = 0; r < rows; ++r, out += rowBytes) {
    const uchar* row = converted.constScanLine(int(r));
    if (samples == 3) {
      for (int x = 0; x < source.width(); ++x)
        std::memcpy(out + size_t(x) * 3 * sampleBytes, row + size_t(x) * 4 * sampleBytes,
                    3 * sampleBytes);
    } else {
      std::memcpy(out, row, rowBytes);
    }
  }
}

}  // namespace

bool TIFFPageWriter::write(TIFFMemoryStream& stream, const Layout& layout, int page, int pages) {
  TIFF* tiff = stream.handle();
  const gfx::CGImage& image = *layout.image;
  const uint32_t width = uint32_t(image.width()), height = uint32_t(image.height());
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(layout.bits));
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samplesOf(layout)));
  TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT,
               layout.bits == 32 ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.gray ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  // Upright is what readers assume without the field; leaving it out keeps
  // an exported file free of an orientation its source had removed.
  if (layout.orientation != ORIENTATION_TOPLEFT)
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, uint16_t(layout.orientation));
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, layout.compression);
  if (layout.compression == COMPRESSION_JPEG)
    TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, layout.jpegQuality);
  if (layout.predictor != PREDICTOR_NONE) TIFFSetField(tiff, TIFFTAG_PREDICTOR, layout.predictor);
  if (layout.alpha) {
    uint16_t kind = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, uint16_t(1), &kind);
  }
  if (layout.dpiX > 0 && layout.dpiY > 0) {
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, float(layout.dpiX));
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, float(layout.dpiY));
  }
  for (const auto& [tag, value] : layout.text) TIFFSetField(tiff, tag, value.constData());
  if (pages > 1) {
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tiff, TIFFTAG_PAGENUMBER, uint16_t(page), uint16_t(pages));
  }
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rowsPerStrip(layout, width, height));
  bool ok = TIFFStripWriter::write(stream, [&](uint32_t first, uint32_t rows, char* out) {
    packRows(image, layout, first, rows, out);
  });
  return ok && TIFFWriteDirectory(tiff) != 0;
}

}  // namespace io
