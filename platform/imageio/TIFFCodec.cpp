#include "imageio/TIFFCodec.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstring>
#include <vector>

#include "foundation/Error.h"
#include "imageio/CodecSupport.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"

namespace io {

namespace {

const QString kName = QStringLiteral("TIFF");

// A file in memory as libtiff's client procedures see it. Reading borrows
// the caller's bytes; writing grows `written`.
struct TiffStream {
  const char* data = nullptr;
  uint64_t size = 0;
  uint64_t position = 0;
  std::vector<char>* written = nullptr;
  char message[1024] = {};
};

tmsize_t readProc(thandle_t handle, void* buffer, tmsize_t count) {
  auto* stream = static_cast<TiffStream*>(handle);
  if (count <= 0 || stream->position >= stream->size) return 0;
  uint64_t available = std::min<uint64_t>(uint64_t(count), stream->size - stream->position);
  // libtiff reads back what it wrote when it links a new directory.
  const char* bytes = stream->written ? stream->written->data() : stream->data;
  std::memcpy(buffer, bytes + stream->position, available);
  stream->position += available;
  return tmsize_t(available);
}

tmsize_t writeProc(thandle_t handle, void* buffer, tmsize_t count) {
  auto* stream = static_cast<TiffStream*>(handle);
  if (!stream->written || count < 0) return -1;
  std::vector<char>& bytes = *stream->written;
  uint64_t end = stream->position + uint64_t(count);
  if (end > bytes.size()) {
    if (end > bytes.capacity()) bytes.reserve(std::max<uint64_t>(end, bytes.capacity() * 2));
    bytes.resize(end);
  }
  std::memcpy(bytes.data() + stream->position, buffer, size_t(count));
  stream->position = end;
  stream->size = bytes.size();
  return count;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence) {
  auto* stream = static_cast<TiffStream*>(handle);
  uint64_t base = whence == SEEK_CUR ? stream->position : whence == SEEK_END ? stream->size : 0;
  stream->position = base + offset;
  return stream->position;
}

int closeProc(thandle_t) { return 0; }

toff_t sizeProc(thandle_t handle) { return static_cast<TiffStream*>(handle)->size; }

int mapProc(thandle_t handle, void** base, toff_t* size) {
  auto* stream = static_cast<TiffStream*>(handle);
  if (stream->written) return 0;
  *base = const_cast<char*>(stream->data);
  *size = stream->size;
  return 1;
}

void unmapProc(thandle_t, void*, toff_t) {}

int onError(TIFF*, void* user, const char* module, const char* format, va_list arguments) {
  auto* stream = static_cast<TiffStream*>(user);
  if (stream->message[0]) return 1;  // the first error is the cause; later ones follow from it
  int used =
      std::snprintf(stream->message, sizeof stream->message, "%s: ", module ? module : "libtiff");
  std::vsnprintf(stream->message + used, sizeof stream->message - size_t(used), format, arguments);
  return 1;
}

int onWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

TIFF* openStream(TiffStream* stream, const char* mode, tmsize_t maxAllocation) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options, onError, stream);
  TIFFOpenOptionsSetWarningHandlerExtR(options, onWarning, stream);
  if (maxAllocation > 0) TIFFOpenOptionsSetMaxSingleMemAlloc(options, maxAllocation);
  TIFF* tiff = TIFFClientOpenExt("memory", mode, stream, readProc, writeProc, seekProc, closeProc,
                                 sizeProc, mapProc, unmapProc, options);
  TIFFOpenOptionsFree(options);
  return tiff;
}

QString messageOf(const TiffStream& stream, const char* fallback) {
  return stream.message[0] ? QString::fromUtf8(stream.message) : QString::fromUtf8(fallback);
}

// The fields of the current directory the decoder and the properties use.
struct Directory {
  uint32_t width = 0, height = 0;
  uint16_t bitsPerSample = 1, samplesPerPixel = 1, photometric = 0, compression = 1;
  uint16_t orientation = 1, planar = PLANARCONFIG_CONTIG, sampleFormat = SAMPLEFORMAT_UINT;
  uint16_t resolutionUnit = RESUNIT_INCH, extraCount = 0, firstExtra = 0;
  float xResolution = 0, yResolution = 0;
  bool tiled = false;

  bool hasAlpha() const { return extraCount > 0; }
  bool associatedAlpha() const { return extraCount > 0 && firstExtra == EXTRASAMPLE_ASSOCALPHA; }
  bool isFloat() const { return sampleFormat == SAMPLEFORMAT_IEEEFP; }
};

