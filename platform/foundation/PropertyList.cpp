#include "foundation/PropertyList.h"

#include <plist/plist.h>

#include <QDateTime>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "foundation/BinaryPlistCheck.h"
#include "foundation/Localized.h"
#include "foundation/ReferenceDate.h"
#include "foundation/XmlPlistReader.h"

namespace fnd {

namespace {

struct NodeFree {
  void operator()(void* node) const { plist_free(node); }
};
using Node = std::unique_ptr<void, NodeFree>;

// Control characters other than tab and line ends, and U+FFFE and U+FFFF,
// are not XML characters, not even as references: no reader takes them.
bool xmlCanHold(const QString& text) {
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if ((u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0xFFFE || u == 0xFFFF)
      return false;
  }
  return true;
}

struct Writer {
  PropertyListFormat format;
  QString problem;

  plist_t fail(const QString& why) {
    if (problem.isEmpty()) problem = why;
    return nullptr;
  }

  plist_t date(const QDateTime& value) {
    // A rough bound first, so that the millisecond arithmetic cannot wrap.
    if (!(std::fabs(ReferenceDate::secondsFrom(value)) < 1e10))
      return fail("invalid date or one beyond the supported range");
    qint64 msecs = value.toMSecsSinceEpoch() - ReferenceDate::MSecsSinceEpoch;
    qint64 seconds = msecs >= 0 ? msecs / 1000 : -((-msecs + 999) / 1000);
    qint64 micros = (msecs - seconds * 1000) * 1000;
    // The XML form keeps whole seconds; the library would truncate toward
    // zero, which moves dates before 2001 one second late.
    if (format == PropertyListFormat::XML) micros = 0;
    if (seconds < std::numeric_limits<qint32>::min() ||
        seconds > std::numeric_limits<qint32>::max())
      return fail("invalid date or one beyond the supported range");
    return plist_new_date(qint32(seconds), qint32(micros));
  }

  plist_t string(const QString& value) {
    QByteArray utf8 = value.toUtf8();
    if (utf8.contains('\0')) return fail("string contains a NUL character");
    if (format == PropertyListFormat::XML && !xmlCanHold(value))
      return fail("string contains a character XML cannot hold");
    return plist_new_string(utf8.constData());
  }

  plist_t array(const QVariantList& list, int depth) {
    if (depth >= PropertyList::MaximumDepth) return fail("nesting too deep");
    Node node(plist_new_array());
    for (const QVariant& item : list) {
      plist_t child = build(item, depth + 1);
      if (!child) return nullptr;
      plist_array_append_item(node.get(), child);
    }
    return node.release();
  }

  template <class Map>
  plist_t dictionary(const Map& map, int depth) {
    if (depth >= PropertyList::MaximumDepth) return fail("nesting too deep");
    Node node(plist_new_dict());
    for (auto it = map.begin(); it != map.end(); ++it) {
      QByteArray key = it.key().toUtf8();
      if (key.contains('\0')) return fail("dictionary key contains a NUL character");
      if (format == PropertyListFormat::XML && !xmlCanHold(it.key()))
        return fail("dictionary key contains a character XML cannot hold");
      plist_t child = build(it.value(), depth + 1);
      if (!child) return nullptr;
      plist_dict_set_item(node.get(), key.constData(), child);
    }
    return node.release();
  }

  // `depth` counts the containers around the value.
  plist_t build(const QVariant& value, int depth) {
    switch (value.metaType().id()) {
      case QMetaType::Bool:
        return plist_new_bool(value.toBool());
      case QMetaType::Int:
      case QMetaType::Long:
      case QMetaType::LongLong:
      case QMetaType::Short:
      case QMetaType::SChar:
      case QMetaType::Char:
        return plist_new_uint(quint64(value.toLongLong()));
      case QMetaType::UInt:
      case QMetaType::ULong:
      case QMetaType::ULongLong:
      case QMetaType::UShort:
      case QMetaType::UChar:
        // The library writes every integer as signed 64-bit.
        if (value.toULongLong() > quint64(std::numeric_limits<qint64>::max()))
          return fail("unsigned integer too large");
        return plist_new_uint(value.toULongLong());
      case QMetaType::Double:
      case QMetaType::Float:
        return plist_new_real(value.toDouble());
      case QMetaType::QString:
        return string(value.toString());
      case QMetaType::QByteArray: {
        QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), quint64(bytes.size()));
      }
      case QMetaType::QDateTime:
        return date(value.toDateTime());
      case QMetaType::QVariantList:
      case QMetaType::QStringList:
        return array(value.toList(), depth);
      case QMetaType::QVariantMap:
        return dictionary(value.toMap(), depth);
      case QMetaType::QVariantHash:
        return dictionary(value.toHash(), depth);
      default:
        break;
    }
    if (value.metaType() == QMetaType::fromType<PlistUID>())
      return plist_new_uid(value.value<PlistUID>().value);
    if (!value.isValid()) return fail("null value");
    return fail(QStringLiteral("values of type %1").arg(value.metaType().name()));
  }
};

struct Reader {
  bool corrupt = false;

  QVariant fail() {
    corrupt = true;
    return {};
  }

  QVariant date(plist_t node) {
    int32_t seconds = 0, micros = 0;
    plist_get_date_val(node, &seconds, &micros);
    // The library truncates toward zero and reports the fraction without
    // its sign, so dates before 2001 subtract it. (Within the one second
    // before 2001-01-01 the sign is lost entirely.)
    const qint64 fraction = qint64(std::llround(std::abs(micros) / 1000.0));
    const qint64 msecs = qint64(seconds) * 1000 + (seconds < 0 ? -fraction : fraction);
    return QDateTime::fromMSecsSinceEpoch(msecs + ReferenceDate::MSecsSinceEpoch, Qt::UTC);
  }

