// The number the operating system gives the running process.
#pragma once

#include <cstdint>

uint32_t CurrentProcessId();
