// Filter parameters: kinds from the attribute dictionaries, ranges and names,
// values pushed into the Core Image filter, image-valued inputs with their
// own Image, and values that survive saving and reopening.
#include <gtest/gtest.h>

#include <QFile>

#include "FilterTestProbes.h"
#include "ModelTestSupport.h"
#include "TestSupport.h"
#include "coredata/FetchRequest.h"
#include "coreimage/Context.h"
#include "coreimage/PixelBuffer.h"
#include "foundation/UndoManager.h"
#include "model/Filter.h"
#include "model/FilterParameter.h"
#include "model/Image.h"

namespace {

// A context over an SQLite store file, as a document opens one.
struct StoreFile {
  StoreFile(const QString& path, fnd::OperationQueue* queue)
      : coordinator(IMManagedObject::managedObjectModel()) {
    fnd::Error error;
    EXPECT_TRUE(coordinator.addPersistentStoreWithType(cd::SQLiteStoreType, {},
                                                       QUrl::fromLocalFile(path), {}, &error))
        << error.localizedDescription().toStdString();
    context.setPersistentStoreCoordinator(&coordinator);
    context.setLoadingAndSavingOperationQueue(queue);
  }
  cd::PersistentStoreCoordinator coordinator;
  IMAManagedObjectContext context;
};

class FilterParameterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Filter::loadFilters();
    using probe::input;
    ci::FilterInput ranged =
        input("inputRanged", ci::kClassNSNumber, ci::kCIAttributeTypeScalar, 2.0);
    ranged.minimum = 0.0;
    ranged.maximum = 50.0;
    ranged.sliderMinimum = 1.0;
    ranged.sliderMaximum = 20.0;
    ci::FilterInput hardOnly = input("inputHardOnly", ci::kClassNSNumber, {}, 5.0);
    hardOnly.minimum = -3.0;
    hardOnly.maximum = 3.0;
    ci::FilterInput named = input("inputNamed", ci::kClassNSNumber, {}, 1.0);
    named.displayName = "Strength";
    probe::registerProbe(
        "TSProbeKinds",
        {probe::imageInput(), ranged, hardOnly, input("inputUntyped", ci::kClassNSNumber, {}, 0.25),
         input("inputFlag", ci::kClassNSNumber, ci::kCIAttributeTypeBoolean, true),
         input("inputTint", ci::kClassCIColor, {},
               QVariant::fromValue(ci::Color(0.2, 0.4, 0.6, 0.8))),
         input("inputSpot", ci::kClassCIVector, ci::kCIAttributeTypePosition,
               QVariant::fromValue(ci::Vector{12, -7})),
         input("inputOffsets", ci::kClassCIVector, ci::kCIAttributeTypeOffset,
               QVariant::fromValue(ci::Vector{1, 2})),
         named, input("short", ci::kClassNSNumber, {}, 1.0)});
    probe::registerProbe("TSProbeMissingPicture",
                         {probe::imageInput(), probe::imageInput("inputNoSuchPicture")});
  }

  FilterParameter* parameterNamed(Filter* filter, const QString& name) {
    for (FilterParameter* p : filter->filterParametersArray())
      if (p->name() == name) return p;
    return nullptr;
  }

  // The pushed picture's colour at one pixel, straight (not premultiplied).
  static QColor pushedColor(const ci::Image& image, int x, int y) {
    const ci::PixelBuffer buffer = ci::Context().renderToBuffer(image, QRectF(x, y, 1, 1));
    const float* p = buffer.pixel(x, y);
    const float a = p[3] > 0 ? p[3] : 1;
    return QColor::fromRgbF(p[0] / a, p[1] / a, p[2] / a, p[3]);
  }

  ModelDocument document;
};