  QVariant string(plist_t node) {
    char* text = nullptr;
    plist_get_string_val(node, &text);
    QString value = QString::fromUtf8(text);
    std::free(text);
    return value;
  }

  QVariant data(plist_t node) {
    char* bytes = nullptr;
    uint64_t length = 0;
    plist_get_data_val(node, &bytes, &length);
    QByteArray value(bytes, qsizetype(length));
    std::free(bytes);
    return value;
  }

  QVariant array(plist_t node, int depth) {
    if (depth >= PropertyList::MaximumDepth) return fail();
    QVariantList list;
    list.reserve(plist_array_get_size(node));
    // Through the iterator: the library finds the n-th item of a parsed
    // array by walking from the first, which made reading quadratic.
    plist_array_iter it = nullptr;
    plist_array_new_iter(node, &it);
    while (!corrupt) {
      plist_t item = nullptr;
      plist_array_next_item(node, it, &item);
      if (!item) break;
      list.append(read(item, depth + 1));
    }
    std::free(it);
    return list;
  }

  // XML has no UID element: an archive's references are {"CF$UID": n}.
  static bool isUidDictionary(plist_t node) {
    if (plist_dict_get_size(node) != 1) return false;
    plist_t value = plist_dict_get_item(node, "CF$UID");
    return value && plist_get_node_type(value) == PLIST_UINT;
  }

  QVariant dictionary(plist_t node, int depth) {
    if (depth >= PropertyList::MaximumDepth) return fail();
    if (isUidDictionary(node)) {
      uint64_t value = 0;
      plist_get_uint_val(plist_dict_get_item(node, "CF$UID"), &value);
      return QVariant::fromValue(PlistUID{value});
    }
    QVariantMap map;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(node, &it);
    for (;;) {
      char* key = nullptr;
      plist_t value = nullptr;
      plist_dict_next_item(node, it, &key, &value);
      if (!value) {
        std::free(key);
        break;
      }
      map.insert(QString::fromUtf8(key), read(value, depth + 1));
      std::free(key);
      if (corrupt) break;
    }
    std::free(it);
    return map;
  }

  // Recursion is bounded: the binary check refused deeper lists already.
  QVariant read(plist_t node, int depth) {
    if (!node) return fail();
    switch (plist_get_node_type(node)) {
      case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return bool(value);
      }
      case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return qint64(value);
      }
      case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
      }
      case PLIST_STRING:
        return string(node);
      case PLIST_DATA:
        return data(node);
      case PLIST_DATE:
        return date(node);
      case PLIST_UID: {
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        return QVariant::fromValue(PlistUID{value});
      }
      case PLIST_ARRAY:
        return array(node, depth);
      case PLIST_DICT:
        return dictionary(node, depth);
      default:
        return fail();
    }
  }
};

bool looksLikeXml(const QByteArray& data) {
  qsizetype i = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
  while (i < data.size() && QChar::isSpace(uchar(data[i]))) ++i;
  return i < data.size() && data[i] == '<';
}

QVariant readFailure(Error* error, const QString& why) {
  fail(error,
       Error(CocoaErrorDomain, PropertyListReadCorruptError,
             {{LocalizedDescriptionKey,
               localized("The data couldn’t be read because it isn’t in the correct format.")},
              {LocalizedFailureReasonKey, why}}));
  return {};
}

}  // namespace

QByteArray PropertyList::dataWithPropertyList(const QVariant& plist, PropertyListFormat format,
                                              Error* error) {
  Writer writer{format, {}};
  Node root(writer.build(plist, 0));
  if (!root) {
    fail(error,
         Error(CocoaErrorDomain, PropertyListWriteInvalidError,
               {{LocalizedDescriptionKey,
                 localized("The data couldn’t be written because it isn’t a valid property list.")},
                {LocalizedFailureReasonKey, writer.problem}}));
    return {};
  }
  char* bytes = nullptr;
  uint32_t length = 0;
  QByteArray result;
  if (format == PropertyListFormat::Binary) {
    plist_to_bin(root.get(), &bytes, &length);
    result = QByteArray(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
  } else {
    plist_to_xml(root.get(), &bytes, &length);
    result = QByteArray(bytes, qsizetype(length));
    plist_to_xml_free(bytes);
    // The library writes carriage returns in text as they are, and XML
    // readers turn those into line feeds; as references they stay.
    result.replace('\r', "&#13;");
  }
  return result;
}

QVariant PropertyList::propertyListWithData(const QByteArray& data, PropertyListFormat* format,
                                            Error* error) {
  if (data.size() > qsizetype(std::numeric_limits<uint32_t>::max()))
    return readFailure(error, "property list too large");
  QString why;
  if (looksLikeXml(data)) {
    QVariant value = XmlPlistReader::read(data, MaximumDepth, &why);
    if (!value.isValid()) return readFailure(error, why);
    if (format) *format = PropertyListFormat::XML;
    return value;
  }
  if (!data.startsWith("bplist")) return readFailure(error, "not a property list");
  if (!BinaryPlistCheck::isSound(data, MaximumDepth, &why)) return readFailure(error, why);
  if (format) *format = PropertyListFormat::Binary;
  plist_t parsed = nullptr;
  plist_from_bin(data.constData(), uint32_t(data.size()), &parsed);
  Node root(parsed);
  if (!root) return readFailure(error, "the property list could not be parsed");
  Reader reader;
  QVariant value = reader.read(root.get(), 0);
  if (reader.corrupt) return readFailure(error, "unsupported value in the property list");
  return value;
}

}  // namespace fnd
