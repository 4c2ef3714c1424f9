#include "imageio/ExifBlock.h"

#include <QtEndian>

#include "imageio/ImageProperties.h"

namespace io {

namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kExifPointerTag = 0x8769;
constexpr uint16_t kColorSpaceTag = 0xA001;
constexpr uint16_t kPixelXDimensionTag = 0xA002;
constexpr uint16_t kPixelYDimensionTag = 0xA003;
constexpr uint16_t kShortType = 3;
constexpr uint16_t kLongType = 4;

// A TIFF structure in memory whose offsets all come from the file.
class TiffView {
 public:
  TiffView(const unsigned char* bytes, size_t size) : bytes_(bytes), size_(size) {
    valid_ = bytes && size >= 8 &&
             ((bytes[0] == 'I' && bytes[1] == 'I') || (bytes[0] == 'M' && bytes[1] == 'M'));
    little_ = valid_ && bytes[0] == 'I';
    valid_ = valid_ && read(2, 2) == 42;
  }
  bool valid() const { return valid_; }
  uint64_t firstIFD() const { return read(4, 4); }

  // The SHORT or LONG value of `tag` in the IFD at `ifd`; -1 when absent.
  int64_t value(uint64_t ifd, uint16_t tag) const {
    if (!valid_ || ifd + 2 > size_) return -1;
    uint64_t count = read(ifd, 2);
    for (uint64_t i = 0; i < count; ++i) {
      uint64_t entry = ifd + 2 + i * 12;
      if (entry + 12 > size_) return -1;
      if (read(entry, 2) != tag) continue;
      uint64_t type = read(entry + 2, 2);
      if (type == kShortType) return int64_t(read(entry + 8, 2));
      if (type == kLongType) return int64_t(read(entry + 8, 4));
      return -1;
    }
    return -1;
  }

 private:
  uint64_t read(uint64_t at, int count) const {
    if (at + uint64_t(count) > size_) return 0;
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) {
      int shift = little_ ? 8 * i : 8 * (count - 1 - i);
      value |= uint64_t(bytes_[at + uint64_t(i)]) << shift;
    }
    return value;
  }

  const unsigned char* bytes_;
  size_t size_;
  bool valid_ = false;
  bool little_ = false;
};

void put16(QByteArray* out, uint16_t value) {
  char bytes[2];
  qToLittleEndian(value, bytes);
  out->append(bytes, 2);
}

void put32(QByteArray* out, uint32_t value) {
  char bytes[4];
  qToLittleEndian(value, bytes);
  out->append(bytes, 4);
}

void putEntry(QByteArray* out, uint16_t tag, uint16_t type, uint32_t value) {
  put16(out, tag);
  put16(out, type);
  put32(out, 1);
  if (type == kShortType) {
    put16(out, uint16_t(value));
    put16(out, 0);
  } else {
    put32(out, value);
  }
}

}  // namespace

int ExifBlock::orientation(const unsigned char* block, size_t size) {
  TiffView view(block, size);
  int64_t value = view.valid() ? view.value(view.firstIFD(), kOrientationTag) : -1;
  return value >= 1 && value <= 8 ? int(value) : 0;
}

QVariantMap ExifBlock::exifDictionary(const unsigned char* block, size_t size) {
  TiffView view(block, size);
  if (!view.valid()) return {};
  int64_t exif = view.value(view.firstIFD(), kExifPointerTag);
  if (exif <= 0) return {};
  QVariantMap dictionary;
  const std::pair<uint16_t, QString> fields[] = {{kPixelXDimensionTag, PropertyExifPixelXDimension},
                                                 {kPixelYDimensionTag, PropertyExifPixelYDimension},
                                                 {kColorSpaceTag, PropertyExifColorSpace}};
  for (const auto& [tag, key] : fields)
    if (int64_t value = view.value(uint64_t(exif), tag); value >= 0)
      dictionary[key] = qlonglong(value);
  return dictionary;
}

QByteArray ExifBlock::make(int orientation, int width, int height) {
  constexpr uint32_t kFirstIFD = 8, kExifIFD = kFirstIFD + 2 + 2 * 12 + 4;
  QByteArray out("II", 2);
  put16(&out, 42);
  put32(&out, kFirstIFD);
  put16(&out, 2);
  putEntry(&out, kOrientationTag, kShortType, uint32_t(orientation));
  putEntry(&out, kExifPointerTag, kLongType, kExifIFD);
  put32(&out, 0);
  put16(&out, 3);
  putEntry(&out, kColorSpaceTag, kShortType, 1);  // sRGB
  putEntry(&out, kPixelXDimensionTag, kLongType, uint32_t(width));
  putEntry(&out, kPixelYDimensionTag, kLongType, uint32_t(height));
  put32(&out, 0);
  return out;
}

QByteArray ExifBlock::jpegPayload(int orientation, int width, int height) {
  return QByteArray("Exif\0\0", 6) + make(orientation, width, height);
}

}  // namespace io
