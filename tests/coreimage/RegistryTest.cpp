#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "CoreImageTestSupport.h"
#include "TestSupport.h"
#include "coreimage/Filter.h"
#include "coreimage/PlugIn.h"

using ci::Filter;
using ci::Image;

namespace {

// A filter the program registers itself: inverts colour.
class InvertForTests : public Filter {
 public:
  InvertForTests() : Filter("TessalyInvertForTests", {imageInput()}) {}
  static ci::FilterInput imageInput() {
    ci::FilterInput input;
    input.key = "inputImage";
    input.className = ci::kClassCIImage;
    input.type = ci::kCIAttributeTypeImage;
    return input;
  }
  Image outputImage() const override {
    return imageValue("inputImage")
        .imageByApplyingFilter("CIColorMatrix",
                               {{"inputRVector", QVariant::fromValue(ci::Vector{-1, 0, 0, 0})},
                                {"inputBiasVector", QVariant::fromValue(ci::Vector{1, 0, 0, 0})}});
  }
};

}  // namespace

TEST(FilterRegistry, EveryFilterTheProgramNamesExistsAndWorks) {
  const QStringList names = {"CIAffineTransform",
                             "CISourceOverCompositing",
                             "CICrop",
                             "CIGaussianBlur",
                             "CIDiscBlur",
                             "CIBlendWithMask",
                             "CIRadialGradient",
                             "CILinearGradient",
                             "CIConstantColorGenerator",
                             "CIPixellate",
                             "CICheckerboardGenerator",
                             "CILightenBlendMode",
                             "CIConvolution3X3",
                             "CIConvolution5X5",
                             "CIConvolution7X7",
                             "CIConvolution9Horizontal",
                             "CIConvolution9Vertical",
                             "CIAffineClamp",
                             "CIAffineTile",
                             "CIDisplacementDistortion",
                             "CIToneCurve",
                             "CIColorMatrix",
                             "CIColorCube",
                             "CIColorClamp",
                             "CIColorPolynomial",
                             "CIColorCrossPolynomial",
                             "CIColorCubeWithColorSpace"};
  const Image input = citest::solidImage(16, 16, {0.5f, 0.25f, 0.75f, 1});
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    auto filter = Filter::filterWithName(name);
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->name(), name);
    EXPECT_EQ(filter->outputKeys(), QStringList{"outputImage"});
    for (const QString& key : filter->inputKeys())
      if (key.endsWith("Image")) filter->setValue(QVariant::fromValue(input), key);
    EXPECT_FALSE(filter->outputImage().isNull());
    EXPECT_TRUE(Filter::filterNamesInCategory(ci::kCICategoryBuiltIn).contains(name));
  }
  EXPECT_FALSE(Filter::filterWithName("CINoSuchFilter"));
  EXPECT_EQ(ci::allFilterCategories().size(), 21);
}

TEST(FilterRegistry, NamesInCategoriesAreTheIntersection) {
  const struct {
    QStringList categories;
    QStringList includes, excludes;
  } cases[] = {
      {{ci::kCICategoryBlur}, {"CIGaussianBlur", "CIDiscBlur"}, {"CICrop"}},
      {{ci::kCICategoryGenerator},
       {"CICheckerboardGenerator", "CIConstantColorGenerator"},
       {"CIRadialGradient"}},
      {{ci::kCICategoryGradient, ci::kCICategoryStillImage},
       {"CIRadialGradient", "CILinearGradient"},
       {"CIGaussianBlur"}},
      {{ci::kCICategoryCompositeOperation},
       {"CISourceOverCompositing", "CILightenBlendMode"},
       {"CIBlendWithMask"}},
      {{ci::kCICategoryTileEffect}, {"CIAffineClamp", "CIAffineTile"}, {"CIAffineTransform"}},
      {{ci::kCICategoryColorAdjustment, ci::kCICategoryInterlaced},
       {"CIColorMatrix", "CIToneCurve"},
       {"CIColorCube"}},
      {{ci::kCICategoryBlur, ci::kCICategoryGenerator},
       {},
       {"CIGaussianBlur", "CICheckerboardGenerator"}},
  };
  for (const auto& c : cases) {
    const QStringList names = Filter::filterNamesInCategories(c.categories);
    SCOPED_TRACE(c.categories.join(",").toStdString());
    for (const QString& name : c.includes) EXPECT_TRUE(names.contains(name)) << name.toStdString();
    for (const QString& name : c.excludes) EXPECT_FALSE(names.contains(name)) << name.toStdString();
  }
  EXPECT_EQ(Filter::filterNamesInCategories({}), Filter::filterNamesInCategory(QString()));
}

