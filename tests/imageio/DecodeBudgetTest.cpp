// What a decode costs in memory: the budget every decode charges must see
// the output and every intermediate, stay within one output copy plus a
// small allowance, and thumbnails must never hold the full-size image.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <fstream>
#include <string>

#include "ImageTestSupport.h"
#include "TestSupport.h"
#include "foundation/Error.h"
#include "imageio/DecodeBudget.h"
#include "imageio/ImageDestination.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"

namespace {

constexpr uint64_t kMiB = uint64_t(1) << 20;

struct Decoded {
  gfx::CGImagePtr image;
  uint64_t peak = 0;
  fnd::Error error;
};

Decoded decodeCounting(const QByteArray& bytes, const QString& type, int minimumLongerSide = 0,
                       const io::ImageLimits& limits = {}, int index = 0) {
  io::DecodeBudget budget(limits);
  io::DecodeRequest request;
  request.index = index;
  request.limits = limits;
  request.minimumLongerSide = minimumLongerSide;
  request.budget = &budget;
  Decoded decoded;
  decoded.image = io::ImageCodec::forType(type)->readImage(bytes, request, &decoded.error);
  decoded.peak = budget.peak();
  return decoded;
}

// A GIF whose screen is `side` pixels square and whose frames are one
// pixel each, the first ones restoring what was under them: some forty
// bytes that ask a decoder for a full-size canvas.
QByteArray tinyFramesGif(int side, int frames) {
  QByteArray gif("GIF89a");
  gif += char(side & 0xff);
  gif += char(side >> 8);
  gif += char(side & 0xff);
  gif += char(side >> 8);
  gif += QByteArray("\x80\x00\x00\x00\x00\x00\xff\xff\xff", 9);  // two global colours
  for (int i = 0; i < frames; ++i) {
    char disposal = i + 1 < frames ? char(3 << 2) : 0;  // restore to previous
    gif += QByteArray("\x21\xf9\x04", 3) + disposal + QByteArray("\x00\x00\x00\x00", 4);
    gif += QByteArray("\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10);
    gif += QByteArray("\x02\x02\x44\x01\x00", 5);  // clear, index 0, end
  }
  return gif + ';';
}

// The kibibytes of a field of /proc/self/status ("VmRSS", "VmHWM").
int64_t statusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field + ":", 0) == 0) return std::stoll(line.substr(field.size() + 1));
  return -1;
}

// The most resident memory `work` adds, in MiB, measured in a child process
// (so nothing the test program holds counts): the high-water mark is reset
// before the work and read after it. -1 when it cannot be measured. The
// child has only the forking thread, so `work` must not need a library's
// thread pool started before; and memory the program freed but kept
// mapped is reused unseen, so only blocks above the allocator's largest
// mmap threshold (32 MiB) are sure to show.
double residentGrowthMiB(const std::function<void()>& work) {
  int pipe[2];
  if (::pipe(pipe) != 0) return -1;
  pid_t child = fork();
  if (child == 0) {
    std::ofstream("/proc/self/clear_refs") << "5";
    int64_t before = statusKiB("VmRSS");
    work();
    int64_t growth = statusKiB("VmHWM") - before;
    ssize_t written = write(pipe[1], &growth, sizeof growth);
    _exit(written == sizeof growth ? 0 : 1);
  }
  close(pipe[1]);
  int64_t growth = -1024;
  bool got = read(pipe[0], &growth, sizeof growth) == sizeof growth;
  close(pipe[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return got && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? double(growth) / 1024 : -1;
}

// Gentle gradients in every channel: what any reducing filter (block
// averages, wavelets, a renderer's) shows alike, even where filters place
// their samples a few pixels apart.
QImage smoothPicture(int width, int height) {
  QImage image(width, height, QImage::Format_RGBA8888);
  for (int y = 0; y < height; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < width; ++x) {
      row[x * 4 + 0] = uchar(x * 255 / width);
      row[x * 4 + 1] = uchar(y * 255 / height);
      row[x * 4 + 2] = uchar(255 - (x + y) * 255 / (width + height));
      row[x * 4 + 3] = uchar(std::min(255, 40 + (x + y) * 255 / (width + height)));
    }
  }
  return image;
}

// `image` averaged over whole blocks down to `size` (premultiplied), the
// reference a reduced decode is held to.
QImage boxAverage(const QImage& image, QSize size) {
  QImage source = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
  QImage out(size, QImage::Format_RGBA8888_Premultiplied);
  int fx = (source.width() + size.width() - 1) / size.width();
  int fy = (source.height() + size.height() - 1) / size.height();
  for (int y = 0; y < size.height(); ++y) {
    for (int x = 0; x < size.width(); ++x) {
      uint64_t sum[4] = {}, count = 0;
      for (int sy = y * fy; sy < std::min(source.height(), (y + 1) * fy); ++sy)
        for (int sx = x * fx; sx < std::min(source.width(), (x + 1) * fx); ++sx, ++count)
          for (int c = 0; c < 4; ++c) sum[c] += source.constScanLine(sy)[sx * 4 + c];
      for (int c = 0; c < 4; ++c) out.scanLine(y)[x * 4 + c] = uchar((sum[c] + count / 2) / count);
    }
  }
  return out;
}

}  // namespace

