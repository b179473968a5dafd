// A monotonic counter for measuring intervals, in the counter-and-frequency form.
#pragma once

#include <cstdint>

// Both answer false when the platform cannot give a value.
bool ReadHighResolutionCounter(int64_t& counts);
bool ReadHighResolutionFrequency(int64_t& countsPerSecond);
