#include "model/ShadowImageUnit.h"

#include <QFile>
#include <QMutex>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <mutex>

#include "coreimage/Sampler.h"
#include "foundation/Localized.h"
#include "graphics/AffineTransform.h"

static void initOwnFilterResources() { Q_INIT_RESOURCE(OwnFilters); }

namespace {

const QString kRegistryName = QStringLiteral("ShadowImageUnit");
const QString kDeltaXKey = QStringLiteral("inputShadowDeltaX");
const QString kDeltaYKey = QStringLiteral("inputShadowDeltaY");
const QString kBlurRadiusKey = QStringLiteral("inputBlurRadius");
const QString kShadowColorKey = QStringLiteral("inputShadowColor");
// The routine the kernel source declares; its body is coloredMaskRow.
const QString kRoutineName = QStringLiteral("coloredMask");

// The shadow colour (premultiplied) scaled by the coverage of the sampled
// image at each output pixel centre.
void coloredMaskRow(const ci::KernelRow& row) {
  if (row.samplers.empty() || row.values.empty()) {
    std::fill(row.out, row.out + size_t(row.count) * 4, 0.0f);
    return;
  }
  const ci::SamplerView& image = *row.samplers[0];
  const std::array<float, 4>& color = row.values[0];
  if (const float* pixels = image.pixelsAtCentres(row.x, row.y, row.count)) {
    for (int i = 0; i < row.count; ++i) {
      const float coverage = std::clamp(pixels[i * 4 + 3], 0.0f, 1.0f);
      for (int c = 0; c < 4; ++c) row.out[i * 4 + c] = color[c] * coverage;
    }
    return;
  }
  float sample[4];
  for (int i = 0; i < row.count; ++i) {
    image.sample(row.x + i + 0.5, row.y + 0.5, sample);
    const float coverage = std::clamp(sample[3], 0.0f, 1.0f);
    for (int c = 0; c < 4; ++c) row.out[i * 4 + c] = color[c] * coverage;
  }
}

QVariantMap numberAttributes(double sliderMin, double sliderMax, double defaultValue,
                             const char* displayName, const char* description) {
  return {{ci::kCIAttributeSliderMin, sliderMin},
          {ci::kCIAttributeSliderMax, sliderMax},
          {ci::kCIAttributeDefault, defaultValue},
          {ci::kCIAttributeIdentity, 0.0},
          {ci::kCIAttributeType, ci::kCIAttributeTypeScalar},
          {ci::kCIAttributeDisplayName, fnd::localized(displayName)},
          {ci::kCIAttributeDescription, fnd::localized(description)}};
}

QVariantMap shadowAttributes() {
  return {
      {kDeltaXKey,
       numberAttributes(-200, 200, 5, "Shadow delta x", "Horizontal distance of the shadow.")},
      {kDeltaYKey,
       numberAttributes(-200, 200, -5, "Shadow delta y", "Vertical distance of the shadow.")},
      {kBlurRadiusKey, numberAttributes(0, 100, 10, "Shadow blur radius",
                                        "Radius of the blur effect of the shadow.")},
      {kShadowColorKey,
       QVariantMap{{ci::kCIAttributeDefault, QVariant::fromValue(ci::Color(0, 0, 0, 1))},
                   {ci::kCIAttributeDisplayName, fnd::localized("Shadow color")},
                   {ci::kCIAttributeDescription, fnd::localized("Color of the shadow.")}}},
  };
}

ci::FilterInput inputFromAttributes(const QString& key, const QString& className,
                                    const QVariantMap& attributes) {
  ci::FilterInput input;
  input.key = key;
  input.className = className;
  input.type = attributes.value(ci::kCIAttributeType).toString();
  input.defaultValue = attributes.value(ci::kCIAttributeDefault);
  input.minimum = attributes.value(ci::kCIAttributeMin);
  input.maximum = attributes.value(ci::kCIAttributeMax);
  input.sliderMinimum = attributes.value(ci::kCIAttributeSliderMin);
  input.sliderMaximum = attributes.value(ci::kCIAttributeSliderMax);
  input.identity = attributes.value(ci::kCIAttributeIdentity);
  input.displayName = attributes.value(ci::kCIAttributeDisplayName).toString();
  input.description = attributes.value(ci::kCIAttributeDescription).toString();
  return input;
}

// The inputs in declaration order, each with its value class.
QList<ci::FilterInput> shadowInputs() {
  const QVariantMap custom = shadowAttributes();
  QList<ci::FilterInput> inputs{inputFromAttributes(ci::kCIInputImageKey, ci::kClassCIImage, {})};
  for (const QString& key : {kDeltaXKey, kDeltaYKey, kBlurRadiusKey})
    inputs << inputFromAttributes(key, ci::kClassNSNumber, custom.value(key).toMap());
  inputs << inputFromAttributes(kShadowColorKey, ci::kClassCIColor,
                                custom.value(kShadowColorKey).toMap());
  return inputs;
}

bool hasColoredMaskParameters(const ci::Kernel& kernel) {
  const QList<ci::KernelParameter>& p = kernel.parameters();
  return p.size() == 2 && p[0].type == ci::KernelParameterType::Sampler &&
         p[1].type == ci::KernelParameterType::Color;
}

// Makes the kernel resource readable and gives the kernel's routine its body.
void setUpOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    initOwnFilterResources();
    ci::Kernel::registerRoutine(kRoutineName, coloredMaskRow);
  });
}

