// The reader against every error of its catalogue, its leniencies, numbers,
// escapes and nesting.
#include <gtest/gtest.h>

#include "sharing/DMDecimalNumber.h"
#include "sharing/DMJSON.h"
#include "sharing/DMJsonParser.h"
#include "sharing/DMJsonWriter.h"

namespace {

// The trace as "code:message" lines, innermost first.
QStringList traceOf(const DMJsonBase& json) {
  QStringList lines;
  for (const fnd::Error& error : json.errorTrace())
    lines.append(QStringLiteral("%1:%2").arg(error.code()).arg(error.localizedDescription()));
  return lines;
}

QString sortedCompact(const QVariant& value) {
  DMJsonWriter writer;
  writer.setSortKeys(true);
  return writer.stringWithFragment(value);
}

QVariant decimal(const char* text) { return QVariant::fromValue(*DMDecimalNumber::fromText(text)); }

}  // namespace

TEST(DMJsonParser, ReportsEveryErrorWithItsTrace) {
  struct Case {
    const char* text;
    QStringList trace;
  };
  const Case cases[] = {
      {"[1,2,]", {"9:Trailing comma disallowed in array"}},
      {"{\"a\":1,}", {"9:Trailing comma disallowed in object"}},
      {"[01]", {"2:Leading 0 disallowed in number", "3:Expected value while parsing array"}},
      {"[-]", {"2:No digits after initial minus", "3:Expected value while parsing array"}},
      {"[1.]", {"2:No digits after decimal point", "3:Expected value while parsing array"}},
      {"[1e+]", {"2:No digits after exponent", "3:Expected value while parsing array"}},
      {"[+1]", {"2:Leading + disallowed in number", "3:Expected value while parsing array"}},
      {"[1e999999]",
       {"2:Failed creating decimal instance", "3:Expected value while parsing array"}},
      {"5", {"4:Valid fragment, but not JSON"}},
      {"\"s\"", {"4:Valid fragment, but not JSON"}},
      {"[1] x", {"10:Garbage after JSON"}},
      {"", {"11:Unexpected end of string"}},
      {"   ", {"11:Unexpected end of string"}},
      {"[1", {"11:End of input while parsing array"}},
      {"{\"a\":1", {"11:End of input while parsing object"}},
      {"[\"ab", {"5:Unescaped control character '0x0'", "3:Expected value while parsing array"}},
      {"[\"a\tb\"]",
       {"5:Unescaped control character '0x9'", "3:Expected value while parsing array"}},
      {"[\"ab\\n",
       {"11:Unexpected EOF while parsing string", "3:Expected value while parsing array"}},
      {"[\"\\q\"]", {"8:Illegal escape sequence '0x71'", "3:Expected value while parsing array"}},
      {"[\"\\u12x4\"]",
       {"6:Missing hex digit in quad", "6:Missing hex quad", "6:Broken unicode character",
        "3:Expected value while parsing array"}},
      {"[\"\\udc00\"]",
       {"6:Invalid high character in surrogate pair", "6:Broken unicode character",
        "3:Expected value while parsing array"}},
      {"[\"\\ud800x\"]",
       {"6:Missing low character in surrogate pair", "6:Broken unicode character",
        "3:Expected value while parsing array"}},
      {"[\"\\ud800\\u00zz\"]",
       {"6:Missing hex digit in quad", "6:Missing low character in surrogate pair",
        "6:Broken unicode character", "3:Expected value while parsing array"}},
      {"[\"\\ud800\\u0041\"]",
       {"6:Invalid low surrogate char", "6:Broken unicode character",
        "3:Expected value while parsing array"}},
      {"[x]", {"3:Unrecognised leading character", "3:Expected value while parsing array"}},
      {"[tru]", {"3:Expected 'true'", "3:Expected value while parsing array"}},
      {"[fals]", {"3:Expected 'false'", "3:Expected value while parsing array"}},
      {"[nul]", {"3:Expected 'null'", "3:Expected value while parsing array"}},
      {"[ ", {"11:Unexpected end of string", "3:Expected value while parsing array"}},
      {"{1:2}", {"3:Object key string expected"}},
      {"{\"a\\q\":2}", {"8:Illegal escape sequence '0x71'", "3:Object key string expected"}},
      {"{\"a\" 2}", {"3:Expected ':' separating key and value"}},
      {"{\"a\":}", {"3:Unrecognised leading character", "3:Object value expected for key: a"}},
  };
  for (const Case& c : cases) {
    DMJsonParser parser;
    EXPECT_FALSE(parser.objectWithString(QString::fromUtf8(c.text)).isValid()) << c.text;
    EXPECT_EQ(traceOf(parser).join(" | ").toStdString(),
              QStringList(c.trace).join(" | ").toStdString())
        << c.text;
    for (const fnd::Error& error : parser.errorTrace())
      EXPECT_EQ(error.domain(), "org.dellmora.JSON.ErrorDomain");
  }
  DMJsonParser parser;
  EXPECT_FALSE(parser.objectWithString(QString()).isValid());
  EXPECT_EQ(traceOf(parser).join(" | ").toStdString(),
            QStringList(QStringList{"12:Input was 'nil'"}).join(" | ").toStdString());
}

