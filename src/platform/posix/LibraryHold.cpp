#include "platform/LibraryHold.h"

#include <utility>

// The unload step here stops and joins the thread before the code goes:
// nothing is held.
tLibraryHold tLibraryHold::Take() {
  return {};
}

tLibraryHold::tLibraryHold(tLibraryHold&& other) noexcept
    : Module(std::exchange(other.Module, nullptr)) {}

tLibraryHold::~tLibraryHold() = default;

void tLibraryHold::EndThread() {}
