#include <gtest/gtest.h>

#include <QDateTime>
#include <QRandomGenerator>

#include "TestSupport.h"
#include "foundation/PropertyList.h"

using fnd::Error;
using fnd::PropertyList;
using fnd::PropertyListFormat;

namespace {

QByteArray bigEndian(quint64 value, int size) {
  QByteArray bytes(size, '\0');
  for (int i = size - 1; i >= 0; --i, value >>= 8) bytes[i] = char(value & 0xFF);
  return bytes;
}

// A binary property list from hand-made objects, so each test can break
// exactly one thing. References inside objects use `refSize` bytes.
struct Bplist {
  QList<QByteArray> objects;
  quint64 top = 0;
  int refSize = 1;
  int offsetSize = 2;

  QByteArray ref(quint64 index) const { return bigEndian(index, refSize); }
  QByteArray array(std::initializer_list<quint64> refs) const {
    QByteArray bytes(1, char(0xA0 | int(refs.size())));
    for (quint64 r : refs) bytes += ref(r);
    return bytes;
  }
  QByteArray build(qint64 countOverride = -1, qint64 tableOverride = -1) const {
    QByteArray data("bplist00");
    QByteArray table;
    for (const QByteArray& object : objects) {
      table += bigEndian(quint64(data.size()), offsetSize);
      data += object;
    }
    const quint64 tableAt = quint64(data.size());
    data += table;
    data += QByteArray(6, '\0');
    data += char(offsetSize);
    data += char(refSize);
    data += bigEndian(countOverride >= 0 ? quint64(countOverride) : quint64(objects.size()), 8);
    data += bigEndian(top, 8);
    data += bigEndian(tableOverride >= 0 ? quint64(tableOverride) : tableAt, 8);
    return data;
  }
};

QByteArray ascii(const QByteArray& text) { return char(0x50 | text.size()) + text; }
const QByteArray SmallInt("\x10\x07", 2);

QByteArray deepChain(int depth) {
  Bplist p;
  p.refSize = 2;
  for (int i = 0; i < depth; ++i) p.objects.append(p.array({quint64(i + 1)}));
  p.objects.append(SmallInt);
  return p.build();
}

QByteArray doublingChain(int levels) {
  Bplist p;
  for (int i = 0; i < levels; ++i) p.objects.append(p.array({quint64(i + 1), quint64(i + 1)}));
  p.objects.append(SmallInt);
  return p.build();
}

QByteArray withTrailerByte(QByteArray data, int fromEnd, char value) {
  data[data.size() - fromEnd] = value;
  return data;
}

QByteArray nestedXml(int depth) {
  return "<?xml version=\"1.0\"?><plist version=\"1.0\">" + QByteArray("<array>").repeated(depth) +
         "<true/>" + QByteArray("</array>").repeated(depth) + "</plist>";
}

bool rejected(const QByteArray& data, Error* error) {
  *error = Error();
  const QVariant value = PropertyList::propertyListWithData(data, nullptr, error);
  return !value.isValid() && error->code() == fnd::PropertyListReadCorruptError &&
         error->domain() == fnd::CocoaErrorDomain;
}

// A few random byte changes, bit flips and deletions.
QByteArray damage(QByteArray data, QRandomGenerator& random) {
  const int changes = 1 + int(random.bounded(4));
  for (int i = 0; i < changes; ++i) {
    const qsizetype at = qsizetype(random.bounded(quint32(data.size())));
    switch (random.bounded(3)) {
      case 0:
        data[at] = char(random.bounded(256));
        break;
      case 1:
        data[at] = char(data[at] ^ (1 << random.bounded(8)));
        break;
      default:
        if (data.size() > 1) data.remove(at, 1);
    }
  }
  return data;
}

// Either a value or an error, never both and never neither.
bool consistent(const QByteArray& data) {
  Error error;
  const QVariant value = PropertyList::propertyListWithData(data, nullptr, &error);
  return value.isValid() == error.isNull();
}

}  // namespace

TEST(PropertyListMalformed, HandMadeListsParseWhenSound) {
  Bplist p;
  p.objects = {p.array({1, 2}), ascii("a"), SmallInt};
  const QVariant value = PropertyList::propertyListWithData(p.build());
  EXPECT_EQ(value, QVariant(QVariantList{QString("a"), qint64(7)}));
  EXPECT_EQ(PropertyList::propertyListWithData(deepChain(100)).metaType().id(),
            QMetaType::QVariantList);
  EXPECT_TRUE(PropertyList::propertyListWithData(doublingChain(10)).isValid());
}

