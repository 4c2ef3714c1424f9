#include "coreimage/Kernel.h"

#include <QHash>
#include <QMutex>
#include <QRegularExpression>

#include "coreimage/KernelNode.h"
#include "coreimage/ValueConversion.h"

namespace ci {

namespace {

const QString kKernelErrorDomain = QStringLiteral("CIKernel");

struct RoutineTable {
  QMutex mutex;
  QHash<QString, KernelRoutine> routines;
};

RoutineTable& routineTable() {
  static RoutineTable table;
  return table;
}

bool parameterType(const QString& word, KernelParameterType* type) {
  static const QHash<QString, KernelParameterType> types = {
      {"__sample", KernelParameterType::Sample}, {"sampler", KernelParameterType::Sampler},
      {"float", KernelParameterType::Float},     {"vec2", KernelParameterType::Vec2},
      {"vec3", KernelParameterType::Vec3},       {"vec4", KernelParameterType::Vec4},
      {"__color", KernelParameterType::Color}};
  auto it = types.find(word);
  if (it == types.end()) return false;
  *type = it.value();
  return true;
}

QString withoutComments(QString text) {
  static const QRegularExpression block(QStringLiteral("/\\*.*?\\*/"),
                                        QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression line(QStringLiteral("//[^\n]*"));
  return text.remove(block).remove(line);
}

bool convertValue(const QVariant& value, KernelParameterType type, std::array<float, 4>* out) {
  *out = {0, 0, 0, 0};
  if (type == KernelParameterType::Float) {
    double n;
    if (!toNumber(value, &n)) return false;
    (*out)[0] = float(n);
    return true;
  }
  if (type == KernelParameterType::Color) {
    Color c;
    if (!toColor(value, &c)) return false;
    c.premultiplied(out->data());
    return true;
  }
  Vector v;
  if (!toVector(value, &v)) return false;
  for (size_t i = 0; i < 4; ++i) (*out)[i] = float(v.valueAtIndex(i));
  return true;
}

}  // namespace

Kernel::Kernel(QString name, QList<KernelParameter> parameters, KernelRoutine routine)
    : name_(std::move(name)), parameters_(std::move(parameters)), routine_(std::move(routine)) {}

void Kernel::registerRoutine(const QString& name, KernelRoutine routine) {
  RoutineTable& table = routineTable();
  QMutexLocker lock(&table.mutex);
  table.routines.insert(name, std::move(routine));
}

QList<KernelPtr> Kernel::kernelsWithString(const QString& source, fnd::Error* error) {
  static const QRegularExpression declaration(
      QStringLiteral("kernel\\s+vec4\\s+([A-Za-z_]\\w*)\\s*\\(([^)]*)\\)"));
  QList<KernelPtr> kernels;
  const QString text = withoutComments(source);
  for (auto it = declaration.globalMatch(text); it.hasNext();) {
    const QRegularExpressionMatch match = it.next();
    const QString name = match.captured(1);
    QList<KernelParameter> parameters;
    for (const QString& part : match.captured(2).split(',', Qt::SkipEmptyParts)) {
      const QStringList words = part.simplified().split(' ');
      KernelParameter parameter{};
      if (words.size() != 2 || !parameterType(words[0], &parameter.type)) {
        fnd::fail(
            error, kKernelErrorDomain, 2,
            QStringLiteral("kernel %1: cannot read parameter '%2'").arg(name, part.trimmed()));
        return {};
      }
      parameter.name = words[1];
      parameters << parameter;
    }
    KernelRoutine routine;
    {
      RoutineTable& table = routineTable();
      QMutexLocker lock(&table.mutex);
      routine = table.routines.value(name);
    }
    if (!routine) {
      fnd::fail(error, kKernelErrorDomain, 3,
                QStringLiteral("no routine is registered for kernel %1").arg(name));
      return {};
    }
    kernels << std::make_shared<const Kernel>(name, parameters, routine);
  }
  if (kernels.isEmpty())
    fnd::fail(error, kKernelErrorDomain, 1, QStringLiteral("the text declares no kernel"));
  return kernels;
}

KernelPtr Kernel::kernelWithString(const QString& source, fnd::Error* error) {
  const QList<KernelPtr> kernels = kernelsWithString(source, error);
  return kernels.isEmpty() ? nullptr : kernels.first();
}

bool Kernel::isColorKernel() const {
  return std::none_of(parameters_.begin(), parameters_.end(), [](const KernelParameter& p) {
    return p.type == KernelParameterType::Sampler;
  });
}

QRectF Kernel::defaultExtent(const std::vector<Image>& images) const {
  if (images.empty()) return InfiniteRect;
  QRectF extent = images.front().extent();
  for (const Image& image : images)
    extent = isColorKernel() ? intersect(extent, image.extent()) : unite(extent, image.extent());
  return extent;
}

Image Kernel::apply(const QVariantList& arguments, const QVariantMap& options) const {
  QRectF extent;
  bool haveExtent = false;
  for (const QString& key : {kCIApplyOptionDefinition, kCIApplyOptionExtent}) {
    const QVariant option = options.value(key);
    Image definition;
    Vector rect;
    if (toImage(option, &definition)) {
      extent = definition.extent(), haveExtent = true;
    } else if (toVector(option, &rect) && rect.count() == 4) {
      extent = rect.CGRectValue(), haveExtent = true;
    }
  }
  if (haveExtent) return applyWithExtent(extent, nullptr, arguments);
  std::vector<Image> images;
  int index = 0;
  for (const KernelParameter& p : parameters_) {
    Image image;
    if (p.isImage() && index < arguments.size()) {
      const QVariant& a = arguments[index];
      if (a.metaType() == QMetaType::fromType<Sampler>())
        images.push_back(a.value<Sampler>().image());
      else if (toImage(a, &image))
        images.push_back(image);
    }
    ++index;
  }
  return applyWithExtent(defaultExtent(images), nullptr, arguments);
}

Image Kernel::applyWithExtent(const QRectF& extent, const QVariantList& arguments) const {
  return applyWithExtent(extent, nullptr, arguments);
}

Image Kernel::applyWithExtent(const QRectF& extent, const RegionOfInterestCallback& roi,
                              const QVariantList& arguments) const {
  if (arguments.size() != parameters_.size()) {
    qWarning("ci::Kernel %s: %d arguments for %d parameters", qPrintable(name_),
             int(arguments.size()), int(parameters_.size()));
    return {};
  }
  std::vector<Image> images;
  std::vector<Sampling> samplings;
  std::vector<std::array<float, 4>> values;
  for (int i = 0; i < parameters_.size(); ++i) {
    const KernelParameter& p = parameters_[i];
    const QVariant& a = arguments[i];
    if (p.isImage()) {
      Image image;
      Sampling sampling = Sampling::Linear;
      if (a.metaType() == QMetaType::fromType<Sampler>()) {
        image = a.value<Sampler>().image();
        sampling = a.value<Sampler>().sampling();
      } else if (!toImage(a, &image)) {
        qWarning("ci::Kernel %s: argument %d is not an image", qPrintable(name_), i);
        return {};
      }
      images.push_back(image);
      samplings.push_back(sampling);
      continue;
    }
    std::array<float, 4> value;
    if (!convertValue(a, p.type, &value)) {
      qWarning("ci::Kernel %s: argument %d has the wrong kind", qPrintable(name_), i);
      return {};
    }
    values.push_back(value);
  }
  return Image(std::make_shared<KernelNode>(extent, parameters_, routine_, roi, std::move(images),
                                            std::move(samplings), std::move(values)));
}

}  // namespace ci
