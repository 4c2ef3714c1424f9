#include "model/Settings.h"

#include <mutex>

#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"
#include "graphics/ArchivedColor.h"
#include "graphics/AttributedString.h"
#include "graphics/Color.h"
#include "model/FontCoding.h"
#include "model/IMFoundationExtra.h"
#include "model/TextAttributesCoding.h"

namespace {

const QString LayersUIVisibleNumberKey = QStringLiteral("layersUIVisibleNumber");
const QString LayersUIVisibleKey = QStringLiteral("layersUIVisible");
const QString FiltersUIVisibleNumberKey = QStringLiteral("filtersUIVisibleNumber");
const QString FiltersUIVisibleKey = QStringLiteral("filtersUIVisible");
const QString RoundedCornerRadiusKey = QStringLiteral("roundedCornerRadius");
const QString ZoomNumberKey = QStringLiteral("zoomNumber");
const QString ZoomKey = QStringLiteral("zoom");
const QString PencilSizeNumberKey = QStringLiteral("pencilSizeNumber");
const QString PencilSizeKey = QStringLiteral("pencilSize");
const QString Color1Key = QStringLiteral("color1");
const QString Color2Key = QStringLiteral("color2");
const QString FontKey = QStringLiteral("font");
const QString TextAttributesKey = QStringLiteral("textAttributes");

}  // namespace

void Settings::changeValues(const QStringList& keys, const std::function<void()>& store) {
  for (const QString& key : keys) willChangeValueForKey(key);
  store();
  for (const QString& key : keys) didChangeValueForKey(key);
}

void Settings::didChangeValueForKey(const QString& key) {
  fnd::Observable::didChangeValueForKey(key);
  if (delegate_) delegate_->settingsDidChanged();
}

QVariant Settings::valueForKey(const QString& key) const {
  if (key == LayersUIVisibleNumberKey) return layersUIVisibleNumber_;
  if (key == LayersUIVisibleKey)
    return layersUIVisibleNumber_.isValid() ? QVariant(layersUIVisibleNumber_.toBool())
                                            : QVariant();
  if (key == FiltersUIVisibleNumberKey) return filtersUIVisibleNumber_;
  if (key == FiltersUIVisibleKey)
    return filtersUIVisibleNumber_.isValid() ? QVariant(filtersUIVisibleNumber_.toBool())
                                             : QVariant();
  if (key == Color1Key) return color1_ ? QVariant(*color1_) : QVariant();
  if (key == Color2Key) return color2_ ? QVariant(*color2_) : QVariant();
  if (key == FontKey) return font_ ? QVariant::fromValue(*font_) : QVariant();
  if (key == TextAttributesKey) return textAttributes_ ? QVariant(*textAttributes_) : QVariant();
  if (key == RoundedCornerRadiusKey) return roundedCornerRadius_;
  if (key == ZoomNumberKey) return zoomNumber_;
  if (key == ZoomKey) return zoomNumber_.isValid() ? QVariant(zoomNumber_.toDouble()) : QVariant();
  if (key == PencilSizeNumberKey) return pencilSizeNumber_;
  if (key == PencilSizeKey)
    return pencilSizeNumber_.isValid() ? QVariant(pencilSizeNumber_.toDouble()) : QVariant();
  return {};
}

// ---- Panels ----

QVariant Settings::layersUIVisibleNumber() {
  if (!layersUIVisibleNumber_.isValid())
    changeValues({LayersUIVisibleNumberKey, LayersUIVisibleKey},
                 [&] { layersUIVisibleNumber_ = QVariant(!mustHideLayersAtWindowOpening()); });
  return layersUIVisibleNumber_;
}

void Settings::setLayersUIVisibleNumber(const QVariant& number) {
  changeValues({LayersUIVisibleNumberKey, LayersUIVisibleKey},
               [&] { layersUIVisibleNumber_ = number; });
}

bool Settings::layersUIVisible() { return layersUIVisibleNumber().toBool(); }

void Settings::setLayersUIVisible(bool visible) { setLayersUIVisibleNumber(QVariant(visible)); }

QVariant Settings::filtersUIVisibleNumber() {
  if (!filtersUIVisibleNumber_.isValid())
    changeValues({FiltersUIVisibleNumberKey, FiltersUIVisibleKey},
                 [&] { filtersUIVisibleNumber_ = QVariant(!mustHideFiltersAtWindowOpening()); });
  return filtersUIVisibleNumber_;
}

void Settings::setFiltersUIVisibleNumber(const QVariant& number) {
  changeValues({FiltersUIVisibleNumberKey, FiltersUIVisibleKey},
               [&] { filtersUIVisibleNumber_ = number; });
}

bool Settings::filtersUIVisible() { return filtersUIVisibleNumber().toBool(); }

void Settings::setFiltersUIVisible(bool visible) { setFiltersUIVisibleNumber(QVariant(visible)); }

// ---- Colours, font, text ----

QColor Settings::color1() {
  if (!color1_) changeValues({Color1Key}, [&] { color1_ = defaultColor(); });
  return *color1_;
}

void Settings::setColor1(const QColor& color) {
  changeValues({Color1Key}, [&] {
    if (color.isValid())
      color1_ = color;
    else
      color1_.reset();
  });
}

QColor Settings::color2() {
  if (!color2_) changeValues({Color2Key}, [&] { color2_ = gfx::colorWithWhite(0, 0); });
  return *color2_;
}

void Settings::setColor2(const QColor& color) {
  changeValues({Color2Key}, [&] {
    if (color.isValid())
      color2_ = color;
    else
      color2_.reset();
  });
}

