#include "sharing/FBPercentEscapes.h"

#include <QStringDecoder>
#include <limits>

namespace {
int hexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}
}  // namespace

std::optional<QString> percentDecodedUTF8(const QString& text) {
  QByteArray bytes;
  bytes.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] != u'%') {
      bytes += text.mid(i, 1).toUtf8();
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = hexDigit(text[i + 1].unicode());
    const int low = hexDigit(text[i + 2].unicode());
    if (high < 0 || low < 0) return std::nullopt;
    bytes += char(high * 16 + low);
    i += 2;
  }
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString decoded = decoder.decode(bytes);
  if (decoder.hasError()) return std::nullopt;
  return decoded;
}

qint64 integerValue(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  qint64 value = 0;
  const qint64 limit = std::numeric_limits<qint64>::max();
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    const int digit = text[i].unicode() - u'0';
    if (value > (limit - digit) / 10) return negative ? std::numeric_limits<qint64>::min() : limit;
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

int intValue(const QString& text) {
  const qint64 value = integerValue(text);
  if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (value < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return int(value);
}
