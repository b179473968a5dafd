#include "platform/LibraryUnload.h"

#include <windows.h>

// The C runtime's entry calls this after constructing the library's static
// objects and before destroying them. It runs under the loader lock: nothing
// reached from here may wait for another thread or load a library.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH)
    RunLibraryUnloadStep(reserved != nullptr ? tUnloadReason::ProcessExiting
                                             : tUnloadReason::LibraryUnloaded);
  return TRUE;
}
