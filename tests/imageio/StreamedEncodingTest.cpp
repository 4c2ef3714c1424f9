// PNG and JPEG encoders take an image's rows a band at a time and write the
// file as they go, TIFF its strips a group at a time. The bytes must be
// those of the whole image converted up front and encoded in memory,
// whatever the source's layout.
#include <gtest/gtest.h>

#include <QFile>

#include "ImageTestSupport.h"
#include "TestSupport.h"
#include "foundation/Error.h"
#include "imageio/CodecSupport.h"
#include "imageio/ImageCodec.h"
#include "imageio/ImageDestination.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"

namespace {

QByteArray writtenToFile(const QString& type, const QImage& image, const QVariantMap& properties,
                         const QString& name) {
  const QString path = tst::tempPath(name);
  fnd::Error error;
  io::ImageDestinationPtr destination =
      io::ImageDestination::createWithURL(QUrl::fromLocalFile(path), type, 1, {}, &error);
  EXPECT_TRUE(destination) << error.localizedDescription().toStdString();
  if (!destination) return {};
  destination->addImage(gfx::CGImage::make(image), properties);
  EXPECT_TRUE(destination->finalize(&error)) << error.localizedDescription().toStdString();
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The source converted whole into the layout the encoder takes, as the
// codecs did before they converted band by band.
QImage convertedWhole(const QString& type, const QImage& image, bool keepAlpha) {
  const gfx::CGImage source(image);
  QVariantMap properties{{io::PropertyHasAlpha, keepAlpha}};
  const bool alpha = type != io::TypeJPEG && io::codec::keepsAlpha(source, properties);
  const bool gray = io::codec::isGray(source) && !alpha;
  const int depth = type == io::TypeJPEG ? 8 : io::codec::integerDepth(source);
  return io::codec::pixels(source, alpha, depth, gray);
}

// Takes `limit` bytes, then reports the disk full.
class FullDevice : public QIODevice {
 public:
  explicit FullDevice(qint64 limit) : limit_(limit) { open(QIODevice::WriteOnly); }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char*, qint64 length) override {
    if (written_ + length > limit_) return -1;
    written_ += length;
    return length;
  }

 private:
  qint64 limit_, written_ = 0;
};

}  // namespace

TEST(StreamedEncoding, FileAndMemoryBytesEqualTheWholeImageConvertedFirst) {
  // 203 rows: several bands and a short last one; an odd width.
  const QImage straight = iotest::testPicture(37, 203, true);
  const struct {
    const char* name;
    QImage image;
  } sources[] = {
      {"rgba8888", straight},
      {"argb32-premultiplied", straight.convertToFormat(QImage::Format_ARGB32_Premultiplied)},
      {"argb32", straight.convertToFormat(QImage::Format_ARGB32)},
      {"rgbx8888", iotest::testPicture(37, 203, false)},
      {"rgb32", iotest::testPicture(37, 203, false).convertToFormat(QImage::Format_RGB32)},
      {"rgba64", iotest::deepTestPicture(37, 203, true)},
      {"grayscale8", straight.convertToFormat(QImage::Format_Grayscale8)},
  };
  const QVariantMap lzw{{io::PropertyTIFFDictionary,
                         QVariantMap{{io::PropertyTIFFCompression, io::TIFFCompressionLZW}}}};
  const struct {
    QString type;
    QVariantMap options;
  } encodings[] = {{io::TypePNG, {}}, {io::TypeJPEG, {}}, {io::TypeTIFF, {}}, {io::TypeTIFF, lzw}};
  for (const auto& encoding : encodings) {
    const QString& type = encoding.type;
    for (const auto& source : sources) {
      for (bool keepAlpha : {true, false}) {
        const QString name = QStringLiteral("streamed-%1-%2-%3%4.%5")
                                 .arg(source.name, keepAlpha ? "alpha" : "opaque",
                                      io::TypeIdentifiers::preferredFilenameExtension(type),
                                      encoding.options.isEmpty() ? "" : "-lzw",
                                      io::TypeIdentifiers::preferredFilenameExtension(type));
        SCOPED_TRACE(name.toStdString());
        QVariantMap properties = encoding.options;
        properties[io::PropertyHasAlpha] = keepAlpha;
        const QByteArray inMemory = iotest::encode(type, source.image, properties);
        ASSERT_FALSE(inMemory.isEmpty());
        EXPECT_EQ(writtenToFile(type, source.image, properties, name), inMemory);
        // TIFF converts its samples itself, strip by strip, as it always did.
        if (type != io::TypeTIFF) {
          EXPECT_EQ(iotest::encode(type, convertedWhole(type, source.image, keepAlpha), properties),
                    inMemory);
        }
      }
    }
  }
}

// A TIFF larger than one group of strips reaches the file group by group,
// its header rewritten there at the end: the same bytes as in memory, and
// read back as the pixels given.
TEST(StreamedEncoding, ATIFFOfManyStripGroupsWrittenToAFileIsTheOneMadeInMemory) {
  const QImage image = iotest::testPicture(2300, 2100, true);  // 18 MiB of samples
  for (int compression : {int(io::TIFFCompressionNone), int(io::TIFFCompressionLZW)}) {
    SCOPED_TRACE(compression);
    const QVariantMap properties{
        {io::PropertyTIFFDictionary, QVariantMap{{io::PropertyTIFFCompression, compression}}}};
    const QByteArray inMemory = iotest::encode(io::TypeTIFF, image, properties);
    const QByteArray inFile = writtenToFile(
        io::TypeTIFF, image, properties, QStringLiteral("streamed-large-%1.tiff").arg(compression));
    EXPECT_TRUE(inFile == inMemory)
        << inFile.size() << " bytes in the file, " << inMemory.size() << " in memory";
    gfx::CGImagePtr decoded = iotest::decode(inFile);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(iotest::compare(image, decoded->qImage()).maxColor, 0);
  }
}

// A device that stops taking bytes part-way ends the encode with an error
// naming the format, for the streaming encoders and for those that encode
// in memory first alike.
TEST(StreamedEncoding, ADeviceThatFillsUpFailsTheEncode) {
  const QImage image = iotest::testPicture(300, 200, true);
  for (const QString& type : {io::TypePNG, io::TypeJPEG, io::TypeTIFF}) {
    SCOPED_TRACE(type.toStdString());
    const io::ImageCodec* codec = io::ImageCodec::forType(type);
    ASSERT_TRUE(codec);
    const QList<io::EncodeFrame> frames{{gfx::CGImage::make(image), {}}};
    FullDevice device(1000);
    fnd::Error error;
    EXPECT_FALSE(codec->writeToDevice(type, frames, {}, &device, &error));
    EXPECT_EQ(error.code(), fnd::FileWriteUnknownError);
    EXPECT_FALSE(error.localizedDescription().isEmpty());
  }
}
