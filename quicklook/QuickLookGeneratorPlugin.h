// The generator plug-in's entry points: the factory the host finds by name,
// the instance with its private interface table, and the reference counting
// that frees it. Exported with the C calling convention.
#pragma once

#include "plugin/QuickLookGenerator.h"

// Names the factory in the plug-in's description.
#define PLUGIN_ID "0E917172-60C7-4642-8EAE-E2C1507593AE"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct __QuickLookGeneratorPluginType QuickLookGeneratorPluginType;

void* QuickLookGeneratorPluginFactory(const void* allocator, PlugInUUIDBytes typeID);
QuickLookGeneratorPluginType* AllocQuickLookGeneratorPluginType(PlugInUUIDBytes inFactoryID);
void DeallocQuickLookGeneratorPluginType(QuickLookGeneratorPluginType* thisInstance);
HRESULT QuickLookGeneratorQueryInterface(void* thisInstance, REFIID iid, LPVOID* ppv);
ULONG QuickLookGeneratorPluginAddRef(void* thisInstance);
ULONG QuickLookGeneratorPluginRelease(void* thisInstance);

OSStatus GenerateThumbnailForURL(void* thisInterface, QLThumbnailRequestRef thumbnail,
                                 const char* url, const char* contentTypeUTI, const void* options,
                                 QLSize maxSize);
void CancelThumbnailGeneration(void* thisInterface, QLThumbnailRequestRef thumbnail);
OSStatus GeneratePreviewForURL(void* thisInterface, QLPreviewRequestRef preview, const char* url,
                               const char* contentTypeUTI, const void* options);
void CancelPreviewGeneration(void* thisInterface, QLPreviewRequestRef preview);

#ifdef __cplusplus
}
#endif