// The class-wide kernel: made by the first instance, kept for the process.
struct SharedKernel {
  QMutex mutex;
  ci::KernelPtr kernel;
};

SharedKernel& sharedKernel() {
  static SharedKernel shared;
  return shared;
}

ci::KernelPtr loadSharedKernel() {
  SharedKernel& shared = sharedKernel();
  QMutexLocker lock(&shared.mutex);
  if (!shared.kernel) {
    fnd::Error error;
    shared.kernel =
        ShadowImageUnit::kernelWithContentsOfFile(ShadowImageUnit::kernelResourcePath(), &error);
    if (!shared.kernel)
      qWarning("ShadowImageUnit: no shadow kernel, images pass through unchanged: %s",
               qPrintable(error.localizedDescription()));
  }
  return shared.kernel;
}

}  // namespace

ShadowImageUnit::ShadowImageUnit() : ShadowImageUnit(loadSharedKernel()) {}

ShadowImageUnit::ShadowImageUnit(ci::KernelPtr kernel)
    : ci::Filter(kRegistryName, shadowInputs(), classAttributes()), kernel_(std::move(kernel)) {}

QVariantMap ShadowImageUnit::classAttributes() {
  return {{ci::kCIAttributeFilterDisplayName, fnd::localized("Shadow")},
          {ci::kCIAttributeDescription, fnd::localized("Add a shadow to an image.")},
          {ci::kCIAttributeFilterCategories,
           QStringList{ci::kCICategoryCompositeOperation, ci::kCICategoryStylize,
                       ci::kCICategoryStillImage}}};
}

void ShadowImageUnit::registerFilter() {
  ci::Filter::registerFilterName(
      kRegistryName, [](const QString&) { return std::make_shared<ShadowImageUnit>(); },
      classAttributes());
}

QString ShadowImageUnit::kernelResourcePath() {
  setUpOnce();
  return QStringLiteral(":/model/kernels/TSColoredMaskUnitFilterKernel.cikernel");
}

ci::KernelPtr ShadowImageUnit::kernel() { return loadSharedKernel(); }

