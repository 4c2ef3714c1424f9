#include "imageio/BMPRunLengthDecoder.h"

#include <QtEndian>
#include <algorithm>

#include "foundation/Error.h"
#include "imageio/CodecSupport.h"
#include "imageio/DecodeBudget.h"

namespace io {

namespace {

constexpr int kFileHeaderSize = 14;
constexpr uint32_t kRLE8 = 1, kRLE4 = 2;
const uint32_t kOpaqueBlack = qToLittleEndian(0xff000000u);

// The little-endian field of type T at byte `at`; 0 past the end. Kept out
// of line: inlined into callers that checked the size already, GCC's bounds
// warning cannot tell the empty array's one byte from the file's.
template <typename T>
[[gnu::noinline]] T field(const QByteArray& data, qsizetype at) {
  if (at < 0 || data.size() - at < qsizetype(sizeof(T))) return 0;
  return qFromLittleEndian<T>(data.constData() + at);
}

uint32_t compressionOf(const QByteArray& data) {
  return field<quint32>(data, kFileHeaderSize + 16);
}

// Writes decoded palette indices into the rows, clipped to the image.
class RowWriter {
 public:
  RowWriter(QImage* image, const BMPRunLengthDecoder::Header& header)
      : image_(image), header_(header) {}

  bool finished() const { return row_ >= header_.height; }
  void put(int index) {
    if (x_ < header_.width && !finished()) line()[x_] = colorOf(index);
    ++x_;
  }
  void endLine() {
    x_ = 0;
    ++row_;
  }
  void move(int dx, int dy) {
    x_ += dx;
    row_ += dy;
  }

 private:
  uint32_t* line() {
    if (lineRow_ != row_) {
      int y = header_.topDown ? row_ : header_.height - 1 - row_;
      line_ = reinterpret_cast<uint32_t*>(image_->scanLine(y));
      lineRow_ = row_;
    }
    return line_;
  }
  uint32_t colorOf(int index) const {
    return index < header_.palette.size() ? header_.palette[index] : kOpaqueBlack;
  }

  QImage* image_;
  const BMPRunLengthDecoder::Header& header_;
  int x_ = 0, row_ = 0;
  int lineRow_ = -1;
  uint32_t* line_ = nullptr;
};

// Pixel `i` of a run or literal: a whole byte in RLE8, alternating nibbles
// (high first) in RLE4.
int indexIn(const uchar* bytes, int i, bool fourBit) {
  if (!fourBit) return bytes[i];
  uchar byte = bytes[i / 2];
  return i % 2 == 0 ? byte >> 4 : byte & 0x0f;
}

bool decodeRuns(const QByteArray& data, const BMPRunLengthDecoder::Header& header,
                RowWriter* writer, QString* why) {
  auto bytes = reinterpret_cast<const uchar*>(data.constData());
  qsizetype at = header.dataOffset, size = data.size();
  bool fourBit = header.bitCount == 4;
  while (!writer->finished()) {
    if (size - at < 2) {
      *why = QStringLiteral("the pixel data ends early");
      return false;
    }
    int count = bytes[at], value = bytes[at + 1];
    at += 2;
    if (count > 0) {
      uchar pair[2] = {uchar(value), uchar(value)};
      for (int i = 0; i < count; ++i) writer->put(indexIn(pair, fourBit ? i % 2 : 0, fourBit));
    } else if (value == 0) {
      writer->endLine();
    } else if (value == 1) {
      return true;
    } else if (value == 2) {
      if (size - at < 2) {
        *why = QStringLiteral("a delta ends early");
        return false;
      }
      writer->move(bytes[at], bytes[at + 1]);
      at += 2;
    } else {
      qsizetype literalBytes = fourBit ? (value + 1) / 2 : value;
      if (size - at < literalBytes) {
        *why = QStringLiteral("a literal run ends early");
        return false;
      }
      for (int i = 0; i < value; ++i) writer->put(indexIn(bytes + at, i, fourBit));
      at += (literalBytes + 1) & ~qsizetype(1);  // literals end on a 16-bit boundary
    }
  }
  return true;
}

}  // namespace

bool BMPRunLengthDecoder::handles(const QByteArray& data) {
  if (!data.startsWith("BM") || data.size() < kFileHeaderSize + 40) return false;
  if (field<quint32>(data, kFileHeaderSize) < 40) return false;
  uint32_t compression = compressionOf(data);
  return compression == kRLE8 || compression == kRLE4;
}

bool BMPRunLengthDecoder::readHeader(const QByteArray& data, Header* header, QString* why) {
  const char* d = data.constData();
  uint32_t infoSize = field<quint32>(data, kFileHeaderSize);
  int32_t height = field<qint32>(data, kFileHeaderSize + 8);
  header->width = field<qint32>(data, kFileHeaderSize + 4);
  header->topDown = height < 0;
  header->height = height == INT32_MIN ? 0 : std::abs(height);
  header->bitCount = field<quint16>(data, kFileHeaderSize + 14);
  header->dataOffset = field<quint32>(data, 10);
  uint32_t expectedBits = compressionOf(data) == kRLE8 ? 8 : 4;
  if (header->bitCount != int(expectedBits)) {
    *why = QStringLiteral("%1 bits a pixel do not go with RLE%2 compression")
               .arg(header->bitCount)
               .arg(expectedBits);
    return false;
  }
  uint32_t colors = field<quint32>(data, kFileHeaderSize + 32);
  uint32_t maxColors = 1u << expectedBits;
  if (colors == 0 || colors > maxColors) colors = maxColors;
  qint64 paletteStart = qint64(kFileHeaderSize) + infoSize;
  // A palette may be shorter than its count says when the pixel data starts
  // before its end; the entries that are there are used.
  qint64 paletteEnd = std::min<qint64>(paletteStart + qint64(colors) * 4,
                                       std::min<qint64>(header->dataOffset, data.size()));
  if (paletteEnd - paletteStart < 4 || header->dataOffset > data.size()) {
    *why = QStringLiteral("the palette or the pixel data is missing");
    return false;
  }
  header->palette.clear();
  for (qint64 at = paletteStart; at + 4 <= paletteEnd; at += 4) {
    auto entry = reinterpret_cast<const uchar*>(d + at);  // blue, green, red, unused
    header->palette.append(qToLittleEndian(uint32_t(entry[2]) | uint32_t(entry[1]) << 8 |
                                           uint32_t(entry[0]) << 16 | 0xff000000u));
  }
  return true;
}

QImage BMPRunLengthDecoder::decode(const QByteArray& data, DecodeBudget& budget,
                                   fnd::Error* error) {
  Header header;
  QString why;
  if (!readHeader(data, &header, &why)) {
    codec::failRead(error, budget.formatName(), why);
    return QImage();
  }
  QImage image =
      codec::allocateImage(budget, header.width, header.height, QImage::Format_RGBX8888, error);
  if (image.isNull()) return image;
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
    std::fill(row, row + image.width(), header.palette[0]);
  }
  RowWriter writer(&image, header);
  if (!decodeRuns(data, header, &writer, &why)) {
    codec::failRead(error, budget.formatName(), why);
    return QImage();
  }
  return image;
}

}  // namespace io
