#include "platform/ForeignCall.h"

// No signal games here: a fault in the library ends the process as it would
// without the plugin.
tForeignCallOutcome RunForeignCall(tForeignEntry Entry, void* Context) noexcept {
  try {
    Entry(Context);
    return {};
  } catch (...) {
    return {false, 0};
  }
}
