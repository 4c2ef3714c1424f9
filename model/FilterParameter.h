#pragma once

#include <QColor>
#include <QPointF>
#include <QSet>
#include <QStringList>
#include <QVariantMap>
#include <memory>

#include "coreimage/Color.h"
#include "coreimage/Filter.h"
#include "graphics/Image.h"
#include "model/IMManagedObject.h"

class Filter;
class Image;

namespace cd {
class ManagedObjectContext;
}

// One input of a filter: keeps the input's value in the document in a form
// that suits its kind (float, bool, point, colour, image or other), knows
// from the Core Image attributes how to show it, and pushes its value into
// the filter's Core Image filter whenever it changes. An image-valued input
// owns an Image whose pixels are decoded asynchronously before they reach
// the Core Image filter.
class FilterParameter : public IMManagedObject {
 public:
  FilterParameter();
  ~FilterParameter() override;

  // The Core Image filter argument is not used: the parameter reaches it
  // through `filter`.
  static FilterParameter* filterParameterWithName(const QString& name, Filter* filter,
                                                  const ci::FilterPtr& ciFilter,
                                                  cd::ManagedObjectContext* context);
  static bool automaticallyNotifiesObserversForKey(const QString& key) { return key == "point"; }
  static QStringList exposedBindings() { return {QStringLiteral("point")}; }
  static QSet<QString> keyPathsForValuesAffectingUpdatedCIFilterParameter() {
    return {QStringLiteral("image.nsImage")};
  }
  // The resource an image-valued input is reset to, by key ("inputMaskImage"
  // → ":/model/filterInputs/MaskImage.png"); the file may be missing.
  static QString imageResourcePathForKey(const QString& key);

  // ---- Persistent values ----
  QString name() const { return valueForKey("name").toString(); }
  void setName(const QString& name) { setValue(name, "name"); }
  float floatValue() const { return valueForKey("floatValue").toFloat(); }
  void setFloatValue(float value) { setValue(value, "floatValue"); }
  bool boolValue() const { return valueForKey("boolValue").toBool(); }
  void setBoolValue(bool value) { setValue(value, "boolValue"); }
  float x() const { return valueForKey("x").toFloat(); }
  void setX(float x) { setValue(x, "x"); }
  float y() const { return valueForKey("y").toFloat(); }
  void setY(float y) { setValue(y, "y"); }
  // Stored as an archived colour (a transformable attribute).
  QColor color() const;
  void setColor(const QColor& color);
  Filter* filter() const;
  void setFilter(Filter* filter);
  Image* image() const;
  void setImage(Image* image);

  // ---- Transient state ----
  // This input's entry of the Core Image filter's attributes, looked up on
  // first use and kept.
  QVariantMap CIParameter();
  // The value of an input of kind other; never stored in the document.
  QVariant otherValue() const { return otherValue_; }
  void setOtherValue(const QVariant& value) { otherValue_ = value; }

  // ---- Derived values ----
  QPointF point() const;
  void setPoint(const QPointF& point);
  QString readableName();
  QString detailedDescription();
  QVariant defaultValue();
  QString classString();
  QString typeString();
  // Slider bounds win over hard bounds; invalid when there is neither.
  QVariant minNumberValue();
  QVariant maxNumberValue();
  bool isFloat();
  bool isBool();
  bool isAnImage();
  bool isAColor();
  bool isPoint();
  ci::FilterPtr ciFilter() const;
  ci::Color ciColor() const;

  // ---- Pushing values into the Core Image filter ----
  void setFilterValue(const QVariant& value);
  QVariant ciFilterParameterValue();
  bool isReady();
  bool isValid();
  void resetToDefaultCIFilterParameter();
  // Pushes the stored value into the Core Image filter; always true.
  bool updatedCIFilterParameter();

  // ---- Entity hooks ----
  void awakeFromFetch() override;
  void didChangeValueForKey(const QString& key) override;
  void willTurnIntoFault() override;
  void observeValueForKeyPath(const QString& keyPath, void* object);
  QVariant valueForKey(const QString& key) const override;
  // "point" follows its coordinates, so an undo that restores them is
  // heard by those who watch the point.
  QSet<QString> keyPathsForValuesAffectingValueForKey(const QString& key) const override;
  // "point" is the binding the filter point tool writes through.
  void setValueForKey(const QString& key, const QVariant& value) override;
  bool imShouldEncodeRelationshipNamed(const QString& name) const override {
    return name == "image";
  }

 private:
  enum class Kind { Float, Bool, AnImage, Color, Point, Other };
  Kind kind();
  QVariant attribute(const QString& key);
  void resetImageToDefault();
  void pushImage();
  void pushPicture(const gfx::ImagePtr& picture);
  // Takes the picture out of the filter when the input has none any more.
  void withdrawPicture();
  void applyFilterLater();
  void startObservingImage();
  void stopObservingImage();
  void observeImageVersions();

  QVariantMap CIParameter_;
  bool hasCIParameter_ = false;
  QVariant otherValue_;
  bool isObservingUpdatedCIFilterParameter_ = false;
  Image* observedImage_ = nullptr;
  // The picture last set on the Core Image filter, so a version announced
  // both as a new image and as a new version is pushed once.
  std::weak_ptr<gfx::Image> pushedPicture_;
  std::shared_ptr<bool> alive_;
};
