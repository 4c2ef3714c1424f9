// The program's own filters: the two flips and the shadow, checked pixel by
// pixel against their maths, and their entries in the filter registry.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <cmath>
#include <functional>
#include <vector>

#include "TestSupport.h"
#include "coreimage/Context.h"
#include "coreimage/FilterRegistry.h"
#include "coreimage/PixelBuffer.h"
#include "model/FlipImageHUnit.h"
#include "model/FlipImageVUnit.h"
#include "model/ShadowImageUnit.h"

namespace {

constexpr float kExact = 1e-5f;
constexpr float kOneLevel = 1.0f / 255;

using PixelFunction = std::function<std::array<float, 4>(int x, int y)>;

// An image over `region` whose premultiplied pixels `pixel` gives.
ci::Image makeImage(const ci::IRect& region, const PixelFunction& pixel) {
  ci::PixelBuffer buffer(region);
  for (int y = region.y; y < region.top(); ++y)
    for (int x = region.x; x < region.right(); ++x) {
      const auto p = pixel(x, y);
      std::copy(p.begin(), p.end(), buffer.pixel(x, y));
    }
  return ci::Image::imageWithBuffer(buffer);
}

// Every pixel different: red grows with x, green with y.
std::array<float, 4> gradientPixel(int x, int y) {
  return {float(x & 127) / 128, float(y & 63) / 64, 0.5f, 1.0f};
}

std::string text(const QRectF& r) {
  return QStringLiteral("(%1, %2, %3, %4)")
      .arg(r.x())
      .arg(r.y())
      .arg(r.width())
      .arg(r.height())
      .toStdString();
}

ci::PixelBuffer render(const ci::Image& image, const QRectF& region) {
  return ci::Context().renderToBuffer(image, region);
}

// The largest component difference between `buffer` and `expected` over the
// buffer's region, with the pixel where it occurs.
struct Difference {
  float value = 0;
  int x = 0, y = 0;
};

Difference largestDifference(const ci::PixelBuffer& buffer, const PixelFunction& expected) {
  Difference worst;
  const ci::IRect& r = buffer.rect();
  for (int y = r.y; y < r.top(); ++y)
    for (int x = r.x; x < r.right(); ++x) {
      const auto e = expected(x, y);
      for (int c = 0; c < 4; ++c) {
        const float d = std::abs(buffer.pixel(x, y)[c] - e[size_t(c)]);
        if (d > worst.value) worst = {d, x, y};
      }
    }
  return worst;
}

class OwnFiltersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FlipImageHUnit::registerFilter();
    FlipImageVUnit::registerFilter();
    ShadowImageUnit::registerFilter();
  }
};

ci::Image flipped(const QString& unitName, const ci::Image& image) {
  ci::FilterPtr unit = ci::Filter::filterWithName(unitName);
  if (!unit) return {};
  unit->setValue(QVariant::fromValue(image), ci::kCIInputImageKey);
  return unit->valueForKey(ci::kCIOutputImageKey).value<ci::Image>();
}

