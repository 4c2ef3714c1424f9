// The C calling convention plug-ins and their hosts share: 16-byte UUIDs,
// result codes, and the table every plug-in interface starts with
// (reserved, QueryInterface, AddRef, Release). Plain C, so a plug-in built
// apart from its host agrees with it on every byte.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// A UUID as its 16 bytes, most significant first; passed by value.
typedef struct PlugInUUIDBytes {
  uint8_t byte[16];
} PlugInUUIDBytes;

typedef int32_t HRESULT;
typedef uint32_t ULONG;
typedef PlugInUUIDBytes REFIID;
typedef void* LPVOID;

#define S_OK ((HRESULT)0)
#define E_NOINTERFACE ((HRESULT)0x80000004)

// An instance is a pointer to a pointer to its interface table.
#define PLUGIN_IUNKNOWN_C_GUTS                                           \
  void* _reserved;                                                       \
  HRESULT (*QueryInterface)(void* thisPointer, REFIID iid, LPVOID* ppv); \
  ULONG (*AddRef)(void* thisPointer);                                    \
  ULONG (*Release)(void* thisPointer)

typedef struct IUnknownVTbl {
  PLUGIN_IUNKNOWN_C_GUTS;
} IUnknownVTbl;

// A factory function a plug-in exports: an instance answering `typeID`, or
// null when it makes no such type. `allocator` is unused and may be null.
typedef void* (*PlugInFactoryFunction)(const void* allocator, PlugInUUIDBytes typeID);

#ifdef __cplusplus
}
#endif