TEST(DecodeBudget, PeakIsOneOutputPlusASmallAllowance) {
  struct Case {
    QString type;
    bool alpha;
    double extraOutputs;  // intermediates the format cannot avoid
    uint64_t allowance;
  };
  const Case cases[] = {
      {io::TypePNG, true, 0, kMiB},      {io::TypePNG, false, 0, kMiB},
      {io::TypeJPEG, false, 0, kMiB},    {io::TypeGIF, true, 0, kMiB},
      {io::TypeJPEG2000, true, 4, kMiB}, {io::TypeJPEG2000, false, 3, kMiB},
      {io::TypeOpenEXR, true, 0, kMiB},  {io::TypeBMP, true, 0, kMiB},
      {io::TypeTGA, true, 0, kMiB},      {io::TypePDF, false, 1, kMiB},
  };
  QImage picture = iotest::testPicture(1024, 768, true);
  for (const Case& c : cases) {
    SCOPED_TRACE(QStringLiteral("%1 alpha %2").arg(c.type).arg(c.alpha).toStdString());
    QImage source = c.alpha ? picture : iotest::testPicture(1024, 768, false);
    QByteArray bytes = iotest::encode(c.type, source);
    Decoded decoded = decodeCounting(bytes, c.type);
    ASSERT_TRUE(decoded.image) << decoded.error.localizedDescription().toStdString();
    uint64_t output = uint64_t(decoded.image->qImage().sizeInBytes());
    EXPECT_GE(decoded.peak, output);
    EXPECT_LE(decoded.peak, uint64_t(double(output) * (1 + c.extraOutputs)) + c.allowance);
  }
}

TEST(DecodeBudget, JPEG2000DecodesInBandsWhatTheBudgetCannotHoldAtOnce) {
  // At 2048 × 1536 the four components take 48 MiB as OpenJPEG holds them;
  // limits of twice this image leave 28 MiB beside the 12 MiB output.
  QImage picture = iotest::testPicture(2048, 1536, true);
  QByteArray bytes = iotest::encode(io::TypeJPEG2000, picture);
  io::ImageLimits limits{2 * 2048 * 1536, 1u << 16};
  Decoded decoded = decodeCounting(bytes, io::TypeJPEG2000, 0, limits);
  ASSERT_TRUE(decoded.image) << decoded.error.localizedDescription().toStdString();
  EXPECT_LE(decoded.peak, io::DecodeBudget(limits).capacity());
  // Bands change no pixel of the lossless file.
  iotest::Difference d = iotest::compare(picture, decoded.image->qImage());
  EXPECT_EQ(d.maxColor, 0);
  EXPECT_EQ(d.maxAlpha, 0);
}