Directory readDirectory(TIFF* tiff) {
  Directory d;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &d.width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &d.height);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &d.bitsPerSample);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &d.samplesPerPixel);
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &d.photometric);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &d.compression);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &d.orientation);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &d.planar);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &d.sampleFormat);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &d.resolutionUnit);
  TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &d.xResolution);
  TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &d.yResolution);
  uint16_t* extras = nullptr;
  if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &d.extraCount, &extras) && d.extraCount && extras)
    d.firstExtra = extras[0];
  d.tiled = TIFFIsTiled(tiff);
  return d;
}

QString colorModelOf(const Directory& d) {
  switch (d.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
      return ColorModelGray;
    case PHOTOMETRIC_SEPARATED:
      return ColorModelCMYK;
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_ITULAB:
      return ColorModelLab;
    default:
      return ColorModelRGB;
  }
}

QVariantMap propertiesOf(TIFF* tiff, const Directory& d) {
  QVariantMap properties = codec::baseProperties(int(d.width), int(d.height), d.bitsPerSample,
                                                 d.hasAlpha(), colorModelOf(d));
  properties[PropertyOrientation] = d.orientation >= 1 && d.orientation <= 8 ? d.orientation : 1;
  if (d.isFloat()) properties[PropertyIsFloat] = true;
  if (d.photometric == PHOTOMETRIC_PALETTE) properties[PropertyIsIndexed] = true;
  QVariantMap tags{{PropertyTIFFCompression, d.compression},
                   {PropertyTIFFPhotometricInterpretation, d.photometric},
                   {PropertyTIFFOrientation, d.orientation},
                   {PropertyTIFFResolutionUnit, d.resolutionUnit}};
  double perInch = d.resolutionUnit == RESUNIT_INCH         ? 1.0
                   : d.resolutionUnit == RESUNIT_CENTIMETER ? 2.54
                                                            : 0.0;
  if (d.xResolution > 0 && d.yResolution > 0) {
    tags[PropertyTIFFXResolution] = double(d.xResolution);
    tags[PropertyTIFFYResolution] = double(d.yResolution);
    if (perInch > 0) {
      properties[PropertyDPIWidth] = double(d.xResolution) * perInch;
      properties[PropertyDPIHeight] = double(d.yResolution) * perInch;
    }
  }
  char* software = nullptr;
  if (TIFFGetField(tiff, TIFFTAG_SOFTWARE, &software) && software)
    tags[PropertyTIFFSoftware] = QString::fromUtf8(software);
  properties[PropertyTIFFDictionary] = tags;
  return properties;
}

// Whether rows can be copied straight from scanlines without libtiff's
// general RGBA converter, which premultiplies and only knows 8 bits.
bool readsDirectly(const Directory& d) {
  bool gray =
      d.photometric == PHOTOMETRIC_MINISBLACK && (d.samplesPerPixel == 1 || d.samplesPerPixel == 2);
  bool rgb = d.photometric == PHOTOMETRIC_RGB && (d.samplesPerPixel == 3 || d.samplesPerPixel == 4);
  bool integer =
      d.sampleFormat == SAMPLEFORMAT_UINT && (d.bitsPerSample == 8 || d.bitsPerSample == 16);
  bool real = d.isFloat() && d.bitsPerSample == 32;
  return (gray || rgb) && (integer || real) && !d.tiled && d.planar == PLANARCONFIG_CONTIG;
}

QImage::Format directLayout(const Directory& d) {
  bool alpha = d.hasAlpha() && d.samplesPerPixel % 2 == 0;
  bool premultiplied = alpha && d.associatedAlpha();
  if (d.samplesPerPixel == 1 && !d.isFloat())
    return d.bitsPerSample == 16 ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8;
  if (d.isFloat())
    return !alpha          ? QImage::Format_RGBX32FPx4
           : premultiplied ? QImage::Format_RGBA32FPx4_Premultiplied
                           : QImage::Format_RGBA32FPx4;
  if (d.bitsPerSample == 16)
    return !alpha          ? QImage::Format_RGBX64
           : premultiplied ? QImage::Format_RGBA64_Premultiplied
                           : QImage::Format_RGBA64;
  return !alpha          ? QImage::Format_RGBX8888
         : premultiplied ? QImage::Format_RGBA8888_Premultiplied
                         : QImage::Format_RGBA8888;
}

// One scanline of 1–4 samples per pixel to four components (or a straight
// copy for grey into a grey image). An extra sample that is not alpha never
// reaches the fourth component: an image without alpha must stay opaque.
template <typename T>
void expandRow(const T* in, T* out, int width, int samples, T opaque, bool alpha) {
  for (int x = 0; x < width; ++x, in += samples, out += 4) {
    bool gray = samples <= 2;
    out[0] = in[0];
    out[1] = gray ? in[0] : in[1];
    out[2] = gray ? in[0] : in[2];
    out[3] = !alpha ? opaque : samples == 2 ? in[1] : samples == 4 ? in[3] : opaque;
  }
}