TEST_F(OwnFiltersTest, FlipsMirrorTheImageAndUndoThemselves) {
  struct Case {
    const char* unit;
    ci::IRect source;
    QRectF flippedExtent;
    // The source pixel that lands on (x, y).
    std::function<QPoint(int x, int y)> sourceOf;
  };
  // Only the extent's size enters the flip: an image that does not start at
  // the origin is mirrored about the line at its size, and so also moves.
  // Flip Vertically of a 100 × 50 image at the origin takes its top-left
  // pixel (0, 49) to the bottom-left (0, 0).
  const std::vector<Case> cases = {
      {"FlipImageHUnit",
       {0, 0, 100, 50},
       {0, 0, 100, 50},
       [](int x, int y) { return QPoint(x, 49 - y); }},
      {"FlipImageVUnit",
       {0, 0, 100, 50},
       {0, 0, 100, 50},
       [](int x, int y) { return QPoint(99 - x, y); }},
      {"FlipImageHUnit",
       {10, 20, 100, 50},
       {10, -20, 100, 50},
       [](int x, int y) { return QPoint(x, 49 - y); }},
      {"FlipImageVUnit",
       {10, 20, 100, 50},
       {-10, 20, 100, 50},
       [](int x, int y) { return QPoint(99 - x, y); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QStringLiteral("%1 of an image at (%2, %3)")
                     .arg(c.unit)
                     .arg(c.source.x)
                     .arg(c.source.y)
                     .toStdString());
    const ci::Image image = makeImage(c.source, gradientPixel);
    const ci::Image once = flipped(c.unit, image);
    ASSERT_FALSE(once.isNull());
    EXPECT_EQ(text(once.extent()), text(c.flippedExtent));
    const Difference d = largestDifference(render(once, c.flippedExtent), [&](int x, int y) {
      const QPoint s = c.sourceOf(x, y);
      return gradientPixel(s.x(), s.y());
    });
    EXPECT_LT(d.value, kExact) << "at (" << d.x << ", " << d.y << ")";

    // Flipping the flipped image restores the original at the origin; one
    // that started elsewhere comes back mirrored twice about the same size,
    // so it returns to where it was as well.
    const ci::Image twice = flipped(c.unit, once);
    ASSERT_FALSE(twice.isNull());
    EXPECT_EQ(text(twice.extent()), text(c.source.toRectF()));
    const Difference back = largestDifference(render(twice, c.source.toRectF()), gradientPixel);
    EXPECT_LT(back.value, kExact) << "at (" << back.x << ", " << back.y << ")";
  }
}

TEST_F(OwnFiltersTest, FlipsOfAnInfiniteOrMissingImage) {
  // An image without edges is only mirrored: a constant colour stays put.
  const ci::Image gray = ci::Image::imageWithColor(ci::Color(0.5, 0.5, 0.5, 1));
  for (const char* unit : {"FlipImageHUnit", "FlipImageVUnit"}) {
    SCOPED_TRACE(unit);
    const ci::Image out = flipped(unit, gray);
    ASSERT_FALSE(out.isNull());
    EXPECT_TRUE(ci::isInfinite(out.extent()));
    const Difference d = largestDifference(render(out, QRectF(-7, -7, 14, 14)), [](int, int) {
      return std::array<float, 4>{0.5f, 0.5f, 0.5f, 1.0f};
    });
    EXPECT_LT(d.value, kExact);

    ci::FilterPtr empty = ci::Filter::filterWithName(unit);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->outputImage().isNull());
  }
}

// Normalised weights of a Gaussian of standard deviation `sigma` truncated
// at three deviations, centre first.
std::vector<double> gaussianWeights(double sigma) {
  const int radius = std::max(1, int(std::ceil(3 * sigma)));
  std::vector<double> w(size_t(radius) + 1);
  double sum = 0;
  for (int k = 0; k <= radius; ++k) {
    w[size_t(k)] = std::exp(-double(k) * k / (2 * sigma * sigma));
    sum += k == 0 ? w[0] : 2 * w[size_t(k)];
  }
  for (double& v : w) v /= sum;
  return w;
}

// The coverage of the shadow at (x, y): the shifted image's alpha blurred.
// `alpha` gives the source image's coverage at a pixel.
std::function<double(int, int)> shadowCoverage(const std::function<double(int, int)>& alpha, int dx,
                                               int dy, double sigma) {
  auto shifted = [=](int x, int y) { return alpha(x - dx, y - dy); };
  if (sigma < 0.01) return shifted;
  const std::vector<double> w = gaussianWeights(sigma);
  const int radius = int(w.size()) - 1;
  return [=](int x, int y) {
    double sum = 0;
    for (int j = -radius; j <= radius; ++j) {
      double row = 0;
      for (int i = -radius; i <= radius; ++i) row += w[size_t(std::abs(i))] * shifted(x + i, y + j);
      sum += w[size_t(std::abs(j))] * row;
    }
    return sum;
  };
}

