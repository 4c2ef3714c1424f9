#include "model/FilterParameter.h"

#include <QFile>

#include "coredata/ManagedObjectContext.h"
#include "coreimage/ValueConversion.h"
#include "foundation/OperationQueue.h"
#include "graphics/ArchivedColor.h"
#include "model/Filter.h"
#include "model/IMFoundationExtra.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"

static void initFilterInputImages() { Q_INIT_RESOURCE(FilterParameterImages); }

namespace {

const QString kUpdatedKey = QStringLiteral("updatedCIFilterParameter");

// "inputMaskImage" → "MaskImage"; keys without the prefix stay whole.
QString withoutInputPrefix(const QString& key) {
  return key.startsWith(QStringLiteral("input")) ? key.mid(5) : key;
}

}  // namespace

FilterParameter::FilterParameter() : alive_(std::make_shared<bool>(true)) {}

FilterParameter::~FilterParameter() { *alive_ = false; }

// ---- Creation ----

FilterParameter* FilterParameter::filterParameterWithName(const QString& name, Filter* filter,
                                                          const ci::FilterPtr&,
                                                          cd::ManagedObjectContext* context) {
  if (!context) return nullptr;
  auto* parameter = context->insertNewObject<FilterParameter>(QStringLiteral("FilterParameter"));
  if (!parameter) return nullptr;
  parameter->disableNotifications();
  parameter->setName(name);
  if (filter) filter->addFilterParameter(parameter);
  parameter->setFilter(filter);
  parameter->resetToDefaultCIFilterParameter();
  parameter->updatedCIFilterParameter();
  parameter->enableNotifications();
  return parameter;
}

QString FilterParameter::imageResourcePathForKey(const QString& key) {
  static const bool initialised = (initFilterInputImages(), true);
  (void)initialised;
  return QStringLiteral(":/model/filterInputs/%1.png").arg(withoutInputPrefix(key));
}

// ---- Persistent values ----

QColor FilterParameter::color() const {
  const QVariant value = valueForKey("color");
  if (value.typeId() == QMetaType::QColor) return value.value<QColor>();
  return gfx::colorFromCoding(value.value<fnd::CodingPtr>());
}

void FilterParameter::setColor(const QColor& color) {
  setValue(color.isValid() ? QVariant::fromValue(gfx::codingForColor(color)) : QVariant(), "color");
}

Filter* FilterParameter::filter() const { return dynamic_cast<Filter*>(relatedObject("filter")); }

void FilterParameter::setFilter(Filter* filter) {
  setValue(QVariant::fromValue<cd::ManagedObject*>(filter), "filter");
}

Image* FilterParameter::image() const { return dynamic_cast<Image*>(relatedObject("image")); }

void FilterParameter::setImage(Image* image) {
  setValue(QVariant::fromValue<cd::ManagedObject*>(image), "image");
}

// ---- Attributes ----

QVariantMap FilterParameter::CIParameter() {
  if (!hasCIParameter_) {
    ci::FilterPtr filter = ciFilter();
    const QVariant entry = filter ? filter->attributes().value(name()) : QVariant();
    if (entry.typeId() == QMetaType::QVariantMap) {
      CIParameter_ = entry.toMap();
      hasCIParameter_ = true;
    }
  }
  return CIParameter_;
}

QVariant FilterParameter::attribute(const QString& key) { return CIParameter().value(key); }

QString FilterParameter::readableName() {
  const QString display = attribute(ci::kCIAttributeDisplayName).toString();
  return ISEmptyString(display) ? withoutInputPrefix(name()) : display;
}

QString FilterParameter::detailedDescription() {
  return attribute(ci::kCIAttributeDescription).toString();
}

QVariant FilterParameter::defaultValue() { return attribute(ci::kCIAttributeDefault); }
QString FilterParameter::classString() { return attribute(ci::kCIAttributeClass).toString(); }
QString FilterParameter::typeString() { return attribute(ci::kCIAttributeType).toString(); }

QVariant FilterParameter::minNumberValue() {
  const QVariant slider = attribute(ci::kCIAttributeSliderMin);
  return slider.isValid() ? slider : attribute(ci::kCIAttributeMin);
}

QVariant FilterParameter::maxNumberValue() {
  const QVariant slider = attribute(ci::kCIAttributeSliderMax);
  return slider.isValid() ? slider : attribute(ci::kCIAttributeMax);
}

FilterParameter::Kind FilterParameter::kind() {
  const QString cls = classString();
  const QString type = typeString();
  if (cls == ci::kClassNSNumber)
    return type == ci::kCIAttributeTypeBoolean ? Kind::Bool : Kind::Float;
  if (cls == ci::kClassCIImage) return Kind::AnImage;
  if (cls == ci::kClassCIColor) return Kind::Color;
  if (cls == ci::kClassCIVector && type == ci::kCIAttributeTypePosition) return Kind::Point;
  return Kind::Other;
}

