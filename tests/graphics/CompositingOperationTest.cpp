// Every compositing operation against expected pixels worked out from the
// published formulas (straight-colour form, independently of the
// premultiplied code): in pure arithmetic, and through drawing contexts of
// 8, 16 and 32-bit depth.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "graphics/BezierPath.h"
#include "graphics/CompositingOperation.h"
#include "graphics/GraphicsContext.h"

using namespace gfx;

namespace {

using Rgba = std::array<double, 4>;  // premultiplied

// Source S and destination D, straight colour + alpha.
constexpr Rgba S{0.9, 0.5, 0.2, 0.6};
constexpr Rgba D{0.3, 0.5, 0.9, 0.8};
// Opaque pair, reaching the other branches of the piecewise blends.
constexpr Rgba S2{0.2, 0.7, 1.0, 1.0};
constexpr Rgba D2{0.6, 0.1, 0.4, 1.0};

struct Expectation {
  const char* name;
  Rgba sourceOverDestination;  // S onto D
  Rgba halfFraction;           // S at fraction 0.5 onto D
  Rgba opaquePair;             // S2 onto D2
};

// Index = operation number.
const Expectation expected[CompositingOperationCount] = {
    {"clear", {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}},
    {"copy", {0.54, 0.30, 0.12, 0.60}, {0.27, 0.15, 0.06, 0.30}, {0.2, 0.7, 1.0, 1.0}},
    {"source-over", {0.636, 0.46, 0.408, 0.92}, {0.438, 0.43, 0.564, 0.86}, {0.2, 0.7, 1.0, 1.0}},
    {"source-in", {0.432, 0.24, 0.096, 0.48}, {0.216, 0.12, 0.048, 0.24}, {0.2, 0.7, 1.0, 1.0}},
    {"source-out", {0.108, 0.06, 0.024, 0.12}, {0.054, 0.03, 0.012, 0.06}, {0, 0, 0, 0}},
    {"source-atop", {0.528, 0.40, 0.384, 0.80}, {0.384, 0.40, 0.552, 0.80}, {0.2, 0.7, 1.0, 1.0}},
    {"destination-over",
     {0.348, 0.46, 0.744, 0.92},
     {0.294, 0.43, 0.732, 0.86},
     {0.6, 0.1, 0.4, 1}},
    {"destination-in", {0.144, 0.24, 0.432, 0.48}, {0.072, 0.12, 0.216, 0.24}, {0.6, 0.1, 0.4, 1}},
    {"destination-out", {0.096, 0.16, 0.288, 0.32}, {0.168, 0.28, 0.504, 0.56}, {0, 0, 0, 0}},
    {"destination-atop",
     {0.252, 0.30, 0.456, 0.60},
     {0.126, 0.15, 0.228, 0.30},
     {0.6, 0.1, 0.4, 1}},
    {"xor", {0.204, 0.22, 0.312, 0.44}, {0.222, 0.31, 0.516, 0.62}, {0, 0, 0, 0}},
    {"plus-darker", {0.38, 0.30, 0.44, 1.0}, {0.41, 0.45, 0.68, 1.0}, {0, 0, 0.4, 1}},
    {"highlight", {0.636, 0.46, 0.408, 0.92}, {0.438, 0.43, 0.564, 0.86}, {0.2, 0.7, 1.0, 1.0}},
    {"plus-lighter", {0.78, 0.70, 0.84, 1.0}, {0.51, 0.55, 0.78, 1.0}, {0.8, 0.8, 1.0, 1.0}},
    {"multiply", {0.3336, 0.34, 0.3984, 0.92}, {0.2868, 0.37, 0.5592, 0.86}, {0.12, 0.07, 0.4, 1}},
    {"screen", {0.6504, 0.58, 0.7536, 0.92}, {0.4452, 0.49, 0.7368, 0.86}, {0.68, 0.73, 1.0, 1}},
    {"overlay", {0.4632, 0.46, 0.7152, 0.92}, {0.3516, 0.43, 0.7176, 0.86}, {0.36, 0.14, 0.8, 1}},
    {"darken", {0.348, 0.46, 0.408, 0.92}, {0.294, 0.43, 0.564, 0.86}, {0.2, 0.1, 0.4, 1}},
    {"lighten", {0.636, 0.46, 0.744, 0.92}, {0.438, 0.43, 0.732, 0.86}, {0.6, 0.7, 1.0, 1}},
    {"color-dodge",
     {0.684, 0.70, 0.792, 0.92},
     {0.462, 0.55, 0.756, 0.86},
     {0.75, 0.33333, 1.0, 1}},
    {"color-burn", {0.31067, 0.22, 0.552, 0.92}, {0.27533, 0.31, 0.636, 0.86}, {0, 0, 0.4, 1}},
    {"soft-light",
     {0.44313, 0.46, 0.71808, 0.92},
     {0.34156, 0.43, 0.71904, 0.86},
     {0.456, 0.1784, 0.63246, 1}},
    {"hard-light",
     {0.6168, 0.46, 0.4848, 0.92},
     {0.4284, 0.43, 0.6024, 0.86},
     {0.24, 0.46, 1.0, 1}},
    {"difference", {0.492, 0.22, 0.648, 0.92}, {0.366, 0.31, 0.684, 0.86}, {0.4, 0.6, 0.6, 1}},
    {"exclusion", {0.5208, 0.46, 0.6672, 0.92}, {0.3804, 0.43, 0.6936, 0.86}, {0.56, 0.66, 0.6, 1}},
    {"hue",
     {0.5651, 0.41653, 0.3851, 0.92},
     {0.40255, 0.40826, 0.55255, 0.86},
     {0.04363, 0.35612, 0.54363, 1}},
    {"saturation",
     {0.33328, 0.46128, 0.77728, 0.92},
     {0.28664, 0.43064, 0.74864, 0.86},
     {0.77322, 0, 0.46393, 1}},
    {"color",
     {0.58656, 0.41056, 0.35856, 0.92},
     {0.41328, 0.40528, 0.53928, 0.86},
     {0, 0.36945, 0.59112, 1}},
    {"luminosity",
     {0.39808, 0.50938, 0.792, 0.92},
     {0.31904, 0.45469, 0.756, 0.86},
     {0.9, 0.4, 0.7, 1}},
};

std::array<float, 4> premultiplied(const Rgba& c) {
  return {float(c[0] * c[3]), float(c[1] * c[3]), float(c[2] * c[3]), float(c[3])};
}

QColor straight(const Rgba& c) { return QColor::fromRgbF(c[0], c[1], c[2], c[3]); }

Rgba premultipliedPixel(const GraphicsContext& context, int x, int y) {
  QColor c = context.pixelColor(x, y);
  return {c.redF() * c.alphaF(), c.greenF() * c.alphaF(), c.blueF() * c.alphaF(), c.alphaF()};
}

void expectNear(const Rgba& actual, const Rgba& wanted, double tolerance, const QString& what) {
  for (int i = 0; i < 4; ++i)
    EXPECT_NEAR(actual[i], wanted[i], tolerance) << what.toStdString() << " component " << i;
}

Rgba pixelAfterFill(int bits, CompositingOperation op, const Rgba& source, const Rgba& destination,
                    double alpha, Rgba* outside = nullptr) {
  auto context = GraphicsContext::bitmapContext(8, 8, bits, ImageAlphaInfo::PremultipliedLast);
  context->fillRect({0, 0, 8, 8}, straight(destination), CompositingOperation::Copy);
  context->setAlpha(alpha);
  context->fillRect({2, 2, 4, 4}, straight(source), op);
  if (outside) *outside = premultipliedPixel(*context, 0, 0);
  return premultipliedPixel(*context, 3, 3);
}

}  // namespace

