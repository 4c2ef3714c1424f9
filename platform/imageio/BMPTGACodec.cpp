#include "imageio/BMPTGACodec.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <QtEndian>
#include <climits>
#include <cstring>
#include <vector>

#include "foundation/Error.h"
#include "imageio/BMPRunLengthDecoder.h"
#include "imageio/BudgetScope.h"
#include "imageio/CodecSupport.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"

namespace io {

namespace {

QString nameOf(const QString& type) {
  if (type == TypeBMP) return QStringLiteral("BMP");
  if (type == TypeTGA) return QStringLiteral("Targa");
  if (type == TypePhotoshop) return QStringLiteral("Photoshop");
  if (type == TypeRadianceHDR) return QStringLiteral("Radiance HDR");
  return QStringLiteral("image");
}

QString stbFailure() {
  const char* reason = stbi_failure_reason();
  return reason ? QString::fromUtf8(reason) : QStringLiteral("unknown stb_image error");
}

// stb_image reads past the end of a file as zeros (or leaves memory
// unwritten), so a file cut short would open as a picture with a black
// band. Reading through callbacks tells when it asked for bytes the file
// does not have; that is reported as a damaged file.
struct StbStream {
  const char* data;
  qsizetype size;
  qsizetype position = 0;
  bool pastEnd = false;
};

int readStream(void* user, char* out, int wanted) {
  auto* stream = static_cast<StbStream*>(user);
  qsizetype count = std::min<qsizetype>(wanted, stream->size - stream->position);
  if (count <= 0) {
    stream->pastEnd = wanted > 0;
    return 0;
  }
  std::memcpy(out, stream->data + stream->position, size_t(count));
  stream->position += count;
  return int(count);
}

void skipStream(void* user, int count) {
  auto* stream = static_cast<StbStream*>(user);
  stream->position += count;
  if (stream->position > stream->size) {
    stream->position = stream->size;
    stream->pastEnd = true;
  }
}

int atEnd(void* user) {
  auto* stream = static_cast<StbStream*>(user);
  return stream->position >= stream->size;
}

const stbi_io_callbacks kCallbacks{readStream, skipStream, atEnd};

// What stbi_info learns, plus the kind of samples the decoder will return.
struct StbHeader {
  int width = 0, height = 0, components = 0;
  bool deep = false, real = false;
};

bool readHeader(const QByteArray& data, StbHeader* header) {
  StbStream info{data.constData(), data.size()}, hdr = info, deep = info;
  if (!stbi_info_from_callbacks(&kCallbacks, &info, &header->width, &header->height,
                                &header->components))
    return false;
  // stb_image reports a top-down BMP's stored (negative) height; its pixel
  // reader turns it around.
  if (header->height < 0) header->height = header->height == INT_MIN ? 0 : -header->height;
  header->real = stbi_is_hdr_from_callbacks(&kCallbacks, &hdr);
  header->deep = !header->real && stbi_is_16_bit_from_callbacks(&kCallbacks, &deep);
  return true;
}

// BITMAPINFOHEADER keeps pixels per metre at offsets 38 and 42.
void readBmpResolution(const QByteArray& data, QVariantMap* properties) {
  if (data.size() < 46 || qFromLittleEndian<quint32>(data.constData() + 14) < 40) return;
  qint32 x = qFromLittleEndian<qint32>(data.constData() + 38);
  qint32 y = qFromLittleEndian<qint32>(data.constData() + 42);
  if (x <= 0 || y <= 0) return;
  (*properties)[PropertyDPIWidth] = codec::dpiOfPixelsPerMeter(x);
  (*properties)[PropertyDPIHeight] = codec::dpiOfPixelsPerMeter(y);
}

void writeBmpResolution(QByteArray* bmp, const QVariantMap& properties) {
  double dpiX = codec::dpiWidth(properties), dpiY = codec::dpiHeight(properties);
  if (dpiX <= 0 || bmp->size() < 46) return;
  qToLittleEndian<qint32>(qint32(std::lround(dpiX / 0.0254)), bmp->data() + 38);
  qToLittleEndian<qint32>(qint32(std::lround(dpiY / 0.0254)), bmp->data() + 42);
}

bool readRunLengthProperties(const QByteArray& data, SourceDescription* description,
                             fnd::Error* error) {
  BMPRunLengthDecoder::Header header;
  QString why;
  if (!BMPRunLengthDecoder::readHeader(data, &header, &why))
    return codec::failRead(error, nameOf(TypeBMP), why);
  QVariantMap properties =
      codec::baseProperties(header.width, header.height, 8, false, ColorModelRGB);
  properties[PropertyIsIndexed] = true;
  readBmpResolution(data, &properties);
  description->type = TypeBMP;
  description->images = {properties};
  return true;
}

void appendBytes(void* context, void* data, int size) {
  static_cast<QByteArray*>(context)->append(static_cast<const char*>(data), size);
}

}  // namespace

QStringList BMPTGACodec::types() const {
  return {TypeBMP, TypeTGA, TypePhotoshop, TypeRadianceHDR};
}

bool BMPTGACodec::canWrite(const QString& type) const { return type == TypeBMP || type == TypeTGA; }

QString BMPTGACodec::sniff(const QByteArray& data) const {
  if (data.startsWith("BM")) return TypeBMP;
  if (data.startsWith("8BPS")) return TypePhotoshop;
  if (data.startsWith("#?RADIANCE\n") || data.startsWith("#?RGBE\n")) return TypeRadianceHDR;
  return QString();
}

bool BMPTGACodec::looksLikeTarga(const QByteArray& data) {
  if (data.size() < 18) return false;
  auto byte = [&](int i) { return uchar(data[i]); };
  int colorMapType = byte(1), imageType = byte(2), depth = byte(16);
  bool knownType = imageType == 1 || imageType == 2 || imageType == 3 || imageType == 9 ||
                   imageType == 10 || imageType == 11;
  bool knownDepth = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
  int width = byte(12) | byte(13) << 8, height = byte(14) | byte(15) << 8;
  return colorMapType <= 1 && knownType && knownDepth && width > 0 && height > 0;
}

bool BMPTGACodec::readProperties(const QByteArray& data, SourceDescription* description,
                                 fnd::Error* error) const {
  QString type = sniff(data);
  if (type.isEmpty()) type = TypeTGA;
  if (BMPRunLengthDecoder::handles(data)) return readRunLengthProperties(data, description, error);
  StbHeader header;
  if (!readHeader(data, &header)) return codec::failRead(error, nameOf(type), stbFailure());
  QVariantMap properties =
      codec::baseProperties(header.width, header.height,
                            header.real   ? 32
                            : header.deep ? 16
                                          : 8,
                            header.components == 2 || header.components == 4,
                            header.components <= 2 ? ColorModelGray : ColorModelRGB);
  if (header.real) properties[PropertyIsFloat] = true;
  if (type == TypeBMP) readBmpResolution(data, &properties);
  description->type = type;
  description->images = {properties};
  return true;
}

gfx::CGImagePtr BMPTGACodec::readImage(const QByteArray& data, const DecodeRequest& request,
                                       fnd::Error* error) const {
  QString type = sniff(data);
  QString name = nameOf(type.isEmpty() ? TypeTGA : type);
  if (BMPRunLengthDecoder::handles(data)) {
    codec::RequestBudget budget(request, name);
    QImage image;
    if (request.index == 0) image = BMPRunLengthDecoder::decode(data, *budget, error);
    return image.isNull() ? nullptr : gfx::CGImage::make(std::move(image));
  }
  StbHeader header;
  if (!readHeader(data, &header)) {
    codec::failRead(error, name, stbFailure());
    return nullptr;
  }
  bool alpha = header.components == 2 || header.components == 4;
  QImage::Format format =
      header.real   ? (alpha ? QImage::Format_RGBA32FPx4 : QImage::Format_RGBX32FPx4)
      : header.deep ? (alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64)
                    : (alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
  codec::RequestBudget budget(request, name);
  if (request.index != 0 || !budget->admitImage(header.width, header.height, format, error))
    return nullptr;
  StbStream stream{data.constData(), data.size()};
  int width = 0, height = 0, components = 0;
  void* pixels = nullptr;
  int bytesPerPixel;
  BudgetScope scope(budget.get());
  if (header.real) {
    pixels = stbi_loadf_from_callbacks(&kCallbacks, &stream, &width, &height, &components, 4);
    bytesPerPixel = 16;
  } else if (header.deep) {
    pixels = stbi_load_16_from_callbacks(&kCallbacks, &stream, &width, &height, &components, 4);
    bytesPerPixel = 8;
  } else {
    pixels = stbi_load_from_callbacks(&kCallbacks, &stream, &width, &height, &components, 4);
    bytesPerPixel = 4;
  }
  if (pixels && stream.pastEnd) {
    stbi_image_free(pixels);
    codec::failRead(error, name, QStringLiteral("the pixel data ends early"));
    return nullptr;
  }
  if (!pixels) {
    if (budget->wasRefused())
      budget->failWithRefusal(error);
    else
      codec::failRead(error, name, stbFailure());
    return nullptr;
  }
  // The decoded buffer becomes the image's own; stb frees it with the image.
  QImage image(static_cast<uchar*>(pixels), width, height, qsizetype(width) * bytesPerPixel, format,
               stbi_image_free, pixels);
  return gfx::CGImage::make(std::move(image));
}

bool BMPTGACodec::write(const QString& type, const QList<EncodeFrame>& frames, const QVariantMap&,
                        QByteArray* output, fnd::Error* error) const {
  QString name = nameOf(type);
  if (frames.size() != 1)
    return codec::failWrite(error, name, QStringLiteral("the file holds one image"));
  const gfx::CGImage& source = *frames.first().image;
  const QVariantMap& properties = frames.first().properties;
  bool alpha = codec::keepsAlpha(source, properties);
  QImage pixels = codec::pixels(source, alpha, 8);
  int components = alpha ? 4 : 3;
  // stb takes tightly packed rows of 3 or 4 bytes.
  std::vector<unsigned char> packed(size_t(pixels.width()) * size_t(pixels.height()) *
                                    size_t(components));
  for (int y = 0; y < pixels.height(); ++y) {
    const uchar* row = pixels.constScanLine(y);
    unsigned char* out = packed.data() + size_t(y) * size_t(pixels.width()) * size_t(components);
    if (alpha) {
      std::memcpy(out, row, size_t(pixels.width()) * 4);
      continue;
    }
    for (int x = 0; x < pixels.width(); ++x) std::memcpy(out + x * 3, row + x * 4, 3);
  }
  QByteArray bytes;
  int ok = type == TypeBMP ? stbi_write_bmp_to_func(appendBytes, &bytes, pixels.width(),
                                                    pixels.height(), components, packed.data())
                           : stbi_write_tga_to_func(appendBytes, &bytes, pixels.width(),
                                                    pixels.height(), components, packed.data());
  if (!ok) return codec::failWrite(error, name, QStringLiteral("stb_image_write failed"));
  if (type == TypeBMP) writeBmpResolution(&bytes, properties);
  *output = bytes;
  return true;
}

QStringList BMPTGACodec::embeddedProperties(const QString& type) const {
  if (type == TypeBMP) return {"DPIWidth", "DPIHeight", "HasAlpha"};
  return {"HasAlpha"};
}

}  // namespace io