TEST(DMJsonParser, ReadsValuesWithItsLeniencies) {
  struct Case {
    const char* text;
    const char* written;  // the value read, written back compactly with sorted keys
  };
  const Case cases[] = {
      {"[1 2]", "[1,2]"},
      {"{\"a\":1 \"b\":2}", "{\"a\":1,\"b\":2}"},
      {"[truex]", nullptr},  // nothing after a literal is looked at...
      {"[true false null]", "[true,false,null]"},
      {" \t\r\n\v\f[ ] \n", "[]"},
      {"{\"a\":1,\"a\":2}", "{\"a\":2}"},
      {"[-0.5E-3, 0, -0, 12e2, 1.50]", "[-0.0005,0,0,1200,1.5]"},
      {"[\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"]", "[\"\\\"\\\\/\\b\\f\\n\\r\\t\"]"},
      {"[\"\\u00e9\\u20AC\"]", "[\"é€\"]"},
      {"[\"\\ud83d\\ude00\"]", "[\"😀\"]"},
      {"{\"é\":[{}]}", "{\"é\":[{}]}"},
  };
  for (const Case& c : cases) {
    DMJsonParser parser;
    const QVariant value = parser.objectWithString(QString::fromUtf8(c.text));
    if (!c.written) {
      EXPECT_EQ(
          traceOf(parser).join(" | ").toStdString(),
          QStringList({"3:Unrecognised leading character", "3:Expected value while parsing array"})
              .join(" | ")
              .toStdString())
          << c.text;
      continue;
    }
    EXPECT_TRUE(parser.errorTrace().isEmpty()) << c.text << traceOf(parser).join(' ').toStdString();
    EXPECT_EQ(sortedCompact(value), QString::fromUtf8(c.written)) << c.text;
  }
  // ...but the literal itself was taken: the x is the next element's start.
  DMJsonParser parser;
  EXPECT_EQ(parser.objectWithString("[truefalse]"), QVariant(QVariantList{true, false}));
  EXPECT_EQ(parser.fragmentWithString("5"), decimal("5"));
  const QString emoji =
      parser.objectWithString("[\"\\ud83d\\ude00\"]").toList().value(0).toString();
  EXPECT_EQ(emoji, QString::fromUcs4(U"\U0001F600"));
  EXPECT_EQ(emoji.size(), 2);
  EXPECT_EQ(parser.objectWithString("[\"\\ud800\\udfff\"]").toList().value(0).toString(),
            QString::fromUcs4(U"\U000103FF"));
}

