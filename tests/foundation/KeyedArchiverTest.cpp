#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>

#include "KeyedArchiveTestClasses.h"
#include "PlistPeer.h"
#include "TestSupport.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"

using namespace archivetest;
using fnd::CodingPtr;
using fnd::Error;
using fnd::KeyedArchiver;
using fnd::KeyedUnarchiver;
using fnd::PlistUID;
using fnd::PropertyList;
using fnd::PropertyListFormat;

namespace {

class KeyedArchive : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { registerClasses(); }
};

std::shared_ptr<Swatch> swatch(const QString& name, double r, double g, double b) {
  auto s = std::make_shared<Swatch>();
  s->name = name;
  s->red = r;
  s->green = g;
  s->blue = b;
  return s;
}

std::shared_ptr<Palette> samplePalette() {
  auto palette = std::make_shared<Palette>();
  palette->title = QString::fromUtf8("Autumn — warm");
  palette->columns = -12;
  palette->serial = qint64(1) << 50;
  palette->locked = true;
  palette->gamma = 2.2f;
  palette->frame = QRectF(-10.5, 20, 300.25, 1e-3);
  palette->origin = QPointF(1.0 / 3.0, -0.0);
  palette->cell = QSizeF(32, 48);
  palette->thumbnail = QByteArray("\x89PNG\0\1\2", 7);
  auto rust = swatch("rust", 0.7, 0.25, 0.1);
  palette->primary = rust;
  palette->accent = rust;
  palette->extras = {QVariant::fromValue(CodingPtr(rust)),
                     QVariant::fromValue(CodingPtr(swatch("ochre", 0.8, 0.6, 0.2))), "label", 5};
  return palette;
}

// Archive objects whose entry names `className`.
int countObjectsOfClass(const QVariantMap& archive, const QString& className) {
  const QVariantList objects = archive.value("$objects").toList();
  int count = 0;
  for (const QVariant& object : objects) {
    const QVariant cls = object.toMap().value("$class");
    if (!cls.canConvert<PlistUID>()) continue;
    const QVariantMap entry = objects.value(qsizetype(cls.value<PlistUID>().value)).toMap();
    if (entry.value("$classname") == className) ++count;
  }
  return count;
}

}  // namespace

TEST_F(KeyedArchive, RoundTripsFoundationValues) {
  const QDateTime when(QDate(2026, 12, 8), QTime(19, 30, 5, 321), QTimeZone::utc());
  const struct {
    const char* name;
    QVariant value;
  } cases[] = {
      {"string", QString::fromUtf8("Ebene 1 — ✓")},
      {"empty string", QString("")},
      {"data", QByteArray("\0\1\2\xff", 4)},
      {"integer", qint64(-9007199254740993LL)},
      {"real", 0.1},
      {"true", true},
      {"false", false},
      {"date", when},
      {"date before 2001", QDateTime(QDate(1969, 7, 20), QTime(20, 17, 40), QTimeZone::utc())},
      {"empty array", QVariantList()},
      {"empty dictionary", QVariantMap()},
      {"array", QVariantList{1, "two", 3.5, false, QByteArray("x"), when}},
      {"dictionary", QVariantMap{{"name", "layer"},
                                 {"size", QVariantList{640, 480}},
                                 {"meta", QVariantMap{{"saved", when}, {"dirty", true}}}}},
  };
  for (PropertyListFormat format : {PropertyListFormat::Binary, PropertyListFormat::XML}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      KeyedArchiver archiver;
      archiver.setOutputFormat(format);
      archiver.encodeObject(c.value, "root");
      const QByteArray data = archiver.encodedData();
      ASSERT_FALSE(data.isEmpty()) << archiver.error().localizedFailureReason().toStdString();
      Error error;
      const QVariant back = KeyedUnarchiver::unarchiveObjectWithData(data, &error);
      EXPECT_TRUE(error.isNull()) << error.localizedFailureReason().toStdString();
      EXPECT_TRUE(peer::same(back, c.value))
          << peer::describe(back).toStdString() << " vs " << peer::describe(c.value).toStdString();
    }
  }
  const QVariantHash hash{{"a", 1}, {"b", "two"}};
  EXPECT_EQ(
      KeyedUnarchiver::unarchiveObjectWithData(KeyedArchiver::archivedDataWithRootObject(hash)),
      QVariant(QVariantMap{{"a", qint64(1)}, {"b", "two"}}));
  Error error;
  const QByteArray nothing = KeyedArchiver::archivedDataWithRootObject(QVariant(), &error);
  ASSERT_FALSE(nothing.isEmpty());
  EXPECT_FALSE(KeyedUnarchiver::unarchiveObjectWithData(nothing, &error).isValid());
  EXPECT_TRUE(error.isNull());
}

