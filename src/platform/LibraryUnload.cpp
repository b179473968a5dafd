#include "platform/LibraryUnload.h"

#include <atomic>

namespace {
// Constant-initialised and trivially destroyed: valid through the whole unload.
std::atomic<void (*)(tUnloadReason)> UnloadStep{nullptr};
}  // namespace

void CallAtLibraryUnload(void (*step)(tUnloadReason reason)) {
  UnloadStep = step;
}

void RunLibraryUnloadStep(tUnloadReason reason) {
  if (void (*step)(tUnloadReason) = UnloadStep.load()) step(reason);
}
