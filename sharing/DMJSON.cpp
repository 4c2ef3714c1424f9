#include "sharing/DMJSON.h"

DMJSON::DMJSON() { setMaxDepth(512); }

void DMJSON::setMaxDepth(quint64 maxDepth) {
  DMJsonBase::setMaxDepth(maxDepth);
  jsonParser_.setMaxDepth(maxDepth);
  jsonWriter_.setMaxDepth(maxDepth);
}

void DMJSON::takeTrace(const DMJsonBase& inner, fnd::Error* error) {
  clearErrorTrace();
  for (const fnd::Error& entry : inner.errorTrace())
    addErrorWithCode(unsigned(entry.code()), entry.localizedDescription());
  if (error && !errorTrace().isEmpty()) *error = errorTrace().last();
}

QVariant DMJSON::objectWithString(const QString& text) {
  return objectWithString(text, false, nullptr);
}

QVariant DMJSON::objectWithString(const QString& text, bool allowScalar, fnd::Error* error) {
  QVariant value =
      allowScalar ? jsonParser_.fragmentWithString(text) : jsonParser_.objectWithString(text);
  if (!value.isValid()) takeTrace(jsonParser_, error);
  return value;
}

QVariant DMJSON::objectWithString(const QString& text, fnd::Error* error) {
  return objectWithString(text, false, error);
}

QVariant DMJSON::fragmentWithString(const QString& text, fnd::Error* error) {
  return objectWithString(text, true, error);
}

QString DMJSON::stringWithObject(const QVariant& value) {
  return stringWithObject(value, false, nullptr);
}

QString DMJSON::stringWithObject(const QVariant& value, bool allowScalar, fnd::Error* error) {
  QString json =
      allowScalar ? jsonWriter_.stringWithFragment(value) : jsonWriter_.stringWithObject(value);
  if (json.isNull()) takeTrace(jsonWriter_, error);
  return json;
}

QString DMJSON::stringWithObject(const QVariant& value, fnd::Error* error) {
  return stringWithObject(value, false, error);
}

QString DMJSON::stringWithFragment(const QVariant& value, fnd::Error* error) {
  return stringWithObject(value, true, error);
}
