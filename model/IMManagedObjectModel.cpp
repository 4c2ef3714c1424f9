#include <QDir>
#include <mutex>

#include "coredata/EntityClassRegistry.h"
#include "foundation/KeyedUnarchiver.h"
#include "model/ComposedImage.h"
#include "model/Filter.h"
#include "model/FilterParameter.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/TextLayer.h"

static void initModelResources() { Q_INIT_RESOURCE(model); }

namespace {

template <class T>
void registerEntity(const QString& name) {
  cd::EntityClassRegistry::registerClass<T>(name);
  // Archived entities come back as new objects of the decoding context.
  // T::initWithCoder, so a class that finishes its own decoding (Filter
  // pushes its parameters) is asked rather than the base.
  fnd::KeyedUnarchiver::registerClass(name, [name](fnd::KeyedUnarchiver& coder) -> fnd::CodingPtr {
    IMManagedObject* object = T::initWithCoder(name, coder);
    return object ? object->archivable() : nullptr;
  });
}

void registerEntityClasses() {
  registerEntity<ComposedImage>("ComposedImage");
  registerEntity<Layer>("Layer");
  registerEntity<TextLayer>("TextLayer");
  registerEntity<Image>("Image");
  registerEntity<Filter>("Filter");
  registerEntity<FilterParameter>("FilterParameter");
}

}  // namespace

cd::ManagedObjectModelPtr IMManagedObject::managedObjectModel(fnd::Error* error) {
  static std::once_flag once;
  static cd::ManagedObjectModelPtr model;
  static fnd::Error loadError;
  std::call_once(once, [] {
    initModelResources();
    registerEntityClasses();
    model = cd::ManagedObjectModel::mergedModelFromFolder(":/models/Tessaly", &loadError);
    if (!model)
      qWarning("IMManagedObject: model != nil failed: %s",
               qPrintable(loadError.localizedDescription()));
  });
  if (!model) fnd::fail(error, loadError);
  return model;
}