TEST(CompositingOperation, FormulasMatchExpectedPixels) {
  for (int index = 0; index < CompositingOperationCount; ++index) {
    auto op = CompositingOperation(index);
    const Expectation& e = expected[index];
    ASSERT_EQ(nameOfCompositingOperation(op), QString::fromLatin1(e.name));
    struct Case {
      Rgba source, destination;
      float fraction;
      Rgba want;
    } cases[] = {{S, D, 1.0f, e.sourceOverDestination},
                 {S, D, 0.5f, e.halfFraction},
                 {S2, D2, 1.0f, e.opaquePair}};
    for (const Case& c : cases) {
      auto src = premultiplied(c.source);
      auto dst = premultiplied(c.destination);
      compositePixels(op, src.data(), dst.data(), 1, c.fraction);
      expectNear({dst[0], dst[1], dst[2], dst[3]}, c.want, 1e-4,
                 QStringLiteral("%1 fraction %2").arg(e.name).arg(c.fraction));
    }
  }
}

TEST(CompositingOperation, CoverageBlendsBetweenOldAndComposited) {
  // A quarter-covered pixel moves a quarter of the way to the result.
  auto src = premultiplied(S2);
  std::array<float, 8> dst{};
  auto d = premultiplied(D2);
  std::copy(d.begin(), d.end(), dst.begin());
  std::copy(d.begin(), d.end(), dst.begin() + 4);
  std::array<float, 8> twoSources{};
  std::copy(src.begin(), src.end(), twoSources.begin());
  std::copy(src.begin(), src.end(), twoSources.begin() + 4);
  const float coverage[2] = {0.25f, 0.0f};
  compositePixelsWithCoverage(CompositingOperation::Copy, twoSources.data(), dst.data(), coverage,
                              2, 1.0f);
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(dst[i], d[i] + (src[i] - d[i]) * 0.25f, 1e-6);
    EXPECT_FLOAT_EQ(dst[4 + i], d[i]);  // no coverage: untouched
  }
}

