#include <gtest/gtest.h>

#include "PlistPeer.h"
#include "foundation/PropertyList.h"

using fnd::Error;
using fnd::PropertyList;

namespace {

QByteArray plistWith(const char* value) {
  return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">") + value +
         "</plist>";
}

}  // namespace

// Every spelling of a number reads as plistlib reads it, or is refused where
// plistlib refuses it: none comes back as a different number.
TEST(XmlPlistText, NumbersReadAsPlistlibReadsThem) {
  if (!peer::available()) GTEST_SKIP() << "python3 is not installed";
  const char* const cases[] = {
      "<integer>5</integer>",
      "<integer >5</integer >",
      "<integer>-5</integer>",
      "<integer>+5</integer>",
      "<integer>010</integer>",
      "<integer>-0</integer>",
      "<integer> 7 </integer>",
      "<integer>\n\t7\n</integer>",
      "<integer>0x10</integer>",
      "<integer>0X1f</integer>",
      "<integer>0x_1f</integer>",
      "<integer>0x1f\n</integer>",
      "<integer>0x 1f</integer>",
      "<integer> 0x10</integer>",
      "<integer>-0x10</integer>",
      "<integer>0x</integer>",
      "<integer>0b101</integer>",
      "<integer>1_000</integer>",
      "<integer>1__0</integer>",
      "<integer>_1</integer>",
      "<integer>1_</integer>",
      "<integer></integer>",
      "<integer/>",
      "<integer>abc</integer>",
      "<integer>1.5</integer>",
      "<integer>5 5</integer>",
      "<integer>5<!-- comment -->6</integer>",
      "<integer><![CDATA[42]]></integer>",
      "<integer>9223372036854775807</integer>",
      "<integer>-9223372036854775808</integer>",
      "<integer>0x7fffffffffffffff</integer>",
      "<real>1.5</real>",
      "<real> 2.5 </real>",
      "<real>-.5</real>",
      "<real>5.</real>",
      "<real>7</real>",
      "<real>1e5</real>",
      "<real>1E+5</real>",
      "<real>2.5e-320</real>",
      "<real>1.7976931348623157e308</real>",
      "<real>1_0.5</real>",
      "<real>1_.5</real>",
      "<real>1e_5</real>",
      "<real>nan</real>",
      "<real>-inf</real>",
      "<real>+Infinity</real>",
      "<real>1,5</real>",
      "<real>0x10</real>",
      "<real></real>",
      "<real>.</real>",
      "<real>e5</real>",
      "<real>1e</real>",
  };
  QList<QByteArray> inputs;
  for (const char* value : cases) inputs.append(plistWith(value));
  QList<QVariant> theirs;
  QString log;
  ASSERT_TRUE(peer::loadEach(inputs, &theirs, &log)) << log.toStdString();
  for (qsizetype i = 0; i < inputs.size(); ++i) {
    SCOPED_TRACE(cases[i]);
    Error error;
    const QVariant ours = PropertyList::propertyListWithData(inputs[i], nullptr, &error);
    EXPECT_EQ(ours.isValid(), theirs[i].isValid());
    EXPECT_EQ(ours.isValid(), error.isNull());
    if (ours.isValid() && theirs[i].isValid()) {
      EXPECT_TRUE(peer::same(ours, theirs[i]))
          << peer::describe(ours).toStdString() << " " << peer::describe(theirs[i]).toStdString();
    }
  }
}

// plistlib keeps integers of any size and reals beyond a double's range as
// infinity; values that cannot come back as written are refused instead.
TEST(XmlPlistText, NumbersBeyondTheirTypeAreRefused) {
  const char* const cases[] = {
      "<integer>9223372036854775808</integer>",
      "<integer>-9223372036854775809</integer>",
      "<integer>18446744073709551617</integer>",
      "<integer>0xffffffffffffffff</integer>",
      "<integer>340282366920938463463374607431768211457</integer>",
      "<real>1e400</real>",
      "<real>-1e400</real>",
  };
  for (const char* value : cases) {
    SCOPED_TRACE(value);
    Error error;
    EXPECT_FALSE(PropertyList::propertyListWithData(plistWith(value), nullptr, &error).isValid());
    EXPECT_EQ(error.code(), fnd::PropertyListReadCorruptError);
  }
}
