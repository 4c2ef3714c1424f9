// Damaged and hostile files: every one gives a clear error and no image
// (or, when marked recoverable, its intact images), never a crash. Run
// under AddressSanitizer as well as normally.
#include <ImfRgbaFile.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cmath>
#include <limits>

#include "ImageTestSupport.h"
#include "TestSupport.h"
#include "foundation/Error.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"

namespace {

// Opens `path` and decodes every image; returns how many decoded and the
// last error met.
int decodeAll(const QString& path, fnd::Error* lastError, const io::ImageLimits& limits = {}) {
  io::ImageSourcePtr source =
      io::ImageSource::createWithURL(QUrl::fromLocalFile(path), {}, lastError);
  if (!source) return 0;
  source->setLimits(limits);
  int decoded = 0;
  for (size_t i = 0; i < source->count(); ++i) {
    fnd::Error error;
    if (source->createImageAtIndex(i, &error))
      ++decoded;
    else
      *lastError = error;
  }
  return decoded;
}

}  // namespace

TEST(HostileInput, EveryFileInTheBrokenCorpusFailsCleanly) {
  QDir corpus(tst::dataPath("broken-images"));
  QStringList files = corpus.entryList(QDir::Files, QDir::Name);
  files.removeAll("make-corpus.py");
  files.removeAll("README.md");
  ASSERT_GE(files.size(), 25);
  for (const QString& name : files) {
    SCOPED_TRACE(name.toStdString());
    fnd::Error error;
    int decoded = decodeAll(corpus.filePath(name), &error);
    if (name.contains("recoverable")) {
      EXPECT_GE(decoded, 1);
      continue;
    }
    EXPECT_EQ(decoded, 0);
    EXPECT_FALSE(error.isNull());
    EXPECT_FALSE(error.localizedDescription().isEmpty());
    if (name.contains("-huge-")) {
      EXPECT_EQ(error.code(), fnd::FileReadTooLargeError)
          << error.localizedDescription().toStdString();
    }
  }
}

TEST(HostileInput, FilesCutShortNeverDecode) {
  QImage picture = iotest::testPicture(120, 90, true);
  for (const QString& type : io::TypeIdentifiers::writableTypes()) {
    QByteArray whole = iotest::encode(type, picture);
    for (double fraction : {0.1, 0.5, 0.8}) {
      SCOPED_TRACE(QStringLiteral("%1 cut at %2").arg(type).arg(fraction).toStdString());
      QByteArray cut = whole.left(qsizetype(double(whole.size()) * fraction));
      fnd::Error error;
      io::ImageSourcePtr source = io::ImageSource::createWithData(cut, {}, &error);
      gfx::CGImagePtr image = source ? source->createImageAtIndex(0, &error) : nullptr;
      EXPECT_FALSE(image);
      EXPECT_FALSE(error.localizedDescription().isEmpty());
    }
  }
}

TEST(HostileInput, LimitsAreCheckedBeforeDecodingAndConfigurable) {
  QImage picture = iotest::testPicture(333, 77, false);
  struct Case {
    io::ImageLimits limits;
    bool decodes;
  };
  const Case cases[] = {{io::ImageLimits{}, true},
                        {io::ImageLimits{333 * 77, 333}, true},
                        {io::ImageLimits{333 * 77 - 1, 1u << 16}, false},
                        {io::ImageLimits{uint64_t(1) << 28, 332}, false}};
  for (const QString& type : io::TypeIdentifiers::writableTypes()) {
    QByteArray bytes = iotest::encode(type, picture);
    for (const Case& c : cases) {
      SCOPED_TRACE(QStringLiteral("%1 limit %2 pixels, side %3")
                       .arg(type)
                       .arg(c.limits.maxPixelCount)
                       .arg(c.limits.maxSide)
                       .toStdString());
      io::ImageSourcePtr source = io::ImageSource::createWithData(bytes);
      ASSERT_TRUE(source);
      // Properties stay available for an image over the limits.
      EXPECT_EQ(source->propertiesAtIndex(0).value(io::PropertyPixelWidth).toInt(), 333);
      source->setLimits(c.limits);
      fnd::Error error;
      gfx::CGImagePtr image = source->createImageAtIndex(0, &error);
      EXPECT_EQ(bool(image), c.decodes);
      if (!c.decodes) {
        EXPECT_EQ(error.code(), fnd::FileReadTooLargeError);
      }
    }
  }
}