bool readDirect(TIFF* tiff, const Directory& d, QImage* image) {
  std::vector<char> line(size_t(TIFFScanlineSize(tiff)));
  size_t needed = size_t(d.width) * d.samplesPerPixel * (d.bitsPerSample / 8);
  if (line.size() < needed) return false;
  for (uint32_t y = 0; y < d.height; ++y) {
    if (TIFFReadScanline(tiff, line.data(), y, 0) < 0) return false;
    uchar* out = image->scanLine(int(y));
    const int w = int(d.width), n = d.samplesPerPixel;
    const bool alpha = image->hasAlphaChannel();
    if (image->format() == QImage::Format_Grayscale8 ||
        image->format() == QImage::Format_Grayscale16)
      std::memcpy(out, line.data(), needed);
    else if (d.isFloat())
      expandRow(reinterpret_cast<const float*>(line.data()), reinterpret_cast<float*>(out), w, n,
                1.0f, alpha);
    else if (d.bitsPerSample == 16)
      expandRow(reinterpret_cast<const uint16_t*>(line.data()), reinterpret_cast<uint16_t*>(out), w,
                n, uint16_t(0xffff), alpha);
    else
      expandRow(reinterpret_cast<const uint8_t*>(line.data()), out, w, n, uint8_t(0xff), alpha);
  }
  return true;
}

// Everything else (palette, CMYK, YCbCr, tiles, 1-bit, separate planes)
// through libtiff's RGBA converter, keeping the stored row order.
bool readThroughRGBA(TIFF* tiff, const Directory& d, QImage* image) {
  *image = QImage(int(d.width), int(d.height),
                  d.hasAlpha() ? QImage::Format_RGBA8888_Premultiplied : QImage::Format_RGBX8888);
  if (image->isNull()) return false;
  return TIFFReadRGBAImageOriented(tiff, d.width, d.height,
                                   reinterpret_cast<uint32_t*>(image->bits()), d.orientation,
                                   1) != 0;
}

void setResolution(TIFF* tiff, const QVariantMap& properties) {
  double x = codec::dpiWidth(properties), y = codec::dpiHeight(properties);
  TIFFSetField(tiff, TIFFTAG_XRESOLUTION, float(x > 0 ? x : 72.0));
  TIFFSetField(tiff, TIFFTAG_YRESOLUTION, float(y > 0 ? y : 72.0));
  TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
}

bool writePage(TIFF* tiff, const EncodeFrame& frame, int page, int pages, fnd::Error* error) {
  const gfx::CGImage& source = *frame.image;
  const QVariantMap& properties = frame.properties;
  bool alpha = codec::keepsAlpha(source, properties);
  bool gray = codec::isGray(source) && !alpha;
  bool real = source.isFloat() && !gray;
  int compression =
      codec::option(properties, PropertyTIFFCompression, PropertyTIFFDictionary).toInt();
  if (compression == 0) compression = TIFFCompressionNone;
  if (!TIFFIsCODECConfigured(uint16_t(compression)) || compression == COMPRESSION_JPEG ||
      compression == COMPRESSION_OJPEG)
    return codec::failWrite(error, kName,
                            QStringLiteral("compression %1 is not supported").arg(compression));

  QImage pixels =
      real ? source.toFormat(alpha ? QImage::Format_RGBA32FPx4 : QImage::Format_RGBX32FPx4)
           : codec::pixels(source, alpha, codec::integerDepth(source), gray);
  int bits = real ? 32 : gray ? pixels.depth() : pixels.depth() / 4;
  int samples = gray ? 1 : alpha ? 4 : 3;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(pixels.width()));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(pixels.height()));
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(bits));
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
  TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, real ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, gray ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, uint16_t(compression));
  if (compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE)
    TIFFSetField(tiff, TIFFTAG_PREDICTOR, real ? PREDICTOR_FLOATINGPOINT : PREDICTOR_HORIZONTAL);
  if (alpha) {
    uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  TIFFSetField(tiff, TIFFTAG_ORIENTATION, uint16_t(codec::orientation(properties)));
  setResolution(tiff, properties);
  TIFFSetField(tiff, TIFFTAG_SOFTWARE, "Tessaly");
  if (pages > 1) {
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tiff, TIFFTAG_PAGENUMBER, uint16_t(page), uint16_t(pages));
  }
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));

  size_t sampleBytes = size_t(bits / 8);
  std::vector<char> line(size_t(pixels.width()) * size_t(samples) * sampleBytes);
  for (int y = 0; y < pixels.height(); ++y) {
    const uchar* row = pixels.constScanLine(y);
    if (samples == 3) {
      // The fourth component of the RGBX layouts is padding.
      for (int x = 0; x < pixels.width(); ++x)
        std::memcpy(line.data() + size_t(x) * 3 * sampleBytes, row + size_t(x) * 4 * sampleBytes,
                    3 * sampleBytes);
    } else {
      std::memcpy(line.data(), row, line.size());
    }
    if (TIFFWriteScanline(tiff, line.data(), uint32_t(y), 0) < 0) return false;
  }
  return TIFFWriteDirectory(tiff) != 0;
}

}  // namespace

