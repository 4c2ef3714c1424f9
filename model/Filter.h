#pragma once

#include <QList>
#include <QSet>
#include <QStringList>

#include "coreimage/Filter.h"
#include "model/IMManagedObject.h"

class FilterParameter;
class Layer;

namespace cd {
class ManagedObjectContext;
}
namespace fnd {
class KeyedUnarchiver;
}

// One Core Image filter of a layer's chain, with one parameter per usable
// input in the Core Image filter's input-key order. Also the catalogue rules
// that decide which filters the filter browser hides (FilterCatalogue.cpp).
class Filter : public IMManagedObject {
 public:
  // ---- Catalogue (FilterCatalogue.cpp) ----
  // Loads the installed filter plug-ins, then registers the program's own
  // filters. Called once at start-up, before any document exists.
  static void loadFilters();
  static QStringList excludedFiltersCategories();
  static QStringList allFiltersCategories();
  static bool isUsableWithName(const QString& name);
  // In no particular order.
  static QStringList excludedFilters();

  // ---- Creation ----
  // Null when the filter's parameters are not valid; the filter then leaves
  // nothing behind in the context.
  static Filter* createFilterWithName(const QString& name, cd::ManagedObjectContext* context);
  // The filter decoded from a pasted or dropped archive, its parameters'
  // values pushed into its new Core Image filter.
  static IMManagedObject* initWithCoder(const QString& entityName, fnd::KeyedUnarchiver& coder);
  static QSet<QString> keyPathsForValuesAffectingFilterParametersArray() {
    return {QStringLiteral("filterParameters")};
  }

  // ---- Persistent values ----
  bool enabled() const { return valueForKey("enabled").toBool(); }
  void setEnabled(bool enabled) { setValue(enabled, "enabled"); }
  QString name() const { return valueForKey("name").toString(); }
  void setName(const QString& name) { setValue(name, "name"); }
  QString localizedName() const { return valueForKey("localizedName").toString(); }
  void setLocalizedName(const QString& name) { setValue(name, "localizedName"); }
  Layer* layer() const;
  QList<FilterParameter*> filterParametersArray() const;
  void setFilterParametersArray(const QList<FilterParameter*>& parameters);

  // ---- The Core Image filter and the parameters ----
  // Made from `name` on first use and kept; null for an unknown name.
  ci::FilterPtr ciFilter();
  void buildParameters();
  bool isReadyForDrawing();
  void applyFilter(void* sender = nullptr);
  void addFilterParameter(FilterParameter* parameter);
  void removeFilterParameteObject(FilterParameter* parameter);

  // ---- Entity hooks ----
  void awakeFromFetch() override;
  void didChangeValueForKey(const QString& key) override;
  QVariant valueForKey(const QString& key) const override;
  QSet<QString> keyPathsForValuesAffectingValueForKey(const QString& key) const override;
  bool imShouldEncodeRelationshipNamed(const QString& name) const override {
    return name == "filterParameters";
  }

 private:
  // The localized name, or the raw name when that is empty or just "CI".
  static QString displayNameForFilterName(const QString& name);

  ci::FilterPtr ciFilter_;
};
