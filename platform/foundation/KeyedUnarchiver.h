// Reads keyed archives (see KeyedArchiver) back into QVariant values and
// registered classes. Every reference, type and size is checked: a
// malformed archive puts the unarchiver in the failed state with
// CoderReadCorruptError, and decoding continues harmlessly with defaults.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QPointF>
#include <QRectF>
#include <QSet>
#include <QSizeF>
#include <QVariant>
#include <functional>
#include <memory>

#include "foundation/Coding.h"
#include "foundation/Error.h"

namespace fnd {

class KeyedUnarchiver {
 public:
  using Factory = std::function<CodingPtr(KeyedUnarchiver& coder)>;

  // Parses the archive; on failure `error` is filled and failed() holds.
  explicit KeyedUnarchiver(const QByteArray& data, Error* error = nullptr);

  // Nullptr (and `error`) when the data is not a keyed archive.
  static std::unique_ptr<KeyedUnarchiver> create(const QByteArray& data, Error* error = nullptr);

  // The object under the "$top" key "root"; null QVariant on failure.
  static QVariant unarchiveObjectWithData(const QByteArray& data, Error* error = nullptr);

  // A factory reads its keys through the coder it is given. Later
  // registrations replace earlier ones. Thread-safe.
  static void registerClass(const QString& className, Factory factory);

  // Keys are looked up in the object being decoded, or in "$top" outside
  // of one. Absent keys give the defaults (null, false, 0, empty); values of
  // the wrong kind fail the unarchiver.
  bool containsValueForKey(const QString& key) const;
  QVariant decodeObjectForKey(const QString& key);
  bool decodeBoolForKey(const QString& key);
  qint32 decodeInt32ForKey(const QString& key);
  qint64 decodeInt64ForKey(const QString& key);
  double decodeDoubleForKey(const QString& key);
  float decodeFloatForKey(const QString& key);
  QString decodeStringForKey(const QString& key);
  QByteArray decodeDataForKey(const QString& key);
  QRectF decodeRectForKey(const QString& key);
  QPointF decodePointForKey(const QString& key);
  QSizeF decodeSizeForKey(const QString& key);

  // The decoded object when it is a T; nullptr otherwise (a present value
  // of another class fails the unarchiver).
  template <class T>
  std::shared_ptr<T> decodeObjectOfClass(const QString& key) {
    QVariant value = decodeObjectForKey(key);
    if (!value.isValid() || failed()) return nullptr;
    auto object = std::dynamic_pointer_cast<T>(value.value<CodingPtr>());
    if (!object) setFailed(QStringLiteral("value for key \"%1\" has an unexpected class").arg(key));
    return object;
  }

  bool failed() const { return !error_.isNull(); }
  Error error() const { return error_; }
  void setFailed(const QString& description);

  // Nesting of objects inside objects beyond this is refused.
  static constexpr int MaximumDepth = 256;

 private:
  bool load(const QByteArray& data);
  QVariant rawValue(const QString& key) const;
  QVariant decodeReference(const QVariant& reference);
  QVariant decodeObjectAt(quint64 index);
  QVariant decodeDictionaryObject(const QVariantMap& object);
  QVariant decodeFoundationObject(const QString& className, const QVariantMap& object,
                                  bool* handled);
  QVariantList decodeReferenceList(const QVariant& list);
  QStringList classHierarchyOf(const QVariantMap& object);
  template <class T>
  T numberForKey(const QString& key, const char* kind);

  QVariantList objects_;
  QVariantMap top_;
  const QVariantMap* current_ = nullptr;
  QHash<quint64, QVariant> decoded_;
  QSet<quint64> inProgress_;
  int depth_ = 0;
  Error error_;
};

}  // namespace fnd
