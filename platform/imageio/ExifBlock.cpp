#include "imageio/ExifBlock.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <vector>

#include "imageio/CodecSupport.h"
#include "imageio/ImageProperties.h"

namespace io {

namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kExifPointerTag = 0x8769;
constexpr uint16_t kColorSpaceTag = 0xA001;
constexpr uint16_t kPixelXDimensionTag = 0xA002;
constexpr uint16_t kPixelYDimensionTag = 0xA003;
constexpr uint16_t kAsciiType = 2;
constexpr uint16_t kShortType = 3;
constexpr uint16_t kLongType = 4;
constexpr uint16_t kRationalType = 5;
// Camera text longer than this is not a maker's name or a date.
constexpr uint64_t kLongestText = 4096;

enum class Directory { Zeroth, Exif };

// A field carried from file to file: where it lives, its tag and type, and
// its key in the property dictionaries.
struct CarriedField {
  Directory directory;
  uint16_t tag;
  uint16_t type;
  const char* key;
};

// Sorted by tag within each directory, as TIFF requires them written.
constexpr CarriedField kCarried[] = {
    {Directory::Zeroth, 0x010E, kAsciiType, "ImageDescription"},
    {Directory::Zeroth, 0x010F, kAsciiType, "Make"},
    {Directory::Zeroth, 0x0110, kAsciiType, "Model"},
    {Directory::Zeroth, 0x0131, kAsciiType, "Software"},
    {Directory::Zeroth, 0x0132, kAsciiType, "DateTime"},
    {Directory::Zeroth, 0x013B, kAsciiType, "Artist"},
    {Directory::Zeroth, 0x8298, kAsciiType, "Copyright"},
    {Directory::Exif, 0x829A, kRationalType, "ExposureTime"},
    {Directory::Exif, 0x829D, kRationalType, "FNumber"},
    {Directory::Exif, 0x8827, kShortType, "ISOSpeedRatings"},
    {Directory::Exif, 0x9003, kAsciiType, "DateTimeOriginal"},
    {Directory::Exif, 0x9004, kAsciiType, "DateTimeDigitized"},
    {Directory::Exif, 0x920A, kRationalType, "FocalLength"},
    {Directory::Exif, 0xA431, kAsciiType, "BodySerialNumber"},
    {Directory::Exif, 0xA433, kAsciiType, "LensMake"},
    {Directory::Exif, 0xA434, kAsciiType, "LensModel"},
};

QString dictionaryOf(Directory directory) {
  return directory == Directory::Zeroth ? PropertyTIFFDictionary : PropertyExifDictionary;
}

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

  // The 12-byte entry of `tag` in the IFD at `ifd`; 0 when absent.
  uint64_t entry(uint64_t ifd, uint16_t tag) const {
    if (!valid_ || ifd + 2 > size_) return 0;
    uint64_t count = read(ifd, 2);
    for (uint64_t i = 0; i < count; ++i) {
      uint64_t at = ifd + 2 + i * 12;
      if (at + 12 > size_) return 0;
      if (read(at, 2) == tag) return at;
    }
    return 0;
  }

  // The SHORT or LONG value of `tag` in the IFD at `ifd`; -1 when absent.
  int64_t value(uint64_t ifd, uint16_t tag) const {
    uint64_t at = entry(ifd, tag);
    if (!at) return -1;
    uint64_t type = read(at + 2, 2);
    if (type == kShortType) return int64_t(read(at + 8, 2));
    if (type == kLongType) return int64_t(read(at + 8, 4));
    return -1;
  }

  // The ASCII value of `tag`, without its terminating zeros; null when
  // absent, of another type or out of bounds.
  QString text(uint64_t ifd, uint16_t tag) const {
    uint64_t at = entry(ifd, tag);
    if (!at || read(at + 2, 2) != kAsciiType) return {};
    uint64_t count = read(at + 4, 4);
    if (count == 0 || count > kLongestText) return {};
    uint64_t offset = count <= 4 ? at + 8 : read(at + 8, 4);
    if (offset + count > size_) return {};
    const char* start = reinterpret_cast<const char*>(bytes_ + offset);
    qsizetype length = qsizetype(std::find(start, start + count, '\0') - start);
    return QString::fromUtf8(start, length);
  }

