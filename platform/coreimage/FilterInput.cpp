#include "coreimage/FilterInput.h"

#include "coreimage/FilterConstants.h"

namespace ci {

namespace {

// Splits camel case into words: before an upper-case letter that follows a
// lower-case one, before a digit that follows a lower-case letter, and
// before a word that follows a digit ("9Horizontal") or an acronym
// ("CMYKHalftone"), but not inside sizes such as "3X3".
QString splitWords(const QString& text) {
  QString out;
  for (int i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (i > 0) {
      const QChar prev = text[i - 1];
      const bool wordFollows = i + 1 < text.size() && text[i + 1].isLower();
      if ((c.isUpper() && prev.isLower()) || (c.isDigit() && prev.isLower()) ||
          (c.isUpper() && (prev.isDigit() || prev.isUpper()) && wordFollows))
        out += ' ';
    }
    out += c;
  }
  return out;
}

}  // namespace

QString displayNameFromKey(const QString& key) {
  QString word = key.startsWith(QStringLiteral("input")) && key.size() > 5 ? key.mid(5) : key;
  if (!word.isEmpty()) word[0] = word[0].toUpper();
  return splitWords(word);
}

QString displayNameFromFilterName(const QString& filterName) {
  return splitWords(filterName.startsWith(QStringLiteral("CI")) ? filterName.mid(2) : filterName);
}

QVariantMap FilterInput::toAttributes() const {
  QVariantMap map;
  map.insert(kCIAttributeClass, className);
  if (!type.isEmpty()) map.insert(kCIAttributeType, type);
  auto put = [&map](const QString& name, const QVariant& value) {
    if (value.isValid()) map.insert(name, value);
  };
  put(kCIAttributeDefault, defaultValue);
  put(kCIAttributeMin, minimum);
  put(kCIAttributeMax, maximum);
  put(kCIAttributeSliderMin, sliderMinimum);
  put(kCIAttributeSliderMax, sliderMaximum);
  put(kCIAttributeIdentity, identity);
  map.insert(kCIAttributeDisplayName,
             displayName.isEmpty() ? displayNameFromKey(key) : displayName);
  if (!description.isEmpty()) map.insert(kCIAttributeDescription, description);
  return map;
}

}  // namespace ci
