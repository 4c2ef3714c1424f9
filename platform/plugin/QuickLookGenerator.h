// The preview generator interface: what a generator plug-in answers and
// the requests a previewing host hands it. A request is a small C structure
// whose hand-over function receives the image data, its type and, for a
// preview, its size; a generator that hands nothing over leaves the host
// to its own default. Plain C, shared by the plug-in and its hosts.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "plugin/PlugInCOM.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kQLGeneratorTypeID "5E2D9680-5022-40FA-B806-43349622E5B9"
#define kQLGeneratorCallbacksInterfaceID "865AF5E0-6D30-4345-951B-D37105754F2D"
// The content type of image data of any format.
#define kUTTypeImage "public.image"

typedef int32_t OSStatus;

typedef struct QLSize {
  double width;
  double height;
} QLSize;

// What a preview says of itself (kQLPreviewPropertyWidthKey and
// kQLPreviewPropertyHeightKey).
typedef struct QLPreviewProperties {
  double width;
  double height;
} QLPreviewProperties;

typedef struct __QLPreviewRequest {
  void* context;
  void (*setDataRepresentation)(void* context, const void* bytes, size_t length,
                                const char* contentType, const QLPreviewProperties* properties);
} __QLPreviewRequest;
typedef __QLPreviewRequest* QLPreviewRequestRef;

typedef struct __QLThumbnailRequest {
  void* context;
  void (*setImageWithData)(void* context, const void* bytes, size_t length,
                           const QLPreviewProperties* properties);
} __QLThumbnailRequest;
typedef __QLThumbnailRequest* QLThumbnailRequestRef;

// `url` is a file URL and `contentTypeUTI` a type identifier, both UTF-8;
// `options` is reserved (null).
typedef struct QLGeneratorInterfaceStruct {
  PLUGIN_IUNKNOWN_C_GUTS;
  OSStatus (*GenerateThumbnailForURL)(void* thisInterface, QLThumbnailRequestRef thumbnail,
                                      const char* url, const char* contentTypeUTI,
                                      const void* options, QLSize maxSize);
  void (*CancelThumbnailGeneration)(void* thisInterface, QLThumbnailRequestRef thumbnail);
  OSStatus (*GeneratePreviewForURL)(void* thisInterface, QLPreviewRequestRef preview,
                                    const char* url, const char* contentTypeUTI,
                                    const void* options);
  void (*CancelPreviewGeneration)(void* thisInterface, QLPreviewRequestRef preview);
} QLGeneratorInterfaceStruct;

static inline void QLPreviewRequestSetDataRepresentation(QLPreviewRequestRef preview,
                                                         const void* bytes, size_t length,
                                                         const char* contentType,
                                                         const QLPreviewProperties* properties) {
  if (preview && preview->setDataRepresentation)
    preview->setDataRepresentation(preview->context, bytes, length, contentType, properties);
}

static inline void QLThumbnailRequestSetImageWithData(QLThumbnailRequestRef thumbnail,
                                                      const void* bytes, size_t length,
                                                      const QLPreviewProperties* properties) {
  if (thumbnail && thumbnail->setImageWithData)
    thumbnail->setImageWithData(thumbnail->context, bytes, length, properties);
}

#ifdef __cplusplus
}
#endif
