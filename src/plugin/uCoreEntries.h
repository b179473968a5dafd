/* What the Windows front library (Kalvor.dll) and the core beside it
   (Kalvor.core.dll) agree on: the core's one export hands the front the
   plugin's entry points. C, since the front is built without the C++
   runtime. */
#ifndef KALVOR_CORE_ENTRIES_H
#define KALVOR_CORE_ENTRIES_H

#include <kalvor/plugin.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tKalvorCore {
  /* sizeof(tKalvorCore) of the core's build: a front and a core of builds
     that disagree are not used together. */
  uint32_t Size;
  void(KALVOR_CALL* Init)(char** NameOut, Callback cb, intptr_t UserValue);
  void(KALVOR_CALL* GetName)(char** NameOut);
  int32_t(KALVOR_CALL* Command)(int32_t CommandId, void* Buffer, int32_t Size);
  void(KALVOR_CALL* Finalize)(void);
  /* The front is being unloaded without Finalize_Plugin, under the loader
     lock: the host is called back no more once this returns. */
  void (*FrontUnloaded)(void);
} tKalvorCore;

/* KalvorCore_Open(the front's full path): the plugin is named, configured
   and logged after the front's file; null when the core cannot serve. */
typedef const tKalvorCore* (*tKalvorCoreOpen)(const wchar_t* FrontPath);
#define KALVOR_CORE_OPEN "KalvorCore_Open"

#ifdef __cplusplus
}
#endif

#endif