  // The unsigned RATIONAL value of `tag`; a negative number when absent.
  double rational(uint64_t ifd, uint16_t tag) const {
    uint64_t at = entry(ifd, tag);
    if (!at || read(at + 2, 2) != kRationalType || read(at + 4, 4) < 1) return -1;
    uint64_t offset = read(at + 8, 4);
    if (offset + 8 > size_) return -1;
    uint64_t denominator = read(offset + 4, 4);
    return denominator ? double(read(offset, 4)) / double(denominator) : -1;
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

QVariant readField(const TiffView& view, uint64_t ifd, const CarriedField& field) {
  if (field.type == kAsciiType) {
    QString text = view.text(ifd, field.tag);
    return text.isNull() ? QVariant() : QVariant(text);
  }
  if (field.type == kRationalType) {
    double value = view.rational(ifd, field.tag);
    return value >= 0 ? QVariant(value) : QVariant();
  }
  int64_t value = view.value(ifd, field.tag);
  return value >= 0 ? QVariant(qlonglong(value)) : QVariant();
}

void readFields(const TiffView& view, uint64_t ifd, Directory directory, QVariantMap* out) {
  for (const CarriedField& field : kCarried)
    if (field.directory == directory)
      if (QVariant value = readField(view, ifd, field); value.isValid())
        (*out)[QString::fromLatin1(field.key)] = value;
}

// One entry of an IFD being written, its value inline or in the data area.
struct Entry {
  uint16_t tag, type;
  uint32_t count;
  QByteArray bytes;  // the value in file order; up to 4 bytes go inline
};

QByteArray littleEndian(uint32_t value, int bytes) {
  char out[4];
  qToLittleEndian(value, out);
  return QByteArray(out, bytes);
}

Entry number(uint16_t tag, uint16_t type, uint32_t value) {
  return {tag, type, 1, littleEndian(value, type == kShortType ? 2 : 4)};
}

// A rational with a denominator that keeps exposure times such as 1/250
// exact and other values to six digits.
Entry rational(uint16_t tag, double value) {
  uint32_t numerator, denominator;
  if (value > 0 && value < 1 && std::abs(1 / value - std::round(1 / value)) < 1e-6) {
    numerator = 1;
    denominator = uint32_t(std::lround(1 / value));
  } else {
    denominator = 1000000;
    numerator = uint32_t(std::clamp(std::llround(value * denominator), 0LL, 0xFFFFFFFFLL));
  }
  return {tag, kRationalType, 1, littleEndian(numerator, 4) + littleEndian(denominator, 4)};
}

bool fieldEntry(const CarriedField& field, const QVariant& value, Entry* out) {
  if (!value.isValid()) return false;
  if (field.type == kAsciiType) {
    QByteArray text = value.toString().toUtf8().left(int(kLongestText) - 1) + '\0';
    *out = {field.tag, kAsciiType, uint32_t(text.size()), text};
    return true;
  }
  // ImageIO keeps ISO speeds as an array; the first one is carried.
  QVariant single = value.metaType().id() == QMetaType::QVariantList && !value.toList().isEmpty()
                        ? value.toList().first()
                        : value;
  bool ok = false;
  double number = single.toDouble(&ok);
  if (!ok || number < 0) return false;
  *out = field.type == kRationalType
             ? rational(field.tag, number)
             : io::number(field.tag, kShortType, uint32_t(std::min(number, 65535.0)));
  return true;
}

std::vector<Entry> carriedEntries(const QVariantMap& properties, Directory directory) {
  std::vector<Entry> entries;
  QVariantMap dictionary = properties.value(dictionaryOf(directory)).toMap();
  for (const CarriedField& field : kCarried) {
    Entry entry;
    if (field.directory == directory &&
        fieldEntry(field, dictionary.value(QString::fromLatin1(field.key)), &entry))
      entries.push_back(entry);
  }
  return entries;
}

// Appends an IFD at `out`'s end (its data area right after it), with a zero
// next-IFD offset.
void appendIFD(QByteArray* out, std::vector<Entry> entries) {
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
  uint32_t data = uint32_t(out->size()) + 2 + 12 * uint32_t(entries.size()) + 4;
  QByteArray area;
  out->append(littleEndian(uint32_t(entries.size()), 2));
  for (const Entry& entry : entries) {
    out->append(littleEndian(entry.tag, 2) + littleEndian(entry.type, 2) +
                littleEndian(entry.count, 4));
    if (entry.bytes.size() <= 4) {
      out->append(entry.bytes.leftJustified(4, '\0'));
      continue;
    }
    out->append(littleEndian(data + uint32_t(area.size()), 4));
    area.append(entry.bytes);
    if (area.size() % 2) area.append('\0');  // values start on word boundaries
  }
  out->append(littleEndian(0, 4));
  out->append(area);
}

uint32_t ifdSize(const std::vector<Entry>& entries) {
  uint32_t size = 2 + 12 * uint32_t(entries.size()) + 4;
  for (const Entry& entry : entries)
    if (entry.bytes.size() > 4) size += uint32_t(entry.bytes.size() + entry.bytes.size() % 2);
  return size;
}

int orientationOf(const QVariantMap& properties) {
  return properties.contains(PropertyOrientation) ||
                 properties.value(PropertyTIFFDictionary).toMap().contains(PropertyTIFFOrientation)
             ? codec::orientation(properties)
             : 1;
}

}  // namespace

int ExifBlock::orientation(const unsigned char* block, size_t size) {
  TiffView view(block, size);
  int64_t value = view.valid() ? view.value(view.firstIFD(), kOrientationTag) : -1;
  return value >= 1 && value <= 8 ? int(value) : 0;
}

QVariantMap ExifBlock::tiffDictionary(const unsigned char* block, size_t size) {
  TiffView view(block, size);
  if (!view.valid()) return {};
  QVariantMap dictionary;
  readFields(view, view.firstIFD(), Directory::Zeroth, &dictionary);
  if (int value = orientation(block, size)) dictionary[PropertyTIFFOrientation] = value;
  return dictionary;
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
  readFields(view, uint64_t(exif), Directory::Exif, &dictionary);
  return dictionary;
}

QByteArray ExifBlock::make(const QVariantMap& properties, int width, int height) {
  constexpr uint32_t kFirstIFD = 8;
  std::vector<Entry> zeroth = carriedEntries(properties, Directory::Zeroth);
  if (int value = orientationOf(properties); value != 1)
    zeroth.push_back(number(kOrientationTag, kShortType, uint32_t(value)));
  zeroth.push_back(number(kExifPointerTag, kLongType, 0));  // placed below
  zeroth.back().bytes = littleEndian(kFirstIFD + ifdSize(zeroth), 4);
  std::vector<Entry> exif = carriedEntries(properties, Directory::Exif);
  exif.push_back(number(kColorSpaceTag, kShortType, 1));  // sRGB
  exif.push_back(number(kPixelXDimensionTag, kLongType, uint32_t(width)));
  exif.push_back(number(kPixelYDimensionTag, kLongType, uint32_t(height)));

  QByteArray out("II", 2);
  out.append(littleEndian(42, 2));
  out.append(littleEndian(kFirstIFD, 4));
  appendIFD(&out, zeroth);
  appendIFD(&out, exif);
  return out;
}

QByteArray ExifBlock::make(int orientation, int width, int height) {
  return make(QVariantMap{{PropertyOrientation, orientation}}, width, height);
}

QByteArray ExifBlock::jpegPayload(const QVariantMap& properties, int width, int height) {
  return QByteArray("Exif\0\0", 6) + make(properties, width, height);
}

bool ExifBlock::carriesFields(const QVariantMap& properties) {
  return orientationOf(properties) != 1 || !carriedEntries(properties, Directory::Zeroth).empty() ||
         !carriedEntries(properties, Directory::Exif).empty();
}

QStringList ExifBlock::carriedKeys() {
  QStringList keys;
  for (const CarriedField& field : kCarried)
    keys << dictionaryOf(field.directory) + '.' + QString::fromLatin1(field.key);
  return keys;
}

}  // namespace io