TEST(FilterRegistry, AttributeDictionariesDescribeEachInput) {
  auto blur = Filter::filterWithName("CIGaussianBlur");
  EXPECT_EQ(blur->inputKeys(), (QStringList{"inputImage", "inputRadius"}));
  const QVariantMap attributes = blur->attributes();
  EXPECT_EQ(attributes.value(ci::kCIAttributeFilterName).toString(), "CIGaussianBlur");
  EXPECT_EQ(attributes.value(ci::kCIAttributeFilterDisplayName).toString(), "Gaussian Blur");
  EXPECT_TRUE(attributes.value(ci::kCIAttributeFilterCategories)
                  .toStringList()
                  .contains(ci::kCICategoryBlur));
  const QVariantMap radius = attributes.value("inputRadius").toMap();
  const struct {
    QString key;
    QVariant expected;
  } cases[] = {{ci::kCIAttributeClass, "NSNumber"}, {ci::kCIAttributeType, "CIAttributeTypeScalar"},
               {ci::kCIAttributeDefault, 10.0},     {ci::kCIAttributeMin, 0.0},
               {ci::kCIAttributeSliderMin, 0.0},    {ci::kCIAttributeSliderMax, 100.0},
               {ci::kCIAttributeIdentity, 0.0},     {ci::kCIAttributeDisplayName, "Radius"}};
  for (const auto& c : cases) EXPECT_EQ(radius.value(c.key), c.expected) << c.key.toStdString();
  EXPECT_FALSE(radius.value(ci::kCIAttributeDescription).toString().isEmpty());
  EXPECT_EQ(attributes.value("inputImage").toMap().value(ci::kCIAttributeClass).toString(),
            "CIImage");

  auto board = Filter::filterWithName("CICheckerboardGenerator");
  EXPECT_EQ(board->inputKeys(), (QStringList{"inputCenter", "inputColor0", "inputColor1",
                                             "inputWidth", "inputSharpness"}));
  const QVariantMap center = board->attributes().value("inputCenter").toMap();
  EXPECT_EQ(center.value(ci::kCIAttributeClass).toString(), "CIVector");
  EXPECT_EQ(center.value(ci::kCIAttributeType).toString(), "CIAttributeTypePosition");
  EXPECT_EQ(center.value(ci::kCIAttributeDefault).value<ci::Vector>(), (ci::Vector{150, 150}));
  EXPECT_EQ(board->attributes()
                .value("inputColor1")
                .toMap()
                .value(ci::kCIAttributeDefault)
                .value<ci::Color>(),
            ci::Color(0, 0, 0, 1));

  // Values set and read back; setDefaults restores them; unknown keys are refused.
  board->setValue(12.5, "inputWidth");
  EXPECT_EQ(board->valueForKey("inputWidth").toDouble(), 12.5);
  board->setValue(1, "inputNoSuchKey");
  EXPECT_FALSE(board->valueForKey("inputNoSuchKey").isValid());
  board->setDefaults();
  EXPECT_EQ(board->valueForKey("inputWidth").toDouble(), 80.0);
  EXPECT_TRUE(board->valueForKey("outputImage").canConvert<Image>());
}