ci::KernelPtr ShadowImageUnit::kernelWithContentsOfFile(const QString& path, fnd::Error* error) {
  setUpOnce();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    const int code = !file.exists() ? fnd::FileReadNoSuchFileError
                     : file.error() == QFileDevice::PermissionsError
                         ? fnd::FileReadNoPermissionError
                         : fnd::FileReadUnknownError;
    fnd::fail(error,
              fnd::Error(fnd::CocoaErrorDomain, code,
                         {{fnd::LocalizedDescriptionKey,
                           QStringLiteral("The shadow kernel source \"%1\" cannot be read: %2")
                               .arg(path, file.errorString())},
                          {fnd::FilePathErrorKey, path}}));
    return nullptr;
  }
  QStringDecoder utf8(QStringDecoder::Utf8);
  const QString source = utf8(file.readAll());
  if (utf8.hasError()) {
    fnd::fail(error,
              fnd::Error(
                  fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
                  {{fnd::LocalizedDescriptionKey,
                    QStringLiteral("The shadow kernel source \"%1\" is not UTF-8 text.").arg(path)},
                   {fnd::FilePathErrorKey, path}}));
    return nullptr;
  }
  fnd::Error kernelError;
  const QList<ci::KernelPtr> kernels = ci::Kernel::kernelsWithString(source, &kernelError);
  if (kernels.isEmpty() || !hasColoredMaskParameters(*kernels.first())) {
    const QString reason =
        kernels.isEmpty() ? kernelError.localizedDescription()
                          : QStringLiteral("its first kernel does not take (sampler, __color)");
    QVariantMap userInfo{
        {fnd::LocalizedDescriptionKey,
         QStringLiteral("The shadow kernel source \"%1\" is not usable: %2").arg(path, reason)},
        {fnd::FilePathErrorKey, path}};
    if (!kernelError.isNull())
      userInfo.insert(fnd::UnderlyingErrorKey, QVariant::fromValue(kernelError));
    fnd::fail(error, fnd::Error(fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError, userInfo));
    return nullptr;
  }
  return kernels.first();
}

ci::Image ShadowImageUnit::inputImage() const { return imageValue(ci::kCIInputImageKey); }

void ShadowImageUnit::setInputImage(const ci::Image& image) {
  setValue(image.isNull() ? QVariant() : QVariant::fromValue(image), ci::kCIInputImageKey);
}

double ShadowImageUnit::inputShadowDeltaX() const { return numberValue(kDeltaXKey); }
void ShadowImageUnit::setInputShadowDeltaX(double dx) { setValue(dx, kDeltaXKey); }
double ShadowImageUnit::inputShadowDeltaY() const { return numberValue(kDeltaYKey); }
void ShadowImageUnit::setInputShadowDeltaY(double dy) { setValue(dy, kDeltaYKey); }
double ShadowImageUnit::inputBlurRadius() const { return numberValue(kBlurRadiusKey); }
void ShadowImageUnit::setInputBlurRadius(double radius) { setValue(radius, kBlurRadiusKey); }
ci::Color ShadowImageUnit::inputShadowColor() const { return colorValue(kShadowColorKey); }
void ShadowImageUnit::setInputShadowColor(const ci::Color& color) {
  setValue(QVariant::fromValue(color), kShadowColorKey);
}

QVariantMap ShadowImageUnit::customAttributes() const { return shadowAttributes(); }

ci::Image ShadowImageUnit::coloredMask(const ci::Image& shifted) const {
  const QRectF extent = shifted.isNull() ? QRectF() : shifted.extent();
  return kernel_->apply(
      {QVariant::fromValue(ci::Sampler(shifted)), QVariant::fromValue(inputShadowColor())},
      {{ci::kCIApplyOptionDefinition, QVariant::fromValue(ci::Vector::vectorWithCGRect(extent))}});
}

ci::Image ShadowImageUnit::outputImage() const {
  const ci::Image image = inputImage();
  if (image.isNull()) return {};
  if (!kernel_) return image;
  // The offsets are read at single precision; values that are not finite
  // would make the shadow's extent meaningless, so they count as no offset.
  auto offset = [](double value) {
    const float f = float(value);
    return std::isfinite(f) ? double(f) : 0.0;
  };
  gfx::AffineTransform shift;
  shift.translateXBy(offset(inputShadowDeltaX()), offset(inputShadowDeltaY()));
  const ci::Image shifted =
      image.imageByApplyingFilter(QStringLiteral("CIAffineTransform"),
                                  {{ci::kCIInputTransformKey, QVariant::fromValue(shift)}});
  const ci::Image blurred = coloredMask(shifted).imageByApplyingFilter(
      QStringLiteral("CIGaussianBlur"), {{ci::kCIInputRadiusKey, inputBlurRadius()}});
  if (blurred.isNull()) return image;
  return image.imageByApplyingFilter(
      QStringLiteral("CISourceOverCompositing"),
      {{ci::kCIInputBackgroundImageKey, QVariant::fromValue(blurred)}});
}
