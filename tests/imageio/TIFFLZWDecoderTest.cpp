// Our own LZW strip decoder against libtiff's: the same bytes for every
// strip libtiff (and tiffcp) writes, over data that drives the code width
// through all its steps and the table through its clears; and damaged
// strips turned down, never read or written past their ends, with the
// image readers reporting them as damaged.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <random>
#include <vector>

#include "ImageTestSupport.h"
#include "TestSupport.h"
#include "foundation/Error.h"
#include "imageio/ImageProperties.h"
#include "imageio/ImageSource.h"
#include "imageio/TIFFDirectory.h"
#include "imageio/TIFFLZWDecoder.h"
#include "imageio/TIFFMemoryStream.h"
#include "imageio/TIFFStripDecoder.h"

namespace {

enum class Fill { Random, Smooth, Runs, Mixed };

std::vector<uint8_t> samples(Fill fill, size_t bytes, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> out(bytes);
  for (size_t i = 0; i < bytes; ++i) {
    switch (fill) {
      case Fill::Random:
        out[i] = uint8_t(random());
        break;
      case Fill::Smooth:
        out[i] = uint8_t(i / 7 + (random() % 3));
        break;
      case Fill::Runs:
        out[i] = uint8_t((i / 5000) * 37);
        break;
      case Fill::Mixed:
        out[i] = (i / 3000) % 2 ? uint8_t(random()) : uint8_t(i / 4000);
        break;
    }
  }
  return out;
}

struct Format {
  uint32_t width, height, rowsPerStrip;
  uint16_t samples, bits, predictor;
};

// A TIFF libtiff writes with LZW from `pixels` laid out as `f`.
QByteArray writeLZW(const Format& f, const std::vector<uint8_t>& pixels) {
  QByteArray file;
  io::TIFFMemoryStream stream(&file);
  TIFF* tiff = stream.open("w");
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, f.width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, f.height);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, f.rowsPerStrip);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, f.bits);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, f.samples);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
               f.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tiff, TIFFTAG_PREDICTOR, f.predictor);
  if (f.samples == 4 || f.samples == 2) {
    const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  const size_t rowBytes = size_t(f.width) * f.samples * (f.bits / 8);
  for (uint32_t strip = 0, y = 0; y < f.height; ++strip, y += f.rowsPerStrip) {
    const uint32_t rows = std::min(f.rowsPerStrip, f.height - y);
    std::vector<uint8_t> part(pixels.begin() + ptrdiff_t(y * rowBytes),
                              pixels.begin() + ptrdiff_t((y + rows) * rowBytes));
    EXPECT_GE(TIFFWriteEncodedStrip(tiff, strip, part.data(), tmsize_t(part.size())), 0);
  }
  stream.close();
  return file;
}

// Every strip of `file` through our decoder and through libtiff; counts the
// strips our decoder took (all of them are expected to be).
int expectSameStrips(const QByteArray& file) {
  io::TIFFMemoryStream ours(file.constData(), uint64_t(file.size()));
  io::TIFFMemoryStream theirs(file.constData(), uint64_t(file.size()));
  TIFF* own = ours.open("r");
  TIFF* lib = theirs.open("r");
  if (!own || !lib) {
    ADD_FAILURE() << "cannot open the file";
    return 0;
  }
  const io::TIFFDirectory d = io::TIFFDirectory::read(own);
  EXPECT_TRUE(io::TIFFStripDecoder::decodesItself(own, d));
  io::TIFFStripDecoder decoder(own, d, file.constData(), uint64_t(file.size()));
  int taken = 0;
  for (uint32_t strip = 0; strip < TIFFNumberOfStrips(own); ++strip) {
    const size_t size =
        size_t(TIFFVStripSize64(own, std::min(d.rowsPerStrip, d.height - strip * d.rowsPerStrip)));
    std::vector<char> expected(size), actual(size);
    EXPECT_EQ(TIFFReadEncodedStrip(lib, strip, expected.data(), tmsize_t(size)), tmsize_t(size));
    // The raw decoder alone must take the strip, not just the fallback.
    const uint64_t offset = TIFFGetStrileOffset(own, strip);
    std::vector<uint8_t> raw(size);
    if (io::TIFFLZWDecoder::decode(reinterpret_cast<const uint8_t*>(file.constData()) + offset,
                                   size_t(TIFFGetStrileByteCount(own, strip)), raw.data(), size))
      ++taken;
    EXPECT_TRUE(decoder.read(strip, actual.data(), size));
    EXPECT_TRUE(expected == actual) << "strip " << strip;
  }
  return taken;
}

}  // namespace

