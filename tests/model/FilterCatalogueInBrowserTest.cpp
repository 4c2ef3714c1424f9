// The built-in catalogue as the filter browser offers it: every filter the
// browser shows can be attached to a layer (its parameters are valid), and
// each of its image inputs has the bundle picture its parameter starts with.
#include <gtest/gtest.h>

#include <QFile>
#include <QSet>

#include "ModelTestSupport.h"
#include "coreimage/Filter.h"
#include "model/Filter.h"
#include "model/FilterParameter.h"

TEST(FilterCatalogueInBrowser, EveryShownFilterCanBeAttached) {
  Filter::loadFilters();
  ModelDocument document;
  const QStringList hidden = Filter::excludedFilters();
  const QSet<QString> excluded(hidden.begin(), hidden.end());
  const QStringList shown = [&] {
    QStringList names;
    for (const QString& name : ci::Filter::filterNamesInCategory(ci::kCICategoryBuiltIn))
      if (!excluded.contains(name)) names << name;
    return names;
  }();
  // The families this catalogue offers, each with at least its best-known filter.
  for (const char* name : {"CIGaussianBlur", "CIColorControls", "CISepiaTone", "CIUnsharpMask",
                           "CIMultiplyBlendMode", "CIStraightenFilter", "CIColorMap"})
    EXPECT_TRUE(shown.contains(name)) << name;
  for (const char* name : {"CIRandomGenerator", "CIGaussianGradient", "CIAreaAverage"})
    EXPECT_FALSE(shown.contains(name)) << name;
  for (const QString& name : shown) {
    SCOPED_TRACE(name.toStdString());
    Filter* filter = Filter::createFilterWithName(name, document.context.get());
    ASSERT_NE(filter, nullptr);
    const ci::FilterPtr platform = ci::Filter::filterWithName(name);
    EXPECT_EQ(filter->filterParametersArray().size(), platform->inputKeys().size() - 1);
    const QVariantMap attributes = platform->attributes();
    for (const QString& key : platform->inputKeys()) {
      if (key == ci::kCIInputImageKey ||
          attributes.value(key).toMap().value(ci::kCIAttributeClass) != ci::kClassCIImage)
        continue;
      EXPECT_TRUE(QFile::exists(QStringLiteral(":/model/filterInputs/%1.png").arg(key.mid(5))))
          << key.toStdString();
    }
  }
}