QStringList TIFFCodec::types() const { return {TypeTIFF}; }

bool TIFFCodec::canWrite(const QString& type) const { return type == TypeTIFF; }

QString TIFFCodec::sniff(const QByteArray& data) const {
  bool tiff = data.startsWith("II*\0") || data.startsWith(QByteArray("MM\0*", 4)) ||
              data.startsWith("II+\0") || data.startsWith(QByteArray("MM\0+", 4));
  return tiff ? TypeTIFF : QString();
}

bool TIFFCodec::readProperties(const QByteArray& data, SourceDescription* description,
                               fnd::Error* error) const {
  TiffStream stream;
  stream.data = data.constData();
  stream.size = uint64_t(data.size());
  TIFF* tiff = openStream(&stream, "r", 0);
  if (!tiff) return codec::failRead(error, kName, messageOf(stream, "not a TIFF file"));
  description->images.clear();
  do {
    description->images.append(propertiesOf(tiff, readDirectory(tiff)));
  } while (TIFFReadDirectory(tiff));
  TIFFClose(tiff);
  description->type = TypeTIFF;
  return true;
}

gfx::CGImagePtr TIFFCodec::readImage(const QByteArray& data, const DecodeRequest& request,
                                     fnd::Error* error) const {
  TiffStream stream;
  stream.data = data.constData();
  stream.size = uint64_t(data.size());
  // No single buffer libtiff allocates needs to exceed the largest image
  // the limits allow, at 16 bytes a pixel.
  tmsize_t ceiling = tmsize_t(std::min<uint64_t>(request.limits.maxPixelCount * 16, INT64_MAX / 2));
  TIFF* tiff = openStream(&stream, "r", ceiling);
  if (!tiff) {
    codec::failRead(error, kName, messageOf(stream, "not a TIFF file"));
    return nullptr;
  }
  if (request.index < 0 || !TIFFSetDirectory(tiff, tdir_t(request.index))) {
    TIFFClose(tiff);
    codec::failRead(error, kName, QStringLiteral("there is no page %1").arg(request.index + 1));
    return nullptr;
  }
  Directory d = readDirectory(tiff);
  if (!request.limits.check(d.width, d.height, kName, error)) {
    TIFFClose(tiff);
    return nullptr;
  }
  QImage image;
  bool ok = false;
  if (readsDirectly(d)) {
    image = QImage(int(d.width), int(d.height), directLayout(d));
    ok = !image.isNull() && readDirect(tiff, d, &image);
  } else {
    char reason[1024] = {};
    ok = TIFFRGBAImageOK(tiff, reason) && readThroughRGBA(tiff, d, &image);
    if (!ok && !stream.message[0])
      std::snprintf(stream.message, sizeof stream.message, "%s", reason);
  }
  TIFFClose(tiff);
  if (!ok) {
    codec::failRead(error, kName, messageOf(stream, "the image data cannot be read"));
    return nullptr;
  }
  return gfx::CGImage::make(std::move(image));
}

bool TIFFCodec::write(const QString&, const QList<EncodeFrame>& frames, const QVariantMap&,
                      QByteArray* output, fnd::Error* error) const {
  std::vector<char> bytes;
  // Room for the uncompressed pixels up front: growing a 48 MB buffer step
  // by step costs more than the encoding.
  size_t expected = 4096;
  for (const EncodeFrame& frame : frames)
    expected += frame.image->height() * frame.image->bytesPerRow();
  bytes.reserve(expected);
  TiffStream stream;
  stream.written = &bytes;
  TIFF* tiff = openStream(&stream, "w", 0);
  if (!tiff) return codec::failWrite(error, kName, messageOf(stream, "cannot start the file"));
  fnd::Error pageError;
  bool ok = true;
  for (int page = 0; ok && page < frames.size(); ++page)
    ok = writePage(tiff, frames[page], page, int(frames.size()), &pageError);
  TIFFClose(tiff);
  if (!ok) {
    if (!pageError.isNull()) return fnd::fail(error, pageError);
    return codec::failWrite(error, kName, messageOf(stream, "libtiff failed"));
  }
  *output = QByteArray(bytes.data(), qsizetype(bytes.size()));
  return true;
}

}  // namespace io