TEST_F(OwnFiltersTest, ShadowLiesUnderTheImageShiftedBlurredAndColoured) {
  // A 40 × 40 image, opaque red in its middle 20 × 20 and clear around it,
  // so the shadow shows both around and inside the image's extent.
  auto inSquare = [](int x, int y) { return x >= 10 && x < 30 && y >= 10 && y < 30; };
  auto alpha = [=](int x, int y) { return inSquare(x, y) ? 1.0 : 0.0; };
  const ci::Image image = makeImage({0, 0, 40, 40}, [=](int x, int y) {
    return inSquare(x, y) ? std::array<float, 4>{1, 0, 0, 1} : std::array<float, 4>{0, 0, 0, 0};
  });

  struct Case {
    const char* what;
    QVariantMap inputs;  // beside the image; empty means the defaults
    int dx, dy;
    double sigma;
    std::array<float, 4> color;  // premultiplied
  };
  const std::vector<Case> cases = {
      {"defaults: 5 right, 5 below, radius 10, opaque black", {}, 5, -5, 10, {0, 0, 0, 1}},
      {"half-transparent blue up and to the left, radius 3",
       {{"inputShadowDeltaX", -12.0},
        {"inputShadowDeltaY", 7.0},
        {"inputBlurRadius", 3.0},
        {"inputShadowColor", QVariant::fromValue(ci::Color(0, 0, 1, 0.5))}},
       -12,
       7,
       3,
       {0, 0, 0.5f, 0.5f}},
      {"sharp shadow",
       {{"inputShadowDeltaX", 3.0}, {"inputShadowDeltaY", 4.0}, {"inputBlurRadius", 0.0}},
       3,
       4,
       0,
       {0, 0, 0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ci::FilterPtr shadow = ci::Filter::filterWithName("ShadowImageUnit");
    ASSERT_TRUE(shadow);
    shadow->setValue(QVariant::fromValue(image), ci::kCIInputImageKey);
    for (auto it = c.inputs.begin(); it != c.inputs.end(); ++it)
      shadow->setValue(it.value(), it.key());
    const ci::Image out = shadow->valueForKey(ci::kCIOutputImageKey).value<ci::Image>();
    ASSERT_FALSE(out.isNull());

    const auto coverage = shadowCoverage(alpha, c.dx, c.dy, c.sigma);
    const PixelFunction expected = [&](int x, int y) -> std::array<float, 4> {
      if (inSquare(x, y)) return {1, 0, 0, 1};  // the image, unchanged, hides the shadow
      const float s = float(coverage(x, y));
      return {c.color[0] * s, c.color[1] * s, c.color[2] * s, c.color[3] * s};
    };
    const QRectF region(-50, -50, 140, 140);
    const Difference d = largestDifference(render(out, region), expected);
    EXPECT_LT(d.value, kOneLevel) << "at (" << d.x << ", " << d.y << ")";

    // With the defaults the shadow is centred 5 right of and 5 below the
    // square's centre (20, 20): equally dark at equal distances either side
    // of (25, 15) in both directions, and darker towards it.
    if (&c == &cases.front()) {
      const ci::PixelBuffer pixels = render(out, region);
      const float right = pixels.pixel(25 + 30, 15)[3], left = pixels.pixel(24 - 30, 15)[3];
      const float above = pixels.pixel(25, 15 + 30)[3], below = pixels.pixel(25, 14 - 30)[3];
      EXPECT_GT(right, 0.001f);
      EXPECT_NEAR(right, left, 1e-4);
      EXPECT_NEAR(above, below, 1e-4);
      EXPECT_NEAR(right, above, 1e-4);
      EXPECT_GT(pixels.pixel(25 + 20, 15)[3], right);
    }
  }
}

TEST_F(OwnFiltersTest, UnshiftedSharpShadowOfAnOpaqueImageIsInvisible) {
  const ci::Image image = makeImage({0, 0, 30, 20}, gradientPixel);
  ci::FilterPtr shadow = ci::Filter::filterWithName("ShadowImageUnit");
  ASSERT_TRUE(shadow);
  shadow->setValue(QVariant::fromValue(image), ci::kCIInputImageKey);
  shadow->setValue(0.0, "inputShadowDeltaX");
  shadow->setValue(0.0, "inputShadowDeltaY");
  shadow->setValue(0.0, "inputBlurRadius");
  const ci::Image out = shadow->outputImage();
  ASSERT_FALSE(out.isNull());
  const Difference d = largestDifference(render(out, QRectF(-5, -5, 40, 30)), [](int x, int y) {
    const bool inside = x >= 0 && x < 30 && y >= 0 && y < 20;
    return inside ? gradientPixel(x, y) : std::array<float, 4>{0, 0, 0, 0};
  });
  EXPECT_LT(d.value, kExact) << "at (" << d.x << ", " << d.y << ")";
}

TEST_F(OwnFiltersTest, RegistryDescribesTheOwnFilters) {
  struct Case {
    QString name, displayName, description;
    QStringList categories;
    QStringList inputKeys;
  };
  const std::vector<Case> cases = {
      {"FlipImageHUnit",
       "Flip Vertically",
       "Flip the image vertically.",
       {ci::kCICategoryGeometryAdjustment, ci::kCICategoryStillImage},
       {"inputImage"}},
      {"FlipImageVUnit",
       "Flip Horizontally",
       "Flip the image horizontally.",
       {ci::kCICategoryGeometryAdjustment, ci::kCICategoryStillImage},
       {"inputImage"}},
      {"ShadowImageUnit",
       "Shadow",
       "Add a shadow to an image.",
       {ci::kCICategoryCompositeOperation, ci::kCICategoryStylize, ci::kCICategoryStillImage},
       {"inputImage", "inputShadowDeltaX", "inputShadowDeltaY", "inputBlurRadius",
        "inputShadowColor"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.toStdString());
    const QVariantMap registered = ci::FilterRegistry::shared().classAttributes(c.name);
    EXPECT_EQ(registered.value(ci::kCIAttributeFilterDisplayName).toString(), c.displayName);
    EXPECT_EQ(registered.value(ci::kCIAttributeDescription).toString(), c.description);
    EXPECT_EQ(registered.value(ci::kCIAttributeFilterCategories).toStringList(), c.categories);
    EXPECT_EQ(ci::Filter::localizedNameForFilterName(c.name), c.displayName);
    EXPECT_EQ(ci::Filter::localizedDescriptionForFilterName(c.name), c.description);
    EXPECT_TRUE(ci::Filter::filterNamesInCategories(c.categories).contains(c.name));
    for (const QString& category : c.categories)
      EXPECT_TRUE(ci::Filter::filterNamesInCategory(category).contains(c.name))
          << category.toStdString();
    EXPECT_FALSE(ci::Filter::filterNamesInCategory(ci::kCICategoryBlur).contains(c.name));

    ci::FilterPtr filter = ci::Filter::filterWithName(c.name);
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->name(), c.name);
    EXPECT_EQ(filter->inputKeys(), c.inputKeys);
    const QVariantMap attributes = filter->attributes();
    EXPECT_EQ(attributes.value(ci::kCIAttributeFilterDisplayName).toString(), c.displayName);
    EXPECT_EQ(attributes.value("inputImage").toMap().value(ci::kCIAttributeClass).toString(),
              "CIImage");
  }
  // A flip's only input is its image; it adds no attributes of its own.
  FlipImageHUnit flip;
  EXPECT_TRUE(flip.customAttributes().isEmpty());
  EXPECT_EQ(flip.attributes().value(ci::kCIAttributeFilterCategories).toStringList(),
            cases[0].categories);
}

TEST_F(OwnFiltersTest, ShadowInputsCarryTheirAttributesAndDefaults) {
  struct NumberCase {
    QString key;
    double sliderMin, sliderMax, defaultValue;
    QString displayName, description;
  };
  const std::vector<NumberCase> numbers = {
      {"inputShadowDeltaX", -200, 200, 5, "Shadow delta x", "Horizontal distance of the shadow."},
      {"inputShadowDeltaY", -200, 200, -5, "Shadow delta y", "Vertical distance of the shadow."},
      {"inputBlurRadius", 0, 100, 10, "Shadow blur radius",
       "Radius of the blur effect of the shadow."},
  };
  ci::FilterPtr made = ci::Filter::filterWithName("ShadowImageUnit");
  auto shadow = std::dynamic_pointer_cast<ShadowImageUnit>(made);
  ASSERT_TRUE(shadow);
  const QVariantMap attributes = shadow->attributes();
  const QVariantMap custom = shadow->customAttributes();
  EXPECT_EQ(custom.keys(), QStringList({"inputBlurRadius", "inputShadowColor", "inputShadowDeltaX",
                                        "inputShadowDeltaY"}));
  auto isDouble = [](const QVariant& v) { return v.metaType() == QMetaType::fromType<double>(); };
  for (const NumberCase& n : numbers) {
    SCOPED_TRACE(n.key.toStdString());
    const QVariantMap a = attributes.value(n.key).toMap();
    EXPECT_EQ(
        QSet<QString>(a.keyBegin(), a.keyEnd()),
        QSet<QString>({ci::kCIAttributeClass, ci::kCIAttributeSliderMin, ci::kCIAttributeSliderMax,
                       ci::kCIAttributeDefault, ci::kCIAttributeIdentity, ci::kCIAttributeType,
                       ci::kCIAttributeDisplayName, ci::kCIAttributeDescription}));
    EXPECT_EQ(a.value(ci::kCIAttributeClass).toString(), "NSNumber");
    for (const QString& key : {ci::kCIAttributeSliderMin, ci::kCIAttributeSliderMax,
                               ci::kCIAttributeDefault, ci::kCIAttributeIdentity})
      EXPECT_TRUE(isDouble(a.value(key))) << key.toStdString();
    EXPECT_EQ(a.value(ci::kCIAttributeSliderMin).toDouble(), n.sliderMin);
    EXPECT_EQ(a.value(ci::kCIAttributeSliderMax).toDouble(), n.sliderMax);
    EXPECT_EQ(a.value(ci::kCIAttributeDefault).toDouble(), n.defaultValue);
    EXPECT_EQ(a.value(ci::kCIAttributeIdentity).toDouble(), 0.0);
    EXPECT_EQ(a.value(ci::kCIAttributeType).toString(), ci::kCIAttributeTypeScalar);
    EXPECT_EQ(a.value(ci::kCIAttributeDisplayName).toString(), n.displayName);
    EXPECT_EQ(a.value(ci::kCIAttributeDescription).toString(), n.description);
    // What the class adds is what the registry lists, less the value class.
    QVariantMap withoutClass = a;
    withoutClass.remove(ci::kCIAttributeClass);
    EXPECT_EQ(withoutClass, custom.value(n.key).toMap());
  }
  const QVariantMap color = attributes.value("inputShadowColor").toMap();
  EXPECT_EQ(QSet<QString>(color.keyBegin(), color.keyEnd()),
            QSet<QString>({ci::kCIAttributeClass, ci::kCIAttributeDefault,
                           ci::kCIAttributeDisplayName, ci::kCIAttributeDescription}));
  EXPECT_EQ(color.value(ci::kCIAttributeClass).toString(), "CIColor");
  EXPECT_EQ(color.value(ci::kCIAttributeDefault).value<ci::Color>(), ci::Color(0, 0, 0, 1));
  EXPECT_EQ(color.value(ci::kCIAttributeDisplayName).toString(), "Shadow color");
  EXPECT_EQ(color.value(ci::kCIAttributeDescription).toString(), "Color of the shadow.");

  // A filter made by name starts at the defaults.
  EXPECT_EQ(shadow->inputShadowDeltaX(), 5.0);
  EXPECT_EQ(shadow->inputShadowDeltaY(), -5.0);
  EXPECT_EQ(shadow->inputBlurRadius(), 10.0);
  EXPECT_EQ(shadow->inputShadowColor(), ci::Color(0, 0, 0, 1));
  shadow->setInputShadowDeltaX(-3);
  shadow->setInputShadowColor(ci::Color(1, 0, 0, 0.5));
  EXPECT_EQ(shadow->valueForKey("inputShadowDeltaX").toDouble(), -3.0);
  EXPECT_EQ(shadow->inputShadowColor(), ci::Color(1, 0, 0, 0.5));
}

// A shadow filter that never got its kernel.
class ShadowWithoutKernel : public ShadowImageUnit {
 public:
  ShadowWithoutKernel() : ShadowImageUnit(nullptr) {}
};

TEST_F(OwnFiltersTest, ShadowKernelLoadsFromItsResource) {
  const ci::KernelPtr kernel = ShadowImageUnit::kernel();
  ASSERT_TRUE(kernel);
  ASSERT_EQ(kernel->parameters().size(), 2);
  EXPECT_EQ(kernel->parameters()[0].type, ci::KernelParameterType::Sampler);
  EXPECT_EQ(kernel->parameters()[1].type, ci::KernelParameterType::Color);
  // Loaded once and shared.
  EXPECT_EQ(ShadowImageUnit::kernel(), kernel);
}

TEST_F(OwnFiltersTest, UnusableKernelSourcesAreRefusedWithAnError) {
  QFile resource(ShadowImageUnit::kernelResourcePath());
  ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
  const QByteArray good = resource.readAll();

  struct Case {
    const char* what;
    QByteArray contents;  // written to a file unless `path` is given
    QString path;
    int code;  // 0: usable
  };
  const QString directory = tst::tempDir();
  const std::vector<Case> cases = {
      {"the program's own source", good, {}, 0},
      {"a missing file",
       {},
       tst::tempPath("absent.cikernel") + ".none",
       fnd::FileReadNoSuchFileError},
      {"a folder", {}, directory, fnd::FileReadUnknownError},
      {"bytes that are not UTF-8",
       "kernel vec4 coloredMask(\xff\xfe sampler image, __color c);",
       {},
       fnd::FileReadCorruptFileError},
      {"text without a kernel", "vec4 nothing here", {}, fnd::FileReadCorruptFileError},
      {"a kernel without a routine",
       "kernel vec4 unknownRoutine(sampler s, __color c);",
       {},
       fnd::FileReadCorruptFileError},
      {"the routine with the wrong parameters",
       "kernel vec4 coloredMask(__sample s);",
       {},
       fnd::FileReadCorruptFileError},
      {"an empty file", "", {}, fnd::FileReadCorruptFileError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QString path = c.path;
    if (path.isEmpty()) {
      path = tst::tempPath("shadow.cikernel");
      QFile file(path);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(c.contents);
    }
    fnd::Error error;
    const ci::KernelPtr kernel = ShadowImageUnit::kernelWithContentsOfFile(path, &error);
    if (c.code == 0) {
      EXPECT_TRUE(kernel);
      EXPECT_TRUE(error.isNull());
      continue;
    }
    EXPECT_FALSE(kernel);
    EXPECT_EQ(error.domain(), fnd::CocoaErrorDomain);
    EXPECT_EQ(error.code(), c.code);
    EXPECT_EQ(error.userInfo().value(fnd::FilePathErrorKey).toString(), path);
    EXPECT_TRUE(error.localizedDescription().contains(path));
  }

  // A file this process may not read (root reads everything, so only then
  // is the check skipped).
  if (geteuid() != 0) {
    const QString locked = tst::tempPath("locked.cikernel");
    QFile file(locked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(good);
    file.close();
    file.setPermissions(QFileDevice::WriteOwner);
    fnd::Error error;
    EXPECT_FALSE(ShadowImageUnit::kernelWithContentsOfFile(locked, &error));
    EXPECT_EQ(error.code(), fnd::FileReadNoPermissionError);
  }
}

TEST_F(OwnFiltersTest, ShadowWithoutItsKernelPassesTheImageThrough) {
  const ci::Image image = makeImage({3, 4, 20, 10}, gradientPixel);
  ShadowWithoutKernel shadow;
  shadow.setInputImage(image);
  const ci::Image out = shadow.outputImage();
  ASSERT_FALSE(out.isNull());
  EXPECT_EQ(text(out.extent()), text(QRectF(3, 4, 20, 10)));
  const Difference d = largestDifference(render(out, QRectF(3, 4, 20, 10)), gradientPixel);
  EXPECT_LT(d.value, kExact);

  // Without an input image there is nothing to shadow, kernel or not.
  ShadowImageUnit withKernel;
  EXPECT_TRUE(withKernel.outputImage().isNull());
  EXPECT_TRUE(ShadowWithoutKernel().outputImage().isNull());
}

}  // namespace
