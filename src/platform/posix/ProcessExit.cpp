#include "platform/ProcessExit.h"

#include <cstdlib>

void CallAtProcessExit(void (*handler)()) {
  std::atexit(handler);
}
