// Filters: the catalogue rules, creation with its parameters, the display
// name, the self-removal of invalid filters, the change hooks that re-run a
// layer's chain, and filters carried through an archive into another document.
#include <gtest/gtest.h>

#include <QFile>
#include <QSet>

#include "FilterTestProbes.h"
#include "ModelTestSupport.h"
#include "TestSupport.h"
#include "coredata/FetchRequest.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"
#include "model/ComposedImage.h"
#include "model/Filter.h"
#include "model/FilterParameter.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace {

class FilterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Filter::loadFilters();
    using probe::imageInput;
    using probe::input;
    const ci::FilterInput amount =
        input("inputAmount", ci::kClassNSNumber, ci::kCIAttributeTypeScalar, 1.0);
    // Usable apart from the rule their name trips.
    for (const char* name : {"TSProbeGradient", "TSProbeColorMatrix", "TSProbeColorCube"})
      probe::registerProbe(name, {imageInput(), amount});
    probe::registerProbe("TSProbeUsable", {imageInput(), amount});
    probe::registerProbe("TSProbeNoInputImage", {amount});
    probe::registerProbe("TSProbeReduction", {imageInput(), amount},
                         {ci::kCICategoryReduction, ci::kCICategoryBuiltIn});
    probe::registerProbe(
        "TSProbeInEveryExcluded", {imageInput(), amount},
        {ci::kCICategoryGradient, ci::kCICategoryGenerator, ci::kCICategoryReduction});
    probe::registerProbe("TSProbeShownAsCI", {imageInput(), amount}, {ci::kCICategoryStylize},
                         "CI");
    // An input the Core Image filter keeps no value for: invalid.
    const ci::FilterInput noValue = input("inputBlob", ci::kClassNSData);
    probe::registerProbe("TSProbeOnlyInvalid", {imageInput(), noValue});
    probe::registerProbe("TSProbeInvalidThenValid", {imageInput(), noValue, amount});
    probe::registerProbe("TSProbeValidThenInvalid", {imageInput(), amount, noValue});
  }

  int countOf(const QString& entityName) {
    document.context->processPendingChanges();
    int count = 0;
    for (cd::ManagedObject* object : document.context->registeredObjects())
      if (object->entity()->name() == entityName && !object->isDeleted()) ++count;
    return count;
  }

  ModelDocument document;
};

TEST_F(FilterTest, CatalogueRulesDecideWhichFiltersAreUsable) {
  struct Case {
    const char* name;
    bool usable;
  } cases[] = {
      {"CIGaussianBlur", true},
      {"CIDiscBlur", true},
      {"CIPixellate", true},
      {"TSProbeUsable", true},
      {"ShadowImageUnit", true},
      {"FlipImageHUnit", true},
      {"CIConvolution3X3", false},           // rule 1
      {"CIConvolution9Horizontal", false},   // rule 1
      {"CIAffineTransform", false},          // rule 2
      {"CIAffineClamp", false},              // rule 2
      {"CIAffineTile", false},               // rule 2
      {"CIDisplacementDistortion", false},   // rule 3
      {"CIToneCurve", false},                // rule 4
      {"TSProbeGradient", false},            // rule 5
      {"CICrop", false},                     // rule 6
      {"CIColorMatrix", false},              // rule 7
      {"TSProbeColorMatrix", false},         // rule 7
      {"CIColorCube", false},                // rule 8
      {"TSProbeColorCube", false},           // rule 8
      {"CIColorClamp", false},               // rule 9
      {"CIColorPolynomial", false},          // rule 10
      {"CIColorCrossPolynomial", false},     // rule 11
      {"CIColorCubeWithColorSpace", false},  // rule 12
      {"TSProbeInEveryExcluded", false},     // in all excluded categories at once
      {"CIConstantColorGenerator", false},   // generator, no input image
      {"TSProbeNoInputImage", false},
      {"NoSuchFilter", false},
  };
  const QStringList excluded = Filter::excludedFilters();
  const QSet<QString> excludedSet(excluded.begin(), excluded.end());
  EXPECT_EQ(excludedSet.size(), excluded.size()) << "no name listed twice";
  for (const Case& c : cases) {
    EXPECT_EQ(Filter::isUsableWithName(c.name), c.usable) << c.name;
    // The browser hides what is not usable, among the names it lists.
    if (c.usable) {
      EXPECT_FALSE(excludedSet.contains(c.name)) << c.name;
    }
    if (!c.usable && ci::FilterRegistry::shared().contains(c.name)) {
      EXPECT_TRUE(excludedSet.contains(c.name)) << c.name;
    }
  }
  // The name test asks for filters in every excluded category at once, so a
  // filter in only one of them passes it; the browser list still hides it.
  EXPECT_TRUE(Filter::isUsableWithName("TSProbeReduction"));
  EXPECT_TRUE(excludedSet.contains("TSProbeReduction"));
  for (const QString& name : ci::Filter::filterNamesInCategory(ci::kCICategoryGradient))
    EXPECT_TRUE(excludedSet.contains(name)) << qPrintable(name);
}

