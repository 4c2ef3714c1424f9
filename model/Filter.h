#pragma once

#include "model/IMManagedObject.h"

class Layer;

// One Core Image filter of a layer's chain, with one parameter per input.
// Its filter object and parameter handling come with the filter chain; the
// entity already travels through archives with its parameters.
class Filter : public IMManagedObject {
 public:
  bool enabled() const { return valueForKey("enabled").toBool(); }
  void setEnabled(bool enabled) { setValue(enabled, "enabled"); }
  QString name() const { return valueForKey("name").toString(); }
  void setName(const QString& name) { setValue(name, "name"); }
  QString localizedName() const { return valueForKey("localizedName").toString(); }
  void setLocalizedName(const QString& name) { setValue(name, "localizedName"); }
  Layer* layer() const;
  bool imShouldEncodeRelationshipNamed(const QString& name) const override {
    return name == "filterParameters";
  }
};