TEST(DecodeBudget, ThumbnailsNeverHoldTheFullImage) {
  ASSERT_TRUE(tst::haveTool("convert"));
  QImage picture = smoothPicture(1200, 800);
  QString interlacedPath = tst::tempPath("interlaced.png");
  QString written = iotest::writeTemp(iotest::encode(io::TypePNG, picture), "thumbnail-source.png");
  ASSERT_EQ(tst::runTool("convert", {written, "-interlace", "PNG", "PNG32:" + interlacedPath}), 0);
  QFile interlaced(interlacedPath);
  ASSERT_TRUE(interlaced.open(QIODevice::ReadOnly));
  // Three frames: the first cleared after it shows, the second kept, the
  // third with transparent pixels over it.
  QByteArray animation;
  io::ImageDestinationPtr destination =
      io::ImageDestination::createWithData(&animation, io::TypeGIF, 3);
  for (const QImage& frame :
       {picture, smoothPicture(600, 400).convertToFormat(QImage::Format_RGBX8888),
        iotest::testPicture(800, 500, true)})
    destination->addImage(gfx::CGImage::make(frame), {});
  ASSERT_TRUE(destination->finalize());
  struct Case {
    QString name, type;
    QByteArray bytes;
    int index = 0;
  };
  const Case cases[] = {
      {"animated GIF", io::TypeGIF, animation, 2},
      {"PNG", io::TypePNG, iotest::encode(io::TypePNG, picture)},
      {"interlaced PNG", io::TypePNG, interlaced.readAll()},
      {"JPEG", io::TypeJPEG, iotest::encode(io::TypeJPEG, picture)},
      {"GIF", io::TypeGIF, iotest::encode(io::TypeGIF, picture)},
      {"JPEG 2000", io::TypeJPEG2000, iotest::encode(io::TypeJPEG2000, picture)},
      {"PDF", io::TypePDF, iotest::encode(io::TypePDF, picture)},
      {"OpenEXR", io::TypeOpenEXR, iotest::encode(io::TypeOpenEXR, picture)},
  };
  const uint64_t fullOutput = 1200 * 800 * 4;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.toStdString());
    Decoded full = decodeCounting(c.bytes, c.type, 0, {}, c.index);
    Decoded thumbnail = decodeCounting(c.bytes, c.type, 150, {}, c.index);
    ASSERT_TRUE(full.image && thumbnail.image)
        << thumbnail.error.localizedDescription().toStdString();
    QSize size = thumbnail.image->qImage().size();
    EXPECT_GE(std::max(size.width(), size.height()), 150);
    EXPECT_LE(std::max(size.width(), size.height()), 300);
    EXPECT_LT(thumbnail.peak, fullOutput / 3);
    // The reduced decode shows what the full image shows at that size.
    QImage expected = boxAverage(full.image->qImage(), size);
    iotest::Difference d = iotest::compare(expected, thumbnail.image->qImage(), 64);
    EXPECT_LE(d.meanColor, 1.5);
  }
}

TEST(DecodeBudget, ATinyGifCostsOneCanvas) {
  // 4096² pixels are 64 MiB at 4 bytes; restoring frames once cost a copy
  // of the canvas each, and the frame asked for another.
  QByteArray gif = tinyFramesGif(4096, 3);
  EXPECT_LT(gif.size(), 100);
  io::ImageLimits limits{4096 * 4096, 1u << 16};
  const double canvasMiB = 64;
  Decoded decoded = decodeCounting(gif, io::TypeGIF, 0, limits, 2);
  ASSERT_TRUE(decoded.image) << decoded.error.localizedDescription().toStdString();
  EXPECT_LE(double(decoded.peak) / kMiB, canvasMiB + 1);
  double resident = residentGrowthMiB([&] { decodeCounting(gif, io::TypeGIF, 0, limits, 2); });
  ASSERT_GE(resident, 0) << "the child process could not measure its memory";
  EXPECT_GE(resident, canvasMiB * 0.9);
  // A second canvas would double it; AddressSanitizer's shadow adds 1/8.
  EXPECT_LE(resident, canvasMiB * 1.25 + 4);
  // A limit below the canvas refuses the file before allocating it.
  limits.maxPixelCount = 4096 * 4096 - 1;
  Decoded refused = decodeCounting(gif, io::TypeGIF, 0, limits, 2);
  EXPECT_FALSE(refused.image);
  EXPECT_EQ(refused.error.code(), fnd::FileReadTooLargeError);
  EXPECT_EQ(refused.peak, 0u);
}

TEST(DecodeBudget, ProgressiveJPEGCountsTheCoefficientsItHolds) {
  // A progressive file keeps every DCT coefficient until its last scan: two
  // bytes a sample, 9 MiB at 2048 × 1536 with chroma halved each way and
  // 18 MiB with full chroma, beside the 12 MiB output. Limits of exactly
  // this image leave 12 + 16 MiB, room for the first only.
  ASSERT_TRUE(tst::haveTool("convert"));
  QString source = iotest::writeTemp(iotest::encode(io::TypePNG, smoothPicture(2048, 1536)),
                                     "progressive-source.png");
  io::ImageLimits limits{2048 * 1536, 1u << 16};
  struct Case {
    QString sampling;
    uint64_t coefficients;
    bool decodes;
  };
  const Case cases[] = {{"2x2", 9 * kMiB, true}, {"1x1", 18 * kMiB, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sampling.toStdString());
    QString path = tst::tempPath("progressive.jpg");
    ASSERT_EQ(tst::runTool("convert",
                           {source, "-interlace", "JPEG", "-sampling-factor", c.sampling, path}),
              0);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    Decoded decoded = decodeCounting(bytes, io::TypeJPEG, 0, limits);
    EXPECT_EQ(bool(decoded.image), c.decodes);
    if (decoded.image) {
      EXPECT_GE(decoded.peak, uint64_t(decoded.image->qImage().sizeInBytes()) + c.coefficients);
    } else {
      EXPECT_EQ(decoded.error.code(), fnd::FileReadTooLargeError)
          << decoded.error.localizedDescription().toStdString();
    }
  }
}
