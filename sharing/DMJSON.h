// One object for reading and writing JSON: a reader and a writer sharing the
// nesting limit. A failure keeps the inner object's error trace here until
// the next failure, and the forms with an error argument report its
// outermost error.
#pragma once

#include "sharing/DMJsonBase.h"
#include "sharing/DMJsonParser.h"
#include "sharing/DMJsonWriter.h"

class DMJSON : public DMJsonBase {
 public:
  DMJSON();

  QVariant objectWithString(const QString& text);
  QVariant objectWithString(const QString& text, bool allowScalar, fnd::Error* error);
  QVariant objectWithString(const QString& text, fnd::Error* error);
  QVariant fragmentWithString(const QString& text, fnd::Error* error);

  // A null QString means the write failed.
  QString stringWithObject(const QVariant& value);
  QString stringWithObject(const QVariant& value, bool allowScalar, fnd::Error* error);
  QString stringWithObject(const QVariant& value, fnd::Error* error);
  QString stringWithFragment(const QVariant& value, fnd::Error* error);

  quint64 maxDepth() const { return jsonParser_.maxDepth(); }
  void setMaxDepth(quint64 maxDepth);
  bool humanReadable() const { return jsonWriter_.humanReadable(); }
  void setHumanReadable(bool humanReadable) { jsonWriter_.setHumanReadable(humanReadable); }
  bool sortKeys() const { return jsonWriter_.sortKeys(); }
  void setSortKeys(bool sortKeys) { jsonWriter_.setSortKeys(sortKeys); }

 private:
  void takeTrace(const DMJsonBase& inner, fnd::Error* error);

  DMJsonParser jsonParser_;
  DMJsonWriter jsonWriter_;
};
