// The writer's layouts, escapes and refusals, and a round trip through the
// reader on generated values.
#include <gtest/gtest.h>

#include <QDateTime>
#include <cmath>
#include <random>

#include "sharing/DMDecimalNumber.h"
#include "sharing/DMJSON.h"
#include "sharing/DMJsonParser.h"
#include "sharing/DMJsonWriter.h"
#include "sharing/NSObject_DMJSON.h"
#include "sharing/NSString_DMJSON.h"

namespace {

QVariant decimal(const char* text) { return QVariant::fromValue(*DMDecimalNumber::fromText(text)); }

QStringList traceOf(const DMJsonBase& json) {
  QStringList lines;
  for (const fnd::Error& error : json.errorTrace())
    lines.append(QStringLiteral("%1:%2").arg(error.code()).arg(error.localizedDescription()));
  return lines;
}

}  // namespace

TEST(DMJsonWriter, WritesCompactAndHumanReadableLayouts) {
  const QVariantMap object{{"a", QVariantList{1, 2}}};
  struct Case {
    QVariant value;
    const char* compact;
    const char* human;
  };
  const Case cases[] = {
      {object, "{\"a\":[1,2]}", "{\n  \"a\" : [\n    1,\n    2\n  ]\n}"},
      {QVariantList{}, "[]", "[]"},
      {QVariantMap{}, "{}", "{}"},
      {QVariantList{true, false, DMJsonNull(), decimal("-0.5e-3"), 1, 2.5, qint64(1) << 60},
       "[true,false,null,-0.0005,1,2.5,1152921504606846976]", nullptr},
      {QVariantList{QString("a\tb"), QString(QChar(1)), QString("x/y"), QString("\"\\\b\f\n\r"),
                    QString::fromUtf8("é😀")},
       "[\"a\\tb\",\"\\u0001\",\"x/y\",\"\\\"\\\\\\b\\f\\n\\r\",\"é😀\"]", nullptr},
      {QVariantList{QVariantMap{{"b", 1}, {"a", QVariantList{}}}}, "[{\"a\":[],\"b\":1}]",
       "[\n  {\n    \"a\" : [],\n    \"b\" : 1\n  }\n]"},
  };
  for (const Case& c : cases) {
    DMJsonWriter writer;
    EXPECT_EQ(writer.stringWithObject(c.value), QString::fromUtf8(c.compact));
    if (!c.human) continue;
    writer.setHumanReadable(true);
    EXPECT_EQ(writer.stringWithObject(c.value), QString::fromUtf8(c.human));
  }
  QVariantHash hash{{"b", 1}, {"a", 2}, {"c", 3}, {"B", 4}};
  DMJsonWriter writer;
  writer.setSortKeys(true);
  EXPECT_EQ(writer.stringWithObject(hash), "{\"B\":4,\"a\":2,\"b\":1,\"c\":3}");
}

TEST(DMJsonWriter, RefusesWhatItCannotWrite) {
  struct Case {
    QVariant value;
    bool fragment;
    QStringList trace;
  };
  const Case cases[] = {
      {QString("s"), false, {"4:Not valid type for JSON"}},
      {1, false, {"4:Not valid type for JSON"}},
      {QVariantList{QDateTime()}, false, {"1:JSON serialisation not supported for QDateTime"}},
      {QVariantMap{{"k", QByteArray("x")}},
       false,
       {"1:JSON serialisation not supported for QByteArray",
        "1:Unsupported value for key k in object"}},
      {QVariantList{std::nan("")}, false, {"1:JSON serialisation not supported for double"}},
      {std::numeric_limits<double>::infinity(),
       true,
       {"1:JSON serialisation not supported for double"}},
      {QVariant(), true, {"1:JSON serialisation not supported for (null)"}},
  };
  for (const Case& c : cases) {
    DMJsonWriter writer;
    const QString json =
        c.fragment ? writer.stringWithFragment(c.value) : writer.stringWithObject(c.value);
    EXPECT_TRUE(json.isNull()) << json.toStdString();
    EXPECT_EQ(traceOf(writer).join(" | ").toStdString(),
              QStringList(c.trace).join(" | ").toStdString());
  }
  DMJsonWriter writer;
  EXPECT_EQ(writer.stringWithFragment(QString("s")), "\"s\"");
  EXPECT_TRUE(writer.errorTrace().isEmpty());
}

