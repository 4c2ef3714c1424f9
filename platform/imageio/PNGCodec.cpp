#include "imageio/PNGCodec.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "foundation/Error.h"
#include "imageio/BoxReduction.h"
#include "imageio/BudgetScope.h"
#include "imageio/CodecSupport.h"
#include "imageio/ExifBlock.h"
#include "imageio/ImageProperties.h"
#include "imageio/PixelBands.h"
#include "imageio/TypeIdentifiers.h"

// libpng reports errors by longjmp. The functions holding a setjmp below use
// only plain C data, so the jump never skips a destructor; every C++ object
// (QImage, row vectors) lives in the callers.

namespace io {

namespace {

const QString kName = QStringLiteral("PNG");

struct PngReader {
  const unsigned char* data = nullptr;
  size_t size = 0;
  size_t position = 0;
  png_structp png = nullptr;
  png_infop info = nullptr;
  char message[256] = {};
  // What the header says, filled by readHeader().
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  bool hasTransparency = false;
};

void onError(png_structp png, png_const_charp message) {
  auto* holder = static_cast<char*>(png_get_error_ptr(png));
  std::snprintf(holder, 256, "%s", message);
  png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void readBytes(png_structp png, png_bytep out, png_size_t length) {
  auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
  if (length > reader->size - reader->position) png_error(png, "the file ends early");
  std::memcpy(out, reader->data + reader->position, length);
  reader->position += length;
}

// libpng's own buffers (rows, the inflate window) are charged to the budget
// of the decode running on this thread.
png_voidp allocate(png_structp, png_alloc_size_t bytes) { return BudgetScope::allocate(bytes); }

void release(png_structp, png_voidp block) { BudgetScope::release(block); }

bool openReader(PngReader* reader) {
  reader->png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, reader->message, onError, onWarning,
                                         nullptr, allocate, release);
  if (!reader->png) return false;
  reader->info = png_create_info_struct(reader->png);
  if (!reader->info) return false;
  if (setjmp(png_jmpbuf(reader->png))) return false;
  png_set_read_fn(reader->png, reader, readBytes);
  // libpng's own ceiling; ours is checked separately with the caller's limits.
  png_set_user_limits(reader->png, 0x7fffffff, 0x7fffffff);
  png_read_info(reader->png, reader->info);
  png_get_IHDR(reader->png, reader->info, &reader->width, &reader->height, &reader->bitDepth,
               &reader->colorType, &reader->interlace, nullptr, nullptr);
  reader->hasTransparency = png_get_valid(reader->png, reader->info, PNG_INFO_tRNS) != 0;
  return true;
}

void closeReader(PngReader* reader) {
  if (reader->png)
    png_destroy_read_struct(&reader->png, reader->info ? &reader->info : nullptr, nullptr);
}

// Transforms that bring every PNG kind to one of the QImage layouts chosen
// by layoutFor(); then reads all rows.
bool decodeRows(PngReader* reader, bool gray, bool alpha, png_bytepp rows, size_t rowBytes) {
  if (setjmp(png_jmpbuf(reader->png))) return false;
  png_structp png = reader->png;
  png_set_expand(png);
  if (reader->bitDepth == 16) png_set_swap(png);
  if (!gray) {
    png_set_gray_to_rgb(png);
    if (!alpha) png_set_filler(png, reader->bitDepth == 16 ? 0xffff : 0xff, PNG_FILLER_AFTER);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, reader->info);
  if (png_get_rowbytes(png, reader->info) > rowBytes) png_error(png, "unexpected row layout");
  png_read_image(png, rows);
  return true;
}

// Transforms that bring every PNG kind to straight RGBA at 8 bits, then
// adds every row of every pass to `reduction`; `row` holds one full row.
bool reduceRows(PngReader* reader, BoxReduction* reduction, png_bytep row, size_t rowBytes) {
  if (setjmp(png_jmpbuf(reader->png))) return false;
  png_structp png = reader->png;
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
  png_read_update_info(png, reader->info);
  if (png_get_rowbytes(png, reader->info) > rowBytes) png_error(png, "unexpected row layout");
  bool interlaced = reader->interlace != PNG_INTERLACE_NONE;
  for (int pass = 0; pass < (interlaced ? 7 : 1); ++pass) {
    png_uint_32 columns = interlaced ? PNG_PASS_COLS(reader->width, pass) : reader->width;
    png_uint_32 rows = interlaced ? PNG_PASS_ROWS(reader->height, pass) : reader->height;
    if (columns == 0) continue;  // libpng skips empty passes
    for (png_uint_32 i = 0; i < rows; ++i) {
      png_read_row(png, row, nullptr);
      png_uint_32 y = interlaced ? PNG_ROW_FROM_PASS_ROW(i, pass) : i;
      int firstX = interlaced ? int(PNG_PASS_START_COL(pass)) : 0;
      int step = interlaced ? 1 << PNG_PASS_COL_SHIFT(pass) : 1;
      reduction->addRow(int(y), row, int(columns), firstX, step);
    }
  }
  return true;
}

bool hasAlpha(const PngReader& reader) {
  return (reader.colorType & PNG_COLOR_MASK_ALPHA) || reader.hasTransparency;
}

bool isGray(const PngReader& reader) {
  return !(reader.colorType & PNG_COLOR_MASK_COLOR) && !hasAlpha(reader);
}

QImage::Format layoutFor(const PngReader& reader) {
  bool deep = reader.bitDepth == 16;
  if (isGray(reader)) return deep ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8;
  if (hasAlpha(reader)) return deep ? QImage::Format_RGBA64 : QImage::Format_RGBA8888;
  return deep ? QImage::Format_RGBX64 : QImage::Format_RGBX8888;
}

QVariantMap propertiesOf(PngReader& reader) {
  QString model = (reader.colorType & PNG_COLOR_MASK_COLOR) ? ColorModelRGB : ColorModelGray;
  QVariantMap properties = codec::baseProperties(int(reader.width), int(reader.height),
                                                 reader.bitDepth, hasAlpha(reader), model);
  if (reader.colorType == PNG_COLOR_TYPE_PALETTE) properties[PropertyIsIndexed] = true;
  QVariantMap png{{PropertyPNGInterlaceType, reader.interlace}};
  png_uint_32 xPerMeter = 0, yPerMeter = 0;
  int unit = 0;
  if (png_get_pHYs(reader.png, reader.info, &xPerMeter, &yPerMeter, &unit) &&
      unit == PNG_RESOLUTION_METER) {
    png[PropertyPNGXPixelsPerMeter] = xPerMeter;
    png[PropertyPNGYPixelsPerMeter] = yPerMeter;
    properties[PropertyDPIWidth] = codec::dpiOfPixelsPerMeter(xPerMeter);
    properties[PropertyDPIHeight] = codec::dpiOfPixelsPerMeter(yPerMeter);
  }
  double gamma = 0;
  if (png_get_gAMA(reader.png, reader.info, &gamma)) png[PropertyPNGGamma] = gamma;
  int intent = 0;
  if (png_get_sRGB(reader.png, reader.info, &intent)) png[PropertyPNGsRGBIntent] = intent;
  png_uint_32 exifSize = 0;
  png_bytep exif = nullptr;
  if (png_get_eXIf_1(reader.png, reader.info, &exifSize, &exif)) {
    int value = ExifBlock::orientation(exif, exifSize);
    if (value) properties[PropertyOrientation] = value;
    QVariantMap tiffDictionary = ExifBlock::tiffDictionary(exif, exifSize);
    if (!tiffDictionary.isEmpty()) properties[PropertyTIFFDictionary] = tiffDictionary;
    QVariantMap exifDictionary = ExifBlock::exifDictionary(exif, exifSize);
    if (!exifDictionary.isEmpty()) properties[PropertyExifDictionary] = exifDictionary;
  }
  properties[PropertyPNGDictionary] = png;
  return properties;
}

// The rows an encode takes, one at a time in order: a plain function, so
// the frames libpng may jump over hold no C++ objects.
using NextRow = const unsigned char* (*)(void* rows, int y);

struct PngWriter {
  png_structp png = nullptr;
  png_infop info = nullptr;
  char message[256] = {};
  QIODevice* output = nullptr;
  NextRow nextRow = nullptr;
  void* rows = nullptr;
};

void writeBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* writer = static_cast<PngWriter*>(png_get_io_ptr(png));
  if (writer->output->write(reinterpret_cast<const char*>(data), qint64(length)) != qint64(length))
    png_error(png, "the file could not be written");
}

void flushBytes(png_structp) {}

struct PngWriteSettings {
  png_uint_32 width, height;
  int bitDepth, colorType;
  bool dropFiller;
  png_uint_32 xPerMeter, yPerMeter;
  const unsigned char* exif;
  png_uint_32 exifSize;
};

bool encodeRows(PngWriter* writer, const PngWriteSettings* settings) {
  if (setjmp(png_jmpbuf(writer->png))) return false;
  png_structp png = writer->png;
  png_set_write_fn(png, writer, writeBytes, flushBytes);
  png_set_IHDR(png, writer->info, settings->width, settings->height, settings->bitDepth,
               settings->colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (settings->xPerMeter)
    png_set_pHYs(png, writer->info, settings->xPerMeter, settings->yPerMeter, PNG_RESOLUTION_METER);
  if (settings->exif)
    png_set_eXIf_1(png, writer->info, settings->exifSize, const_cast<png_bytep>(settings->exif));
  png_write_info(png, writer->info);
  if (settings->bitDepth == 16) png_set_swap(png);
  if (settings->dropFiller) png_set_filler(png, 0, PNG_FILLER_AFTER);
  for (png_uint_32 y = 0; y < settings->height; ++y)
    png_write_row(png, writer->nextRow(writer->rows, int(y)));
  // No info here: it would write the ancillary chunks (eXIf) a second time.
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

QStringList PNGCodec::types() const { return {TypePNG}; }

bool PNGCodec::canWrite(const QString& type) const { return type == TypePNG; }

QString PNGCodec::sniff(const QByteArray& data) const {
  return data.startsWith("\x89PNG\r\n\x1a\n") ? TypePNG : QString();
}

bool PNGCodec::readProperties(const QByteArray& data, SourceDescription* description,
                              fnd::Error* error) const {
  PngReader reader;
  reader.data = reinterpret_cast<const unsigned char*>(data.constData());
  reader.size = size_t(data.size());
  bool ok = openReader(&reader);
  if (ok) description->images = {propertiesOf(reader)};
  closeReader(&reader);
  if (!ok) return codec::failRead(error, kName, QString::fromUtf8(reader.message));
  description->type = TypePNG;
  return true;
}

namespace {

// A thumbnail: rows averaged into a `factor` times smaller image as they
// are read; the full-size image never exists.
gfx::CGImagePtr readReduced(PngReader* reader, int factor, DecodeBudget& budget,
                            fnd::Error* error) {
  size_t rowBytes = size_t(reader->width) * 4;
  ScopedReservation working(&budget);
  if (!working.reserve(BoxReduction::workingBytes(reader->width, reader->height, factor) + rowBytes,
                       error)) {
    closeReader(reader);
    return nullptr;
  }
  BoxReduction reduction(int(reader->width), int(reader->height), factor);
  std::vector<png_byte> row(rowBytes);
  bool ok = reduceRows(reader, &reduction, row.data(), rowBytes);
  closeReader(reader);
  if (!ok) {
    if (budget.wasRefused())
      budget.failWithRefusal(error);
    else
      codec::failRead(error, kName, QString::fromUtf8(reader->message));
    return nullptr;
  }
  return gfx::CGImage::make(reduction.image());
}

}  // namespace

gfx::CGImagePtr PNGCodec::readImage(const QByteArray& data, const DecodeRequest& request,
                                    fnd::Error* error) const {
  codec::RequestBudget budget(request, kName);
  BudgetScope scope(budget.get());
  PngReader reader;
  reader.data = reinterpret_cast<const unsigned char*>(data.constData());
  reader.size = size_t(data.size());
  if (!openReader(&reader)) {
    closeReader(&reader);
    codec::failRead(error, kName, QString::fromUtf8(reader.message));
    return nullptr;
  }
  if (request.index != 0 || !request.limits.check(reader.width, reader.height, kName, error)) {
    closeReader(&reader);
    return nullptr;
  }
  int factor = BoxReduction::factorFor(reader.width, reader.height, request.minimumLongerSide);
  if (factor > 1) return readReduced(&reader, factor, *budget, error);
  QImage image =
      codec::allocateImage(*budget, reader.width, reader.height, layoutFor(reader), error);
  if (image.isNull()) {
    closeReader(&reader);
    return nullptr;
  }
  std::vector<png_bytep> rows(reader.height);
  for (int y = 0; y < image.height(); ++y) rows[size_t(y)] = image.scanLine(y);
  bool ok = decodeRows(&reader, isGray(reader), hasAlpha(reader), rows.data(),
                       size_t(image.bytesPerLine()));
  closeReader(&reader);
  if (!ok) {
    if (budget->wasRefused())
      budget->failWithRefusal(error);
    else
      codec::failRead(error, kName, QString::fromUtf8(reader.message));
    return nullptr;
  }
  return gfx::CGImage::make(std::move(image));
}

bool PNGCodec::write(const QString& type, const QList<EncodeFrame>& frames,
                     const QVariantMap& fileProperties, QByteArray* output,
                     fnd::Error* error) const {
  return writeThroughDevice(type, frames, fileProperties, output, error);
}

bool PNGCodec::writeToDevice(const QString&, const QList<EncodeFrame>& frames, const QVariantMap&,
                             QIODevice* output, fnd::Error* error) const {
  if (frames.size() != 1) return codec::failWrite(error, kName, "a PNG file holds one image");
  const gfx::CGImage& source = *frames.first().image;
  const QVariantMap& properties = frames.first().properties;
  bool alpha = codec::keepsAlpha(source, properties);
  bool gray = codec::isGray(source) && !alpha;
  int depth = codec::integerDepth(source);
  PixelBands pixels(source, alpha, depth, gray);

  PngWriteSettings settings{};
  settings.width = png_uint_32(pixels.width());
  settings.height = png_uint_32(pixels.height());
  settings.bitDepth = depth;
  settings.colorType =
      gray ? PNG_COLOR_TYPE_GRAY : (alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB);
  settings.dropFiller = !gray && !alpha;
  if (double dpi = codec::dpiWidth(properties); dpi > 0) {
    settings.xPerMeter = png_uint_32(std::lround(dpi / 0.0254));
    settings.yPerMeter = png_uint_32(std::lround(codec::dpiHeight(properties) / 0.0254));
  }
  QByteArray exif = ExifBlock::make(properties, pixels.width(), pixels.height());
  if (ExifBlock::carriesFields(properties)) {
    settings.exif = reinterpret_cast<const unsigned char*>(exif.constData());
    settings.exifSize = png_uint_32(exif.size());
  }

  PngWriter writer;
  writer.output = output;
  writer.rows = &pixels;
  writer.nextRow = [](void* rows, int y) { return static_cast<PixelBands*>(rows)->row(y); };
  writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, writer.message, onError, onWarning);
  if (writer.png) writer.info = png_create_info_struct(writer.png);
  bool ok = writer.info && encodeRows(&writer, &settings);
  png_destroy_write_struct(&writer.png, writer.info ? &writer.info : nullptr);
  if (!ok) return codec::failWrite(error, kName, QString::fromUtf8(writer.message));
  return true;
}

QStringList PNGCodec::embeddedProperties(const QString&) const {
  return QStringList{"DPIWidth", "DPIHeight", "HasAlpha", "Orientation"} + ExifBlock::carriedKeys();
}

}  // namespace io
