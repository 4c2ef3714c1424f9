// The text of XML property-list scalars: which spellings are integers, reals,
// dates and data. Numbers take the forms other property-list readers accept
// (leading zeros stay decimal, "0x" is hexadecimal, single underscores may
// separate digits, spaces around); any other spelling, and any integer beyond
// 64 bits, is refused rather than read as a wrong number.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QStringView>

namespace fnd {

class XmlPlistText {
 public:
  // Integers are read back as qint64, so larger unsigned ones are refused.
  static bool integer(QStringView text, qint64* value);
  // Reals beyond the range of a double are refused; "nan", "inf" and
  // "infinity" (any case, signed) are not.
  static bool real(QStringView text, double* value);
  // "yyyy-MM-ddTHH:mm:ss[.fff]Z", within the range the writer can store.
  static bool date(QStringView text, QDateTime* value);
  // Base64 with any XML whitespace inside.
  static bool data(QStringView text, QByteArray* value);
};

}  // namespace fnd
