// Writes object graphs in the public keyed-archive layout ("$archiver",
// "$version", "$top", "$objects" with "$null" first, UID references,
// class entries), as a binary or XML property list built with PropertyList.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QVariant>
#include <unordered_map>
#include <vector>
#include <unordered_set>

#include "foundation/Coding.h"
#include "foundation/Error.h"
#include "foundation/PropertyList.h"

namespace fnd {

class KeyedArchiver {
 public:
  KeyedArchiver();

  void setOutputFormat(PropertyListFormat format);
  PropertyListFormat outputFormat() const { return format_; }

  // Keys go to the object whose encodeWithCoder is running, or to "$top"
  // outside of one. `value` may hold QString, QByteArray, QDateTime, a
  // number, bool, QVariantList, QVariantMap (string keys), CodingPtr or
  // nothing (stored as the "$null" reference). Other kinds put the archiver
  // in the failed state.
  void encodeObject(const QVariant& value, const QString& key);
  void encodeBool(bool value, const QString& key);
  void encodeInt32(qint32 value, const QString& key);
  void encodeInt64(qint64 value, const QString& key);
  void encodeDouble(double value, const QString& key);
  void encodeFloat(float value, const QString& key);
  void encodeString(const QString& value, const QString& key);
  void encodeData(const QByteArray& value, const QString& key);
  // Geometry is stored as text: "{{x, y}, {w, h}}", "{x, y}", "{w, h}".
  void encodeRect(const QRectF& value, const QString& key);
  void encodePoint(const QPointF& value, const QString& key);
  void encodeSize(const QSizeF& value, const QString& key);

  // Finishes the archive. Empty when the archiver failed.
  QByteArray encodedData();

  bool failed() const { return !error_.isNull(); }
  Error error() const { return error_; }

  // The root object goes under the "$top" key "root". Binary output.
  static QByteArray archivedDataWithRootObject(const QVariant& root, Error* error = nullptr);

 private:
  PlistUID encodeValue(const QVariant& value);
  PlistUID encodeCoding(const CodingPtr& object);
  PlistUID encodeDate(const QDateTime& date);
  PlistUID encodeArray(const QVariantList& list);
  PlistUID encodeDictionary(const QVariantMap& map);
  PlistUID encodeScalar(const QVariant& value, const QString& dedupKey);
  PlistUID encodeDataObject(const QByteArray& data);
  PlistUID classReference(const QStringList& hierarchy);
  quint64 reserveObject();
  void setEntry(const QString& key, const QVariant& plistValue);
  void setFailed(const QString& description);

  PropertyListFormat format_ = PropertyListFormat::Binary;
  QVariantList objects_;
  QVariantMap top_;
  QVariantMap* current_ = nullptr;  // the dictionary of the object being encoded
  QHash<QString, quint64> valueIndex_;
  // Data is looked up by its bytes (shared, not copied), so large blobs are
  // hashed once instead of being turned into text keys.
  QHash<QByteArray, quint64> dataIndex_;
  QHash<QString, quint64> classIndex_;
  std::unordered_map<const Coding*, quint64> codingIndex_;
  // Objects are told apart by address, so each one encoded is kept alive
  // until the archive is done: a temporary freed mid-encoding must not
  // lend its address to the next object.
  std::vector<CodingPtr> retained_;
  std::unordered_set<const Coding*> encoding_;
  Error error_;
  int depth_ = 0;
  bool finished_ = false;
  QByteArray result_;
};

}  // namespace fnd