TEST(DMJsonWriter, StopsNestingAtTheLimit) {
  const auto nested = [](int levels) {
    QVariant value = QVariantList{};
    for (int i = 1; i < levels; ++i) value = QVariantList{value};
    return value;
  };
  DMJSON json;
  EXPECT_FALSE(json.stringWithObject(nested(512)).isNull());
  fnd::Error error;
  EXPECT_TRUE(json.stringWithObject(nested(513), &error).isNull());
  EXPECT_EQ(json.errorTrace().first().localizedDescription(), "Nested too deep");
  json.setMaxDepth(0);
  EXPECT_FALSE(json.stringWithObject(nested(2000)).isNull());
  EXPECT_TRUE(json.stringWithObject(nested(int(DMJsonBase::hardDepthLimit) + 1)).isNull());
}

TEST(DMJsonConvenience, ReadAndWriteOrLogTheTrace) {
  static QStringList logged;
  const auto previous = qInstallMessageHandler(
      [](QtMsgType, const QMessageLogContext&, const QString& text) { logged.append(text); });
  EXPECT_EQ(JSONRepresentation(QVariantList{1}), "[1]");
  EXPECT_EQ(JSONFragment(true), "true");
  EXPECT_EQ(JSONValue("[1]"), QVariant(QVariantList{decimal("1")}));
  EXPECT_EQ(JSONFragmentValue("null"), DMJsonNull());
  EXPECT_TRUE(logged.isEmpty());
  EXPECT_TRUE(JSONRepresentation(1).isNull());
  EXPECT_TRUE(JSONFragment(QVariant()).isNull());
  EXPECT_FALSE(JSONValue("1").isValid());
  EXPECT_FALSE(JSONFragmentValue("[").isValid());
  qInstallMessageHandler(previous);
  ASSERT_EQ(logged.size(), 4);
  EXPECT_TRUE(logged[0].startsWith("-JSONRepresentation failed. Error trace is: ("));
  EXPECT_TRUE(logged[0].contains("Not valid type for JSON"));
  EXPECT_TRUE(logged[1].startsWith("-JSONFragment failed. Error trace is: "));
  EXPECT_TRUE(logged[2].startsWith("-JSONValue failed. Error trace is: "));
  EXPECT_TRUE(logged[3].contains("End of input while parsing array"));
}

namespace {

// Values as the reader gives them back: maps, lists, strings of any
// characters (control characters and surrogate pairs included), decimals,
// booleans and null.
class ValueGenerator {
 public:
  explicit ValueGenerator(unsigned seed) : random_(seed) {}

  QVariant container(int depth) {
    if (pick(2) == 0) {
      QVariantMap map;
      for (int i = pick(5); i > 0; --i) map.insert(string(), value(depth + 1));
      return map;
    }
    QVariantList list;
    for (int i = pick(5); i > 0; --i) list.append(value(depth + 1));
    return list;
  }

 private:
  int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }

  QVariant value(int depth) {
    switch (pick(depth > 5 ? 5 : 7)) {
      case 0:
        return string();
      case 1:
        return number();
      case 2:
        return bool(pick(2));
      case 3:
        return DMJsonNull();
      case 4:
        return number();
      default:
        return container(depth);
    }
  }

  QString string() {
    QString text;
    for (int i = pick(12); i > 0; --i) {
      switch (pick(5)) {
        case 0:
          text += QChar(pick(0x20));
          break;
        case 1:
          text += QChar(u"\"\\/ab"[pick(5)]);
          break;
        case 2:
          text += QChar(0x80 + pick(0xD800 - 0x80));
          break;
        case 3:
          text += QString::fromUcs4(
              std::array<char32_t, 1>{char32_t(0x10000 + pick(0x100000))}.data(), 1);
          break;
        default:
          text += QChar(0xE000 + pick(0x2000));
          break;
      }
    }
    return text;
  }

  QVariant number() {
    std::string text = pick(2) ? "-" : "";
    text += std::to_string(std::uniform_int_distribution<long long>(0, 1LL << 62)(random_));
    if (pick(2)) text += "." + std::to_string(pick(100000));
    if (pick(2)) text += "e" + std::to_string(pick(40) - 20);
    return QVariant::fromValue(*DMDecimalNumber::fromText(QByteArrayView(text)));
  }

  std::mt19937 random_;
};

}  // namespace

TEST(DMJson, WrittenValuesReadBackEqual) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    const QVariant value = ValueGenerator(seed).container(0);
    for (bool human : {false, true}) {
      DMJSON json;
      json.setHumanReadable(human);
      const QString text = json.stringWithObject(value);
      ASSERT_FALSE(text.isNull()) << seed;
      const QVariant read = json.objectWithString(text);
      ASSERT_EQ(read, value) << seed << " " << text.toStdString();
    }
  }
}
