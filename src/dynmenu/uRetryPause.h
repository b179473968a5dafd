// The pause before retrying a query: 20 to 299 ms from a process-wide generator.
#pragma once

#include <cstdint>

uint32_t DrawRetryPause();
// From the same generator: a number from 0 up to, not including, 1.
double DrawFraction();
void SleepForRetry(uint32_t milliseconds);
