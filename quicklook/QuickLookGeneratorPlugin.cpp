#include "quicklook/QuickLookGeneratorPlugin.h"

#include <cstdlib>
#include <cstring>

#include "plugin/FactoryInstances.h"
#include "plugin/UUID.h"

// One allocation per instance; the table is the instance's own copy, into
// which querying the generator interface writes the callbacks.
struct __QuickLookGeneratorPluginType {
  QLGeneratorInterfaceStruct* conduitInterface;
  plugin::UUID* factoryID;
  ULONG refCount;
};

namespace {

// The four shared slots filled, the generator's four empty until queried.
const QLGeneratorInterfaceStruct myInterfaceFtbl = {
    nullptr,
    QuickLookGeneratorQueryInterface,
    QuickLookGeneratorPluginAddRef,
    QuickLookGeneratorPluginRelease,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

extern "C" {

void* QuickLookGeneratorPluginFactory(const void* allocator, PlugInUUIDBytes typeID) {
  (void)allocator;
  if (plugin::UUID(typeID) != plugin::UUID::fromString(kQLGeneratorTypeID)) return nullptr;
  return AllocQuickLookGeneratorPluginType(plugin::UUID::fromString(PLUGIN_ID).bytes());
}

QuickLookGeneratorPluginType* AllocQuickLookGeneratorPluginType(PlugInUUIDBytes inFactoryID) {
  auto* instance =
      static_cast<QuickLookGeneratorPluginType*>(std::malloc(sizeof(QuickLookGeneratorPluginType)));
  auto* table =
      static_cast<QLGeneratorInterfaceStruct*>(std::malloc(sizeof(QLGeneratorInterfaceStruct)));
  if (!instance || !table) {
    std::free(instance);
    std::free(table);
    return nullptr;
  }
  std::memcpy(table, &myInterfaceFtbl, sizeof(QLGeneratorInterfaceStruct));
  instance->conduitInterface = table;
  instance->factoryID = new plugin::UUID(inFactoryID);
  plugin::FactoryInstances::addInstanceForFactory(*instance->factoryID);
  instance->refCount = 1;
  return instance;
}

void DeallocQuickLookGeneratorPluginType(QuickLookGeneratorPluginType* thisInstance) {
  plugin::UUID* factoryID = thisInstance->factoryID;
  std::free(thisInstance->conduitInterface);
  std::free(thisInstance);
  if (factoryID) {
    plugin::FactoryInstances::removeInstanceForFactory(*factoryID);
    delete factoryID;
  }
}

HRESULT QuickLookGeneratorQueryInterface(void* thisInstance, REFIID iid, LPVOID* ppv) {
  auto* instance = static_cast<QuickLookGeneratorPluginType*>(thisInstance);
  if (plugin::UUID(iid) == plugin::UUID::fromString(kQLGeneratorCallbacksInterfaceID)) {
    QLGeneratorInterfaceStruct* table = instance->conduitInterface;
    table->GenerateThumbnailForURL = GenerateThumbnailForURL;
    table->CancelThumbnailGeneration = CancelThumbnailGeneration;
    table->GeneratePreviewForURL = GeneratePreviewForURL;
    table->CancelPreviewGeneration = CancelPreviewGeneration;
    table->AddRef(thisInstance);
    *ppv = thisInstance;
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG QuickLookGeneratorPluginAddRef(void* thisInstance) {
  return ++static_cast<QuickLookGeneratorPluginType*>(thisInstance)->refCount;
}

ULONG QuickLookGeneratorPluginRelease(void* thisInstance) {
  auto* instance = static_cast<QuickLookGeneratorPluginType*>(thisInstance);
  if (--instance->refCount == 0) {
    DeallocQuickLookGeneratorPluginType(instance);
    return 0;
  }
  return instance->refCount;
}

}  // extern "C"