TEST_F(FilterParameterTest, KindsRangesAndNamesComeFromTheAttributes) {
  Filter* filter = Filter::createFilterWithName("TSProbeKinds", document.context.get());
  ASSERT_NE(filter, nullptr);
  const struct {
    const char* key;
    const char* kind;
    const char* readable;
    QVariant min, max;
  } cases[] = {
      {"inputRanged", "float", "Ranged", 1.0, 20.0},  // slider bounds win
      {"inputHardOnly", "float", "Hard Only", -3.0, 3.0},
      {"inputUntyped", "float", "Untyped", {}, {}},
      {"inputFlag", "bool", "Flag", {}, {}},
      {"inputTint", "colour", "Tint", {}, {}},
      {"inputSpot", "point", "Spot", {}, {}},
      {"inputOffsets", "other", "Offsets", {}, {}},
      {"inputNamed", "float", "Strength", {}, {}},
      {"short", "float", "Short", {}, {}},
  };
  ASSERT_EQ(filter->filterParametersArray().size(), int(std::size(cases)));
  int index = 0;
  for (const auto& c : cases) {
    FilterParameter* p = filter->filterParametersArray()[index++];
    ASSERT_EQ(p->name(), c.key);
    const char* kind = p->isFloat()     ? "float"
                       : p->isBool()    ? "bool"
                       : p->isAColor()  ? "colour"
                       : p->isPoint()   ? "point"
                       : p->isAnImage() ? "image"
                                        : "other";
    EXPECT_STREQ(kind, c.kind) << c.key;
    EXPECT_EQ(int(p->isFloat()) + int(p->isBool()) + int(p->isAColor()) + int(p->isPoint()) +
                  int(p->isAnImage()),
              QString(c.kind) == "other" ? 0 : 1)
        << c.key;
    EXPECT_EQ(p->readableName(), c.readable) << c.key;
    EXPECT_EQ(p->minNumberValue().isValid(), c.min.isValid()) << c.key;
    if (c.min.isValid()) {
      EXPECT_DOUBLE_EQ(p->minNumberValue().toDouble(), c.min.toDouble());
    }
    if (c.max.isValid()) {
      EXPECT_DOUBLE_EQ(p->maxNumberValue().toDouble(), c.max.toDouble());
    }
    EXPECT_TRUE(p->isReady()) << c.key;
    EXPECT_TRUE(p->isValid()) << c.key;
  }
  // Defaults, as stored and as pushed.
  ci::FilterPtr ci = filter->ciFilter();
  EXPECT_FLOAT_EQ(parameterNamed(filter, "inputUntyped")->floatValue(), 0.25f);
  EXPECT_TRUE(parameterNamed(filter, "inputFlag")->boolValue());
  EXPECT_EQ(ci->valueForKey("inputFlag").toBool(), true);
  const QColor tint = parameterNamed(filter, "inputTint")->color();
  EXPECT_NEAR(tint.redF(), 0.2, 1e-4);
  EXPECT_NEAR(tint.alphaF(), 0.8, 1e-4);
  const ci::Color pushedTint = ci->valueForKey("inputTint").value<ci::Color>();
  EXPECT_NEAR(pushedTint.blue(), 0.6, 1e-4);
  EXPECT_EQ(parameterNamed(filter, "inputSpot")->point(), QPointF(12, -7));
  EXPECT_EQ(parameterNamed(filter, "inputOffsets")->otherValue().value<ci::Vector>(),
            (ci::Vector{1, 2}));
}

TEST_F(FilterParameterTest, ImageResourceNamesDropOnlyARealInputPrefix) {
  const struct {
    const char* key;
    const char* path;
  } cases[] = {{"inputMaskImage", ":/model/filterInputs/MaskImage.png"},
               {"inputBackgroundImage", ":/model/filterInputs/BackgroundImage.png"},
               {"mask", ":/model/filterInputs/mask.png"},
               {"in", ":/model/filterInputs/in.png"},
               {"", ":/model/filterInputs/.png"}};
  for (const auto& c : cases)
    EXPECT_EQ(FilterParameter::imageResourcePathForKey(c.key), c.path) << c.key;
  EXPECT_TRUE(QFile::exists(FilterParameter::imageResourcePathForKey("inputMaskImage")));
}

