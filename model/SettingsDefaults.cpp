// Settings' class operations: the defaults every new window starts from,
// kept in the user defaults and written back there when missing.
#include "foundation/UserDefaults.h"
#include "graphics/ArchivedColor.h"
#include "graphics/Color.h"
#include "model/FontCoding.h"
#include "model/Settings.h"
#include "model/TextAttributesCoding.h"

namespace {

const QString DefaultColorKey = QStringLiteral("IMDefautColor");
const QString DefaultFontKey = QStringLiteral("IMDefautFont");
const QString DefaultFontAttributesKey = QStringLiteral("IMDefautFontAttributes");
const QString HideLayersKey = QStringLiteral("IMHideLayers");
const QString HideFiltersKey = QStringLiteral("IMHideFilters");
const QString DrawingGridColorKey = QStringLiteral("IMDrawingGridColor2");
const QString DrawingGridSizeKey = QStringLiteral("IMDrawingGridSize");

const QString DefaultFontName = QStringLiteral("Lucida Grande");
constexpr double DefaultFontSize = 40;

fnd::UserDefaults& defaults() { return fnd::UserDefaults::standardUserDefaults(); }

// The canvas asks for the grid colour at every redraw: the last archive
// decoded on this thread is remembered with its colour.
QColor decodedColor(const QByteArray& data) {
  thread_local QByteArray lastData;
  thread_local QColor lastColor;
  if (lastData.isNull() || data != lastData) {
    lastColor = gfx::colorWithArchivedData(data);
    lastData = data;
  }
  return lastColor;
}

// A stored colour; when the key is missing the default is written back.
// Damaged data gives the default and is left for the user to replace.
QColor archivedColor(const QString& key, const QColor& fallback) {
  if (!defaults().hasKey(key)) {
    defaults().setObject(gfx::archivedDataWithColor(fallback), key);
    return fallback;
  }
  const QColor stored = decodedColor(defaults().dataForKey(key));
  return stored.isValid() ? stored : fallback;
}

bool storedBool(const QString& key, bool fallback) {
  if (!defaults().hasKey(key)) {
    defaults().setBool(fallback, key);
    return fallback;
  }
  return defaults().boolForKey(key);
}

}  // namespace

QColor Settings::defaultColor() {
  return archivedColor(DefaultColorKey, gfx::deviceRGB(gfx::colorWithRGBA(0, 0, 0.5, 1)));
}

gfx::Font Settings::defaultFont() {
  if (defaults().hasKey(DefaultFontKey)) {
    gfx::Font stored;
    if (fontWithArchivedData(defaults().dataForKey(DefaultFontKey), &stored))
      return FontCoding::installedFont(stored);
  } else {
    // What is written back is the font actually used, so the preferences
    // show the font new text gets.
    const gfx::Font font = FontCoding::installedFont(gfx::Font(DefaultFontName, DefaultFontSize));
    setDefaultFont(font);
    return font;
  }
  return FontCoding::installedFont(gfx::Font(DefaultFontName, DefaultFontSize));
}

QVariantMap Settings::defaultFontAttributes() {
  if (!defaults().hasKey(DefaultFontAttributesKey)) {
    setDefaultFontAttributes({});
    return {};
  }
  QVariantMap attributes;
  if (!textAttributesWithArchivedData(defaults().dataForKey(DefaultFontAttributesKey), &attributes))
    return {};
  return attributes;
}

void Settings::setDefaultFont(const gfx::Font& font) {
  defaults().setObject(archivedDataWithFont(font), DefaultFontKey);
}

void Settings::setDefaultFontAttributes(const QVariantMap& attributes) {
  defaults().setObject(archivedDataWithTextAttributes(attributes), DefaultFontAttributesKey);
}

bool Settings::mustHideLayersAtWindowOpening() { return storedBool(HideLayersKey, false); }

bool Settings::mustHideFiltersAtWindowOpening() { return storedBool(HideFiltersKey, false); }

QColor Settings::drawingGridColor() {
  return archivedColor(DrawingGridColorKey,
                       gfx::deviceRGB(gfx::colorWithRGBA(0.87, 0.82, 0.82, 0.1)));
}

double Settings::drawingGridSize() {
  if (!defaults().hasKey(DrawingGridSizeKey)) {
    defaults().setInteger(10, DrawingGridSizeKey);
    return 10;
  }
  return double(defaults().integerForKey(DrawingGridSizeKey));
}
