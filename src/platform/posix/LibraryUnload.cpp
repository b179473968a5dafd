#include "platform/LibraryUnload.h"

namespace {
// Destructor functions run before the library's static objects are destroyed,
// and at process exit after the handlers registered with CallAtProcessExit.
__attribute__((destructor)) void RunLibraryUnload() {
  RunLibraryUnloadStep(tUnloadReason::LibraryUnloaded);
}
}  // namespace
