// The pause before retrying a query: 20 to 299 ms from a process-wide generator.
#pragma once

#include <cstdint>

uint32_t DrawRetryPause();
void SleepForRetry(uint32_t milliseconds);