TEST(PropertyListMalformed, RejectsBrokenInputWithAnError) {
  Bplist one;
  one.objects = {one.array({1}), SmallInt};
  const QByteArray sound = one.build();
  auto make = [](std::initializer_list<QByteArray> objects, quint64 top = 0) {
    Bplist p;
    p.objects = objects;
    p.top = top;
    return p.build();
  };
  Bplist b;
  const struct {
    const char* name;
    QByteArray data;
  } cases[] = {
      {"empty", QByteArray()},
      {"plain text", "hello world"},
      {"header only", "bplist00"},
      {"other binary version", "bplist15" + sound.mid(8)},
      {"truncated by one byte", sound.left(sound.size() - 1)},
      {"offset size zero", withTrailerByte(sound, 26, 0)},
      {"reference size nine", withTrailerByte(sound, 25, 9)},
      {"top object past the end", make({SmallInt}, 5)},
      {"no objects", one.build(0)},
      {"object count beyond the table", one.build(1000)},
      {"offset table past the end", one.build(-1, 100000)},
      {"offset table over the header", one.build(-1, 2)},
      {"reference out of range", make({b.array({9})})},
      {"array containing itself", make({b.array({0})})},
      {"two arrays in a cycle", make({b.array({1}), b.array({0})})},
      {"dictionary key not a string", make({QByteArray("\xD1\x01\x02", 3), SmallInt, SmallInt})},
      {"string longer than the file", make({QByteArray("\x5F\x10\xFF"
                                                       "abc",
                                                       6)})},
      {"length that is not an integer", make({QByteArray("\x5F\x50"
                                                         "abc",
                                                         5)})},
      {"unknown object type", make({QByteArray("\x70\x01", 2)})},
      {"null object", make({QByteArray("\x00", 1)})},
      {"integer of 32 bytes", make({QByteArray("\x15", 1) + QByteArray(32, '\1')})},
      {"date beyond the supported range",
       make({QByteArray("\x33", 1) + bigEndian(0x422D6352C0000000ULL, 8)})},
      {"nesting deeper than allowed", deepChain(PropertyList::MaximumDepth + 10)},
      {"shared objects expanding to 2^40 nodes", doublingChain(40)},
      {"unterminated xml", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><true/>"},
      {"xml that is not a plist", "<html><body>hi</body></html>"},
      {"xml nested too deeply", nestedXml(5000)},
      {"integer beyond int64",
       make({QByteArray("\x14", 1) + bigEndian(0, 8) + bigEndian(1ULL << 63, 8)})},
      {"integer of 128 bits", make({QByteArray("\x14", 1) + bigEndian(1, 8) + bigEndian(0, 8)})},
      {"xml empty integer", "<plist version=\"1.0\"><integer></integer></plist>"},
      {"xml integer beyond int64",
       "<plist version=\"1.0\"><integer>9223372036854775808</integer></plist>"},
      {"xml date that is not one", "<plist version=\"1.0\"><date>yesterday</date></plist>"},
      {"xml date beyond the supported range",
       "<plist version=\"1.0\"><date>4001-01-01T00:00:00Z</date></plist>"},
      {"xml value without key", "<plist version=\"1.0\"><dict><string>x</string></dict></plist>"},
      {"xml with a raw NUL byte",
       QByteArray("<plist version=\"1.0\"><string>a\0b</string></plist>", 49)},
      {"xml character reference to NUL", "<plist version=\"1.0\"><string>a&#0;b</string></plist>"},
      {"xml entity declarations",
       "<!DOCTYPE plist [<!ENTITY a \"aaaa\">]><plist><string>&a;</string></plist>"},
      {"xml unknown element", "<plist><array><foo/></array></plist>"},
      {"xml text between values", "<plist><array>text<true/></array></plist>"},
      {"xml key in an array", "<plist><array><key>k</key></array></plist>"},
      {"xml dictionary ending after a key", "<plist><dict><key>k</key></dict></plist>"},
      {"xml two values in the plist", "<plist><true/><false/></plist>"},
      {"xml plist without a value", "<plist></plist>"},
      {"xml plist inside an array", "<array><plist><true/></plist></array>"},
      {"xml element inside a string", "<plist><string>a<b/>c</string></plist>"},
      {"xml text inside a boolean", "<plist><true>yes</true></plist>"},
      {"xml data that is not base64", "<plist><data>!!!!</data></plist>"},
      {"xml real that is not one", "<plist><real>1,5</real></plist>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Error error;
    EXPECT_TRUE(rejected(c.data, &error));
    EXPECT_FALSE(error.localizedFailureReason().isEmpty());
  }
}

TEST(PropertyListMalformed, NestingIsBoundedByStructureInBothFormats) {
  QVariant deepest = true;
  for (int i = 0; i < PropertyList::MaximumDepth; ++i) deepest = QVariantList{deepest};
  for (PropertyListFormat format : {PropertyListFormat::Binary, PropertyListFormat::XML}) {
    const QByteArray data = PropertyList::dataWithPropertyList(deepest, format);
    ASSERT_FALSE(data.isEmpty());
    EXPECT_EQ(PropertyList::propertyListWithData(data), deepest);
    EXPECT_TRUE(PropertyList::dataWithPropertyList(QVariantList{deepest}, format).isEmpty());
  }
  // Closing tags where only a text scan would see them: the XML stays a
  // few hundred thousand levels deep. ("<" inside an attribute value is not
  // XML at all.)
  const int levels = 300000;
  const struct {
    const char* name;
    QByteArray data;
    bool wellFormed = true;
  } cases[] = {
      {"xml one level too deep", nestedXml(PropertyList::MaximumDepth + 1)},
      {"binary one level too deep", deepChain(PropertyList::MaximumDepth + 1)},
      {"closing tags in attribute values",
       "<plist>" + QByteArray("<array a=\"</array>\">").repeated(levels) + "<true/>" +
           QByteArray("</array>").repeated(levels) + "</plist>",
       false},
      {"closing tags in CDATA sections",
       "<plist>" + QByteArray("<array><string><![CDATA[</array>]]></string>").repeated(levels) +
           QByteArray("</array>").repeated(levels) + "</plist>"},
      {"closing tags in comments that look closed",
       "<plist>" + QByteArray("<array><!--></array>-->").repeated(levels) +
           QByteArray("</array>").repeated(levels) + "</plist>"},
      {"dictionaries behind keys", "<plist>" + QByteArray("<dict><key>k</key>").repeated(levels) +
                                       "<true/>" + QByteArray("</dict>").repeated(levels) +
                                       "</plist>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Error error;
    EXPECT_TRUE(rejected(c.data, &error));
    if (c.wellFormed) {
      EXPECT_EQ(error.localizedFailureReason(), QString("nesting too deep"));
    }
  }
}

TEST(PropertyListMalformed, SurvivesTruncationAtEveryLength) {
  QVariantMap sample{{"name", "layer"},
                     {"values", QVariantList{1, 2.5, true, QByteArray("xyz")}},
                     {"date", QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC)},
                     {"nested", QVariantMap{{"uid", QVariant::fromValue(fnd::PlistUID{3})}}}};
  const QByteArray binary = PropertyList::dataWithPropertyList(sample, PropertyListFormat::Binary);
  const QByteArray xml = PropertyList::dataWithPropertyList(sample, PropertyListFormat::XML);
  ASSERT_FALSE(binary.isEmpty());
  for (qsizetype n = 0; n < binary.size(); ++n) {
    Error error;
    // The trailer sits at the end, so every cut of a binary list is fatal.
    EXPECT_TRUE(rejected(binary.left(n), &error)) << "binary cut at " << n;
  }
  for (qsizetype n = 0; n < xml.size(); ++n)
    EXPECT_TRUE(consistent(xml.left(n))) << "xml cut at " << n;
}

TEST(PropertyListMalformed, SurvivesRandomDamage) {
  QVariantMap sample{{"layers", QVariantList{QVariantMap{{"name", "one"}, {"opacity", 0.5}},
                                             QVariantMap{{"name", QString::fromUtf8("twö")}}}},
                     {"thumbnail", QByteArray(64, '\x42')},
                     {"count", 123456789},
                     {"saved", QDateTime::fromSecsSinceEpoch(1600000000, Qt::UTC)}};
  QRandomGenerator random(20261208);
  for (PropertyListFormat format : {PropertyListFormat::Binary, PropertyListFormat::XML}) {
    const QByteArray original = PropertyList::dataWithPropertyList(sample, format);
    for (int round = 0; round < 3000; ++round) {
      ASSERT_TRUE(consistent(damage(original, random))) << "round " << round;
    }
  }
  for (int round = 0; round < 1000; ++round) {
    QByteArray noise("bplist00");
    const int length = 33 + int(random.bounded(400));
    for (int i = 0; i < length; ++i) noise.append(char(random.bounded(256)));
    ASSERT_TRUE(consistent(noise)) << "noise " << round;
  }
}