// Through a drawing context: the fill covers the middle of the bitmap; the
// corner is outside it and must keep the destination for every operation.
TEST(CompositingOperation, FillRectWithEachOperationAtEachDepth) {
  const struct {
    int bits;
    double tolerance;
  } depths[] = {{8, 3.0 / 255}, {16, 1.0 / 255}, {32, 1.0 / 255}};
  for (const auto& depth : depths) {
    for (int index = 0; index < CompositingOperationCount; ++index) {
      auto op = CompositingOperation(index);
      const Expectation& e = expected[index];
      QString what = QStringLiteral("%1 at %2 bits").arg(e.name).arg(depth.bits);
      Rgba outside;
      Rgba whole = pixelAfterFill(depth.bits, op, S, D, 1.0, &outside);
      expectNear(whole, e.sourceOverDestination, depth.tolerance, what);
      expectNear(outside, {D[0] * D[3], D[1] * D[3], D[2] * D[3], D[3]}, depth.tolerance,
                 what + " outside");
      // The context's alpha scales the source just as an image's fraction does.
      expectNear(pixelAfterFill(depth.bits, op, S, D, 0.5), e.halfFraction, depth.tolerance,
                 what + " alpha 0.5");
      expectNear(pixelAfterFill(depth.bits, op, S2, D2, 1.0), e.opaquePair, depth.tolerance,
                 what + " opaque");
    }
  }
}

TEST(CompositingOperation, DrawImageWithFraction) {
  // A 2×2 image of S drawn with fraction 0.5 over D, scaled up to 4×4.
  QImage pixels(2, 2, QImage::Format_ARGB32);
  pixels.fill(straight(S));
  CGImagePtr image = CGImage::make(pixels);
  for (int index = 0; index < CompositingOperationCount; ++index) {
    auto op = CompositingOperation(index);
    auto context = GraphicsContext::bitmapContext(8, 8, 32, ImageAlphaInfo::PremultipliedLast);
    context->fillRect({0, 0, 8, 8}, straight(D), CompositingOperation::Copy);
    context->setImageInterpolation(false);
    context->drawImage(image, {2, 2, 4, 4}, {}, op, 0.5);
    // 8-bit image pixels limit precision.
    expectNear(premultipliedPixel(*context, 3, 3), expected[index].halfFraction, 2.0 / 255,
               QString::fromLatin1(expected[index].name));
    expectNear(premultipliedPixel(*context, 7, 7), {D[0] * D[3], D[1] * D[3], D[2] * D[3], D[3]},
               1.0 / 255, QString::fromLatin1(expected[index].name) + " outside");
  }
}