TEST_F(FilterTest, CategoryListsKeepTheirOrder) {
  EXPECT_EQ(Filter::excludedFiltersCategories(),
            QStringList({"CICategoryGradient", "CICategoryGenerator", "CICategoryReduction"}));
  const QStringList all = Filter::allFiltersCategories();
  ASSERT_EQ(all.size(), 21);
  EXPECT_EQ(QSet<QString>(all.begin(), all.end()).size(), 21);
  const struct {
    int index;
    const char* category;
  } spots[] = {{0, "CICategoryDistortionEffect"}, {7, "CICategoryGenerator"},
               {8, "CICategoryGradient"},         {13, "CICategoryFilterGenerator"},
               {19, "CICategoryBuiltIn"},         {20, "CICategoryReduction"}};
  for (const auto& spot : spots) EXPECT_EQ(all[spot.index], spot.category) << spot.index;
}

TEST_F(FilterTest, GaussianBlurGetsOneFloatRadius) {
  Filter* filter = Filter::createFilterWithName("CIGaussianBlur", document.context.get());
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(filter->name(), "CIGaussianBlur");
  EXPECT_EQ(filter->localizedName(), "Gaussian Blur");
  EXPECT_TRUE(filter->enabled());
  ASSERT_TRUE(filter->ciFilter());
  EXPECT_EQ(filter->ciFilter()->name(), "CIGaussianBlur");
  EXPECT_EQ(filter->ciFilter(), filter->ciFilter()) << "built once and kept";
  const QList<FilterParameter*> parameters = filter->filterParametersArray();
  ASSERT_EQ(parameters.size(), 1);
  FilterParameter* radius = parameters[0];
  EXPECT_EQ(radius->name(), "inputRadius");
  EXPECT_TRUE(radius->isFloat());
  EXPECT_FALSE(radius->isBool());
  EXPECT_EQ(radius->readableName(), "Radius");
  EXPECT_FLOAT_EQ(radius->floatValue(), 10);
  EXPECT_EQ(radius->filter(), filter);
  EXPECT_TRUE(filter->isReadyForDrawing());
  EXPECT_EQ(filter->valueForKey("filterParametersArray").toList().size(), 1);

  radius->setFloatValue(3.5f);
  EXPECT_DOUBLE_EQ(filter->ciFilter()->valueForKey("inputRadius").toDouble(), 3.5);
}

TEST_F(FilterTest, DisplayNameFallsBackToTheRawName) {
  const struct {
    const char* name;
    const char* shown;
  } cases[] = {{"TSProbeShownAsCI", "TSProbeShownAsCI"},
               {"CIDiscBlur", "Disc Blur"},
               {"TSProbeUsable", "TS Probe Usable"}};
  for (const auto& c : cases) {
    Filter* filter = Filter::createFilterWithName(c.name, document.context.get());
    ASSERT_NE(filter, nullptr) << c.name;
    EXPECT_EQ(filter->localizedName(), c.shown) << c.name;
  }
  // A fetched filter gets the same fallback.
  ASSERT_TRUE(document.context->save());
  IMAManagedObjectContext other;
  other.setPersistentStoreCoordinator(document.coordinator.get());
  const cd::ObjectList fetched = other.executeFetchRequest(cd::FetchRequest("Filter"));
  ASSERT_EQ(fetched.size(), 3);
  for (cd::ManagedObject* object : fetched) {
    auto* filter = dynamic_cast<Filter*>(object);
    ASSERT_NE(filter, nullptr);
    const QString name = filter->name();
    for (const auto& c : cases)
      if (name == c.name) {
        EXPECT_EQ(filter->localizedName(), c.shown) << c.name;
      }
  }
}

