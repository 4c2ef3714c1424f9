#include "coredata/AttributeDescription.h"

#include <QDateTime>

namespace cd {

namespace {

struct TypeName {
  AttributeType type;
  const char* name;
};

constexpr TypeName kTypeNames[] = {
    {AttributeType::Integer16, "int16"}, {AttributeType::Integer32, "int32"},
    {AttributeType::Integer64, "int64"}, {AttributeType::Double, "double"},
    {AttributeType::Float, "float"},     {AttributeType::String, "string"},
    {AttributeType::Boolean, "bool"},    {AttributeType::Date, "date"},
    {AttributeType::Binary, "binary"},   {AttributeType::Transformable, "transformable"},
};

}  // namespace

QString AttributeDescription::typeName(AttributeType type) {
  for (const TypeName& entry : kTypeNames)
    if (entry.type == type) return QString::fromLatin1(entry.name);
  return {};
}

bool AttributeDescription::typeFromName(const QString& name, AttributeType* type) {
  for (const TypeName& entry : kTypeNames) {
    if (name == QLatin1String(entry.name)) {
      *type = entry.type;
      return true;
    }
  }
  return false;
}

QVariant AttributeDescription::canonicalValue(const QVariant& value) const {
  if (!value.isValid() || value.isNull()) {
    // A null string or byte array still counts as a value when the caller
    // made one on purpose; only an invalid QVariant is nil.
    if (!value.isValid()) return {};
  }
  switch (type_) {
    case AttributeType::Integer16:
      return QVariant::fromValue(int(qint16(value.toInt())));
    case AttributeType::Integer32:
      return QVariant::fromValue(int(value.toInt()));
    case AttributeType::Integer64:
      return QVariant::fromValue(qlonglong(value.toLongLong()));
    case AttributeType::Double:
      return QVariant::fromValue(value.toDouble());
    case AttributeType::Float:
      return QVariant::fromValue(value.toFloat());
    case AttributeType::String:
      return QVariant::fromValue(value.toString());
    case AttributeType::Boolean:
      return QVariant::fromValue(value.toBool());
    case AttributeType::Date: {
      QDateTime date = value.toDateTime();
      if (!date.isValid()) return {};
      return QVariant::fromValue(date.toUTC());
    }
    case AttributeType::Binary:
      return QVariant::fromValue(value.toByteArray());
    case AttributeType::Transformable:
      return value;
  }
  return value;
}

QByteArray AttributeDescription::versionHashInput() const {
  return "A|" + PropertyDescription::versionHashInput() + '|' + QByteArray::number(int(type_));
}

}  // namespace cd
