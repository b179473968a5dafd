#include "platform/LibraryHold.h"

#include <utility>

#include "platform/windows/OwnModule.h"

// A loader reference of its own: FreeLibrary by the host then leaves the
// library loaded, and no unload step runs while the thread lives.
tLibraryHold tLibraryHold::Take() {
  tLibraryHold hold;
  hold.Module = OwnModuleHandle(true);
  return hold;
}

tLibraryHold::tLibraryHold(tLibraryHold&& other) noexcept
    : Module(std::exchange(other.Module, nullptr)) {}

tLibraryHold::~tLibraryHold() {
  if (Module != nullptr) FreeLibrary(static_cast<HMODULE>(Module));
}

void tLibraryHold::EndThread() {
  if (Module != nullptr)
    FreeLibraryAndExitThread(static_cast<HMODULE>(std::exchange(Module, nullptr)), 0);
}
