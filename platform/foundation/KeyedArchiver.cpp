#include "foundation/KeyedArchiver.h"

#include <QDateTime>
#include <cmath>
#include <limits>

#include "foundation/GeometryStrings.h"
#include "foundation/KeyedArchiveKeys.h"
#include "foundation/KeyedUnarchiver.h"
#include "foundation/Localized.h"
#include "foundation/ReferenceDate.h"

namespace fnd {

using namespace archive;

namespace {

QVariant uid(quint64 index) { return QVariant::fromValue(PlistUID{index}); }

const QStringList ArrayClasses{"NSArray", "NSObject"};
const QStringList DictionaryClasses{"NSDictionary", "NSObject"};
const QStringList DateClasses{"NSDate", "NSObject"};

}  // namespace

KeyedArchiver::KeyedArchiver() { objects_.append(NullObject); }

void KeyedArchiver::setOutputFormat(PropertyListFormat format) { format_ = format; }

void KeyedArchiver::setFailed(const QString& description) {
  if (failed()) return;
  error_ = Error(CocoaErrorDomain, PropertyListWriteInvalidError,
                 {{LocalizedDescriptionKey, localized("The object could not be archived.")},
                  {LocalizedFailureReasonKey, description}});
}

void KeyedArchiver::setEntry(const QString& key, const QVariant& plistValue) {
  if (finished_) return setFailed("encoding after the archive was finished");
  if (key.startsWith('$')) return setFailed(QStringLiteral("reserved key \"%1\"").arg(key));
  (current_ ? *current_ : top_).insert(key, plistValue);
}

void KeyedArchiver::encodeObject(const QVariant& value, const QString& key) {
  setEntry(key, uid(encodeValue(value).value));
}

void KeyedArchiver::encodeBool(bool value, const QString& key) { setEntry(key, value); }

void KeyedArchiver::encodeInt32(qint32 value, const QString& key) { setEntry(key, qint64(value)); }

void KeyedArchiver::encodeInt64(qint64 value, const QString& key) { setEntry(key, value); }

void KeyedArchiver::encodeDouble(double value, const QString& key) { setEntry(key, value); }

void KeyedArchiver::encodeFloat(float value, const QString& key) { setEntry(key, double(value)); }

void KeyedArchiver::encodeString(const QString& value, const QString& key) {
  encodeObject(value, key);
}

void KeyedArchiver::encodeData(const QByteArray& value, const QString& key) {
  encodeObject(value, key);
}

void KeyedArchiver::encodeRect(const QRectF& value, const QString& key) {
  setEntry(key, stringFromRect(value));
}

void KeyedArchiver::encodePoint(const QPointF& value, const QString& key) {
  setEntry(key, stringFromPoint(value));
}

void KeyedArchiver::encodeSize(const QSizeF& value, const QString& key) {
  setEntry(key, stringFromSize(value));
}

quint64 KeyedArchiver::reserveObject() {
  objects_.append(QVariant());
  return quint64(objects_.size() - 1);
}

PlistUID KeyedArchiver::encodeValue(const QVariant& value) {
  if (!value.isValid() || value.isNull()) {
    // A null QString or QByteArray is still a value; only "nothing" is nil.
    const int type = value.metaType().id();
    if (type != QMetaType::QString && type != QMetaType::QByteArray) return {0};
  }
  if (value.metaType() == QMetaType::fromType<CodingPtr>()) {
    CodingPtr object = value.value<CodingPtr>();
    return object ? encodeCoding(object) : PlistUID{0};
  }
  switch (value.metaType().id()) {
    case QMetaType::QString:
      return encodeScalar(value.toString(), "s" + value.toString());
    case QMetaType::QByteArray:
      return encodeDataObject(value.toByteArray());
    case QMetaType::Bool:
      return encodeScalar(value.toBool(), value.toBool() ? "b1" : "b0");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
      return encodeScalar(value.toLongLong(), "i" + QString::number(value.toLongLong()));
    case QMetaType::ULong:
    case QMetaType::ULongLong:
      if (value.toULongLong() > quint64(std::numeric_limits<qint64>::max())) break;
      return encodeScalar(value.toLongLong(), "i" + QString::number(value.toLongLong()));
    case QMetaType::Float:
    case QMetaType::Double:
      return encodeScalar(value.toDouble(), "r" + QString::number(value.toDouble(), 'g', 17));
    case QMetaType::QDateTime:
      return encodeDate(value.toDateTime());
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
      return encodeArray(value.toList());
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash:
      return encodeDictionary(value.toMap());
    default:
      break;
  }
  setFailed(QStringLiteral("values of type %1 cannot be archived").arg(value.metaType().name()));
  return {0};
}

PlistUID KeyedArchiver::encodeScalar(const QVariant& value, const QString& dedupKey) {
  auto found = valueIndex_.constFind(dedupKey);
  if (found != valueIndex_.constEnd()) return {*found};
  const quint64 index = reserveObject();
  objects_[qsizetype(index)] = value;
  valueIndex_.insert(dedupKey, index);
  return {index};
}

PlistUID KeyedArchiver::encodeDataObject(const QByteArray& data) {
  auto found = dataIndex_.constFind(data);
  if (found != dataIndex_.constEnd()) return {*found};
  const quint64 index = reserveObject();
  objects_[qsizetype(index)] = data;
  dataIndex_.insert(data, index);
  return {index};
}

PlistUID KeyedArchiver::encodeCoding(const CodingPtr& object) {
  const Coding* key = object.get();
  auto found = codingIndex_.find(key);
  if (found != codingIndex_.end()) {
    // The reader builds each object from its keys, so it cannot rebuild
    // an object that contains itself.
    if (encoding_.count(key)) setFailed("the object graph contains a cycle");
    return {found->second};
  }
  if (depth_ >= KeyedUnarchiver::MaximumDepth) {
    setFailed("objects nested too deeply");
    return {0};
  }
  const quint64 index = reserveObject();
  retained_.push_back(object);
  codingIndex_[key] = index;
  encoding_.insert(key);
  QVariantMap fields;
  QVariantMap* outer = current_;
  current_ = &fields;
  ++depth_;
  object->encodeWithCoder(*this);
  --depth_;
  current_ = outer;
  encoding_.erase(key);
  QStringList hierarchy = object->archiveClassHierarchy();
  if (hierarchy.isEmpty()) hierarchy = QStringList{object->archiveClassName()};
  fields.insert(ClassKey, uid(classReference(hierarchy).value));
  objects_[qsizetype(index)] = fields;
  return {index};
}

PlistUID KeyedArchiver::encodeDate(const QDateTime& date) {
  // Unarchivers refuse dates beyond the range, so none is written.
  const double seconds = ReferenceDate::secondsFrom(date);
  if (!(std::fabs(seconds) <= ReferenceDate::MaximumSeconds)) {
    setFailed("invalid date or one beyond the supported range");
    return {0};
  }
  const quint64 index = reserveObject();
  objects_[qsizetype(index)] =
      QVariantMap{{TimeField, seconds}, {ClassKey, uid(classReference(DateClasses).value)}};
  return {index};
}

PlistUID KeyedArchiver::encodeArray(const QVariantList& list) {
  if (depth_ >= KeyedUnarchiver::MaximumDepth) {
    setFailed("objects nested too deeply");
    return {0};
  }
  const quint64 index = reserveObject();
  QVariantList references;
  ++depth_;
  for (const QVariant& item : list) references.append(uid(encodeValue(item).value));
  --depth_;
  objects_[qsizetype(index)] =
      QVariantMap{{ObjectsField, references}, {ClassKey, uid(classReference(ArrayClasses).value)}};
  return {index};
}

PlistUID KeyedArchiver::encodeDictionary(const QVariantMap& map) {
  if (depth_ >= KeyedUnarchiver::MaximumDepth) {
    setFailed("objects nested too deeply");
    return {0};
  }
  const quint64 index = reserveObject();
  QVariantList keys, values;
  ++depth_;
  for (auto it = map.begin(); it != map.end(); ++it) {
    keys.append(uid(encodeValue(it.key()).value));
    values.append(uid(encodeValue(it.value()).value));
  }
  --depth_;
  objects_[qsizetype(index)] =
      QVariantMap{{KeysField, keys},
                  {ObjectsField, values},
                  {ClassKey, uid(classReference(DictionaryClasses).value)}};
  return {index};
}

PlistUID KeyedArchiver::classReference(const QStringList& hierarchy) {
  const QString key = hierarchy.join(QChar(0));
  auto found = classIndex_.constFind(key);
  if (found != classIndex_.constEnd()) return {*found};
  const quint64 index = reserveObject();
  objects_[qsizetype(index)] =
      QVariantMap{{ClassNameKey, hierarchy.first()}, {ClassesKey, hierarchy}};
  classIndex_.insert(key, index);
  return {index};
}

QByteArray KeyedArchiver::encodedData() {
  if (finished_ || failed()) return result_;
  finished_ = true;
  const QVariantMap archive{
      {ArchiverKey, ArchiverName}, {VersionKey, Version}, {TopKey, top_}, {ObjectsKey, objects_}};
  Error plistError;
  result_ = PropertyList::dataWithPropertyList(archive, format_, &plistError);
  if (result_.isEmpty()) {
    error_ = plistError;
    result_.clear();
  }
  return result_;
}

QByteArray KeyedArchiver::archivedDataWithRootObject(const QVariant& root, Error* error) {
  KeyedArchiver archiver;
  archiver.encodeObject(root, RootKey);
  QByteArray data = archiver.encodedData();
  if (archiver.failed()) fail(error, archiver.error());
  return data;
}

}  // namespace fnd
