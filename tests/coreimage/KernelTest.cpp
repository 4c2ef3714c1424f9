#include <gtest/gtest.h>

#include "CoreImageTestSupport.h"
#include "coreimage/Kernel.h"
#include "coreimage/Vector.h"

using namespace citest;
using ci::Image;
using ci::Kernel;

namespace {

// out = s + (colour − s) × amount, per component (premultiplied).
void tintRow(const ci::KernelRow& row) {
  const float* s = row.samples[0];
  const auto& colour = row.values[0];
  const float amount = row.values[1][0];
  for (int i = 0; i < row.count * 4; ++i)
    row.out[i] = s[i] + (colour[size_t(i % 4)] - s[i]) * amount;
}

// Reads the input `offset` away: the output is the input moved by the offset.
void shiftRow(const ci::KernelRow& row) {
  const auto& offset = row.values[0];
  for (int i = 0; i < row.count; ++i)
    row.samplers[0]->sample(row.x + i + 0.5 - offset[0], row.y + 0.5 - offset[1], row.out + i * 4);
}

const bool registered = [] {
  Kernel::registerRoutine("testTint", tintRow);
  Kernel::registerRoutine("testShift", shiftRow);
  return true;
}();

Image ramp() {
  return functionImage(32, 32, [](int x, int y) { return RGBA{x / 32.0f, y / 32.0f, 0.5f, 1}; });
}

}  // namespace

TEST(Kernel, ColourKernelFromSourceText) {
  ASSERT_TRUE(registered);
  fnd::Error error;
  const ci::KernelPtr tint = Kernel::kernelWithString(
      "/* tints */ kernel vec4 testTint(__sample s, __color c, float amount) { return mix(s, c, "
      "amount); }",
      &error);
  ASSERT_TRUE(tint) << error.localizedDescription().toStdString();
  EXPECT_TRUE(tint->isColorKernel());
  ASSERT_EQ(tint->parameters().size(), 3);
  EXPECT_EQ(tint->parameters()[1].name, "c");
  const Image out =
      tint->apply({QVariant::fromValue(ramp()), QVariant::fromValue(ci::Color(1, 0, 0, 1)), 0.25});
  EXPECT_EQ(out.extent(), QRectF(0, 0, 32, 32));
  const RGBA p = pixelAt(render(out, out.extent()), 8, 16);
  EXPECT_NEAR(p.r, 0.25f + 0.75f * 0.25f, 1e-6);
  EXPECT_NEAR(p.g, 0.5f * 0.75f, 1e-6);
  EXPECT_NEAR(p.a, 1.0f, 1e-6);
  EXPECT_TRUE(tint->apply({QVariant::fromValue(ramp())}).isNull());  // too few arguments
  EXPECT_TRUE(tint->apply({1.0, QVariant::fromValue(ci::Color()), 0.5}).isNull());  // not an image
}

TEST(Kernel, GeneralKernelReadsItsRegionOfInterest) {
  const ci::KernelPtr shift =
      Kernel::kernelWithString("kernel vec4 testShift(sampler src, vec2 offset);");
  ASSERT_TRUE(shift);
  EXPECT_FALSE(shift->isColorKernel());
  const QPointF offset(5, -3);
  const QRectF extent = ramp().extent().translated(offset);
  const Image moved = shift->applyWithExtent(
      extent, [offset](int, const QRectF& r) { return r.translated(-offset); },
      {QVariant::fromValue(ci::Sampler(ramp())), QVariant::fromValue(ci::Vector{5, -3})});
  const ci::PixelBuffer out = render(moved, extent, 16);
  for (QPoint at : {QPoint(5, -3), QPoint(20, 10), QPoint(36, 28)}) {
    EXPECT_NEAR(pixelAt(out, at.x(), at.y()).r, (at.x() - 5) / 32.0f, 1e-6);
    EXPECT_NEAR(pixelAt(out, at.x(), at.y()).g, (at.y() + 3) / 32.0f, 1e-6);
  }
  // The definition option sets the extent.
  const Image defined =
      shift->apply({QVariant::fromValue(ramp()), QVariant::fromValue(ci::Vector{0, 0})},
                   {{ci::kCIApplyOptionDefinition, QVariant::fromValue(ci::Vector{0, 0, 8, 8})}});
  EXPECT_EQ(defined.extent(), QRectF(0, 0, 8, 8));
}

TEST(Kernel, BadSourceTextIsReported) {
  const struct {
    const char* source;
    const char* complaint;
  } cases[] = {{"vec4 nothing(float x);", "declares no kernel"},
               {"kernel vec4 testTint(__sample s, mat3 m, float a);", "mat3"},
               {"kernel vec4 noRoutineHere(__sample s);", "no routine"}};
  for (const auto& c : cases) {
    fnd::Error error;
    EXPECT_FALSE(Kernel::kernelWithString(c.source, &error));
    EXPECT_TRUE(error.localizedDescription().contains(c.complaint))
        << error.localizedDescription().toStdString();
  }
  EXPECT_EQ(Kernel::kernelsWithString("kernel vec4 testTint(__sample s, __color c, float a);\n"
                                      "kernel vec4 testShift(sampler s, vec2 o);")
                .size(),
            2);
}
