// A catalogue filter described by a table row: name, categories, inputs and
// the recipe that builds its output from the current input values. Also the
// helpers the family files describe their inputs with.
#pragma once

#include <QMap>
#include <functional>
#include <initializer_list>
#include <vector>

#include "coreimage/Filter.h"
#include "coreimage/Kernel.h"

namespace ci {
class FilterRegistry;
}

namespace ci::filters {

class BuiltInFilter;
using FilterRecipe = std::function<Image(const BuiltInFilter& filter)>;

struct FilterDefinition {
  QString name;
  QStringList categories;
  QString description;
  QList<FilterInput> inputs;
  FilterRecipe recipe;
};

class BuiltInFilter : public Filter {
 public:
  explicit BuiltInFilter(std::shared_ptr<const FilterDefinition> definition);
  Image outputImage() const override;

  using Filter::colorValue;
  using Filter::dataValue;
  using Filter::imageValue;
  using Filter::numberValue;
  using Filter::transformValue;
  using Filter::vectorValue;

 private:
  std::shared_ptr<const FilterDefinition> definition_;
};

void registerDefinitions(FilterRegistry& registry, const std::vector<FilterDefinition>& table);
// The same, with display names for the filters whose names do not split
// into words by their capitals ("CISRGBToneCurveToLinear").
void registerDefinitions(FilterRegistry& registry, const std::vector<FilterDefinition>& table,
                         const QMap<QString, QString>& displayNames);

// The family's categories plus the ones every built-in filter carries.
QStringList categories(std::initializer_list<QString> own);

FilterInput imageInput(const QString& key, const QString& description);
FilterInput numberInput(const QString& key, const QString& type, double defaultValue,
                        double minimum, double sliderMinimum, double sliderMaximum,
                        const QString& description);
FilterInput vectorInput(const QString& key, const QString& type, const Vector& defaultValue,
                        const QString& description);
FilterInput colorInput(const QString& key, const Color& defaultValue, const QString& description);
FilterInput transformInput(const QString& key, const QString& description);

// A kernel declared in the engine's kernel sources (the .cikernel files
// compiled into the library); null, with a log line, if it is missing.
KernelPtr builtInKernel(const QString& name);

}  // namespace ci::filters
