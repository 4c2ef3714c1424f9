#include "foundation/KeyedUnarchiver.h"

#include <QDateTime>
#include <QMutex>
#include <cmath>
#include <limits>
#include <type_traits>

#include "foundation/GeometryStrings.h"
#include "foundation/KeyedArchiveKeys.h"
#include "foundation/Localized.h"
#include "foundation/PropertyList.h"
#include "foundation/ReferenceDate.h"

namespace fnd {

using namespace archive;

namespace {

struct Registry {
  QMutex mutex;
  QHash<QString, KeyedUnarchiver::Factory> factories;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

KeyedUnarchiver::Factory factoryFor(const QStringList& hierarchy) {
  Registry& r = registry();
  QMutexLocker lock(&r.mutex);
  for (const QString& name : hierarchy) {
    auto found = r.factories.constFind(name);
    if (found != r.factories.constEnd()) return *found;
  }
  return {};
}

bool isUid(const QVariant& value) { return value.metaType() == QMetaType::fromType<PlistUID>(); }

bool isNumber(const QVariant& value) {
  const int type = value.metaType().id();
  return type == QMetaType::LongLong || type == QMetaType::Double || type == QMetaType::Bool;
}

constexpr qsizetype MaximumAncestors = 256;

const QStringList ArrayNames{"NSArray", "NSMutableArray", "NSSet", "NSMutableSet"};
const QStringList DictionaryNames{"NSDictionary", "NSMutableDictionary"};
const QStringList DateNames{"NSDate"};
const QStringList StringNames{"NSString", "NSMutableString"};
const QStringList DataNames{"NSData", "NSMutableData"};

}  // namespace

KeyedUnarchiver::KeyedUnarchiver(const QByteArray& data, Error* error) {
  if (!load(data)) fail(error, error_);
}

std::unique_ptr<KeyedUnarchiver> KeyedUnarchiver::create(const QByteArray& data, Error* error) {
  auto coder = std::make_unique<KeyedUnarchiver>(data, error);
  if (coder->failed()) return nullptr;
  return coder;
}

QVariant KeyedUnarchiver::unarchiveObjectWithData(const QByteArray& data, Error* error) {
  KeyedUnarchiver coder(data, error);
  if (coder.failed()) return {};
  if (!coder.containsValueForKey(RootKey)) coder.setFailed("the archive has no root object");
  QVariant root = coder.decodeObjectForKey(RootKey);
  if (coder.failed()) {
    fail(error, coder.error());
    return {};
  }
  return root;
}

void KeyedUnarchiver::registerClass(const QString& className, Factory factory) {
  Registry& r = registry();
  QMutexLocker lock(&r.mutex);
  r.factories.insert(className, std::move(factory));
}

void KeyedUnarchiver::setFailed(const QString& description) {
  if (failed()) return;
  error_ = Error(CocoaErrorDomain, CoderReadCorruptError,
                 {{LocalizedDescriptionKey,
                   localized("The data couldn’t be read because it isn’t in the correct format.")},
                  {LocalizedFailureReasonKey, description}});
}

bool KeyedUnarchiver::load(const QByteArray& data) {
  Error plistError;
  QVariant plist = PropertyList::propertyListWithData(data, nullptr, &plistError);
  if (!plist.isValid()) {
    setFailed(plistError.localizedFailureReason());
    QVariantMap info = error_.userInfo();
    info.insert(UnderlyingErrorKey, QVariant::fromValue(plistError));
    error_ = Error(error_.domain(), error_.code(), info);
    return false;
  }
  const QVariantMap archive = plist.toMap();
  if (plist.metaType().id() != QMetaType::QVariantMap)
    setFailed("the archive is not a dictionary");
  else if (archive.value(ArchiverKey) != QVariant(ArchiverName))
    setFailed("not a keyed archive");
  else if (archive.value(TopKey).metaType().id() != QMetaType::QVariantMap)
    setFailed("no $top dictionary");
  else if (archive.value(ObjectsKey).metaType().id() != QMetaType::QVariantList)
    setFailed("no $objects array");
  if (failed()) return false;
  top_ = archive.value(TopKey).toMap();
  objects_ = archive.value(ObjectsKey).toList();
  if (objects_.isEmpty() || objects_.first() != QVariant(NullObject))
    setFailed("$objects does not start with $null");
  return !failed();
}

QVariant KeyedUnarchiver::rawValue(const QString& key) const {
  return (current_ ? *current_ : top_).value(key);
}

bool KeyedUnarchiver::containsValueForKey(const QString& key) const {
  return (current_ ? *current_ : top_).contains(key);
}

QVariant KeyedUnarchiver::decodeObjectForKey(const QString& key) {
  if (failed()) return {};
  const QVariant raw = rawValue(key);
  if (!raw.isValid()) return {};
  return decodeReference(raw);
}

QVariant KeyedUnarchiver::decodeReference(const QVariant& reference) {
  if (!isUid(reference)) {
    setFailed("an object field does not hold a reference");
    return {};
  }
  return decodeObjectAt(reference.value<PlistUID>().value);
}

QVariant KeyedUnarchiver::decodeObjectAt(quint64 index) {
  if (failed() || index == 0) return {};
  if (index >= quint64(objects_.size())) {
    setFailed(QStringLiteral("reference %1 points past the objects").arg(index));
    return {};
  }
  auto found = decoded_.constFind(index);
  if (found != decoded_.constEnd()) return *found;
  if (inProgress_.contains(index)) {
    setFailed("the objects refer to each other in a cycle");
    return {};
  }
  if (depth_ >= MaximumDepth) {
    setFailed("objects nested too deeply");
    return {};
  }
  const QVariant stored = objects_[qsizetype(index)];
  QVariant value;
  const int type = stored.metaType().id();
  if (type == QMetaType::QString || type == QMetaType::QByteArray || isNumber(stored)) {
    value = stored;
  } else if (type == QMetaType::QVariantMap) {
    inProgress_.insert(index);
    ++depth_;
    value = decodeDictionaryObject(stored.toMap());
    --depth_;
    inProgress_.remove(index);
  } else {
    setFailed(QStringLiteral("object %1 has an unexpected kind").arg(index));
  }
  if (failed()) return {};
  decoded_.insert(index, value);
  return value;
}

QStringList KeyedUnarchiver::classHierarchyOf(const QVariantMap& object) {
  const QVariant reference = object.value(ClassKey);
  if (!isUid(reference)) {
    setFailed("an object has no class");
    return {};
  }
  const quint64 index = reference.value<PlistUID>().value;
  if (index == 0 || index >= quint64(objects_.size())) {
    setFailed("a class reference points outside the objects");
    return {};
  }
  const QVariantMap entry = objects_[qsizetype(index)].toMap();
  const QVariant name = entry.value(ClassNameKey);
  if (name.metaType().id() != QMetaType::QString) {
    setFailed("a class entry has no $classname");
    return {};
  }
  // Every object of the class walks this list, so a long one would cost
  // objects times ancestors squared; real hierarchies are a few deep.
  const QVariantList ancestors = entry.value(ClassesKey).toList();
  if (ancestors.size() > MaximumAncestors) {
    setFailed("a class entry lists more ancestors than any class has");
    return {};
  }
  QStringList hierarchy{name.toString()};
  for (const QVariant& ancestor : ancestors) {
    if (ancestor.metaType().id() == QMetaType::QString && !hierarchy.contains(ancestor.toString()))
      hierarchy.append(ancestor.toString());
  }
  return hierarchy;
}

QVariantList KeyedUnarchiver::decodeReferenceList(const QVariant& list) {
  QVariantList values;
  if (list.metaType().id() != QMetaType::QVariantList) {
    setFailed("a collection has no list of references");
    return values;
  }
  const QVariantList references = list.toList();
  values.reserve(references.size());
  for (const QVariant& reference : references) {
    values.append(decodeReference(reference));
    if (failed()) break;
  }
  return values;
}

QVariant KeyedUnarchiver::decodeFoundationObject(const QString& className,
                                                 const QVariantMap& object, bool* handled) {
  *handled = true;
  if (ArrayNames.contains(className)) return decodeReferenceList(object.value(ObjectsField));
  if (DictionaryNames.contains(className)) {
    const QVariantList keys = decodeReferenceList(object.value(KeysField));
    const QVariantList values = decodeReferenceList(object.value(ObjectsField));
    if (failed()) return {};
    if (keys.size() != values.size()) setFailed("a dictionary has unpaired keys");
    QVariantMap map;
    for (qsizetype i = 0; i < keys.size() && !failed(); ++i) {
      if (keys[i].metaType().id() != QMetaType::QString)
        setFailed("a dictionary key is not a string");
      map.insert(keys[i].toString(), values[i]);
    }
    return map;
  }
  if (DateNames.contains(className)) {
    const QVariant time = object.value(TimeField);
    const QDateTime date = ReferenceDate::dateFrom(time.toDouble());
    if (!isNumber(time) || !date.isValid()) {
      setFailed("a date has no valid time");
      return {};
    }
    return date;
  }
  if (StringNames.contains(className)) {
    const QVariant text = object.value(StringField);
    if (text.metaType().id() == QMetaType::QString) return text;
    setFailed("a string object has no text");
    return {};
  }
  if (DataNames.contains(className)) {
    const QVariant bytes = object.value(DataField);
    if (bytes.metaType().id() == QMetaType::QByteArray) return bytes;
    setFailed("a data object has no bytes");
    return {};
  }
  *handled = false;
  return {};
}

QVariant KeyedUnarchiver::decodeDictionaryObject(const QVariantMap& object) {
  const QStringList hierarchy = classHierarchyOf(object);
  if (failed()) return {};
  bool handled = false;
  QVariant value = decodeFoundationObject(hierarchy.first(), object, &handled);
  if (handled) return value;
  Factory factory = factoryFor(hierarchy);
  if (!factory) {
    setFailed(QStringLiteral("cannot decode objects of class %1").arg(hierarchy.first()));
    return {};
  }
  const QVariantMap* outer = current_;
  current_ = &object;
  CodingPtr decoded = factory(*this);
  current_ = outer;
  if (failed()) return {};
  if (!decoded) {
    setFailed(QStringLiteral("an object of class %1 could not be decoded").arg(hierarchy.first()));
    return {};
  }
  return QVariant::fromValue(decoded);
}

// Resolves a scalar stored in place or, for numbers encoded as objects,
// behind a reference.
template <class T>
T KeyedUnarchiver::numberForKey(const QString& key, const char* kind) {
  if (failed()) return T();
  QVariant value = rawValue(key);
  if (!value.isValid()) return T();
  if (isUid(value)) value = decodeReference(value);
  if (!value.isValid()) return T();
  if (!isNumber(value)) {
    setFailed(QStringLiteral("value for key \"%1\" is not a %2").arg(key, kind));
    return T();
  }
  if constexpr (std::is_same_v<T, bool>) {
    return value.metaType().id() == QMetaType::Double ? value.toDouble() != 0
                                                      : value.toLongLong() != 0;
  } else if constexpr (std::is_floating_point_v<T>) {
    // Infinities and NaN convert as they are; other values must fit.
    const double real = value.toDouble();
    if (std::isfinite(real) && std::fabs(real) > double(std::numeric_limits<T>::max())) {
      setFailed(QStringLiteral("value for key \"%1\" does not fit a %2").arg(key, kind));
      return T();
    }
    return T(real);
  } else {
    if (value.metaType().id() == QMetaType::Double) {
      const double real = std::trunc(value.toDouble());
      // The type's maximum plus one is a power of two, exact as a double;
      // the maximum itself may round up to it, so the bound is exclusive.
      const double limit = std::ldexp(1.0, std::numeric_limits<T>::digits);
      if (!(real >= double(std::numeric_limits<T>::min()) && real < limit)) {
        setFailed(QStringLiteral("value for key \"%1\" does not fit a %2").arg(key, kind));
        return T();
      }
      return T(real);
    }
    const qint64 integer = value.toLongLong();
    if (integer < qint64(std::numeric_limits<T>::min()) ||
        integer > qint64(std::numeric_limits<T>::max())) {
      setFailed(QStringLiteral("value for key \"%1\" does not fit a %2").arg(key, kind));
      return T();
    }
    return T(integer);
  }
}

bool KeyedUnarchiver::decodeBoolForKey(const QString& key) {
  return numberForKey<bool>(key, "bool");
}

qint32 KeyedUnarchiver::decodeInt32ForKey(const QString& key) {
  return numberForKey<qint32>(key, "32-bit integer");
}

qint64 KeyedUnarchiver::decodeInt64ForKey(const QString& key) {
  return numberForKey<qint64>(key, "64-bit integer");
}

double KeyedUnarchiver::decodeDoubleForKey(const QString& key) {
  return numberForKey<double>(key, "double");
}

float KeyedUnarchiver::decodeFloatForKey(const QString& key) {
  return numberForKey<float>(key, "float");
}

QString KeyedUnarchiver::decodeStringForKey(const QString& key) {
  // Geometry text is stored in place, strings as objects behind a reference.
  const QVariant raw = rawValue(key);
  const QVariant value = isUid(raw) || !raw.isValid() ? decodeObjectForKey(key) : raw;
  if (value.isValid() && value.metaType().id() != QMetaType::QString)
    setFailed(QStringLiteral("value for key \"%1\" is not a string").arg(key));
  return failed() ? QString() : value.toString();
}

QByteArray KeyedUnarchiver::decodeDataForKey(const QString& key) {
  // Other writers store raw bytes in place; objects sit behind a reference.
  const QVariant raw = rawValue(key);
  const QVariant value = isUid(raw) || !raw.isValid() ? decodeObjectForKey(key) : raw;
  if (value.isValid() && value.metaType().id() != QMetaType::QByteArray)
    setFailed(QStringLiteral("value for key \"%1\" is not data").arg(key));
  return failed() ? QByteArray() : value.toByteArray();
}

QRectF KeyedUnarchiver::decodeRectForKey(const QString& key) {
  QRectF rect;
  const QString text = decodeStringForKey(key);
  if (!text.isEmpty() && !rectFromString(text, &rect))
    setFailed(QStringLiteral("value for key \"%1\" is not a rectangle").arg(key));
  return failed() ? QRectF() : rect;
}

QPointF KeyedUnarchiver::decodePointForKey(const QString& key) {
  QPointF point;
  const QString text = decodeStringForKey(key);
  if (!text.isEmpty() && !pointFromString(text, &point))
    setFailed(QStringLiteral("value for key \"%1\" is not a point").arg(key));
  return failed() ? QPointF() : point;
}

QSizeF KeyedUnarchiver::decodeSizeForKey(const QString& key) {
  QSizeF size;
  const QString text = decodeStringForKey(key);
  if (!text.isEmpty() && !sizeFromString(text, &size))
    setFailed(QStringLiteral("value for key \"%1\" is not a size").arg(key));
  return failed() ? QSizeF() : size;
}

}  // namespace fnd
