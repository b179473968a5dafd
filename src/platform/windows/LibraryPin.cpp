#include "platform/LibraryPin.h"

// The session thread holds the library for as long as it runs and lets go as
// it ends (tLibraryHold): a FreeLibrary from inside its call into the host,
// with or without Finalize_Plugin, cannot unload the library under it.
void KeepLoadedUntilThreadEnds() {}

bool KeepMappedThroughUnload() {
  return true;
}
