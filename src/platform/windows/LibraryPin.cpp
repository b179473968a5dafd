#include "platform/LibraryPin.h"

// The library pins itself at its first load (LibraryUnload.cpp): it stays
// loaded, and mapped, until the process ends.
tLibraryHold::~tLibraryHold() = default;

tLibraryHold HoldLibrary() {
  return tLibraryHold();
}

void KeepLoadedUntilThreadEnds(tLibraryHold) {}

void KeepLoadedUntilThreadEnds() {}

bool KeepMappedThroughUnload() {
  return true;
}
