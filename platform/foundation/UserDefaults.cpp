#include "foundation/UserDefaults.h"

#include <QDir>
#include <QLocale>
#include <QtDebug>

#include "foundation/NumberValue.h"
#include "foundation/PropertyList.h"

namespace fnd {

namespace {

// INI values are text; each non-string value carries a tag naming its
// kind. Strings that happen to start with the tag mark get it doubled.
constexpr QChar Mark = u'%';

QString tagged(const char* tag, const QString& text) {
  return QStringLiteral("%1%2(%3)").arg(Mark, QLatin1String(tag), text);
}

QVariant encodeValue(const QVariant& value) {
  switch (value.metaType().id()) {
    case QMetaType::QString: {
      const QString text = value.toString();
      return text.startsWith(Mark) ? QString(Mark) + text : text;
    }
    case QMetaType::Bool:
      return tagged("bool", value.toBool() ? "true" : "false");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
      return tagged("int", value.toString());
    case QMetaType::Double:
    case QMetaType::Float:
      return tagged("real", QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest));
    case QMetaType::QByteArray:
      return tagged("data", QString::fromLatin1(value.toByteArray().toBase64()));
    case QMetaType::QDateTime:
      if (!value.toDateTime().isValid()) return {};
      return tagged("date", value.toDateTime().toUTC().toString(Qt::ISODateWithMs));
    default:
      break;
  }
  // Containers keep every nested kind exactly as a binary property list.
  Error error;
  const QByteArray plist =
      PropertyList::dataWithPropertyList(value, PropertyListFormat::Binary, &error);
  if (plist.isEmpty()) return {};
  return tagged("plist", QString::fromLatin1(plist.toBase64()));
}

QVariant decodeTagged(const QString& tag, const QString& body) {
  bool ok = false;
  if (tag == "bool" && (body == "true" || body == "false")) return body == "true";
  if (tag == "int") {
    const qint64 value = body.toLongLong(&ok);
    if (ok) return value;
  }
  if (tag == "real") {
    const double value = body.toDouble(&ok);
    if (ok) return value;
  }
  if (tag == "data") {
    auto result =
        QByteArray::fromBase64Encoding(body.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (result) return *result;
  }
  if (tag == "date") {
    const QDateTime date = QDateTime::fromString(body, Qt::ISODateWithMs);
    if (date.isValid()) return date.toUTC();
  }
  if (tag == "plist") {
    auto bytes =
        QByteArray::fromBase64Encoding(body.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (bytes) return PropertyList::propertyListWithData(*bytes);
  }
  return {};
}

QVariant decodeValue(const QVariant& stored) {
  if (stored.metaType().id() == QMetaType::QStringList) return stored.toList();
  if (stored.metaType().id() != QMetaType::QString) return stored;
  const QString text = stored.toString();
  if (!text.startsWith(Mark)) return text;
  if (text.startsWith(QString(2, Mark))) return text.mid(1);
  const qsizetype open = text.indexOf('(');
  if (open > 1 && text.endsWith(')')) {
    QVariant value =
        decodeTagged(text.mid(1, open - 1), text.mid(open + 1, text.size() - open - 2));
    if (value.isValid()) return value;
  }
  // Text edited by hand into something we do not recognise stays text.
  return text;
}

}  // namespace

UserDefaults::UserDefaults(const QString& path) : settings_(path, QSettings::IniFormat) {}

UserDefaults::~UserDefaults() { settings_.sync(); }

QString UserDefaults::standardFilePath() {
  const QString own = qEnvironmentVariable("TESSALY_CONFIG_HOME");
  if (!own.isEmpty()) return own + "/Tessaly.conf";
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty()) base = QDir::homePath() + "/.config";
  return base + "/Tessaly/Tessaly.conf";
}

UserDefaults& UserDefaults::standardUserDefaults() {
  static UserDefaults defaults(standardFilePath());
  return defaults;
}

std::unique_ptr<UserDefaults> UserDefaults::withFile(const QString& path) {
  return std::make_unique<UserDefaults>(path);
}

QString UserDefaults::filePath() const { return settings_.fileName(); }

void UserDefaults::registerDefaults(const QVariantMap& defaults) {
  QMutexLocker lock(&mutex_);
  for (auto it = defaults.begin(); it != defaults.end(); ++it)
    registered_.insert(it.key(), it.value());
}

QVariant UserDefaults::objectForKey(const QString& key) const {
  QMutexLocker lock(&mutex_);
  const QVariant stored = settings_.value(key);
  if (stored.isValid()) return decodeValue(stored);
  return registered_.value(key);
}

bool UserDefaults::hasKey(const QString& key) const { return objectForKey(key).isValid(); }

bool UserDefaults::boolForKey(const QString& key) const {
  const QVariant value = objectForKey(key);
  if (isNumberValue(value)) return value.toDouble() != 0;
  if (value.metaType().id() != QMetaType::QString) return false;
  // Text counts as true when it starts like "YES", "true" or a non-zero
  // number, as hand-edited preference files expect.
  QString text = value.toString().trimmed();
  if (text.startsWith('+') || text.startsWith('-')) text.remove(0, 1);
  while (text.startsWith('0')) text.remove(0, 1);
  return !text.isEmpty() && QStringLiteral("YyTt123456789").contains(text[0]);
}

qint64 UserDefaults::integerForKey(const QString& key) const {
  const QVariant value = objectForKey(key);
  if (value.metaType().id() == QMetaType::Double) return int64FromReal(value.toDouble());
  if (isNumberValue(value)) return value.toLongLong();
  if (value.metaType().id() == QMetaType::QString) {
    bool ok = false;
    const qint64 integer = value.toString().trimmed().toLongLong(&ok);
    return ok ? integer : int64FromReal(value.toString().trimmed().toDouble());
  }
  return 0;
}

double UserDefaults::doubleForKey(const QString& key) const {
  const QVariant value = objectForKey(key);
  if (isNumberValue(value)) return value.toDouble();
  if (value.metaType().id() == QMetaType::QString) return value.toString().trimmed().toDouble();
  return 0;
}

float UserDefaults::floatForKey(const QString& key) const {
  return floatFromReal(doubleForKey(key));
}

QString UserDefaults::stringForKey(const QString& key) const {
  const QVariant value = objectForKey(key);
  if (value.metaType().id() == QMetaType::QString) return value.toString();
  if (value.metaType().id() == QMetaType::Bool) return value.toBool() ? "1" : "0";
  if (isNumberValue(value)) return value.toString();
  return {};
}

QByteArray UserDefaults::dataForKey(const QString& key) const {
  const QVariant value = objectForKey(key);
  return value.metaType().id() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

QDateTime UserDefaults::dateForKey(const QString& key) const {
  const QVariant value = objectForKey(key);
  return value.metaType().id() == QMetaType::QDateTime ? value.toDateTime() : QDateTime();
}

QVariantList UserDefaults::arrayForKey(const QString& key) const {
  const QVariant value = objectForKey(key);
  const int type = value.metaType().id();
  return type == QMetaType::QVariantList || type == QMetaType::QStringList ? value.toList()
                                                                           : QVariantList();
}

QVariantMap UserDefaults::dictionaryForKey(const QString& key) const {
  const QVariant value = objectForKey(key);
  return value.metaType().id() == QMetaType::QVariantMap ? value.toMap() : QVariantMap();
}

void UserDefaults::setObject(const QVariant& value, const QString& key) {
  if (!value.isValid()) return removeObjectForKey(key);
  const QVariant text = encodeValue(value);
  if (!text.isValid()) {
    qWarning("UserDefaults: a value of type %s cannot be stored for key %s",
             value.metaType().name(), qPrintable(key));
    return;
  }
  QMutexLocker lock(&mutex_);
  settings_.setValue(key, text);
}

void UserDefaults::setBool(bool value, const QString& key) { setObject(value, key); }

void UserDefaults::setInteger(qint64 value, const QString& key) { setObject(value, key); }

void UserDefaults::setDouble(double value, const QString& key) { setObject(value, key); }

void UserDefaults::setFloat(float value, const QString& key) { setObject(double(value), key); }

void UserDefaults::removeObjectForKey(const QString& key) {
  QMutexLocker lock(&mutex_);
  settings_.remove(key);
}

bool UserDefaults::synchronize() {
  QMutexLocker lock(&mutex_);
  settings_.sync();
  return settings_.status() == QSettings::NoError;
}

}  // namespace fnd