TEST(TIFFLZWDecoder, DecodesEveryStripAsLibtiffDoes) {
  // Strip sizes from a few bytes (9-bit codes only) through ones that pass
  // 10, 11 and 12 bits and clear the table many times.
  const struct {
    Format format;
    Fill fill;
  } cases[] = {
      {{7, 3, 1, 1, 8, PREDICTOR_NONE}, Fill::Random},
      {{61, 9, 4, 1, 8, PREDICTOR_NONE}, Fill::Random},
      {{300, 20, 3, 3, 8, PREDICTOR_NONE}, Fill::Random},
      {{1000, 64, 16, 4, 8, PREDICTOR_HORIZONTAL}, Fill::Random},
      {{1000, 64, 16, 4, 8, PREDICTOR_HORIZONTAL}, Fill::Smooth},
      {{1000, 64, 64, 4, 8, PREDICTOR_NONE}, Fill::Runs},
      {{777, 50, 13, 3, 8, PREDICTOR_HORIZONTAL}, Fill::Mixed},
      {{513, 40, 40, 2, 8, PREDICTOR_HORIZONTAL}, Fill::Smooth},
      {{333, 30, 7, 4, 16, PREDICTOR_HORIZONTAL}, Fill::Mixed},
      {{250, 30, 30, 1, 16, PREDICTOR_NONE}, Fill::Runs},
      {{4000, 30, 30, 4, 8, PREDICTOR_NONE}, Fill::Runs},
      {{100, 10, 10, 3, 32, PREDICTOR_NONE}, Fill::Smooth},
  };
  uint32_t seed = 1;
  for (const auto& c : cases) {
    const Format& f = c.format;
    SCOPED_TRACE(testing::Message()
                 << f.width << "x" << f.height << " samples " << f.samples << " bits " << f.bits
                 << " predictor " << f.predictor << " fill " << int(c.fill));
    const std::vector<uint8_t> pixels =
        samples(c.fill, size_t(f.width) * f.height * f.samples * (f.bits / 8), seed++);
    const QByteArray file = writeLZW(f, pixels);
    const int strips = int((f.height + f.rowsPerStrip - 1) / f.rowsPerStrip);
    EXPECT_EQ(expectSameStrips(file), strips);
  }
}