bool FilterParameter::isFloat() { return kind() == Kind::Float; }
bool FilterParameter::isBool() { return kind() == Kind::Bool; }
bool FilterParameter::isAnImage() { return kind() == Kind::AnImage; }
bool FilterParameter::isAColor() { return kind() == Kind::Color; }
bool FilterParameter::isPoint() { return kind() == Kind::Point; }

ci::FilterPtr FilterParameter::ciFilter() const {
  Filter* owner = filter();
  return owner ? owner->ciFilter() : nullptr;
}

ci::Color FilterParameter::ciColor() const { return ima_CIColor(color()); }

// ---- The point ----

QPointF FilterParameter::point() const {
  willAccessValueForKey("point");
  const QPointF point(x(), y());
  didAccessValueForKey("point");
  return point;
}

// One change of "point" rather than one per coordinate: the coordinates'
// own change reactions are held back while both are stored.
void FilterParameter::setPoint(const QPointF& point) {
  willChangeValueForKey("point");
  const bool wasDisabled = areNotificationsDisabled();
  disableNotifications();
  setX(float(point.x()));
  setY(float(point.y()));
  setAreNotificationsDisabled(wasDisabled);
  didChangeValueForKey("point");
}

QVariant FilterParameter::valueForKey(const QString& key) const {
  if (key == "point") return willBeThrownAway() ? QVariant() : QVariant(point());
  return IMManagedObject::valueForKey(key);
}

QSet<QString> FilterParameter::keyPathsForValuesAffectingValueForKey(const QString& key) const {
  if (key == "point") return {QStringLiteral("x"), QStringLiteral("y")};
  return IMManagedObject::keyPathsForValuesAffectingValueForKey(key);
}

void FilterParameter::setValueForKey(const QString& key, const QVariant& value) {
  if (key == "point") return setPoint(value.toPointF());
  IMManagedObject::setValueForKey(key, value);
}

// ---- Values in the Core Image filter ----

void FilterParameter::setFilterValue(const QVariant& value) {
  ci::FilterPtr filter = ciFilter();
  if (filter && !name().isEmpty()) filter->setValue(value, name());
}

QVariant FilterParameter::ciFilterParameterValue() {
  ci::FilterPtr filter = ciFilter();
  if (!filter || name().isEmpty()) return {};
  QVariant value = filter->valueForKey(name());
  if (value.isValid()) return value;
  updatedCIFilterParameter();
  return filter->valueForKey(name());
}

bool FilterParameter::isReady() {
  return !name().isEmpty() && ciFilterParameterValue().isValid() && !areNotificationsDisabled();
}

bool FilterParameter::isValid() {
  return !name().isEmpty() && (isAnImage() || ciFilterParameterValue().isValid());
}

void FilterParameter::resetToDefaultCIFilterParameter() {
  const QVariant fallback = defaultValue();
  switch (kind()) {
    case Kind::Float:
      setFloatValue(fallback.toFloat());
      break;
    case Kind::Bool:
      setBoolValue(fallback.toBool());
      break;
    case Kind::AnImage:
      resetImageToDefault();
      break;
    case Kind::Color: {
      ci::Color c;
      if (ci::toColor(fallback, &c))
        setColor(
            QColor::fromRgbF(float(c.red()), float(c.green()), float(c.blue()), float(c.alpha())));
      break;
    }
    case Kind::Point: {
      ci::Vector v;
      if (ci::toVector(fallback, &v)) setPoint(QPointF(v.X(), v.Y()));
      break;
    }
    case Kind::Other:
      otherValue_ = fallback;
      break;
  }
}

void FilterParameter::resetImageToDefault() {
  cd::ManagedObjectContext* context = managedObjectContext();
  if (!context) return;
  if (Image* current = image()) context->deleteObject(current);
  auto* fresh = context->insertNewObject<Image>(QStringLiteral("Image"));
  setImage(fresh);
  if (!fresh) return;
  const QString path = imageResourcePathForKey(name());
  gfx::ImagePtr resource =
      QFile::exists(path) ? gfx::Image::imageWithContentsOfFile(path) : nullptr;
  gfx::ImagePtr picture =
      resource ? gfx::Image::imageWithData(resource->TIFFRepresentation()) : nullptr;
  if (!picture) return;  // an empty Image: valid, never ready, skipped when drawing
  std::weak_ptr<bool> alive = alive_;
  fresh->setNsImage(picture, [this, alive](bool) {
    if (alive.expired() || isDeleted()) return;
    updatedCIFilterParameter();
    if (Filter* owner = filter()) owner->applyFilter(this);
  });
}

bool FilterParameter::updatedCIFilterParameter() {
  if (name().isEmpty()) return true;
  switch (kind()) {
    case Kind::Float:
      setFilterValue(double(floatValue()));
      break;
    case Kind::Bool:
      setFilterValue(boolValue());
      break;
    case Kind::Color:
      setFilterValue(QVariant::fromValue(ciColor()));
      break;
    case Kind::Point:
      setFilterValue(QVariant::fromValue(ci::Vector{x(), y()}));
      break;
    case Kind::Other:
      // Never stored: after reopening or pasting the input starts again
      // from its default so the filter keeps working.
      if (!otherValue_.isValid()) otherValue_ = defaultValue();
      setFilterValue(otherValue_);
      break;
    case Kind::AnImage:
      pushImage();
      break;
  }
  return true;
}

