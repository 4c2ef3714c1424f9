#include "foundation/XmlPlistText.h"

#include <QRegularExpression>
#include <limits>

namespace fnd {

namespace {

// Dates count seconds from 2001-01-01 UTC; the writer keeps them in 32 bits.
constexpr qint64 ReferenceDateSecs = 978307200LL;

bool isSpace(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

QStringView trimmed(QStringView text) {
  while (!text.isEmpty() && isSpace(text.front())) text = text.mid(1);
  while (!text.isEmpty() && isSpace(text.back())) text.chop(1);
  return text;
}

int digitValue(QChar c, int base) {
  const char16_t u = c.unicode();
  int digit = 99;
  if (u >= u'0' && u <= u'9') digit = u - u'0';
  if (u >= u'a' && u <= u'f') digit = 10 + (u - u'a');
  if (u >= u'A' && u <= u'F') digit = 10 + (u - u'A');
  return digit < base ? digit : -1;
}

// Digits in `base`, single underscores between them, summed without wrapping.
bool magnitude(QStringView text, int base, quint64* value) {
  quint64 sum = 0;
  bool afterDigit = false;
  for (QChar c : text) {
    if (c == u'_' && afterDigit) {
      afterDigit = false;
      continue;
    }
    const int digit = digitValue(c, base);
    if (digit < 0 || qMulOverflow(sum, quint64(base), &sum) ||
        qAddOverflow(sum, quint64(digit), &sum))
      return false;
    afterDigit = true;
  }
  *value = sum;
  return afterDigit;
}

// Consumes decimal digits with single underscores between them from the
// front of `text`, appending the digits to `out`; false when none are there.
bool digitPart(QStringView* text, QByteArray* out) {
  qsizetype i = 0;
  while (i < text->size()) {
    if (text->at(i) == u'_' && i > 0 && i + 1 < text->size() &&
        digitValue(text->at(i + 1), 10) >= 0)
      ++i;
    if (digitValue(text->at(i), 10) < 0) break;
    out->append(char(text->at(i).unicode()));
    ++i;
  }
  *text = text->mid(i);
  return i > 0;
}

bool takeSign(QStringView* text, QByteArray* out) {
  if (text->isEmpty() || (text->front() != u'+' && text->front() != u'-')) return false;
  out->append(char(text->front().unicode()));
  *text = text->mid(1);
  return true;
}

// Python's float() literal without its words: digits, point, exponent.
bool decimalReal(QStringView text, QByteArray* out) {
  takeSign(&text, out);
  const bool whole = digitPart(&text, out);
  bool fraction = false;
  if (text.startsWith(u'.')) {
    out->append('.');
    text = text.mid(1);
    fraction = digitPart(&text, out);
  }
  if (!whole && !fraction) return false;
  if (text.startsWith(u'e') || text.startsWith(u'E')) {
    out->append('e');
    text = text.mid(1);
    takeSign(&text, out);
    if (!digitPart(&text, out)) return false;
  }
  return text.isEmpty();
}

bool specialReal(QStringView text, double* value) {
  const bool negative = text.startsWith(u'-');
  if (negative || text.startsWith(u'+')) text = text.mid(1);
  if (text.compare(u"nan", Qt::CaseInsensitive) == 0) {
    *value = std::numeric_limits<double>::quiet_NaN();
  } else if (text.compare(u"inf", Qt::CaseInsensitive) == 0 ||
             text.compare(u"infinity", Qt::CaseInsensitive) == 0) {
    *value = std::numeric_limits<double>::infinity();
  } else {
    return false;
  }
  if (negative) *value = -*value;
  return true;
}

}  // namespace

bool XmlPlistText::integer(QStringView text, qint64* value) {
  constexpr quint64 Largest = quint64(std::numeric_limits<qint64>::max());
  quint64 size = 0;
  // Hexadecimal only when the prefix comes first; spaces only after the digits.
  if (text.startsWith(u"0x") || text.startsWith(u"0X")) {
    QStringView digits = text.mid(2);
    while (!digits.isEmpty() && isSpace(digits.back())) digits.chop(1);
    if (digits.startsWith(u'_')) digits = digits.mid(1);
    if (!magnitude(digits, 16, &size) || size > Largest) return false;
    *value = qint64(size);
    return true;
  }
  QStringView digits = trimmed(text);
  const bool negative = digits.startsWith(u'-');
  if (negative || digits.startsWith(u'+')) digits = digits.mid(1);
  if (!magnitude(digits, 10, &size) || size > Largest + (negative ? 1 : 0)) return false;
  *value = negative ? qint64(0 - size) : qint64(size);
  return true;
}

bool XmlPlistText::real(QStringView text, double* value) {
  text = trimmed(text);
  if (specialReal(text, value)) return true;
  QByteArray literal;
  if (!decimalReal(text, &literal)) return false;
  bool ok = false;
  *value = literal.toDouble(&ok);
  return ok;
}

bool XmlPlistText::date(QStringView text, QDateTime* value) {
  static const QRegularExpression form(
      QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T([01]\\d|2[0-3]):\\d{2}:\\d{2}(\\.\\d+)?Z$"));
  const QString iso = trimmed(text).toString();
  if (!form.match(iso).hasMatch()) return false;
  const QDateTime date = QDateTime::fromString(iso, Qt::ISODateWithMs);
  if (!date.isValid()) return false;
  const qint64 seconds = date.toSecsSinceEpoch() - ReferenceDateSecs;
  if (seconds <= std::numeric_limits<qint32>::min() ||
      seconds >= std::numeric_limits<qint32>::max())
    return false;
  *value = date.toUTC();
  return true;
}

bool XmlPlistText::data(QStringView text, QByteArray* value) {
  QByteArray base64;
  base64.reserve(text.size());
  for (QChar c : text) {
    if (isSpace(c)) continue;
    if (c.unicode() > 0x7F) return false;
    base64.append(char(c.unicode()));
  }
  auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
  if (!decoded) return false;
  *value = std::move(*decoded);
  return true;
}

}  // namespace fnd