TEST(CompositingOperation, BlendModesSelectTheirOperations) {
  const struct {
    BlendMode mode;
    CompositingOperation op;
  } table[] = {
      {BlendMode::Normal, CompositingOperation::SourceOver},
      {BlendMode::Multiply, CompositingOperation::Multiply},
      {BlendMode::Screen, CompositingOperation::Screen},
      {BlendMode::Overlay, CompositingOperation::Overlay},
      {BlendMode::Darken, CompositingOperation::Darken},
      {BlendMode::Lighten, CompositingOperation::Lighten},
      {BlendMode::ColorDodge, CompositingOperation::ColorDodge},
      {BlendMode::ColorBurn, CompositingOperation::ColorBurn},
      {BlendMode::SoftLight, CompositingOperation::SoftLight},
      {BlendMode::HardLight, CompositingOperation::HardLight},
      {BlendMode::Difference, CompositingOperation::Difference},
      {BlendMode::Exclusion, CompositingOperation::Exclusion},
      {BlendMode::Hue, CompositingOperation::Hue},
      {BlendMode::Saturation, CompositingOperation::Saturation},
      {BlendMode::Color, CompositingOperation::Color},
      {BlendMode::Luminosity, CompositingOperation::Luminosity},
      {BlendMode::Clear, CompositingOperation::Clear},
      {BlendMode::Copy, CompositingOperation::Copy},
      {BlendMode::SourceIn, CompositingOperation::SourceIn},
      {BlendMode::SourceOut, CompositingOperation::SourceOut},
      {BlendMode::SourceAtop, CompositingOperation::SourceAtop},
      {BlendMode::DestinationOver, CompositingOperation::DestinationOver},
      {BlendMode::DestinationIn, CompositingOperation::DestinationIn},
      {BlendMode::DestinationOut, CompositingOperation::DestinationOut},
      {BlendMode::DestinationAtop, CompositingOperation::DestinationAtop},
      {BlendMode::XOR, CompositingOperation::XOR},
      {BlendMode::PlusDarker, CompositingOperation::PlusDarker},
      {BlendMode::PlusLighter, CompositingOperation::PlusLighter},
  };
  ASSERT_EQ(std::size(table), size_t(BlendModeCount));
  EXPECT_EQ(int(BlendMode::DestinationOut), 23);
  for (const auto& row : table) {
    EXPECT_EQ(compositingOperationForBlendMode(row.mode), row.op) << int(row.mode);
    // Drawing with the blend mode gives the operation's pixels.
    auto context = GraphicsContext::bitmapContext(4, 4, 32, ImageAlphaInfo::PremultipliedLast);
    context->fillRect({0, 0, 4, 4}, straight(D), CompositingOperation::Copy);
    context->setBlendMode(row.mode);
    context->fillPath(BezierPath::bezierPathWithRect({0, 0, 4, 4}), straight(S));
    expectNear(premultipliedPixel(*context, 1, 1), expected[int(row.op)].sourceOverDestination,
               1.0 / 255, QString::fromLatin1(expected[int(row.op)].name));
  }
}

// Targets without alpha (and straight-alpha ones) are composited in a
// converted copy and written back; colours land premultiplied, and a
// transparent result shows as black.
TEST(CompositingOperation, TargetsWithoutAlphaKeepTheColourChannels) {
  const ImageAlphaInfo kinds[] = {ImageAlphaInfo::NoneSkipFirst, ImageAlphaInfo::NoneSkipLast,
                                  ImageAlphaInfo::Last};
  for (ImageAlphaInfo kind : kinds) {
    for (int index = 0; index < CompositingOperationCount; ++index) {
      auto context = GraphicsContext::bitmapContext(4, 4, 8, kind);
      context->fillRect({0, 0, 4, 4}, straight(D2), CompositingOperation::Copy);
      context->fillRect({1, 1, 2, 2}, straight(S2), CompositingOperation(index));
      const Rgba& want = expected[index].opaquePair;
      Rgba got = premultipliedPixel(*context, 2, 2);
      // 3/255: 8-bit inputs, and colour dodge magnifies their rounding.
      QString what = QStringLiteral("%1 kind %2").arg(expected[index].name).arg(int(kind));
      if (kind == ImageAlphaInfo::Last)
        expectNear(got, want, 3.0 / 255, what);
      else
        expectNear(got, {want[0], want[1], want[2], 1.0}, 3.0 / 255, what);
    }
  }
}

