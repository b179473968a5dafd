#include "platform/LibraryPin.h"

#include <windows.h>

void KeepLoadedForTheProcess(const void* addressInLibrary) {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     static_cast<LPCSTR>(addressInLibrary), &module);
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