// ---- Image-valued inputs ----

void FilterParameter::pushImage() {
  if (!isObservingUpdatedCIFilterParameter_) startObservingImage();
  Image* current = image();
  if (!current) return;
  std::weak_ptr<bool> alive = alive_;
  // Undo or redo restored another version whose pixels are still being
  // read back from the cache: push them once they are in.
  if (!current->isCurrentVersionInMemory()) {
    current->loadLocalImageWithDiskCacheCompletionHandler([this, alive](bool) {
      if (!alive.expired()) updatedCIFilterParameter();
    });
    return;
  }
  // An empty version (undo back before the first picture of an input that
  // has no default) takes the picture out of the filter; pixels still
  // being decoded are pushed when they arrive.
  const bool emptyIsAVersion = current->hasInMemoryVersion();
  current->nsImageWithCompletionBlock(
      [this, alive, emptyIsAVersion](gfx::ImagePtr picture) {
        if (alive.expired()) return;
        if (picture)
          pushPicture(picture);
        else if (emptyIsAVersion)
          withdrawPicture();
      },
      true);
}

void FilterParameter::withdrawPicture() {
  ci::FilterPtr target = ciFilter();
  if (!target || !target->valueForKey(name()).isValid()) return;
  setFilterValue(QVariant());
  pushedPicture_.reset();
  // The filter is not ready without its picture, so it would not tell the
  // layer: the layer is told here, and draws without it.
  Filter* owner = filter();
  if (Layer* layer = owner ? owner->layer() : nullptr) layer->filtersChanged();
}

void FilterParameter::pushPicture(const gfx::ImagePtr& picture) {
  ci::FilterPtr target = ciFilter();
  if (!target) return;
  if (pushedPicture_.lock() == picture && target->valueForKey(name()).isValid()) return;
  setFilterValue(QVariant::fromValue(ima_ciImage(picture)));
  pushedPicture_ = picture;
  applyFilterLater();
}

void FilterParameter::applyFilterLater() {
  std::weak_ptr<bool> alive = alive_;
  fnd::dispatchToQueue(fnd::OperationQueue::currentQueue(), [this, alive] {
    if (alive.expired()) return;
    if (Filter* owner = filter()) owner->applyFilter(this);
  });
}

// The parameter watches its own "updatedCIFilterParameter", which follows
// image.nsImage: a new Image, or a new version of it, is pushed at once.
void FilterParameter::startObservingImage() {
  isObservingUpdatedCIFilterParameter_ = true;
  std::weak_ptr<bool> alive = alive_;
  addObserver(
      QStringLiteral("image"), 0,
      [this, alive](fnd::Observable*, const QString&, const fnd::KeyValueChange&) {
        if (alive.expired()) return;
        observeImageVersions();
        observeValueForKeyPath(kUpdatedKey, this);
      },
      this);
  observeImageVersions();
}

void FilterParameter::observeImageVersions() {
  Image* current = image();
  if (current == observedImage_) return;
  if (observedImage_) observedImage_->removeObserver(this, QStringLiteral("nsImage"));
  observedImage_ = current;
  if (!current) return;
  std::weak_ptr<bool> alive = alive_;
  current->addObserver(
      QStringLiteral("nsImage"), 0,
      [this, alive](fnd::Observable*, const QString&, const fnd::KeyValueChange&) {
        if (!alive.expired()) observeValueForKeyPath(kUpdatedKey, this);
      },
      this);
}

void FilterParameter::stopObservingImage() {
  removeObserver(this, QStringLiteral("image"));
  if (observedImage_) observedImage_->removeObserver(this, QStringLiteral("nsImage"));
  observedImage_ = nullptr;
  isObservingUpdatedCIFilterParameter_ = false;
}

void FilterParameter::observeValueForKeyPath(const QString& keyPath, void*) {
  if (keyPath == kUpdatedKey) updatedCIFilterParameter();
}

// ---- Entity hooks ----

void FilterParameter::awakeFromFetch() {
  IMManagedObject::awakeFromFetch();
  updatedCIFilterParameter();
  if (Filter* owner = filter()) owner->applyFilter(this);
}

void FilterParameter::didChangeValueForKey(const QString& key) {
  IMManagedObject::didChangeValueForKey(key);
  if (areNotificationsDisabled() || willBeThrownAway()) return;
  updatedCIFilterParameter();
  if (Filter* owner = filter()) owner->applyFilter(this);
}

void FilterParameter::willTurnIntoFault() {
  if (isObservingUpdatedCIFilterParameter_) stopObservingImage();
  IMManagedObject::willTurnIntoFault();
}