TEST_F(KeyedArchive, RoundTripsRegisteredObjectsSharingAChild) {
  const auto original = samplePalette();
  Error error;
  const QByteArray data =
      KeyedArchiver::archivedDataWithRootObject(QVariant::fromValue(CodingPtr(original)), &error);
  ASSERT_FALSE(data.isEmpty()) << error.localizedFailureReason().toStdString();
  tst::saveArtifactData(data, "keyed-archive-palette.plist");

  // The shared swatch is stored once; the second swatch once too.
  const QVariantMap archive = PropertyList::propertyListWithData(data).toMap();
  EXPECT_EQ(countObjectsOfClass(archive, "TSSwatch"), 2);
  EXPECT_EQ(countObjectsOfClass(archive, "TSPalette"), 1);

  const QVariant root = KeyedUnarchiver::unarchiveObjectWithData(data, &error);
  ASSERT_TRUE(error.isNull()) << error.localizedFailureReason().toStdString();
  auto palette = std::dynamic_pointer_cast<Palette>(root.value<CodingPtr>());
  ASSERT_TRUE(palette);
  EXPECT_EQ(palette->title, original->title);
  EXPECT_EQ(palette->columns, original->columns);
  EXPECT_EQ(palette->serial, original->serial);
  EXPECT_EQ(palette->locked, original->locked);
  EXPECT_EQ(palette->gamma, original->gamma);
  EXPECT_EQ(palette->frame, original->frame);
  EXPECT_EQ(palette->origin, original->origin);
  EXPECT_EQ(palette->cell, original->cell);
  EXPECT_EQ(palette->thumbnail, original->thumbnail);
  ASSERT_TRUE(palette->primary);
  EXPECT_EQ(palette->primary.get(), palette->accent.get());
  EXPECT_EQ(palette->primary->name, "rust");
  EXPECT_EQ(palette->primary->green, 0.25);
  ASSERT_EQ(palette->extras.size(), 4);
  EXPECT_EQ(palette->extras[0].value<CodingPtr>().get(), palette->primary.get());
  auto ochre = std::dynamic_pointer_cast<Swatch>(palette->extras[1].value<CodingPtr>());
  ASSERT_TRUE(ochre);
  EXPECT_EQ(ochre->name, "ochre");
  EXPECT_EQ(palette->extras[2], QVariant("label"));
  EXPECT_EQ(palette->extras[3].toLongLong(), 5);
}

TEST_F(KeyedArchive, TemporaryObjectsAreNeverMistakenForEachOther) {
  // Each swatch lives only while it is encoded, so the allocator is free to
  // hand the next one the same address.
  KeyedArchiver archiver;
  for (int i = 0; i < 8; ++i) {
    auto swatch = std::make_shared<Swatch>();
    swatch->name = QString("swatch %1").arg(i);
    archiver.encodeObject(QVariant::fromValue(CodingPtr(swatch)), QString("s%1").arg(i));
  }
  KeyedUnarchiver unarchiver(archiver.encodedData());
  for (int i = 0; i < 8; ++i) {
    auto swatch = unarchiver.decodeObjectOfClass<Swatch>(QString("s%1").arg(i));
    ASSERT_TRUE(swatch) << i;
    EXPECT_EQ(swatch->name, QString("swatch %1").arg(i));
  }
}

