// The codecs with threads of their own (OpenJPEG, OpenEXR) run on the
// calling thread alone when called from a worker of the shared pool, as one
// band of parallel work; the file written and the pixels read there must be
// those of the call from any other thread, full size and reduced.
#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "foundation/WorkerPool.h"
#include "imageio/ImageProperties.h"
#include "imageio/ImageSource.h"
#include "imageio/TypeIdentifiers.h"

namespace {

struct Coded {
  QByteArray bytes;
  QImage pixels, thumbnail;
};

Coded codeAndRead(const QString& type, const QImage& picture) {
  Coded coded;
  coded.bytes = iotest::encode(type, picture);
  gfx::CGImagePtr image = iotest::decode(coded.bytes);
  if (image) coded.pixels = image->qImage();
  io::ImageSourcePtr source = io::ImageSource::createWithData(coded.bytes);
  gfx::CGImagePtr thumbnail =
      source ? source->createThumbnailAtIndex(0, {{io::SourceThumbnailMaxPixelSize, 100}})
             : nullptr;
  if (thumbnail) coded.thumbnail = thumbnail->qImage();
  return coded;
}

TEST(WorkerThreadCoding, InsideAWorkerTheFileAndPixelsAreTheSame) {
  const QImage picture = iotest::testPicture(613, 419, true);
  for (const QString& type : {io::TypeJPEG2000, io::TypeOpenEXR}) {
    SCOPED_TRACE(type.toStdString());
    const Coded outside = codeAndRead(type, picture);
    Coded inside;
    bool ranInWorker = false;
    fnd::WorkerPool::parallelFor(2, [&](int i) {
      if (i != 0) return;
      ranInWorker = fnd::WorkerPool::isWorkerThread();
      inside = codeAndRead(type, picture);
    });
    ASSERT_FALSE(outside.bytes.isEmpty());
    ASSERT_FALSE(outside.pixels.isNull());
    ASSERT_FALSE(outside.thumbnail.isNull());
    EXPECT_TRUE(ranInWorker);
    EXPECT_EQ(inside.bytes, outside.bytes);
    EXPECT_EQ(inside.pixels, outside.pixels);
    EXPECT_EQ(inside.thumbnail, outside.thumbnail);
  }
}

}  // namespace