TEST_F(FilterParameterTest, SettingAPointStoresFloatsAndPushesAVector) {
  Filter* filter = Filter::createFilterWithName("CIPixellate", document.context.get());
  FilterParameter* center = parameterNamed(filter, "inputCenter");
  ASSERT_NE(center, nullptr);
  ASSERT_TRUE(center->isPoint());
  int pointChanges = 0;
  center->addObserver(
      "point", 0,
      [&](fnd::Observable*, const QString&, const fnd::KeyValueChange&) { ++pointChanges; });
  const QPointF points[] = {{10.7, -3.2}, {0, 0}, {-1e6, 123456.789}};
  for (const QPointF& point : points) {
    pointChanges = 0;
    center->setPoint(point);
    EXPECT_EQ(center->x(), float(point.x()));
    EXPECT_EQ(center->y(), float(point.y()));
    EXPECT_EQ(pointChanges, 1);
    const ci::Vector pushed = filter->ciFilter()->valueForKey("inputCenter").value<ci::Vector>();
    EXPECT_EQ(pushed.X(), double(float(point.x())));
    EXPECT_EQ(pushed.Y(), double(float(point.y())));
  }
  EXPECT_TRUE(FilterParameter::automaticallyNotifiesObserversForKey("point"));
  EXPECT_FALSE(FilterParameter::automaticallyNotifiesObserversForKey("x"));
  EXPECT_EQ(FilterParameter::exposedBindings(), QStringList{"point"});
}

TEST_F(FilterParameterTest, ImageInputsOwnOneImageAndFollowItsVersions) {
  Filter* filter = Filter::createFilterWithName("CIBlendWithMask", document.context.get());
  ASSERT_NE(filter, nullptr);
  FilterParameter* mask = parameterNamed(filter, "inputMaskImage");
  ASSERT_TRUE(mask && mask->isAnImage());
  ASSERT_NE(mask->image(), nullptr);
  // The default picture comes from the program's resources.
  ASSERT_TRUE(tst::spinUntil([&] { return mask->isReady(); }));
  EXPECT_EQ(mask->image()->nsImage()->size(), QSizeF(256, 256));

  // A new version reaches the Core Image filter without any other call.
  const QColor colours[] = {QColor(255, 0, 0), QColor(0, 0, 255), QColor(10, 220, 30)};
  for (const QColor& colour : colours) {
    mask->image()->setNsImage(solidImage(5, 4, colour));
    const ci::Image pushed = filter->ciFilter()->valueForKey("inputMaskImage").value<ci::Image>();
    EXPECT_EQ(pushed.extent(), QRectF(0, 0, 5, 4));
    EXPECT_TRUE(sameColor(pushedColor(pushed, 2, 2), colour)) << qPrintable(colour.name());
  }

  // Resetting twice leaves exactly one Image, owned by the parameter.
  mask->resetToDefaultCIFilterParameter();
  mask->resetToDefaultCIFilterParameter();
  document.context->processPendingChanges();
  int owned = 0;
  for (cd::ManagedObject* object : document.context->registeredObjects())
    if (auto* image = dynamic_cast<Image*>(object))
      if (!image->isDeleted() &&
          image->valueForKey("filterParameter").value<cd::ManagedObject*>() == mask)
        ++owned;
  EXPECT_EQ(owned, 1);
  ASSERT_TRUE(tst::spinUntil([&] {
    return filter->ciFilter()->valueForKey("inputMaskImage").value<ci::Image>().extent() ==
           QRectF(0, 0, 256, 256);
  }));
  drainImageWork(document);
}