TEST(DMJsonParser, KeepsNumbersAsDecimalsFromTheirText) {
  const struct {
    const char* text;
    const char* value;
  } cases[] = {
      {"12345678901234567890123456789012345678", "12345678901234567890123456789012345678"},
      {"123456789012345678901234567890123456785", "123456789012345678901234567890123456790"},
      {"0.1", "0.1"},
      {"-1.25e-2", "-0.0125"},
      {"9007199254740993", "9007199254740993"},
      {"1e-200", "0"},
      {"99999999999999999999999999999999999999", "99999999999999999999999999999999999999"},
      {"999999999999999999999999999999999999995", "1000000000000000000000000000000000000000"},
  };
  for (const auto& c : cases) {
    const auto number = DMDecimalNumber::fromText(c.text);
    ASSERT_TRUE(number) << c.text;
    if (c.value) {
      EXPECT_EQ(number->stringValue(), QString::fromLatin1(c.value)) << c.text;
    }
  }
  EXPECT_EQ(DMDecimalNumber::fromText("1e127")->stringValue(), "1" + QString(127, '0'));
  EXPECT_EQ(DMDecimalNumber::fromText("10e126"), DMDecimalNumber::fromText("1e127"));
  EXPECT_FALSE(DMDecimalNumber::fromText("1e166"));
  const auto large = DMDecimalNumber::fromText("4e140");
  EXPECT_EQ(large->stringValue(), "4" + QString(140, '0'));
  EXPECT_EQ(DMDecimalNumber::fromText(large->stringValue().toLatin1()), large);
  EXPECT_EQ(DMDecimalNumber::fromText("-2.5")->doubleValue(), -2.5);
}

TEST(DMJsonParser, StopsNestingAtTheLimit) {
  const auto nested = [](int levels) { return QString(levels, u'[') + QString(levels, u']'); };
  DMJsonParser parser;
  EXPECT_TRUE(parser.objectWithString(nested(512)).isValid());
  EXPECT_FALSE(parser.objectWithString(nested(513)).isValid());
  EXPECT_EQ(parser.errorTrace().first().code(), 7);
  EXPECT_EQ(parser.errorTrace().first().localizedDescription(), "Nested too deep");
  parser.setMaxDepth(0);
  EXPECT_TRUE(parser.objectWithString(nested(int(DMJsonBase::hardDepthLimit))).isValid());
  EXPECT_FALSE(parser.objectWithString(nested(1000000)).isValid());
  EXPECT_EQ(parser.errorTrace().first().localizedDescription(), "Nested too deep");
}

TEST(DMJSON, ReportsTheOutermostErrorAndKeepsTheTraceUntilTheNextFailure) {
  DMJSON json;
  fnd::Error error;
  EXPECT_FALSE(json.objectWithString("[\"\\q\"]", &error).isValid());
  EXPECT_EQ(error.code(), 3);
  EXPECT_EQ(error.localizedDescription(), "Expected value while parsing array");
  EXPECT_EQ(error.underlyingError().code(), 8);
  EXPECT_EQ(error.underlyingError().localizedDescription(), "Illegal escape sequence '0x71'");
  EXPECT_TRUE(error.underlyingError().underlyingError().isNull());

  EXPECT_TRUE(json.objectWithString("[1]").isValid());
  EXPECT_EQ(traceOf(json).size(), 2);
  EXPECT_EQ(json.fragmentWithString("5", &error), decimal("5"));
  EXPECT_FALSE(json.objectWithString("5", &error).isValid());
  EXPECT_EQ(traceOf(json).join(" | ").toStdString(),
            QStringList(QStringList{"4:Valid fragment, but not JSON"}).join(" | ").toStdString());

  int changes = 0;
  json.addObserver(
      "errorTrace", fnd::ObservingNew,
      [&](fnd::Observable*, const QString&, const fnd::KeyValueChange&) { ++changes; });
  json.setMaxDepth(1);
  EXPECT_FALSE(json.objectWithString("[[1]]").isValid());
  EXPECT_GE(changes, 2);
  EXPECT_EQ(json.errorTrace().first().code(), 7);
}
