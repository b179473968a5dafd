#include "platform/HighResolutionCounter.h"

#include <windows.h>

bool ReadHighResolutionCounter(int64_t& counts) {
  LARGE_INTEGER value{};
  if (!QueryPerformanceCounter(&value)) return false;
  counts = value.QuadPart;
  return true;
}

bool ReadHighResolutionFrequency(int64_t& countsPerSecond) {
  LARGE_INTEGER value{};
  if (!QueryPerformanceFrequency(&value)) return false;
  countsPerSecond = value.QuadPart;
  return true;
}
