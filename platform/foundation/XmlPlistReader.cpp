#include "foundation/XmlPlistReader.h"

#include "foundation/PropertyList.h"
#include "foundation/XmlPlistText.h"

namespace fnd {

namespace {

// XML has no UID element: an archive's references are {"CF$UID": n}.
QVariant dictionaryValue(const QVariantMap& map) {
  if (map.size() == 1) {
    const QVariant uid = map.value(QStringLiteral("CF$UID"));
    if (uid.typeId() == QMetaType::LongLong && uid.toLongLong() >= 0)
      return QVariant::fromValue(PlistUID{quint64(uid.toLongLong())});
  }
  return map;
}

bool isScalar(QStringView name) {
  for (const char16_t* scalar :
       {u"string", u"integer", u"real", u"true", u"false", u"date", u"data"})
    if (name == scalar) return true;
  return false;
}

}  // namespace

QVariant XmlPlistReader::read(const QByteArray& data, int maximumDepth, QString* why) {
  XmlPlistReader reader(data, maximumDepth);
  if (reader.run()) return reader.root_;
  if (why) *why = reader.why_;
  return {};
}

XmlPlistReader::XmlPlistReader(const QByteArray& data, int maximumDepth)
    : xml_(data), maximumDepth_(maximumDepth) {
  xml_.setNamespaceProcessing(false);
}

bool XmlPlistReader::fail(const QString& why) {
  if (why_.isEmpty()) why_ = why;
  return false;
}

bool XmlPlistReader::run() {
  bool ok = true;
  while (ok && !xml_.atEnd()) {
    switch (xml_.readNext()) {
      case QXmlStreamReader::StartElement:
        ok = startElement();
        break;
      case QXmlStreamReader::EndElement:
        if (xml_.qualifiedName() == u"plist")
          insidePlist_ = false;
        else
          ok = endContainer();
        break;
      case QXmlStreamReader::Characters:
        if (!xml_.isWhitespace()) ok = fail("text outside a value");
        break;
      case QXmlStreamReader::DTD:
        // Entities could grow a small file into a large one.
        if (!xml_.entityDeclarations().isEmpty()) ok = fail("entity declarations");
        break;
      case QXmlStreamReader::EntityReference:
        ok = fail("reference to an unknown entity");
        break;
      default:
        break;
    }
  }
  if (!ok) return false;
  if (xml_.hasError()) return fail(xml_.errorString());
  return hasRoot_ || fail("no value");
}

bool XmlPlistReader::startElement() {
  const QStringView name = xml_.qualifiedName();
  if (name == u"plist") {
    if (insidePlist_ || hasRoot_ || !open_.empty()) return fail("misplaced plist element");
    insidePlist_ = true;
    return true;
  }
  if (name == u"key") return readKey();
  if (!expectValue()) return false;
  if (name == u"array" || name == u"dict") {
    if (int(open_.size()) >= maximumDepth_) return fail("nesting too deep");
    open_.push_back({});
    open_.back().isDictionary = name == u"dict";
    return true;
  }
  if (!isScalar(name)) return fail(QStringLiteral("unknown element <%1>").arg(name));
  // The name points into the tokenizer's buffer, which reading moves on.
  const QString element = name.toString();
  QString text;
  QVariant value;
  return readText(&text) && scalar(element, text, &value) && add(value);
}

bool XmlPlistReader::readKey() {
  if (open_.empty() || !open_.back().isDictionary || open_.back().hasKey)
    return fail("key outside a dictionary's key position");
  Container& dictionary = open_.back();
  if (!readText(&dictionary.key)) return false;
  dictionary.hasKey = true;
  return true;
}

bool XmlPlistReader::expectValue() {
  if (open_.empty()) return !hasRoot_ || fail("more than one top-level value");
  return !open_.back().isDictionary || open_.back().hasKey || fail("dictionary value without key");
}

bool XmlPlistReader::endContainer() {
  Container& closing = open_.back();
  if (closing.hasKey) return fail("dictionary key without value");
  const QVariant value =
      closing.isDictionary ? dictionaryValue(closing.map) : QVariant(closing.list);
  open_.pop_back();
  return add(value);
}

bool XmlPlistReader::add(const QVariant& value) {
  if (open_.empty()) {
    root_ = value;
    hasRoot_ = true;
    return true;
  }
  Container& parent = open_.back();
  if (parent.isDictionary) {
    parent.map.insert(parent.key, value);
    parent.hasKey = false;
  } else {
    parent.list.append(value);
  }
  return true;
}

bool XmlPlistReader::readText(QString* text) {
  *text = xml_.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
  return !xml_.hasError() || fail(xml_.errorString());
}

bool XmlPlistReader::scalar(QStringView name, const QString& text, QVariant* value) {
  if (name == u"string") {
    *value = text;
  } else if (name == u"integer") {
    qint64 number = 0;
    if (!XmlPlistText::integer(text, &number)) return fail("malformed integer");
    *value = number;
  } else if (name == u"real") {
    double number = 0;
    if (!XmlPlistText::real(text, &number)) return fail("malformed real");
    *value = number;
  } else if (name == u"true" || name == u"false") {
    if (!text.trimmed().isEmpty()) return fail("text inside a boolean");
    *value = name == u"true";
  } else if (name == u"date") {
    QDateTime date;
    if (!XmlPlistText::date(text, &date)) return fail("malformed or unsupported date");
    *value = date;
  } else {
    QByteArray bytes;
    if (!XmlPlistText::data(text, &bytes)) return fail("malformed data");
    *value = bytes;
  }
  return true;
}

}  // namespace fnd
