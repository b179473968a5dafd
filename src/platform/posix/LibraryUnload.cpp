#include "platform/LibraryUnload.h"

namespace {
// Destructor functions run before the library's static objects are destroyed.
__attribute__((destructor)) void RunLibraryUnload() {
  OnLibraryUnload();
}
}  // namespace
