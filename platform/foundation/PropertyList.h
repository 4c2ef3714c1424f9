// Property lists: trees of QVariant values read from and written to the
// binary ("bplist00") and XML formats. Written by libplist. Binary input is
// checked structurally before libplist parses it, so hostile files fail with
// an error instead of reaching the parser's weak spots; XML input is read by
// Qt's XML tokenizer (XmlPlistReader), which checks as it goes.
#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QVariant>

#include "foundation/Error.h"

namespace fnd {

enum class PropertyListFormat { Binary, XML };

// A keyed-archive object reference. Only the binary format has a native
// encoding; XML writes it as a {"CF$UID": n} dictionary.
struct PlistUID {
  quint64 value = 0;
  bool operator==(const PlistUID& other) const { return value == other.value; }
  bool operator!=(const PlistUID& other) const { return value != other.value; }
};

class PropertyList {
 public:
  // Supported values: bool, signed and unsigned integers, float/double,
  // QString, QByteArray (data), QDateTime (date), QVariantList (array),
  // QVariantMap (dictionary), PlistUID. Anything else, a null QVariant
  // included, fails with PropertyListWriteInvalidError and returns empty.
  // Dates are limited to about 1933..2068 (the library keeps 32-bit seconds
  // from 2001), kept to the microsecond in binary and to the second in XML.
  // Strings and keys cannot hold NUL characters (the library passes C
  // strings), nor in XML other control characters than tab and line ends,
  // or U+FFFE and U+FFFF (XML cannot hold them); unsigned values beyond
  // qint64 are refused.
  static QByteArray dataWithPropertyList(const QVariant& plist, PropertyListFormat format,
                                         Error* error = nullptr);

  // Detects the format (reported through `format` when given). Integers
  // come back as qint64, reals as double, dates as UTC QDateTime. Malformed
  // input fails with PropertyListReadCorruptError and returns a null QVariant.
  static QVariant propertyListWithData(const QByteArray& data, PropertyListFormat* format = nullptr,
                                       Error* error = nullptr);

  // Arrays and dictionaries nested deeper than this (a top-level array is
  // one deep) are refused on read and on write, in both formats.
  static constexpr int MaximumDepth = 512;
};

}  // namespace fnd

Q_DECLARE_METATYPE(fnd::PlistUID)
