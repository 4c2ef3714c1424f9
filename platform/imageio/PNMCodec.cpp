#include "imageio/PNMCodec.h"

#include <QtEndian>

#include "foundation/Error.h"
#include "imageio/CodecSupport.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"

namespace io {

namespace {

const QString kName = QStringLiteral("PNM");

struct PnmHeader {
  bool color = false;
  int64_t width = 0, height = 0, maxValue = 0;
  qsizetype dataStart = 0;
  int sampleBytes() const { return maxValue > 255 ? 2 : 1; }
  int channels() const { return color ? 3 : 1; }
};

// Reads the next decimal field, skipping whitespace and '#' comments.
bool readField(const QByteArray& data, qsizetype* at, int64_t* value) {
  while (*at < data.size()) {
    char c = data[*at];
    if (c == '#') {
      while (*at < data.size() && data[*at] != '\n') ++*at;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++*at;
    } else {
      break;
    }
  }
  int64_t number = 0;
  qsizetype start = *at;
  while (*at < data.size() && data[*at] >= '0' && data[*at] <= '9' && number < (int64_t(1) << 40))
    number = number * 10 + (data[(*at)++] - '0');
  *value = number;
  return *at > start;
}

bool parseHeader(const QByteArray& data, PnmHeader* header, QString* why) {
  header->color = data.startsWith("P6");
  qsizetype at = 2;
  if (!readField(data, &at, &header->width) || !readField(data, &at, &header->height) ||
      !readField(data, &at, &header->maxValue) || at >= data.size()) {
    *why = QStringLiteral("the header is incomplete");
    return false;
  }
  if (header->maxValue < 1 || header->maxValue > 65535) {
    *why = QStringLiteral("the maximum sample value %1 is out of range").arg(header->maxValue);
    return false;
  }
  header->dataStart = at + 1;  // exactly one whitespace byte ends the header
  return true;
}

}  // namespace

QStringList PNMCodec::types() const { return {TypePBM}; }

bool PNMCodec::canWrite(const QString&) const { return false; }

QString PNMCodec::sniff(const QByteArray& data) const {
  bool pnm = data.size() > 2 && data[0] == 'P' && (data[1] == '5' || data[1] == '6') &&
             QByteArrayView(" \t\r\n").contains(data[2]);
  return pnm ? TypePBM : QString();
}

bool PNMCodec::readProperties(const QByteArray& data, SourceDescription* description,
                              fnd::Error* error) const {
  PnmHeader header;
  QString why;
  if (!parseHeader(data, &header, &why)) return codec::failRead(error, kName, why);
  description->type = TypePBM;
  description->images = {codec::baseProperties(int(std::min<int64_t>(header.width, INT32_MAX)),
                                               int(std::min<int64_t>(header.height, INT32_MAX)),
                                               header.sampleBytes() * 8, false,
                                               header.color ? ColorModelRGB : ColorModelGray)};
  return true;
}

gfx::CGImagePtr PNMCodec::readImage(const QByteArray& data, const DecodeRequest& request,
                                    fnd::Error* error) const {
  PnmHeader header;
  QString why;
  if (!parseHeader(data, &header, &why)) {
    codec::failRead(error, kName, why);
    return nullptr;
  }
  if (request.index != 0 || !request.limits.check(header.width, header.height, kName, error))
    return nullptr;
  int64_t rowBytes = header.width * header.channels() * header.sampleBytes();
  if (header.dataStart + rowBytes * header.height > data.size()) {
    codec::failRead(error, kName, QStringLiteral("the pixel data ends early"));
    return nullptr;
  }
  bool deep = header.sampleBytes() == 2;
  codec::RequestBudget budget(request, kName);
  QImage image = codec::allocateImage(
      *budget, header.width, header.height,
      header.color ? (deep ? QImage::Format_RGBX64 : QImage::Format_RGBX8888)
                   : (deep ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8),
      error);
  if (image.isNull()) return nullptr;
  int64_t full = deep ? 65535 : 255, maximum = header.maxValue;
  auto scaled = [&](int64_t v) { return std::min(v, maximum) * full / maximum; };
  auto in = reinterpret_cast<const uchar*>(data.constData() + header.dataStart);
  int channels = header.channels(), outChannels = header.color ? 4 : 1;
  for (int y = 0; y < image.height(); ++y, in += rowBytes) {
    uchar* row8 = image.scanLine(y);
    auto* row16 = reinterpret_cast<quint16*>(row8);
    for (int x = 0; x < image.width(); ++x) {
      for (int c = 0; c < outChannels; ++c) {
        int64_t index = int64_t(x) * channels + (c < channels ? c : 0);
        bool padding = c == 3;
        int64_t value = padding ? full
                        : deep  ? scaled(qFromBigEndian<quint16>(in + index * 2))
                                : scaled(in[index]);
        if (deep)
          row16[x * outChannels + c] = quint16(value);
        else
          row8[x * outChannels + c] = uchar(value);
      }
    }
  }
  return gfx::CGImage::make(std::move(image));
}

bool PNMCodec::write(const QString&, const QList<EncodeFrame>&, const QVariantMap&, QByteArray*,
                     fnd::Error* error) const {
  return codec::failWrite(error, kName, QStringLiteral("PNM files are read-only here"));
}

QStringList PNMCodec::embeddedProperties(const QString&) const { return QStringList{}; }

}  // namespace io
