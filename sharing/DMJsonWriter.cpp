#include "sharing/DMJsonWriter.h"

#include <QLocale>
#include <cmath>

#include "foundation/NumberValue.h"
#include "sharing/DMDecimalNumber.h"

namespace {

bool isEscaped(char16_t unit) { return unit < 0x20 || unit == u'"' || unit == u'\\'; }

bool isDictionary(const QVariant& value) {
  return value.typeId() == QMetaType::QVariantMap || value.typeId() == QMetaType::QVariantHash;
}

bool isArray(const QVariant& value) {
  return value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList;
}

QString className(const QVariant& value) {
  return value.isValid() ? QString::fromLatin1(value.metaType().name()) : QStringLiteral("(null)");
}

}  // namespace

QString DMJsonWriter::stringWithObject(const QVariant& value) {
  if (isDictionary(value) || isArray(value)) return stringWithFragment(value);
  clearErrorTrace();
  addErrorWithCode(4, QStringLiteral("Not valid type for JSON"));
  return {};
}

QString DMJsonWriter::stringWithFragment(const QVariant& value) {
  clearErrorTrace();
  depth_ = 0;
  QString json;
  json.reserve(128);
  if (!appendValue(value, json)) return {};
  if (json.isNull()) json = QLatin1String("");
  return json;
}

bool DMJsonWriter::appendValue(const QVariant& value, QString& json) {
  if (isDictionary(value)) return appendDictionary(value, json);
  if (isArray(value)) return appendArray(value.toList(), json);
  if (value.typeId() == QMetaType::QString) return appendString(value.toString(), json);
  if (value.typeId() == QMetaType::Bool) {
    json += value.toBool() ? QLatin1String("true") : QLatin1String("false");
    return true;
  }
  if (value.typeId() == QMetaType::Nullptr) {
    json += QLatin1String("null");
    return true;
  }
  if (value.metaType() == QMetaType::fromType<DMDecimalNumber>() || fnd::isNumberValue(value))
    return appendNumber(value, json);
  addErrorWithCode(1,
                   QStringLiteral("JSON serialisation not supported for %1").arg(className(value)));
  return false;
}

// Non-finite reals have no JSON form; they are refused rather than written
// as text no reader would take.
bool DMJsonWriter::appendNumber(const QVariant& number, QString& json) {
  if (number.metaType() == QMetaType::fromType<DMDecimalNumber>()) {
    json += number.value<DMDecimalNumber>().stringValue();
  } else if (fnd::isIntegralNumberValue(number)) {
    json += number.toString();
  } else {
    const double real = number.toDouble();
    if (!std::isfinite(real)) {
      addErrorWithCode(
          1, QStringLiteral("JSON serialisation not supported for %1").arg(className(number)));
      return false;
    }
    json += QString::number(real, 'g', QLocale::FloatingPointShortest);
  }
  return true;
}

bool DMJsonWriter::appendArray(const QVariantList& array, QString& json) {
  if (!enterNesting()) return false;
  json += u'[';
  bool first = true;
  for (const QVariant& element : array) {
    if (!first) json += u',';
    first = false;
    if (humanReadable_) json += indent();
    if (!appendValue(element, json)) return false;
  }
  leaveNesting();
  if (humanReadable_ && !array.isEmpty()) json += indent();
  json += u']';
  return true;
}

bool DMJsonWriter::appendDictionary(const QVariant& dictionary, QString& json) {
  if (!enterNesting()) return false;
  json += u'{';
  const QString separator = humanReadable_ ? QStringLiteral(" : ") : QStringLiteral(":");
  const bool isMap = dictionary.typeId() == QMetaType::QVariantMap;
  const QVariantMap map = isMap ? dictionary.toMap() : QVariantMap();
  const QVariantHash hash = isMap ? QVariantHash() : dictionary.toHash();
  QStringList keys = isMap ? map.keys() : hash.keys();
  if (sortKeys_) keys.sort();
  bool first = true;
  for (const QString& key : keys) {
    if (!first) json += u',';
    first = false;
    if (humanReadable_) json += indent();
    appendString(key, json);
    json += separator;
    if (!appendValue(isMap ? map.value(key) : hash.value(key), json)) {
      addErrorWithCode(1, QStringLiteral("Unsupported value for key %1 in object").arg(key));
      return false;
    }
  }
  leaveNesting();
  if (humanReadable_ && !keys.isEmpty()) json += indent();
  json += u'}';
  return true;
}

bool DMJsonWriter::appendString(const QString& string, QString& json) {
  json += u'"';
  if (std::none_of(string.cbegin(), string.cend(),
                   [](QChar c) { return isEscaped(c.unicode()); })) {
    json += string;
  } else {
    for (QChar c : string) {
      switch (c.unicode()) {
        case u'"':
          json += QLatin1String("\\\"");
          break;
        case u'\\':
          json += QLatin1String("\\\\");
          break;
        case 8:
          json += QLatin1String("\\b");
          break;
        case 9:
          json += QLatin1String("\\t");
          break;
        case 10:
          json += QLatin1String("\\n");
          break;
        case 12:
          json += QLatin1String("\\f");
          break;
        case 13:
          json += QLatin1String("\\r");
          break;
        default:
          if (c.unicode() < 0x20)
            json += QString::asprintf("\\u%04x", unsigned(c.unicode()));
          else
            json += c;
      }
    }
  }
  json += u'"';
  return true;
}

QString DMJsonWriter::indent() const { return u'\n' + QString(int(2 * depth_), u' '); }
