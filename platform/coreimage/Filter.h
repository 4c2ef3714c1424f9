// A filter (the CIFilter role): a named recipe step with inputs set by key
// and an output image computed on request. Filters are made by name through
// the registry; the program registers its own with registerFilterName.
// Values are QVariants: numbers as double/int/bool, ci::Vector, ci::Color,
// ci::Image, gfx::AffineTransform (QTransform also accepted), QByteArray.
#pragma once

#include <QList>
#include <QStringList>
#include <QTransform>
#include <QVariantMap>
#include <functional>
#include <memory>

#include "coreimage/Color.h"
#include "coreimage/FilterConstants.h"
#include "coreimage/FilterInput.h"
#include "coreimage/Image.h"
#include "coreimage/Vector.h"

namespace ci {

class Filter;
using FilterPtr = std::shared_ptr<Filter>;
// Makes a filter for a registered name (the platform's filter constructor).
using FilterConstructor = std::function<FilterPtr(const QString& name)>;

class Filter {
 public:
  virtual ~Filter() = default;

  // A new filter with its inputs at their defaults; null for an unknown name.
  static FilterPtr filterWithName(const QString& name);
  static FilterPtr filterWithName(const QString& name, const QVariantMap& inputParameters);

  QString name() const { return name_; }
  void setName(const QString& name) { name_ = name; }

  // Unknown keys are refused with a log line (the value is not kept).
  void setValue(const QVariant& value, const QString& key);
  // "outputImage" computes the output; other keys answer the stored input.
  QVariant valueForKey(const QString& key) const;
  void setDefaults();

  QStringList inputKeys() const;
  virtual QStringList outputKeys() const { return {kCIOutputImageKey}; }
  // Class attributes (name, display name, categories, description) plus one
  // dictionary per input under the input's key.
  QVariantMap attributes() const;

  // Null when a required input is missing or unusable.
  virtual Image outputImage() const = 0;

  // ---- The registry ----
  // Names that belong to every listed category (all names for an empty list), sorted.
  static QStringList filterNamesInCategories(const QStringList& categories);
  static QStringList filterNamesInCategory(const QString& category);
  static QString localizedNameForFilterName(const QString& filterName);
  static QString localizedDescriptionForFilterName(const QString& filterName);
  static QString localizedNameForCategory(const QString& category);
  // The attributes kCIAttributeFilterCategories, kCIAttributeFilterDisplayName
  // and kCIAttributeDescription are read from `classAttributes`.
  static void registerFilterName(const QString& name, FilterConstructor constructor,
                                 const QVariantMap& classAttributes);

 protected:
  Filter(const QString& name, QList<FilterInput> inputs, QVariantMap classAttributes = {});

  // Typed reads of the current inputs; missing or unconvertible values give
  // the input's default converted the same way.
  Image imageValue(const QString& key) const;
  double numberValue(const QString& key) const;
  Vector vectorValue(const QString& key) const;
  Color colorValue(const QString& key) const;
  QTransform transformValue(const QString& key) const;
  QByteArray dataValue(const QString& key) const;

 private:
  friend class FilterRegistry;
  const FilterInput* input(const QString& key) const;
  QVariant rawValue(const QString& key) const;

  QString name_;
  QList<FilterInput> inputs_;
  QVariantMap classAttributes_;
  QVariantMap values_;
};

}  // namespace ci
