// An attribute of an entity: its value type, default and whether it is
// stored. Values live in QVariants of one canonical type per attribute type
// (see canonicalValue), so comparisons and undo see equal values as equal.
#pragma once

#include <QVariant>

#include "coredata/PropertyDescription.h"

namespace cd {

enum class AttributeType {
  Integer16 = 100,
  Integer32 = 200,
  Integer64 = 300,
  Double = 500,
  Float = 600,
  String = 700,
  Boolean = 800,
  Date = 900,
  Binary = 1000,
  Transformable = 1800,
};

class AttributeDescription : public PropertyDescription {
 public:
  bool isAttribute() const override { return true; }

  AttributeType attributeType() const { return type_; }
  void setAttributeType(AttributeType type) { type_ = type; }

  const QVariant& defaultValue() const { return defaultValue_; }
  void setDefaultValue(const QVariant& value) { defaultValue_ = canonicalValue(value); }

  // Binary data is read from the store on first access rather than with
  // the row, so fetching many large images loads none of them.
  bool isStoredLazily() const { return type_ == AttributeType::Binary; }

  // `value` converted to this attribute's value type; a null QVariant for
  // nil. Transformable values pass through unchanged.
  QVariant canonicalValue(const QVariant& value) const;

  QByteArray versionHashInput() const override;

  static QString typeName(AttributeType type);
  static bool typeFromName(const QString& name, AttributeType* type);

 private:
  AttributeType type_ = AttributeType::String;
  QVariant defaultValue_;
};

}  // namespace cd
