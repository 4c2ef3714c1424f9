#include "imageio/JPEGCodec.h"

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "foundation/Error.h"
#include "imageio/CodecSupport.h"
#include "imageio/ExifBlock.h"
#include "imageio/ImageProperties.h"
#include "imageio/PixelBands.h"
#include "imageio/TypeIdentifiers.h"

// libjpeg reports errors by longjmp. The functions holding a setjmp below use
// only plain C data, so the jump never skips a destructor; every C++ object
// lives in the callers.

namespace io {

namespace {

const QString kName = QStringLiteral("JPEG");

struct JpegFailure {
  jpeg_error_mgr manager;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info) {
  auto* failure = reinterpret_cast<JpegFailure*>(info->err);
  info->err->format_message(info, failure->message);
  std::longjmp(failure->jump, 1);
}

// A file cut short decodes to grey rows in libjpeg; that is a damaged file
// to the user, so the warning it raises is treated as an error.
void onMessage(j_common_ptr info, int level) {
  if (level == -1 && info->err->msg_code == JWRN_JPEG_EOF) onError(info);
}

void installFailure(JpegFailure* failure) {
  jpeg_std_error(&failure->manager);
  failure->manager.error_exit = onError;
  failure->manager.emit_message = onMessage;
  failure->message[0] = 0;
}

struct JpegReader {
  jpeg_decompress_struct info;
  JpegFailure failure;
  bool created = false;
};

bool readHeader(JpegReader* reader, const unsigned char* data, unsigned long size,
                unsigned scaleDenominator) {
  installFailure(&reader->failure);
  reader->info.err = &reader->failure.manager;
  if (setjmp(reader->failure.jump)) return false;
  jpeg_create_decompress(&reader->info);
  reader->created = true;
  jpeg_mem_src(&reader->info, data, size);
  jpeg_save_markers(&reader->info, JPEG_APP0 + 1, 0xffff);
  jpeg_read_header(&reader->info, TRUE);
  switch (reader->info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      reader->info.out_color_space = JCS_GRAYSCALE;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      reader->info.out_color_space = JCS_CMYK;
      break;
    default:
      reader->info.out_color_space = JCS_EXT_RGBX;
      break;
  }
  reader->info.scale_num = 1;
  reader->info.scale_denom = scaleDenominator;
  jpeg_calc_output_dimensions(&reader->info);
  return true;
}

bool readRows(JpegReader* reader, JSAMPROW* rows) {
  if (setjmp(reader->failure.jump)) return false;
  jpeg_start_decompress(&reader->info);
  while (reader->info.output_scanline < reader->info.output_height)
    jpeg_read_scanlines(&reader->info, rows + reader->info.output_scanline,
                        reader->info.output_height - reader->info.output_scanline);
  jpeg_finish_decompress(&reader->info);
  return true;
}

void closeReader(JpegReader* reader) {
  if (reader->created) jpeg_destroy_decompress(&reader->info);
}

// The EXIF block of the first APP1 marker that holds one; null when none.
const unsigned char* exifIn(const jpeg_decompress_struct& info, size_t* size) {
  for (jpeg_saved_marker_ptr marker = info.marker_list; marker; marker = marker->next) {
    if (marker->marker != JPEG_APP0 + 1 || marker->data_length < 6) continue;
    if (std::memcmp(marker->data, "Exif\0\0", 6) != 0) continue;
    *size = marker->data_length - 6;
    return marker->data + 6;
  }
  return nullptr;
}

QVariantMap propertiesOf(const jpeg_decompress_struct& info) {
  QString model = info.jpeg_color_space == JCS_GRAYSCALE ? ColorModelGray
                  : (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK)
                      ? ColorModelCMYK
                      : ColorModelRGB;
  QVariantMap properties =
      codec::baseProperties(int(info.image_width), int(info.image_height), 8, false, model);
  QVariantMap jfif{{PropertyJFIFIsProgressive, bool(info.progressive_mode)}};
  if (info.saw_JFIF_marker) {
    jfif[PropertyJFIFXDensity] = info.X_density;
    jfif[PropertyJFIFYDensity] = info.Y_density;
    jfif[PropertyJFIFDensityUnit] = info.density_unit;
    double perInch = info.density_unit == 1 ? 1.0 : info.density_unit == 2 ? 2.54 : 0.0;
    if (perInch > 0 && info.X_density > 0 && info.Y_density > 0) {
      properties[PropertyDPIWidth] = info.X_density * perInch;
      properties[PropertyDPIHeight] = info.Y_density * perInch;
    }
  }
  size_t exifSize = 0;
  const unsigned char* exif = exifIn(info, &exifSize);
  if (int orientation = ExifBlock::orientation(exif, exifSize))
    properties[PropertyOrientation] = orientation;
  QVariantMap tiffDictionary = ExifBlock::tiffDictionary(exif, exifSize);
  if (!tiffDictionary.isEmpty()) properties[PropertyTIFFDictionary] = tiffDictionary;
  QVariantMap exifDictionary = ExifBlock::exifDictionary(exif, exifSize);
  if (!exifDictionary.isEmpty()) properties[PropertyExifDictionary] = exifDictionary;
  properties[PropertyJFIFDictionary] = jfif;
  properties[PropertyJPEGDictionary] = jfif;
  return properties;
}

// CMYK as Adobe writes it (inverted) or plain, to RGBX in place.
void cmykToRgbx(QImage* image, bool inverted) {
  for (int y = 0; y < image->height(); ++y) {
    uchar* pixel = image->scanLine(y);
    for (int x = 0; x < image->width(); ++x, pixel += 4) {
      int c = pixel[0], m = pixel[1], yellow = pixel[2], k = pixel[3];
      if (!inverted) c = 255 - c, m = 255 - m, yellow = 255 - yellow, k = 255 - k;
      pixel[0] = uchar(c * k / 255);
      pixel[1] = uchar(m * k / 255);
      pixel[2] = uchar(yellow * k / 255);
      pixel[3] = 255;
    }
  }
}

// What libjpeg keeps of a whole image besides the output: a progressive or
// multi-scan file holds every coefficient (64 two-byte values a block per
// component) until the last scan; a single-scan file only a few rows.
uint64_t coefficientBytes(jpeg_decompress_struct& info) {
  if (!jpeg_has_multiple_scans(&info)) return 0;
  uint64_t bytes = 0;
  for (int c = 0; c < info.num_components; ++c) {
    const jpeg_component_info& component = info.comp_info[c];
    uint64_t h = std::max(component.h_samp_factor, 1), v = std::max(component.v_samp_factor, 1);
    uint64_t columns = (component.width_in_blocks + h - 1) / h * h;
    uint64_t rows = (component.height_in_blocks + v - 1) / v * v;
    bytes += columns * rows * DCTSIZE2 * sizeof(JCOEF);
  }
  return bytes;
}

unsigned scaleFor(const jpeg_decompress_struct& info, int minimumLongerSide) {
  if (minimumLongerSide <= 0) return 1;
  unsigned longer = std::max(info.image_width, info.image_height);
  unsigned denominator = 1;
  while (denominator < 8 && longer / (denominator * 2) >= unsigned(minimumLongerSide))
    denominator *= 2;
  return denominator;
}

// Compressed bytes go to the device a buffer at a time, as libjpeg makes
// them, rather than the whole file gathered in memory first.
struct JpegDestination {
  jpeg_destination_mgr manager;
  QIODevice* output = nullptr;
  JOCTET buffer[64 * 1024];
};

void startDestination(j_compress_ptr info) {
  auto* destination = reinterpret_cast<JpegDestination*>(info->dest);
  destination->manager.next_output_byte = destination->buffer;
  destination->manager.free_in_buffer = sizeof destination->buffer;
}

void writeDestination(j_compress_ptr info, size_t bytes) {
  auto* destination = reinterpret_cast<JpegDestination*>(info->dest);
  if (destination->output->write(reinterpret_cast<const char*>(destination->buffer),
                                 qint64(bytes)) != qint64(bytes))
    ERREXIT(info, JERR_FILE_WRITE);
}

boolean emptyDestination(j_compress_ptr info) {
  writeDestination(info, sizeof JpegDestination::buffer);
  startDestination(info);
  return TRUE;
}

void finishDestination(j_compress_ptr info) {
  auto* destination = reinterpret_cast<JpegDestination*>(info->dest);
  writeDestination(info, sizeof destination->buffer - destination->manager.free_in_buffer);
}

// The rows an encode takes, one at a time in order: a plain function, so
// the frames libjpeg may jump over hold no C++ objects.
using NextRow = const unsigned char* (*)(void* rows, int y);

struct JpegWriter {
  jpeg_compress_struct info;
  JpegFailure failure;
  bool created = false;
  JpegDestination destination;
  NextRow nextRow = nullptr;
  void* rows = nullptr;
};

struct JpegWriteSettings {
  int width, height, quality;
  bool gray;
  int dpiX, dpiY;
  const unsigned char* exif;
  unsigned exifSize;
};

bool writeRows(JpegWriter* writer, const JpegWriteSettings* settings) {
  installFailure(&writer->failure);
  writer->info.err = &writer->failure.manager;
  if (setjmp(writer->failure.jump)) return false;
  jpeg_create_compress(&writer->info);
  writer->created = true;
  writer->destination.manager.init_destination = startDestination;
  writer->destination.manager.empty_output_buffer = emptyDestination;
  writer->destination.manager.term_destination = finishDestination;
  writer->info.dest = &writer->destination.manager;
  writer->info.image_width = JDIMENSION(settings->width);
  writer->info.image_height = JDIMENSION(settings->height);
  writer->info.input_components = settings->gray ? 1 : 4;
  writer->info.in_color_space = settings->gray ? JCS_GRAYSCALE : JCS_EXT_RGBX;
  jpeg_set_defaults(&writer->info);
  jpeg_set_quality(&writer->info, settings->quality, TRUE);
  if (settings->dpiX > 0) {
    writer->info.density_unit = 1;
    writer->info.X_density = UINT16(settings->dpiX);
    writer->info.Y_density = UINT16(settings->dpiY);
  }
  jpeg_start_compress(&writer->info, TRUE);
  if (settings->exif)
    jpeg_write_marker(&writer->info, JPEG_APP0 + 1, settings->exif, settings->exifSize);
  while (writer->info.next_scanline < writer->info.image_height) {
    auto row = const_cast<JSAMPROW>(writer->nextRow(writer->rows, int(writer->info.next_scanline)));
    jpeg_write_scanlines(&writer->info, &row, 1);
  }
  jpeg_finish_compress(&writer->info);
  return true;
}

}  // namespace

QStringList JPEGCodec::types() const { return {TypeJPEG}; }

bool JPEGCodec::canWrite(const QString& type) const { return type == TypeJPEG; }

QString JPEGCodec::sniff(const QByteArray& data) const {
  return data.startsWith("\xff\xd8\xff") ? TypeJPEG : QString();
}

bool JPEGCodec::readProperties(const QByteArray& data, SourceDescription* description,
                               fnd::Error* error) const {
  JpegReader reader;
  bool ok = readHeader(&reader, reinterpret_cast<const unsigned char*>(data.constData()),
                       static_cast<unsigned long>(data.size()), 1);
  if (ok) description->images = {propertiesOf(reader.info)};
  closeReader(&reader);
  if (!ok) return codec::failRead(error, kName, QString::fromUtf8(reader.failure.message));
  description->type = TypeJPEG;
  return true;
}

gfx::CGImagePtr JPEGCodec::readImage(const QByteArray& data, const DecodeRequest& request,
                                     fnd::Error* error) const {
  auto bytes = reinterpret_cast<const unsigned char*>(data.constData());
  auto size = static_cast<unsigned long>(data.size());
  JpegReader reader;
  bool ok = readHeader(&reader, bytes, size, 1);
  unsigned denominator = ok ? scaleFor(reader.info, request.minimumLongerSide) : 1;
  if (ok && denominator > 1) {
    closeReader(&reader);
    reader.created = false;
    ok = readHeader(&reader, bytes, size, denominator);
  }
  if (!ok) {
    closeReader(&reader);
    codec::failRead(error, kName, QString::fromUtf8(reader.failure.message));
    return nullptr;
  }
  bool gray = reader.info.out_color_space == JCS_GRAYSCALE;
  bool cmyk = reader.info.out_color_space == JCS_CMYK;
  bool inverted = cmyk && reader.info.saw_Adobe_marker;
  codec::RequestBudget budget(request, kName);
  QImage image;
  // The stored size is checked against the limits even when decoding
  // reduced, as the full-size image would be.
  if (request.index == 0 &&
      request.limits.check(reader.info.image_width, reader.info.image_height, kName, error))
    image = codec::allocateImage(*budget, reader.info.output_width, reader.info.output_height,
                                 gray ? QImage::Format_Grayscale8 : QImage::Format_RGBX8888, error);
  ScopedReservation coefficients(budget.get());
  uint64_t held = coefficientBytes(reader.info);
  if (image.isNull() || !coefficients.reserve(held, error)) {
    closeReader(&reader);
    return nullptr;
  }
  // libjpeg refuses (it has no backing store) rather than go past what was
  // reserved for it, plus room for its row buffers.
  reader.info.mem->max_memory_to_use = long(held + DecodeBudget::kWorkingBytes / 2);
  std::vector<JSAMPROW> rows(size_t(image.height()));
  for (int y = 0; y < image.height(); ++y) rows[size_t(y)] = image.scanLine(y);
  ok = readRows(&reader, rows.data());
  closeReader(&reader);
  if (!ok) {
    codec::failRead(error, kName, QString::fromUtf8(reader.failure.message));
    return nullptr;
  }
  if (cmyk) cmykToRgbx(&image, inverted);
  return gfx::CGImage::make(std::move(image));
}

bool JPEGCodec::write(const QString& type, const QList<EncodeFrame>& frames,
                      const QVariantMap& fileProperties, QByteArray* output,
                      fnd::Error* error) const {
  return writeThroughDevice(type, frames, fileProperties, output, error);
}

bool JPEGCodec::writeToDevice(const QString&, const QList<EncodeFrame>& frames, const QVariantMap&,
                              QIODevice* output, fnd::Error* error) const {
  if (frames.size() != 1) return codec::failWrite(error, kName, "a JPEG file holds one image");
  const gfx::CGImage& source = *frames.first().image;
  const QVariantMap& properties = frames.first().properties;
  bool gray = codec::isGray(source);
  PixelBands pixels(source, false, 8, gray);

  JpegWriteSettings settings{};
  settings.width = pixels.width();
  settings.height = pixels.height();
  settings.quality = std::clamp(int(std::lround(codec::quality(properties, 0.8) * 100)), 1, 100);
  settings.gray = gray;
  settings.dpiX = int(std::lround(std::min(codec::dpiWidth(properties), 65535.0)));
  settings.dpiY = int(std::lround(std::min(codec::dpiHeight(properties), 65535.0)));
  QByteArray exif = ExifBlock::jpegPayload(properties, pixels.width(), pixels.height());
  settings.exif = reinterpret_cast<const unsigned char*>(exif.constData());
  settings.exifSize = unsigned(exif.size());

  auto writer = std::make_unique<JpegWriter>();  // its 64 KiB buffer stays off the stack
  writer->destination.output = output;
  writer->rows = &pixels;
  writer->nextRow = [](void* rows, int y) { return static_cast<PixelBands*>(rows)->row(y); };
  bool ok = writeRows(writer.get(), &settings);
  if (writer->created) jpeg_destroy_compress(&writer->info);
  if (!ok) return codec::failWrite(error, kName, QString::fromUtf8(writer->failure.message));
  return true;
}

QStringList JPEGCodec::embeddedProperties(const QString&) const {
  return QStringList{"DPIWidth", "DPIHeight", "Orientation", DestinationLossyCompressionQuality} +
         ExifBlock::carriedKeys();
}

}  // namespace io
