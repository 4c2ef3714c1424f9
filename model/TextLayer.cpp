#include "model/TextLayer.h"

#include <cmath>

#include "coredata/ManagedObjectContext.h"
#include "foundation/UndoManager.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/FontCoding.h"
#include "model/IMImagesUtilities.h"
#include "model/ModelVariant.h"
#include "model/Settings.h"
#include "model/TextLayerAttributedStringCoding.h"
#include "model/TextLayerFontScaling.h"

namespace {

const QString AttributedStringKey = QStringLiteral("attributedString");

// Stores fetch and unarchive text before any text layer object exists, so
// the archive class is known from the start.
const bool classRegistered = (TextLayerAttributedStringCoding::registerClass(), true);

// The attributes of a new text: the settings' text attributes in their
// first colour. Without settings, or with a font family that is not
// installed, the default sans-serif takes the font's place.
QVariantMap newTextAttributes(ComposedImage* composedImage) {
  std::shared_ptr<Settings> settings = composedImage ? composedImage->settings() : nullptr;
  QVariantMap attributes;
  if (settings) {
    attributes = settings->textAttributes();
    attributes.insert(gfx::ForegroundColorAttributeName, settings->color1());
  } else {
    attributes.insert(gfx::ForegroundColorAttributeName, QColor(Qt::black));
  }
  const gfx::Font font = gfx::fontOfAttributes(attributes);
  attributes.insert(gfx::FontAttributeName, gfx::fontValue(FontCoding::installedFont(font)));
  return attributes;
}

}  // namespace

TextLayer::TextLayer() { (void)classRegistered; }

TextLayer* TextLayer::createLayerWithComposedImage(ComposedImage* composedImage,
                                                   cd::ManagedObjectContext* context,
                                                   bool changeName) {
  return dynamic_cast<TextLayer*>(Layer::createLayerWithComposedImage(
      composedImage, context, changeName, QStringLiteral("TextLayer")));
}

void TextLayer::awakeFromInsertWithComposedImage(ComposedImage* composedImage, bool changeName) {
  Layer::awakeFromInsertWithComposedImage(composedImage, changeName);
  if (!changeName) return;
  setAttributedString(gfx::AttributedString(QStringLiteral(" "), newTextAttributes(composedImage)));
}

void TextLayer::awakeFromFetch() {
  Layer::awakeFromFetch();
  if (!ModelVariant::isPreviewGenerator()) {
    updatePreviewImage();
    return;
  }
  // The generator lays the text out now, while the store is read, so the
  // fonts are loaded before the first drawing; then the chain is built.
  (void)ciImage();
  filtersChanged();
}

// ---- The text ----

gfx::AttributedString TextLayer::attributedString() const {
  willAccessValueForKey(AttributedStringKey);
  const QVariant value = primitiveValueForKey(AttributedStringKey);
  didAccessValueForKey(AttributedStringKey);
  return TextLayerAttributedStringCoding::attributedStringOfValue(value);
}

void TextLayer::setAttributedString(const gfx::AttributedString& string) {
  willChangeValueForKey(AttributedStringKey);
  setPrimitiveValue(TextLayerAttributedStringCoding::valueWithAttributedString(string),
                    AttributedStringKey);
  didChangeValueForKey(AttributedStringKey);
}

double TextLayer::textMaxDescender() const {
  double descender = 0;
  for (const gfx::AttributedString::Run& run : attributedString().runs()) {
    if (run.length == 0 || !run.attributes.contains(gfx::FontAttributeName)) continue;
    descender = std::min(descender, gfx::fontOfAttributes(run.attributes).descender());
  }
  return descender;
}

// ---- Change handling ----

void TextLayer::willChangeValueForKey(const QString& key) {
  if (!areNotificationsDisabled() && key == AttributedStringKey)
    realYOrigin_ = yOrigin() - textMaxDescender();
  Layer::willChangeValueForKey(key);
}

void TextLayer::didChangeValueForKey(const QString& key) {
  if (!areNotificationsDisabled()) {
    // Undo and redo put back the name and origin that went with the text
    // themselves; deriving them again would change what they restore.
    if (key == AttributedStringKey && !isRestoredByUndo()) {
      const gfx::AttributedString string = attributedString();
      setName(string.string());
      // The origin is the bottom of the text: moving it by the change of the
      // deepest descent keeps the baseline where it was.
      setYOrigin(realYOrigin_ + textMaxDescender());
      handTextAttributesToSettings(string);
    }
    if (key == AttributedStringKey) updatePreviewImage();
    filtersChanged();
  }
  Layer::didChangeValueForKey(key);
}

bool TextLayer::isRestoredByUndo() const {
  cd::ManagedObjectContext* context = managedObjectContext();
  fnd::UndoManager* undo = context ? context->undoManager() : nullptr;
  return undo && (undo->isUndoing() || undo->isRedoing());
}

void TextLayer::handTextAttributesToSettings(const gfx::AttributedString& string) {
  const QList<gfx::AttributedString::Run> runs = string.runs();
  if (runs.size() != 1) return;
  ComposedImage* owner = composedImage();
  if (std::shared_ptr<Settings> settings = owner ? owner->settings() : nullptr)
    settings->setTextAttributes(runs.first().attributes);
}

// ---- Layer overrides ----

QSizeF TextLayer::imageSizeForceNoFilters(bool force) const {
  if (!force && !filteredCIImage().isNull()) return Layer::imageSizeForceNoFilters(false);
  const QSizeF size = attributedString().size();
  // Whole pixels that hold every glyph: the bitmap cannot have a part pixel.
  return QSizeF(std::ceil(size.width()), std::ceil(size.height()));
}

gfx::ImagePtr TextLayer::textImage() const {
  const QSizeF size = imageSizeForceNoFilters(true);
  if (size.width() <= 0 || size.height() <= 0) return nullptr;
  const gfx::AttributedString string = attributedString();
  const QRectF rect = boundsForceNoFilters(true, true);
  return ima_imageWithPixelSize(size, [&](const QRectF&) {
    // Laid out from the line fragment origin: the first line starts at the
    // top of the rectangle, which in y-up coordinates is its maximum y.
    string.drawInRect(rect);
    return true;
  });
}

ci::Image TextLayer::ciImage() const { return ima_ciImage(textImage()); }

void TextLayer::setZoom(double zoom) {
  if (!std::isfinite(zoom) || zoom <= 0) return;
  double stored = this->zoom();
  if (!std::isfinite(stored) || stored <= 0) stored = 1;
  const double scale = zoom / stored;
  if (scale != 1) setAttributedString(attributedStringWithScale(attributedString(), scale));
  setCIImageAccumulator(nullptr);
}
