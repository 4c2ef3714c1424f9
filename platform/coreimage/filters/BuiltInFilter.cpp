#include "coreimage/filters/BuiltInFilter.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>

#include "coreimage/FilterRegistry.h"
#include "graphics/AffineTransform.h"

static void initKernelResources() { Q_INIT_RESOURCE(coreimage); }

namespace ci::filters {

BuiltInFilter::BuiltInFilter(std::shared_ptr<const FilterDefinition> definition)
    : Filter(definition->name, definition->inputs), definition_(std::move(definition)) {}

Image BuiltInFilter::outputImage() const { return definition_->recipe(*this); }

void registerDefinitions(FilterRegistry& registry, const std::vector<FilterDefinition>& table) {
  registerDefinitions(registry, table, {});
}

void registerDefinitions(FilterRegistry& registry, const std::vector<FilterDefinition>& table,
                         const QMap<QString, QString>& displayNames) {
  for (const FilterDefinition& row : table) {
    auto definition = std::make_shared<const FilterDefinition>(row);
    QVariantMap attributes;
    attributes.insert(kCIAttributeFilterCategories, row.categories);
    attributes.insert(kCIAttributeDescription, row.description);
    if (displayNames.contains(row.name))
      attributes.insert(kCIAttributeFilterDisplayName, displayNames.value(row.name));
    registry.registerFilterName(
        row.name,
        [definition](const QString&) { return std::make_shared<BuiltInFilter>(definition); },
        attributes);
  }
}

QStringList categories(std::initializer_list<QString> own) {
  QStringList all(own);
  for (const QString& common : {kCICategoryStillImage, kCICategoryBuiltIn})
    if (!all.contains(common)) all << common;
  return all;
}

FilterInput imageInput(const QString& key, const QString& description) {
  FilterInput in;
  in.key = key;
  in.className = kClassCIImage;
  in.type = kCIAttributeTypeImage;
  in.description = description;
  return in;
}

FilterInput numberInput(const QString& key, const QString& type, double defaultValue,
                        double minimum, double sliderMinimum, double sliderMaximum,
                        const QString& description) {
  FilterInput in;
  in.key = key;
  in.className = kClassNSNumber;
  in.type = type;
  in.defaultValue = defaultValue;
  in.minimum = minimum;
  in.sliderMinimum = sliderMinimum;
  in.sliderMaximum = sliderMaximum;
  in.description = description;
  return in;
}

FilterInput vectorInput(const QString& key, const QString& type, const Vector& defaultValue,
                        const QString& description) {
  FilterInput in;
  in.key = key;
  in.className = kClassCIVector;
  in.type = type;
  in.defaultValue = QVariant::fromValue(defaultValue);
  in.description = description;
  return in;
}

FilterInput colorInput(const QString& key, const Color& defaultValue, const QString& description) {
  FilterInput in;
  in.key = key;
  in.className = kClassCIColor;
  in.type = kCIAttributeTypeColor;
  in.defaultValue = QVariant::fromValue(defaultValue);
  in.description = description;
  return in;
}

FilterInput transformInput(const QString& key, const QString& description) {
  FilterInput in;
  in.key = key;
  in.className = kClassNSAffineTransform;
  in.type = kCIAttributeTypeTransform;
  in.defaultValue = QVariant::fromValue(gfx::AffineTransform());
  in.identity = QVariant::fromValue(gfx::AffineTransform());
  in.description = description;
  return in;
}

KernelPtr builtInKernel(const QString& name) {
  static QMutex mutex;
  static QHash<QString, KernelPtr> kernels;
  QMutexLocker lock(&mutex);
  if (kernels.isEmpty()) {
    initKernelResources();
    const QStringList files = QDir(QStringLiteral(":/coreimage/kernels")).entryList(QDir::Files);
    for (const QString& file : files) {
      QFile source(QStringLiteral(":/coreimage/kernels/") + file);
      if (!source.open(QIODevice::ReadOnly)) continue;
      fnd::Error error;
      const QList<KernelPtr> declared =
          Kernel::kernelsWithString(QString::fromUtf8(source.readAll()), &error);
      if (declared.isEmpty())
        qWarning("ci: kernel source %s: %s", qPrintable(file),
                 qPrintable(error.localizedDescription()));
      for (const KernelPtr& kernel : declared) kernels.insert(kernel->name(), kernel);
    }
  }
  KernelPtr kernel = kernels.value(name);
  if (!kernel) qWarning("ci: no built-in kernel named %s", qPrintable(name));
  return kernel;
}

}  // namespace ci::filters
