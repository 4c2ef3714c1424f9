// BMP files in every layout a bitmap may be stored in, built byte by byte
// here (our writer makes only one of them) and decoded both by us and by
// ImageMagick, which must agree on every pixel.
#include <gtest/gtest.h>

#include <QtEndian>

#include "ImageTestSupport.h"
#include "TestSupport.h"
#include "foundation/Error.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"

namespace {

constexpr uint32_t kRGB = 0, kRLE8 = 1, kRLE4 = 2, kBitfields = 3;

struct BmpLayout {
  int width, height;  // a negative height stores rows top-down
  int bits;
  uint32_t compression;
  QByteArray pixels;  // as stored
};

void put16(QByteArray* out, int value) {
  char bytes[2];
  qToLittleEndian<quint16>(quint16(value), bytes);
  out->append(bytes, 2);
}

void put32(QByteArray* out, int64_t value) {
  char bytes[4];
  qToLittleEndian<quint32>(quint32(value), bytes);
  out->append(bytes, 4);
}

// Distinct colours, so a wrong index shows.
QByteArray palette(int count) {
  QByteArray entries;
  for (int i = 0; i < count; ++i) {
    const char entry[4] = {char(i * 37 % 256), char(i * 91 % 256), char(255 - i), 0};
    entries.append(entry, 4);
  }
  return entries;
}

// A file with a 40-byte header, or a 108-byte one with alpha masks for
// bitfields.
QByteArray bmpFile(const BmpLayout& layout) {
  bool masks = layout.compression == kBitfields;
  int infoSize = masks ? 108 : 40;
  QByteArray colors = layout.bits <= 8 ? palette(1 << layout.bits) : QByteArray();
  int offset = 14 + infoSize + int(colors.size());
  QByteArray file("BM");
  put32(&file, offset + layout.pixels.size());
  put32(&file, 0);
  put32(&file, offset);
  put32(&file, infoSize);
  put32(&file, layout.width);
  put32(&file, layout.height);
  put16(&file, 1);
  put16(&file, layout.bits);
  put32(&file, layout.compression);
  put32(&file, layout.pixels.size());
  put32(&file, 2835);
  put32(&file, 2835);
  put32(&file, 0);
  put32(&file, 0);
  if (masks) {
    for (int64_t mask :
         {int64_t(0x00ff0000), int64_t(0x0000ff00), int64_t(0x000000ff), int64_t(0xff000000)})
      put32(&file, mask);
    put32(&file, 0x73524742);  // 'sRGB'
    file.append(48, '\0');     // endpoints and gamma, unused for sRGB
  }
  return file + colors + layout.pixels;
}

// Uncompressed rows in file order, each padded to four bytes; `sample`
// gives the stored bytes of pixel (x, row) in file order.
QByteArray storedRows(int width, int height, int bits,
                      const std::function<uint32_t(int, int)>& sample) {
  QByteArray rows;
  int rowBytes = (width * bits + 31) / 32 * 4;
  for (int row = 0; row < height; ++row) {
    QByteArray line(rowBytes, '\0');
    for (int x = 0; x < width; ++x) {
      uint32_t value = sample(x, row);
      if (bits < 8) {
        int bit = x * bits, shift = 8 - bits - bit % 8;
        line[bit / 8] = char(uchar(line[bit / 8]) | (value << shift));
      } else {
        for (int b = 0; b < bits / 8; ++b) line[x * bits / 8 + b] = char(value >> (8 * b));
      }
    }
    rows += line;
  }
  return rows;
}

QByteArray bytes(std::initializer_list<int> values) {
  QByteArray out;
  for (int v : values) out.append(char(v));
  return out;
}

// Runs, odd-length literals (padded), a delta that skips to the next row,
// ends of line and an end of bitmap that leaves the top rows unwritten.
QByteArray rle8Stream() {
  return bytes({5,  3,  0, 3, 10, 11, 12, 0,  5, 7, 0, 0,                  // row 0
                0,  13, 1, 2, 3,  4,  5,  6,  7, 8, 9, 10, 11, 12, 13, 0,  // row 1, literal
                0,  0,                                                     // end of line
                4,  20, 0, 2, 3,  1,  6,  30, 0, 0,                        // rows 2 and 3
                13, 40, 0, 0,                                              // row 4
                2,  50, 0, 1,                                              // end of bitmap
                0,  0,  0, 0});  // padding, which ImageMagick reads ahead into
}

QByteArray rle4Stream() {
  return bytes({5, 0x12, 0,    3,    0x34, 0x50, 5,    0x67, 0,    0,        // row 0
                0, 13,   0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xd0, 0, 0, 0,  // row 1
                4, 0x89, 0,    2,    3,    1,    6,    0xab, 0,    0,        // rows 2 and 3
                0, 5,    0xfe, 0xdc, 0xb0, 0,    8,    0xcd, 0,    0,        // row 4
                2, 0xef, 0,    1,    0,    0,    0,    0});
}

}  // namespace

