#include "platform/LibraryUnload.h"

#include <windows.h>

#include "platform/windows/OwnModule.h"

// The C runtime's entry calls this after constructing the library's static
// objects and before destroying them. It runs under the loader lock: nothing
// reached from here may wait for another thread or load a library.
//
// The library pins itself at its first load: every load and unload of a DLL
// built with this toolchain's static runtime leaks a TLS index and memory, and
// a host that reloads it a thousand times would run out of TLS indexes. Pinned,
// a FreeLibrary leaves it loaded and a later LoadLibrary finds it as it was, so
// the unload step only ever runs at process exit. A library that cannot be
// pinned refuses to load.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) return PinOwnModule() ? TRUE : FALSE;
  if (reason == DLL_PROCESS_DETACH)
    RunLibraryUnloadStep(reserved != nullptr ? tUnloadReason::ProcessExiting
                                             : tUnloadReason::LibraryUnloaded);
  return TRUE;
}
