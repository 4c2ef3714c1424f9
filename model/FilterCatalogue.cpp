// The catalogue side of Filter: loading plug-ins and the program's own
// filters, and the rules that hide filters a layer cannot use (generators,
// gradients, reductions, and inputs the parameters panel cannot edit).
#include <QSet>
#include <functional>

#include "coreimage/PlugIn.h"
#include "graphics/ArchivedColor.h"
#include "model/Filter.h"
#include "model/FlipImageHUnit.h"
#include "model/FlipImageVUnit.h"
#include "model/ShadowImageUnit.h"

namespace {

struct NameRule {
  enum Test { StartsWith, EndsWith, Equals } test;
  QString text;
  bool matches(const QString& name) const {
    switch (test) {
      case StartsWith:
        return name.startsWith(text);
      case EndsWith:
        return name.endsWith(text);
      case Equals:
        return name == text;
    }
    return false;
  }
};

// Checked in this order; a name matching any of them is hidden.
const QList<NameRule>& nameRules() {
  static const QList<NameRule> rules{
      {NameRule::StartsWith, "CIConvolution"},
      {NameRule::StartsWith, "CIAffine"},
      {NameRule::Equals, "CIDisplacementDistortion"},
      {NameRule::Equals, "CIToneCurve"},
      {NameRule::EndsWith, "Gradient"},
      {NameRule::Equals, "CICrop"},
      {NameRule::EndsWith, "ColorMatrix"},
      {NameRule::EndsWith, "ColorCube"},
      {NameRule::Equals, "CIColorClamp"},
      {NameRule::Equals, "CIColorPolynomial"},
      {NameRule::Equals, "CIColorCrossPolynomial"},
      {NameRule::Equals, "CIColorCubeWithColorSpace"},
  };
  return rules;
}

}  // namespace

void Filter::loadFilters() {
  ci::PlugIn::loadAllPlugIns();
  FlipImageHUnit::registerFilter();
  FlipImageVUnit::registerFilter();
  ShadowImageUnit::registerFilter();
  // Colour parameters are stored as archived colours; documents opened
  // later must be able to read them back.
  gfx::ArchivedColor::registerClass();
}

QStringList Filter::excludedFiltersCategories() {
  return {ci::kCICategoryGradient, ci::kCICategoryGenerator, ci::kCICategoryReduction};
}

QStringList Filter::allFiltersCategories() {
  using namespace ci;
  return {kCICategoryDistortionEffect,
          kCICategoryGeometryAdjustment,
          kCICategoryCompositeOperation,
          kCICategoryHalftoneEffect,
          kCICategoryColorAdjustment,
          kCICategoryColorEffect,
          kCICategoryTransition,
          kCICategoryGenerator,
          kCICategoryGradient,
          kCICategoryTileEffect,
          kCICategoryStylize,
          kCICategorySharpen,
          kCICategoryBlur,
          kCICategoryFilterGenerator,
          kCICategoryStillImage,
          kCICategoryVideo,
          kCICategoryInterlaced,
          kCICategoryNonSquarePixels,
          kCICategoryHighDynamicRange,
          kCICategoryBuiltIn,
          kCICategoryReduction};
}

bool Filter::isUsableWithName(const QString& name) {
  ci::FilterPtr filter = ci::Filter::filterWithName(name);
  if (!filter || !filter->inputKeys().contains(ci::kCIInputImageKey)) return false;
  for (const NameRule& rule : nameRules())
    if (rule.matches(name)) return false;
  // The registry answers the filters that belong to every listed category.
  return !ci::Filter::filterNamesInCategories(excludedFiltersCategories()).contains(name);
}

QStringList Filter::excludedFilters() {
  QSet<QString> excluded;
  for (const QString& category : excludedFiltersCategories())
    for (const QString& name : ci::Filter::filterNamesInCategory(category)) excluded.insert(name);
  for (const QString& category : allFiltersCategories())
    for (const QString& name : ci::Filter::filterNamesInCategory(category))
      if (!excluded.contains(name) && !isUsableWithName(name)) excluded.insert(name);
  return excluded.values();
}
