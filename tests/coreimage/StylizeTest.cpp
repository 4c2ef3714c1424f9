#include <gtest/gtest.h>

#include "CoreImageTestSupport.h"
#include "coreimage/Filter.h"

using namespace citest;
using ci::Filter;
using ci::Image;

TEST(BlendWithMask, MaskGreenSelectsTheImage) {
  const Image red = solidImage(20, 10, {1, 0, 0, 1});
  const Image blue = solidImage(20, 10, {0, 0, 1, 1});
  // Mask green: 1 in columns 0–4, 0.25 in 5–9, 0 beyond; extent 10 wide.
  const Image mask = functionImage(10, 10, [](int x, int) {
    const float g = x < 5 ? 1.0f : 0.25f;
    return RGBA{g, g, g, 1};
  });
  auto filter = Filter::filterWithName("CIBlendWithMask");
  filter->setValue(QVariant::fromValue(red), "inputImage");
  filter->setValue(QVariant::fromValue(blue), "inputBackgroundImage");
  filter->setValue(QVariant::fromValue(mask), "inputMaskImage");
  const Image out = filter->outputImage();
  EXPECT_EQ(out.extent(), QRectF(0, 0, 20, 10));
  const ci::PixelBuffer pixels = render(out, out.extent());
  const struct {
    int x;
    float red, blue;
  } cases[] = {{2, 1, 0}, {7, 0.25f, 0.75f}, {15, 0, 1}};
  for (const auto& c : cases) {
    const RGBA p = pixelAt(pixels, c.x, 5);
    EXPECT_NEAR(p.r, c.red, 1e-6);
    EXPECT_NEAR(p.b, c.blue, 1e-6);
    EXPECT_NEAR(p.a, 1, 1e-6);
  }
  saveRendered(out, out.extent(), "red-over-blue-blendwithmask");
}

TEST(Pixellate, CellsTakeTheMeanOfTheirPixels) {
  const Image noise = Image::imageWithCGImage(gfx::CGImage::make(noiseQImage(64, 64, 7)));
  const ci::PixelBuffer source = render(noise, noise.extent());
  const struct {
    double scale;
    QPointF center;
  } cases[] = {{8, {150, 150}}, {5, {0, 0}}, {10.5, {3.25, 7}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scale);
    auto filter = Filter::filterWithName(
        "CIPixellate",
        {{"inputImage", QVariant::fromValue(noise)},
         {"inputScale", c.scale},
         {"inputCenter", QVariant::fromValue(ci::Vector::vectorWithCGPoint(c.center))}});
    const ci::PixelBuffer out = render(filter->outputImage(), noise.extent());
    // The cell holding pixel (20, 30): pixels whose centres share its cell index.
    auto cell = [&](double origin, int p) { return std::floor((p + 0.5 - origin) / c.scale); };
    double sum = 0;
    int count = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        if (cell(c.center.x(), x) == cell(c.center.x(), 20) &&
            cell(c.center.y(), y) == cell(c.center.y(), 30)) {
          sum += source.pixel(x, y)[0], ++count;
          ASSERT_FLOAT_EQ(out.pixel(x, y)[0], out.pixel(20, 30)[0]);
        }
    EXPECT_NEAR(out.pixel(20, 30)[0], sum / count, 1e-5);
  }
  saveRendered(noise.imageByApplyingFilter("CIPixellate"), noise.extent(), "noise-pixellate8");
}