gfx::Font Settings::font() {
  if (!font_) changeValues({FontKey}, [&] { font_ = defaultFont(); });
  return *font_;
}

void Settings::setFont(const gfx::Font& font) {
  changeValues({FontKey}, [&] { font_ = font; });
}

QVariantMap Settings::textAttributes() {
  if (!textAttributes_) {
    QVariantMap attributes = defaultFontAttributes();
    attributes.insert(gfx::FontAttributeName, gfx::fontValue(defaultFont()));
    attributes.insert(gfx::ForegroundColorAttributeName, color1());
    changeValues({TextAttributesKey}, [&] { textAttributes_ = attributes; });
  }
  return *textAttributes_;
}

void Settings::setTextAttributes(const QVariantMap& attributes) {
  changeValues({TextAttributesKey}, [&] { textAttributes_ = attributes; });
}

void Settings::setRoundedCornerRadius(double radius) {
  changeValues({RoundedCornerRadiusKey}, [&] { roundedCornerRadius_ = radius; });
}

// ---- Zoom and brush size ----

QVariant Settings::zoomNumber() {
  if (!zoomNumber_.isValid())
    changeValues({ZoomNumberKey, ZoomKey}, [&] { zoomNumber_ = QVariant(1.0f); });
  return zoomNumber_;
}

void Settings::setZoomNumber(const QVariant& number) {
  changeValues({ZoomNumberKey, ZoomKey}, [&] { zoomNumber_ = number; });
}

double Settings::zoom() { return zoomNumber().toDouble(); }

void Settings::setZoom(double zoom) { setZoomNumber(QVariant(zoom)); }

QVariant Settings::pencilSizeNumber() {
  if (!pencilSizeNumber_.isValid())
    changeValues({PencilSizeNumberKey, PencilSizeKey},
                 [&] { pencilSizeNumber_ = QVariant(10.0f); });
  return pencilSizeNumber_;
}

void Settings::setPencilSizeNumber(const QVariant& number) {
  changeValues({PencilSizeNumberKey, PencilSizeKey}, [&] { pencilSizeNumber_ = number; });
}

double Settings::pencilSize() { return pencilSizeNumber().toDouble(); }

void Settings::setPencilSize(double size) { setPencilSizeNumber(QVariant(size)); }

// ---- Archive ----

void Settings::encodeWithCoder(fnd::KeyedArchiver& coder) const {
  // Archiving reads through the getters, so it fills (and announces) every
  // default first, as reading each value would.
  Settings& self = const_cast<Settings&>(*this);
  coder.encodeObject(self.layersUIVisibleNumber(), LayersUIVisibleNumberKey);
  coder.encodeObject(self.filtersUIVisibleNumber(), FiltersUIVisibleNumberKey);
  coder.encodeDouble(self.roundedCornerRadius(), RoundedCornerRadiusKey);
  coder.encodeObject(self.zoomNumber(), ZoomNumberKey);
  coder.encodeObject(self.pencilSizeNumber(), PencilSizeNumberKey);
  archivedParts_ = {QVariant::fromValue(gfx::codingForColor(self.color1())),
                    QVariant::fromValue(gfx::codingForColor(self.color2())),
                    QVariant::fromValue(fnd::CodingPtr(std::make_shared<FontCoding>(self.font()))),
                    archivableTextAttributes(self.textAttributes())};
  coder.encodeObject(archivedParts_[0], Color1Key);
  coder.encodeObject(archivedParts_[1], Color2Key);
  coder.encodeObject(archivedParts_[2], FontKey);
  coder.encodeObject(archivedParts_[3], TextAttributesKey);
}

Settings::Settings(fnd::KeyedUnarchiver& coder) {
  registerClass();
  // Values of the wrong kind are treated as missing: they fill their
  // defaults on first read like absent ones.
  if (QVariant v = coder.decodeObjectForKey(LayersUIVisibleNumberKey); isNumberValue(v))
    setLayersUIVisibleNumber(v);
  if (QVariant v = coder.decodeObjectForKey(FiltersUIVisibleNumberKey); isNumberValue(v))
    setFiltersUIVisibleNumber(v);
  setRoundedCornerRadius(coder.decodeDoubleForKey(RoundedCornerRadiusKey));
  if (QVariant v = coder.decodeObjectForKey(ZoomNumberKey); isNumberValue(v)) setZoomNumber(v);
  if (QVariant v = coder.decodeObjectForKey(PencilSizeNumberKey); isNumberValue(v))
    setPencilSizeNumber(v);
  const auto colorFor = [&](const QString& key) {
    return gfx::colorFromCoding(coder.decodeObjectForKey(key).value<fnd::CodingPtr>());
  };
  if (QColor color = colorFor(Color1Key); color.isValid()) setColor1(color);
  if (QColor color = colorFor(Color2Key); color.isValid()) setColor2(color);
  auto font = std::dynamic_pointer_cast<FontCoding>(
      coder.decodeObjectForKey(FontKey).value<fnd::CodingPtr>());
  if (font) setFont(FontCoding::installedFont(font->font()));
  if (QVariant v = coder.decodeObjectForKey(TextAttributesKey);
      v.typeId() == QMetaType::QVariantMap)
    setTextAttributes(textAttributesFromArchive(v.toMap()));
}

std::shared_ptr<Settings> Settings::initWithCoder(fnd::KeyedUnarchiver& coder) {
  return std::make_shared<Settings>(coder);
}

void Settings::registerClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    registerTextAttributeClasses();
    fnd::KeyedUnarchiver::registerClass(
        QStringLiteral("Settings"),
        [](fnd::KeyedUnarchiver& coder) -> fnd::CodingPtr { return initWithCoder(coder); });
  });
}