TEST_F(FilterTest, TheLastParameterBuiltDecidesValidity) {
  const struct {
    const char* name;
    bool created;
    int parameters;
  } cases[] = {{"TSProbeOnlyInvalid", false, 0},
               {"TSProbeValidThenInvalid", false, 0},
               {"TSProbeInvalidThenValid", true, 2},
               {"NoSuchFilter", true, 0}};
  for (const auto& c : cases) {
    Filter* filter = Filter::createFilterWithName(c.name, document.context.get());
    EXPECT_EQ(filter != nullptr, c.created) << c.name;
    if (filter) {
      EXPECT_EQ(filter->filterParametersArray().size(), c.parameters) << c.name;
    }
  }
  // Only the two created filters and the two parameters of one remain.
  EXPECT_EQ(countOf("Filter"), 2);
  EXPECT_EQ(countOf("FilterParameter"), 2);
  EXPECT_TRUE(document.context->save());
}

TEST_F(FilterTest, ParametersAreAddedAndRemovedInOrder) {
  Filter* filter = Filter::createFilterWithName("CIPixellate", document.context.get());
  ASSERT_NE(filter, nullptr);
  QStringList names;
  for (FilterParameter* p : filter->filterParametersArray()) names << p->name();
  EXPECT_EQ(names, QStringList({"inputCenter", "inputScale"}));

  Filter* other = Filter::createFilterWithName("CIGaussianBlur", document.context.get());
  FilterParameter* stranger = other->filterParametersArray().first();
  int changes = 0;
  filter->addObserver(
      "filterParametersArray", 0,
      [&](fnd::Observable*, const QString&, const fnd::KeyValueChange&) { ++changes; });
  filter->removeFilterParameteObject(stranger);
  filter->removeFilterParameteObject(nullptr);
  EXPECT_EQ(filter->filterParametersArray().size(), 2) << "a stranger changes nothing";
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(stranger->filter(), other);

  FilterParameter* center = filter->filterParametersArray().first();
  filter->removeFilterParameteObject(center);
  EXPECT_EQ(changes, 1);
  ASSERT_EQ(filter->filterParametersArray().size(), 1);
  EXPECT_EQ(filter->filterParametersArray().first()->name(), "inputScale");
  filter->addFilterParameter(center);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(filter->filterParametersArray().last(), center);

  // Rebuilding deletes the old parameters and makes fresh ones.
  filter->buildParameters();
  EXPECT_EQ(filter->filterParametersArray().size(), 2);
  EXPECT_EQ(countOf("FilterParameter"), 3);
}

TEST_F(FilterTest, ChangesReRunTheLayersChain) {
  auto* composed = document.context->insertNewObject<ComposedImage>("ComposedImage");
  Layer* layer = Layer::createLayerWithComposedImage(composed, document.context.get(), true);
  layer->image()->setNsImage(solidImage(40, 30, Qt::red));
  Filter* filter = Filter::createFilterWithName("CIGaussianBlur", document.context.get());
  ASSERT_NE(filter, nullptr);
  layer->setFiltersArray({filter});
  drainImageWork(document);

  int runs = 0;
  fnd::NotificationCenter::defaultCenter().addObserver(this, IMSelectedLayerDidChange, layer,
                                                       [&](const fnd::Notification&) { ++runs; });
  const struct {
    const char* change;
    std::function<void()> apply;
  } cases[] = {
      {"disable", [&] { filter->setEnabled(false); }},
      {"enable", [&] { filter->setEnabled(true); }},
      {"edit radius", [&] { filter->filterParametersArray()[0]->setFloatValue(2); }},
      {"apply", [&] { filter->applyFilter(); }},
  };
  for (const auto& c : cases) {
    runs = 0;
    c.apply();
    EXPECT_GT(runs, 0) << c.change;
  }
  // A filter that is not ready is skipped.
  runs = 0;
  filter->filterParametersArray()[0]->disableNotifications();
  EXPECT_FALSE(filter->isReadyForDrawing());
  filter->applyFilter();
  EXPECT_EQ(runs, 0);
  filter->filterParametersArray()[0]->enableNotifications();
  fnd::NotificationCenter::defaultCenter().removeObserver(this);
}

