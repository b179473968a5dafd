#include "platform/SocketWait.h"

#include <windows.h>

int64_t CurrentThreadNumber() {
  return static_cast<int64_t>(GetCurrentThreadId());
}

// Windows ends the process's other threads before any library hears of the
// exit, so no client library waits on them then.
bool EndSocketWait(int64_t) {
  return false;
}
