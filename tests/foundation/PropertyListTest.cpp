#include <gtest/gtest.h>

#include <QDateTime>
#include <QPointF>
#include <QRandomGenerator>
#include <QTimeZone>

#include "PlistPeer.h"
#include "TestSupport.h"
#include "foundation/PropertyList.h"

using fnd::Error;
using fnd::PlistUID;
using fnd::PropertyList;
using fnd::PropertyListFormat;

namespace {

QDateTime utc(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
  return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), QTimeZone::utc());
}

QVariant uid(quint64 n) { return QVariant::fromValue(PlistUID{n}); }

// One of each kind, nested, with the awkward corners of each.
QVariantMap everyKind(bool withUids) {
  QByteArray bytes;
  for (int i = 0; i < 300; ++i) bytes.append(char(i * 7));
  QVariantMap map{
      {"yes", true},
      {"no", false},
      {"zero", 0},
      {"negative", qint64(-5)},
      {"int64 min", std::numeric_limits<qint64>::min()},
      {"int64 max", std::numeric_limits<qint64>::max()},
      {"unsigned", quint64(1) << 40},
      {"real", 0.1},
      {"huge real", 1.7976931348623157e308},
      {"float", 2.5f},
      {"text", QString::fromUtf8("Ünïcødé ✓ 𝄞 text")},
      {"empty text", QString("")},
      {"data", bytes},
      {"empty data", QByteArray()},
      {"date", utc(2026, 12, 8, 19, 30, 5)},
      {"date before 2001", utc(1999, 2, 3, 4, 5, 6)},
      {"empty array", QVariantList()},
      {"empty dict", QVariantMap()},
      {"nested", QVariantList{1, "two", QVariantList{3.5, QVariantMap{{"deep", true}}}}},
      {QString::fromUtf8("ключ"), "unicode key"},
  };
  if (withUids) map.insert("uids", QVariantList{uid(0), uid(1), uid(255), uid(70000)});
  return map;
}

struct Named {
  const char* name;
  PropertyListFormat format;
};
const Named Formats[] = {{"binary", PropertyListFormat::Binary}, {"xml", PropertyListFormat::XML}};

}  // namespace

TEST(PropertyList, RoundTripsEveryKindInBothFormats) {
  for (const Named& f : Formats) {
    SCOPED_TRACE(f.name);
    Error error;
    const QVariantMap original = everyKind(true);
    const QByteArray data = PropertyList::dataWithPropertyList(original, f.format, &error);
    ASSERT_FALSE(data.isEmpty()) << error.localizedFailureReason().toStdString();
    tst::saveArtifactData(data, QStringLiteral("plist-every-kind-%1.plist").arg(f.name));
    EXPECT_EQ(data.startsWith("bplist00"), f.format == PropertyListFormat::Binary);

    PropertyListFormat detected{};
    const QVariant back = PropertyList::propertyListWithData(data, &detected, &error);
    EXPECT_EQ(detected, f.format);
    EXPECT_TRUE(peer::same(back, original)) << peer::describe(back).toStdString() << "\n"
                                            << peer::describe(original).toStdString();
  }
}

