#include "platform/HighResolutionCounter.h"

#include <time.h>

namespace {
// Microseconds keep counts x 1000 inside 64 bits for centuries of uptime.
constexpr int64_t CountsPerSecond = 1000000;
}  // namespace

bool ReadHighResolutionCounter(int64_t& counts) {
  timespec now{};
  if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) return false;
  counts = static_cast<int64_t>(now.tv_sec) * CountsPerSecond + now.tv_nsec / 1000;
  return true;
}

bool ReadHighResolutionFrequency(int64_t& countsPerSecond) {
  countsPerSecond = CountsPerSecond;
  return true;
}
