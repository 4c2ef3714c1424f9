// What a decode costs in memory: the budget every decode charges must see
// the output and every intermediate, stay within one output copy plus a
// small allowance, and thumbnails must never hold the full-size image.
#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "TestSupport.h"
#include "foundation/Error.h"
#include "imageio/DecodeBudget.h"
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

}  // namespace

TEST(DecodeBudget, PeakIsOneOutputPlusASmallAllowance) {
  struct Case {
    QString type;
    bool alpha;
    double extraOutputs;  // intermediates the format cannot avoid
  };
  const Case cases[] = {
      {io::TypePNG, true, 0}, {io::TypePNG, false, 0},     {io::TypeJPEG, false, 0},
      {io::TypeGIF, true, 0}, {io::TypeJPEG2000, true, 4}, {io::TypeOpenEXR, true, 0},
      {io::TypeBMP, true, 0}, {io::TypeTGA, true, 0},      {io::TypePDF, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QStringLiteral("%1 alpha %2").arg(c.type).arg(c.alpha).toStdString());
    QByteArray bytes = iotest::encode(c.type, iotest::testPicture(1024, 768, c.alpha));
    Decoded decoded = decodeCounting(bytes, c.type);
    ASSERT_TRUE(decoded.image) << decoded.error.localizedDescription().toStdString();
    uint64_t output = uint64_t(decoded.image->qImage().sizeInBytes());
    EXPECT_GE(decoded.peak, output);
    EXPECT_LE(decoded.peak, uint64_t(double(output) * (1 + c.extraOutputs)) + kMiB);
  }
}
