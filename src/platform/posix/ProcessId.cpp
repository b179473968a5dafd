#include "platform/ProcessId.h"

#include <unistd.h>

uint32_t CurrentProcessId() {
  return static_cast<uint32_t>(getpid());
}