TEST_F(KeyedArchive, EqualStringsAndDataAreStoredOnce) {
  KeyedArchiver archiver;
  const QByteArray blob("pixels\0here", 11);
  archiver.encodeString("shared text", "a");
  archiver.encodeString("shared text", "b");
  archiver.encodeObject(QVariantList{"shared text", blob}, "c");
  archiver.encodeData(blob, "d");
  archiver.encodeData(blob, "e");
  const QByteArray data = archiver.encodedData();
  const QVariantList objects =
      PropertyList::propertyListWithData(data).toMap().value("$objects").toList();
  EXPECT_EQ(objects.count(QVariant("shared text")), 1);
  EXPECT_EQ(objects.count(QVariant(blob)), 1);

  KeyedUnarchiver coder(data);
  ASSERT_FALSE(coder.failed());
  EXPECT_EQ(coder.decodeStringForKey("a"), "shared text");
  EXPECT_EQ(coder.decodeStringForKey("b"), "shared text");
  EXPECT_EQ(coder.decodeDataForKey("e"), blob);
  EXPECT_EQ(coder.decodeObjectForKey("c"), QVariant(QVariantList{"shared text", blob}));
}

TEST_F(KeyedArchive, TypedKeysDecodeWithDefaultsForAbsentKeys) {
  KeyedArchiver archiver;
  archiver.encodeBool(true, "bool");
  archiver.encodeInt32(-7, "int32");
  archiver.encodeInt64(std::numeric_limits<qint64>::min(), "int64");
  archiver.encodeDouble(-2.75, "double");
  archiver.encodeFloat(0.1f, "float");
  archiver.encodeObject(42, "number object");
  archiver.encodeRect(QRectF(1, 2, 3, 4), "rect");
  auto coder = KeyedUnarchiver::create(archiver.encodedData());
  ASSERT_TRUE(coder);
  EXPECT_TRUE(coder->decodeBoolForKey("bool"));
  EXPECT_EQ(coder->decodeInt32ForKey("int32"), -7);
  EXPECT_EQ(coder->decodeInt64ForKey("int64"), std::numeric_limits<qint64>::min());
  EXPECT_EQ(coder->decodeDoubleForKey("double"), -2.75);
  EXPECT_EQ(coder->decodeFloatForKey("float"), 0.1f);
  EXPECT_EQ(coder->decodeInt32ForKey("number object"), 42);
  EXPECT_EQ(coder->decodeRectForKey("rect"), QRectF(1, 2, 3, 4));
  EXPECT_FALSE(coder->containsValueForKey("absent"));
  EXPECT_FALSE(coder->decodeBoolForKey("absent"));
  EXPECT_EQ(coder->decodeInt64ForKey("absent"), 0);
  EXPECT_EQ(coder->decodeStringForKey("absent"), QString());
  EXPECT_EQ(coder->decodeRectForKey("absent"), QRectF());
  EXPECT_FALSE(coder->decodeObjectForKey("absent").isValid());
  EXPECT_FALSE(coder->failed());
}

TEST_F(KeyedArchive, ValuesStoredInPlaceByOtherWritersDecode) {
  const QVariantMap archive{
      {"$archiver", "NSKeyedArchiver"},
      {"$version", 100000},
      {"$top",
       QVariantMap{
           {"bytes", QByteArray("1 0 0.5\0", 8)}, {"text", "inline"}, {"space", 2}, {"flag", 1}}},
      {"$objects", QVariantList{"$null"}}};
  KeyedUnarchiver coder(PropertyList::dataWithPropertyList(archive, PropertyListFormat::Binary));
  EXPECT_EQ(coder.decodeDataForKey("bytes"), QByteArray("1 0 0.5\0", 8));
  EXPECT_EQ(coder.decodeStringForKey("text"), "inline");
  EXPECT_EQ(coder.decodeInt32ForKey("space"), 2);
  EXPECT_TRUE(coder.decodeBoolForKey("flag"));
  EXPECT_FALSE(coder.failed());
  // Objects, unlike these raw values, are always behind a reference.
  coder.decodeObjectForKey("text");
  EXPECT_TRUE(coder.failed());
}

