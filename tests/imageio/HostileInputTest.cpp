// Damaged and hostile files: every one gives a clear error and no image
// (or, when marked recoverable, its intact images), never a crash. Run
// under AddressSanitizer as well as normally.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

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