TEST(PropertyList, DatesKeepMillisecondsInBinaryAndSecondsInXml) {
  struct Case {
    QDateTime date;
    QDateTime xmlDate;
  } cases[] = {
      {utc(2026, 12, 8, 19, 30, 5, 123), utc(2026, 12, 8, 19, 30, 5)},
      {utc(2000, 12, 31, 23, 59, 55, 250), utc(2000, 12, 31, 23, 59, 55)},
      {utc(2001, 1, 1, 0, 0, 0), utc(2001, 1, 1, 0, 0, 0)},
      {utc(1935, 6, 1, 12, 0, 0, 999), utc(1935, 6, 1, 12, 0, 0)},
      {utc(2068, 6, 1, 12, 0, 0, 1), utc(2068, 6, 1, 12, 0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date.toString(Qt::ISODateWithMs).toStdString());
    const QVariant binary = PropertyList::propertyListWithData(
        PropertyList::dataWithPropertyList(c.date, PropertyListFormat::Binary));
    EXPECT_EQ(binary.toDateTime(), c.date);
    const QVariant xml = PropertyList::propertyListWithData(
        PropertyList::dataWithPropertyList(c.date, PropertyListFormat::XML));
    EXPECT_EQ(xml.toDateTime(), c.xmlDate);
  }
}

TEST(PropertyList, PlistlibReadsWhatWeWrite) {
  if (!peer::available()) GTEST_SKIP() << "python3 is not installed";
  for (const Named& f : Formats) {
    SCOPED_TRACE(f.name);
    // plistlib has no XML form of UIDs.
    const bool uids = f.format == PropertyListFormat::Binary;
    QVariantMap original = everyKind(uids);
    if (!uids) original.remove("date");  // XML keeps whole seconds, checked above
    const QByteArray data = PropertyList::dataWithPropertyList(original, f.format);
    tst::saveArtifactData(data, QStringLiteral("plist-for-plistlib-%1.plist").arg(f.name));
    QVariant seen;
    QString log;
    ASSERT_TRUE(peer::load(data, &seen, &log)) << log.toStdString();
    EXPECT_TRUE(peer::same(seen, original)) << peer::describe(seen).toStdString() << "\n"
                                            << peer::describe(original).toStdString();
  }
}

TEST(PropertyList, WeReadWhatPlistlibWrites) {
  if (!peer::available()) GTEST_SKIP() << "python3 is not installed";
  for (const Named& f : Formats) {
    SCOPED_TRACE(f.name);
    const bool uids = f.format == PropertyListFormat::Binary;
    QVariantMap original = everyKind(uids);
    if (!uids)
      original.insert("date", utc(2026, 12, 8, 19, 30, 5));
    else
      original.insert("date", utc(2026, 12, 8, 19, 30, 5, 456));
    QString log;
    const QByteArray data = peer::dump(original, f.format, &log);
    ASSERT_FALSE(data.isEmpty()) << log.toStdString();
    tst::saveArtifactData(data, QStringLiteral("plist-from-plistlib-%1.plist").arg(f.name));
    Error error;
    const QVariant back = PropertyList::propertyListWithData(data, nullptr, &error);
    ASSERT_TRUE(back.isValid()) << error.localizedFailureReason().toStdString();
    EXPECT_TRUE(peer::same(back, original)) << peer::describe(back).toStdString() << "\n"
                                            << peer::describe(original).toStdString();
  }
}

// XML readers turn raw carriage returns into line feeds and refuse control
// characters; what the XML writer accepts, plistlib and we read back as it was.
TEST(PropertyList, XmlKeepsEveryStringItAccepts) {
  const QString kept[] = {"line\r\nend\rmore\n", "tab\there", "]]> & <tag>",
                          QString::fromUtf8("𝄞 ✓"), "  spaced  "};
  for (const QString& text : kept) {
    SCOPED_TRACE(text.toStdString());
    const QVariantMap value{{text, text}};
    const QByteArray xml = PropertyList::dataWithPropertyList(value, PropertyListFormat::XML);
    ASSERT_FALSE(xml.isEmpty());
    EXPECT_EQ(PropertyList::propertyListWithData(xml), QVariant(value));
    QVariant seen;
    QString log;
    if (peer::available()) {
      ASSERT_TRUE(peer::load(xml, &seen, &log)) << log.toStdString();
      EXPECT_TRUE(peer::same(seen, value)) << peer::describe(seen).toStdString();
    }
  }
  const QString refused[] = {QString("bell\a"), QString("escape\x1b"), QString(QChar(0xFFFE))};
  for (const QString& text : refused) {
    SCOPED_TRACE(text.toStdString());
    for (const QVariant& value : {QVariant(text), QVariant(QVariantMap{{text, 1}})}) {
      Error error;
      EXPECT_TRUE(
          PropertyList::dataWithPropertyList(value, PropertyListFormat::XML, &error).isEmpty());
      EXPECT_EQ(error.code(), fnd::PropertyListWriteInvalidError);
      const QByteArray binary =
          PropertyList::dataWithPropertyList(value, PropertyListFormat::Binary);
      EXPECT_EQ(PropertyList::propertyListWithData(binary), value);
    }
  }
}

TEST(PropertyList, WriteRejectsWhatHasNoPropertyListForm) {
  QVariant deep = QVariantList{1};
  for (int i = 0; i < PropertyList::MaximumDepth + 5; ++i) deep = QVariantList{deep};
  const struct {
    const char* name;
    QVariant value;
  } cases[] = {
      {"null", QVariant()},
      {"point", QPointF(1, 2)},
      {"point in an array", QVariantList{1, QPointF(1, 2)}},
      {"null inside a dictionary", QVariantMap{{"a", QVariant()}}},
      {"unsigned beyond int64", std::numeric_limits<quint64>::max()},
      {"invalid date", QDateTime()},
      {"date after 2069", utc(2100, 1, 1, 0, 0, 0)},
      {"date before 1933", utc(1900, 1, 1, 0, 0, 0)},
      {"date at the start of the calendar",
       QDateTime::fromMSecsSinceEpoch(std::numeric_limits<qint64>::min(), QTimeZone::utc())},
      {"date at the end of the calendar",
       QDateTime::fromMSecsSinceEpoch(std::numeric_limits<qint64>::max(), QTimeZone::utc())},
      {"NUL in a string", QString(QChar(0)) + "x"},
      {"NUL in a key", QVariantMap{{QString("a") + QChar(0), 1}}},
      {"nesting too deep", deep},
  };
  for (const auto& c : cases) {
    for (const Named& f : Formats) {
      SCOPED_TRACE(std::string(c.name) + " / " + f.name);
      Error error;
      EXPECT_TRUE(PropertyList::dataWithPropertyList(c.value, f.format, &error).isEmpty());
      EXPECT_EQ(error.domain(), fnd::CocoaErrorDomain);
      EXPECT_EQ(error.code(), fnd::PropertyListWriteInvalidError);
    }
  }
}
