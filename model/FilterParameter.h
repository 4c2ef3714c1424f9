#pragma once

#include "model/IMManagedObject.h"

class Filter;
class Image;

// One input of a filter; an image-valued input owns its Image.
class FilterParameter : public IMManagedObject {
 public:
  QString name() const { return valueForKey("name").toString(); }
  void setName(const QString& name) { setValue(name, "name"); }
  Filter* filter() const;
  Image* image() const;
  void setImage(Image* image);
  bool imShouldEncodeRelationshipNamed(const QString& name) const override {
    return name == "image";
  }
};
