#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "KeyedArchiveTestClasses.h"
#include "TestSupport.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"

using namespace archivetest;
using fnd::CodingPtr;
using fnd::Error;
using fnd::KeyedUnarchiver;
using fnd::PlistUID;
using fnd::PropertyList;
using fnd::PropertyListFormat;

namespace {

QVariant uid(quint64 n) { return QVariant::fromValue(PlistUID{n}); }

QVariantMap archiveWith(const QVariantList& objects, const QVariantMap& top = {{"root", uid(1)}}) {
  return {
      {"$archiver", "NSKeyedArchiver"}, {"$version", 100000}, {"$top", top}, {"$objects", objects}};
}

QByteArray bytesOf(const QVariant& plist) {
  return PropertyList::dataWithPropertyList(plist, PropertyListFormat::Binary);
}

QByteArray archive(const QVariantList& objects, const QVariantMap& top = {{"root", uid(1)}}) {
  return bytesOf(archiveWith(objects, top));
}

QVariantMap entry(const QString& name) {
  return {{"$classname", name}, {"$classes", QVariantList{name, "NSObject"}}};
}

QVariantMap without(QVariantMap map, const QString& key) {
  map.remove(key);
  return map;
}

QVariantMap with(QVariantMap map, const QString& key, const QVariant& value) {
  map.insert(key, value);
  return map;
}

// Arrays nested `depth` deep, each the only element of the one before.
QByteArray arrayChain(int depth) {
  QVariantList objects{"$null"};
  const quint64 arrayClass = quint64(depth) + 1;
  for (int i = 0; i < depth; ++i) {
    const quint64 next = i + 1 < depth ? quint64(i) + 2 : 0;
    objects.append(
        QVariantMap{{"NS.objects", QVariantList{uid(next)}}, {"$class", uid(arrayClass)}});
  }
  objects.append(entry("NSArray"));
  return archive(objects);
}

// A palette whose single key `key` holds `value`, the rest left absent.
QByteArray paletteWith(const QString& key, const QVariant& value, const QVariant& extraObject) {
  return archive({"$null", QVariantMap{{"$class", uid(2)}, {key, value}},
                  QVariantMap{{"$classname", "TSPalette"},
                              {"$classes", QVariantList{"TSPalette", "TSCollection", "NSObject"}}},
                  extraObject});
}

class KeyedUnarchiverMalformed : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { registerClasses(); }
};

}  // namespace

TEST_F(KeyedUnarchiverMalformed, ChainWithinTheLimitDecodes) {
  const QVariant root = KeyedUnarchiver::unarchiveObjectWithData(arrayChain(100));
  ASSERT_EQ(root.metaType().id(), QMetaType::QVariantList);
}