TEST(TIFFLZWDecoder, DecodesWhatTiffcpWritesAsLibtiffDoes) {
  const QString tiffcp = QStandardPaths::findExecutable("tiffcp");
  if (tiffcp.isEmpty()) GTEST_SKIP() << "tiffcp is not installed";
  const Format f{640, 200, 200, 4, 8, PREDICTOR_NONE};
  QByteArray plain;
  {
    const std::vector<uint8_t> pixels = samples(Fill::Mixed, size_t(640) * 200 * 4, 7);
    io::TIFFMemoryStream stream(&plain);
    TIFF* tiff = stream.open("w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, f.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, f.height);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, f.rowsPerStrip);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
    TIFFWriteEncodedStrip(tiff, 0, const_cast<uint8_t*>(pixels.data()), tmsize_t(pixels.size()));
    stream.close();
  }
  const QString source = iotest::writeTemp(plain, "lzw-tiffcp-source.tif");
  for (const char* scheme : {"lzw", "lzw:2"}) {
    SCOPED_TRACE(scheme);
    const QString target = source + "." + scheme + ".tif";
    ASSERT_EQ(QProcess::execute(tiffcp, {"-c", scheme, "-r", "37", source, target}), 0);
    QFile written(target);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray file = written.readAll();
    EXPECT_EQ(expectSameStrips(file), 6);
  }
}

TEST(TIFFLZWDecoder, TurnsDownDamagedStripsWithinTheirBytes) {
  const Format f{400, 40, 40, 4, 8, PREDICTOR_NONE};
  const QByteArray file = writeLZW(f, samples(Fill::Mixed, size_t(400) * 40 * 4, 3));
  io::TIFFMemoryStream stream(file.constData(), uint64_t(file.size()));
  TIFF* tiff = stream.open("r");
  ASSERT_TRUE(tiff);
  const uint8_t* strip =
      reinterpret_cast<const uint8_t*>(file.constData()) + TIFFGetStrileOffset(tiff, 0);
  const size_t stripBytes = size_t(TIFFGetStrileByteCount(tiff, 0));
  const size_t size = size_t(400) * 40 * 4;
  // Exactly sized copies, so AddressSanitizer sees any step past either end.
  auto decode = [&](const std::vector<uint8_t>& in, size_t expected) {
    std::vector<uint8_t> out(expected);
    return io::TIFFLZWDecoder::decode(in.data(), in.size(), out.data(), expected);
  };
  const std::vector<uint8_t> whole(strip, strip + stripBytes);
  EXPECT_TRUE(decode(whole, size));
  EXPECT_TRUE(decode(whole, size / 3));  // stops once the output is full
  EXPECT_FALSE(decode(whole, size + 1));
  for (size_t cut : {size_t(0), size_t(1), size_t(2), stripBytes / 2, stripBytes - 3})
    EXPECT_FALSE(decode({whole.begin(), whole.begin() + ptrdiff_t(cut)}, size)) << cut;
  // A first code that is not a clear code (as in the old bit-reversed
  // kind), and a code that is not defined yet (511 right after the clear).
  EXPECT_FALSE(decode({0x00, 0x01, 0x02, 0x03}, 4));
  EXPECT_FALSE(decode({0x80, 0x3f, 0xe0, 0x00}, 4));

  // Flipped bytes: whatever our decoder accepts, libtiff decodes the same.
  std::mt19937 random(11);
  int accepted = 0;
  for (int trial = 0; trial < 300; ++trial) {
    QByteArray damaged = file;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(damaged.data()) + TIFFGetStrileOffset(tiff, 0);
    for (int flips = 1 + trial % 4; flips-- > 0;)
      bytes[random() % stripBytes] ^= uint8_t(1 + random() % 255);
    std::vector<uint8_t> in(bytes, bytes + stripBytes), ours(size);
    if (!io::TIFFLZWDecoder::decode(in.data(), in.size(), ours.data(), size)) continue;
    ++accepted;
    io::TIFFMemoryStream theirs(damaged.constData(), uint64_t(damaged.size()));
    TIFF* lib = theirs.open("r");
    std::vector<uint8_t> expected(size);
    ASSERT_EQ(TIFFReadEncodedStrip(lib, 0, expected.data(), tmsize_t(size)), tmsize_t(size));
    EXPECT_TRUE(ours == expected) << "trial " << trial;
  }
  EXPECT_GT(accepted, 0);
}

TEST(TIFFLZWDecoder, ImageReadersReportADamagedStrip) {
  const Format f{512, 256, 32, 4, 8, PREDICTOR_HORIZONTAL};
  QByteArray file = writeLZW(f, samples(Fill::Smooth, size_t(512) * 256 * 4, 5));
  {
    io::TIFFMemoryStream stream(file.constData(), uint64_t(file.size()));
    TIFF* tiff = stream.open("r");
    ASSERT_TRUE(tiff);
    const uint64_t offset = TIFFGetStrileOffset(tiff, 3);
    std::fill_n(file.data() + offset, TIFFGetStrileByteCount(tiff, 3), char(0xff));
  }
  io::ImageSourcePtr source = io::ImageSource::createWithData(file);
  ASSERT_TRUE(source);
  fnd::Error full, reduced;
  EXPECT_FALSE(source->createImageAtIndex(0, &full));
  EXPECT_FALSE(full.localizedDescription().isEmpty());
  // Reduced by 4, as a thumbnail decodes it strip by strip.
  EXPECT_FALSE(
      source->createThumbnailAtIndex(0, {{io::SourceThumbnailMaxPixelSize, 128}}, &reduced));
  EXPECT_FALSE(reduced.localizedDescription().isEmpty());
}