TEST_F(KeyedArchive, ValuesOfTheWrongKindFailTheUnarchiver) {
  KeyedArchiver archiver;
  archiver.encodeString("text", "string");
  archiver.encodeInt64(qint64(1) << 40, "big");
  archiver.encodeData("bytes", "data");
  archiver.encodeString("{1, 2}", "point text");
  archiver.encodeInt32(3, "int");
  archiver.encodeDouble(1e300, "huge");
  const QByteArray data = archiver.encodedData();
  const struct {
    const char* name;
    std::function<void(KeyedUnarchiver&)> decode;
  } cases[] = {
      {"string as int32", [](KeyedUnarchiver& c) { c.decodeInt32ForKey("string"); }},
      {"string as bool", [](KeyedUnarchiver& c) { c.decodeBoolForKey("string"); }},
      {"int64 beyond int32", [](KeyedUnarchiver& c) { c.decodeInt32ForKey("big"); }},
      {"double beyond float", [](KeyedUnarchiver& c) { c.decodeFloatForKey("huge"); }},
      {"data as string", [](KeyedUnarchiver& c) { c.decodeStringForKey("data"); }},
      {"point as rect", [](KeyedUnarchiver& c) { c.decodeRectForKey("point text"); }},
      {"text as size", [](KeyedUnarchiver& c) { c.decodeSizeForKey("string"); }},
      {"int as data", [](KeyedUnarchiver& c) { c.decodeDataForKey("int"); }},
      {"int as object", [](KeyedUnarchiver& c) { c.decodeObjectForKey("int"); }},
      {"string as swatch", [](KeyedUnarchiver& c) { c.decodeObjectOfClass<Swatch>("string"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    KeyedUnarchiver coder(data);
    ASSERT_FALSE(coder.failed());
    c.decode(coder);
    EXPECT_TRUE(coder.failed());
    EXPECT_EQ(coder.error().code(), fnd::CoderReadCorruptError);
  }
}

TEST_F(KeyedArchive, PlistlibSeesThePublicLayout) {
  if (!peer::available()) GTEST_SKIP() << "python3 is not installed";
  const QByteArray data =
      KeyedArchiver::archivedDataWithRootObject(QVariant::fromValue(CodingPtr(samplePalette())));
  tst::saveArtifactData(data, "keyed-archive-for-plistlib.plist");
  QVariant loaded;
  QString log;
  ASSERT_TRUE(peer::load(data, &loaded, &log)) << log.toStdString();
  const QVariantMap archive = loaded.toMap();
  EXPECT_EQ(archive.value("$archiver"), QVariant("NSKeyedArchiver"));
  EXPECT_EQ(archive.value("$version").toLongLong(), 100000);
  const QVariant root = archive.value("$top").toMap().value("root");
  ASSERT_EQ(root.metaType(), QMetaType::fromType<PlistUID>());
  const QVariantList objects = archive.value("$objects").toList();
  ASSERT_FALSE(objects.isEmpty());
  EXPECT_EQ(objects[0], QVariant("$null"));
  const QVariantMap palette = objects.value(qsizetype(root.value<PlistUID>().value)).toMap();
  const QVariantMap entry =
      objects.value(qsizetype(palette.value("$class").value<PlistUID>().value)).toMap();
  EXPECT_EQ(entry.value("$classname"), QVariant("TSPalette"));
  EXPECT_EQ(entry.value("$classes"),
            QVariant(QVariantList{"TSPalette", "TSCollection", "NSObject"}));
  EXPECT_EQ(palette.value("frame"), QVariant("{{-10.5, 20}, {300.25, 0.001}}"));
  EXPECT_EQ(palette.value("columns").toLongLong(), -12);
  // Foundation containers carry the class names other readers expect.
  const QVariantMap extras =
      objects.value(qsizetype(palette.value("extras").value<PlistUID>().value)).toMap();
  const QVariantMap extrasClass =
      objects.value(qsizetype(extras.value("$class").value<PlistUID>().value)).toMap();
  EXPECT_EQ(extrasClass.value("$classname"), QVariant("NSArray"));
  EXPECT_EQ(extras.value("NS.objects").toList().size(), 4);
  EXPECT_EQ(countObjectsOfClass(archive, "TSSwatch"), 2);
}

TEST_F(KeyedArchive, ArchiverRefusesWhatItCannotWrite) {
  auto loop = std::make_shared<Link>();
  loop->next = std::make_shared<Link>();
  loop->next->next = loop;
  auto self = std::make_shared<Link>();
  self->next = self;
  QVariant deep = QVariantList{1};
  for (int i = 0; i < KeyedUnarchiver::MaximumDepth + 5; ++i) deep = QVariantList{deep};
  const struct {
    const char* name;
    QVariant value;
  } cases[] = {
      {"point object", QPointF(1, 2)},
      {"point inside an array", QVariantList{1, QPointF(1, 2)}},
      {"two links in a cycle", QVariant::fromValue(CodingPtr(loop))},
      {"link to itself", QVariant::fromValue(CodingPtr(self))},
      {"unsigned beyond int64", std::numeric_limits<quint64>::max()},
      {"arrays nested deeper than a reader accepts", deep},
      {"invalid date", QDateTime()},
      {"date at the start of the calendar",
       QDateTime::fromMSecsSinceEpoch(std::numeric_limits<qint64>::min(), QTimeZone::utc())},
      {"date at the end of the calendar",
       QDateTime::fromMSecsSinceEpoch(std::numeric_limits<qint64>::max(), QTimeZone::utc())},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Error error;
    EXPECT_TRUE(KeyedArchiver::archivedDataWithRootObject(c.value, &error).isEmpty());
    EXPECT_EQ(error.code(), fnd::PropertyListWriteInvalidError);
  }
  loop->next->next.reset();  // break the cycles so the test does not leak
  self->next.reset();
}

TEST_F(KeyedArchive, ReadsArchivesWrittenByPlistlib) {
  if (!peer::available()) GTEST_SKIP() << "python3 is not installed";
  // Laid out by hand the way other writers do it: mutable collection
  // classes, string and data objects, numbers shared through references.
  auto ref = [](quint64 n) { return QVariant::fromValue(PlistUID{n}); };
  auto cls = [](const QString& name, const QString& base) {
    return QVariantMap{{"$classname", name}, {"$classes", QVariantList{name, base, "NSObject"}}};
  };
  const QVariantList objects{
      "$null",
      QVariantMap{{"NS.keys", QVariantList{ref(3), ref(4), ref(5), ref(6)}},
                  {"NS.objects", QVariantList{ref(7), ref(9), ref(11), ref(13)}},
                  {"$class", ref(2)}},
      cls("NSMutableDictionary", "NSDictionary"),
      "list",
      "when",
      "title",
      "bytes",
      QVariantMap{{"NS.objects", QVariantList{ref(14), ref(14), ref(0), ref(15)}},
                  {"$class", ref(8)}},
      cls("NSMutableArray", "NSArray"),
      QVariantMap{{"NS.time", -31536000.5}, {"$class", ref(10)}},
      QVariantMap{{"$classname", "NSDate"}, {"$classes", QVariantList{"NSDate", "NSObject"}}},
      QVariantMap{{"NS.string", QString::fromUtf8("Größe")}, {"$class", ref(12)}},
      cls("NSMutableString", "NSString"),
      QVariantMap{{"NS.data", QByteArray("\x01\x02", 2)}, {"$class", ref(16)}},
      qint64(42),
      true,
      cls("NSMutableData", "NSData"),
  };
  const QVariantMap archive{{"$archiver", "NSKeyedArchiver"},
                            {"$version", 100000},
                            {"$top", QVariantMap{{"root", ref(1)}}},
                            {"$objects", objects}};
  QString log;
  const QByteArray data = peer::dump(archive, PropertyListFormat::Binary, &log);
  ASSERT_FALSE(data.isEmpty()) << log.toStdString();
  tst::saveArtifactData(data, "keyed-archive-from-plistlib.plist");
  Error error;
  const QVariant root = KeyedUnarchiver::unarchiveObjectWithData(data, &error);
  ASSERT_TRUE(error.isNull()) << error.localizedFailureReason().toStdString();
  // -31536000.5 s from 2001 is half a second before 2000-01-02.
  const QDateTime when = QDateTime::fromMSecsSinceEpoch(978307200000LL - 31536000500LL, Qt::UTC);
  const QVariantMap expected{{"list", QVariantList{qint64(42), qint64(42), QVariant(), true}},
                             {"when", when},
                             {"title", QString::fromUtf8("Größe")},
                             {"bytes", QByteArray("\x01\x02", 2)}};
  EXPECT_TRUE(peer::same(root, expected)) << peer::describe(root).toStdString();
  EXPECT_FALSE(root.toMap().value("list").toList().value(2).isValid());
}