TEST(HostileInput, MutatedFilesGiveAnImageOrAnError) {
  // Bytes overwritten at random (fixed seed, so failures reproduce) in every
  // writable format: each result is either a whole image of a sane size or
  // an error with a description.
  QImage picture = iotest::testPicture(48, 32, true);
  quint32 seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  for (const QString& type : io::TypeIdentifiers::writableTypes()) {
    QByteArray whole = iotest::encode(type, picture);
    ASSERT_FALSE(whole.isEmpty());
    for (int round = 0; round < 40; ++round) {
      QByteArray mutated = whole;
      for (int i = 0; i < 1 + round % 8; ++i)
        mutated[qsizetype(next() % mutated.size())] = char(next() >> 24);
      SCOPED_TRACE(QStringLiteral("%1 round %2").arg(type).arg(round).toStdString());
      fnd::Error error;
      io::ImageSourcePtr source = io::ImageSource::createWithData(mutated, {}, &error);
      gfx::CGImagePtr image = source ? source->createImageAtIndex(0, &error) : nullptr;
      if (image) {
        EXPECT_GT(image->width(), 0u);
        EXPECT_LE(image->width() * image->height(), source->limits().maxPixelCount);
      } else {
        EXPECT_FALSE(error.localizedDescription().isEmpty());
      }
    }
  }
}

TEST(HostileInput, NonFiniteOpenEXRSamplesReadAsFiniteOnEveryPath) {
  // Written by the OpenEXR library itself: our own writer never makes such
  // samples. Eight blocks of 8 x 8 pixels, one case each, so the 8 x 1
  // thumbnail (a reduced decode) holds one case a pixel too.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float grey = 0.2122f;  // mid-grey 127 in linear light
  struct Case {
    const char* name;
    float r, g, b, a;       // premultiplied, as the file holds them
    int red, green, alpha;  // straight 8-bit result; blue is always 0
  };
  const Case cases[] = {
      {"NaN colour", nan, grey, 0, 1, 0, 127, 255},
      {"infinite colour", inf, grey, 0, 1, 255, 127, 255},
      {"negative infinite colour", -inf, grey, 0, 1, 0, 127, 255},
      {"NaN alpha", grey, grey, 0, nan, 0, 0, 0},
      {"infinite alpha", grey, grey, 0, inf, 127, 127, 255},
      {"negative infinite alpha", grey, grey, 0, -inf, 0, 0, 0},
      {"infinite colour at half alpha", inf, grey / 2, 0, 0.5f, 255, 127, 128},
      {"all NaN", nan, nan, nan, nan, 0, 0, 0},
  };
  const int width = 64, height = 8;
  std::vector<Imf::Rgba> pixels(size_t(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const Case& c = cases[x / 8];
      pixels[size_t(y) * width + x] = Imf::Rgba(c.r, c.g, c.b, c.a);
    }
  QString path = tst::tempPath("non-finite.exr");
  {
    Imf::RgbaOutputFile file(path.toLocal8Bit().constData(), width, height, Imf::WRITE_RGBA);
    file.setFrameBuffer(pixels.data(), 1, width);
    file.writePixels(height);
  }
  tst::saveArtifact(path, "imageio-non-finite.exr");
  io::ImageSourcePtr source = io::ImageSource::createWithURL(QUrl::fromLocalFile(path));
  ASSERT_TRUE(source);

  gfx::CGImagePtr full = source->createImageAtIndex(0);
  ASSERT_TRUE(full);
  QImage samples = full->toFormat(QImage::Format_RGBA32FPx4);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<const float*>(samples.constScanLine(y));
    for (int i = 0; i < width * 4; ++i)
      ASSERT_TRUE(std::isfinite(row[i])) << cases[i / 32].name << ", row " << y;
  }
  gfx::CGImagePtr thumbnail =
      source->createThumbnailAtIndex(0, {{io::SourceThumbnailMaxPixelSize, 8}});
  ASSERT_TRUE(thumbnail);
  ASSERT_EQ(thumbnail->qImage().size(), QSize(8, 1));

  const QImage decodings[] = {full->toFormat(QImage::Format_RGBA8888),
                              thumbnail->toFormat(QImage::Format_RGBA8888)};
  for (const QImage& image : decodings) {
    SCOPED_TRACE(image.width() == width ? "full decode" : "reduced decode");
    const int step = image.width() / 8;
    for (int k = 0; k < 8; ++k) {
      SCOPED_TRACE(cases[k].name);
      const uchar* p = image.constScanLine(0) + 4 * (k * step);
      EXPECT_EQ(p[3], cases[k].alpha);
      if (cases[k].alpha == 0) continue;  // no colour under no coverage
      EXPECT_NEAR(p[0], cases[k].red, 1);
      EXPECT_NEAR(p[1], cases[k].green, 1);
      EXPECT_EQ(p[2], 0);
    }
  }
}
