#include "platform/LibraryHold.h"

// The unload step here stops and joins the thread before the code goes.
tLibraryHold tLibraryHold::Take() {
  return {};
}

tLibraryHold::tLibraryHold(tLibraryHold&&) noexcept {}

tLibraryHold::~tLibraryHold() = default;

void tLibraryHold::EndThread() {}