TEST(Convolution, WeightsReadTopRowFirst) {
  const Image ramp = functionImage(32, 32, [](int x, int y) {
    return RGBA{x / 32.0f, y / 32.0f, 0, 1};
  });
  // A single weight at the top-left picks the neighbour up and to the left.
  const struct {
    const char* name;
    ci::Vector weights;
    int dx, dy;
  } cases[] = {
      {"CIConvolution3X3", ci::Vector{1, 0, 0, 0, 0, 0, 0, 0, 0}, -1, 1},
      {"CIConvolution3X3", ci::Vector{0, 0, 0, 0, 0, 0, 0, 0, 1}, 1, -1},
      {"CIConvolution9Horizontal", ci::Vector{0, 0, 0, 0, 0, 0, 0, 0, 1}, 4, 0},
      {"CIConvolution9Vertical", ci::Vector{1, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 4},
  };
  for (const auto& c : cases) {
    auto filter = Filter::filterWithName(c.name);
    filter->setValue(QVariant::fromValue(ramp), "inputImage");
    filter->setValue(QVariant::fromValue(c.weights), "inputWeights");
    filter->setValue(0.125, "inputBias");
    const ci::PixelBuffer out = render(filter->outputImage(), QRectF(10, 10, 8, 8));
    EXPECT_NEAR(out.pixel(12, 13)[0], (12 + c.dx) / 32.0f + 0.125f, 1e-6) << c.name;
    EXPECT_NEAR(out.pixel(12, 13)[1], (13 + c.dy) / 32.0f + 0.125f, 1e-6) << c.name;
  }
  // Weights summing to one keep a flat image flat; the wrong count gives no image.
  auto sharpen = Filter::filterWithName("CIConvolution5X5");
  sharpen->setValue(QVariant::fromValue(ci::Vector{1, 2, 3}), "inputWeights");
  sharpen->setValue(QVariant::fromValue(ramp), "inputImage");
  EXPECT_TRUE(sharpen->outputImage().isNull());
}

namespace {

Image flat(float grey, float alpha = 1) {
  return functionImage(32, 32, [grey, alpha](int, int) {
    return RGBA{grey * alpha, grey * alpha, grey * alpha, alpha};
  });
}

ci::PixelBuffer styled(const char* name, const Image& image, QVariantMap inputs = {}) {
  inputs.insert("inputImage", QVariant::fromValue(image));
  return render(Filter::filterWithName(name, inputs)->outputImage(), image.extent());
}

}  // namespace

// Tone filters on flat greys, where each one's curve can be read directly.
TEST(StylizeLight, CurvesOnFlatGreys) {
  const struct {
    const char* name;
    QVariantMap inputs;
    float grey, expected;
  } cases[] = {
      // Bloom screens intensity × the brightness above ½ over the image;
      // gloom keeps the darker of the image and its blur.
      {"CIBloom", {{"inputIntensity", 0.5}}, 0.4f, 0.4f},
      {"CIBloom", {{"inputIntensity", 0.5}}, 0.8f, 0.8f + 0.5f * 0.6f * 0.2f},
      {"CIBloom", {{"inputIntensity", 1}}, 1.0f, 1.0f},
      {"CIGloom", {{"inputIntensity", 1}}, 0.4f, 0.4f},
      // Shadows lift by amount·(1 − L)²·(1 − L); highlights fall by (1 − amount)·L³.
      {"CIHighlightShadowAdjust", {{"inputShadowAmount", 1}}, 0.25f, 0.25f + 0.5625f * 0.75f},
      {"CIHighlightShadowAdjust", {{"inputHighlightAmount", 0}}, 0.75f, 0.75f - 0.5625f * 0.75f},
      // A height field gives the mask a rounded shoulder √(1 − (1 − h)²).
      {"CIHeightFieldFromMask", {{"inputRadius", 0}}, 0.5f, float(std::sqrt(0.75))},
      // Comic colours fall to six levels; edge work leaves flat areas white.
      {"CIComicEffect", {}, 0.45f, 0.4f},
      {"CIEdgeWork", {}, 0.3f, 1.0f},
      {"CIEdges", {}, 0.3f, 0.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ci::PixelBuffer out = styled(c.name, flat(c.grey), c.inputs);
    for (const QPoint& p : {QPoint(0, 0), QPoint(16, 16), QPoint(31, 5)}) {
      EXPECT_NEAR(pixelAt(out, p.x(), p.y()).r, c.expected, 1e-5) << p.x() << "," << p.y();
      EXPECT_NEAR(pixelAt(out, p.x(), p.y()).g, c.expected, 1e-5);
    }
  }
}

// Gradients: Sobel's 3 × 3 weighs the neighbours 1, 2, 1, so a ramp rising
// by k a pixel gives 8k; the line overlay thresholds the luminance's.
TEST(StylizeEdges, SobelGradientsOfRamps) {
  const Image ramp = functionImage(32, 32, [](int x, int y) {
    return RGBA{x / 64.0f, y / 128.0f, 0.5f, 1};
  });
  const ci::PixelBuffer edges = styled("CIEdges", ramp, {{"inputIntensity", 2}});
  EXPECT_NEAR(pixelAt(edges, 10, 12).r, 2 * 8 / 64.0f, 1e-5);
  EXPECT_NEAR(pixelAt(edges, 10, 12).g, 2 * 8 / 128.0f, 1e-5);
  EXPECT_NEAR(pixelAt(edges, 10, 12).b, 0, 1e-6);
  EXPECT_NEAR(pixelAt(edges, 10, 12).a, 1, 1e-6);

  // A step from 0.2 to 0.8 at x = 16: black lines along it, clear elsewhere.
  const Image step = functionImage(32, 32, [](int x, int) {
    const float v = x < 16 ? 0.2f : 0.8f;
    return RGBA{v, v, v, 1};
  });
  const ci::PixelBuffer lines = styled("CILineOverlay", step);
  EXPECT_NEAR(pixelAt(lines, 16, 10).a, 1, 1e-6);
  EXPECT_NEAR(pixelAt(lines, 16, 10).r, 0, 1e-6);
  EXPECT_NEAR(pixelAt(lines, 5, 10).a, 0, 1e-6);
  EXPECT_NEAR(pixelAt(lines, 27, 10).a, 0, 1e-6);
}

// Spot colour replaces colours near a centre colour: fully at the centre,
// half-way at closeness·(1 + contrast)/2 from it with contrast ½.
TEST(StylizeLight, SpotColorReplacesColoursNearACentre) {
  const struct {
    RGBA colour;
    float red;
  } cases[] = {
      {{0.2f, 0.8f, 0.2f, 1}, 1}, {{0.2f, 0.8f, 0.275f, 1}, 0.6f}, {{0.2f, 0.8f, 0.5f, 1}, 0.2f}};
  for (const auto& c : cases) {
    const ci::PixelBuffer out =
        styled("CISpotColor", functionImage(4, 4, [&](int, int) { return c.colour; }),
               {{"inputCenterColor1", QVariant::fromValue(ci::Color(0.2, 0.8, 0.2))},
                {"inputReplacementColor1", QVariant::fromValue(ci::Color(1, 0, 0))},
                {"inputCloseness1", 0.1},
                {"inputContrast1", 0.5}});
    EXPECT_NEAR(pixelAt(out, 1, 1).r, c.red, 1e-5) << c.colour.b;
  }
}

// A spotlight overhead lights the pixel under it by brightness × colour;
// 45° off its axis by cos^(100·concentration) × the surface's cos.
TEST(StylizeLight, SpotLightFallsOffWithTheAngle) {
  const Image grey = functionImage(300, 8, [](int, int) { return RGBA{0.5f, 0.5f, 0.5f, 1}; });
  const ci::PixelBuffer out =
      styled("CISpotLight", grey,
             {{"inputLightPosition", QVariant::fromValue(ci::Vector{100.5, 4.5, 100})},
              {"inputLightPointsAt", QVariant::fromValue(ci::Vector{100.5, 4.5, 0})},
              {"inputBrightness", 1.5},
              {"inputConcentration", 0.02},
              {"inputColor", QVariant::fromValue(ci::Color(1, 0.5, 1))}});
  EXPECT_NEAR(pixelAt(out, 100, 4).r, 0.75, 1e-5);
  EXPECT_NEAR(pixelAt(out, 100, 4).g, 0.375, 1e-5);
  EXPECT_NEAR(pixelAt(out, 200, 4).r, 0.5 * 1.5 * 0.5 * std::sqrt(0.5), 1e-5);
}

// A height field's slope picks the point of the shading image a sphere map
// would: flat reads its middle, a slope of 1 reads 1/√2 of the way out.
TEST(StylizeLight, ShadedMaterialReadsTheShadingAtTheNormal) {
  const Image shading = coordinateImage(64, 64, 64);
  const Image ramp = functionImage(32, 32, [](int x, int) {
    const float v = x / 64.0f;
    return RGBA{v, v, v, 1};
  });
  for (double scale : {0.0, 64.0}) {
    const ci::PixelBuffer out =
        styled("CIShadedMaterial", ramp,
               {{"inputShadingImage", QVariant::fromValue(shading)}, {"inputScale", scale}});
    const QPointF read = pointRead(out, 10, 10, 64);
    EXPECT_NEAR(read.x(), 32 - (scale > 0 ? 32 * std::sqrt(0.5) : 0), 1e-3);
    EXPECT_NEAR(read.y(), 32, 1e-3);
  }
}

// Cells: crystallize gives each pixel the colour at the nearest of its
// points (so the points it shows are the cells' own); hexagons read their
// centres on the hexagonal lattice.
TEST(StylizeCells, PixelsTakeTheirCellsColour) {
  const Image coordinates = coordinateImage(96, 96);
  const ci::PixelBuffer crystals = styled("CICrystallize", coordinates, {{"inputRadius", 12}});
  std::vector<QPointF> points;
  for (int y = 16; y < 80; ++y)
    for (int x = 16; x < 80; ++x) {
      const QPointF q = pointRead(crystals, x, y);
      if (std::none_of(points.begin(), points.end(),
                       [&](const QPointF& p) { return QLineF(p, q).length() < 1e-3; }))
        points.push_back(q);
    }
  EXPECT_GT(points.size(), 20u);
  for (int y = 16; y < 80; y += 3)
    for (int x = 16; x < 80; x += 3) {
      const QPointF here(x + 0.5, y + 0.5);
      const double mine = QLineF(here, pointRead(crystals, x, y)).length();
      for (const QPointF& p : points) ASSERT_LE(mine, QLineF(here, p).length() + 1e-3);
    }

  const double scale = 10;
  const ci::PixelBuffer hexagons =
      styled("CIHexagonalPixellate", coordinates,
             {{"inputScale", scale}, {"inputCenter", QVariant::fromValue(ci::Vector{40, 40})}});
  for (int y = 10; y < 80; y += 7)
    for (int x = 10; x < 80; x += 5) {
      const QPointF q = pointRead(hexagons, x, y) - QPointF(40, 40);
      const double j = q.y() / (scale * std::sqrt(0.75)), i = q.x() / scale - j / 2;
      EXPECT_NEAR(j, std::round(j), 1e-3);
      EXPECT_NEAR(i, std::round(i), 1e-3);
      EXPECT_LE(QLineF(QPointF(x + 0.5 - 40, y + 0.5 - 40), q).length(),
                scale / std::sqrt(3.0) + 1e-3);
    }
}

// Pointillize paints one dot per cell of the jittered grid, 0.6 of the
// spacing in radius so neighbours just meet, in the colour at the dot's
// centre, on white, with one pixel of antialiasing at its edge. Over the
// coordinate image (blue 0) a pixel's blue is the white showing through.
TEST(StylizeCells, PointillizePaintsOneDiscPerCellOnWhite) {
  const Image coordinates = coordinateImage(96, 96);
  const double spacing = 10, dot = 0.6 * spacing;
  const ci::PixelBuffer out = styled("CIPointillize", coordinates, {{"inputRadius", spacing}});
  std::vector<QPointF> points;  // the dots' centres, read where a dot covers a pixel
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 96; ++x) {
      if (pixelAt(out, x, y).b > 1e-6f) continue;
      const QPointF q = pointRead(out, x, y);
      if (std::none_of(points.begin(), points.end(),
                       [&](const QPointF& p) { return QLineF(p, q).length() < 1e-3; }))
        points.push_back(q);
    }
  // One dot in each cell of the grid laid from the default centre (150, 150).
  for (int j = 2; j < 7; ++j)
    for (int i = 2; i < 7; ++i) {
      const QRectF cell(i * spacing, j * spacing, spacing, spacing);
      EXPECT_EQ(std::count_if(points.begin(), points.end(),
                              [&](const QPointF& p) { return cell.contains(p); }),
                1)
          << i << "," << j;
    }
  for (int y = 20; y < 76; ++y)
    for (int x = 20; x < 76; ++x) {
      SCOPED_TRACE(testing::Message() << x << "," << y);
      const QPointF here(x + 0.5, y + 0.5);
      const QPointF nearest =
          *std::min_element(points.begin(), points.end(), [&](const QPointF& a, const QPointF& b) {
            return QLineF(here, a).length() < QLineF(here, b).length();
          });
      const double d = QLineF(here, nearest).length();
      const RGBA p = pixelAt(out, x, y);
      ASSERT_NEAR(p.a, 1, 1e-6);
      const float cover = 1 - p.b;
      if (d >= dot + 0.5) {
        ASSERT_NEAR(cover, 0, 1e-6);
        ASSERT_NEAR(p.r, 1, 1e-6);
        ASSERT_NEAR(p.g, 1, 1e-6);
        continue;
      }
      if (d <= dot - 0.5) {
        ASSERT_NEAR(cover, 1, 1e-6);
      }
      if (cover < 0.05f) continue;
      // Inside and along the edge: the dot's colour, mixed with white.
      ASSERT_NEAR((p.r - p.b) / cover * 256, nearest.x(), 2e-2);
      ASSERT_NEAR((p.g - p.b) / cover * 256, nearest.y(), 2e-2);
    }
}

TEST(BlendWithAlphaMask, MaskAlphaSelectsTheImage) {
  const Image mask = functionImage(10, 10, [](int x, int) {
    const float a = x < 5 ? 0.25f : 1.0f;
    return RGBA{0, 0, 0, a};  // no green: only the alpha may count
  });
  auto filter = Filter::filterWithName(
      "CIBlendWithAlphaMask",
      {{"inputImage", QVariant::fromValue(functionImage(10, 10,
                                                        [](int, int) {
                                                          return RGBA{1, 0, 0, 1};
                                                        }))},
       {"inputBackgroundImage", QVariant::fromValue(functionImage(10, 10,
                                                                  [](int, int) {
                                                                    return RGBA{0, 0, 1, 1};
                                                                  }))},
       {"inputMaskImage", QVariant::fromValue(mask)}});
  const ci::PixelBuffer out = render(filter->outputImage(), QRectF(0, 0, 10, 10));
  EXPECT_NEAR(pixelAt(out, 2, 3).r, 0.25, 1e-6);
  EXPECT_NEAR(pixelAt(out, 2, 3).b, 0.75, 1e-6);
  EXPECT_NEAR(pixelAt(out, 7, 3).r, 1, 1e-6);
}
