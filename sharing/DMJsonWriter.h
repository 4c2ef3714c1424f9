// The JSON writer: maps, lists, strings, numbers, booleans and null into
// compact text, or indented by two spaces a level when humanReadable.
#pragma once

#include "sharing/DMJsonBase.h"

class DMJsonWriter : public DMJsonBase {
 public:
  // A map or a list; anything else is error 4.
  QString stringWithObject(const QVariant& value);
  // Any writable value. A null QString means the write failed.
  QString stringWithFragment(const QVariant& value);

  bool humanReadable() const { return humanReadable_; }
  void setHumanReadable(bool humanReadable) { humanReadable_ = humanReadable; }
  bool sortKeys() const { return sortKeys_; }
  void setSortKeys(bool sortKeys) { sortKeys_ = sortKeys; }

 protected:
  bool appendValue(const QVariant& value, QString& json);
  bool appendArray(const QVariantList& array, QString& json);
  bool appendDictionary(const QVariant& dictionary, QString& json);
  bool appendString(const QString& string, QString& json);
  bool appendNumber(const QVariant& number, QString& json);
  QString indent() const;

 private:
  bool humanReadable_ = false;
  bool sortKeys_ = false;
};
