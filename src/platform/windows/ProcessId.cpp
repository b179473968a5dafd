#include "platform/ProcessId.h"

#include <windows.h>

uint32_t CurrentProcessId() {
  return static_cast<uint32_t>(GetCurrentProcessId());
}
