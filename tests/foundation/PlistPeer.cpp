#include "PlistPeer.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include "TestSupport.h"

namespace peer {

namespace {

QString script() { return QString(TESSALY_SOURCE_DIR) + "/tests/foundation/plist_peer.py"; }

QJsonValue pair(const char* kind, const QJsonValue& payload) {
  return QJsonArray{QString::fromLatin1(kind), payload};
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

QJsonValue tagged(const QVariant& value) {
  if (value.metaType() == QMetaType::fromType<fnd::PlistUID>())
    return pair("uid", double(value.value<fnd::PlistUID>().value));
  switch (value.metaType().id()) {
    case QMetaType::Bool:
      return pair("bool", value.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
      return pair("int", value.toString());
    case QMetaType::Double:
    case QMetaType::Float:
      return pair("real", QString::number(value.toDouble(), 'g', 17));
    case QMetaType::QString:
      return pair("str", value.toString());
    case QMetaType::QByteArray:
      return pair("data", QString::fromLatin1(value.toByteArray().toHex()));
    case QMetaType::QDateTime:
      return pair("date", double(value.toDateTime().toMSecsSinceEpoch()));
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
      QJsonArray items;
      for (const QVariant& item : value.toList()) items.append(tagged(item));
      return pair("array", items);
    }
    case QMetaType::QVariantMap: {
      QJsonObject fields;
      const QVariantMap map = value.toMap();
      for (auto it = map.begin(); it != map.end(); ++it)
        fields.insert(it.key(), tagged(it.value()));
      return pair("dict", fields);
    }
    default:
      return pair("unsupported", QString::fromLatin1(value.metaType().name()));
  }
}

QVariant untagged(const QJsonValue& value) {
  const QString kind = value.toArray().at(0).toString();
  const QJsonValue payload = value.toArray().at(1);
  if (kind == "bool") return payload.toBool();
  if (kind == "int") return payload.toString().toLongLong();
  if (kind == "real") return payload.toString().toDouble();
  if (kind == "str") return payload.toString();
  if (kind == "data") return QByteArray::fromHex(payload.toString().toLatin1());
  if (kind == "date") return QDateTime::fromMSecsSinceEpoch(qint64(payload.toDouble()), Qt::UTC);
  if (kind == "uid") return QVariant::fromValue(fnd::PlistUID{quint64(payload.toDouble())});
  if (kind == "array") {
    QVariantList list;
    for (const QJsonValue& item : payload.toArray()) list.append(untagged(item));
    return list;
  }
  if (kind == "dict") {
    QVariantMap map;
    const QJsonObject fields = payload.toObject();
    for (auto it = fields.begin(); it != fields.end(); ++it) map.insert(it.key(), untagged(*it));
    return map;
  }
  return {};
}

bool same(const QVariant& a, const QVariant& b) { return tagged(a) == tagged(b); }

QString describe(const QVariant& value) {
  return QString::fromUtf8(QJsonDocument(tagged(value).toArray()).toJson(QJsonDocument::Compact));
}

bool available() { return tst::haveTool("python3"); }

bool load(const QByteArray& bytes, QVariant* value, QString* log) {
  const QString path = tst::tempPath("peer-input.plist");
  if (!writeFile(path, bytes)) return false;
  QString output;
  if (tst::runTool("python3", {script(), "dump", path}, &output) != 0) {
    if (log) *log = output;
    return false;
  }
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(output.toUtf8(), &error);
  if (error.error != QJsonParseError::NoError || !document.isArray()) {
    if (log) *log = output;
    return false;
  }
  *value = untagged(document.array());
  return true;
}

bool loadEach(const QList<QByteArray>& inputs, QList<QVariant>* values, QString* log) {
  QStringList arguments{script(), "dump-each"};
  for (qsizetype i = 0; i < inputs.size(); ++i) {
    arguments.append(tst::tempPath(QStringLiteral("peer-input-%1.plist").arg(i)));
    if (!writeFile(arguments.last(), inputs[i])) return false;
  }
  QString output;
  const int status = tst::runTool("python3", arguments, &output);
  const QStringList lines = output.split(u'\n', Qt::SkipEmptyParts);
  if (status != 0 || lines.size() != inputs.size()) {
    if (log) *log = output;
    return false;
  }
  values->clear();
  for (const QString& line : lines) {
    const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8());
    values->append(document.isArray() ? untagged(document.array()) : QVariant());
  }
  return true;
}

QByteArray dump(const QVariant& value, fnd::PropertyListFormat format, QString* log) {
  const QString json = tst::tempPath("peer-value.json");
  const QString out = tst::tempPath("peer-output.plist");
  if (!writeFile(json, QJsonDocument(tagged(value).toArray()).toJson())) return {};
  const QString kind = format == fnd::PropertyListFormat::Binary ? "binary" : "xml";
  QString output;
  if (tst::runTool("python3", {script(), "write", kind, json, out}, &output) != 0) {
    if (log) *log = output;
    return {};
  }
  QFile file(out);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace peer