TEST_F(FilterParameterTest, UndoAndRedoPushTheRestoredPicture) {
  Filter* filter = Filter::createFilterWithName("CIBlendWithMask", document.context.get());
  FilterParameter* mask = parameterNamed(filter, "inputMaskImage");
  ASSERT_TRUE(mask && mask->image());
  fnd::UndoManager* undo = document.context->undoManager();
  for (const QColor& colour : {QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue)}) {
    undo->beginUndoGrouping();
    mask->image()->setNsImage(solidImage(4, 4, colour));
    document.context->processPendingChanges();
    undo->endUndoGrouping();
    drainImageWork(document);
  }
  auto pushed = [&] {
    return pushedColor(filter->ciFilter()->valueForKey("inputMaskImage").value<ci::Image>(), 1, 1);
  };
  const struct {
    bool isUndo;
    QColor expected;
  } moves[] = {{true, Qt::green}, {true, Qt::red}, {false, Qt::green}, {false, Qt::blue}};
  for (const auto& move : moves) {
    if (move.isUndo)
      document.context->undo();
    else
      document.context->redo();
    EXPECT_TRUE(tst::spinUntil([&] { return sameColor(pushed(), move.expected); }))
        << qPrintable(move.expected.name()) << " pushed " << qPrintable(pushed().name());
  }
  drainImageWork(document);
}

TEST_F(FilterParameterTest, AMissingDefaultPictureLeavesAValidButUnreadyInput) {
  Filter* filter = Filter::createFilterWithName("TSProbeMissingPicture", document.context.get());
  ASSERT_NE(filter, nullptr);
  FilterParameter* p = parameterNamed(filter, "inputNoSuchPicture");
  ASSERT_NE(p, nullptr);
  ASSERT_NE(p->image(), nullptr);
  EXPECT_FALSE(p->image()->nsImage());
  EXPECT_TRUE(p->isValid());
  EXPECT_FALSE(p->isReady());
  EXPECT_FALSE(filter->isReadyForDrawing());
}

TEST_F(FilterParameterTest, ValuesSurviveSavingAndReopening) {
  const QString path = tst::tempPath("filter-parameters.zova");
  QFile::remove(path);
  {
    StoreFile store(path, document.queue.get());
    IMAManagedObjectContext& context = store.context;
    Filter* filter = Filter::createFilterWithName("TSProbeKinds", &context);
    ASSERT_NE(filter, nullptr);
    parameterNamed(filter, "inputTint")->setColor(QColor::fromRgbF(0.1f, 0.5f, 0.9f, 1.0f));
    parameterNamed(filter, "inputSpot")->setPoint(QPointF(10.7, -3.2));
    parameterNamed(filter, "inputFlag")->setBoolValue(false);
    parameterNamed(filter, "inputRanged")->setFloatValue(7.25f);
    fnd::Error error;
    ASSERT_TRUE(context.save(&error)) << error.localizedDescription().toStdString();
  }
  tst::saveArtifact(path, "model-filter-parameters-store.zova");

  StoreFile reopened(path, document.queue.get());
  const cd::ObjectList fetched = reopened.context.executeFetchRequest(cd::FetchRequest("Filter"));
  ASSERT_EQ(fetched.size(), 1);
  auto* filter = dynamic_cast<Filter*>(fetched[0]);
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(filter->filterParametersArray().size(), 9);
  EXPECT_TRUE(filter->isReadyForDrawing()) << "the unstored input took its default";
  ci::FilterPtr ci = filter->ciFilter();
  const ci::Color tint = ci->valueForKey("inputTint").value<ci::Color>();
  EXPECT_NEAR(tint.red(), 0.1, 1e-4);
  EXPECT_NEAR(tint.blue(), 0.9, 1e-4);
  const ci::Vector spot = ci->valueForKey("inputSpot").value<ci::Vector>();
  EXPECT_EQ(spot.X(), double(10.7f));
  EXPECT_EQ(spot.Y(), double(-3.2f));
  EXPECT_EQ(ci->valueForKey("inputFlag").toBool(), false);
  EXPECT_DOUBLE_EQ(ci->valueForKey("inputRanged").toDouble(), 7.25);
  EXPECT_EQ(ci->valueForKey("inputOffsets").value<ci::Vector>(), (ci::Vector{1, 2}));
}

}  // namespace