TEST(FilterRegistry, LocalizedNamesAndDescriptions) {
  const struct {
    QString name, display;
  } cases[] = {{"CIGaussianBlur", "Gaussian Blur"},
               {"CIConvolution3X3", "Convolution 3X3"},
               {"CIConvolution9Horizontal", "Convolution 9 Horizontal"},
               {"CIColorCubeWithColorSpace", "Color Cube With Color Space"},
               {"CISourceOverCompositing", "Source Over Compositing"}};
  for (const auto& c : cases) {
    EXPECT_EQ(Filter::localizedNameForFilterName(c.name), c.display);
    EXPECT_FALSE(Filter::localizedDescriptionForFilterName(c.name).isEmpty());
  }
  EXPECT_EQ(Filter::localizedNameForCategory(ci::kCICategoryDistortionEffect), "Distortion Effect");
}

TEST(FilterRegistry, ProgramFiltersRegisterByName) {
  Filter::registerFilterName("TessalyInvertForTests",
                             [](const QString&) { return std::make_shared<InvertForTests>(); },
                             {{ci::kCIAttributeFilterDisplayName, "Invert (tests)"},
                              {ci::kCIAttributeFilterCategories,
                               QStringList{ci::kCICategoryColorEffect, "TessalyTestCategory"}},
                              {ci::kCIAttributeDescription, "Inverts red."}});
  EXPECT_EQ(Filter::filterNamesInCategory("TessalyTestCategory"),
            QStringList{"TessalyInvertForTests"});
  EXPECT_EQ(Filter::localizedNameForFilterName("TessalyInvertForTests"), "Invert (tests)");
  EXPECT_EQ(Filter::localizedDescriptionForFilterName("TessalyInvertForTests"), "Inverts red.");
  auto filter = Filter::filterWithName("TessalyInvertForTests");
  ASSERT_TRUE(filter);
  EXPECT_EQ(filter->attributes().value(ci::kCIAttributeFilterDisplayName).toString(),
            "Invert (tests)");
  filter->setValue(QVariant::fromValue(citest::solidImage(2, 2, {0.25f, 0, 0, 1})), "inputImage");
  EXPECT_NEAR(citest::pixelAt(citest::render(filter->outputImage(), QRectF(0, 0, 2, 2)), 0, 0).r,
              0.75f, 1.0 / 255);
}

TEST(FilterPlugIns, BrokenLibrariesAreSkippedAndGoodOnesRegister) {
  const QString dataHome = tst::tempDir() + "/xdg-data";
  qputenv("XDG_DATA_HOME", dataHome.toLocal8Bit());
  const QString folder = ci::PlugIn::plugInFolders().first();
  EXPECT_EQ(folder, dataHome + "/Tessaly/filters");
  ASSERT_TRUE(QDir().mkpath(folder));
  QFile broken(folder + "/broken.so");
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  broken.write("not a shared library");
  broken.close();
  ASSERT_TRUE(QFile::copy(TESSALY_TEST_FILTER_PLUGIN, folder + "/libgood.so"));

  EXPECT_EQ(ci::PlugIn::loadAllPlugIns(), 1);
  fnd::Error error;
  EXPECT_FALSE(ci::PlugIn::loadPlugIn(folder + "/broken.so", &error));
  EXPECT_FALSE(error.localizedDescription().isEmpty());
  auto filter = Filter::filterWithName("TessalyPlugInGreen");
  ASSERT_TRUE(filter);
  EXPECT_TRUE(
      Filter::filterNamesInCategory(ci::kCICategoryGenerator).contains("TessalyPlugInGreen"));
  const citest::RGBA p =
      citest::pixelAt(citest::render(filter->outputImage(), QRectF(0, 0, 1, 1)), 0, 0);
  EXPECT_EQ(p.g, 1.0f);
  qunsetenv("XDG_DATA_HOME");
}
