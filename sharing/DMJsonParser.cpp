#include "sharing/DMJsonParser.h"

#include <array>

#include "sharing/DMDecimalNumber.h"

namespace {

// Bytes that end a run of ordinary string bytes: the quote, the backslash,
// the control bytes; the terminating NUL ends it too.
const std::array<bool, 256> kStopSet = [] {
  std::array<bool, 256> set{};
  for (int byte = 0; byte < 0x20; ++byte) set[byte] = true;
  set['"'] = set['\\'] = true;
  return set;
}();

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int hexValue(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

QString byteMessage(const char* format, char byte) {
  return QString::asprintf(format, unsigned(static_cast<unsigned char>(byte)));
}

}  // namespace

QVariant DMJsonParser::objectWithString(const QString& text) {
  QVariant value = fragmentWithString(text);
  if (!value.isValid()) return {};
  const int type = value.typeId();
  if (type == QMetaType::QVariantMap || type == QMetaType::QVariantList) return value;
  addErrorWithCode(4, QStringLiteral("Valid fragment, but not JSON"));
  return {};
}

QVariant DMJsonParser::fragmentWithString(const QString& text) {
  clearErrorTrace();
  if (text.isNull()) {
    addErrorWithCode(12, QStringLiteral("Input was 'nil'"));
    return {};
  }
  depth_ = 0;
  const QByteArray utf8 = text.toUtf8();
  c_ = utf8.constData();
  QVariant value;
  const bool scanned = scanValue(value);
  const bool atEnd = scanned && scanIsAtEnd();
  c_ = nullptr;
  if (!scanned) return {};
  if (!atEnd) {
    addErrorWithCode(10, QStringLiteral("Garbage after JSON"));
    return {};
  }
  return value;
}

void DMJsonParser::skipWhitespace() {
  while (isSpace(*c_)) ++c_;
}

bool DMJsonParser::scanIsAtEnd() {
  skipWhitespace();
  return *c_ == '\0';
}

bool DMJsonParser::scanValue(QVariant& value) {
  skipWhitespace();
  const char ch = *c_;
  if (ch == '\0') {
    addErrorWithCode(11, QStringLiteral("Unexpected end of string"));
    return false;
  }
  ++c_;
  switch (ch) {
    case '"': {
      QString string;
      if (!scanRestOfString(string)) return false;
      value = string;
      return true;
    }
    case '{': {
      QVariantMap dictionary;
      if (!scanRestOfDictionary(dictionary)) return false;
      value = dictionary;
      return true;
    }
    case '[': {
      QVariantList array;
      if (!scanRestOfArray(array)) return false;
      value = array;
      return true;
    }
    case 't':
      return scanRestOfTrue(value);
    case 'f':
      return scanRestOfFalse(value);
    case 'n':
      return scanRestOfNull(value);
    case '+':
      addErrorWithCode(2, QStringLiteral("Leading + disallowed in number"));
      return false;
    default:
      if (ch == '-' || isDigit(ch)) {
        --c_;
        return scanNumber(value);
      }
      addErrorWithCode(3, QStringLiteral("Unrecognised leading character"));
      return false;
  }
}

bool DMJsonParser::scanLiteral(const char* rest, const char* message) {
  for (const char* expected = rest; *expected; ++expected, ++c_) {
    if (*c_ != *expected) {
      addErrorWithCode(3, QString::fromLatin1(message));
      return false;
    }
  }
  return true;
}

bool DMJsonParser::scanRestOfTrue(QVariant& value) {
  if (!scanLiteral("rue", "Expected 'true'")) return false;
  value = true;
  return true;
}

bool DMJsonParser::scanRestOfFalse(QVariant& value) {
  if (!scanLiteral("alse", "Expected 'false'")) return false;
  value = false;
  return true;
}

bool DMJsonParser::scanRestOfNull(QVariant& value) {
  if (!scanLiteral("ull", "Expected 'null'")) return false;
  value = DMJsonNull();
  return true;
}

bool DMJsonParser::scanRestOfArray(QVariantList& array) {
  if (!enterNesting()) return false;
  array.reserve(8);
  while (*c_) {
    skipWhitespace();
    if (*c_ == ']') {
      ++c_;
      leaveNesting();
      return true;
    }
    QVariant value;
    if (!scanValue(value)) {
      addErrorWithCode(3, QStringLiteral("Expected value while parsing array"));
      return false;
    }
    array.append(value);
    skipWhitespace();
    if (*c_ == ',') {
      ++c_;
      skipWhitespace();
      if (*c_ == ']') {
        addErrorWithCode(9, QStringLiteral("Trailing comma disallowed in array"));
        return false;
      }
    }
  }
  addErrorWithCode(11, QStringLiteral("End of input while parsing array"));
  return false;
}

bool DMJsonParser::scanRestOfDictionary(QVariantMap& dictionary) {
  if (!enterNesting()) return false;
  while (*c_) {
    skipWhitespace();
    if (*c_ == '}') {
      ++c_;
      leaveNesting();
      return true;
    }
    QString key;
    if (*c_ != '"' || (++c_, !scanRestOfString(key))) {
      addErrorWithCode(3, QStringLiteral("Object key string expected"));
      return false;
    }
    skipWhitespace();
    if (*c_ != ':') {
      addErrorWithCode(3, QStringLiteral("Expected ':' separating key and value"));
      return false;
    }
    ++c_;
    QVariant value;
    if (!scanValue(value)) {
      addErrorWithCode(3, QStringLiteral("Object value expected for key: %1").arg(key));
      return false;
    }
    dictionary.insert(key, value);
    skipWhitespace();
    if (*c_ == ',') {
      ++c_;
      skipWhitespace();
      if (*c_ == '}') {
        addErrorWithCode(9, QStringLiteral("Trailing comma disallowed in object"));
        return false;
      }
    }
  }
  addErrorWithCode(11, QStringLiteral("End of input while parsing object"));
  return false;
}

bool DMJsonParser::scanRestOfString(QString& string) {
  string.reserve(16);
  for (;;) {
    const char* run = c_;
    while (*c_ && !kStopSet[static_cast<unsigned char>(*c_)]) ++c_;
    if (c_ != run) string.append(QString::fromUtf8(run, c_ - run));
    if (*c_ == '"') {
      ++c_;
      return true;
    }
    if (*c_ != '\\') {
      addErrorWithCode(5, byteMessage("Unescaped control character '0x%x'", *c_));
      return false;
    }
    ++c_;
    if (!scanEscape(string)) return false;
    if (*c_ == '\0') {
      addErrorWithCode(11, QStringLiteral("Unexpected EOF while parsing string"));
      return false;
    }
  }
}

// The cursor is on the byte after the backslash; on success it is moved past
// the whole escape.
bool DMJsonParser::scanEscape(QString& string) {
  const char ch = *c_++;
  switch (ch) {
    case '"':
    case '\\':
    case '/':
      string.append(QChar(ch));
      return true;
    case 'b':
      string.append(QChar(8));
      return true;
    case 'f':
      string.append(QChar(12));
      return true;
    case 'n':
      string.append(QChar(10));
      return true;
    case 'r':
      string.append(QChar(13));
      return true;
    case 't':
      string.append(QChar(9));
      return true;
    case 'u':
      if (scanUnicodeChar(string)) return true;
      addErrorWithCode(6, QStringLiteral("Broken unicode character"));
      return false;
    default:
      --c_;  // never past a terminating NUL
      addErrorWithCode(8, byteMessage("Illegal escape sequence '0x%x'", ch));
      return false;
  }
}

bool DMJsonParser::scanUnicodeChar(QString& string) {
  char16_t high = 0, low = 0;
  if (!scanHexQuad(high)) {
    addErrorWithCode(6, QStringLiteral("Missing hex quad"));
    return false;
  }
  if (high < 0xD800 || high > 0xDFFF) {
    string.append(QChar(high));
    return true;
  }
  if (high >= 0xDC00) {
    addErrorWithCode(6, QStringLiteral("Invalid high character in surrogate pair"));
    return false;
  }
  if (c_[0] != '\\' || c_[1] != 'u' || (c_ += 2, !scanHexQuad(low))) {
    addErrorWithCode(6, QStringLiteral("Missing low character in surrogate pair"));
    return false;
  }
  if (low < 0xDC00 || low > 0xDFFF) {
    addErrorWithCode(6, QStringLiteral("Invalid low surrogate char"));
    return false;
  }
  string.append(QChar(high));
  string.append(QChar(low));
  return true;
}

bool DMJsonParser::scanHexQuad(char16_t& unit) {
  unit = 0;
  for (int i = 0; i < 4; ++i, ++c_) {
    const int digit = hexValue(*c_);
    if (digit < 0) {
      addErrorWithCode(6, QStringLiteral("Missing hex digit in quad"));
      return false;
    }
    unit = char16_t(unit * 16 + digit);
  }
  return true;
}

bool DMJsonParser::scanNumber(QVariant& value) {
  const char* start = c_;
  if (*c_ == '-') ++c_;
  if (*c_ == '0') {
    ++c_;
    if (isDigit(*c_)) {
      addErrorWithCode(2, QStringLiteral("Leading 0 disallowed in number"));
      return false;
    }
  } else if (!isDigit(*c_)) {
    addErrorWithCode(2, QStringLiteral("No digits after initial minus"));
    return false;
  }
  while (isDigit(*c_)) ++c_;
  if (*c_ == '.') {
    ++c_;
    if (!isDigit(*c_)) {
      addErrorWithCode(2, QStringLiteral("No digits after decimal point"));
      return false;
    }
    while (isDigit(*c_)) ++c_;
  }
  if (*c_ == 'e' || *c_ == 'E') {
    ++c_;
    if (*c_ == '+' || *c_ == '-') ++c_;
    if (!isDigit(*c_)) {
      addErrorWithCode(2, QStringLiteral("No digits after exponent"));
      return false;
    }
    while (isDigit(*c_)) ++c_;
  }
  const std::optional<DMDecimalNumber> number = DMDecimalNumber::fromText({start, c_ - start});
  if (!number) {
    addErrorWithCode(2, QStringLiteral("Failed creating decimal instance"));
    return false;
  }
  value = QVariant::fromValue(*number);
  return true;
}
