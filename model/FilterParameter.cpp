#include "model/FilterParameter.h"

#include "model/Filter.h"
#include "model/Image.h"

Filter* FilterParameter::filter() const { return dynamic_cast<Filter*>(relatedObject("filter")); }

Image* FilterParameter::image() const { return dynamic_cast<Image*>(relatedObject("image")); }

void FilterParameter::setImage(Image* image) {
  setValue(QVariant::fromValue<cd::ManagedObject*>(image), "image");
}
