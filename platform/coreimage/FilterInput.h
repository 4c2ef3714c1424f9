// How a filter describes one input: the attribute dictionary the filter
// browser and generated settings panels read (class, type, default, range,
// slider range, identity, display name, description).
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace ci {

struct FilterInput {
  QString key;
  QString className;  // kClassNSNumber, kClassCIVector, …
  QString type;       // kCIAttributeType…, empty when the class says it all
  QVariant defaultValue;
  QVariant minimum, maximum;
  QVariant sliderMinimum, sliderMaximum;
  QVariant identity;
  QString displayName;  // derived from the key when empty
  QString description;

  // The dictionary attributes() lists under the input's key; absent values
  // are left out, as the platform leaves them out.
  QVariantMap toAttributes() const;
};

// "inputBackgroundImage" → "Background Image"; "CIGaussianBlur" → "Gaussian Blur".
QString displayNameFromKey(const QString& key);
QString displayNameFromFilterName(const QString& filterName);

}  // namespace ci
