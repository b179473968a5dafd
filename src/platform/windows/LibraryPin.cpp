#include "platform/LibraryPin.h"

#include "platform/windows/OwnModule.h"

void KeepLoadedForTheProcess(const void* addressInLibrary) {
  ModuleAt(addressInLibrary, GET_MODULE_HANDLE_EX_FLAG_PIN);
}

// The library pins itself at its first load (LibraryUnload.cpp): it stays
// loaded, and mapped, until the process ends.
tLibraryHold::~tLibraryHold() = default;

tLibraryHold HoldLibrary() {
  return tLibraryHold();
}

void KeepLoadedUntilThreadEnds(tLibraryHold) {}

bool KeepMappedThroughUnload() {
  return true;
}