TEST_F(FilterTest, ArchivedFiltersLandInAnotherDocumentWithTheirValues) {
  Filter* blend = Filter::createFilterWithName("CIBlendWithMask", document.context.get());
  Filter* blur = Filter::createFilterWithName("CIGaussianBlur", document.context.get());
  ASSERT_TRUE(blend && blur);
  blur->filterParametersArray()[0]->setFloatValue(4.5f);
  FilterParameter* mask = blend->filterParametersArray()[1];
  ASSERT_EQ(mask->name(), "inputMaskImage");
  mask->image()->setNsImage(solidImage(8, 6, QColor(0, 200, 0)));
  blend->setEnabled(false);
  drainImageWork(document);
  const QDateTime sourceToken = mask->image()->versionToken();

  const QVariantList roots{QVariant::fromValue(blend->archivable()),
                           QVariant::fromValue(blur->archivable())};
  fnd::Error error;
  const QByteArray data = fnd::KeyedArchiver::archivedDataWithRootObject(roots, &error);
  ASSERT_FALSE(data.isEmpty()) << error.localizedDescription().toStdString();
  tst::saveArtifactData(data, "model-filters-archive.plist");
  if (tst::haveTool("python3")) {
    // An independent reader sees a keyed archive naming both filters and
    // the parameters in order.
    const QString file = tst::tempPath("filters-archive.plist");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(data) == data.size());
    out.close();
    QString printed;
    ASSERT_EQ(tst::runTool("python3",
                           {"-c",
                            "import plistlib,sys; a=plistlib.load(open(sys.argv[1],'rb')); "
                            "print(a['$archiver']); "
                            "print(' '.join(o for o in a['$objects'] if isinstance(o, str)))",
                            file},
                           &printed),
              0)
        << printed.toStdString();
    EXPECT_TRUE(printed.startsWith("NSKeyedArchiver")) << printed.toStdString();
    for (const char* text :
         {"CIBlendWithMask", "CIGaussianBlur", "inputBackgroundImage", "inputMaskImage"})
      EXPECT_TRUE(printed.contains(text)) << text;
    EXPECT_LT(printed.indexOf("inputBackgroundImage"), printed.indexOf("inputMaskImage"));
  }

  ModelDocument target;
  IMManagedObject::setTempDecodingManagedObjectContext(target.context.get());
  const QVariant decoded = fnd::KeyedUnarchiver::unarchiveObjectWithData(data, &error);
  IMManagedObject::resetTempDecodingManagedObjectContext();
  const QVariantList list = decoded.toList();
  ASSERT_EQ(list.size(), 2) << error.localizedDescription().toStdString();
  auto* pastedBlend = dynamic_cast<Filter*>(IMManagedObject::fromArchivedValue(list[0]));
  auto* pastedBlur = dynamic_cast<Filter*>(IMManagedObject::fromArchivedValue(list[1]));
  ASSERT_TRUE(pastedBlend && pastedBlur);
  EXPECT_EQ(pastedBlend->managedObjectContext(), target.context.get());
  EXPECT_FALSE(pastedBlend->enabled());
  EXPECT_DOUBLE_EQ(pastedBlur->ciFilter()->valueForKey("inputRadius").toDouble(), 4.5);

  const QList<FilterParameter*> pasted = pastedBlend->filterParametersArray();
  ASSERT_EQ(pasted.size(), 2);
  EXPECT_EQ(pasted[0]->name(), "inputBackgroundImage");
  EXPECT_EQ(pasted[1]->name(), "inputMaskImage");
  Image* pastedMask = pasted[1]->image();
  ASSERT_NE(pastedMask, nullptr);
  EXPECT_NE(pastedMask, mask->image());
  EXPECT_EQ(pastedMask->managedObjectContext(), target.context.get());
  ASSERT_TRUE(tst::spinUntil([&] { return pasted[1]->isReady(); }));
  EXPECT_TRUE(pastedMask->versionToken().isValid());
  EXPECT_NE(pastedMask->versionToken(), sourceToken) << "a fresh version of its own";
  EXPECT_TRUE(sameColor(pixelAt(pastedMask->nsImage(), 3, 3), QColor(0, 200, 0)));
  const ci::Image pushed =
      pastedBlend->ciFilter()->valueForKey("inputMaskImage").value<ci::Image>();
  EXPECT_EQ(pushed.extent(), QRectF(0, 0, 8, 6));
  EXPECT_EQ(mask->image()->versionToken(), sourceToken) << "the source is untouched";
  drainImageWork(target);
}

}  // namespace