TEST_F(KeyedUnarchiverMalformed, RejectsBrokenArchivesWithAnError) {
  const QVariantList validObjects{"$null", "text"};
  const QVariantMap valid = archiveWith(validObjects);
  const QVariantMap arrayClass = entry("NSArray");
  const QVariantMap dictionaryClass = entry("NSDictionary");
  const QVariantMap dateClass = entry("NSDate");
  QVariantList ancestors;
  for (int i = 0; i < 1000; ++i) ancestors.append(QStringLiteral("Ancestor%1").arg(i));
  const struct {
    const char* name;
    QByteArray data;
  } cases[] = {
      {"not a property list", "garbage"},
      {"damaged property list", bytesOf(valid).left(40)},
      {"array at the top", bytesOf(QVariantList{1, 2})},
      {"no $archiver", bytesOf(without(valid, "$archiver"))},
      {"another archiver", bytesOf(with(valid, "$archiver", "NSArchiver"))},
      {"no $top", bytesOf(without(valid, "$top"))},
      {"$top not a dictionary", bytesOf(with(valid, "$top", "root"))},
      {"no $objects", bytesOf(without(valid, "$objects"))},
      {"$objects not an array", bytesOf(with(valid, "$objects", QVariantMap{{"a", 1}}))},
      {"$objects empty", archive({})},
      {"$objects not starting with $null", archive({"text", "$null"})},
      {"no root", archive(validObjects, {{"other", uid(1)}})},
      {"root not a reference", archive(validObjects, {{"root", "text"}})},
      {"root past the objects", archive(validObjects, {{"root", uid(99)}})},
      {"object without a class", archive({"$null", QVariantMap{{"a", 1}}})},
      {"class reference past the objects", archive({"$null", QVariantMap{{"$class", uid(50)}}})},
      {"class reference to $null", archive({"$null", QVariantMap{{"$class", uid(0)}}})},
      {"class entry without a name", archive({"$null", QVariantMap{{"$class", uid(2)}},
                                              QVariantMap{{"$classes", QVariantList{}}}})},
      {"unknown class",
       archive({"$null", QVariantMap{{"$class", uid(2)}}, entry("TSNoSuchThing")})},
      {"raw reference as an object", archive({"$null", uid(1)})},
      {"array as an object", archive({"$null", QVariantList{uid(0)}})},
      {"array containing itself",
       archive({"$null", QVariantMap{{"NS.objects", QVariantList{uid(1)}}, {"$class", uid(2)}},
                arrayClass})},
      {"array elements not a list",
       archive({"$null", QVariantMap{{"NS.objects", "x"}, {"$class", uid(2)}}, arrayClass})},
      {"array element past the objects",
       archive({"$null", QVariantMap{{"NS.objects", QVariantList{uid(77)}}, {"$class", uid(2)}},
                arrayClass})},
      {"array element not a reference",
       archive({"$null", QVariantMap{{"NS.objects", QVariantList{5}}, {"$class", uid(2)}},
                arrayClass})},
      {"dictionary keys and values unpaired",
       archive({"$null",
                QVariantMap{{"NS.keys", QVariantList{uid(3)}},
                            {"NS.objects", QVariantList{}},
                            {"$class", uid(2)}},
                dictionaryClass, "key"})},
      {"dictionary key not a string", archive({"$null",
                                               QVariantMap{{"NS.keys", QVariantList{uid(3)}},
                                                           {"NS.objects", QVariantList{uid(3)}},
                                                           {"$class", uid(2)}},
                                               dictionaryClass, 12})},
      {"date with text for time",
       archive({"$null", QVariantMap{{"NS.time", "yesterday"}, {"$class", uid(2)}}, dateClass})},
      {"date absurdly far away",
       archive({"$null", QVariantMap{{"NS.time", 1e300}, {"$class", uid(2)}}, dateClass})},
      {"date just beyond the range",
       archive({"$null", QVariantMap{{"NS.time", -1.0000001e13}, {"$class", uid(2)}}, dateClass})},
      {"class with a thousand ancestors",
       archive({"$null", QVariantMap{{"NS.objects", QVariantList{}}, {"$class", uid(2)}},
                with(arrayClass, "$classes", ancestors)})},
      {"date at infinity",
       archive({"$null", QVariantMap{{"NS.time", qInf()}, {"$class", uid(2)}}, dateClass})},
      {"string object without text",
       archive({"$null", QVariantMap{{"NS.string", 5}, {"$class", uid(2)}}, entry("NSString")})},
      {"chain deeper than allowed", arrayChain(KeyedUnarchiver::MaximumDepth + 5)},
      {"links in a cycle",
       archive({"$null", QVariantMap{{"next", uid(3)}, {"$class", uid(2)}}, entry("TSLink"),
                QVariantMap{{"next", uid(1)}, {"$class", uid(2)}}})},
      {"swatch where a palette member expects one", paletteWith("primary", uid(3), "not a swatch")},
      {"int32 member out of range", paletteWith("columns", qint64(1) << 40, "unused")},
      {"number member holding text", paletteWith("gamma", uid(3), "warm")},
      {"rectangle member that is not one", paletteWith("frame", "{{1, 2}, {3}}", "unused")},
      {"data member holding text", paletteWith("thumbnail", uid(3), "text")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(c.data.isEmpty());
    Error error;
    EXPECT_FALSE(KeyedUnarchiver::unarchiveObjectWithData(c.data, &error).isValid());
    EXPECT_EQ(error.domain(), fnd::CocoaErrorDomain);
    EXPECT_EQ(error.code(), fnd::CoderReadCorruptError);
    EXPECT_FALSE(error.localizedFailureReason().isEmpty());
  }
}

TEST_F(KeyedUnarchiverMalformed, FailedConstructionIsReported) {
  Error error;
  EXPECT_EQ(KeyedUnarchiver::create("not an archive", &error), nullptr);
  EXPECT_EQ(error.code(), fnd::CoderReadCorruptError);
  // The property-list failure underneath is kept for diagnosis.
  EXPECT_EQ(error.underlyingError().code(), fnd::PropertyListReadCorruptError);
  KeyedUnarchiver coder("not an archive");
  EXPECT_TRUE(coder.failed());
  EXPECT_EQ(coder.decodeInt32ForKey("x"), 0);
  EXPECT_FALSE(coder.decodeObjectForKey("root").isValid());
}

TEST_F(KeyedUnarchiverMalformed, SurvivesRandomDamage) {
  auto palette = std::make_shared<Palette>();
  palette->title = "damaged";
  palette->primary = std::make_shared<Swatch>();
  palette->accent = palette->primary;
  palette->extras = {1, "two", QVariantMap{{"three", 3.0}}};
  const QByteArray original =
      fnd::KeyedArchiver::archivedDataWithRootObject(QVariant::fromValue(CodingPtr(palette)));
  tst::saveArtifactData(original, "keyed-archive-before-damage.plist");
  QRandomGenerator random(4864);
  int decoded = 0;
  for (int round = 0; round < 3000; ++round) {
    QByteArray damaged = original;
    const int flips = 1 + int(random.bounded(3));
    for (int i = 0; i < flips; ++i)
      damaged[qsizetype(random.bounded(quint32(damaged.size())))] = char(random.bounded(256));
    Error error;
    const QVariant root = KeyedUnarchiver::unarchiveObjectWithData(damaged, &error);
    ASSERT_TRUE(error.isNull() || !root.isValid()) << "round " << round;
    if (root.isValid()) ++decoded;
  }
  // Some damage lands in bytes that do not matter; most does not.
  EXPECT_LT(decoded, 3000);
}
