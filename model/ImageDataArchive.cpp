#include "model/ImageDataArchive.h"

#include <QtEndian>
#include <array>

namespace {

// The binary property list, object by object: the TIFF is object 0, right
// after the header, its length an 8-byte integer; the archive's dictionary
// (object 1, the top object) and its parts follow, then the offset table
// (8-byte offsets) and the trailer.
constexpr char kHeader[] = "bplist00";
constexpr qsizetype kPrefix = 8 + 2 + 8;  // header, data marker + 8-byte length marker, length
constexpr int kObjects = 13;

QByteArray tail(quint64 tiffLength) {
  QByteArray out;
  std::array<quint64, kObjects> offsets{};
  offsets[0] = 8;
  quint64 at = quint64(kPrefix) + tiffLength;
  auto object = [&](int index, const QByteArray& bytes) {
    offsets[size_t(index)] = at + quint64(out.size());
    out += bytes;
  };
  auto ascii = [](const char* text) {
    const QByteArray s(text);
    return s.size() < 15 ? char(0x50 | s.size()) + s
                         : QByteArray("\x5f\x10", 2) + char(s.size()) + s;
  };
  // {$archiver, $objects, $top, $version} → {NSKeyedArchiver, [$null, TIFF], {tiffImage: UID 1},
  // 100000}
  object(1, QByteArray("\xd4\x02\x03\x04\x05\x06\x07\x08\x09", 9));
  object(2, ascii("$archiver"));
  object(3, ascii("$objects"));
  object(4, ascii("$top"));
  object(5, ascii("$version"));
  object(6, ascii("NSKeyedArchiver"));
  object(7, QByteArray("\xa2\x0a\x00", 3));
  object(8, QByteArray("\xd1\x0b\x0c", 3));
  object(9, QByteArray("\x12\x00\x01\x86\xa0", 5));  // 100000
  object(10, ascii("$null"));
  object(11, ascii("tiffImage"));
  object(12, QByteArray("\x80\x01", 2));
  const quint64 table = at + quint64(out.size());
  for (quint64 offset : offsets) {
    const quint64 big = qToBigEndian(offset);
    out.append(reinterpret_cast<const char*>(&big), 8);
  }
  // Trailer: six unused bytes, offset size 8, reference size 1, then the
  // object count, the top object and where the offset table starts.
  out.append(QByteArray(6, '\0')).append(char(8)).append(char(1));
  for (quint64 value : {quint64(kObjects), quint64(1), table}) {
    const quint64 big = qToBigEndian(value);
    out.append(reinterpret_cast<const char*>(&big), 8);
  }
  return out;
}

}  // namespace

QByteArray ImageDataArchive::produce(const gfx::BitmapImageRep& bitmap) {
  const gfx::BitmapCoder* coder = gfx::BitmapCoder::installed();
  if (!coder || !bitmap.cgImage()) return {};
  QByteArray blob = coder->encodeTIFF({{bitmap.cgImage(), bitmap.size()}},
                                      gfx::TIFFCompression::LZW, 1.0f, kPrefix);
  if (blob.size() <= kPrefix) return {};
  const quint64 length = quint64(blob.size() - kPrefix);
  char* prefix = blob.data();
  std::memcpy(prefix, kHeader, 8);
  prefix[8] = '\x4f';  // data, its length follows as an integer object
  prefix[9] = '\x13';  // an 8-byte integer
  qToBigEndian(length, prefix + 10);
  blob.append(tail(length));
  return blob;
}

QByteArray ImageDataArchive::tiffIn(const QByteArray& blob) {
  if (blob.size() < kPrefix || !blob.startsWith(QByteArray(kHeader, 8)) || blob[8] != '\x4f' ||
      blob[9] != '\x13')
    return {};
  const quint64 length = qFromBigEndian<quint64>(blob.constData() + 10);
  if (length > quint64(blob.size() - kPrefix)) return {};
  const qsizetype end = kPrefix + qsizetype(length);
  const QByteArray expected = tail(length);
  if (blob.size() - end != expected.size() ||
      std::memcmp(blob.constData() + end, expected.constData(), size_t(expected.size())) != 0)
    return {};
  return QByteArray::fromRawData(blob.constData() + kPrefix, qsizetype(length));
}