TEST(BMPVariants, DecodeLikeAnIndependentDecoder) {
  ASSERT_TRUE(tst::haveTool("convert"));
  const int w = 13, h = 7;
  auto pattern = [](int x, int row) { return uint32_t(x * 7 + row * 3); };
  struct Case {
    const char* name;
    BmpLayout layout;
  };
  const Case cases[] = {
      {"1-bit", {w, h, 1, kRGB, storedRows(w, h, 1, [](int x, int r) { return (x + r) % 2u; })}},
      {"4-bit",
       {w, h, 4, kRGB, storedRows(w, h, 4, [&](int x, int r) { return pattern(x, r) % 16; })}},
      {"8-bit", {w, h, 8, kRGB, storedRows(w, h, 8, pattern)}},
      {"24-bit",
       {w, h, 24, kRGB,
        storedRows(w, h, 24, [](int x, int r) { return x * 19u | r * 37u << 8 | 0x80u << 16; })}},
      {"24-bit top-down",
       {w, -h, 24, kRGB,
        storedRows(w, h, 24, [](int x, int r) { return x * 19u | r * 37u << 16; })}},
      {"32-bit with alpha",
       {w, h, 32, kBitfields,
        storedRows(w, h, 32,
                   [](int x, int r) { return x * 19u | r * 37u << 8 | (x * 20u) << 24; })}},
      {"RLE8", {w, h, 8, kRLE8, rle8Stream()}},
      {"RLE4", {w, h, 4, kRLE4, rle4Stream()}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QByteArray file = bmpFile(c.layout);
    QString path = iotest::writeTemp(
        file, QStringLiteral("imageio-bmp-%1.bmp").arg(QString(c.name).replace(' ', '-')));
    fnd::Error error;
    io::ImageSourcePtr source = io::ImageSource::createWithData(file, {}, &error);
    ASSERT_TRUE(source) << error.localizedDescription().toStdString();
    EXPECT_EQ(source->type(), io::TypeBMP);
    EXPECT_EQ(source->propertiesAtIndex(0).value(io::PropertyPixelHeight).toInt(), h);
    gfx::CGImagePtr image = source->createImageAtIndex(0, &error);
    ASSERT_TRUE(image) << error.localizedDescription().toStdString();
    ASSERT_EQ(image->qImage().size(), QSize(w, h));
    iotest::Difference d =
        iotest::compare(iotest::referenceDecoding(path, {w, h}), image->qImage());
    EXPECT_EQ(d.maxColor, 0);
    EXPECT_EQ(d.maxAlpha, 0);
  }
}

TEST(BMPVariants, DamagedRunsAreRefused) {
  struct Case {
    const char* name;
    BmpLayout layout;
  };
  const Case cases[] = {
      {"stream cut in a run", {13, 7, 8, kRLE8, rle8Stream().left(17)}},
      {"literal past the end", {13, 7, 8, kRLE8, bytes({0, 200, 1, 2, 3})}},
      {"delta cut short", {13, 7, 4, kRLE4, bytes({0, 2, 5})}},
      {"RLE4 at 8 bits", {13, 7, 8, kRLE4, rle4Stream()}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fnd::Error error;
    io::ImageSourcePtr source = io::ImageSource::createWithData(bmpFile(c.layout), {}, &error);
    gfx::CGImagePtr image = source ? source->createImageAtIndex(0, &error) : nullptr;
    EXPECT_FALSE(image);
    EXPECT_EQ(error.code(), fnd::FileReadCorruptFileError)
        << error.localizedDescription().toStdString();
  }
  // Runs and deltas that run past the rows are clipped, not written beyond.
  QByteArray wild = bytes({255, 1, 0, 2, 255, 255, 0, 0, 100, 2, 0, 1});
  gfx::CGImagePtr image = iotest::decode(bmpFile({5, 3, 8, kRLE8, wild}));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->qImage().size(), QSize(5, 3));
}