// The render engine limits work to the source's extent unless this says
// otherwise, so it must name exactly the operations for which a transparent
// source still changes the destination.
TEST(CompositingOperation, TransparentSourceFlagMatchesTheFormulas) {
  for (int index = 0; index < CompositingOperationCount; ++index) {
    auto op = CompositingOperation(index);
    const float transparent[4] = {0, 0, 0, 0};
    auto destination = premultiplied(D);
    auto before = destination;
    compositePixels(op, transparent, destination.data(), 1, 1.0f);
    bool changed = false;
    for (int i = 0; i < 4; ++i) changed |= std::abs(destination[i] - before[i]) > 1e-6f;
    EXPECT_EQ(clearsWhereSourceIsTransparent(op), changed) << expected[index].name;
  }
}

// The 8-bit rows the drawing path composites with against the float
// formulas, for every operation: random premultiplied pixels (with the
// extremes, and channels equal to alpha where the piecewise blends jump),
// partial coverage and fractions; and opaque pixels on both sides, which
// the rows blend without straight colours. Each channel must round the
// float result.
TEST(CompositingOperation, EightBitRowsRoundTheFloatFormulas) {
  const int count = 4099;  // not a multiple of any run length
  auto toFloats = [](const std::vector<uint32_t>& pixels) {
    std::vector<float> out;
    for (uint32_t p : pixels)
      for (int shift : {16, 8, 0, 24}) out.push_back(float((p >> shift) & 0xff) / 255.0f);
    return out;
  };
  for (bool opaque : {false, true}) {
    std::mt19937 random(7);
    std::vector<uint32_t> source(count), destination(count);
    std::vector<uint8_t> coverage(count);
    auto pixel = [&](int i) {
      const uint32_t a = opaque || i % 5 == 0 ? 255 : i % 7 == 0 ? 0 : random() % 256;
      auto channel = [&] { return i % 3 == 0 ? a : random() % (a + 1); };
      return (a << 24) | (channel() << 16) | (channel() << 8) | channel();
    };
    for (int i = 0; i < count; ++i) {
      source[i] = pixel(i);
      destination[i] = pixel(i + 1);
      coverage[i] = uint8_t(i % 4 == 0 ? 255 : random() % 256);
    }
    for (int index = 0; index < CompositingOperationCount; ++index) {
      for (float fraction : {1.0f, 0.7f}) {
        for (bool covered : {false, true}) {
          const auto op = CompositingOperation(index);
          std::vector<float> wanted = toFloats(destination), from = toFloats(source);
          std::vector<float> weights(count);
          for (int i = 0; i < count; ++i) weights[i] = coverage[i] / 255.0f;
          compositePixelsWithCoverage(op, from.data(), wanted.data(),
                                      covered ? weights.data() : nullptr, count, fraction);
          std::vector<uint32_t> rows = destination;
          compositeRow(op, source.data(), rows.data(), covered ? coverage.data() : nullptr,
                       count, fraction);
          std::vector<float> got = toFloats(rows);
          double worst = 0;
          for (size_t i = 0; i < got.size(); ++i)
            worst = std::max(worst, std::abs(double(got[i]) - wanted[i]) * 255);
          EXPECT_LE(worst, 0.51) << nameOfCompositingOperation(op).toStdString() << " fraction "
                                 << fraction << " covered " << covered << " opaque " << opaque;
        }
      }
    }
  }
}
